#include "recording/FileNameRules.h"

#include "platform/ProfileFile.h"

#include <unistd.h>

namespace kestovar {

namespace {

// Decodes valid UTF-8 one code point at a time; the caller has checked validity.
char32_t NextCodePoint(std::string_view s, std::size_t& i)
{
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 4;
    char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
    for (std::size_t k = 1; k < len; ++k)
        cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    i += len;
    return cp;
}

bool IsControl(char32_t cp)
{
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029;
}

NameCheck Problem(NameProblem problem, std::string message)
{
    return NameCheck { problem, std::move(message) };
}

NameCheck CheckText(std::string_view text, std::size_t maxTextBytes)
{
    if (!IsValidUtf8(text))
        return Problem(
            NameProblem::InvalidText, "The file name contains characters that are not valid text.");
    for (std::size_t i = 0; i < text.size();) {
        const char32_t cp = NextCodePoint(text, i);
        if (cp == '/' || cp == '\\')
            return Problem(NameProblem::Separator, "A file name can't contain \"/\" or \"\\\".");
        if (IsControl(cp))
            return Problem(NameProblem::Control,
                "A file name can't contain line breaks, tabs or other control characters.");
    }
    if (text.find("..") != std::string_view::npos)
        return Problem(NameProblem::DotDot, "A file name can't contain \"..\".");
    // A leading dot hides the file: the media list and file browsers would not show it.
    if (text.front() == '.')
        return Problem(NameProblem::LeadingDot, "A file name can't start with \".\".");
    if (text.find_first_not_of(' ') == std::string_view::npos)
        return Problem(NameProblem::Blank, "A file name can't be made of blanks only.");
    if (text.size() > maxTextBytes)
        return Problem(NameProblem::TooLong, "The file name is too long. Please shorten it.");
    return {};
}

} // namespace

bool IsRefusedFileNameChar(char32_t c)
{
    switch (c) {
    case U'"':
    case U'*':
    case U'/':
    case U':':
    case U'<':
    case U'>':
    case U'?':
    case U'\\':
        return true;
    default:
        return false;
    }
}

TypedCharDecision OnFileNameCharTyped(std::string_view textBefore, char32_t c)
{
    return TypedCharDecision { !textBefore.empty(), IsRefusedFileNameChar(c) };
}

std::size_t NameMaxBytes(const std::string& folder)
{
    const long max = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    return max > 0 ? static_cast<std::size_t>(max) : 255;
}

NameCheck CheckCapturePrefix(std::string_view prefix, std::size_t nameMaxBytes)
{
    if (prefix.empty())
        return Problem(NameProblem::Empty, std::string(kEmptyFileNameMessage));
    const std::size_t room
        = nameMaxBytes > kCaptureNameOverheadBytes ? nameMaxBytes - kCaptureNameOverheadBytes : 0;
    return CheckText(prefix, room);
}

NameCheck CheckRenameText(std::string_view text, std::size_t nameMaxBytes)
{
    if (text.empty())
        return Problem(NameProblem::Empty, std::string());
    const std::size_t room = nameMaxBytes > kRenameOverheadBytes ? nameMaxBytes - kRenameOverheadBytes : 0;
    return CheckText(text, room);
}

} // namespace kestovar
