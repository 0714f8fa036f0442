#include "foundation/LangManager.h"

#include "foundation/BigIniFile.h"
#include "foundation/DeliveryFolder.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/Logging.h"

#include <cstdio>

namespace kanvio {
namespace {

TLangMan* sharedInstance = nullptr;
int useCount = 0;
// The file is loaded again with every new instance; its problem is told only once.
std::string reportedUnreadableFile;

std::string LanguageFileFor(const std::string& code) {
    const std::string folder = GetProgramFolder();
    const std::string fileName = "lang_kanvio_" + code + ".ini";
    const std::string inSubFolder = FindFileIgnoringCase(folder + code + "/" + fileName);
    if (FileExists(inSubFolder)) {
        return inSubFolder;
    }
    return FindFileIgnoringCase(folder + fileName);
}

} // namespace

TLangMan& TLangMan::Acquire() {
    if (sharedInstance == nullptr) {
        sharedInstance = new TLangMan();
    }
    ++useCount;
    return *sharedInstance;
}

void TLangMan::Release() {
    if (useCount == 0) {
        return;
    }
    if (--useCount == 0) {
        delete sharedInstance;
        sharedInstance = nullptr;
    }
}

TLangMan::TLangMan() {
    {
        bool writable = false;
        std::unique_ptr<TBigIniFile> settings;
        try {
            settings = OpenProgramSettings(writable);
        } catch (const std::exception& error) {
            // The program start reports an unreadable settings file itself; texts go on.
            std::fprintf(stderr, "kanvio: %s\n", error.what());
        }
        const std::string fallback = DefaultLanguage();
        code_ = settings ? settings->ReadString("Common", "language", fallback) : fallback;
    }
    fileName_ = LanguageFileFor(code_);
    try {
        // Texts are only read; the file goes back to disk never.
        file_ = std::make_unique<TBigIniFile>(fileName_, TIniAccess::ReadOnly);
    } catch (const std::exception& error) {
        // Every caption asks for a text; failing each of them would end the program at the
        // first window. The keys stand in for the texts instead.
        if (reportedUnreadableFile != fileName_) {
            reportedUnreadableFile = fileName_;
            std::fprintf(stderr, "kanvio: no language file: %s\n", error.what());
            LogLine(std::string("No language file: ") + error.what(), LOG_ERROR);
        }
    }
}

TLangMan::~TLangMan() = default;

const std::string& TLangMan::FileName() const {
    return fileName_;
}

std::string LanguageText(const std::string& code, std::string_view key) {
    try {
        const TBigIniFile file(LanguageFileFor(code), TIniAccess::ReadOnly);
        const std::string text = file.ReadString("Messages", key, key);
        return text.empty() ? std::string(key) : text;
    } catch (const std::exception&) {
        return std::string(key);
    }
}

std::string TLangMan::GetText(std::string_view key) const {
    if (!file_) {
        return std::string(key);
    }
    std::string text = file_->ReadString("Messages", key, key);
    if (text.empty()) {
        return std::string(key);
    }
    return text;
}

} // namespace kanvio
