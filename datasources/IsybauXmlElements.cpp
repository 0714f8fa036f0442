#include "datasources/IsybauXmlElements.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace kanvio::xmldelivery {

std::string_view LocalName(const pugi::xml_node& node) {
    const std::string_view name = node.name();
    const size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

pugi::xml_node Child(const pugi::xml_node& node, std::string_view name) {
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_element && LocalName(child) == name)
            return child;
    return {};
}

pugi::xml_node Descend(pugi::xml_node node, std::initializer_list<std::string_view> path) {
    for (const std::string_view name : path) {
        if (!node)
            break;
        node = Child(node, name);
    }
    return node;
}

std::string_view TextOf(const pugi::xml_node& node) {
    std::string_view text = node.child_value();
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.remove_suffix(1);
    return text;
}

pugi::xml_node ChildWithText(const pugi::xml_node& node, std::string_view name) {
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_element && LocalName(child) == name &&
            !TextOf(child).empty())
            return child;
    return {};
}

TObservationElements ObservationElementsOf(const pugi::xml_node& observation) {
    TObservationElements found;
    auto take = [](pugi::xml_node& slot, const pugi::xml_node& child) {
        if (!slot)
            slot = child;
    };
    auto takeWithText = [](pugi::xml_node& slot, const pugi::xml_node& child) {
        if (!slot && !TextOf(child).empty())
            slot = child;
    };
    for (pugi::xml_node child = observation.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element)
            continue;
        const std::string_view name = LocalName(child);
        if (name == "Station")
            take(found.Station, child);
        else if (name == "InspektionsKode")
            take(found.Code, child);
        else if (name == "Charakterisierung1")
            take(found.Characterisation1, child);
        else if (name == "Charakterisierung2")
            take(found.Characterisation2, child);
        else if (name == "Kommentar")
            take(found.Comment, child);
        else if (name == "Frame")
            takeWithText(found.Frame, child);
        else if (name == "Timecode")
            takeWithText(found.Timecode, child);
        else if (name == "Videozaehler")
            takeWithText(found.Counter, child);
        else if (name == "Klassifizierung")
            take(found.Classification, child);
    }
    return found;
}

TClassification ClassificationOf(const pugi::xml_node& classification) {
    struct TAim {
        std::string_view Group, Manual, Automatic;
    };
    static constexpr TAim kAims[] = {{"Dichtheit", "SKDvManu", "SKDvAuto"},
                                     {"Standsicherheit", "SKSvManu", "SKSvAuto"},
                                     {"Betriebssicherheit", "SKBvManu", "SKBvAuto"}};
    TClassification result;
    if (!classification)
        return result;
    for (const TAim& aim : kAims) {
        const pugi::xml_node group = Child(classification, aim.Group);
        for (const std::string_view name : {aim.Manual, aim.Automatic}) {
            const pugi::xml_node value = ChildWithText(group, name);
            if (!value)
                continue;
            const auto number = IntegerOf(TextOf(value));
            if (!number || *number < 0 || *number > 5) {
                result.Unreadable.push_back(value);
                continue;
            }
            const int grade = static_cast<int>(*number);
            result.Worst = result.Worst ? std::min(*result.Worst, grade) : grade;
            break; // a class set by hand stands over the computed one
        }
    }
    return result;
}

std::optional<double> DecimalOf(std::string_view text) {
    if (text.empty() || text.size() > 40)
        return std::nullopt;
    char buffer[48];
    std::memcpy(buffer, text.data(), text.size());
    for (size_t i = 0; i < text.size(); ++i)
        if (buffer[i] == ',')
            buffer[i] = '.';
    const char* begin = buffer + (buffer[0] == '+' ? 1 : 0);
    double value = 0;
    const auto [end, error] = std::from_chars(begin, buffer + text.size(), value);
    if (error != std::errc() || end != buffer + text.size() || value != value)
        return std::nullopt;
    return value;
}

std::optional<int64_t> IntegerOf(std::string_view text) {
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

bool BooleanOf(std::string_view text) {
    return text == "1" || text == "true";
}

std::optional<double> TimecodeOf(std::string_view text, double fps) {
    std::string_view parts[4];
    size_t count = 0;
    for (;;) {
        if (count == 4)
            return std::nullopt;
        const size_t colon = text.find(':');
        parts[count++] = text.substr(0, colon);
        if (colon == std::string_view::npos)
            break;
        text.remove_prefix(colon + 1);
    }
    if (count < 3 || parts[2].empty() || parts[2].front() < '0' || parts[2].front() > '9')
        return std::nullopt;
    const auto hours = IntegerOf(parts[0]);
    const auto minutes = IntegerOf(parts[1]);
    const auto seconds = DecimalOf(parts[2]);
    if (!hours || !minutes || !seconds || *hours < 0 || *hours > 99999 || *minutes < 0 ||
        *minutes > 59 || *seconds >= 60)
        return std::nullopt;
    double total = static_cast<double>(*hours * 3600 + *minutes * 60) + *seconds;
    if (count == 4) {
        const auto frames = IntegerOf(parts[3]);
        if (!frames || *frames < 0 || fps <= 0 || static_cast<double>(*frames) >= fps)
            return std::nullopt;
        total += static_cast<double>(*frames) / fps;
    }
    return total;
}

std::string TPlaces::Of(const pugi::xml_node& node) const {
    return AtOffset(node.offset_debug(), LocalName(node));
}

std::string TPlaces::AtOffset(std::ptrdiff_t offset, std::string_view element) const {
    return fileName_ + ", line " + std::to_string(lines_.LineOf(offset)) + ", <" +
           std::string(element) + ">";
}

} // namespace kanvio::xmldelivery
