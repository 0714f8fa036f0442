#pragma once

// The ZF file of an ISYBAU delivery: the XML file that relates the films of the
// inspections to time codes. The player adds an Offset entry to a film's element whenever
// the user corrects the time of an observation, so that other tools see the correction.

#include <cstdint>
#include <memory>
#include <string>

namespace pugi {
class xml_document;
}

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

    // Inserts an Offset entry into the first Film element (inside an Untersuchung element)
    // whose Filmname is filmName, before the first Offset with an equal or greater
    // TcFrameNr, and writes the file back in its own encoding. Returns false, writing
    // nothing, when there is no such film. Throws EConvertError when an Offset in front of
    // the insert position has no whole-number TcFrameNr and EInOutError when the file
    // cannot be written (a read-only file included); the file is then left as it was.
    bool AddOffset(const std::string& filmName, int32_t tcFrameNr, int32_t mpegFrameNr);

    bool IsLoaded() const;
    const std::string& FileName() const { return fileName_; }

private:
    std::string ToDocumentText(const std::string& bytes) const;
    std::string Serialize() const;
    void Save() const;

    std::unique_ptr<pugi::xml_document> document_;
    std::string fileName_;
    std::string originalPrefix_;  // the bytes in front of the document element
    std::string originalTrailer_; // the blanks and line ends that close the file
    int encoding_ = 0;            // pugi::xml_encoding the file is written in
    bool wholeDocument_ = false;  // encodings not based on ASCII: pugixml writes it all
};

} // namespace kanvio
