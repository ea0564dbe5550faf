#pragma once
// The contents of one registry hive file, in the text format that `regedit` exports:
//
//   REGEDIT4
//
//   [HKEY_LOCAL_MACHINE\Software\Kestovar\Settings]
//   "bitrate"=hex:01,00,00,00
//   "x"=dword:00000001
//   "rootpath"="/home/op/Kestovar"
//
// Every value keeps its exact registry type. Value data is held as the registry holds
// it: string types (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) as UTF-16LE with their
// terminating null, numbers little-endian. Key paths carry the root key's name, and
// key and value names compare without regard to letter case, as in the registry.
//
// Reading accepts what `regedit` and hand editing produce: CRLF or LF line ends,
// UTF-8 (with or without byte-order mark), UTF-16 with a byte-order mark ("Windows
// Registry Editor Version 5.00", where hex(2) and hex(7) data are UTF-16), comments
// after ';', hex lists continued over several lines with a trailing backslash, and
// deletion lines. Anything else makes the whole file unreadable: a half-understood
// file must not be written back with parts of it missing.
//
// Writing keeps the file's encoding where another program's lines depend on it (see
// Serialize): an 8-bit file (UTF-8, or ANSI such as Windows-1252) becomes REGEDIT4 text
// with LF line ends, and a UTF-16 file, as Windows' regedit exports it, stays UTF-16 in
// its byte order with its byte-order mark, its header and its line ends.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace kestovar {

// Registry value types (winnt.h numbering).
enum RegType : uint32_t {
    RegNone = 0,
    RegSz = 1,
    RegExpandSz = 2,
    RegBinary = 3,
    RegDword = 4,
    RegDwordBigEndian = 5,
    RegLink = 6,
    RegMultiSz = 7,
    RegQword = 11,
};

struct HiveValue {
    QString name; // empty for the key's default value ("@" in the file)
    uint32_t type = RegNone;
    QByteArray data;
    QString raw; // its line(s) as read from an 8-bit file while unchanged, else empty
};

struct HiveKey {
    QString path; // full path with the root key, e.g. HKEY_LOCAL_MACHINE\Software
    std::vector<HiveValue> values;
    QString raw; // its "[...]" line as read from an 8-bit file, else empty
};

class HiveFile {
public:
    // Parses a file's bytes. On failure returns false, leaves `out` untouched and
    // sets `error` to what was wrong and on which line.
    static bool Parse(const QByteArray& bytes, HiveFile* out, QString* error);
    // The file's bytes. Parsing them gives back every key and value exactly; only in
    // REGEDIT4 text, string data that is not UTF-16 text (an odd byte count, a lone
    // surrogate) comes back as the nearest text, since REGEDIT4 stores strings as text.
    // Key and value lines read from the file and not changed since are written with the
    // bytes they were read with (a hex list continued over several lines of an 8-bit
    // file is written anew on one line, same data).
    // - A file read from 8-bit text (UTF-8, or ANSI such as Windows-1252 from regedit),
    //   and a new one: REGEDIT4 with LF line ends. The station's own lines are UTF-8;
    //   next to ANSI lines its text that is not ASCII is written as hex(1) of its UTF-8
    //   bytes, which reads back the same whatever the rest of the file holds.
    // - A file read from UTF-16 with a byte-order mark: the same encoding, mark, header
    //   ("Windows Registry Editor Version 5.00" or REGEDIT4) and line ends (CRLF when its
    //   first line had one). Under the version 5 header the station's own lines are
    //   written as regedit writes them: a string in quotes, hex(2), hex(7) and any
    //   string data that quotes cannot hold exactly (hex(1)) as their UTF-16LE bytes.
    QByteArray Serialize() const;

    // A key exists when it is listed or when a listed key lies below it.
    bool KeyExists(const QString& path) const;
    // Adds the key (no values) unless it exists. False for a path that cannot be
    // written to the file (empty, or with line breaks or brackets).
    bool CreateKey(const QString& path);
    const HiveValue* FindValue(const QString& keyPath, const QString& name) const;
    // Sets or replaces a value of a listed or implied key, keeping the value's place
    // (and its bytes in the file, when type and data are the same) when it exists.
    // False when the key does not exist or the name cannot be written.
    bool SetValue(const QString& keyPath, const QString& name, uint32_t type, const QByteArray& data);
    bool DeleteValue(const QString& keyPath, const QString& name);

    const std::vector<HiveKey>& Keys() const { return keys_; }

    // UTF-16LE bytes with a terminating null, as REG_SZ data.
    static QByteArray EncodeString(const QString& text);
    // REG_SZ data back to text: up to the first null; an odd last byte is dropped.
    static QString DecodeString(const QByteArray& data);

private:
    // How the lines of the file read were decoded: their bytes are the raw texts in
    // this encoding (None: not kept, an 8-bit file under the version 5 header).
    enum class LineBytes { None, Utf8, Latin1, Utf16Le, Utf16Be };

    HiveKey* FindKey(const QString& path);
    HiveValue* FindValueForUpdate(const QString& keyPath, const QString& name);
    const HiveKey* FindKey(const QString& path) const;
    void DeleteKeyTree(const QString& path);

    std::vector<HiveKey> keys_;
    LineBytes bytes_ = LineBytes::None;
    bool version5_ = false; // a UTF-16 file read under the version 5 header
    bool crlf_ = false; // a UTF-16 file whose first line ended in CRLF
};

} // namespace kestovar
