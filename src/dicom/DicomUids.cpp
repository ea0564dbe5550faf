#include "dicom/DicomUids.h"

#include <cstdint>
#include <random>

namespace kestovar {

namespace {

constexpr std::size_t kMinRandomDigits = 12;

uint64_t RandomWord()
{
    static thread_local std::random_device device;
    return (uint64_t(device()) << 32) ^ uint64_t(device());
}

// The decimal digits of a 128-bit number held as four 32-bit words, most significant first.
std::string Decimal(uint32_t words[4])
{
    std::string digits;
    bool zero = false;
    while (!zero) {
        uint64_t rest = 0;
        zero = true;
        for (int i = 0; i < 4; ++i) {
            const uint64_t part = (rest << 32) | words[i];
            words[i] = uint32_t(part / 10);
            rest = part % 10;
            zero = zero && words[i] == 0;
        }
        digits.insert(digits.begin(), char('0' + int(rest)));
    }
    return digits;
}

} // namespace

std::string MakeUuidOrgRoot()
{
    const uint64_t high = RandomWord(), low = RandomWord();
    uint32_t words[4] = { uint32_t(high >> 32), uint32_t(high), uint32_t(low >> 32), uint32_t(low) };
    // Version 4 (random) and variant 10xx, where RFC 4122 puts those bits.
    words[1] = (words[1] & 0xFFFF0FFFu) | 0x00004000u;
    words[2] = (words[2] & 0x3FFFFFFFu) | 0x80000000u;
    return "2.25." + Decimal(words);
}

bool IsValidOrgRoot(std::string_view root)
{
    if (root.empty() || root.size() + 1 + kMinRandomDigits > kMaxUidLength)
        return false;
    std::size_t start = 0;
    while (start <= root.size()) {
        std::size_t end = root.find('.', start);
        if (end == std::string_view::npos)
            end = root.size();
        std::string_view part = root.substr(start, end - start);
        if (part.empty() || (part.size() > 1 && part[0] == '0'))
            return false;
        for (char c : part) {
            if (c < '0' || c > '9')
                return false;
        }
        start = end + 1;
    }
    return true;
}

std::string MakeUid(std::string_view root)
{
    // Up to 19 random digits (a 64-bit number), as many as fit in 64 characters.
    std::size_t room = kMaxUidLength - root.size() - 1;
    std::size_t digits = room < 19 ? room : 19;
    uint64_t low = 1;
    for (std::size_t i = 1; i < digits; ++i)
        low *= 10;
    const uint64_t span = digits == 19 ? (UINT64_C(10000000000000000000) - low) : (low * 10 - low);
    uint64_t value = low + RandomWord() % span;
    return std::string(root) + "." + std::to_string(value);
}

} // namespace kestovar
