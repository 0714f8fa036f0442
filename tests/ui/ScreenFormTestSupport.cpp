#include "tests/ui/ScreenFormTestSupport.h"

#include "foundation/Logging.h"
#include "tools/mkproject/FilmMaker.h"
#include "ui/SteeringForm.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <fstream>
#include <mutex>

namespace kanvio::test {

std::string SharedFilm(const std::string& name) {
    static std::once_flag made;
    std::call_once(made, [] { generator::MakeTestMedia(KANVIO_TEST_MEDIA_DIR); });
    return std::string(KANVIO_TEST_MEDIA_DIR) + "/" + name;
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return done();
}

void ProcessEventsFor(int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

double MeanDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull()) {
        return 255;
    }
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            sum += std::abs(qRed(p[col]) - qRed(q[col])) +
                   std::abs(qGreen(p[col]) - qGreen(q[col])) +
                   std::abs(qBlue(p[col]) - qBlue(q[col]));
        }
    }
    return sum / (3.0 * x.width() * x.height());
}

void PlayerWindowsTest::SetUp() {
    for (const char* name : {"f1.mpg", "f2.mpg", "f3.mpg"}) {
        std::filesystem::copy_file(SharedFilm("mpeg2.mpg"), projectFolder() / name);
    }
    sources.model.Reaches = {MakeStructure('H', "R1", {"00:00:01", "00:00:06"}, "7")};
    sources.model.Connections = {MakeStructure('A', "C1", {"00:00:09"}, "9")};
    WriteFile(env.programFolder() / "Kanvio.dat", "x");
    WriteSettings("[FILME]\nCount=3\n"
                  "1=f1.mpg;00:00:00;00:00:04;4;H;7\n"
                  "2=f2.mpg;00:00:04;00:00:08;4;H;7\n"
                  "3=f3.mpg;00:00:08;00:00:12;4;A;9\n");
    context = CreateContext();
    logFile = (env.state() / "player.log").string();
    static FakeDialogs logDialogs;
    AppLog = std::make_unique<TLog>(logFile, LOG_DEBUG, logDialogs);
    layout = std::make_unique<TThreeWindowLayout>(*context);
    context->SetMainWindow(&main);
    context->SetPlayerWindows(layout.get());
}

void PlayerWindowsTest::TearDown() {
    layout.reset();
    context.reset();
}

void PlayerWindowsTest::StartPlayer(bool stepAfterLoad) {
    context->StartPlayer();
    if (!stepAfterLoad) {
        screen().Engine()->SetPlayPauseStepMs(0);
    }
    context->CurrentStructure = context->Reaches[0].get();
}

int PlayerWindowsTest::CountInLog(const std::string& line) const {
    std::ifstream in(logFile, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    int count = 0;
    for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) {
        ++count;
    }
    return count;
}

} // namespace kanvio::test
