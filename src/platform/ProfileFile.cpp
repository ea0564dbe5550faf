#include "platform/ProfileFile.h"

#include "platform/AtomicFile.h"
#include "platform/UniqueFd.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestovar {

namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view Trim(std::string_view s)
{
    const auto first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(kBlanks);
    return s.substr(first, last - first + 1);
}

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    }
    return true;
}

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = 0xFFFD;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Windows-1252's characters for the bytes 0x80-0x9F (the others are Latin-1). The five
// bytes it leaves unassigned stand for the C1 control of the same number, so every byte
// reads as a character and that character writes back as the same byte.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC,
    0x0081,
    0x201A,
    0x0192,
    0x201E,
    0x2026,
    0x2020,
    0x2021,
    0x02C6,
    0x2030,
    0x0160,
    0x2039,
    0x0152,
    0x008D,
    0x017D,
    0x008F,
    0x0090,
    0x2018,
    0x2019,
    0x201C,
    0x201D,
    0x2022,
    0x2013,
    0x2014,
    0x02DC,
    0x2122,
    0x0161,
    0x203A,
    0x0153,
    0x009D,
    0x017E,
    0x0178,
};

// Files the old station wrote through the "ANSI" profile functions are Windows-1252.
std::string DecodeWindows1252(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (unsigned char c : bytes) {
        if (c >= 0x80 && c < 0xA0)
            AppendUtf8(out, kWindows1252High[c - 0x80]);
        else
            AppendUtf8(out, c);
    }
    return out;
}

// The code point of valid UTF-8 text at `i`, which moves past it.
char32_t NextCodePoint(std::string_view text, std::size_t& i)
{
    const auto c = static_cast<unsigned char>(text[i]);
    const std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
    for (std::size_t k = 1; k < len && i + k < text.size(); ++k)
        cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    i += len;
    return cp;
}

// Valid UTF-8 text as Windows-1252; nullopt when a character has no byte there.
std::optional<std::string> EncodeWindows1252(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const char32_t cp = NextCodePoint(text, i);
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            out += static_cast<char>(cp);
            continue;
        }
        const auto* found = std::find(kWindows1252High.begin(), kWindows1252High.end(), cp);
        if (found == kWindows1252High.end())
            return std::nullopt;
        out += static_cast<char>(0x80 + (found - kWindows1252High.begin()));
    }
    return out;
}

std::string DecodeUtf16(std::string_view bytes, bool bigEndian)
{
    std::string out;
    out.reserve(bytes.size());
    const std::size_t units = bytes.size() / 2;
    auto unitAt = [&](std::size_t i) -> char16_t {
        const auto b0 = static_cast<unsigned char>(bytes[2 * i]);
        const auto b1 = static_cast<unsigned char>(bytes[2 * i + 1]);
        return bigEndian ? static_cast<char16_t>((b0 << 8) | b1) : static_cast<char16_t>((b1 << 8) | b0);
    };
    for (std::size_t i = 0; i < units; ++i) {
        const char16_t u = unitAt(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            const char16_t low = unitAt(i + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(low) - 0xDC00));
                ++i;
                continue;
            }
        }
        AppendUtf8(out, u); // a lone surrogate becomes U+FFFD there
    }
    return out;
}

// Control characters that no text file holds; their presence marks a binary file.
bool LooksBinary(std::string_view text)
{
    for (unsigned char c : text) {
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\v')
            return true;
    }
    return false;
}

// Returns the text as valid UTF-8, whether it looked like a text file, and the
// encoding a save writes it back in.
std::string DecodeProfileBytes(std::string_view bytes, bool& binary, ProfileEncoding& encoding)
{
    std::string text;
    encoding = ProfileEncoding::Utf8;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF
        && static_cast<unsigned char>(bytes[1]) == 0xFE) {
        text = DecodeUtf16(bytes.substr(2), false);
        encoding = ProfileEncoding::Utf16Le;
    } else if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE
        && static_cast<unsigned char>(bytes[1]) == 0xFF) {
        text = DecodeUtf16(bytes.substr(2), true);
        encoding = ProfileEncoding::Utf16Be;
    } else {
        if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
            bytes.remove_prefix(3);
            encoding = ProfileEncoding::Utf8Bom;
        }
        if (IsValidUtf8(bytes)) {
            text = std::string(bytes);
        } else {
            text = DecodeWindows1252(bytes);
            if (encoding == ProfileEncoding::Utf8)
                encoding = ProfileEncoding::Windows1252;
        }
    }
    // More byte-order marks (a file converted twice) are not text either; one left at the
    // start would be taken for the mark when the file is read again after a save.
    while (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text.erase(0, 3);
    binary = LooksBinary(text);
    if (binary) {
        // Keep the parser and every value free of NULs.
        for (char& c : text) {
            if (c == '\0')
                c = '?';
        }
    }
    return text;
}

bool IsSectionLine(std::string_view trimmed)
{
    return !trimmed.empty() && trimmed.front() == '[';
}

std::string_view SectionName(std::string_view trimmed)
{
    trimmed.remove_prefix(1);
    const auto close = trimmed.find(']');
    if (close != std::string_view::npos)
        trimmed = trimmed.substr(0, close);
    return Trim(trimmed);
}

bool IsCommentLine(std::string_view trimmed)
{
    return !trimmed.empty() && (trimmed.front() == ';' || trimmed.front() == '#');
}

// Splits "key=value"; false for lines that hold no key.
bool SplitKeyLine(std::string_view line, std::string_view& key, std::string_view& value)
{
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || IsSectionLine(trimmed) || IsCommentLine(trimmed))
        return false;
    const auto eq = line.find('=');
    if (eq == std::string_view::npos)
        return false;
    key = Trim(line.substr(0, eq));
    value = Trim(line.substr(eq + 1));
    return !key.empty();
}

bool HasControl(std::string_view s, bool allowTab)
{
    for (unsigned char c : s) {
        if ((c < 0x20 && !(allowTab && c == '\t')) || c == 0x7F)
            return true;
    }
    return false;
}

// Valid UTF-8 text in the encoding (with the byte-order mark) it was read in.
std::string EncodeProfileText(const std::string& text, ProfileEncoding encoding)
{
    if (encoding == ProfileEncoding::Utf8)
        return text;
    if (encoding == ProfileEncoding::Windows1252) {
        // Kept only while the bytes read back to this very text: otherwise UTF-8 with a
        // byte-order mark, which reads back the same whatever the text holds.
        if (const auto ansi = EncodeWindows1252(text)) {
            bool binary = false;
            ProfileEncoding readAs = ProfileEncoding::Windows1252;
            if (DecodeProfileBytes(*ansi, binary, readAs) == text)
                return *ansi;
        }
        return "\xEF\xBB\xBF" + text;
    }
    if (encoding == ProfileEncoding::Utf8Bom)
        return "\xEF\xBB\xBF" + text;
    const bool bigEndian = encoding == ProfileEncoding::Utf16Be;
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    auto unit = [&](char16_t u) {
        const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    };
    for (std::size_t i = 0; i < text.size();) {
        const char32_t cp = NextCodePoint(text, i);
        if (cp >= 0x10000) {
            unit(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            unit(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            unit(static_cast<char16_t>(cp));
        }
    }
    return out;
}

ProfileWriteResult Failure(int error, std::string what)
{
    ProfileWriteResult r;
    r.error = error;
    r.what = std::move(what);
    return r;
}

} // namespace

bool IsValidUtf8(std::string_view text)
{
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t len = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if ((c & 0xE0) == 0xC0) {
            len = 2;
            cp = c & 0x1F;
            min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            cp = c & 0x0F;
            min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            cp = c & 0x07;
            min = 0x10000;
        } else {
            return false;
        }
        if (i + len > n)
            return false;
        for (std::size_t k = 1; k < len; ++k) {
            const auto cc = static_cast<unsigned char>(text[i + k]);
            if ((cc & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

std::string TruncateUtf8(std::string_view text, std::size_t maxChars)
{
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            if (chars == maxChars)
                return std::string(text.substr(0, i));
            ++chars;
        }
    }
    return std::string(text);
}

ProfileFile ProfileFile::FromBytes(std::string_view bytes)
{
    ProfileFile profile;
    bool binary = false;
    const std::string text = DecodeProfileBytes(bytes, binary, profile.encoding_);
    profile.state_ = binary ? State::Damaged : State::Ok;
    // Text read keeps its own line ends (CRLF when its first line has one); an empty
    // file is written as a new one.
    profile.crlf_ = text.empty();

    std::size_t start = 0;
    bool first = true;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        const bool terminated = end != std::string::npos;
        if (!terminated)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            // "\r\r\n" (a file converted twice) ends a line too; a carriage return left
            // at the end would come back as a line end of its own after a save.
            while (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (first)
                profile.crlf_ = true;
        }
        first = false;
        profile.lines_.push_back({ std::move(line) });
        start = end + 1;
    }
    return profile;
}

ProfileFile ProfileFile::Load(const std::string& path)
{
    ProfileFile missing;
    // O_NONBLOCK: a FIFO put where a case file belongs must not hang the window.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT) {
            missing.state_ = State::Missing;
        } else {
            missing.state_ = State::Unreadable;
            missing.loadError_ = errno;
        }
        return missing;
    }
    UniqueFd file(fd);
    struct stat st { };
    if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        missing.state_ = State::Unreadable;
        missing.loadError_ = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return missing;
    }

    std::string bytes;
    std::array<char, 65536> buffer {};
    while (bytes.size() <= kMaxProfileFileBytes) {
        const ssize_t n = ::read(file.get(), buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            missing.state_ = State::Unreadable;
            missing.loadError_ = errno;
            return missing;
        }
        if (n == 0)
            break;
        bytes.append(buffer.data(), static_cast<std::size_t>(n));
    }
    const bool oversized = bytes.size() > kMaxProfileFileBytes;
    if (oversized)
        bytes.resize(kMaxProfileFileBytes);
    ProfileFile profile = FromBytes(bytes);
    if (oversized)
        profile.state_ = State::Damaged;
    return profile;
}

std::optional<ProfileFile::Position> ProfileFile::Locate(std::string_view section, std::string_view key) const
{
    const std::string_view wantSection = Trim(section);
    const std::string_view wantKey = Trim(key);
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const std::string_view trimmed = Trim(lines_[i].text);
        if (!IsSectionLine(trimmed) || !EqualNoCase(SectionName(trimmed), wantSection))
            continue;
        Position pos;
        pos.sectionLine = i;
        pos.endLine = i + 1;
        for (std::size_t j = i + 1; j < lines_.size(); ++j) {
            const std::string_view t = Trim(lines_[j].text);
            if (IsSectionLine(t))
                break;
            if (!t.empty())
                pos.endLine = j + 1;
            std::string_view k, v;
            if (!pos.keyLine && SplitKeyLine(lines_[j].text, k, v) && EqualNoCase(k, wantKey))
                pos.keyLine = j;
        }
        return pos;
    }
    return std::nullopt;
}

std::optional<std::string> ProfileFile::Find(std::string_view section, std::string_view key) const
{
    const auto pos = Locate(section, key);
    if (!pos || !pos->keyLine)
        return std::nullopt;
    std::string_view k, v;
    SplitKeyLine(lines_[*pos->keyLine].text, k, v);
    return std::string(v);
}

std::string ProfileFile::GetString(
    std::string_view section, std::string_view key, std::string_view defaultValue, std::size_t maxChars) const
{
    const auto value = Find(section, key);
    return TruncateUtf8(value ? std::string_view(*value) : defaultValue, maxChars);
}

bool ProfileFile::IsStorableSection(std::string_view section)
{
    return !Trim(section).empty() && section.find(']') == std::string_view::npos
        && !HasControl(section, false) && IsValidUtf8(section);
}

bool ProfileFile::IsStorableKey(std::string_view key)
{
    const std::string_view trimmed = Trim(key);
    return !trimmed.empty() && key.find('=') == std::string_view::npos && !IsSectionLine(trimmed)
        && !IsCommentLine(trimmed) && !HasControl(key, false) && IsValidUtf8(key);
}

bool ProfileFile::IsStorableValue(std::string_view value)
{
    return !HasControl(value, true) && IsValidUtf8(value);
}

bool ProfileFile::SetString(std::string_view section, std::string_view key, std::string_view value)
{
    if (!IsStorableSection(section) || !IsStorableKey(key) || !IsStorableValue(value))
        return false;
    std::string line = std::string(Trim(key)) + "=" + std::string(value);
    const auto pos = Locate(section, key);
    if (pos && pos->keyLine) {
        lines_[*pos->keyLine].text = std::move(line);
    } else if (pos) {
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(pos->endLine), Line { std::move(line) });
    } else {
        if (!lines_.empty() && !Trim(lines_.back().text).empty())
            lines_.push_back({ std::string() });
        lines_.push_back({ "[" + std::string(Trim(section)) + "]" });
        lines_.push_back({ std::move(line) });
    }
    return true;
}

std::string ProfileFile::Text() const
{
    const std::string_view eol = crlf_ ? "\r\n" : "\n";
    std::string out;
    for (const Line& line : lines_) {
        out += line.text;
        out += eol;
    }
    return out;
}

std::string ProfileFile::Bytes() const
{
    return EncodeProfileText(Text(), encoding_);
}

ProfileWriteResult ProfileFile::Save(const std::string& path) const
{
    const std::string text = Bytes();
    if (text.size() > kMaxProfileFileBytes)
        return Failure(EFBIG, "file too large");
    const AtomicWriteResult written = WriteFileAtomically(path, text, true);
    if (!written.ok())
        return Failure(written.error, written.step);
    ProfileWriteResult ok;
    ok.ok = true;
    return ok;
}

ProfileWriteResult LoadForUpdate(const std::string& path, ProfileFile& profile)
{
    profile = ProfileFile::Load(path);
    ProfileWriteResult result;
    switch (profile.state()) {
    case ProfileFile::State::Missing:
    case ProfileFile::State::Ok:
        result.ok = true;
        return result;
    case ProfileFile::State::Unreadable:
        return Failure(profile.loadError() ? profile.loadError() : EIO, "read existing file");
    case ProfileFile::State::Damaged:
        break;
    }
    int err = 0;
    result.keptAsidePath = KeepDamagedFileAside(path, err);
    if (result.keptAsidePath.empty())
        return Failure(err ? err : EEXIST, "keep damaged file aside");
    profile = ProfileFile();
    result.ok = true;
    return result;
}

std::string GetProfileString(const std::string& path, std::string_view section, std::string_view key,
    std::string_view defaultValue, std::size_t maxChars)
{
    return ProfileFile::Load(path).GetString(section, key, defaultValue, maxChars);
}

ProfileWriteResult WriteProfileString(
    const std::string& path, std::string_view section, std::string_view key, std::string_view value)
{
    // Refuse before touching the file, so a bad value never moves a damaged file aside.
    if (!ProfileFile::IsStorableSection(section) || !ProfileFile::IsStorableKey(key)
        || !ProfileFile::IsStorableValue(value))
        return Failure(EINVAL, "value cannot be stored on one line");
    ProfileFile profile;
    ProfileWriteResult loaded = LoadForUpdate(path, profile);
    if (!loaded.ok)
        return loaded;
    profile.SetString(section, key, value);
    ProfileWriteResult saved = profile.Save(path);
    saved.keptAsidePath = loaded.keptAsidePath;
    return saved;
}

} // namespace kestovar
