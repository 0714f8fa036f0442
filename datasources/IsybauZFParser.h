#pragma once

// The ZF file of an ISYBAU delivery: the XML file that relates the films of the
// inspections to time codes. The player adds an Offset entry to a film's element whenever
// the user corrects the time of an observation, so that other tools see the correction.
// The file is a delivered record: the entry is spliced into its bytes, nothing else is
// rewritten.

#include "datasources/ZFFileText.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pugi {
class xml_document;
class xml_node;
} // namespace pugi

namespace kanvio {

class TISYBAUZFParser {
public:
    TISYBAUZFParser();
    ~TISYBAUZFParser();
    TISYBAUZFParser(const TISYBAUZFParser&) = delete;
    TISYBAUZFParser& operator=(const TISYBAUZFParser&) = delete;

    // Loads the file. Errors (missing, unreadable, not well-formed) are logged as
    // "Error while reading ISYBAU ZF file: " + fileName and leave an empty document.
    void LoadFile(const std::string& fileName);
    // The same for a file given as its bytes; fileName names it in messages and is where
    // AddOffset writes.
    void Load(std::string_view bytes, const std::string& fileName);

    // Inserts an Offset entry into the first Film element (inside an Untersuchung element)
    // whose Filmname, read as text, is filmName (Windows-1252), before the first Offset
    // with an equal or greater TcFrameNr, and writes the file back. Every byte outside the
    // new entry stays as it was. Returns false, writing nothing, when there is no such
    // film. Throws EConvertError when an Offset in front of the insert position has no
    // whole-number TcFrameNr and EInOutError when the file cannot be written (a read-only
    // file included); the file is then left as it was.
    bool AddOffset(const std::string& filmName, int32_t tcFrameNr, int32_t mpegFrameNr);
    // The bytes AddOffset would write; nullopt when there is no such film. Throws as
    // AddOffset does, but writes nothing.
    std::optional<std::string> WithOffset(const std::string& filmName, int32_t tcFrameNr,
                                          int32_t mpegFrameNr) const;

    bool IsLoaded() const;
    const std::string& FileName() const { return fileName_; }

private:
    size_t StartOf(const pugi::xml_node& node) const;
    size_t EndOf(pugi::xml_node node) const;
    size_t ClosingTagStart(size_t end, std::string_view name) const;
    [[noreturn]] void RaiseUnlocatable(std::string_view name) const;

    std::unique_ptr<pugi::xml_document> document_;
    std::optional<TZFFileText> fileText_;
    std::string fileName_;
    std::string text_; // what the document was parsed from; its nodes point into it
};

} // namespace kanvio
