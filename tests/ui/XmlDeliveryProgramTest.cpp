// The real program run with "--export-json" and "--summary" in generated ISYBAU XML
// deliveries: the structures, the films laid end to end, the film list of the settings file
// taking precedence, and damaged files that still open.

#include "tests/support/IsolatedEnvironment.h"
#include "tools/mkproject/IsybauXmlWriter.h"
#include "tools/mkproject/ProjectGenerator.h"

#include <QDate>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QProcess>
#include <filesystem>
#include <gtest/gtest.h>

namespace kanvio {
namespace {

using namespace generator;
namespace fs = std::filesystem;

struct TRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class XmlDeliveryProgramTest : public test::IsolatedTest {
protected:
    XmlDeliveryProgramTest() { project_ = GenerateProject(SharedTestProjectOptions()); }

    // A delivery folder with the program in it, the XML written with the given options.
    void Deliver(const TXmlDeliveryOptions& options,
                 const std::string& xmlName = "Inspektion.xml") {
        folder_ = env.root() / "delivery";
        WriteIsybauXmlProject(project_, folder_.string(), options, xmlName);
        fs::copy_file(KANVIO_PROGRAM_FILE, folder_ / "kanvio",
                      fs::copy_options::overwrite_existing);
    }

    TRun Run(const QStringList& arguments) {
        QProcess program;
        program.setWorkingDirectory(QString::fromStdString(folder_.string()));
        program.start(QString::fromStdString((folder_ / "kanvio").string()), arguments);
        TRun run;
        EXPECT_TRUE(program.waitForFinished(120000));
        run.exitCode = program.exitCode();
        run.out = program.readAllStandardOutput().toStdString();
        run.err = program.readAllStandardError().toStdString();
        return run;
    }

    QJsonObject Export() {
        const TRun run = Run({"--export-json", "export.json"});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        QFile file(QString::fromStdString((folder_ / "export.json").string()));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return QJsonDocument::fromJson(file.readAll()).object();
    }

    void AppendToSettings(const std::string& text) {
        std::string ini = test::ReadFile(folder_ / "Kanvio.ini");
        test::WriteFile(folder_ / "Kanvio.ini", ini + text);
    }

    TGeneratedProject project_;
    fs::path folder_;
};

QString ClockText(int64_t seconds) {
    return QString::asprintf("%02d:%02d:%02d", static_cast<int>(seconds / 3600),
                             static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
}

TEST_F(XmlDeliveryProgramTest, ExportHoldsTheStructuresAndTheFilmsEndToEnd) {
    TXmlDeliveryOptions options;
    options.Version = TXmlVersion::V2013_02;
    options.FilmPath = "Filme";
    options.Position = TXmlVideoPosition::Frame;
    Deliver(options);
    fs::create_directories(folder_ / "filme");
    for (const auto& film : project_.Films)
        test::WriteFile(folder_ / "filme" / film.FileName, "x");
    AppendToSettings("[TIMECORR_2]\r\n00:00:05=3\r\n");
    const QJsonObject document = Export();

    const auto structures = project_.StructuresInTimelineOrder();
    const QJsonArray reaches = document["reaches"].toArray();
    const QJsonArray connections = document["connections"].toArray();
    ASSERT_EQ(static_cast<size_t>(reaches.size() + connections.size()), structures.size());
    for (size_t s = 0; s < structures.size(); ++s) {
        const TGeneratedStructure& item = *structures[s];
        SCOPED_TRACE(item.Number);
        const QJsonObject read =
            s < static_cast<size_t>(reaches.size())
                ? reaches[static_cast<qsizetype>(s)].toObject()
                : connections[static_cast<qsizetype>(s) - reaches.size()].toObject();
        EXPECT_EQ(read["ID"].toString().toStdString(), item.Number);
        const QJsonArray details = read["Details"].toArray();
        ASSERT_EQ(static_cast<size_t>(details.size()), item.Observations.size());
        for (size_t i = 0; i < item.Observations.size(); ++i) {
            const QJsonObject d = details[static_cast<qsizetype>(i)].toObject();
            EXPECT_NEAR(d["Distance"].toDouble() * 100, item.Observations[i].StationHundredths,
                        1e-6);
            EXPECT_EQ(d["VideoTime"].toString(), ClockText(item.Observations[i].TimelineSeconds));
            EXPECT_EQ(d["DefectClass"].toInt(-1), item.Observations[i].DefectClass);
        }
    }
    const QJsonArray films = document["films"].toArray();
    ASSERT_EQ(static_cast<size_t>(films.size()), structures.size());
    for (size_t k = 0; k < structures.size(); ++k) {
        const QJsonObject film = films[static_cast<qsizetype>(k)].toObject();
        EXPECT_EQ(film["StartTime"].toInteger(-1), structures[k]->StartTime);
        EXPECT_EQ(film["StopTime"].toInteger(-1), structures[k]->StopTime);
        EXPECT_EQ(film["StructureType"].toString(), QString(QChar(structures[k]->ObjectType)));
        EXPECT_FALSE(film["Structure"].toObject().isEmpty());
        // Found where the delivery puts it, whatever the letter case of the folder.
        const fs::path expected =
            folder_ / "filme" /
            project_.Films[static_cast<size_t>(structures[k]->FilmIndex)].FileName;
        EXPECT_EQ(fs::weakly_canonical(folder_ / film["FileName"].toString().toStdString()),
                  fs::weakly_canonical(expected));
        // The time corrections of the settings file belong to the film of that number.
        EXPECT_EQ(film["TimeCorrections"].toArray().size(), k == 1 ? 1 : 0);
    }
}

TEST_F(XmlDeliveryProgramTest, SummaryCountsManholeInspections) {
    TXmlDeliveryOptions options;
    options.ManholeInspections = 3;
    Deliver(options);
    const TRun run = Run({"--summary"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Reaches: 3\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Connections: 4\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Observations: 30\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Manhole inspections: 3\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Films: 7\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("(no structure)"), std::string::npos) << run.out;
}

TEST_F(XmlDeliveryProgramTest, TheSettingsFilmListTakesPrecedence) {
    Deliver({});
    AppendToSettings("[FILME]\r\nCount=1\r\n1=film01.mpg;00:00:00;00:00:30;30;H;\r\n");
    const QJsonObject document = Export();
    EXPECT_EQ(document["films"].toArray().size(), 1);
    EXPECT_EQ(document["films"].toArray()[0].toObject()["StopTime"].toInteger(), 30);
}

// No Projekt entry: the folder's only ISYBAU XML file is the delivery; a damaged one opens
// with what comes before the damage, and says where it is.
TEST_F(XmlDeliveryProgramTest, FoundWithoutSettingsEntryAndOpenedDespiteDamage) {
    Deliver({}, "Lieferung.xml");
    std::string ini = test::ReadFile(folder_ / "Kanvio.ini");
    ini.erase(ini.find("Projekt="),
              ini.find("\r\n", ini.find("Projekt=")) + 2 - ini.find("Projekt="));
    test::WriteFile(folder_ / "Kanvio.ini", ini);
    std::string xml = test::ReadFile(folder_ / "Lieferung.xml");
    const std::string lastConnection = project_.ConnectionInspections.back().Items.back().Number;
    const size_t cut = xml.find("<Station>", xml.find(lastConnection));
    const auto line = 1 + std::count(xml.begin(), xml.begin() + static_cast<long>(cut), '\n');
    test::WriteFile(folder_ / "Lieferung.xml", xml.substr(0, cut + 12));

    const TRun run = Run({"--summary"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Reaches: 3\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Connections: 4\n"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("Lieferung.xml, line " + std::to_string(line) + ", <Station>"),
              std::string::npos)
        << run.err;
}

} // namespace
} // namespace kanvio
