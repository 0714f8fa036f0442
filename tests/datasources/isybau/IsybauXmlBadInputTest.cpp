// Damaged ISYBAU XML deliveries: every message names the file, the line and the element,
// and whatever is still valid is read.

#include "datasources/IsybauXmlReader.h"
#include "foundation/Errors.h"
#include "tests/datasources/isybau/IsybauXmlTestSupport.h"
#include "tests/support/IsolatedEnvironment.h"
#include "tools/mkproject/IsybauXmlWriter.h"
#include "tools/mkproject/ProjectGenerator.h"

#include <gtest/gtest.h>

namespace kanvio {
namespace {

using namespace generator;

TGeneratedProject Project() {
    TGeneratorOptions options;
    options.Reaches = 3;
    options.Connections = 2;
    options.Observations = 20;
    options.Films = 2;
    return GenerateProject(options);
}

// The text with the last appearance of from replaced (last: the films follow the objects,
// and an object's order key follows the order list).
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.rfind(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

// The line (from 1) on which text first shows.
int LineOf(const std::string& xml, const std::string& text) {
    const size_t at = xml.rfind(text);
    EXPECT_NE(at, std::string::npos) << text;
    if (at == std::string::npos)
        return 0;
    return 1 + static_cast<int>(std::count(xml.begin(), xml.begin() + static_cast<long>(at), '\n'));
}

TKanvioDataModel Read(const std::string& xml) {
    return test::ReadXmlDelivery(xml, "bad.xml");
}

bool HasWarning(const TKanvioDataModel& model, const std::string& part) {
    for (const std::string& warning : model.Warnings)
        if (warning.find(part) != std::string::npos)
            return true;
    return false;
}

using test::AllWarnings;

class IsybauXmlBadInputTest : public test::IsolatedTest {
protected:
    TGeneratedProject project = Project();
    std::string xml = FormatIsybauXml(project, {});
    std::string first = project.ReachInspections.front().Items.front().Number;
};

// Damage the reader works around: the message and how many pipes stay readable.
TEST_F(IsybauXmlBadInputTest, DamageIsReportedAndTheRestIsRead) {
    struct Case {
        const char* name;
        std::string xml;
        std::string message; // "line N, <Element>: ..." part of the warning
        size_t pipes;
    };
    const std::string unknownVersion = Replaced(xml, "2017-07", "2099-01");
    const std::string missingOrder = Replaced(xml, "<Auftragskennung>1</Auftragskennung>",
                                              "<Auftragskennung>77</Auftragskennung>");
    const std::string missingObject =
        Replaced(xml, "<Objektbezeichnung>" + first + "</Objektbezeichnung>",
                 "<Objektbezeichnung>H-gibt-es-nicht</Objektbezeichnung>");
    const std::string noFrames = Replaced(xml, "<Ende>99</Ende>", "");
    const std::string badTimecode =
        Replaced(xml, "<Timecode>00:00:01</Timecode>", "<Timecode>00:99:01</Timecode>");
    const std::string badFrameRate = Replaced(xml, "<fps>25</fps>", "<fps>0</fps>");
    const std::string connection = project.ConnectionInspections.front().Items.front().Number;
    const std::string truncated = xml.substr(0, xml.find("<RZustand>", xml.find(connection)) + 10);
    const Case cases[] = {
        {"unknown version", unknownVersion, "line 3, <Version>: the version \"2099-01\"", 5},
        {"missing order", missingOrder,
         "line " + std::to_string(LineOf(missingOrder, "<Auftragskennung>77")) +
             ", <Auftragskennung>: the order \"77\"",
         5},
        {"film of a missing object", missingObject,
         "line " + std::to_string(LineOf(missingObject, "<Objektbezeichnung>H-gibt-es-nicht") - 1) +
             ", <FilmObjekt>: the film names the object \"H-gibt-es-nicht\"",
         5},
        {"film without frame range", noFrames,
         "line " + std::to_string(LineOf(noFrames, "<Film>")) +
             ", <Film>: the film \"film01.mpg\" has no name or no frame range",
         5},
        {"time code out of range", badTimecode,
         "line " + std::to_string(LineOf(badTimecode, "<Timecode>00:99:01")) +
             ", <Timecode>: \"00:99:01\" is no time code",
         5},
        {"frame rate zero", badFrameRate,
         "line " + std::to_string(LineOf(badFrameRate, "<fps>0") - 1) +
             ", <Frame>: the frame rate \"0\" is no frame rate",
         5},
        {"broken off", truncated,
         "line " + std::to_string(LineOf(truncated, "<RZustand>")) +
             ", <RZustand>: the XML is damaged",
         4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TKanvioDataModel model = Read(c.xml);
        EXPECT_TRUE(HasWarning(model, "bad.xml, " + c.message)) << AllWarnings(model);
        EXPECT_EQ(model.Reaches.size() + model.Connections.size(), c.pipes);
    }
}

TEST_F(IsybauXmlBadInputTest, TheDuplicateIsTheSecondOneAndNamesItsLine) {
    const size_t objectStart = xml.find("  <InspizierteAbwassertechnischeAnlage>");
    const size_t objectEnd = xml.find("</InspizierteAbwassertechnischeAnlage>\r\n") + 40;
    const std::string object = xml.substr(objectStart, objectEnd - objectStart);
    const std::string twice = xml.substr(0, objectEnd) + object + xml.substr(objectEnd);
    const TKanvioDataModel model = Read(twice);
    const auto second =
        twice.begin() + static_cast<long>(twice.find("<Objektbezeichnung>", objectEnd));
    const int secondLine = 1 + static_cast<int>(std::count(twice.begin(), second, '\n'));
    EXPECT_TRUE(HasWarning(model, "bad.xml, line " + std::to_string(secondLine) +
                                      ", <Objektbezeichnung>: the object \"" + first +
                                      "\" is inspected twice"))
        << AllWarnings(model);
    EXPECT_EQ(model.Reaches.size(), 3u);
}

// Escapes, texts over several lines, CR LF line ends and attributes over lines before the
// damage: the line named is still the file's.
TEST_F(IsybauXmlBadInputTest, LineNumbersSurviveEscapesAndLongTexts) {
    const std::string noisy =
        "<Kommentar a=\"x\r\ny\">Riss &amp; Wurzel\r\nzweite &lt;Zeile&gt;\r\n"
        "&#228;&#x20AC;\r\n";
    std::string damaged = xml;
    damaged.replace(damaged.find("<Kommentar>"), 11, noisy); // the first, before the damage
    damaged = Replaced(damaged, "<Timecode>00:00:01</Timecode>", "<Timecode>x</Timecode>");
    const TKanvioDataModel model = Read(damaged);
    EXPECT_TRUE(HasWarning(model, "bad.xml, line " +
                                      std::to_string(LineOf(damaged, "<Timecode>x")) +
                                      ", <Timecode>: \"x\" is no time code"))
        << AllWarnings(model);
}

// Input that is no ISYBAU condition delivery at all: an error naming the file.
TEST_F(IsybauXmlBadInputTest, NoDeliveryIsAnError) {
    struct Case {
        const char* name;
        std::string xml;
        std::string message;
    };
    const Case cases[] = {
        {"other root", "<?xml version=\"1.0\"?>\n<Zeitreferenzen/>", "not <Identifikation>"},
        {"empty file", "", "not <Identifikation>"},
        {"no condition data",
         "<Identifikation><Version>2017-07</Version><Datenkollektive><Stammdatenkollektiv/>"
         "</Datenkollektive></Identifikation>",
         "line 1, <Identifikation>: the delivery holds no <Zustandsdatenkollektiv>"},
        {"UTF-16 declared", "<?xml version=\"1.0\" encoding=\"UTF-16\"?><Identifikation/>",
         "the encoding \"utf-16\" is none of"},
        {"garbage", std::string("\0\x01\xFF<<>>&&", 10), "not <Identifikation>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TKanvioDataModel model;
        try {
            ReadIsybauXml(c.xml, "bad.xml", model, {});
            ADD_FAILURE() << "no error";
        } catch (const EConvertError& error) {
            EXPECT_NE(std::string(error.what()).find("bad.xml"), std::string::npos) << error.what();
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
        }
    }
}

} // namespace
} // namespace kanvio
