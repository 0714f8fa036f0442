// The program run with "--report" on a copy of the shared generated delivery, its PDF read
// back with poppler's tools: the title page's counts, each structure's table against what
// the generator wrote, an observation's picture against the frame ffmpeg decodes, the
// structures chosen on the command line and the language of the texts.

#include "tests/support/IsolatedEnvironment.h"
#include "tests/support/TempDir.h"
#include "tests/video/VideoTestSupport.h"
#include "tools/mkproject/ProjectFiles.h"
#include "tools/mkproject/ProjectGenerator.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QStringDecoder>
#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace kanvio {
namespace {

using namespace generator;
namespace fs = std::filesystem;

std::string Utf8(const std::string& windows1252) {
    QStringDecoder decoder("Windows-1252");
    return QString(decoder(QByteArray::fromStdString(windows1252))).toStdString();
}

// pdftotext keeps the ligatures the fonts drew ("ﬀ"); the delivery's texts have letters.
std::string WithoutLigatures(std::string text) {
    const std::pair<const char*, const char*> ligatures[] = {
        {"\uFB00", "ff"}, {"\uFB01", "fi"}, {"\uFB02", "fl"}, {"\uFB03", "ffi"}, {"\uFB04", "ffl"}};
    for (const auto& [ligature, letters] : ligatures) {
        for (size_t at = text.find(ligature); at != std::string::npos; at = text.find(ligature, at))
            text.replace(at, std::string(ligature).size(), letters);
    }
    return text;
}

std::string RunTool(const QString& program, const QStringList& arguments, int* exitCode = nullptr) {
    QProcess process;
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForFinished(300000)) << program.toStdString();
    if (exitCode != nullptr)
        *exitCode = process.exitCode();
    else
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return process.readAllStandardOutput().toStdString();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        std::string line = text.substr(start, end - start);
        // Pages begin with a form feed.
        std::erase(line, '\f');
        lines.push_back(line);
        start = end + 1;
    }
    lines.push_back(text.substr(start));
    return lines;
}

// The value at the end of the first line from index on that starts with caption.
std::string ValueAfter(const std::vector<std::string>& lines, size_t& index,
                       const std::string& caption) {
    for (; index < lines.size(); ++index) {
        const std::string& line = lines[index];
        const size_t at = line.find_first_not_of(' ');
        if (at != std::string::npos && line.compare(at, caption.size(), caption) == 0 &&
            line.size() > at + caption.size() && line[at + caption.size()] == ' ') {
            const size_t last = line.find_last_of(' ');
            return line.substr(last + 1);
        }
    }
    return "<" + caption + " missing>";
}

class ReportProgramTest : public test::IsolatedTest {
protected:
    ReportProgramTest() : input(GenerateProject(SharedTestProjectOptions())) {
        delivery = env.root() / "Lieferung Süd";
        fs::copy(fs::path(KANVIO_TEST_MEDIA_DIR) / "isybau-project", delivery,
                 fs::copy_options::recursive);
    }

    // Runs the report; the exit code, and standard output.
    int Report(const QStringList& extra, std::string* out = nullptr, std::string* err = nullptr) {
        QProcess program;
        program.start(KANVIO_PROGRAM_FILE,
                      QStringList{"--project", QString::fromStdString(delivery.string()),
                                  "--report", QString::fromStdString(pdf.string())} +
                          extra);
        EXPECT_TRUE(program.waitForFinished(300000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        if (out != nullptr)
            *out = program.readAllStandardOutput().toStdString();
        if (err != nullptr)
            *err = program.readAllStandardError().toStdString();
        return program.exitCode();
    }
    std::string Text(int first = 0, int last = 0) const {
        QStringList args{"-layout", "-enc", "UTF-8"};
        if (first > 0)
            args << "-f" << QString::number(first) << "-l" << QString::number(last);
        return WithoutLigatures(
            RunTool("pdftotext", args << QString::fromStdString(pdf.string()) << "-"));
    }
    std::vector<std::string> Headings() const {
        std::vector<std::string> headings;
        for (const std::string& line : Lines(Text()))
            if (line.starts_with("Haltung ") || line.starts_with("Anschluss "))
                headings.push_back(line.substr(0, line.find_last_not_of(' ') + 1));
        return headings;
    }
    static std::string Heading(const TGeneratedStructure& structure) {
        return (structure.ObjectType == 'H' ? "Haltung " : "Anschluss ") + Utf8(structure.Number);
    }

    TGeneratedProject input;
    fs::path delivery;
    fs::path pdf = env.root() / "bericht.pdf";
};

TEST_F(ReportProgramTest, TitlePageCountsAndEveryStructuresTable) {
    std::string out;
    std::string err;
    ASSERT_EQ(Report({}, &out, &err), 0) << err;
    const auto structures = input.StructuresInTimelineOrder();
    // A progress line per structure, in order.
    for (size_t i = 0; i < structures.size(); ++i)
        EXPECT_NE(out.find("[" + std::to_string(i + 1) + "/" + std::to_string(structures.size()) +
                           "] " + Heading(*structures[i])),
                  std::string::npos)
            << out;

    const std::string info = RunTool("pdfinfo", {QString::fromStdString(pdf.string())});
    EXPECT_NE(info.find("A4"), std::string::npos) << info;
    const std::string fonts = RunTool("pdffonts", {QString::fromStdString(pdf.string())});
    const std::vector<std::string> fontLines = Lines(fonts);
    ASSERT_GT(fontLines.size(), 2u) << fonts;
    for (size_t i = 2; i < fontLines.size(); ++i) {
        if (!fontLines[i].empty()) {
            EXPECT_NE(fontLines[i].find(" yes "), std::string::npos)
                << "not embedded: " << fontLines[i];
        }
    }

    const std::vector<std::string> title = Lines(Text(1, 1));
    size_t at = 0;
    EXPECT_EQ(ValueAfter(title, at, "Lieferung"), "Süd");
    at = 0;
    EXPECT_EQ(ValueAfter(title, at, "Haltungen"),
              std::to_string(SharedTestProjectOptions().Reaches));
    EXPECT_EQ(ValueAfter(title, at, "Anschlüsse"),
              std::to_string(SharedTestProjectOptions().Connections));
    EXPECT_EQ(ValueAfter(title, at, "gesamt"), std::to_string(structures.size()));
    // The model of ISYBAU files carries no defect classes: every observation is without.
    for (int c = 1; c <= 5; ++c)
        EXPECT_EQ(ValueAfter(title, at, "Klasse " + std::to_string(c)), "0");
    EXPECT_EQ(ValueAfter(title, at, "ohne Klasse"), std::to_string(input.ObservationCount()));
    EXPECT_EQ(ValueAfter(title, at, "gesamt"), std::to_string(input.ObservationCount()));

    // Each structure: its heading, then its observations in order, one table row each.
    const std::vector<std::string> lines = Lines(Text());
    size_t cursor = 0;
    for (const TGeneratedStructure* structure : structures) {
        SCOPED_TRACE(Heading(*structure));
        const auto heading =
            std::find_if(lines.begin() + long(cursor), lines.end(), [&](const std::string& line) {
                return line.starts_with(Heading(*structure));
            });
        ASSERT_NE(heading, lines.end());
        cursor = size_t(heading - lines.begin());
        for (const TGeneratedObservation& observation : structure->Observations) {
            const std::string distance = std::to_string(observation.StationHundredths) + " cm";
            const std::string text = Utf8("(" + observation.Code + ") " + observation.Remark);
            const std::string time = TimelineText(observation.TimelineSeconds);
            const auto row = std::find_if(
                lines.begin() + long(cursor), lines.end(), [&](const std::string& line) {
                    return line.find(time) != std::string::npos &&
                           line.find(Utf8(observation.Code)) != std::string::npos;
                });
            ASSERT_NE(row, lines.end()) << time << " " << observation.Code;
            EXPECT_TRUE(row->starts_with(distance)) << *row;
            EXPECT_NE(row->find(text.substr(0, 24)), std::string::npos) << *row;
            cursor = size_t(row - lines.begin()) + 1;
        }
    }
    // The delivery got nothing of it.
    for (const auto& entry : fs::recursive_directory_iterator(delivery))
        EXPECT_NE(entry.path().extension(), ".pdf") << entry.path();
}

TEST_F(ReportProgramTest, ObservationPictureIsTheFrameFfmpegDecodes) {
    const TGeneratedStructure& structure = *input.StructuresInTimelineOrder()[1];
    ASSERT_GE(structure.FilmIndex, 0);
    ASSERT_FALSE(structure.Observations.empty());
    ASSERT_EQ(Report({"--structure", QString::fromStdString("H:" + Utf8(structure.Number))}), 0);
    // Page 2 holds the structure: its graphic, then the pictures of its observations.
    const fs::path images = env.root() / "images";
    fs::create_directories(images);
    RunTool("pdfimages", {"-png", "-f", "2", "-l", "2", QString::fromStdString(pdf.string()),
                          QString::fromStdString((images / "page").string())});
    const size_t onPage = std::min<size_t>(structure.Observations.size(), 2);
    const std::string film =
        (delivery / input.Films[size_t(structure.FilmIndex)].FileName).string();
    for (size_t i = 0; i < onPage; ++i) {
        const TGeneratedObservation& observation = structure.Observations[i];
        const int64_t ms =
            std::max<int64_t>(400, (observation.TimelineSeconds - structure.StartTime) * 1000);
        const int frame = int(ms / 40);
        char name[32];
        std::snprintf(name, sizeof name, "page-%03zu.png", i + 1);
        const QImage picture = QImage(QString::fromStdString((images / name).string()))
                                   .convertToFormat(QImage::Format_RGB32);
        ASSERT_FALSE(picture.isNull()) << name;
        const double exact = test::MeanDifference(picture, test::ReferenceFrame(film, frame));
        SCOPED_TRACE("frame " + std::to_string(frame));
        EXPECT_LT(exact, 6.0);
        EXPECT_LT(exact, test::MeanDifference(picture, test::ReferenceFrame(film, frame + 1)));
        EXPECT_LT(exact, test::MeanDifference(picture, test::ReferenceFrame(film, frame - 1)));
    }
}

TEST_F(ReportProgramTest, ChosenStructuresInTheirOrderAndUnknownNumbers) {
    const auto structures = input.StructuresInTimelineOrder();
    const TGeneratedStructure* connection = structures.back();
    const TGeneratedStructure* reach = structures.front();
    ASSERT_EQ(connection->ObjectType, 'A');
    std::string out;
    ASSERT_EQ(Report({"--structure", QString::fromStdString("A:" + Utf8(connection->Number)),
                      "--structure", QString::fromStdString("H:" + Utf8(reach->Number))},
                     &out),
              0);
    EXPECT_EQ(Headings(), (std::vector<std::string>{Heading(*connection), Heading(*reach)}));
    EXPECT_NE(out.find("[2/2] " + Heading(*reach)), std::string::npos) << out;

    fs::remove(pdf);
    std::string err;
    EXPECT_EQ(Report({"--structure", "H:" + QString::fromStdString(Utf8(reach->Number)) + "0"},
                     nullptr, &err),
              1);
    EXPECT_NE(err.find("no reach " + Utf8(reach->Number) + "0"), std::string::npos) << err;
    EXPECT_EQ(Report({"--structure", "Z:1"}, nullptr, &err), 2);
    EXPECT_NE(err.find("usage"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(pdf));
}

TEST_F(ReportProgramTest, DeliveryWithoutStructuresGetsNoReport) {
    for (const char* name : {"Haltungen.txt", "Anschluesse.txt"})
        fs::remove(delivery / name);
    std::string err;
    EXPECT_EQ(Report({}, nullptr, &err), 1);
    EXPECT_NE(err.find("no reaches or connections"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(pdf));
}

TEST_F(ReportProgramTest, ReportFollowsTheChosenLanguage) {
    std::string ini = test::ReadFile(delivery / "Kanvio.ini");
    const size_t at = ini.find("language=de");
    ASSERT_NE(at, std::string::npos);
    ini.replace(at, 11, "language=en");
    test::WriteFile(delivery / "Kanvio.ini", ini);
    const TGeneratedStructure& reach = *input.StructuresInTimelineOrder().front();
    ASSERT_EQ(Report({"--structure", QString::fromStdString("H:" + Utf8(reach.Number))}), 0);
    const std::string text = Text();
    for (const char* word : {"Inspection report", "Reaches", "Connections", "Observations",
                             "Video time", "Page 1 of", "Reach "})
        EXPECT_NE(text.find(word), std::string::npos) << word;
    EXPECT_EQ(text.find("Haltung"), std::string::npos);
}

} // namespace
} // namespace kanvio
