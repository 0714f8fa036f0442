#include "tests/video/VideoTestSupport.h"

#include "foundation/KanvioToolkit.h"
#include "foundation/UserDialogs.h"
#include "tools/mkproject/FilmMaker.h"
#include "tools/mkproject/FrameCode.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>

namespace kanvio::test {

std::string Film(const std::string& name) {
    static std::once_flag made;
    std::call_once(made, [] { generator::MakeTestMedia(KANVIO_TEST_MEDIA_DIR); });
    return std::string(KANVIO_TEST_MEDIA_DIR) + "/" + name;
}

std::string ExactFilm(const std::string& name) {
    return Film("exact/" + name);
}

std::string FilmTestName(const std::string& film) {
    std::string name = film;
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    return name;
}

int FrameNumberOf(const QImage& picture) {
    const QImage pixels = picture.convertToFormat(QImage::Format_RGB32);
    return generator::ReadFrameCode(pixels.constBits(), pixels.width(), pixels.height(),
                                    static_cast<int>(pixels.bytesPerLine()));
}

void RunEventsFor(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

bool RunEventsUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs)
        RunEventsFor(50);
    return done();
}

QImage ReferenceFrame(const std::string& film, int index) {
    TempDir dir("kanvio-ref");
    const std::string out = (dir / "frame.png").string();
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-loglevel", "error", "-y", "-i", QString::fromStdString(film), "-vf",
                            QString("select=eq(n\\,%1)").arg(index), "-frames:v", "1", "-vsync",
                            "0", QString::fromStdString(out)});
    ffmpeg.waitForFinished(60000);
    return QImage(QString::fromStdString(out)).convertToFormat(QImage::Format_RGB32);
}

void ExpectPauseRightAfterPlayHolds(TMMEngine& engine) {
    for (int round = 0; round < 12; ++round) {
        ASSERT_EQ(engine.SeekTo(1000), S_OK);
        ASSERT_EQ(engine.PlayMovie(), S_OK);
        ASSERT_EQ(engine.PauseMovie(), S_OK);
        QThread::msleep(300);
        const int64_t settled = engine.GetCurrentPosition();
        QThread::msleep(300);
        EXPECT_EQ(engine.GetCurrentPosition(), settled) << "round " << round;
        EXPECT_LT(settled, 15'000'000) << "round " << round;
    }
}

double MeanDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull())
        return 255;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col)
            sum += std::abs(qRed(p[col]) - qRed(q[col])) +
                   std::abs(qGreen(p[col]) - qGreen(q[col])) +
                   std::abs(qBlue(p[col]) - qBlue(q[col]));
    }
    return sum / (3.0 * x.width() * x.height());
}

void EngineTest::SetUp() {
    logFile = (env.state() / "engine.log").string();
    static TConsoleDialogs dialogs;
    AppLog = std::make_unique<TLog>(logFile, LOG_DEBUG, dialogs);
    SetProgramFolderForTesting(std::string(KANVIO_MEDIUM_DIR) + "/");
}

void EngineTest::TearDown() {
    AppLog.reset();
}

std::string EngineTest::LogText() const {
    std::ifstream in(logFile, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool EngineTest::LogHas(const std::string& line) const {
    return CountInLog(line) > 0;
}

int EngineTest::CountInLog(const std::string& line) const {
    const std::string text = LogText();
    int count = 0;
    for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1))
        ++count;
    return count;
}

void EngineTest::UseFilterCopy() {
    const auto target = env.programFolder() / "filters";
    std::filesystem::create_directories(target);
    std::filesystem::copy(std::filesystem::path(KANVIO_MEDIUM_DIR) / "filters", target,
                          std::filesystem::copy_options::recursive |
                              std::filesystem::copy_options::overwrite_existing);
    SetProgramFolderForTesting(env.programFolder().string() + "/");
}

std::filesystem::path EngineTest::FilterFile(const std::string& name) const {
    return env.programFolder() / "filters" / name;
}

} // namespace kanvio::test
