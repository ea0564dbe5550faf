#include "ChmDirectory.h"

#include <cstring>

namespace kestovar::test {

namespace {

class Reader {
public:
    explicit Reader(const std::string& bytes)
        : bytes_(bytes)
    {
    }

    bool Has(uint64_t at, uint64_t size) const { return at <= bytes_.size() && size <= bytes_.size() - at; }

    // Little-endian, as every CHM header field is.
    uint64_t Le(uint64_t at, int size) const
    {
        uint64_t v = 0;
        for (int i = size - 1; i >= 0; --i)
            v = (v << 8) | static_cast<unsigned char>(bytes_[at + i]);
        return v;
    }

    bool Signature(uint64_t at, const char* sig) const
    {
        return Has(at, 4) && std::memcmp(bytes_.data() + at, sig, 4) == 0;
    }

    // The directory's variable-length numbers: seven bits a byte, most significant
    // first, the high bit set on every byte but the last.
    bool EncInt(uint64_t& at, uint64_t end, uint64_t& out) const
    {
        out = 0;
        for (int i = 0; i < 10 && at < end; ++i) {
            const auto b = static_cast<unsigned char>(bytes_[at++]);
            out = (out << 7) | (b & 0x7f);
            if (!(b & 0x80))
                return true;
        }
        return false;
    }

private:
    const std::string& bytes_;
};

} // namespace

std::optional<std::vector<ChmEntry>> ReadChmDirectory(const std::string& bytes, std::string* why)
{
    const Reader r(bytes);
    auto fail = [why](const std::string& what) {
        if (why)
            *why = what;
        return std::optional<std::vector<ChmEntry>>();
    };
    if (!r.Signature(0, "ITSF"))
        return fail("no ITSF signature");
    if (!r.Has(0, 0x60) || r.Le(4, 4) != 3)
        return fail("not an ITSF header of version 3");
    const uint64_t dirOffset = r.Le(0x48, 8);
    const uint64_t dirLength = r.Le(0x50, 8);
    if (!r.Has(dirOffset, dirLength) || !r.Signature(dirOffset, "ITSP") || !r.Has(dirOffset, 0x54))
        return fail("no ITSP directory header where the ITSF header points");
    const uint64_t headerLength = r.Le(dirOffset + 0x08, 4);
    const uint64_t chunkSize = r.Le(dirOffset + 0x10, 4);
    const int64_t firstListing = static_cast<int32_t>(r.Le(dirOffset + 0x20, 4));
    const uint64_t chunks = r.Le(dirOffset + 0x2c, 4);
    if (chunkSize < 0x14 || headerLength + chunks * chunkSize > dirLength)
        return fail("directory chunks do not fit the directory");

    std::vector<ChmEntry> entries;
    int64_t chunk = firstListing;
    for (uint64_t visited = 0; chunk >= 0; ++visited) {
        if (static_cast<uint64_t>(chunk) >= chunks || visited > chunks)
            return fail("listing chunk chain leaves the directory");
        const uint64_t at = dirOffset + headerLength + static_cast<uint64_t>(chunk) * chunkSize;
        if (!r.Signature(at, "PMGL"))
            return fail("listing chunk without PMGL signature");
        const uint64_t freeSpace = r.Le(at + 4, 4);
        if (freeSpace > chunkSize - 0x14)
            return fail("listing chunk with impossible free space");
        const uint64_t end = at + chunkSize - freeSpace;
        uint64_t pos = at + 0x14;
        while (pos < end) {
            ChmEntry e;
            uint64_t nameLength = 0;
            if (!r.EncInt(pos, end, nameLength) || nameLength > end - pos)
                return fail("entry name runs past its chunk");
            e.name.assign(bytes.data() + pos, nameLength);
            pos += nameLength;
            if (!r.EncInt(pos, end, e.section) || !r.EncInt(pos, end, e.offset) || !r.EncInt(pos, end, e.length))
                return fail("entry " + e.name + " is cut off");
            entries.push_back(std::move(e));
        }
        chunk = static_cast<int32_t>(r.Le(at + 0x10, 4));
    }
    return entries;
}

} // namespace kestovar::test
