#include "library/CaseInfoFile.h"

#include "platform/ProfileFile.h"
#include "platform/RenameNoReplace.h"
#include "recording/CaptureNaming.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

namespace kestovar {

namespace {

struct Field {
    std::string_view key;
    std::string CaseInfo::*member;
    std::size_t maxChars;
};

constexpr std::array<Field, 6> kFields = { {
    { kCaseKeyDate, &CaseInfo::date, kCaseFieldMaxChars },
    { kCaseKeyFileName, &CaseInfo::fileName, kCaseFieldMaxChars },
    { kCaseKeyDoctorName, &CaseInfo::doctorName, kCaseFieldMaxChars },
    { kCaseKeyPatientName, &CaseInfo::patientName, kCaseFieldMaxChars },
    { kCaseKeyHospitalName, &CaseInfo::hospitalName, kCaseFieldMaxChars },
    { kCaseKeyComment, &CaseInfo::comment, kCaseCommentMaxChars },
} };

// Length of the valid UTF-8 sequence at s[i], or 0 when the byte there starts none.
std::size_t Utf8SequenceAt(std::string_view s, std::size_t i)
{
    const auto c = static_cast<unsigned char>(s[i]);
    const std::size_t len = c < 0x80 ? 1
        : (c & 0xE0) == 0xC0         ? 2
        : (c & 0xF0) == 0xE0         ? 3
        : (c & 0xF8) == 0xF0         ? 4
                                     : 0;
    if (len == 0 || i + len > s.size())
        return 0;
    return IsValidUtf8(s.substr(i, len)) ? len : 0;
}

void AppendHexEscape(std::string& out, unsigned char byte)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Line and paragraph separators some editors break lines at.
bool IsUnicodeLineBreak(std::string_view seq)
{
    return seq == "\xC2\x85" || seq == "\xE2\x80\xA8" || seq == "\xE2\x80\xA9";
}

CaseFileResult Failed(int error, std::string_view what)
{
    CaseFileResult r;
    r.error = error;
    r.message = std::string(what) + " (" + std::strerror(error) + ").";
    return r;
}

} // namespace

std::string EncodeCaseValue(std::string_view value)
{
    std::string out;
    out.reserve(value.size() + 8);
    for (std::size_t i = 0; i < value.size();) {
        const auto c = static_cast<unsigned char>(value[i]);
        const std::size_t len = Utf8SequenceAt(value, i);
        if (len == 0) {
            AppendHexEscape(out, c);
            ++i;
            continue;
        }
        if (len > 1) {
            const std::string_view seq = value.substr(i, len);
            if (IsUnicodeLineBreak(seq)) {
                for (char b : seq)
                    AppendHexEscape(out, static_cast<unsigned char>(b));
            } else {
                out += seq;
            }
            i += len;
            continue;
        }
        const bool edge = i == 0 || i + 1 == value.size();
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case ' ':
            if (edge)
                AppendHexEscape(out, c);
            else
                out += ' ';
            break;
        default:
            if (c < 0x20 || c == 0x7F)
                AppendHexEscape(out, c);
            else
                out += static_cast<char>(c);
        }
        ++i;
    }
    return out;
}

std::string DecodeCaseValue(std::string_view stored)
{
    std::string out;
    out.reserve(stored.size());
    for (std::size_t i = 0; i < stored.size(); ++i) {
        const char c = stored[i];
        if (c != '\\' || i + 1 == stored.size()) {
            out += c;
            continue;
        }
        const char next = stored[i + 1];
        switch (next) {
        case '\\':
            out += '\\';
            ++i;
            break;
        case 'n':
            out += '\n';
            ++i;
            break;
        case 'r':
            out += '\r';
            ++i;
            break;
        case 't':
            out += '\t';
            ++i;
            break;
        case 'x':
            if (i + 3 < stored.size() && HexValue(stored[i + 2]) >= 0 && HexValue(stored[i + 3]) >= 0) {
                out += static_cast<char>(HexValue(stored[i + 2]) * 16 + HexValue(stored[i + 3]));
                i += 3;
                break;
            }
            out += c; // not an escape of ours: keep the backslash
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string CaseDateText(std::time_t now)
{
    std::tm local {};
    char text[32] = {};
    if (localtime_r(&now, &local))
        std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
}

std::string CaseInfoFilePath(std::string_view moviePath)
{
    const auto slash = moviePath.rfind('/');
    const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    if (nameStart >= moviePath.size())
        return {};
    const auto dot = moviePath.rfind('.');
    if (dot == std::string_view::npos || dot < nameStart)
        return std::string(moviePath) + ".ini"; // a dot in a folder name is not an extension
    const std::string_view base = moviePath.substr(0, dot);
    if (!base.empty() && base.back() == '.')
        return std::string(base) + "ini";
    return std::string(base) + ".ini";
}

CaseFileResult WriteCaseInfoFile(const std::string& moviePath, const CaseInfo& info, const CaseInfo* shown)
{
    const std::string path = CaseInfoFilePath(moviePath);
    if (path.empty())
        return Failed(EINVAL, "The case information could not be saved");

    ProfileFile profile;
    const ProfileWriteResult loaded = LoadForUpdate(path, profile);
    if (!loaded.ok)
        return Failed(loaded.error, "The case information could not be saved");
    for (const Field& field : kFields) {
        if (shown && info.*field.member == shown->*field.member && profile.Find(kCaseInfoSection, field.key))
            continue;
        if (!profile.SetString(kCaseInfoSection, field.key, EncodeCaseValue(info.*field.member)))
            return Failed(EINVAL, "The case information could not be saved");
    }

    const ProfileWriteResult saved = profile.Save(path);
    CaseFileResult result;
    if (!saved.ok)
        result = Failed(saved.error, "The case information could not be saved");
    result.ok = saved.ok;
    result.keptAsidePath = loaded.keptAsidePath;
    return result;
}

CaseInfo ReadCaseInfoFile(const std::string& moviePath, CaseFileState* state, std::size_t* storedCommentChars)
{
    CaseInfo info;
    const std::string path = CaseInfoFilePath(moviePath);
    const ProfileFile profile = path.empty() ? ProfileFile() : ProfileFile::Load(path);
    if (state) {
        switch (profile.state()) {
        case ProfileFile::State::Missing:
            *state = CaseFileState::Missing;
            break;
        case ProfileFile::State::Ok:
            *state = CaseFileState::Ok;
            break;
        case ProfileFile::State::Damaged:
            *state = CaseFileState::Damaged;
            break;
        case ProfileFile::State::Unreadable:
            *state = CaseFileState::Unreadable;
            break;
        }
    }
    if (storedCommentChars)
        *storedCommentChars = 0;
    for (const Field& field : kFields) {
        const auto stored = profile.Find(kCaseInfoSection, field.key);
        if (!stored)
            continue;
        const std::string whole = DecodeCaseValue(*stored);
        if (storedCommentChars && field.member == &CaseInfo::comment)
            *storedCommentChars = static_cast<std::size_t>(std::count_if(
                whole.begin(), whole.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
        info.*field.member = TruncateUtf8(whole, field.maxChars);
    }
    return info;
}

CaseFileResult RenameCaseInfoFile(
    const std::string& oldMoviePath, std::string_view movieFolder, std::string_view newBaseName)
{
    const std::string from = CaseInfoFilePath(oldMoviePath);
    const std::string to = CaseInfoFilePath(JoinPath(movieFolder, std::string(newBaseName) + ".avi"));
    if (from.empty() || to.empty())
        return Failed(EINVAL, "The case information file could not be renamed");

    CaseFileResult result;
    if (!PathExists(from)) {
        result.ok = true; // the movie never had one: nothing to move, nothing to create
        return result;
    }
    if (from != to) {
        if (const int err = RenameNoReplace(from, to)) {
            return Failed(err,
                err == EEXIST ? "A case information file of that name already exists"
                              : "The case information file could not be renamed");
        }
    }
    result.moved = true;

    ProfileFile profile;
    const ProfileWriteResult loaded = LoadForUpdate(to, profile);
    if (!loaded.ok)
        return Failed(loaded.error, "The case information file was moved but could not be updated");
    const ProfileWriteResult saved
        = profile.SetString(kCaseInfoSection, kCaseKeyFileName, EncodeCaseValue(newBaseName))
        ? profile.Save(to)
        : ProfileWriteResult { false, EINVAL, "value", {} };
    if (!saved.ok) {
        CaseFileResult failed
            = Failed(saved.error, "The case information file was moved but could not be updated");
        failed.moved = true;
        return failed;
    }
    result.ok = true;
    result.keptAsidePath = loaded.keptAsidePath;
    return result;
}

} // namespace kestovar
