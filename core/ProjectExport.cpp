#include "core/ProjectExport.h"

#include "core/KanvioContext.h"
#include "foundation/AnsiText.h"

#include <charconv>
#include <cmath>
#include <sstream>

namespace kanvio {

namespace {

bool IsValidUtf8(const std::string& text) {
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

class JsonWriter {
public:
    explicit JsonWriter(std::ostream& out) : out_(out) {}

    void Key(const char* name) {
        Separator();
        out_ << '"' << name << "\":";
        needComma_ = false;
    }
    void BeginObject() { Open('{'); }
    void EndObject() { Close('}'); }
    void BeginArray() { Open('['); }
    void EndArray() { Close(']'); }

    void AnsiString(const std::string& ansi) { Utf8String(AnsiToUtf8(ansi)); }
    void Utf8String(const std::string& utf8) {
        Separator();
        out_ << '"';
        for (unsigned char c : utf8) {
            switch (c) {
            case '"':
                out_ << "\\\"";
                break;
            case '\\':
                out_ << "\\\\";
                break;
            case '\n':
                out_ << "\\n";
                break;
            case '\r':
                out_ << "\\r";
                break;
            case '\t':
                out_ << "\\t";
                break;
            default:
                if (c < 0x20) {
                    static const char hex[] = "0123456789abcdef";
                    out_ << "\\u00" << hex[c >> 4] << hex[c & 15];
                } else {
                    out_ << static_cast<char>(c);
                }
            }
        }
        out_ << '"';
        needComma_ = true;
    }
    void Number(double value) {
        Separator();
        if (!std::isfinite(value)) {
            out_ << "null"; // JSON has no infinities or NaN
        } else {
            char buffer[64];
            const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
            out_.write(buffer, result.ptr - buffer);
        }
        needComma_ = true;
    }
    void Integer(long long value) {
        Separator();
        out_ << value;
        needComma_ = true;
    }
    void Bool(bool value) {
        Separator();
        out_ << (value ? "true" : "false");
        needComma_ = true;
    }
    void Null() {
        Separator();
        out_ << "null";
        needComma_ = true;
    }

private:
    void Separator() {
        if (needComma_) {
            out_ << ", ";
        }
    }
    void Open(char bracket) {
        Separator();
        out_ << bracket;
        needComma_ = false;
    }
    void Close(char bracket) {
        out_ << bracket;
        needComma_ = true;
    }

    std::ostream& out_;
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

void WriteStructureLink(JsonWriter& json, const TKanvioContext& context, const TReachData* target) {
    if (target != nullptr) {
        for (const auto* list : {&context.Reaches, &context.Connections}) {
            for (size_t i = 0; i < list->size(); ++i) {
                if ((*list)[i].get() == target) {
                    json.BeginObject();
                    json.Key("ObjectType");
                    json.AnsiString(std::string(1, target->ObjectType));
                    json.Key("Index");
                    json.Integer(static_cast<long long>(i));
                    json.EndObject();
                    return;
                }
            }
        }
    }
    json.Null();
}

void WriteFilm(JsonWriter& json, const TKanvioContext& context, const TPlayListItem& film) {
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
    WriteStructureLink(json, context, film.Structure);
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
    for (const auto& film : context.PlayList) {
        WriteFilm(json, context, film);
    }
    json.EndArray();
    json.EndObject();
    out << '\n';
}

std::string ProjectJson(const TKanvioContext& context) {
    std::ostringstream out;
    WriteProjectJson(context, out);
    return out.str();
}

} // namespace kanvio
