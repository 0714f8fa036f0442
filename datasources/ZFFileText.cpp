#include "datasources/ZFFileText.h"

#include "foundation/AnsiText.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace kanvio {

namespace {

constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";

QByteArrayView View(std::string_view bytes) {
    return QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// The wide encodings announce themselves by a byte order mark or by the zero bytes
// around the "<" every XML file begins with.
std::optional<QStringConverter::Encoding> WideEncoding(std::string_view bytes) {
    const auto found = QStringConverter::encodingForData(View(bytes), u'<');
    if (found && *found != QStringConverter::Utf8)
        return found;
    return std::nullopt;
}

// The encoding named by the XML declaration, in lower case; empty when none is named.
std::string DeclaredEncoding(std::string_view bytes) {
    if (bytes.starts_with(Utf8Bom))
        bytes.remove_prefix(Utf8Bom.size());
    if (!bytes.starts_with("<?xml"))
        return {};
    std::string_view declaration = bytes.substr(0, bytes.find("?>"));
    const auto key = declaration.find("encoding");
    if (key == std::string_view::npos)
        return {};
    declaration = TrimXmlBlanks(declaration.substr(key + 8));
    if (declaration.empty() || declaration.front() != '=')
        return {};
    declaration = TrimXmlBlanks(declaration.substr(1));
    if (declaration.empty() || (declaration.front() != '"' && declaration.front() != '\''))
        return {};
    const char quote = declaration.front();
    declaration.remove_prefix(1);
    return AsciiLowerCase(declaration.substr(0, declaration.find(quote)));
}

// A file without zero bytes that names a wide encoding was converted without fixing its
// declaration; UTF-8 is what such tools write.
bool IsUtf8Name(const std::string& name) {
    const std::string_view view(name);
    return view.empty() || view == "utf-8" || view == "utf8" || view.starts_with("utf-16") ||
           view.starts_with("utf-32") || view.starts_with("ucs-");
}

// Files that declare Latin-1 are written by Windows programs in Windows-1252, which only
// differs where Latin-1 has control characters nobody puts in a file name.
bool IsWindows1252Name(const std::string& name) {
    static const char* const names[] = {"iso-8859-1", "iso8859-1", "iso_8859-1",   "latin1",
                                        "latin-1",    "l1",        "windows-1252", "cp1252",
                                        "us-ascii",   "ascii"};
    for (const char* known : names)
        if (name == known)
            return true;
    return false;
}

int DigitValue(char16_t c, bool hex) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (hex && c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (hex && c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

std::optional<char32_t> ReferencedCharacter(QStringView name) {
    if (name == u"lt")
        return U'<';
    if (name == u"gt")
        return U'>';
    if (name == u"amp")
        return U'&';
    if (name == u"quot")
        return U'"';
    if (name == u"apos")
        return U'\'';
    if (name.size() < 2 || name.front() != u'#')
        return std::nullopt;
    const bool hex = name[1] == u'x';
    const QStringView digits = name.mid(hex ? 2 : 1);
    if (digits.isEmpty() || digits.size() > 8)
        return std::nullopt;
    uint32_t value = 0;
    for (const QChar c : digits) {
        const int digit = DigitValue(c.unicode(), hex);
        if (digit < 0)
            return std::nullopt;
        value = value * (hex ? 16 : 10) + static_cast<uint32_t>(digit);
    }
    const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
    if (value == 0 || value > 0x10FFFF || surrogate)
        return std::nullopt;
    return static_cast<char32_t>(value);
}

} // namespace

QString ExpandXmlReferences(const QString& text) {
    QString result;
    result.reserve(text.size());
    qsizetype at = 0;
    while (at < text.size()) {
        const qsizetype amp = text.indexOf(u'&', at);
        const qsizetype semicolon = amp < 0 ? -1 : text.indexOf(u';', amp + 1);
        if (semicolon < 0) {
            result += QStringView(text).mid(at);
            break;
        }
        result += QStringView(text).mid(at, amp - at);
        const QStringView reference = QStringView(text).mid(amp + 1, semicolon - amp - 1);
        if (const auto character = ReferencedCharacter(reference)) {
            result += QString::fromUcs4(&*character, 1);
            at = semicolon + 1;
        } else {
            result += u'&';
            at = amp + 1;
        }
    }
    return result;
}

TZFFileText::TZFFileText(std::string_view fileBytes) : wide_(WideEncoding(fileBytes)) {
    if (wide_)
        return;
    const std::string name = DeclaredEncoding(fileBytes);
    if (IsUtf8Name(name)) {
        narrow_ = TNarrow::Utf8;
    } else if (IsWindows1252Name(name) || !QStringDecoder(name.c_str()).isValid()) {
        narrow_ = TNarrow::Windows1252;
    } else {
        narrow_ = TNarrow::Named;
        encodingName_ = QByteArray::fromStdString(name);
    }
}

std::optional<std::string> TZFFileText::ParserText(std::string_view fileBytes) const {
    if (!wide_)
        return std::string(fileBytes);
    QStringDecoder decoder(*wide_, QStringConverter::Flag::ConvertInitialBom);
    const QString text = decoder.decode(View(fileBytes));
    std::string utf8 = text.toStdString();
    if (decoder.hasError() || FileBytes(utf8) != fileBytes)
        return std::nullopt;
    return utf8;
}

std::string TZFFileText::FileBytes(std::string_view parserText) const {
    if (!wide_)
        return std::string(parserText);
    // A byte order mark of the file is the first character of the text and comes back
    // from it; the encoder adds none of its own.
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    const QString text = utf8.decode(View(parserText));
    QStringEncoder encoder(*wide_, QStringConverter::Flag::ConvertInitialBom);
    const QByteArray bytes = encoder.encode(text);
    return bytes.toStdString();
}

QString TZFFileText::Decode(std::string_view raw) const {
    QString text;
    if (wide_ || narrow_ == TNarrow::Utf8) {
        text = QString::fromUtf8(View(raw));
    } else if (narrow_ == TNarrow::Named) {
        QStringDecoder decoder(encodingName_.constData());
        text = decoder.decode(View(raw));
    } else {
        text = AnsiToQString(raw);
    }
    return ExpandXmlReferences(text);
}

bool IsXmlBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view TrimXmlBlanks(std::string_view text) {
    while (!text.empty() && IsXmlBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsXmlBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace kanvio
