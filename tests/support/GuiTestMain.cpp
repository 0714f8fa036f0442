#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <QTemporaryFile>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

// The offscreen platform's screen is 800 pixels wide unless a configuration file says
// otherwise. A suite that needs the room of a desktop screen sets
// KANVIO_TEST_SCREEN=WIDTHxHEIGHT; the file lives only until the platform has read it.
std::unique_ptr<QTemporaryFile> ScreenConfiguration() {
    const char* size = std::getenv("KANVIO_TEST_SCREEN");
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    int width = 0;
    int height = 0;
    if (size == nullptr || platform == nullptr || std::string(platform) != "offscreen" ||
        std::sscanf(size, "%dx%d", &width, &height) != 2 || width <= 0 || height <= 0) {
        return nullptr;
    }
    auto file = std::make_unique<QTemporaryFile>();
    if (!file->open()) {
        return nullptr;
    }
    file->write(QByteArray("{\"synchronousWindowSystemEvents\": false, \"windowFrameMargins\": "
                           "true, \"screens\": [{\"name\": \"OffscreenScreen\", \"x\": 0, "
                           "\"y\": 0, \"width\": ") +
                QByteArray::number(width) + ", \"height\": " + QByteArray::number(height) +
                ", \"logicalDpi\": 96, \"logicalBaseDpi\": 96, \"dpr\": 1}]}");
    file->flush();
    return file;
}

} // namespace

int main(int argc, char** argv) {
    // Window tests never need a display unless the caller asks for one.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const std::unique_ptr<QTemporaryFile> screen = ScreenConfiguration();
    std::vector<char*> arguments(argv, argv + argc);
    std::string platform;
    std::string platformOption = "-platform";
    if (screen) {
        platform = "offscreen:configfile=" + QFile::encodeName(screen->fileName()).toStdString();
        arguments.push_back(platformOption.data());
        arguments.push_back(platform.data());
    }
    int count = static_cast<int>(arguments.size());
    arguments.push_back(nullptr);
    QApplication app(count, arguments.data());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
