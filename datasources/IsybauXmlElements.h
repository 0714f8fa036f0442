#pragma once

// Helpers of the ISYBAU XML reader over a parsed document: elements by local name (any
// namespace prefix ignored), their texts as numbers and times, and message places.

#include "datasources/XmlDeliveryText.h"

#include <cstdint>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace kanvio::xmldelivery {

std::string_view LocalName(const pugi::xml_node& node);
// The first child element of that local name; an empty node when there is none.
pugi::xml_node Child(const pugi::xml_node& node, std::string_view name);
// The element at the end of a path of local names, e.g. {"Lage", "Strassenname"}.
pugi::xml_node Descend(pugi::xml_node node, std::initializer_list<std::string_view> path);
// The text of the element with blanks around it removed.
std::string_view TextOf(const pugi::xml_node& node);
// The first child element of that local name that has a text; an empty node when none has.
pugi::xml_node ChildWithText(const pugi::xml_node& node, std::string_view name);

// Decimal numbers with '.' or ','; none for an empty or malformed text.
std::optional<double> DecimalOf(std::string_view text);
std::optional<int64_t> IntegerOf(std::string_view text);
bool BooleanOf(std::string_view text);
// "hh:mm:ss", "hh:mm:ss:ff" (ff frames at fps) or "hh:mm:ss.fff" as seconds.
std::optional<double> TimecodeOf(std::string_view text, double fps);

// The elements of an observation (RZustand) the reader takes, found in one pass over its
// children: the first of each name, of the video positions the first with a text.
struct TObservationElements {
    pugi::xml_node Station, Code, Characterisation1, Characterisation2, Comment;
    pugi::xml_node Frame, Timecode, Counter, Classification;
};
TObservationElements ObservationElementsOf(const pugi::xml_node& observation);

// An observation's Klassifizierung: for each of tightness (Dichtheit/SKDv...), stability
// (Standsicherheit/SKSv...) and operation (Betriebssicherheit/SKBv...) the class set by
// hand (...Manu) or else the computed one (...Auto), 0 the gravest to 5 none. Worst is the
// gravest of the three, none when no class is given; Unreadable lists the class elements
// whose text is no class 0 to 5, which count as not given.
struct TClassification {
    std::optional<int> Worst;
    std::vector<pugi::xml_node> Unreadable;
};
TClassification ClassificationOf(const pugi::xml_node& classification);

// Where an element is, for messages: "<file>, line <n>, <element>".
class TPlaces {
public:
    TPlaces(std::string fileName, std::string_view bytes)
        : fileName_(std::move(fileName)), lines_(bytes) {}
    std::string Of(const pugi::xml_node& node) const;
    std::string AtOffset(std::ptrdiff_t offset, std::string_view element) const;
    const std::string& FileName() const { return fileName_; }

private:
    std::string fileName_;
    TLineTable lines_;
};

} // namespace kanvio::xmldelivery
