// Case information files are profile (INI) files that other tools, other stations and
// damaged disks may have written. Reading must not crash, and what the station writes
// back from what it read must read again to the same text and the same values; a value
// the station stores (escaped case text) must read back exactly as typed.

#include "library/CaseInfoFile.h"
#include "platform/ProfileFile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

using kestovar::ProfileFile;

namespace {

[[noreturn]] void Fail(const char* what, const std::string& detail = {})
{
    std::fprintf(stderr, "fuzz_profile_file: %s\n%s\n", what, detail.c_str());
    std::abort();
}

std::string Trimmed(std::string_view s)
{
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return std::string(s.substr(first, s.find_last_not_of(" \t") - first + 1));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const std::string section = in.ConsumeRandomLengthString(40);
    const std::string key = in.ConsumeRandomLengthString(40);
    const std::string value = in.ConsumeRandomLengthString(300);
    const std::string caseText = in.ConsumeRandomLengthString(300);
    const std::string file = in.ConsumeRemainingBytesAsString();

    // Read, write back, read again: the same text and the same values.
    const ProfileFile read = ProfileFile::FromBytes(file);
    const std::string written = read.Text();
    if (!kestovar::IsValidUtf8(written))
        Fail("the written text is not UTF-8", written);
    const ProfileFile reread = ProfileFile::FromBytes(written);
    if (reread.Text() != written)
        Fail("written, read and written again, the text differs", written);
    // Saved in the encoding it was read in, it reads to the same text and encoding.
    const ProfileFile saved = ProfileFile::FromBytes(read.Bytes());
    if (saved.Text() != written || saved.encoding() != read.encoding())
        Fail("saved in its own encoding, the file reads differently", written);
    for (const auto& [s, k] : { std::pair<std::string_view, std::string_view> { section, key },
             { kestovar::kCaseInfoSection, kestovar::kCaseKeyComment },
             { kestovar::kCaseInfoSection, kestovar::kCaseKeyFileName } }) {
        if (read.Find(s, k) != reread.Find(s, k))
            Fail("a value differs after a write", written);
        const std::string got = read.GetString(s, k, "", 259);
        if (!kestovar::IsValidUtf8(got))
            Fail("a read value is not UTF-8");
    }

    // One key set the way the station sets it: it reads back (without edge blanks, which
    // no INI reader keeps), and the file still reads to the same text.
    ProfileFile updated = reread;
    if (updated.SetString(section, key, value)) {
        const auto found = updated.Find(section, key);
        if (!found || *found != Trimmed(value))
            Fail("a stored value does not read back", updated.Text());
        const ProfileFile after = ProfileFile::FromBytes(updated.Text());
        if (after.Text() != updated.Text() || after.Find(section, key) != found)
            Fail("a stored value does not survive a write", updated.Text());
        // Saved in the file's own encoding (Windows-1252 only while the text fits it).
        if (ProfileFile::FromBytes(updated.Bytes()).Text() != updated.Text())
            Fail("the saved bytes read back to other text", updated.Text());
    } else if (ProfileFile::IsStorableSection(section) && ProfileFile::IsStorableKey(key)
        && ProfileFile::IsStorableValue(value)) {
        Fail("a storable value was refused");
    }

    // Case text of any kind - line breaks, control characters, bad UTF-8, edge blanks -
    // is stored escaped and reads back exactly.
    const std::string encoded = kestovar::EncodeCaseValue(caseText);
    if (!ProfileFile::IsStorableValue(encoded))
        Fail("escaped case text cannot be stored", encoded);
    if (kestovar::DecodeCaseValue(encoded) != caseText)
        Fail("escaped case text does not decode to itself", encoded);
    ProfileFile caseFile = reread;
    if (!caseFile.SetString(kestovar::kCaseInfoSection, kestovar::kCaseKeyComment, encoded))
        Fail("escaped case text was refused");
    const ProfileFile caseRead = ProfileFile::FromBytes(caseFile.Text());
    const auto stored = caseRead.Find(kestovar::kCaseInfoSection, kestovar::kCaseKeyComment);
    if (!stored || kestovar::DecodeCaseValue(*stored) != caseText)
        Fail("case text does not survive the file", caseFile.Text());
    return 0;
}
