#include "foundation/KanvioToolkit.h"

#include "foundation/BigIniFile.h"
#include "foundation/DeliveryFolder.h"
#include "foundation/Errors.h"
#include "foundation/RegistryStoreFile.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <climits>
#include <filesystem>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace kanvio {
namespace {

std::mutex programFolderLock;
std::string programFolderOverride;

std::string WithTrailingSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

std::string ExecutablePath() {
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) {
        return {};
    }
    return std::string(buffer, static_cast<size_t>(length));
}

// Paths go to the file system as its own bytes (UTF-8), not converted to the code page.
std::string FileSystemPath(const QString& path) {
    return WithTrailingSlash(QFile::encodeName(path).toStdString());
}

bool WritableFolder(const std::string& folder) {
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           ::access(folder.c_str(), W_OK | X_OK) == 0;
}

bool FolderExists(const std::string& folder) {
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

std::string GetProgramFolder() {
    {
        std::lock_guard guard(programFolderLock);
        if (!programFolderOverride.empty()) {
            return programFolderOverride;
        }
    }
    const std::string executable = ExecutablePath();
    const auto slash = executable.rfind('/');
    if (slash == std::string::npos) {
        return "./";
    }
    return executable.substr(0, slash + 1);
}

void SetProgramFolderForTesting(std::string folder) {
    std::lock_guard guard(programFolderLock);
    programFolderOverride = folder.empty() ? std::string() : WithTrailingSlash(std::move(folder));
}

std::string GetDocumentsFolder() {
    return FileSystemPath(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
}

std::string GetPicturesFolder() {
    return FileSystemPath(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation));
}

std::string GetTempFolder() {
    return FileSystemPath(QDir::tempPath());
}

std::unique_ptr<TBigIniFile> OpenProgramSettings(bool& writable) {
    const std::string fileName = FindFileIgnoringCase(GetProjectFolder() + "Kanvio.ini");
    writable = false;
    struct stat info {};
    if (::stat(fileName.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
        // Only asked, never changed: the read-only mark of a delivery's file stays as it is.
        // A write replaces the file through its folder, so that must take a new file too.
        writable = ::access(fileName.c_str(), W_OK) == 0 &&
                   WritableFolder(std::filesystem::path(fileName).parent_path().string());
    }
    return std::make_unique<TBigIniFile>(fileName);
}

bool IsUserAdministrator() {
    try {
        if (::geteuid() == 0) {
            return true;
        }
        const std::filesystem::path store(MachineRegistryStoreFile());
        const std::string storeFolder = store.parent_path().string();
        if (FolderExists(storeFolder)) {
            return WritableFolder(storeFolder);
        }
        // The folder does not exist yet: whoever may create it may write the store.
        return WritableFolder(store.parent_path().parent_path().string());
    } catch (...) {
        return false;
    }
}

std::string GetVersionText(const std::string& fileName, bool shortForm) {
    bool ownProgram = fileName.empty();
    if (!ownProgram) {
        std::error_code error;
        const auto self = std::filesystem::canonical(ExecutablePath(), error);
        const auto asked = std::filesystem::canonical(fileName, error);
        ownProgram = !error && self == asked;
    }
    if (!ownProgram) {
        return shortForm ? "0.0" : "0.0.0.0";
    }
    const std::string shortText =
        std::to_string(KANVIO_VERSION_MAJOR) + "." + std::to_string(KANVIO_VERSION_MINOR);
    if (shortForm) {
        return shortText;
    }
    return shortText + "." + std::to_string(KANVIO_VERSION_PATCH) + "." +
           std::to_string(KANVIO_VERSION_TWEAK);
}

std::string PadText(std::string_view text, size_t width) {
    std::string result(text.substr(0, width));
    result.resize(width, ' ');
    return result;
}

std::string ExtractField(std::string_view text, int index) {
    std::string rest = std::string(text) + ";";
    for (int i = 0; i < index; ++i) {
        const auto separator = rest.find(';');
        // Each step keeps at most 200 characters of what follows the separator.
        rest = rest.substr(separator + 1, 200) + ";";
    }
    return rest.substr(0, rest.find(';'));
}

std::string TrimLeadingBlanks(std::string_view text) {
    if (text.size() >= 256) {
        throw ERangeError("TrimLeadingBlanks: a text of " + std::to_string(text.size()) +
                          " characters is longer than 255");
    }
    if (text.empty()) {
        return {};
    }
    size_t first = 0;
    while (first + 1 < text.size() && text[first] == ' ') {
        ++first;
    }
    return std::string(text.substr(first));
}

std::string Trim(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') {
        ++begin;
    }
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') {
        --end;
    }
    return std::string(text.substr(begin, end - begin));
}

TFormGeometry KeepFormOnScreen(TFormGeometry form, const TScreenArea& screen) {
    const int usableHeight = screen.Height - screen.BottomReserved;
    if (form.Left > screen.Width) {
        form.Left = screen.Width - 30;
    }
    if (form.Top > usableHeight) {
        form.Top = usableHeight - form.Height / 2;
    }
    return form;
}

} // namespace kanvio
