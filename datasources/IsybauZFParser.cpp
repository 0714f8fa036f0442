#include "datasources/IsybauZFParser.h"

#include "datasources/IsybauRecordParser.h"
#include "datasources/ZFFileText.h"
#include "foundation/AnsiText.h"
#include "foundation/AtomicFile.h"
#include "foundation/Errors.h"
#include "foundation/Logging.h"

#include <pugixml.hpp>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace kanvio {

namespace {

// The node tree keeps every blank and line end, and values stay as they stand in the file
// (references unexpanded), so that node positions and layout can be taken from it.
constexpr unsigned ParseOptions =
    (pugi::parse_full | pugi::parse_ws_pcdata) & ~pugi::parse_eol & ~pugi::parse_escapes;

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
    if (inner.size() > outer.size() && inner.starts_with(outer))
        return inner.substr(outer.size());
    return inner.find('\t') != std::string::npos ? "\t" : "  ";
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
    std::string bytes;
    try {
        if (!ReadWholeFile(fileName, bytes))
            throw EInOutError(fileName, "the file does not exist");
    } catch (const std::exception& error) {
        document_->reset();
        fileName_ = fileName;
        fileText_.reset();
        text_.clear();
        LogLine("Error while reading ISYBAU ZF file: " + fileName, LOG_ERROR);
        LogLine(error.what(), LOG_DEBUG);
        return;
    }
    Load(bytes, fileName);
}

void TISYBAUZFParser::Load(std::string_view bytes, const std::string& fileName) {
    document_->reset();
    fileName_ = fileName;
    fileText_.reset();
    text_.clear();
    try {
        TZFFileText fileText(bytes);
        auto text = fileText.ParserText(bytes);
        if (!text)
            throw EConvertError(fileName + ": the characters of the file do not convert back "
                                           "to the same bytes");
        const auto result =
            document_->load_buffer(text->data(), text->size(), ParseOptions, pugi::encoding_utf8);
        if (!result)
            throw EConvertError(fileName + ", byte " + std::to_string(result.offset) + ": " +
                                result.description());
        text_ = std::move(*text);
        fileText_ = fileText;
    } catch (const std::exception& error) {
        document_->reset();
        text_.clear();
        LogLine("Error while reading ISYBAU ZF file: " + fileName, LOG_ERROR);
        LogLine(error.what(), LOG_DEBUG);
    }
}

void TISYBAUZFParser::RaiseUnlocatable(std::string_view name) const {
    throw EConvertError(fileName_ + ": the place of element '" + std::string(name) +
                        "' in the file cannot be found");
}

size_t TISYBAUZFParser::StartOf(const pugi::xml_node& node) const {
    const ptrdiff_t offset = node.offset_debug();
    if (offset <= 0 || static_cast<size_t>(offset) > text_.size())
        RaiseUnlocatable(node.name());
    const auto at = static_cast<size_t>(offset);
    if (node.type() == pugi::node_pcdata)
        return at;
    // The parser points behind the markup that opens the node ("<", "<!--", "<?").
    const size_t open = text_.rfind('<', at - 1);
    if (open == std::string::npos)
        RaiseUnlocatable(node.name());
    return open;
}

size_t TISYBAUZFParser::ClosingTagStart(size_t end, std::string_view name) const {
    size_t at = end;
    while (at > 0 && IsXmlBlank(text_[at - 1]))
        --at;
    if (at == 0 || text_[at - 1] != '>')
        RaiseUnlocatable(name);
    --at;
    while (at > 0 && IsXmlBlank(text_[at - 1]))
        --at;
    if (at < name.size() + 2)
        RaiseUnlocatable(name);
    const size_t nameStart = at - name.size();
    if (std::string_view(text_).substr(nameStart, name.size()) != name ||
        text_[nameStart - 1] != '/' || text_[nameStart - 2] != '<')
        RaiseUnlocatable(name);
    return nameStart - 2;
}

size_t TISYBAUZFParser::EndOf(pugi::xml_node node) const {
    // A node ends where its next sibling begins; the last child of an element ends where
    // the element's closing tag begins. Walked without recursion: nesting may be deep.
    std::vector<std::string_view> closingNames;
    while (!node.next_sibling() && node.parent().type() != pugi::node_document) {
        node = node.parent();
        closingNames.emplace_back(node.name());
    }
    size_t end = 0;
    if (node.next_sibling()) {
        end = StartOf(node.next_sibling());
    } else {
        const size_t lastClose = text_.rfind('>');
        if (lastClose == std::string::npos)
            RaiseUnlocatable(node.name());
        end = lastClose + 1;
    }
    for (auto name = closingNames.rbegin(); name != closingNames.rend(); ++name)
        end = ClosingTagStart(end, *name);
    return end;
}

std::optional<std::string> TISYBAUZFParser::WithOffset(const std::string& filmName,
                                                       int32_t tcFrameNr,
                                                       int32_t mpegFrameNr) const {
    const auto root = document_->document_element();
    if (!root || !fileText_)
        return std::nullopt;
    const QString wanted = AnsiToQString(filmName);
    pugi::xml_node film;
    for (const auto& inspection : root.children("Untersuchung")) {
        for (const auto& candidate : inspection.children("Film")) {
            const auto name = candidate.attribute("Filmname");
            if (name && fileText_->Decode(name.value()) == wanted) {
                film = candidate;
                break;
            }
        }
        if (film)
            break;
    }
    if (!film)
        return std::nullopt;

    const auto children = SignificantChildren(film);
    size_t index = 1;
    while (index < children.size() && std::string_view(children[index].name()) == "Offset") {
        const QString text = fileText_->Decode(children[index].child_value("TcFrameNr")).trimmed();
        const auto existing = isybau::TryParseInteger(text.toStdString());
        if (!existing)
            throw EConvertError(fileName_ + ": '" + QStringToAnsi(text) +
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
    const std::string entry = "<Offset>" + childLayout + "<TcFrameNr>" + std::to_string(tcFrameNr) +
                              "</TcFrameNr>" + childLayout + "<MPEGFrameNr>" +
                              std::to_string(mpegFrameNr) + "</MPEGFrameNr>" + siblingLayout +
                              "</Offset>";

    std::string text = text_;
    if (index < children.size()) {
        text.insert(StartOf(children[index]), entry + siblingLayout);
    } else if (!children.empty()) {
        text.insert(EndOf(children.back()), siblingLayout + entry);
    } else {
        const bool hasClosingLayout = film.last_child() && !IsSignificant(film.last_child());
        const std::string content =
            siblingLayout + entry + (hasClosingLayout ? std::string() : filmLayout);
        if (film.first_child()) {
            text.insert(StartOf(film.first_child()), content);
        } else {
            const size_t end = EndOf(film);
            if (end >= 2 && text.compare(end - 2, 2, "/>") == 0)
                text.replace(end - 2, 2, ">" + content + "</" + film.name() + ">");
            else
                text.insert(ClosingTagStart(end, film.name()), content);
        }
    }
    return fileText_->FileBytes(text);
}

bool TISYBAUZFParser::AddOffset(const std::string& filmName, int32_t tcFrameNr,
                                int32_t mpegFrameNr) {
    const auto bytes = WithOffset(filmName, tcFrameNr, mpegFrameNr);
    if (!bytes)
        return false;
    if (IsReadOnlyFile(fileName_))
        throw EInOutError(fileName_, "the file is read-only");
    WriteFileAtomically(fileName_, *bytes);
    Load(*bytes, fileName_); // the document follows the file for the next entry
    return true;
}

} // namespace kanvio
