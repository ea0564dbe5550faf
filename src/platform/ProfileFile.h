#pragma once
// Private-profile (INI) files: the small "[Section]" / "key=value" text files that
// case information lives in.
//
// Semantics, chosen so files written by other INI tools and by the station read alike:
// - Sections and keys are matched without regard to ASCII letter case; blanks around a
//   key, around a value and inside the brackets are not part of the name or value.
//   Quotes are part of a value (unlike the Windows functions, which strip one pair), so
//   what is written reads back as written; lines starting with ";" or "#" are comments.
// - A key that exists is replaced in place (its first occurrence in the first section
//   of that name); a missing key is added after the last line of its section; a missing
//   section is added at the end of the file, after a blank line. Every other line,
//   comments and unknown keys included, is kept byte for byte and in its order.
// - Lines are written as "key=value", no blanks around "=". The file is UTF-8 without a
//   byte-order mark; it keeps CRLF line ends when it had them, else LF. A new file (or
//   the fresh one that replaces a damaged file) gets CRLF, as the platform's
//   private-profile files have: case files travel to other hospital PCs.
// - An existing file in UTF-8 with a byte-order mark, or in UTF-16 (either byte order,
//   with its mark), is written back in that encoding with its mark. A Windows-1252 file
//   is written back in Windows-1252, so every line the station did not change keeps its
//   bytes; when its text no longer fits Windows-1252 (the operator typed a character it
//   cannot hold, such as a Polish or Chinese letter) or would then read as UTF-8 (what made it
//   not UTF-8 is gone while other bytes look like UTF-8), the whole file is written in
//   UTF-8 with a byte-order mark instead, so nothing is lost and it reads the same.
// - Reading takes UTF-8 (with or without a byte-order mark), UTF-16 with a byte-order mark
//   and, for any other text, Windows-1252 (what the old station's "ANSI" files hold).
//   A value is cut to at most maxChars characters (Unicode code points), never inside one.
// - A damaged file (NUL bytes outside UTF-16, larger than kMaxProfileFileBytes, not a
//   regular file) is read as far as it parses without a crash. Writing into one moves it
//   aside to "<name>.bad" (or ".1.bad", ...), as a damaged settings file is, and starts a
//   fresh file, so nothing is silently replaced. A file that exists but cannot be read is
//   never written over.
// - Every save goes through WriteFileAtomically (AtomicFile.h): a crash during a save
//   leaves the old or the new file, whole, and the next save removes its leftovers.
//
// Values, keys and section names cannot hold line breaks or NUL: a write with one is
// refused (the caller encodes such text; see CaseInfoFile.h) instead of splitting the line.
//
// Not thread-safe; the station uses these files from the GUI thread only.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestovar {

// Files above this size are treated as damaged (a case file is a few kilobytes).
inline constexpr std::uintmax_t kMaxProfileFileBytes = 4u * 1024u * 1024u;

// Outcome of a write, with the errno of the step that failed.
struct ProfileWriteResult {
    bool ok = false;
    int error = 0; // errno, or EINVAL for a refused argument
    std::string what; // the step that failed, for a log or a message
    std::string keptAsidePath; // where a damaged file was moved before writing
};

// The encoding a file was read in and is saved in (the text itself is held as UTF-8).
// Windows1252 is saved as UTF-8 with a byte-order mark when its text does not fit.
enum class ProfileEncoding { Utf8, Utf8Bom, Utf16Le, Utf16Be, Windows1252 };

class ProfileFile {
public:
    enum class State {
        Missing, // no file: reads give defaults
        Ok, // read and parsed
        Damaged, // binary, oversized or not a regular file: parsed as far as possible
        Unreadable, // exists but could not be read (permissions, I/O error): never rewritten
    };

    ProfileFile() = default;

    // Reads the file; never throws. state() tells what was found.
    static ProfileFile Load(const std::string& path);
    // Parses text as if it had been read from a file (used by Load and by tests).
    static ProfileFile FromBytes(std::string_view bytes);

    State state() const { return state_; }
    int loadError() const { return loadError_; }

    // The value of key in section, or nullopt when either is missing.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;
    // GetPrivateProfileString's rules: the value, or defaultValue when missing, cut to
    // maxChars characters.
    std::string GetString(std::string_view section, std::string_view key, std::string_view defaultValue,
        std::size_t maxChars) const;

    // Sets one key (replaced in place or added). False, and nothing changed, when the
    // section, key or value could not be stored on one line or is not valid UTF-8.
    bool SetString(std::string_view section, std::string_view key, std::string_view value);

    // The file's text as it would be saved (UTF-8; Save writes it in encoding()).
    std::string Text() const;
    ProfileEncoding encoding() const { return encoding_; }
    // The bytes Save writes: Text() in encoding(), with its byte-order mark (for
    // Windows1252, UTF-8 with a mark when the text does not fit; see above).
    std::string Bytes() const;

    // Atomic save (temporary file, fsync, rename, fsync of the folder).
    ProfileWriteResult Save(const std::string& path) const;

    // True when section, key and value can be written by SetString.
    static bool IsStorableSection(std::string_view section);
    static bool IsStorableKey(std::string_view key);
    static bool IsStorableValue(std::string_view value);

private:
    struct Line {
        std::string text; // without its line end
    };
    struct Position {
        std::size_t sectionLine = 0; // index of the "[...]" line
        std::size_t endLine = 0; // one past the section's last non-blank line
        std::optional<std::size_t> keyLine;
    };

    std::optional<Position> Locate(std::string_view section, std::string_view key) const;

    std::vector<Line> lines_;
    bool crlf_ = true; // a profile not read from a file is a new file: CRLF
    ProfileEncoding encoding_ = ProfileEncoding::Utf8;
    State state_ = State::Missing;
    int loadError_ = 0;
};

// One key per call, as the platform's private-profile functions do.
// Missing file, section or key: defaultValue. The value is cut to maxChars characters.
std::string GetProfileString(const std::string& path, std::string_view section, std::string_view key,
    std::string_view defaultValue, std::size_t maxChars);

// Replaces or adds one key and saves the file atomically. A damaged file is kept aside
// first (see above); a file that cannot be read is left alone and the write fails.
ProfileWriteResult WriteProfileString(
    const std::string& path, std::string_view section, std::string_view key, std::string_view value);

// Loads path for an update: a damaged file is moved aside and an empty profile is
// returned in its place (keptAsidePath tells where it went). Fails for an unreadable file
// or when the damaged file could not be moved.
ProfileWriteResult LoadForUpdate(const std::string& path, ProfileFile& profile);

// Text helpers shared with the case-file code.
bool IsValidUtf8(std::string_view text);
// At most maxChars code points of valid UTF-8 text.
std::string TruncateUtf8(std::string_view text, std::size_t maxChars);

} // namespace kestovar
