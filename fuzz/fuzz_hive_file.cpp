// Hive files are read at every start and may have been edited by hand, copied from a
// Windows station or damaged by a full disk. Whatever the bytes, parsing must not crash,
// and a file that parses must survive being written back: the station writes what it
// read, and that text must read to the same keys and values.

#include "platform/HiveFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

using kestovar::HiveFile;

namespace {

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz_hive_file: %s\n", what);
    std::abort();
}

// String data that is UTF-16 text; only such data survives a REGEDIT4 file exactly.
bool IsText(const kestovar::HiveValue& v)
{
    if (v.type != kestovar::RegSz && v.type != kestovar::RegExpandSz && v.type != kestovar::RegMultiSz)
        return true;
    if (v.data.size() % 2)
        return false;
    const QString text
        = QString::fromUtf16(reinterpret_cast<const char16_t*>(v.data.constData()), v.data.size() / 2);
    return QString::fromUtf8(text.toUtf8()) == text && !text.contains(QChar(0xFFFD));
}

// Empty when both hold the same keys and values, else the first difference.
std::string Difference(const HiveFile& a, const HiveFile& b)
{
    if (a.Keys().size() != b.Keys().size())
        return "number of keys";
    for (std::size_t i = 0; i < a.Keys().size(); ++i) {
        const auto& ka = a.Keys()[i];
        const auto& kb = b.Keys()[i];
        if (ka.path != kb.path || ka.values.size() != kb.values.size())
            return "key " + ka.path.toStdString() + " / " + kb.path.toStdString() + " values "
                + std::to_string(ka.values.size()) + " / " + std::to_string(kb.values.size());
        for (std::size_t j = 0; j < ka.values.size(); ++j) {
            const auto& va = ka.values[j];
            const auto& vb = kb.values[j];
            if (va.name != vb.name || va.type != vb.type || (IsText(va) && va.data != vb.data))
                return "value " + va.name.toStdString() + " type " + std::to_string(va.type) + " / "
                    + std::to_string(vb.type) + " data " + va.data.toHex().toStdString() + " / "
                    + vb.data.toHex().toStdString();
        }
    }
    return {};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    HiveFile hive;
    QString error;
    if (!HiveFile::Parse(bytes, &hive, &error)) {
        if (error.isEmpty())
            Fail("a refused file gave no reason");
        return 0;
    }

    const QByteArray written = hive.Serialize();
    HiveFile again;
    QString againError;
    if (!HiveFile::Parse(written, &again, &againError)) {
        std::fprintf(stderr, "%s\n---\n%s\n", qPrintable(againError), written.constData());
        Fail("what the station wrote does not read back");
    }
    if (const std::string diff = Difference(hive, again); !diff.empty()) {
        std::fprintf(stderr, "%s\n---\n%s\n", diff.c_str(), written.constData());
        Fail("written and read back, the hive differs");
    }
    if (const QByteArray second = again.Serialize(); second != written) {
        std::fprintf(stderr, "%s\n---\n%s\n", written.toHex(' ').constData(), second.toHex(' ').constData());
        Fail("a second write differs from the first");
    }

    // The lookups the settings store makes, on whatever keys the file holds.
    for (const auto& key : hive.Keys()) {
        if (!hive.KeyExists(key.path))
            Fail("a listed key does not exist");
        for (const auto& value : key.values) {
            if (!hive.FindValue(key.path, value.name))
                Fail("a listed value cannot be found");
            (void)HiveFile::DecodeString(value.data);
        }
    }
    // Writing a value the settings store writes must keep the file readable.
    const QString settings = QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Kestovar\\Settings");
    if (!again.CreateKey(settings))
        Fail("the settings key cannot be created");
    const QString text = QString::fromUtf8(bytes.left(300));
    const QString expected
        = text.left(text.indexOf(QChar(u'\0')) < 0 ? text.size() : text.indexOf(QChar(u'\0')));
    if (again.SetValue(settings, QStringLiteral("rootpath"), kestovar::RegSz, HiveFile::EncodeString(text))) {
        HiveFile third;
        if (!HiveFile::Parse(again.Serialize(), &third, &againError))
            Fail("a stored string made the file unreadable");
        const auto* stored = third.FindValue(settings, QStringLiteral("rootpath"));
        if (!stored || HiveFile::DecodeString(stored->data) != expected)
            Fail("a stored string reads back different");
    }
    return 0;
}
