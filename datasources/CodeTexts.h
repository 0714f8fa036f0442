#pragma once

// Short texts of observation codes from the program's data file, for observations whose
// delivery carries no text of its own.

#include <string>
#include <string_view>
#include <unordered_map>

namespace kanvio {

class TCodeTexts {
public:
    // The file holds one code a line: code, German text and English text separated by
    // tabs, in UTF-8; '#' begins a comment line. A missing or unreadable file gives no
    // texts (logged once).
    static TCodeTexts Load(const std::string& fileName);
    // The same from the file's bytes.
    static TCodeTexts Parse(std::string_view bytes);

    // Windows-1252 text of the code in the language ("de", else English); a code not in
    // the file takes the text of its longest listed beginning of three letters or more.
    // Empty when none is found.
    std::string Find(std::string_view code, std::string_view language) const;

    size_t Size() const { return texts_.size(); }

private:
    struct TTexts {
        std::string German, English;
    };
    std::unordered_map<std::string, TTexts> texts_;
};

// The data file beside the program.
std::string CodeTextsFileName();

} // namespace kanvio
