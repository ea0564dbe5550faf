#include "platform/HiveFile.h"

#include <QList>

#include <gtest/gtest.h>

using namespace kestovar;

namespace {

const QString kSettings = QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Kestovar\\Settings");

QByteArray Int32(int32_t v)
{
    QByteArray b;
    for (int i = 0; i < 4; ++i)
        b.append(static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xff));
    return b;
}

HiveFile MustParse(const QByteArray& text)
{
    HiveFile hive;
    QString error;
    EXPECT_TRUE(HiveFile::Parse(text, &hive, &error)) << error.toStdString();
    return hive;
}

QString StringValue(const HiveFile& hive, const QString& key, const QString& name)
{
    const HiveValue* v = hive.FindValue(key, name);
    return v ? HiveFile::DecodeString(v->data) : QStringLiteral("<missing>");
}

// Text as UTF-16LE with a byte-order mark, as Windows' regedit exports it.
QByteArray Utf16Le(const QString& text)
{
    return QByteArray("\xFF\xFE", 2)
        + QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

} // namespace

TEST(HiveFile, ReadsTheFormatRegeditExports)
{
    HiveFile hive = MustParse("REGEDIT4\n"
                              "\n"
                              "[HKEY_LOCAL_MACHINE\\Software\\Kestovar\\Settings]\n"
                              "\"bitrate\"=hex:01,00,00,00\n"
                              "\"x\"=dword:0000002a\n"
                              "\"rootpath\"=\"/home/op/Kestovar\"\n"
                              "\"hostpital_name\"=\"General \\\"City\\\" Hospital \\\\ East\"\n"
                              "@=\"default\"\n");
    const HiveValue* bitrate = hive.FindValue(kSettings, "bitrate");
    ASSERT_NE(bitrate, nullptr);
    EXPECT_EQ(bitrate->type, RegBinary);
    EXPECT_EQ(bitrate->data, Int32(1));
    const HiveValue* x = hive.FindValue(kSettings, "x");
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(x->type, RegDword);
    EXPECT_EQ(x->data, Int32(42));
    EXPECT_EQ(hive.FindValue(kSettings, "rootpath")->type, RegSz);
    EXPECT_EQ(StringValue(hive, kSettings, "rootpath"), "/home/op/Kestovar");
    EXPECT_EQ(StringValue(hive, kSettings, "hostpital_name"), "General \"City\" Hospital \\ East");
    EXPECT_EQ(StringValue(hive, kSettings, ""), "default");
    // REG_SZ data is held as the registry holds it: UTF-16LE with its null.
    EXPECT_EQ(hive.FindValue(kSettings, "rootpath")->data.size(), (17 + 1) * 2);
}

TEST(HiveFile, WritesEveryTypeSoThatItReadsBackExactly)
{
    HiveFile hive;
    ASSERT_TRUE(hive.CreateKey(kSettings));
    ASSERT_TRUE(hive.CreateKey("HKEY_LOCAL_MACHINE\\Software\\Other"));
    QByteArray expand = HiveFile::EncodeString("%HOME%/Kestovar");
    QByteArray multi = HiveFile::EncodeString("one") + HiveFile::EncodeString("two") + QByteArray(2, '\0');
    ASSERT_TRUE(hive.SetValue(kSettings, "bitrate", RegBinary, Int32(-2)));
    ASSERT_TRUE(hive.SetValue(kSettings, "dw", RegDword, Int32(7)));
    ASSERT_TRUE(hive.SetValue(kSettings, "short dword", RegDword, QByteArray("\x01\x02", 2)));
    ASSERT_TRUE(hive.SetValue(kSettings, "expand", RegExpandSz, expand));
    ASSERT_TRUE(hive.SetValue(kSettings, "multi", RegMultiSz, multi));
    ASSERT_TRUE(
        hive.SetValue(kSettings, "qword", RegQword, QByteArray("\x01\x00\x00\x00\x00\x00\x00\x80", 8)));
    ASSERT_TRUE(hive.SetValue(kSettings, "empty", RegBinary, QByteArray()));
    ASSERT_TRUE(hive.SetValue(
        kSettings, "name \"with\" \\ quote", RegSz, HiveFile::EncodeString("Dr. Ünal \\ \"x\"")));
    ASSERT_TRUE(hive.SetValue(kSettings, "two lines", RegSz, HiveFile::EncodeString("first\nsecond\r\n")));
    ASSERT_TRUE(hive.SetValue(kSettings, "", RegSz, HiveFile::EncodeString("")));

    HiveFile back = MustParse(hive.Serialize());
    ASSERT_EQ(back.Keys().size(), hive.Keys().size());
    for (size_t k = 0; k < hive.Keys().size(); ++k) {
        const HiveKey& a = hive.Keys()[k];
        const HiveKey& b = back.Keys()[k];
        EXPECT_EQ(a.path, b.path);
        ASSERT_EQ(a.values.size(), b.values.size()) << a.path.toStdString();
        for (size_t v = 0; v < a.values.size(); ++v) {
            EXPECT_EQ(a.values[v].name, b.values[v].name);
            EXPECT_EQ(a.values[v].type, b.values[v].type) << a.values[v].name.toStdString();
            EXPECT_EQ(a.values[v].data, b.values[v].data) << a.values[v].name.toStdString();
        }
    }
}

TEST(HiveFile, WritesTheValueLinesAsRegeditDoes)
{
    HiveFile hive;
    ASSERT_TRUE(hive.CreateKey(kSettings));
    hive.SetValue(kSettings, "bitrate", RegBinary, Int32(1));
    hive.SetValue(kSettings, "x", RegDword, Int32(1));
    hive.SetValue(kSettings, "rootpath", RegSz, HiveFile::EncodeString("/home/op/Kestovar"));
    const QByteArray text = hive.Serialize();
    EXPECT_EQ(text,
        "REGEDIT4\n"
        "\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Kestovar\\Settings]\n"
        "\"bitrate\"=hex:01,00,00,00\n"
        "\"x\"=dword:00000001\n"
        "\"rootpath\"=\"/home/op/Kestovar\"\n"
        "\n");
}

TEST(HiveFile, ALineBreakInATextNeverSplitsTheFile)
{
    HiveFile hive;
    ASSERT_TRUE(hive.CreateKey(kSettings));
    hive.SetValue(
        kSettings, "patient_name", RegSz, HiveFile::EncodeString("Dr. A\n\"bitrate\"=dword:00000009"));
    const QByteArray text = hive.Serialize();
    EXPECT_FALSE(text.contains("\"bitrate\"")) << text.toStdString();
    HiveFile back = MustParse(text);
    EXPECT_EQ(back.FindValue(kSettings, "bitrate"), nullptr);
    EXPECT_EQ(back.FindValue(kSettings, "patient_name")->type, RegSz);
    EXPECT_EQ(StringValue(back, kSettings, "patient_name"), "Dr. A\n\"bitrate\"=dword:00000009");
}

TEST(HiveFile, ReadsCrlfUtf16AndLatin1Files)
{
    const QByteArray lf
        = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Kestovar\\Settings]\n\"a\"=\"M\xc3\xbcller\"\n"
          "\"e\"=hex(2):25,00\n";
    QByteArray crlf = lf;
    crlf.replace("\n", "\r\n");
    HiveFile fromCrlf = MustParse(crlf);
    EXPECT_EQ(StringValue(fromCrlf, kSettings, "a"), QString::fromUtf8("M\xc3\xbcller"));

    // regedit's own export: UTF-16LE with a byte-order mark, version 5 header, and
    // hex(2) data in UTF-16.
    QString v5 = QString::fromUtf8("Windows Registry Editor Version 5.00\r\n\r\n"
                                   "[HKEY_LOCAL_MACHINE\\Software\\Kestovar\\Settings]\r\n"
                                   "\"a\"=\"M\xc3\xbcller\"\r\n"
                                   "\"e\"=hex(2):25,00,00,00\r\n");
    QByteArray utf16("\xFF\xFE", 2);
    for (QChar c : v5) {
        utf16.append(static_cast<char>(c.unicode() & 0xff));
        utf16.append(static_cast<char>(c.unicode() >> 8));
    }
    HiveFile fromUtf16 = MustParse(utf16);
    EXPECT_EQ(StringValue(fromUtf16, kSettings, "a"), QString::fromUtf8("M\xc3\xbcller"));
    EXPECT_EQ(fromUtf16.FindValue(kSettings, "e")->type, RegExpandSz);
    EXPECT_EQ(StringValue(fromUtf16, kSettings, "e"), "%");
    EXPECT_EQ(StringValue(fromCrlf, kSettings, "e"), "%");

    // A REGEDIT4 file written on Windows is in the ANSI code page.
    HiveFile fromLatin1
        = MustParse("REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Kestovar\\Settings]\n\"a\"=\"M\xfcller\"\n");
    EXPECT_EQ(StringValue(fromLatin1, kSettings, "a"), QString::fromUtf8("M\xc3\xbcller"));
}

TEST(HiveFile, ReadsContinuedHexListsCommentsAndDeletions)
{
    HiveFile hive = MustParse("REGEDIT4\n"
                              "; exported by hand\n"
                              "[HKEY_LOCAL_MACHINE\\Software\\Kestovar\\Settings]\n"
                              "\"blob\"=hex:01,02,\\\n"
                              "  03,04\n"
                              "\"gone\"=dword:00000001\n"
                              "\"gone\"=-\n"
                              "[HKEY_LOCAL_MACHINE\\Software\\Old]\n"
                              "\"v\"=dword:00000001\n"
                              "[-HKEY_LOCAL_MACHINE\\Software\\Old]\n");
    EXPECT_EQ(hive.FindValue(kSettings, "blob")->data, QByteArray("\x01\x02\x03\x04", 4));
    EXPECT_EQ(hive.FindValue(kSettings, "gone"), nullptr);
    EXPECT_FALSE(hive.KeyExists("HKEY_LOCAL_MACHINE\\Software\\Old"));
}

TEST(HiveFile, KeysAndNamesIgnoreLetterCaseLikeTheRegistry)
{
    HiveFile hive = MustParse(
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\kestovar\\settings]\n\"BitRate\"=dword:00000002\n");
    EXPECT_TRUE(hive.KeyExists(kSettings));
    EXPECT_TRUE(hive.KeyExists("HKEY_LOCAL_MACHINE\\Software")); // implied by the listed key
    EXPECT_FALSE(hive.KeyExists("HKEY_LOCAL_MACHINE\\Soft"));
    EXPECT_FALSE(hive.KeyExists("HKEY_CURRENT_USER\\Software"));
    ASSERT_NE(hive.FindValue(kSettings, "bitrate"), nullptr);

    // Replacing keeps the value's place and its first spelling.
    hive.SetValue(kSettings, "a", RegDword, Int32(1));
    hive.SetValue(kSettings, "BITRATE", RegBinary, Int32(0));
    ASSERT_EQ(hive.Keys()[0].values.size(), 2u);
    EXPECT_EQ(hive.Keys()[0].values[0].name, "BitRate");
    EXPECT_EQ(hive.Keys()[0].values[0].type, RegBinary);

    EXPECT_FALSE(hive.SetValue("HKEY_LOCAL_MACHINE\\Software\\Missing", "a", RegDword, Int32(1)));
    EXPECT_FALSE(hive.CreateKey("HKEY_LOCAL_MACHINE\\Bad\nKey"));
    EXPECT_FALSE(hive.SetValue(kSettings, "bad\nname", RegDword, Int32(1)));
}

TEST(HiveFile, RefusesFilesItDoesNotUnderstand)
{
    const char* damaged[] = {
        "", // empty
        "\x00\x01garbage", // binary
        "[HKEY_LOCAL_MACHINE\\Software]\n\"a\"=dword:1\n", // no header
        "REGEDIT4\n\"a\"=dword:00000001\n", // value outside a key
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\n", // key without ]
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software]\n\"a\"=\"open\n", // unterminated string
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software]\n\"a\"=dword:1234567890\n", // too many digits
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software]\n\"a\"=hex:01,xyz\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software]\n\"a\"=hex(zz):01\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software]\n\"a\"=word:01\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software]\nbitrate=1\n", // an INI line
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software]\n\"a\"=\"x\" trailing\n",
        "REGEDIT4\n[]\n",
    };
    for (const char* text : damaged) {
        HiveFile out;
        out.CreateKey("HKEY_CURRENT_USER\\Untouched");
        QString error;
        EXPECT_FALSE(HiveFile::Parse(QByteArray(text), &out, &error)) << text;
        EXPECT_TRUE(error.startsWith("line ")) << error.toStdString();
        EXPECT_TRUE(out.KeyExists("HKEY_CURRENT_USER\\Untouched"));
    }
}

TEST(HiveFile, DecodesStringDataLikeTheRegistryQuery)
{
    // Text ends at the first null; an odd trailing byte is not half a character.
    EXPECT_EQ(HiveFile::DecodeString(HiveFile::EncodeString("ab")), "ab");
    EXPECT_EQ(HiveFile::DecodeString(QByteArray("a\0b\0\0\0c\0", 8)), "ab");
    EXPECT_EQ(HiveFile::DecodeString(QByteArray("a\0b", 3)), "a");
    EXPECT_EQ(HiveFile::DecodeString(QByteArray()), "");
}

// Values other programs stored - a null inside the text, text after the terminator, no
// terminator at all - must survive the station's rewrite of the file byte for byte, and
// what cannot be text (a lone surrogate) settles after one write.
TEST(HiveFile, ForeignStringDataSurvivesRewritesAndASecondWriteIsTheSame)
{
    const QByteArray text = QByteArray("Windows Registry Editor Version 5.00\n\n[") + kSettings.toUtf8()
        + "]\n"
          "\"inner null\"=hex(1):64,00,00,00,65,00,66,00,00,00\n"
          "\"no terminator\"=hex(1):61,00,62,00\n"
          "\"two nulls\"=hex(1):61,00,00,00,00,00\n"
          "\"odd\"=hex(1):61,00,62\n"
          "\"lone surrogate\"=hex(1):00,d8,61,00,00,00\n"
          "@=\"plain\"\n";
    const HiveFile read = MustParse(text);
    const QByteArray written = read.Serialize();
    const HiveFile back = MustParse(written);
    for (const char* name : { "inner null", "no terminator", "two nulls", "" }) {
        const HiveValue* a = read.FindValue(kSettings, name);
        const HiveValue* b = back.FindValue(kSettings, name);
        ASSERT_TRUE(a && b) << name;
        EXPECT_EQ(a->type, b->type) << name;
        EXPECT_EQ(a->data, b->data) << name;
    }
    EXPECT_TRUE(written.contains("@=\"plain\"\n")) << written.toStdString();
    EXPECT_EQ(StringValue(back, kSettings, "odd"), QStringLiteral("a")); // the odd last byte is no character
    EXPECT_EQ(back.Serialize(), written);

    // A key name with a lone surrogate, from a UTF-16 file, reads the same after a write.
    QByteArray utf16("\xFF\xFE", 2);
    const QString withSurrogate
        = QStringLiteral("Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\A") + QChar(0xD9D9)
        + QStringLiteral("]\n\"x\"=dword:00000001\n");
    utf16.append(reinterpret_cast<const char*>(withSurrogate.utf16()), withSurrogate.size() * 2);
    const HiveFile odd = MustParse(utf16);
    const HiveFile oddBack = MustParse(odd.Serialize());
    ASSERT_EQ(oddBack.Keys().size(), 1u);
    EXPECT_EQ(oddBack.Keys()[0].path, odd.Keys()[0].path);
    EXPECT_NE(oddBack.FindValue(odd.Keys()[0].path, "x"), nullptr);
}

// Found by fuzz_hive_file: text that begins with U+FEFF (a zero-width no-break space, or
// a byte-order mark pasted into a value) lost that character on the way back.
TEST(HiveFile, AStringBeginningWithFeffReadsBackWhole)
{
    const QByteArray head = "REGEDIT4\n\n[" + kSettings.toUtf8() + "]\n";
    for (const QByteArray& line : { QByteArray("\"v\"=\"\xEF\xBB\xBF" "a\"\n"),
             QByteArray("\"v\"=hex(1):ef,bb,bf,61,00\n") }) {
        SCOPED_TRACE(line.toStdString());
        const HiveFile read = MustParse(head + line);
        const HiveFile back = MustParse(read.Serialize());
        const HiveValue* v = back.FindValue(kSettings, "v");
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->data.toHex(), QByteArray("fffe61000000"));
        EXPECT_EQ(back.Serialize(), read.Serialize());
    }
}

// regedit writes REGEDIT4 files in the ANSI code page (Windows-1252). Another program's
// keys and values go back with the bytes they were read with; the station's own text
// still reads back exactly.
TEST(HiveFile, AnsiLinesOfOtherProgramsKeepTheirBytes)
{
    const QByteArray other = "[HKEY_LOCAL_MACHINE\\Software\\Caf\xe9]\r\n"
                             "\"Name\"=\"Gr\xfc\xdf" "e \x80 5\"\r\n"
                             "\"Path\"=hex(2):43,3a,5c,e9,00\r\n";
    const QByteArray ours = "\"rootpath\"=\"C:\\\\Daten\\\\K\xf6ln\"";
    const QByteArray text = "REGEDIT4\r\n\r\n" + other + "\r\n[" + kSettings.toUtf8() + "]\r\n" + ours + "\r\n";
    HiveFile hive = MustParse(text);
    const QString hospital = QStringLiteral("Universit\u00e4tsklinik K\u00f6ln \u20ac");
    ASSERT_TRUE(hive.SetValue(kSettings, "hostpital_name", RegSz, HiveFile::EncodeString(hospital)));
    const QByteArray written = hive.Serialize();
    for (const QByteArray& line : other.split('\n'))
        EXPECT_TRUE(written.contains(line.chopped(line.endsWith('\r') ? 1 : 0))) << line.toStdString();
    EXPECT_TRUE(written.contains(ours)) << "an unchanged value keeps its bytes";

    const HiveFile back = MustParse(written);
    EXPECT_EQ(StringValue(back, kSettings, "hostpital_name"), hospital);
    EXPECT_EQ(StringValue(back, kSettings, "rootpath"), QStringLiteral("C:\\Daten\\K\u00f6ln"));
    EXPECT_EQ(back.Keys()[0].path, QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Caf\u00e9"));
    EXPECT_EQ(back.Serialize(), written);
}

// Found by fuzz_hive_file while lines were being kept: a carriage return left inside a
// line, and a key name written anew beside ANSI lines, must read back the same.
TEST(HiveFile, KeptLinesReadBackTheSameAfterAWrite)
{
    for (const QByteArray& text :
        { QByteArray("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n\"q\"=hex(b):\r\r\n\"m\"=hex(7):61,00,\\\r\r\n  00,00\r\n"),
            QByteArray("REGEDIT4\n\n[HKEY_CURRENT_USER\\B\xbc\r]\n\"p\xff\"=dword:00000001\n"),
            QByteArray("REGEDIT4\n\n[A]\n\"x\"=\"\xff\"\\") }) {
        const HiveFile read = MustParse(text);
        const QByteArray written = read.Serialize();
        const HiveFile back = MustParse(written);
        ASSERT_EQ(back.Keys().size(), read.Keys().size());
        for (size_t k = 0; k < read.Keys().size(); ++k) {
            EXPECT_EQ(back.Keys()[k].path, read.Keys()[k].path);
            ASSERT_EQ(back.Keys()[k].values.size(), read.Keys()[k].values.size());
            for (size_t v = 0; v < read.Keys()[k].values.size(); ++v) {
                EXPECT_EQ(back.Keys()[k].values[v].name, read.Keys()[k].values[v].name);
                EXPECT_EQ(back.Keys()[k].values[v].data, read.Keys()[k].values[v].data);
            }
        }
        EXPECT_EQ(back.Serialize(), written);
    }
}

// regedit exports UTF-16LE with a byte-order mark and CRLF line ends. The file stays so:
// another program's lines keep their bytes (a hex list continued over two lines
// included), and the station's own values are written as regedit writes them.
TEST(HiveFile, AUtf16ExportOfRegeditStaysUtf16)
{
    const QString other = QStringLiteral("[HKEY_LOCAL_MACHINE\\Software\\Caf\u00e9]\r\n"
                                         "\"Name\"=\"Gr\u00fc\u00dfe \u4e2d\"\r\n"
                                         "\"Path\"=hex(2):43,00,3a,00,5c,00,\\\r\n  e9,00,00,00\r\n\r\n");
    const QString head = QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n") + other + u'['
        + kSettings + QStringLiteral("]\r\n\"bitrate\"=hex:01,00,00,00\r\n");
    const QByteArray file = Utf16Le(head + QStringLiteral("\"rootpath\"=\"C:\\\\Daten\"\r\n\r\n"));
    HiveFile hive = MustParse(file);
    EXPECT_EQ(hive.Serialize().toHex(), file.toHex()) << "read and written unchanged";

    const QString hospital = QStringLiteral("Klinik \u0141\u00f3d\u017a \u4e2d");
    ASSERT_TRUE(hive.SetValue(kSettings, "rootpath", RegSz, HiveFile::EncodeString("/home/op")));
    ASSERT_TRUE(hive.SetValue(kSettings, "hostpital_name", RegSz, HiveFile::EncodeString(hospital)));
    ASSERT_TRUE(hive.SetValue(kSettings, "x", RegExpandSz, HiveFile::EncodeString("%")));
    const QByteArray written = hive.Serialize();
    EXPECT_EQ(QString::fromUtf16(
                  reinterpret_cast<const char16_t*>(written.constData() + 2), written.size() / 2 - 1),
        head + QStringLiteral("\"rootpath\"=\"/home/op\"\r\n\"hostpital_name\"=\"") + hospital
            + QStringLiteral("\"\r\n\"x\"=hex(2):25,00,00,00\r\n\r\n"));
    EXPECT_TRUE(written.startsWith("\xFF\xFE"));
    const HiveFile back = MustParse(written);
    EXPECT_EQ(StringValue(back, kSettings, "hostpital_name"), hospital);
    EXPECT_EQ(
        StringValue(back, "HKEY_LOCAL_MACHINE\\Software\\Caf\u00e9", "Path"), QStringLiteral("C:\\\u00e9"));
    EXPECT_EQ(back.Serialize(), written);
}
