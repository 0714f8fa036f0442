#include "datasources/CodeTexts.h"

#include "datasources/XmlDeliveryText.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/Logging.h"

#include <fstream>
#include <sstream>

namespace kanvio {

namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.remove_suffix(1);
    return text;
}

std::string Ansi(std::string_view utf8) {
    size_t replaced = 0;
    return xmldelivery::Utf8ToWindows1252(Trimmed(utf8), replaced);
}

} // namespace

TCodeTexts TCodeTexts::Load(const std::string& fileName) {
    std::ifstream file(fileName, std::ios::binary);
    if (!file) {
        LogLine(fileName + ": no code texts; observations without text show their code",
                LOG_WARNING);
        return {};
    }
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return Parse(bytes.str());
}

TCodeTexts TCodeTexts::Parse(std::string_view bytes) {
    TCodeTexts result;
    while (!bytes.empty()) {
        const size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        if (Trimmed(line).empty() || Trimmed(line).front() == '#')
            continue;
        const size_t firstTab = line.find('\t');
        if (firstTab == std::string_view::npos)
            continue;
        const size_t secondTab = line.find('\t', firstTab + 1);
        const std::string code(Trimmed(line.substr(0, firstTab)));
        if (code.empty())
            continue;
        TTexts& texts = result.texts_[code];
        texts.German = Ansi(line.substr(firstTab + 1, secondTab == std::string_view::npos
                                                          ? std::string_view::npos
                                                          : secondTab - firstTab - 1));
        texts.English =
            secondTab == std::string_view::npos ? texts.German : Ansi(line.substr(secondTab + 1));
    }
    return result;
}

std::string TCodeTexts::Find(std::string_view code, std::string_view language) const {
    for (size_t length = code.size(); length >= 3; --length) {
        const auto found = texts_.find(std::string(code.substr(0, length)));
        if (found != texts_.end())
            return language == "de" ? found->second.German : found->second.English;
    }
    return {};
}

std::string CodeTextsFileName() {
    return FindFileIgnoringCase(GetProgramFolder() + "kanvio_codes.txt");
}

} // namespace kanvio
