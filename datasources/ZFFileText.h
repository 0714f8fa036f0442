#pragma once

// How the bytes of a ZF file become text. The file is changed by splicing new bytes into
// it, never by writing a parsed document back, so the codec only has to give the parser
// something it can read and turn the few values the program compares into characters.

#include <QString>
#include <QStringConverter>
#include <optional>
#include <string>
#include <string_view>

namespace kanvio {

class TZFFileText {
public:
    // Works out the encoding: a byte order mark or zero bytes name the wide encodings,
    // otherwise the XML declaration does (UTF-8 when it names none).
    explicit TZFFileText(std::string_view fileBytes);

    // The text the XML parser reads, in an encoding based on ASCII: the file itself, or a
    // wide file transcoded to UTF-8. nullopt when a wide file does not transcode back to
    // the same bytes (then it could not be written without changing what was there).
    std::optional<std::string> ParserText(std::string_view fileBytes) const;
    // The reverse of ParserText.
    std::string FileBytes(std::string_view parserText) const;

    // A value as it stands between the quotes or tags of the parser text: decoded by the
    // file's encoding, with the character and entity references of XML replaced.
    QString Decode(std::string_view raw) const;

private:
    enum class TNarrow { Utf8, Windows1252, Named };
    std::optional<QStringConverter::Encoding> wide_;
    TNarrow narrow_ = TNarrow::Utf8;
    QByteArray encodingName_; // for TNarrow::Named
};

// The character and entity references of XML replaced; an unknown entity ("&x;") or a
// reference to no valid character stays as it stands.
QString ExpandXmlReferences(const QString& text);

// XML's own blanks (space, tab, carriage return, line feed): nothing else counts as space
// in markup.
bool IsXmlBlank(char c);
std::string_view TrimXmlBlanks(std::string_view text);

} // namespace kanvio
