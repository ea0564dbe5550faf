#pragma once
// UIDs the station makes: every one lies under the station's organisation root.
//
// The default root is "2.25." and the decimal value of a random (version 4) UUID, made
// once per station (ISO/IEC 9834-8: a UUID-derived root needs no registration). A
// hospital may set its own registered root instead. A UID is the root, a dot and a
// random decimal number, at most 64 characters in all, no component with a leading zero.

#include <string>
#include <string_view>

namespace kestovar {

inline constexpr std::size_t kMaxUidLength = 64;

// "2.25.<decimal of a random UUID>", at most 44 characters.
std::string MakeUuidOrgRoot();

// Digits and dots, no empty component, no leading zero in a component, short enough
// that a UID under it still has room for a 12-digit random part.
bool IsValidOrgRoot(std::string_view root);

// A new UID under root (which must be valid).
std::string MakeUid(std::string_view root);

} // namespace kestovar
