#include "datasources/IsybauXmlDataTreeBuilder.h"

#include "datasources/CodeTexts.h"
#include "datasources/IsybauXmlReader.h"
#include "foundation/Errors.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/LangManager.h"
#include "foundation/Logging.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace kanvio {

namespace {

std::string ReadWholeFile(const std::string& fileName) {
    std::ifstream file(fileName, std::ios::binary | std::ios::ate);
    if (!file)
        throw EInOutError(fileName, std::strerror(errno));
    const std::streamoff size = file.tellg();
    std::string bytes(static_cast<size_t>(std::max<std::streamoff>(size, 0)), '\0');
    file.seekg(0);
    if (!file.read(bytes.data(), static_cast<std::streamsize>(bytes.size())))
        throw EInOutError(fileName, "cannot be read");
    return bytes;
}

bool HasXmlExtension(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".xml";
}

} // namespace

void TIsybauXmlDataTreeBuilder::BuildDataTree(TKanvioDataModel& model) {
    TIsybauXmlSettings settings;
    const TCodeTexts codeTexts = TCodeTexts::Load(CodeTextsFileName());
    settings.CodeTexts = &codeTexts;
    {
        LangScope lang;
        settings.Language = lang->LanguageCode();
    }
    const std::filesystem::path folder = std::filesystem::path(fileName_).parent_path();
    settings.FilmFolder = folder.empty() ? std::string() : folder.string() + "/";
    LogLine("Reading ISYBAU XML delivery " + fileName_, LOG_DEBUG);
    ReadIsybauXml(ReadWholeFile(fileName_), fileName_, model, settings);
}

std::string FindIsybauXmlFile(const std::string& folder, const std::string& projectName) {
    if (!projectName.empty()) {
        const std::string named = FindFileIgnoringCase(folder + ToNativeSeparators(projectName));
        if (FileExists(named) && IsIsybauXmlFile(named))
            return named;
    }
    std::string found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (!HasXmlExtension(entry.path()) || !entry.is_regular_file(error))
            continue;
        if (!IsIsybauXmlFile(entry.path().string()))
            continue;
        if (!found.empty()) {
            LogLine(folder + ": more than one ISYBAU XML file (" + found + ", " +
                        entry.path().string() + "); name one in [DATA] Projekt",
                    LOG_WARNING);
            return {};
        }
        found = entry.path().string();
    }
    return found;
}

} // namespace kanvio
