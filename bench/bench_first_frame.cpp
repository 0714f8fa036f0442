// Time from "kanvio" being started in the demo project to its first frame on screen, and
// where it goes: the program prints its start-up milestones (KANVIO_STARTUP_TIMES) and
// this benchmark reads them from a pipe, measured from the moment it started the process.
// Each run is a fresh process in layout 0, on the offscreen platform unless the
// environment names another (QT_QPA_PLATFORM=xcb with DISPLAY for an X server); it is
// ended once the first frame is painted. Milestones of the decoder thread are listed apart:
// they overlap the window thread's.
//
//   bench_first_frame [runs]   (default 7)

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* kLastMilestone = "first frame painted";

double NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

const char* Platform() {
    const char* chosen = std::getenv("QT_QPA_PLATFORM");
    return chosen && *chosen ? chosen : "offscreen";
}

bool OnDecoderThread(const std::string& milestone) {
    return milestone.rfind("decoder thread:", 0) == 0;
}

// One start of the player: each milestone's time after the start, in the order reached.
std::vector<std::pair<std::string, double>> OneStart(const std::string& project) {
    int pipe_[2];
    if (pipe(pipe_) != 0)
        return {};
    const double started = NowMs();
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipe_[1], STDERR_FILENO);
        close(pipe_[0]);
        close(pipe_[1]);
        setenv("KANVIO_STARTUP_TIMES", "1", 1);
        setenv("QT_QPA_PLATFORM", Platform(), 1);
        execl(KANVIO_PROGRAM_FILE, KANVIO_PROGRAM_FILE, "--project", project.c_str(), nullptr);
        _exit(127);
    }
    close(pipe_[1]);
    std::vector<std::pair<std::string, double>> milestones;
    FILE* lines = fdopen(pipe_[0], "r");
    char line[512];
    while (lines && std::fgets(line, sizeof line, lines)) {
        double at = 0;
        char name[256] = {};
        if (std::sscanf(line, "kanvio-startup %lf %255[^\n]", &at, name) != 2)
            continue;
        milestones.emplace_back(name, at - started);
        if (std::string(name) == kLastMilestone)
            break;
    }
    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
    if (lines)
        std::fclose(lines);
    return milestones;
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    QTemporaryDir root;
    const std::string folder = root.path().toStdString();
    // Settings of its own: layout 0 chosen, so that no question waits for an answer.
    setenv("XDG_CONFIG_HOME", (folder + "/config").c_str(), 1);
    setenv("XDG_STATE_HOME", (folder + "/state").c_str(), 1);
    // The machine's settings too: the player notes the delivery there, and run by root it
    // would write into /etc/xdg.
    setenv("XDG_CONFIG_DIRS", (folder + "/xdg").c_str(), 1);
    QDir().mkpath(QString::fromStdString(folder + "/config/Orbelin"));
    std::ofstream(folder + "/config/Orbelin/Kanvio.conf")
        << "[SOFTWARE/Orbelin/Kanvio]\nLayoutMode=0\n";
    const std::string project = folder + "/demo";
    QProcess maker;
    maker.start(KANVIO_MKPROJECT_FILE, {"--demo", QString::fromStdString(project)});
    if (!maker.waitForFinished(300000) || maker.exitCode() != 0) {
        std::printf("the demo project cannot be made\n");
        return 1;
    }

    std::vector<std::string> order;
    std::map<std::string, std::vector<double>> times;
    OneStart(project); // warm-up: files in the page cache, the plugin registry written
    for (int run = 0; run < runs; ++run) {
        const auto milestones = OneStart(project);
        if (milestones.empty() || milestones.back().first != kLastMilestone) {
            std::printf("run %d: no frame was painted\n", run + 1);
            continue;
        }
        for (const auto& [name, at] : milestones) {
            if (std::find(order.begin(), order.end(), name) == order.end())
                order.push_back(name);
            times[name].push_back(at);
        }
    }
    std::printf("kanvio in the demo project, layout 0, %s: medians of %d starts\n", Platform(),
                runs);
    for (const bool decoderThread : {false, true}) {
        std::printf("  %-34s %9s %9s\n",
                    decoderThread ? "on the decoder thread" : "on the window thread", "since",
                    "step");
        double previous = 0;
        for (const std::string& name : order) {
            if (OnDecoderThread(name) != decoderThread)
                continue;
            const double at = Median(times[name]);
            std::printf("  %-34s %6.0f ms %6.0f ms%s\n", name.c_str(), at, at - previous,
                        at - previous > 100 ? "  (over 100 ms)" : "");
            previous = at;
        }
    }
    std::printf("after \"play-then-pause begun\" comes the prescribed 500 ms between play and "
                "pause after a load\n");
    return 0;
}
