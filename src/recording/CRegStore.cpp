#include "recording/CRegStore.h"

#include "platform/HiveStorage.h"

#include <cerrno>

namespace kestovar {

namespace {

// The hive as the next operation finds it. `usable` is false when the file exists
// but cannot be read; nothing may then be read from it or written over it.
struct OpenedHive {
    HiveFile hive;
    QString path;
    bool usable = false;
    int error = 0;
};

OpenedHive OpenHive(RegRoot root, QString* setAsideFile)
{
    OpenedHive opened;
    opened.path = HiveFilePath(root);
    HiveLoadResult loaded = LoadHiveFile(opened.path);
    if (loaded.status == HiveLoadResult::SetAside)
        *setAsideFile = loaded.setAsidePath;
    opened.usable = loaded.status != HiveLoadResult::Unusable;
    opened.error = loaded.error;
    opened.hive = std::move(loaded.hive);
    return opened;
}

bool IsTextType(uint32_t type)
{
    return type == RegSz || type == RegExpandSz || type == RegMultiSz;
}

} // namespace

QString CRegStore::FullPath(const QString& keyPath) const
{
    return keyPath.isEmpty() ? RegRootName(root_) : RegRootName(root_) + u'\\' + keyPath;
}

bool CRegStore::OpenKey(const QString& path, bool create)
{
    if (path.isEmpty()) {
        keyPath_.clear();
        return true;
    }
    OpenedHive opened = OpenHive(root_, &setAsideFile_);
    if (!opened.usable) {
        lastError_ = opened.error;
        return false;
    }
    const QString full = FullPath(path);
    if (!opened.hive.KeyExists(full)) {
        if (!create) {
            lastError_ = ENOENT;
            return false;
        }
        if (!opened.hive.CreateKey(full)) {
            lastError_ = EINVAL;
            return false;
        }
        if (int err = SaveHiveFile(opened.path, opened.hive, !lazyWrite_)) {
            lastError_ = err;
            return false;
        }
    }
    lastError_ = 0;
    keyPath_ = path;
    return true;
}

int32_t CRegStore::ReadInt(const QString& name, int32_t def)
{
    OpenedHive opened = OpenHive(root_, &setAsideFile_);
    const QString key = FullPath(keyPath_);
    if (!opened.usable || !opened.hive.KeyExists(key)) {
        lastError_ = opened.usable ? ENOENT : opened.error;
        return def;
    }
    const HiveValue* value = opened.hive.FindValue(key, name);
    if (!value) {
        lastError_ = ENOENT;
        return def;
    }
    lastError_ = 0;
    if (value->data.size() != 4 || IsTextType(value->type))
        return def;
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<uint32_t>(static_cast<uint8_t>(value->data[i])) << (8 * i);
    return static_cast<int32_t>(v);
}

uint32_t CRegStore::GetValueType(const QString& name)
{
    OpenedHive opened = OpenHive(root_, &setAsideFile_);
    const HiveValue* value = opened.usable ? opened.hive.FindValue(FullPath(keyPath_), name) : nullptr;
    lastError_ = value ? 0 : (opened.usable ? ENOENT : opened.error);
    return value ? value->type : 0;
}

QString CRegStore::ReadString(const QString& name, const QString& def)
{
    OpenedHive opened = OpenHive(root_, &setAsideFile_);
    const HiveValue* value = opened.usable ? opened.hive.FindValue(FullPath(keyPath_), name) : nullptr;
    if (!value) {
        lastError_ = opened.usable ? ENOENT : opened.error;
        return def;
    }
    lastError_ = 0;
    if (value->type != RegSz && value->type != RegExpandSz)
        return def;
    // The registry's 255-character buffer: a text that does not fit with its null
    // is not read at all.
    if (value->data.size() > (kMaxStringLength + 1) * 2) {
        lastError_ = EOVERFLOW;
        return def;
    }
    return HiveFile::DecodeString(value->data);
}

bool CRegStore::WriteInt(const QString& name, int32_t value)
{
    OpenedHive opened = OpenHive(root_, &setAsideFile_);
    if (!opened.usable)
        return false;
    QByteArray data;
    for (int i = 0; i < 4; ++i)
        data.append(static_cast<char>((static_cast<uint32_t>(value) >> (8 * i)) & 0xff));
    if (!opened.hive.SetValue(FullPath(keyPath_), name, RegBinary, data))
        return false;
    return SaveHiveFile(opened.path, opened.hive, !lazyWrite_) == 0;
}

bool CRegStore::WriteString(const QString& name, const QString& text)
{
    QString stored = text;
    const qsizetype nul = stored.indexOf(QChar(u'\0'));
    if (nul >= 0)
        stored.truncate(nul);
    if (stored.size() > kMaxStringLength)
        return false;
    OpenedHive opened = OpenHive(root_, &setAsideFile_);
    if (!opened.usable)
        return false;
    if (!opened.hive.SetValue(FullPath(keyPath_), name, RegSz, HiveFile::EncodeString(stored)))
        return false;
    return SaveHiveFile(opened.path, opened.hive, !lazyWrite_) == 0;
}

} // namespace kestovar
