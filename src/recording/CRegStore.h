#pragma once
// Typed access to the values of one registry key.
//
// Every operation opens the hive, does one query or change, and lets go again; no
// state but the key path survives a call, so another program's changes to the hive
// file are seen by the next call. Writes replace the hive file atomically. The hive
// file of each root key is found by RegistryFolder (platform/RegistryFolder.h).
//
// Error codes are errno values: 0 success, ENOENT for a missing key or value, the
// file's own error otherwise.
//
// Threads: GUI thread only.

#include "platform/HiveFile.h" // RegType
#include "platform/RegistryFolder.h"

#include <QString>

#include <cstdint>

namespace kestovar {

class CRegStore {
public:
    CRegStore() = default;

    // Opens (with create: creates when missing, with any missing parents) the key
    // below the root. On success the path becomes this store's key path. An empty
    // path empties the key path and succeeds without touching the hive.
    bool OpenKey(const QString& path, bool create);

    // A 4-byte value (REG_BINARY as this store writes it, REG_DWORD as other tools
    // write it) as a little-endian signed integer; `def` when the key or value is
    // missing, the data is not exactly 4 bytes, or the value is a text.
    int32_t ReadInt(const QString& name, int32_t def);
    // The value's registry type (RegType), 0 when the key or value is missing.
    uint32_t GetValueType(const QString& name);
    // A REG_SZ or REG_EXPAND_SZ value (the latter unexpanded) of at most 254
    // characters; `def` for anything else, including a longer text.
    QString ReadString(const QString& name, const QString& def);

    // Writes the value as a 4-byte REG_BINARY. False when the key is missing or the
    // hive cannot be written; the hive is then unchanged.
    bool WriteInt(const QString& name, int32_t value);
    // Writes a REG_SZ. Texts longer than 254 characters are refused (false) and the
    // stored value is kept. A text is cut at an embedded null, as a C string is.
    bool WriteString(const QString& name, const QString& text);

    RegRoot rootKey() const { return root_; }
    void setRootKey(RegRoot root) { root_ = root; }
    // When false, every change is also flushed to the disk's folder entry.
    bool lazyWrite() const { return lazyWrite_; }
    void setLazyWrite(bool lazy) { lazyWrite_ = lazy; }
    const QString& keyPath() const { return keyPath_; }
    int lastError() const { return lastError_; }

    // The file a damaged hive was moved to by the last operation that found it, or
    // empty. Kept until the next damaged file is found.
    const QString& setAsideFile() const { return setAsideFile_; }

    // Longest text WriteString accepts and ReadString returns, in UTF-16 units (the
    // registry's 255-character buffer with its terminating null).
    static constexpr int kMaxStringLength = 254;

private:
    QString FullPath(const QString& keyPath) const;

    int lastError_ = 0;
    RegRoot root_ = RegRoot::CurrentUser;
    bool lazyWrite_ = true;
    QString keyPath_;
    QString setAsideFile_;
};

} // namespace kestovar
