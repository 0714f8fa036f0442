#pragma once

// Where the delivery lies. On the medium the program and the delivery share one folder and
// the settings file is read from the working directory; an installed program is given the
// delivery's folder instead ("--project DIR"), and everything of the delivery comes from
// there while the program's own files (language, help, filters) stay in the program folder.

#include <optional>
#include <string>
#include <vector>

namespace kanvio {

// The delivery's folder, ending with "/": the chosen one, else the program folder.
std::string GetProjectFolder();
// True when the delivery was chosen rather than found beside the program.
bool HasChosenProjectFolder();
// Chooses the delivery's folder (made absolute); empty returns to the medium layout.
void SetProjectFolder(std::string folder);
// The folder of the settings file, ending with "/": the chosen delivery, else "./".
std::string ProjectSettingsFolder();
// A relative name from the delivery taken inside a chosen delivery folder; on the medium
// (and for absolute names) the name as it is.
std::string InProjectFolder(const std::string& path);

// The names a delivery folder is recognised by, in the order they are looked for.
const std::vector<std::string>& DeliveryMarkerFiles();
// Empty when folder holds a delivery; otherwise why not, naming the folder and what was
// looked for there.
std::string CheckDeliveryFolder(const std::string& folder);

// "de" or "en" for a locale name such as "de_AT.UTF-8"; English for anything else.
std::string LanguageOfLocale(const std::string& localeName);
// The language of the user's messages (LC_ALL, LC_MESSAGES, LANG, as the C library takes
// them).
std::string UserLanguage();
// The language when the delivery's settings name none: German on the medium, as it has
// always been; the user's own for a chosen delivery.
std::string DefaultLanguage();

// "--project DIR" (or "--project=DIR") taken out of a command line, anywhere in it.
struct TProjectOption {
    std::optional<std::string> Folder;
    std::string Error; // set when the option is there without a folder, or given twice
};
TProjectOption TakeProjectOption(std::vector<std::string>& arguments);

} // namespace kanvio
