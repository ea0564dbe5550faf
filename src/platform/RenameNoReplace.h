#pragma once
// Moving a file to a name that must not exist yet.

#include <string>

namespace kestovar {

// Renames from to to, failing with EEXIST instead of replacing an existing file (or a
// symbolic link, even a dangling one) at to. Returns 0 or the errno of the failure.
// Uses renameat2(RENAME_NOREPLACE); where the file system lacks it, a hard link followed
// by removing the old name, which is just as safe; only where neither exists (some
// network and FAT mounts) a check followed by a plain rename.
int RenameNoReplace(const std::string& from, const std::string& to);

} // namespace kestovar
