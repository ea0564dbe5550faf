#include "platform/HiveFile.h"

#include <QStringDecoder>
#include <QStringList>

namespace kestovar {

namespace {

const QLatin1StringView kHeader4("REGEDIT4");
const QLatin1StringView kHeader5("Windows Registry Editor Version 5.00");

bool HasControlChar(const QString& text)
{
    for (QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    }
    return false;
}

// UTF-8 to text, keeping a U+FEFF at the start: it is text here (QString::fromUtf8
// would take it for a byte-order mark and drop it).
QString FromUtf8Keeping(const QByteArray& bytes)
{
    return QStringDecoder(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom)(bytes);
}

// The nearest text with a UTF-8 form: a lone surrogate becomes U+FFFD.
QString Utf8Safe(const QString& text)
{
    return FromUtf8Keeping(text.toUtf8());
}

// regedit exports are UTF-16 with a byte-order mark; REGEDIT4 files from Windows are
// in the ANSI code page, which Latin-1 reads without losing a byte. The file's own
// byte-order mark is taken off here; a U+FEFF after it is text.
QString DecodeFileText(const QByteArray& bytes)
{
    // A lone surrogate in UTF-16 has no UTF-8 form; it becomes what the file will say
    // after the next write, so reading that file gives the same names again.
    const auto keep = QStringConverter::Flag::ConvertInitialBom;
    if (bytes.startsWith("\xFF\xFE"))
        return Utf8Safe(QStringDecoder(QStringDecoder::Utf16LE, keep)(bytes.mid(2)));
    if (bytes.startsWith("\xFE\xFF"))
        return Utf8Safe(QStringDecoder(QStringDecoder::Utf16BE, keep)(bytes.mid(2)));
    QByteArray body = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
    QStringDecoder utf8(QStringDecoder::Utf8, keep);
    QString text = utf8(body);
    if (utf8.hasError())
        return QString::fromLatin1(body);
    return text;
}

QString Decode8Bit(const QByteArray& bytes)
{
    // Value data: a leading U+FEFF is part of the text, not a byte-order mark.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom);
    QString text = utf8(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

// Text (embedded nulls included) as raw UTF-16LE bytes, no terminator added.
QByteArray Utf16LeBytes(const QString& text)
{
    QByteArray out;
    out.reserve(text.size() * 2);
    for (QChar c : text) {
        out.append(static_cast<char>(c.unicode() & 0xff));
        out.append(static_cast<char>(c.unicode() >> 8));
    }
    return out;
}

QString FromUtf16LeBytes(const QByteArray& data)
{
    QString text;
    text.reserve(data.size() / 2);
    for (qsizetype i = 0; i + 1 < data.size(); i += 2) {
        auto lo = static_cast<uint8_t>(data[i]);
        auto hi = static_cast<uint8_t>(data[i + 1]);
        text.append(QChar(static_cast<char16_t>(lo | (hi << 8))));
    }
    return text;
}

bool IsStringType(uint32_t type)
{
    return type == RegSz || type == RegExpandSz || type == RegMultiSz;
}

QString Quote(const QString& text)
{
    QString out;
    out.reserve(text.size() + 2);
    out.append(u'"');
    for (QChar c : text) {
        if (c == u'\\' || c == u'"')
            out.append(u'\\');
        out.append(c);
    }
    out.append(u'"');
    return out;
}

QString HexList(const QByteArray& data)
{
    QString out;
    out.reserve(data.size() * 3);
    for (qsizetype i = 0; i < data.size(); ++i) {
        if (i)
            out.append(u',');
        out.append(QString::asprintf("%02x", static_cast<unsigned>(static_cast<uint8_t>(data[i]))));
    }
    return out;
}

// One value line of the file, taken apart. The reader works on `rest`, consuming it.
class LineReader {
public:
    explicit LineReader(QStringView line)
        : rest_(line)
    {
    }

    void SkipSpace()
    {
        while (!rest_.isEmpty() && (rest_.front() == u' ' || rest_.front() == u'\t'))
            rest_ = rest_.mid(1);
    }
    bool Eat(QChar c)
    {
        if (rest_.isEmpty() || rest_.front() != c)
            return false;
        rest_ = rest_.mid(1);
        return true;
    }
    bool EatPrefix(QLatin1StringView prefix)
    {
        if (!rest_.startsWith(prefix, Qt::CaseInsensitive))
            return false;
        rest_ = rest_.mid(prefix.size());
        return true;
    }
    // A quoted string with regedit's two escapes, \\ and \". Other backslashes are
    // kept as they stand, as regedit keeps them.
    bool Quoted(QString* out)
    {
        if (!Eat(u'"'))
            return false;
        QString text;
        while (!rest_.isEmpty()) {
            QChar c = rest_.front();
            rest_ = rest_.mid(1);
            if (c == u'"') {
                *out = text;
                return true;
            }
            if (c == u'\\' && !rest_.isEmpty() && (rest_.front() == u'\\' || rest_.front() == u'"')) {
                c = rest_.front();
                rest_ = rest_.mid(1);
            }
            text.append(c);
        }
        return false;
    }
    QStringView Rest() const { return rest_; }
    bool AtEnd()
    {
        SkipSpace();
        return rest_.isEmpty();
    }

private:
    QStringView rest_;
};

bool ParseHexList(QStringView text, QByteArray* out)
{
    QByteArray bytes;
    const auto parts = text.split(u',');
    for (qsizetype i = 0; i < parts.size(); ++i) {
        QStringView token = parts[i].trimmed();
        if (token.isEmpty()) {
            if (i == parts.size() - 1)
                break; // an empty list, or a trailing comma
            return false;
        }
        if (token.size() > 2)
            return false;
        bool ok = false;
        uint v = token.toUInt(&ok, 16);
        if (!ok)
            return false;
        bytes.append(static_cast<char>(v));
    }
    *out = bytes;
    return true;
}

struct ParsedLine {
    int number = 0;
    QString text;
    QString raw; // the physical lines as they stand, joined by "\n", without line ends
};

// A line's own text, when written back with a line end it reads as the same line: no
// carriage return left inside it, not ending in a backslash (the last line of a file
// may; written back, it would continue into the next), and one physical line unless
// `continued` (regedit's hex lists continued over several lines: their physical lines
// are written back with the file's line end between them; in 8-bit files they are
// written anew, same data).
QString KeepableRaw(const QString& raw, bool continued)
{
    return raw.contains(u'\r') || (!continued && raw.contains(u'\n')) || raw.trimmed().endsWith(u'\\')
        ? QString()
        : raw;
}

// Physical lines joined where a hex list continues after a trailing backslash.
std::vector<ParsedLine> LogicalLines(const QString& text)
{
    std::vector<ParsedLine> lines;
    const QStringList physical = text.split(u'\n');
    bool continuing = false;
    for (int i = 0; i < physical.size(); ++i) {
        QString line = physical[i];
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (continuing) {
            lines.back().text += line.trimmed();
            lines.back().raw += u'\n' + line;
        } else {
            lines.push_back({ i + 1, line.trimmed(), line });
        }
        continuing = lines.back().text.endsWith(u'\\') && !lines.back().text.startsWith(u'[');
        if (continuing)
            lines.back().text.chop(1);
    }
    return lines;
}

} // namespace

QByteArray HiveFile::EncodeString(const QString& text)
{
    QByteArray out = Utf16LeBytes(text);
    out.append('\0');
    out.append('\0');
    return out;
}

QString HiveFile::DecodeString(const QByteArray& data)
{
    QString text = FromUtf16LeBytes(data);
    qsizetype nul = text.indexOf(QChar(u'\0'));
    if (nul >= 0)
        text.truncate(nul);
    return text;
}

bool HiveFile::Parse(const QByteArray& bytes, HiveFile* out, QString* error)
{
    auto fail = [error](int line, const QString& what) {
        if (error)
            *error = QStringLiteral("line %1: %2").arg(line).arg(what);
        return false;
    };

    HiveFile hive;
    bool headerSeen = false;
    bool utf16Data = false; // hex(1), hex(2), hex(7) hold UTF-16 in version 5 files
    QString currentKey;
    bool keyDeleted = false;

    // Lines are kept as they were read, so that keys and values the station does not
    // change are written back with their own bytes (Windows-1252 text of a REGEDIT4
    // file, or a UTF-16 export of regedit, included).
    const QString decoded = DecodeFileText(bytes);
    const bool utf16File = bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
    if (utf16File) {
        hive.bytes_
            = bytes.startsWith("\xFF\xFE") ? HiveFile::LineBytes::Utf16Le : HiveFile::LineBytes::Utf16Be;
        const qsizetype firstEnd = decoded.indexOf(u'\n');
        hive.crlf_ = firstEnd > 0 && decoded[firstEnd - 1] == u'\r';
    } else {
        hive.bytes_ = decoded.toUtf8() == (bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes)
            ? HiveFile::LineBytes::Utf8
            : HiveFile::LineBytes::Latin1;
    }
    for (const ParsedLine& line : LogicalLines(decoded)) {
        const QString& text = line.text;
        if (text.isEmpty() || text.startsWith(u';'))
            continue;
        if (!headerSeen) {
            if (text == kHeader4)
                utf16Data = false;
            else if (text == kHeader5)
                utf16Data = true; // its lines mean something else under REGEDIT4: not kept
            else
                return fail(line.number, QStringLiteral("not a registry file (no REGEDIT4 header)"));
            headerSeen = true;
            if (utf16Data && utf16File)
                hive.version5_ = true; // written back under the same header
            else if (utf16Data)
                hive.bytes_ = HiveFile::LineBytes::None;
            continue;
        }
        if (text.startsWith(u'[')) {
            if (!text.endsWith(u']'))
                return fail(line.number, QStringLiteral("key line without ']'"));
            QString path = text.mid(1, text.size() - 2).trimmed();
            keyDeleted = path.startsWith(u'-');
            if (keyDeleted)
                path = path.mid(1).trimmed();
            if (path.isEmpty())
                return fail(line.number, QStringLiteral("empty key name"));
            const bool known = hive.FindKey(path) != nullptr;
            if (keyDeleted)
                hive.DeleteKeyTree(path);
            else if (!hive.CreateKey(path))
                return fail(line.number, QStringLiteral("bad key name"));
            else if (!known)
                hive.FindKey(path)->raw = KeepableRaw(line.raw, utf16File);
            currentKey = path;
            continue;
        }

        LineReader reader(text);
        QString name;
        if (reader.Eat(u'@')) {
            name.clear();
        } else if (!reader.Quoted(&name)) {
            return fail(line.number, QStringLiteral("not a key or value line"));
        }
        reader.SkipSpace();
        if (!reader.Eat(u'='))
            return fail(line.number, QStringLiteral("'=' expected after the value name"));
        reader.SkipSpace();
        if (currentKey.isEmpty())
            return fail(line.number, QStringLiteral("value outside any key"));

        uint32_t type = RegNone;
        QByteArray data;
        if (reader.Eat(u'-')) {
            if (!reader.AtEnd())
                return fail(line.number, QStringLiteral("text after '-'"));
            if (!keyDeleted)
                hive.DeleteValue(currentKey, name);
            continue;
        } else if (reader.Rest().startsWith(u'"')) {
            QString value;
            if (!reader.Quoted(&value))
                return fail(line.number, QStringLiteral("unterminated string"));
            if (!reader.AtEnd())
                return fail(line.number, QStringLiteral("text after the closing quote"));
            type = RegSz;
            data = EncodeString(value);
        } else if (reader.EatPrefix(QLatin1StringView("dword:"))) {
            QStringView digits = reader.Rest().trimmed();
            bool ok = false;
            uint32_t v = digits.size() >= 1 && digits.size() <= 8 ? digits.toUInt(&ok, 16) : 0;
            if (!ok)
                return fail(line.number, QStringLiteral("bad dword"));
            type = RegDword;
            for (int i = 0; i < 4; ++i)
                data.append(static_cast<char>((v >> (8 * i)) & 0xff));
        } else if (reader.EatPrefix(QLatin1StringView("hex"))) {
            type = RegBinary;
            if (reader.Eat(u'(')) {
                QStringView rest = reader.Rest();
                qsizetype close = rest.indexOf(u')');
                bool ok = false;
                type = close > 0 && close <= 8 ? rest.left(close).toUInt(&ok, 16) : 0;
                if (!ok)
                    return fail(line.number, QStringLiteral("bad hex(type)"));
                reader = LineReader(rest.mid(close + 1));
            }
            if (!reader.Eat(u':'))
                return fail(line.number, QStringLiteral("':' expected after hex"));
            if (!ParseHexList(reader.Rest(), &data))
                return fail(line.number, QStringLiteral("bad hex data"));
            if (IsStringType(type) && !utf16Data)
                data = Utf16LeBytes(Decode8Bit(data));
        } else {
            return fail(line.number, QStringLiteral("unknown value data"));
        }
        if (!keyDeleted && !hive.SetValue(currentKey, name, type, data))
            return fail(line.number, QStringLiteral("value name cannot be stored"));
        if (!keyDeleted) {
            // Set again under another letter case, the value keeps its first name: its
            // line is written anew under that name.
            HiveValue* stored = hive.FindValueForUpdate(currentKey, name);
            stored->raw = stored->name == name ? KeepableRaw(line.raw, utf16File) : QString();
        }
    }
    if (!headerSeen)
        return fail(1, QStringLiteral("empty file"));
    *out = std::move(hive);
    return true;
}

namespace {

bool IsAscii(const QString& text)
{
    for (QChar c : text)
        if (c.unicode() > 0x7f)
            return false;
    return true;
}

// How the station writes its own value lines.
enum class ValueForm {
    Text, // REGEDIT4: string data as text, hex(1), hex(2) and hex(7) of its UTF-8 bytes
    AsciiText, // as Text, and text that is not ASCII as hex(1) (beside ANSI lines)
    Utf16, // version 5 in a UTF-16 file: string data as its own UTF-16LE bytes
};

// One value line in the station's own form.
QString FormatValue(const HiveValue& value, ValueForm form)
{
    QString text;
    text += value.name.isEmpty() ? QStringLiteral("@") : Quote(value.name);
    text += u'=';
    if (form == ValueForm::Utf16 && IsStringType(value.type)) {
        // Quotes hold one line of UTF-16 text with its terminating null; other data
        // goes as hex(1), hex(2), hex(7) of exactly its bytes, as regedit writes it.
        const QString s = HiveFile::DecodeString(value.data);
        if (value.type == RegSz && !HasControlChar(s) && HiveFile::EncodeString(s) == value.data
            && Utf8Safe(s) == s)
            return text + Quote(s);
        return text + QStringLiteral("hex(%1):").arg(value.type, 0, 16) + HexList(value.data);
    }
    const bool asciiText = form == ValueForm::AsciiText;
    switch (value.type) {
    case RegSz: {
        // Quotes hold one line of text with its terminating null. Anything else -
        // a line break, a null inside the text or text after it, a missing
        // terminator - goes as hex(1), which reads back to the same data, so
        // values of other programs survive the station's rewrites of the file.
        // Data that is not UTF-16 text is written as the nearest text (the same
        // for both forms), so a second write gives the same file. Beside another
        // program's 8-bit (ANSI) lines, text that is not ASCII goes as hex(1) too:
        // its UTF-8 bytes read back whatever the rest of the file is.
        const QString full = Utf8Safe(FromUtf16LeBytes(value.data));
        const QString s
            = full.left(full.indexOf(QChar(u'\0')) < 0 ? full.size() : full.indexOf(QChar(u'\0')));
        if (!HasControlChar(s) && HiveFile::EncodeString(s) == Utf16LeBytes(full) && (!asciiText || IsAscii(s)))
            text += Quote(s);
        else
            text += QStringLiteral("hex(1):") + HexList(full.toUtf8());
        break;
    }
    case RegExpandSz:
    case RegMultiSz:
        text += QStringLiteral("hex(%1):").arg(value.type, 0, 16)
            + HexList(FromUtf16LeBytes(value.data).toUtf8());
        break;
    case RegDword:
        if (value.data.size() == 4) {
            uint32_t v = 0;
            for (int i = 0; i < 4; ++i)
                v |= static_cast<uint32_t>(static_cast<uint8_t>(value.data[i])) << (8 * i);
            text += QString::asprintf("dword:%08x", v);
        } else {
            text += QStringLiteral("hex(4):") + HexList(value.data);
        }
        break;
    case RegBinary:
        text += QStringLiteral("hex:") + HexList(value.data);
        break;
    default:
        text += QStringLiteral("hex(%1):").arg(value.type, 0, 16) + HexList(value.data);
        break;
    }
    return text;
}

} // namespace

QByteArray HiveFile::Serialize() const
{
    if (bytes_ == LineBytes::Utf16Le || bytes_ == LineBytes::Utf16Be) {
        // Every text has a UTF-16 form: the file is written in the encoding, with the
        // header and the line ends, it was read with.
        const QString eol = crlf_ ? QStringLiteral("\r\n") : QStringLiteral("\n");
        auto kept = [&eol](QString raw) { return raw.replace(u'\n', eol); };
        QString text = (version5_ ? kHeader5 : kHeader4) + eol + eol;
        for (const HiveKey& key : keys_) {
            text += (key.raw.isEmpty() ? u'[' + key.path + u']' : kept(key.raw)) + eol;
            for (const HiveValue& value : key.values)
                text += (value.raw.isEmpty()
                                ? FormatValue(value, version5_ ? ValueForm::Utf16 : ValueForm::Text)
                                : kept(value.raw))
                    + eol;
            text += eol;
        }
        const bool bigEndian = bytes_ == LineBytes::Utf16Be;
        QByteArray out = bigEndian ? QByteArray("\xFE\xFF", 2) : QByteArray("\xFF\xFE", 2);
        out.reserve(2 + text.size() * 2);
        for (QChar c : text) {
            const char lo = static_cast<char>(c.unicode() & 0xff), hi = static_cast<char>(c.unicode() >> 8);
            out.append(bigEndian ? hi : lo);
            out.append(bigEndian ? lo : hi);
        }
        return out;
    }

    // Lines read from an 8-bit file go back with the bytes they were read with; beside
    // ANSI lines the station's own lines are written in Latin-1 too, so the whole file
    // reads back as it was meant. When that cannot be (a name beyond Latin-1), or when
    // the file would read as UTF-8 once written (what made it not UTF-8 is gone), every
    // line is written anew as UTF-8 instead, so it still reads the same.
    auto write = [this](LineBytes lines, bool* ok) {
        const bool latin1 = lines == LineBytes::Latin1;
        auto encode = [latin1, ok](const QString& text) {
            if (!latin1)
                return text.toUtf8();
            for (QChar c : text)
                if (c.unicode() > 0xff)
                    *ok = false;
            return text.toLatin1();
        };
        QByteArray out = (kHeader4 + QStringLiteral("\n\n")).toUtf8();
        for (const HiveKey& key : keys_) {
            out += encode(lines != LineBytes::None && !key.raw.isEmpty() ? key.raw : u'[' + key.path + u']');
            out += '\n';
            for (const HiveValue& value : key.values) {
                out += encode(lines != LineBytes::None && !value.raw.isEmpty()
                        ? value.raw
                        : FormatValue(value, latin1 ? ValueForm::AsciiText : ValueForm::Text));
                out += '\n';
            }
            out += '\n';
        }
        return out;
    };
    bool ok = true;
    QByteArray out = write(bytes_, &ok);
    if (bytes_ == LineBytes::Latin1) {
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString asUtf8 = utf8(out);
        if (!ok || (!utf8.hasError() && !IsAscii(asUtf8)))
            out = write(LineBytes::None, &ok);
    }
    return out;
}

HiveKey* HiveFile::FindKey(const QString& path)
{
    for (HiveKey& key : keys_) {
        if (key.path.compare(path, Qt::CaseInsensitive) == 0)
            return &key;
    }
    return nullptr;
}

const HiveKey* HiveFile::FindKey(const QString& path) const
{
    return const_cast<HiveFile*>(this)->FindKey(path);
}

bool HiveFile::KeyExists(const QString& path) const
{
    if (path.isEmpty())
        return false;
    const QString below = path + u'\\';
    for (const HiveKey& key : keys_) {
        if (key.path.compare(path, Qt::CaseInsensitive) == 0
            || key.path.startsWith(below, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

bool HiveFile::CreateKey(const QString& path)
{
    if (path.isEmpty() || path.startsWith(u'-') || HasControlChar(path) || path.contains(u'[')
        || path.contains(u']'))
        return false;
    if (!FindKey(path))
        keys_.push_back({ path, {} });
    return true;
}

const HiveValue* HiveFile::FindValue(const QString& keyPath, const QString& name) const
{
    const HiveKey* key = FindKey(keyPath);
    if (!key)
        return nullptr;
    for (const HiveValue& value : key->values) {
        if (value.name.compare(name, Qt::CaseInsensitive) == 0)
            return &value;
    }
    return nullptr;
}

bool HiveFile::SetValue(const QString& keyPath, const QString& name, uint32_t type, const QByteArray& data)
{
    if (HasControlChar(name) || !KeyExists(keyPath))
        return false;
    HiveKey* key = FindKey(keyPath);
    if (!key) {
        if (!CreateKey(keyPath))
            return false;
        key = FindKey(keyPath);
    }
    for (HiveValue& value : key->values) {
        if (value.name.compare(name, Qt::CaseInsensitive) == 0) {
            if (value.type != type || value.data != data)
                value.raw.clear(); // written anew, in the station's own form
            value.type = type;
            value.data = data;
            return true;
        }
    }
    key->values.push_back({ name, type, data, {} });
    return true;
}

HiveValue* HiveFile::FindValueForUpdate(const QString& keyPath, const QString& name)
{
    return const_cast<HiveValue*>(FindValue(keyPath, name));
}

bool HiveFile::DeleteValue(const QString& keyPath, const QString& name)
{
    HiveKey* key = FindKey(keyPath);
    if (!key)
        return false;
    for (auto it = key->values.begin(); it != key->values.end(); ++it) {
        if (it->name.compare(name, Qt::CaseInsensitive) == 0) {
            key->values.erase(it);
            return true;
        }
    }
    return false;
}

void HiveFile::DeleteKeyTree(const QString& path)
{
    const QString below = path + u'\\';
    std::erase_if(keys_, [&](const HiveKey& key) {
        return key.path.compare(path, Qt::CaseInsensitive) == 0
            || key.path.startsWith(below, Qt::CaseInsensitive);
    });
}

} // namespace kestovar
