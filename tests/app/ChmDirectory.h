#pragma once
// Reads the file directory of an HTML Help (CHM) file, so tests can see which pages a
// built help file really holds: the ITSF header, the ITSP directory header and its
// PMGL listing chunks, whose entries name every stored file ("/index.html",
// "/#SYSTEM", ...). The content itself (LZX-compressed) is not read.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestovar::test {

struct ChmEntry {
    std::string name; // as stored, with its leading "/" for ordinary files
    uint64_t section = 0; // 0 uncompressed, 1 compressed content
    uint64_t offset = 0;
    uint64_t length = 0;
};

// The entries of every listing chunk, in order; nothing (and *why says what is wrong)
// when the bytes are not a well-formed CHM of version 3.
std::optional<std::vector<ChmEntry>> ReadChmDirectory(const std::string& bytes, std::string* why);

} // namespace kestovar::test
