#include "core/ProjectExport.h"

#include "core/KanvioContext.h"
#include "foundation/AnsiText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <sstream>
#include <unordered_map>

namespace kanvio {

namespace {

bool IsValidUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        size_t length = c < 0x80           ? 1
                        : (c >> 5) == 0x6  ? 2
                        : (c >> 4) == 0xE  ? 3
                        : (c >> 3) == 0x1E ? 4
                                           : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        for (size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

// Writes through a buffer of its own: the stream sees a few large writes instead of one
// call per character, which a stream tied to C's standard output pays dearly for.
class JsonWriter {
public:
    explicit JsonWriter(std::ostream& out) : out_(out) { buffer_.reserve(kChunk + 1024); }
    ~JsonWriter() { Flush(); }
    JsonWriter(const JsonWriter&) = delete;
    JsonWriter& operator=(const JsonWriter&) = delete;

    void Key(const char* name) {
        Separator();
        buffer_ += '"';
        buffer_ += name;
        buffer_ += "\":";
        needComma_ = false;
    }
    void BeginObject() { Open('{'); }
    void EndObject() { Close('}'); }
    void BeginArray() { Open('['); }
    void EndArray() { Close(']'); }

    void AnsiString(std::string_view ansi) {
        // Plain ASCII reads the same in Windows-1252 and UTF-8: no conversion needed.
        const bool ascii = std::all_of(ansi.begin(), ansi.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        if (ascii) {
            Utf8String(ansi);
        } else {
            Utf8String(AnsiToUtf8(ansi));
        }
    }
    void Utf8String(std::string_view utf8) {
        Separator();
        buffer_ += '"';
        size_t plain = 0; // start of the run of characters that need no escape
        for (size_t i = 0; i < utf8.size(); ++i) {
            const auto c = static_cast<unsigned char>(utf8[i]);
            if (c >= 0x20 && c != '"' && c != '\\') {
                continue;
            }
            buffer_.append(utf8.data() + plain, i - plain);
            plain = i + 1;
            switch (c) {
            case '"':
                buffer_ += "\\\"";
                break;
            case '\\':
                buffer_ += "\\\\";
                break;
            case '\n':
                buffer_ += "\\n";
                break;
            case '\r':
                buffer_ += "\\r";
                break;
            case '\t':
                buffer_ += "\\t";
                break;
            default: {
                static const char hex[] = "0123456789abcdef";
                buffer_ += "\\u00";
                buffer_ += hex[c >> 4];
                buffer_ += hex[c & 15];
            }
            }
        }
        buffer_.append(utf8.data() + plain, utf8.size() - plain);
        buffer_ += '"';
        needComma_ = true;
        FlushWhenFull();
    }
    void Number(double value) {
        Separator();
        if (!std::isfinite(value)) {
            buffer_ += "null"; // JSON has no infinities or NaN
        } else {
            char digits[64];
            const auto result = std::to_chars(digits, digits + sizeof digits, value);
            buffer_.append(digits, result.ptr);
        }
        needComma_ = true;
    }
    void Integer(long long value) {
        Separator();
        char digits[32];
        const auto result = std::to_chars(digits, digits + sizeof digits, value);
        buffer_.append(digits, result.ptr);
        needComma_ = true;
    }
    void Bool(bool value) {
        Separator();
        buffer_ += value ? "true" : "false";
        needComma_ = true;
    }
    void Null() {
        Separator();
        buffer_ += "null";
        needComma_ = true;
    }
    void Raw(char c) { buffer_ += c; }

    void Flush() {
        if (!buffer_.empty()) {
            out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
            buffer_.clear();
        }
    }

private:
    static constexpr size_t kChunk = 1 << 16;

    void FlushWhenFull() {
        if (buffer_.size() >= kChunk) {
            Flush();
        }
    }
    void Separator() {
        if (needComma_) {
            buffer_ += ", ";
        }
    }
    void Open(char bracket) {
        Separator();
        buffer_ += bracket;
        needComma_ = false;
    }
    void Close(char bracket) {
        buffer_ += bracket;
        needComma_ = true;
        FlushWhenFull();
    }

    std::ostream& out_;
    std::string buffer_;
    bool needComma_ = false;
};

void WriteStructure(JsonWriter& json, const TReachData& s) {
    json.BeginObject();
    const std::pair<const char*, const std::string*> leadingTexts[] = {
        {"ID", &s.ID},
        {"city", &s.city},
        {"date", &s.date},
        {"InspectingCompany", &s.InspectingCompany},
        {"street", &s.street},
        {"ReachNumber", &s.ReachNumber},
        {"ConnectionNumber", &s.ConnectionNumber},
        {"StartManholeNumber", &s.StartManholeNumber},
        {"EndManholeNumber", &s.EndManholeNumber},
        {"video", &s.video},
    };
    for (const auto& [name, value] : leadingTexts) {
        json.Key(name);
        json.AnsiString(*value);
    }
    json.Key("StartDist");
    json.Number(s.StartDist);
    json.Key("EndDist");
    json.Number(s.EndDist);
    json.Key("ObjectType");
    json.AnsiString(std::string(1, s.ObjectType));
    json.Key("direction");
    json.Bool(s.direction);
    json.Key("InspMode");
    json.AnsiString(s.InspMode);
    json.Key("InspLength");
    json.Number(s.InspLength);
    json.Key("CodeDigit");
    json.AnsiString(s.CodeDigit);
    json.Key("ZIP");
    json.AnsiString(s.ZIP);
    json.Key("Details");
    json.BeginArray();
    for (const TReachDetail& d : s.Details) {
        json.BeginObject();
        json.Key("Distance");
        json.Number(d.Distance);
        json.Key("Code");
        json.AnsiString(d.Code);
        json.Key("Text");
        json.AnsiString(d.Text);
        json.Key("VideoTime");
        json.AnsiString(d.VideoTime);
        json.Key("DefectClass");
        json.Integer(d.DefectClass);
        json.Key("CounterHours");
        json.Integer(d.CounterHours);
        json.Key("CounterMinutes");
        json.Integer(d.CounterMinutes);
        json.Key("CounterSeconds");
        json.Integer(d.CounterSeconds);
        json.EndObject();
    }
    json.EndArray();
    json.EndObject();
}

// Where each structure stands in its list, found once for all film entries.
using TStructurePlaces = std::unordered_map<const TReachData*, size_t>;

TStructurePlaces StructurePlaces(const TKanvioContext& context) {
    TStructurePlaces places;
    places.reserve(context.Reaches.size() + context.Connections.size());
    // A structure listed twice is linked to its first place.
    for (const auto* list : {&context.Reaches, &context.Connections}) {
        for (size_t i = 0; i < list->size(); ++i) {
            places.emplace((*list)[i].get(), i);
        }
    }
    return places;
}

void WriteStructureLink(JsonWriter& json, const TStructurePlaces& places,
                        const TReachData* target) {
    const auto place = target != nullptr ? places.find(target) : places.end();
    if (place == places.end()) {
        json.Null();
        return;
    }
    json.BeginObject();
    json.Key("ObjectType");
    json.AnsiString(std::string(1, target->ObjectType));
    json.Key("Index");
    json.Integer(static_cast<long long>(place->second));
    json.EndObject();
}

void WriteFilm(JsonWriter& json, const TStructurePlaces& places, const TPlayListItem& film) {
    json.BeginObject();
    json.Key("FileName");
    // A found file carries the file system's own (UTF-8) name; a name that was not found
    // stays as the settings file wrote it.
    if (IsValidUtf8(film.FileName)) {
        json.Utf8String(film.FileName);
    } else {
        json.AnsiString(film.FileName);
    }
    json.Key("StartTime");
    json.Integer(film.StartTime);
    json.Key("StopTime");
    json.Integer(film.StopTime);
    json.Key("StartText");
    json.AnsiString(film.StartText);
    json.Key("StopText");
    json.AnsiString(film.StopText);
    json.Key("StructureType");
    json.AnsiString(film.StructureType);
    json.Key("StructureID");
    json.AnsiString(film.StructureID);
    json.Key("Structure");
    WriteStructureLink(json, places, film.Structure);
    json.Key("TimeCorrections");
    json.BeginArray();
    for (const std::string& line : film.TimeCorrections) {
        json.AnsiString(line);
    }
    json.EndArray();
    // The entry's key in [FILME]: a list with gaps numbers its films apart from their places.
    json.Key("Number");
    json.Integer(film.Number);
    json.EndObject();
}

} // namespace

void WriteProjectJson(const TKanvioContext& context, std::ostream& out) {
    JsonWriter json(out);
    json.BeginObject();
    json.Key("reaches");
    json.BeginArray();
    for (const auto& reach : context.Reaches) {
        WriteStructure(json, *reach);
    }
    json.EndArray();
    json.Key("connections");
    json.BeginArray();
    for (const auto& connection : context.Connections) {
        WriteStructure(json, *connection);
    }
    json.EndArray();
    json.Key("films");
    json.BeginArray();
    const TStructurePlaces places = StructurePlaces(context);
    for (const auto& film : context.PlayList) {
        WriteFilm(json, places, film);
    }
    json.EndArray();
    json.EndObject();
    json.Raw('\n');
    json.Flush();
}

std::string ProjectJson(const TKanvioContext& context) {
    std::ostringstream out;
    WriteProjectJson(context, out);
    return out.str();
}

} // namespace kanvio
