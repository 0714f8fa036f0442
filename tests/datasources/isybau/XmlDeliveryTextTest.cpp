// The text layer of XML deliveries: declared encodings, Windows-1252 conversion with '?'
// and its count, time codes, numbers and code texts.

#include "datasources/CodeTexts.h"
#include "datasources/IsybauXmlElements.h"
#include "datasources/IsybauXmlReader.h"
#include "foundation/Errors.h"
#include "tests/support/IsolatedEnvironment.h"

#include <fstream>
#include <gtest/gtest.h>

namespace kanvio {
namespace {

using namespace xmldelivery;

TEST(XmlDeliveryTextTest, Utf8ToWindows1252) {
    struct Case {
        std::string utf8;
        std::string ansi;
        size_t replaced;
    };
    const Case cases[] = {
        {"Stra\xC3\x9F"
         "e",
         "Stra\xDF"
         "e",
         0},
        {"\xE2\x82\xAC 5 \xE2\x80\x93 \xE2\x80\x9Eok\xE2\x80\x9C", "\x80 5 \x96 \x84ok\x93", 0},
        {"\xE5\x8C\x97\xE4\xBA\xAC", "??", 2}, // outside Windows-1252
        {"\xF0\x9F\x98\x80!", "?!", 1},        // four bytes
        {"a\xC3", "a?", 1},                    // broken off
        {"\xC2\x81", "?", 1},                  // C1 control: unassigned
        {"\x80\xBF", "??", 2},                 // lone continuation bytes
        {"", "", 0},
    };
    for (const Case& c : cases) {
        size_t replaced = 0;
        EXPECT_EQ(Utf8ToWindows1252(c.utf8, replaced), c.ansi) << c.utf8;
        EXPECT_EQ(replaced, c.replaced) << c.utf8;
    }
}

TEST(XmlDeliveryTextTest, EveryWindows1252ByteRoundTrips) {
    std::string all;
    for (int byte = 1; byte < 256; ++byte)
        if (byte != 0x81 && byte != 0x8D && byte != 0x8F && byte != 0x90 && byte != 0x9D)
            all.push_back(static_cast<char>(byte));
    size_t replaced = 0;
    EXPECT_EQ(Utf8ToWindows1252(Windows1252ToUtf8(all), replaced), all);
    EXPECT_EQ(replaced, 0u);
}

TEST(XmlDeliveryTextTest, DeclaredEncodings) {
    struct Case {
        std::string prolog;
        TTextEncoding encoding;
    };
    const Case cases[] = {
        {"<Identifikation/>", TTextEncoding::Utf8},
        {"<?xml version=\"1.0\"?>", TTextEncoding::Utf8},
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>", TTextEncoding::Utf8},
        {"\xEF\xBB\xBF<?xml version='1.0' encoding='utf-8'?>", TTextEncoding::Utf8},
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", TTextEncoding::Windows1252},
        {"<?xml version=\"1.0\" encoding=\"windows-1252\"?>", TTextEncoding::Windows1252},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DeclaredEncoding(c.prolog, "f.xml"), c.encoding) << c.prolog;
    EXPECT_THROW(DeclaredEncoding("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>", "f.xml"),
                 EConvertError);
}

TEST(XmlDeliveryTextTest, Timecodes) {
    struct Case {
        const char* text;
        double fps;
        std::optional<double> seconds;
    };
    const Case cases[] = {
        {"00:00:00", 25, 0.0},
        {"01:02:03", 25, 3723.0},
        {"00:00:01:12", 25, 1.48},
        {"00:00:01.5", 25, 1.5},
        {"120:00:00", 25, 432000.0},
        {"00:00:01:25", 25, std::nullopt},
        {"00:60:00", 25, {}},
        {"00:00:60", 25, {}},
        {"00:00", 25, {}},
        {"", 25, {}},
        {"aa:bb:cc", 25, {}},
        {"-1:00:00", 25, {}},
        {"00:00:00:00:00", 25, {}},
        {"00:00:+5", 25, {}},
        {"99999999999:00:00", 25, {}},
    };
    for (const Case& c : cases) {
        const auto seconds = TimecodeOf(c.text, c.fps);
        ASSERT_EQ(seconds.has_value(), c.seconds.has_value()) << c.text;
        if (seconds) {
            EXPECT_NEAR(*seconds, *c.seconds, 1e-9) << c.text;
        }
    }
}

TEST(XmlDeliveryTextTest, Decimals) {
    EXPECT_EQ(DecimalOf("12.5"), 12.5);
    EXPECT_EQ(DecimalOf("12,5"), 12.5);
    EXPECT_EQ(DecimalOf("+3"), 3.0);
    EXPECT_EQ(DecimalOf(""), std::nullopt);
    EXPECT_EQ(DecimalOf("1.2.3"), std::nullopt);
    EXPECT_EQ(DecimalOf("nan"), std::nullopt);
    EXPECT_EQ(DecimalOf(std::string(100, '1')), std::nullopt);
}

TEST(XmlDeliveryTextTest, LinesOfOffsets) {
    const std::string text = "a\nbc\n\nd";
    const TLineTable lines(text);
    EXPECT_EQ(lines.LineOf(0), 1);
    EXPECT_EQ(lines.LineOf(1), 1);
    EXPECT_EQ(lines.LineOf(2), 2);
    EXPECT_EQ(lines.LineOf(5), 3);
    EXPECT_EQ(lines.LineOf(6), 4);
    EXPECT_EQ(lines.LineOf(-1), 1);
    EXPECT_EQ(lines.LineOf(1000), 4);
}

TEST(XmlDeliveryTextTest, CodeTextsByLanguageAndBeginning) {
    const TCodeTexts texts = TCodeTexts::Parse("# comment\r\nBAB\tRiss\tCrack\r\n"
                                               "BABA\tHaarriss\tHairline crack\r\n"
                                               "BDD\tWasserspiegel\r\n\r\nbroken line\n");
    EXPECT_EQ(texts.Size(), 3u);
    EXPECT_EQ(texts.Find("BAB", "de"), "Riss");
    EXPECT_EQ(texts.Find("BABAC", "de"), "Haarriss");
    EXPECT_EQ(texts.Find("BABBA", "en"), "Crack");
    EXPECT_EQ(texts.Find("BDDA", "en"), "Wasserspiegel"); // no English text: the German one
    EXPECT_EQ(texts.Find("BA", "de"), "");
    EXPECT_EQ(texts.Find("XYZ", "de"), "");
}

TEST(XmlDeliveryTextTest, TheProgramsCodeTextsHoldTheMainCodes) {
    const TCodeTexts texts = TCodeTexts::Load(KANVIO_MEDIUM_SOURCE_DIR "/kanvio_codes.txt");
    for (const char* code :
         {"BAA", "BAB", "BAC", "BAJ", "BBA", "BBB", "BBC", "BBF", "BCA", "BCD", "BCE", "BDD"}) {
        EXPECT_FALSE(texts.Find(code, "de").empty()) << code;
        EXPECT_FALSE(texts.Find(code, "en").empty()) << code;
    }
    EXPECT_EQ(texts.Find("BBA", "de"), "Wurzeln");
    EXPECT_EQ(texts.Find("BAFAE", "en"), "Surface damage");
}

class XmlDeliveryEncodingTest : public test::IsolatedTest {};

// The same delivery in each declared encoding gives the same Windows-1252 texts; what
// Windows-1252 cannot hold turns into '?', counted once for the file.
TEST_F(XmlDeliveryEncodingTest, DeclaredEncodingsGiveTheSameModel) {
    const std::string body =
        "<Identifikation><Version>2013-02</Version><Datenkollektive><Zustandsdatenkollektiv>"
        "<InspizierteAbwassertechnischeAnlage><Objektbezeichnung>H1</Objektbezeichnung>"
        "<Anlagentyp>1</Anlagentyp><Lage><Strassenname>%STREET%</Strassenname></Lage>"
        "<OptischeInspektion><Inspektionsdatum>2013-02-01</Inspektionsdatum><Rohrleitung>"
        "<Inspektionsdaten><RZustand><Station>1.5</Station><InspektionsKode>BDB"
        "</InspektionsKode><Kommentar>%REMARK%</Kommentar></RZustand></Inspektionsdaten>"
        "</Rohrleitung></OptischeInspektion></InspizierteAbwassertechnischeAnlage>"
        "</Zustandsdatenkollektiv></Datenkollektive></Identifikation>";
    auto with = [&body](const std::string& prolog, const std::string& street,
                        const std::string& remark) {
        std::string xml = prolog + body;
        xml.replace(xml.find("%STREET%"), 8, street);
        xml.replace(xml.find("%REMARK%"), 8, remark);
        return xml;
    };
    struct Case {
        std::string xml;
        size_t replaced;
    };
    const Case cases[] = {
        {with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
              "M\xC3\xBChlenstra\xC3\x9F"
              "e",
              "Ri\xC3\x9F \xE2\x82\xAC"),
         0},
        {with("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>",
              "M\xFChlenstra\xDF"
              "e",
              "Ri\xDF \x80"),
         0},
        {with("<?xml version=\"1.0\" encoding=\"windows-1252\"?>",
              "M&#252;hlenstra\xDF"
              "e",
              "Ri&#223; &#8364;"),
         0},
        {with("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
              "M\xC3\xBChlenstra\xC3\x9F"
              "e",
              "Ri\xC3\x9F \xE2\x82\xAC"),
         0},
        {with("",
              "M\xC3\xBChlenstra\xC3\x9F"
              "e",
              "Ri\xC3\x9F \xE2\x82\xAC \xE5\x8C\x97"),
         1},
    };
    for (const Case& c : cases) {
        TKanvioDataModel model;
        ReadIsybauXml(c.xml, "enc.xml", model, {});
        ASSERT_EQ(model.Reaches.size(), 1u);
        EXPECT_EQ(model.Reaches[0]->street, "M\xFChlenstra\xDF"
                                            "e");
        const std::string expected = c.replaced ? "(BDB) Ri\xDF \x80 ?" : "(BDB) Ri\xDF \x80";
        EXPECT_EQ(model.Reaches[0]->Details.at(0).Text, expected);
        EXPECT_EQ(model.Warnings.size(), c.replaced ? 1u : 0u);
        if (c.replaced) {
            EXPECT_EQ(model.Warnings[0],
                      "enc.xml: 1 characters outside Windows-1252 are shown as '?'");
        }
    }
}

TEST_F(XmlDeliveryEncodingTest, RecognisesDeliveriesByRootAndCondition) {
    struct Case {
        const char* name;
        std::string content;
        bool isDelivery;
    };
    const std::string padding(3 << 20, ' ');
    const Case cases[] = {
        {"plain",
         "<?xml version=\"1.0\"?>\n<Identifikation><Zustandsdatenkollektiv/></Identifikation>",
         true},
        {"prefixed",
         "<!-- x --><i:Identifikation xmlns:i=\"u\"><i:Zustandsdatenkollektiv/></i:Identifikation>",
         true},
        {"far down", "<Identifikation>" + padding + "<Zustandsdatenkollektiv/></Identifikation>",
         true},
        {"master data only", "<Identifikation><Stammdatenkollektiv/></Identifikation>", false},
        {"time-code file",
         "<?xml version=\"1.0\"?><Zeitreferenzen><Zustandsdatenkollektiv/></Zeitreferenzen>",
         false},
        {"empty", "", false},
    };
    for (const Case& c : cases) {
        const std::string file = (env.root() / "probe.xml").string();
        std::ofstream(file, std::ios::binary | std::ios::trunc) << c.content;
        EXPECT_EQ(IsIsybauXmlFile(file), c.isDelivery) << c.name;
    }
    EXPECT_FALSE(IsIsybauXmlFile((env.root() / "missing.xml").string()));
}

} // namespace
} // namespace kanvio
