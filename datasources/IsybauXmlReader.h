#pragma once

// ISYBAU XML deliveries (versions 2006-10, 2013-02 and 2017-07): the condition data of
// inspected reaches, house connections and manholes, and the films they were filmed on.

#include "core/KanvioDataModel.h"

#include <string>
#include <string_view>

namespace kanvio {

class TCodeTexts;

struct TIsybauXmlSettings {
    const TCodeTexts* CodeTexts = nullptr; // texts of observations the delivery leaves bare
    std::string Language = "de";
    // The folder relative film paths start from; empty for the file's own folder.
    std::string FilmFolder;
};

// Appends the pipe inspections of the delivery to the model (reaches 'H', connections 'A'),
// counts its manhole inspections and lists its films end to end in model.Films. Damage
// that leaves the rest readable (broken XML after the first objects, an unknown version,
// references to missing orders, objects or films, duplicate objects) is logged and added
// to model.Warnings, each naming the file, line and element; what is valid stays. Throws
// EConvertError when the bytes are no ISYBAU condition data at all.
void ReadIsybauXml(std::string bytes, const std::string& fileName, TKanvioDataModel& model,
                   const TIsybauXmlSettings& settings);

// The options of the XML parser the reader works with.
unsigned IsybauXmlParseOptions();

// Whether the file is an ISYBAU XML condition delivery: its root element is Identifikation
// and it holds a Zustandsdatenkollektiv. Reads no more of the file than it needs.
bool IsIsybauXmlFile(const std::string& fileName);

} // namespace kanvio
