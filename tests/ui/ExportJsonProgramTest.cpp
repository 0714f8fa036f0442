// The installed program run with "--export-json" in a generated project folder, its
// document compared field by field with what the generator put into the delivery. The
// expected values are worked out here from the generator's input, not by the program's
// own conversion code, so a fault in the data source, the film list or the export shows.

#include "tests/support/IsolatedEnvironment.h"
#include "tools/mkproject/FirebirdWriter.h"
#include "tools/mkproject/ProjectFiles.h"
#include "tools/mkproject/ProjectGenerator.h"

#include <QDate>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QProcess>
#include <QStringDecoder>
#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace kanvio {
namespace {

using namespace generator;
namespace fs = std::filesystem;

QString FromWindows1252(const std::string& bytes) {
    QStringDecoder decoder("Windows-1252");
    const QString text = decoder(QByteArray::fromStdString(bytes));
    EXPECT_FALSE(decoder.hasError()) << bytes;
    return text;
}

QString ClockText(int64_t seconds) {
    return QString::asprintf("%02d:%02d:%02d", static_cast<int>(seconds / 3600),
                             static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
}

class ExportJsonProgramTest : public test::IsolatedTest {
protected:
    // Copies the shared project and the program into one folder, as a delivery on a disc
    // carries them, and runs the export there.
    QJsonObject ExportSharedProject() {
        const fs::path project = fs::path(KANVIO_TEST_MEDIA_DIR) / "isybau-project";
        EXPECT_TRUE(fs::exists(project / "Kanvio.ini")) << project;
        folder_ = env.root() / "delivery";
        fs::copy(project, folder_, fs::copy_options::recursive);
        fs::copy_file(KANVIO_PROGRAM_FILE, folder_ / "kanvio");
        fs::permissions(folder_ / "kanvio", fs::perms::owner_exec, fs::perm_options::add);

        QProcess program;
        program.setWorkingDirectory(QString::fromStdString(folder_.string()));
        program.start(QString::fromStdString((folder_ / "kanvio").string()),
                      {"--export-json", "export.json"});
        EXPECT_TRUE(program.waitForFinished(120000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();

        QFile file(QString::fromStdString((folder_ / "export.json").string()));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
        return document.object();
    }

    fs::path folder_;
};

void ExpectStructures(const std::vector<TGeneratedInspection>& inspections,
                      const QJsonArray& exported, char objectType) {
    qsizetype index = 0;
    for (const TGeneratedInspection& inspection : inspections) {
        const QString date = QLocale().toString(
            QDate(inspection.Year, inspection.Month, inspection.Day), QLocale::ShortFormat);
        for (const TGeneratedStructure& item : inspection.Items) {
            ASSERT_LT(index, exported.size());
            const QJsonObject s = exported[index++].toObject();
            SCOPED_TRACE(item.Number);
            EXPECT_EQ(s["ObjectType"].toString(), QString(QChar(objectType)));
            EXPECT_EQ(s[objectType == 'H' ? "ReachNumber" : "ConnectionNumber"].toString(),
                      FromWindows1252(item.Number));
            EXPECT_EQ(s["street"].toString(), FromWindows1252(item.Street));
            EXPECT_EQ(s["city"].toString(), FromWindows1252(inspection.City));
            EXPECT_EQ(s["InspectingCompany"].toString(), FromWindows1252(inspection.Company));
            EXPECT_EQ(s["date"].toString(), date);
            // What ISYBAU files do not carry stays empty: no structure key, no manholes
            // (the generator writes them into the files; the model does not take them).
            for (const char* empty : {"ID", "StartManholeNumber", "EndManholeNumber", "video",
                                      "InspMode", "CodeDigit", "ZIP"})
                EXPECT_EQ(s[empty].toString("missing"), QString()) << empty;
            EXPECT_EQ(s["direction"].toBool(true), false);
            EXPECT_EQ(s["InspLength"].toDouble(-1), 0.0);

            const QJsonArray details = s["Details"].toArray();
            ASSERT_EQ(details.size(), static_cast<qsizetype>(item.Observations.size()));
            for (size_t i = 0; i < item.Observations.size(); ++i) {
                const TGeneratedObservation& written = item.Observations[i];
                const QJsonObject d = details[static_cast<qsizetype>(i)].toObject();
                SCOPED_TRACE(i);
                EXPECT_EQ(d["Distance"].toDouble(), written.StationHundredths);
                EXPECT_EQ(d["Text"].toString(),
                          FromWindows1252("(" + written.Code + ") " + written.Remark));
                EXPECT_EQ(d["VideoTime"].toString(), ClockText(written.TimelineSeconds));
                EXPECT_EQ(d["CounterHours"].toInt(-1), written.CounterHours);
                EXPECT_EQ(d["CounterMinutes"].toInt(-1), written.CounterMinutes);
                EXPECT_EQ(d["CounterSeconds"].toInt(-1), written.CounterSeconds);
                // Neither a code of its own nor a class: the ISYBAU model leaves them empty.
                EXPECT_EQ(d["Code"].toString(), QString());
                EXPECT_EQ(d["DefectClass"].toInt(-1), 0);
            }
        }
    }
    EXPECT_EQ(index, exported.size());
}

TEST_F(ExportJsonProgramTest, DocumentHoldsWhatTheGeneratorDelivered) {
    const TGeneratedProject input = GenerateProject(SharedTestProjectOptions());
    const QJsonObject document = ExportSharedProject();
    ASSERT_FALSE(HasFailure());
    EXPECT_EQ(document.keys(), (QStringList{"connections", "films", "reaches"}));

    ExpectStructures(input.ReachInspections, document["reaches"].toArray(), 'H');
    ExpectStructures(input.ConnectionInspections, document["connections"].toArray(), 'A');

    // One film part per structure, reaches first, each linked to its structure.
    const auto structures = input.StructuresInTimelineOrder();
    const QJsonArray films = document["films"].toArray();
    ASSERT_EQ(films.size(), static_cast<qsizetype>(structures.size()));
    int reachIndex = 0;
    int connectionIndex = 0;
    for (size_t i = 0; i < structures.size(); ++i) {
        const TGeneratedStructure& structure = *structures[i];
        const QJsonObject film = films[static_cast<qsizetype>(i)].toObject();
        SCOPED_TRACE(structure.Number);
        ASSERT_GE(structure.FilmIndex, 0);
        const fs::path expectedFile =
            folder_ / input.Films[static_cast<size_t>(structure.FilmIndex)].FileName;
        // The name as found: the settings file's own, relative to the delivery.
        const fs::path found = folder_ / film["FileName"].toString().toStdString();
        EXPECT_EQ(fs::weakly_canonical(found), fs::weakly_canonical(expectedFile));
        EXPECT_EQ(film["StartTime"].toInteger(-1), structure.StartTime);
        EXPECT_EQ(film["StopTime"].toInteger(-1), structure.StopTime);
        EXPECT_EQ(film["StartText"].toString(), ClockText(structure.StartTime));
        EXPECT_EQ(film["StopText"].toString(), ClockText(structure.StopTime));
        EXPECT_EQ(film["StructureType"].toString(), QString(QChar(structure.ObjectType)));
        EXPECT_EQ(film["TimeCorrections"].toArray().size(), 0);

        const QJsonObject link = film["Structure"].toObject();
        EXPECT_EQ(link["ObjectType"].toString(), QString(QChar(structure.ObjectType)));
        const int expectedIndex = structure.ObjectType == 'H' ? reachIndex++ : connectionIndex++;
        EXPECT_EQ(link["Index"].toInt(-1), expectedIndex);
    }
}

// A delivery whose reach file ends in damaged bytes: the export stops with the file and
// the line on standard error and leaves no half document behind.
TEST_F(ExportJsonProgramTest, DamagedReachFileFailsNamingFileAndLine) {
    const fs::path project = fs::path(KANVIO_TEST_MEDIA_DIR) / "isybau-project";
    folder_ = env.root() / "damaged";
    fs::create_directories(folder_);
    for (const char* name : {"Kanvio.ini", "Haltungen.txt", "Anschluesse.txt"})
        fs::copy_file(project / name, folder_ / name);
    fs::copy_file(KANVIO_PROGRAM_FILE, folder_ / "kanvio");
    std::string reaches = test::ReadFile(folder_ / "Haltungen.txt");
    const auto lines = std::count(reaches.begin(), reaches.end(), '\n');
    reaches += std::string("\x00\xFF\xFE\x80\r\n", 6);
    test::WriteFile(folder_ / "Haltungen.txt", reaches);

    QProcess program;
    program.setWorkingDirectory(QString::fromStdString(folder_.string()));
    program.start(QString::fromStdString((folder_ / "kanvio").string()),
                  {"--export-json", "export.json"});
    ASSERT_TRUE(program.waitForFinished(120000));
    EXPECT_NE(program.exitCode(), 0);
    const std::string error = program.readAllStandardError().toStdString();
    EXPECT_NE(error.find("Haltungen.txt, line " + std::to_string(lines + 1) + ": Invalid data"),
              std::string::npos)
        << error;
    EXPECT_FALSE(fs::exists(folder_ / "export.json"));
}

// Empty lines and a DOS end-of-file mark after the last record are no data; a last line that
// stops inside a field without a line end is read and reported on standard error.
TEST_F(ExportJsonProgramTest, FileEndsAreReadAndACutLastLineIsReported) {
    const fs::path project = fs::path(KANVIO_TEST_MEDIA_DIR) / "isybau-project";
    folder_ = env.root() / "file-ends";
    fs::create_directories(folder_);
    for (const char* name : {"Kanvio.ini", "Haltungen.txt", "Anschluesse.txt"})
        fs::copy_file(project / name, folder_ / name);
    fs::copy_file(KANVIO_PROGRAM_FILE, folder_ / "kanvio");
    test::WriteFile(folder_ / "Haltungen.txt",
                    test::ReadFile(folder_ / "Haltungen.txt") + "\r\n\r\n\x1A");
    std::string connections = test::ReadFile(folder_ / "Anschluesse.txt");
    const auto lines = std::count(connections.begin(), connections.end(), '\n');
    connections += "   1 01.02.2004 Bonn"; // the city field runs to column 44
    test::WriteFile(folder_ / "Anschluesse.txt", connections);

    QProcess program;
    program.setWorkingDirectory(QString::fromStdString(folder_.string()));
    program.start(QString::fromStdString((folder_ / "kanvio").string()), {"--summary"});
    ASSERT_TRUE(program.waitForFinished(120000));
    const std::string error = program.readAllStandardError().toStdString();
    EXPECT_EQ(program.exitCode(), 0) << error;
    EXPECT_NE(error.find("Anschluesse.txt, line " + std::to_string(lines + 1) + ": "),
              std::string::npos)
        << error;
    const std::string summary = program.readAllStandardOutput().toStdString();
    EXPECT_NE(summary.find("Reaches: 3\n"), std::string::npos) << summary;
    EXPECT_NE(summary.find("Connections: 4\n"), std::string::npos) << summary;
}

// The summary of a database delivery: every film part linked to its structure and found
// by that structure's film search. The settings file of the ISYBAU files beside it links
// the parts by time only, which the database's structures cannot play: the summary says so.
TEST_F(ExportJsonProgramTest, SummaryOfADatabaseDeliveryShowsWhichPartsPlay) {
    const TGeneratedProject input = GenerateProject(SharedTestProjectOptions());
    folder_ = env.root() / "database";
    fs::create_directories(folder_ / "tmp");
    WriteIsybauProject(input, folder_.string());
    WriteProjectDatabase(input, folder_.string());
    fs::copy_file(KANVIO_PROGRAM_FILE, folder_ / "kanvio");

    auto summary = [this] {
        QProcess program;
        program.setWorkingDirectory(QString::fromStdString(folder_.string()));
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TMPDIR", QString::fromStdString((folder_ / "tmp").string()));
        program.setProcessEnvironment(environment);
        program.start(QString::fromStdString((folder_ / "kanvio").string()), {"--summary"});
        EXPECT_TRUE(program.waitForFinished(120000));
        EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
        return QString::fromUtf8(program.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    };
    const auto structures = input.StructuresInTimelineOrder();
    auto filmLines = [&](const QStringList& lines) {
        QStringList films;
        for (const QString& line : lines) {
            if (line.startsWith("  ")) {
                films.push_back(line);
            }
        }
        EXPECT_EQ(films.size(), static_cast<qsizetype>(structures.size()))
            << lines.join('\n').toStdString();
        return films;
    };

    const QStringList played = filmLines(summary());
    for (qsizetype i = 0; i < played.size(); ++i) {
        EXPECT_TRUE(played[i].contains(FromWindows1252(structures[static_cast<size_t>(i)]->Number)))
            << played[i].toStdString();
        EXPECT_FALSE(played[i].contains("not played")) << played[i].toStdString();
    }

    test::WriteFile(folder_ / "Kanvio.ini", FormatKanvioIni(input, TDelivery::Isybau));
    for (const QString& line : filmLines(summary())) {
        EXPECT_TRUE(line.contains("not played")) << line.toStdString();
    }
}

} // namespace
} // namespace kanvio
