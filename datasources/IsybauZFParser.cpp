#include "datasources/IsybauZFParser.h"

#include "datasources/IsybauRecordParser.h"
#include "foundation/AtomicFile.h"
#include "foundation/Errors.h"
#include "foundation/Logging.h"

#include <pugixml.hpp>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace kanvio {

namespace {

// The node tree keeps every blank and line end of the file (so untouched parts are
// written back as they stood); line ends are not normalised for the same reason.
constexpr unsigned ParseOptions = (pugi::parse_full | pugi::parse_ws_pcdata) & ~pugi::parse_eol;

struct TStringWriter final : pugi::xml_writer {
    std::string Bytes;
    void write(const void* data, size_t size) override {
        Bytes.append(static_cast<const char*>(data), size);
    }
};

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
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

constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";

bool IsAsciiBased(std::string_view bytes) {
    if (StartsWith(bytes, "\xFE\xFF") || StartsWith(bytes, "\xFF\xFE"))
        return false;
    return !(bytes.size() >= 2 && (bytes[0] == '\0' || bytes[1] == '\0'));
}

// The encoding named by the XML declaration, in lower case; empty when none is named.
std::string DeclaredEncoding(std::string_view bytes) {
    if (StartsWith(bytes, Utf8Bom))
        bytes.remove_prefix(Utf8Bom.size());
    if (!StartsWith(bytes, "<?xml"))
        return {};
    const auto end = bytes.find("?>");
    std::string_view declaration = bytes.substr(0, end);
    const auto key = declaration.find("encoding");
    if (key == std::string_view::npos)
        return {};
    declaration.remove_prefix(key + 8);
    declaration = TrimXmlBlanks(declaration);
    if (declaration.empty() || declaration.front() != '=')
        return {};
    declaration = TrimXmlBlanks(declaration.substr(1));
    if (declaration.empty() || (declaration.front() != '"' && declaration.front() != '\''))
        return {};
    const char quote = declaration.front();
    declaration.remove_prefix(1);
    std::string name(declaration.substr(0, declaration.find(quote)));
    for (char& c : name)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return name;
}

// Where the document element begins: after the declaration, comments, processing
// instructions and the document type. npos when the prolog cannot be walked.
size_t FindDocumentElementStart(std::string_view bytes) {
    size_t at = StartsWith(bytes, Utf8Bom) ? Utf8Bom.size() : 0;
    while (at < bytes.size()) {
        if (IsXmlBlank(bytes[at])) {
            ++at;
            continue;
        }
        const std::string_view rest = bytes.substr(at);
        auto endOf = [&](std::string_view closing, size_t from = 0) {
            const auto found = rest.find(closing, from);
            return found == std::string_view::npos ? found : found + closing.size();
        };
        size_t end = 0;
        if (StartsWith(rest, "<?"))
            end = endOf("?>");
        else if (StartsWith(rest, "<!--"))
            end = endOf("-->");
        else if (StartsWith(rest, "<!DOCTYPE")) {
            const auto subset = rest.find('[');
            const auto close = rest.find('>');
            end = subset < close ? endOf("]>", subset) : endOf(">");
        } else
            return rest.front() == '<' ? at : std::string_view::npos;
        if (end == std::string_view::npos)
            return end;
        at += end;
    }
    return std::string_view::npos;
}

bool IsSignificant(const pugi::xml_node& node) {
    if (node.type() != pugi::node_pcdata)
        return true;
    return !TrimXmlBlanks(node.value()).empty();
}

// The element children the way a DOM without preserved white space sees them.
std::vector<pugi::xml_node> SignificantChildren(const pugi::xml_node& parent) {
    std::vector<pugi::xml_node> children;
    for (const auto& child : parent.children())
        if (IsSignificant(child))
            children.push_back(child);
    return children;
}

// The blanks in front of a node when they are pure layout; empty otherwise.
std::string LeadingLayout(const pugi::xml_node& node) {
    const auto previous = node.previous_sibling();
    if (previous.type() == pugi::node_pcdata && !IsSignificant(previous))
        return previous.value();
    return {};
}

std::string IndentUnit(const std::string& outer, const std::string& inner) {
    if (inner.size() > outer.size() && StartsWith(inner, outer))
        return inner.substr(outer.size());
    return inner.find('\t') != std::string::npos ? "\t" : "  ";
}

void AppendNumberElement(pugi::xml_node& parent, const char* name, int32_t value) {
    parent.append_child(name)
        .append_child(pugi::node_pcdata)
        .set_value(std::to_string(value).c_str());
}

void AppendLayout(pugi::xml_node& parent, const std::string& layout) {
    if (!layout.empty())
        parent.append_child(pugi::node_pcdata).set_value(layout.c_str());
}

bool IsReadOnlyFile(const std::string& fileName) {
    struct stat status {};
    if (stat(fileName.c_str(), &status) != 0)
        return false; // a vanished file is written anew
    return (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

} // namespace

TISYBAUZFParser::TISYBAUZFParser() : document_(std::make_unique<pugi::xml_document>()) {}

TISYBAUZFParser::~TISYBAUZFParser() = default;

bool TISYBAUZFParser::IsLoaded() const {
    return document_->document_element() != nullptr;
}

void TISYBAUZFParser::LoadFile(const std::string& fileName) {
    document_->reset();
    fileName_ = fileName;
    originalPrefix_.clear();
    originalTrailer_.clear();
    try {
        std::string bytes;
        if (!ReadWholeFile(fileName, bytes))
            throw EInOutError(fileName, "the file does not exist");
        pugi::xml_encoding encoding = pugi::encoding_auto;
        wholeDocument_ = !IsAsciiBased(bytes);
        if (!wholeDocument_) {
            const std::string declared = DeclaredEncoding(bytes);
            // pugixml decodes no 8-bit encoding but Latin-1; read as Latin-1, every byte
            // comes back unchanged when the file is written.
            const bool utf8 =
                declared.empty() || StartsWith(declared, "utf-8") || StartsWith(declared, "utf8");
            encoding = utf8 ? pugi::encoding_utf8 : pugi::encoding_latin1;
        }
        const auto result =
            document_->load_buffer(bytes.data(), bytes.size(), ParseOptions, encoding);
        if (!result)
            throw EConvertError(fileName + ", byte " + std::to_string(result.offset) + ": " +
                                result.description());
        encoding_ = result.encoding;
        if (!wholeDocument_) {
            const size_t start = FindDocumentElementStart(bytes);
            const size_t lastClose = bytes.rfind('>');
            wholeDocument_ = start == std::string::npos || lastClose == std::string::npos;
            if (!wholeDocument_) {
                originalPrefix_ = bytes.substr(0, start);
                originalTrailer_ = bytes.substr(lastClose + 1);
            }
        }
    } catch (const std::exception& error) {
        document_->reset();
        LogLine("Error while reading ISYBAU ZF file: " + fileName, LOG_ERROR);
        LogLine(error.what(), LOG_DEBUG);
    }
}

std::string TISYBAUZFParser::ToDocumentText(const std::string& bytes) const {
    if (encoding_ != pugi::encoding_latin1)
        return bytes;
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const unsigned char c : bytes) {
        if (c < 0x80) {
            text.push_back(static_cast<char>(c));
        } else {
            text.push_back(static_cast<char>(0xC0 | (c >> 6)));
            text.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return text;
}

bool TISYBAUZFParser::AddOffset(const std::string& filmName, int32_t tcFrameNr,
                                int32_t mpegFrameNr) {
    const auto root = document_->document_element();
    if (!root)
        return false;
    const std::string wanted = ToDocumentText(filmName);
    pugi::xml_node film;
    for (const auto& inspection : root.children("Untersuchung")) {
        for (const auto& candidate : inspection.children("Film")) {
            const auto name = candidate.attribute("Filmname");
            if (name && wanted == name.value()) {
                film = candidate;
                break;
            }
        }
        if (film)
            break;
    }
    if (!film)
        return false;

    const auto children = SignificantChildren(film);
    size_t index = 1;
    while (index < children.size() && std::string_view(children[index].name()) == "Offset") {
        const std::string_view text = TrimXmlBlanks(children[index].child_value("TcFrameNr"));
        const auto existing = isybau::TryParseInteger(text);
        if (!existing)
            throw EConvertError(fileName_ + ": '" + std::string(text) +
                                "' is not a valid TcFrameNr of film " + filmName);
        if (*existing >= tcFrameNr)
            break;
        ++index;
    }

    // Lay the new entry out like its neighbours: same indentation, children one step in.
    const std::string filmLayout = LeadingLayout(film);
    std::string siblingLayout;
    if (index < children.size())
        siblingLayout = LeadingLayout(children[index]);
    else if (!children.empty())
        siblingLayout = LeadingLayout(children.back());
    else if (!filmLayout.empty())
        siblingLayout = filmLayout + "  ";
    const std::string childLayout = siblingLayout.empty()
                                        ? std::string()
                                        : siblingLayout + IndentUnit(filmLayout, siblingLayout);

    const bool hasClosingLayout = film.last_child() && !IsSignificant(film.last_child());
    std::vector<pugi::xml_node> inserted;
    pugi::xml_node offset;
    if (index < children.size()) {
        offset = inserted.emplace_back(film.insert_child_before("Offset", children[index]));
        if (!siblingLayout.empty())
            inserted.emplace_back(film.insert_child_before(pugi::node_pcdata, children[index]))
                .set_value(siblingLayout.c_str());
    } else {
        pugi::xml_node after = children.empty() ? pugi::xml_node() : children.back();
        if (!siblingLayout.empty()) {
            after = inserted.emplace_back(after ? film.insert_child_after(pugi::node_pcdata, after)
                                                : film.prepend_child(pugi::node_pcdata));
            after.set_value(siblingLayout.c_str());
        }
        offset = inserted.emplace_back(after ? film.insert_child_after("Offset", after)
                                             : film.prepend_child("Offset"));
        if (children.empty() && !filmLayout.empty() && !hasClosingLayout)
            inserted.emplace_back(film.insert_child_after(pugi::node_pcdata, offset))
                .set_value(filmLayout.c_str());
    }
    AppendLayout(offset, childLayout);
    AppendNumberElement(offset, "TcFrameNr", tcFrameNr);
    AppendLayout(offset, childLayout);
    AppendNumberElement(offset, "MPEGFrameNr", mpegFrameNr);
    AppendLayout(offset, siblingLayout);

    try {
        Save();
    } catch (...) {
        for (const auto& node : inserted) // the document stays as the file still is
            film.remove_child(node);
        throw;
    }
    return true;
}

std::string TISYBAUZFParser::Serialize() const {
    TStringWriter writer;
    const auto encoding = static_cast<pugi::xml_encoding>(encoding_);
    if (wholeDocument_) {
        document_->save(writer, "",
                        pugi::format_raw | pugi::format_no_declaration | pugi::format_write_bom,
                        encoding);
        return writer.Bytes;
    }
    writer.Bytes = originalPrefix_;
    for (auto node = document_->document_element(); node; node = node.next_sibling())
        node.print(writer, "", pugi::format_raw, encoding);
    writer.Bytes += originalTrailer_;
    return writer.Bytes;
}

void TISYBAUZFParser::Save() const {
    if (IsReadOnlyFile(fileName_))
        throw EInOutError(fileName_, "the file is read-only");
    WriteFileAtomically(fileName_, Serialize());
}

} // namespace kanvio
