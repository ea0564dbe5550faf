#pragma once
// Where the registry hive files live, and their names.
//
// The folder is $KESTOVAR_REGISTRY_DIR when set; else /var/lib/kestovar when it exists
// and is writable or can be created (a station shared by several operator accounts);
// else $XDG_STATE_HOME/kestovar, which defaults to ~/.local/state/kestovar.

#include <QString>

namespace kestovar {

enum class RegRoot {
    CurrentUser,
    LocalMachine,
};

// "HKEY_CURRENT_USER" or "HKEY_LOCAL_MACHINE": the first component of every key
// path in that hive's file, and the file's base name.
QString RegRootName(RegRoot root);

// The folder chosen from the process environment. May create /var/lib/kestovar.
QString RegistryFolder();

// The rule above with its inputs spelled out. `systemFolder` is /var/lib/kestovar in
// the program; `envFolder`, `xdgStateHome` and `home` are the variables' values
// (empty when unset).
QString ChooseRegistryFolder(
    const QString& envFolder, const QString& systemFolder, const QString& xdgStateHome, const QString& home);

// <folder>/<root name>.reg
QString HiveFilePath(RegRoot root);

} // namespace kestovar
