// The ZF time-code file: where a new Offset entry goes, what is written back, and the
// files that must stay untouched.

#include "datasources/IsybauZFParser.h"

#include "foundation/Errors.h"
#include "foundation/Logging.h"
#include "foundation/UserDialogs.h"
#include "tests/support/IsolatedEnvironment.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace kanvio {
namespace {

// A film element with its leading child and offsets at the given frame numbers, in the
// layout the deliveries use (CR LF, two blanks a level, Windows-1252 bytes).
std::string Offset(int tc, int mpeg, const std::string& indent = "      ") {
    return indent + "<Offset>\r\n" + indent + "  <TcFrameNr>" + std::to_string(tc) +
           "</TcFrameNr>\r\n" + indent + "  <MPEGFrameNr>" + std::to_string(mpeg) +
           "</MPEGFrameNr>\r\n" + indent + "</Offset>\r\n";
}

std::string ZFFile(const std::string& filmChildren) {
    return "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n"
           "<Zeitreferenzen>\r\n"
           "  <!-- Gro\xDF"
           "e Stra\xDF"
           "e -->\r\n"
           "  <Film Filmname=\"film01.mpg\">\r\n"
           "    <Filmbeginn>falsch</Filmbeginn>\r\n"
           "  </Film>\r\n"
           "  <Untersuchung Ort=\"D\xFCsseldorf\">\r\n"
           "    <Film Filmname=\"other.mpg\">\r\n"
           "      <Filmbeginn>00:00:00</Filmbeginn>\r\n"
           "    </Film>\r\n"
           "    <Film Filmname=\"film01.mpg\">\r\n"
           "      <Filmbeginn>00:00:04</Filmbeginn>\r\n" +
           filmChildren +
           "    </Film>\r\n"
           "    <Film Filmname=\"film01.mpg\">\r\n"
           "      <Filmbeginn>second</Filmbeginn>\r\n"
           "    </Film>\r\n"
           "  </Untersuchung>\r\n"
           "</Zeitreferenzen>\r\n";
}

class IsybauZFParserTest : public test::IsolatedTest {
protected:
    std::string WriteZF(const std::string& bytes) {
        return test::WriteFile(env.programFolder() / "Zeitcodes.xml", bytes).string();
    }
    std::string ReadZF() { return test::ReadFile(env.programFolder() / "Zeitcodes.xml"); }
};

TEST_F(IsybauZFParserTest, OffsetsGoToTheirSortedPlace) {
    struct Case {
        const char* name;
        std::string before;
        int tc;
        std::string after;
    };
    const Case cases[] = {
        {"between", Offset(100, 101) + Offset(300, 301), 200,
         Offset(100, 101) + Offset(200, 7) + Offset(300, 301)},
        {"before an equal one", Offset(100, 101) + Offset(300, 301), 300,
         Offset(100, 101) + Offset(300, 7) + Offset(300, 301)},
        {"at the end", Offset(100, 101) + Offset(300, 301), 400,
         Offset(100, 101) + Offset(300, 301) + Offset(400, 7)},
        {"first of all", Offset(100, 101), 50, Offset(50, 7) + Offset(100, 101)},
        {"only the leading child", "", 10, Offset(10, 7)},
        {"before a following element", Offset(100, 101) + "      <Bemerkung/>\r\n", 200,
         Offset(100, 101) + Offset(200, 7) + "      <Bemerkung/>\r\n"},
        {"negative numbers", Offset(-5, 1), -10, Offset(-10, 7) + Offset(-5, 1)},
    };
    for (const auto& c : cases) {
        const auto file = WriteZF(ZFFile(c.before));
        TISYBAUZFParser parser;
        parser.LoadFile(file);
        ASSERT_TRUE(parser.IsLoaded()) << c.name;
        EXPECT_TRUE(parser.AddOffset("film01.mpg", c.tc, 7)) << c.name;
        EXPECT_EQ(ReadZF(), ZFFile(c.after)) << c.name;
    }
}

TEST_F(IsybauZFParserTest, RepeatedInsertsKeepTheOrder) {
    const auto file = WriteZF(ZFFile(""));
    TISYBAUZFParser parser;
    parser.LoadFile(file);
    for (const int tc : {500, 100, 300, 100})
        ASSERT_TRUE(parser.AddOffset("film01.mpg", tc, tc + 1));
    EXPECT_EQ(ReadZF(),
              ZFFile(Offset(100, 101) + Offset(100, 101) + Offset(300, 301) + Offset(500, 501)));
}

TEST_F(IsybauZFParserTest, FilesThatStayByteForByte) {
    const std::string original = ZFFile(Offset(100, 101));
    struct Case {
        const char* name;
        const char* film;
    };
    const Case cases[] = {
        {"unknown film", "nothere.mpg"},
        {"letter case differs", "FILM01.MPG"},
        {"empty name", ""},
        {"film with its folder", "films/film01.mpg"},
    };
    for (const auto& c : cases) {
        const auto file = WriteZF(original);
        const auto before = std::filesystem::last_write_time(file);
        TISYBAUZFParser parser;
        parser.LoadFile(file);
        EXPECT_FALSE(parser.AddOffset(c.film, 5, 6)) << c.name;
        EXPECT_EQ(ReadZF(), original) << c.name;
        EXPECT_EQ(std::filesystem::last_write_time(file), before) << c.name;
    }
}

TEST_F(IsybauZFParserTest, FilmOutsideAnyInspectionIsNotFound) {
    const std::string original = "<?xml version=\"1.0\"?>\n<Z>\n  <Film Filmname=\"x.mpg\">\n"
                                 "    <A/>\n  </Film>\n</Z>\n";
    const auto file = WriteZF(original);
    TISYBAUZFParser parser;
    parser.LoadFile(file);
    EXPECT_FALSE(parser.AddOffset("x.mpg", 1, 1));
    EXPECT_EQ(ReadZF(), original);
}

// A ZF file with one film, the name standing in the attribute as the file stores it.
std::string ZFWithFilm(const std::string& declaration, const std::string& storedName) {
    return declaration + "\r\n<Z>\r\n  <Untersuchung>\r\n    <Film Filmname=\"" + storedName +
           "\">\r\n      <A/>\r\n    </Film>\r\n  </Untersuchung>\r\n</Z>\r\n";
}

TEST_F(IsybauZFParserTest, FilmNamesCompareAsText) {
    const std::string utf8 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
    const std::string latin1 = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>";
    struct Case {
        const char* name;
        std::string declaration;
        std::string stored; // the Filmname attribute as it stands in the file
        std::string film;   // the film list's name, Windows-1252
        bool found;
    };
    const Case cases[] = {
        {"UTF-8 file, sharp s", utf8,
         "Stra\xC3\x9F"
         "e.mpg",
         "Stra\xDF"
         "e.mpg",
         true},
        {"UTF-8 file, umlauts", utf8, "K\xC3\xB6ln-M\xC3\xBChle.mpg", "K\xF6ln-M\xFChle.mpg", true},
        {"UTF-8 file, euro sign", utf8, "\xE2\x82\xAC.mpg", "\x80.mpg", true},
        {"UTF-8 file declared as UTF-16", "<?xml version=\"1.0\" encoding=\"UTF-16\"?>",
         "Stra\xC3\x9F"
         "e.mpg",
         "Stra\xDF"
         "e.mpg",
         true},
        {"UTF-8 file without declaration", "",
         "Stra\xC3\x9F"
         "e.mpg",
         "Stra\xDF"
         "e.mpg",
         true},
        {"UTF-8 file, bytes of the other encoding", utf8,
         "Stra\xC3\x9F"
         "e.mpg",
         "Stra\xC3\x9F"
         "e.mpg",
         false},
        {"Latin-1 file, umlauts", latin1, "K\xF6ln-M\xFChle.mpg", "K\xF6ln-M\xFChle.mpg", true},
        {"Latin-1 file read as Windows-1252", latin1, "\x80.mpg", "\x80.mpg", true},
        {"Latin-1 file, character reference", latin1, "Stra&#223;e.mpg",
         "Stra\xDF"
         "e.mpg",
         true},
        {"Latin-1 file, reference to the euro sign", latin1, "&#x20AC;.mpg", "\x80.mpg", true},
        {"UTF-8 file, entity", utf8, "a&amp;b.mpg", "a&b.mpg", true},
        {"unknown entity stays as written", utf8, "a&x;.mpg", "a&x;.mpg", true},
        {"ISO-8859-15 file", "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>", "\xA4.mpg",
         "\x80.mpg", true},
    };
    for (const auto& c : cases) {
        const std::string original = ZFWithFilm(c.declaration, c.stored);
        const auto file = WriteZF(original);
        TISYBAUZFParser parser;
        parser.LoadFile(file);
        ASSERT_TRUE(parser.IsLoaded()) << c.name;
        EXPECT_EQ(parser.AddOffset(c.film, 1, 2), c.found) << c.name;
        if (!c.found) {
            EXPECT_EQ(ReadZF(), original) << c.name;
            continue;
        }
        // The entry goes behind the leading child; every other byte stays.
        const std::string after = ReadZF();
        const std::string anchor = "<A/>\r\n";
        const size_t at = original.find(anchor) + anchor.size();
        EXPECT_EQ(after, original.substr(0, at) + Offset(1, 2) + original.substr(at)) << c.name;
    }
}

TEST_F(IsybauZFParserTest, UntouchedBytesStayAsTheyStood) {
    // What an XML library would write back differently: references, quotes, empty
    // elements, blanks inside tags, CDATA, a document type and markup after the root.
    const std::string head =
        "<?xml version='1.0' encoding='UTF-8' standalone='yes' ?>\n"
        "<!DOCTYPE Z [ <!ENTITY x \"ix\"> ]>\n"
        "<Z  a = 'q&quot;&#228;&x;' >\n"
        "  <Leer></Leer><Text>&x; &#228; &lt;&gt; \xC3\xA4 <![CDATA[<&>]]></Text>\n"
        "  <Untersuchung Ort='Gro&#223;stadt'>\n"
        "    <Film  Filmname = 'f.mpg' >\n"
        "      <Filmbeginn>&x;</Filmbeginn>\n"
        "      <Offset><TcFrameNr> 100 </TcFrameNr><MPEGFrameNr>101</MPEGFrameNr></Offset>\n";
    const std::string tail = "      <Bemerkung a=\"&amp;\"/>\n"
                             "    </Film >\n"
                             "  </Untersuchung>\n"
                             "</Z >\n"
                             "<!-- after the root -->\n";
    const auto file = WriteZF(head + tail);
    TISYBAUZFParser parser;
    parser.LoadFile(file);
    ASSERT_TRUE(parser.IsLoaded());
    ASSERT_TRUE(parser.AddOffset("f.mpg", 200, 201));
    EXPECT_EQ(ReadZF(), head +
                            "      <Offset>\n        <TcFrameNr>200</TcFrameNr>\n"
                            "        <MPEGFrameNr>201</MPEGFrameNr>\n      </Offset>\n" +
                            tail);
}

TEST_F(IsybauZFParserTest, FilmsWithoutChildren) {
    struct Case {
        const char* name;
        std::string film;
        std::string expected;
    };
    const Case cases[] = {
        {"empty element", "<Film Filmname=\"f\"/>",
         "<Film Filmname=\"f\"><Offset><TcFrameNr>1</TcFrameNr><MPEGFrameNr>2</MPEGFrameNr>"
         "</Offset></Film>"},
        {"empty element with blanks", "<Film Filmname=\"f\" />",
         "<Film Filmname=\"f\" ><Offset><TcFrameNr>1</TcFrameNr><MPEGFrameNr>2</MPEGFrameNr>"
         "</Offset></Film>"},
        {"start and end tag", "<Film Filmname=\"f\"></Film>",
         "<Film Filmname=\"f\"><Offset><TcFrameNr>1</TcFrameNr><MPEGFrameNr>2</MPEGFrameNr>"
         "</Offset></Film>"},
    };
    for (const auto& c : cases) {
        const auto file = WriteZF("<Z><Untersuchung>" + c.film + "<Film Filmname=\"g\"/>" +
                                  "</Untersuchung></Z>");
        TISYBAUZFParser parser;
        parser.LoadFile(file);
        ASSERT_TRUE(parser.AddOffset("f", 1, 2)) << c.name;
        EXPECT_EQ(ReadZF(), "<Z><Untersuchung>" + c.expected + "<Film Filmname=\"g\"/>" +
                                "</Untersuchung></Z>")
            << c.name;
    }
    // Indented: the entry gets its own line, and so does the closing tag.
    const auto file = WriteZF("<Z>\n  <Untersuchung>\n    <Film Filmname=\"f\"/>\n"
                              "  </Untersuchung>\n</Z>\n");
    TISYBAUZFParser parser;
    parser.LoadFile(file);
    ASSERT_TRUE(parser.AddOffset("f", 1, 2));
    EXPECT_EQ(ReadZF(), "<Z>\n  <Untersuchung>\n    <Film Filmname=\"f\">\n      <Offset>\n"
                        "        <TcFrameNr>1</TcFrameNr>\n        <MPEGFrameNr>2</MPEGFrameNr>\n"
                        "      </Offset>\n    </Film>\n  </Untersuchung>\n</Z>\n");
}

TEST_F(IsybauZFParserTest, Utf16FileIsWrittenInUtf16) {
    const QString text = QStringLiteral(
        "\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<Z>\r\n  <Untersuchung>\r\n"
        "    <Film Filmname=\"K\u00F6ln.mpg\">\r\n      <A>\u65E5</A>\r\n    </Film>\r\n"
        "  </Untersuchung>\r\n</Z>\r\n");
    auto utf16 = [](const QString& s) {
        return std::string(reinterpret_cast<const char*>(s.utf16()),
                           static_cast<size_t>(s.size()) * 2);
    };
    const auto file = WriteZF(utf16(text));
    TISYBAUZFParser parser;
    parser.LoadFile(file);
    ASSERT_TRUE(parser.AddOffset("K\xF6ln.mpg", 1, 2));
    QString expected = text;
    expected.insert(expected.indexOf(u"</A>") + 6, QString::fromStdString(Offset(1, 2)));
    EXPECT_EQ(ReadZF(), utf16(expected));
}

TEST_F(IsybauZFParserTest, BytesInMemoryGiveTheNewFileWithoutWritingIt) {
    const std::string original = ZFFile(Offset(100, 101));
    const auto name = (env.programFolder() / "nowhere.xml").string();
    TISYBAUZFParser parser;
    parser.Load(original, name);
    ASSERT_TRUE(parser.IsLoaded());
    EXPECT_EQ(parser.FileName(), name);
    EXPECT_EQ(parser.WithOffset("film01.mpg", 200, 201),
              ZFFile(Offset(100, 101) + Offset(200, 201)));
    EXPECT_EQ(parser.WithOffset("nothere.mpg", 200, 201), std::nullopt);
    EXPECT_FALSE(std::filesystem::exists(name));
}

TEST_F(IsybauZFParserTest, WideFileThatDoesNotConvertBackIsNotTouched) {
    // A lone surrogate cannot come back from the text the parser reads.
    const std::string broken("\xFF\xFE<\0Z\0>\0\x00\xD8<\0/\0Z\0>\0", 18);
    const auto file = WriteZF(broken);
    TISYBAUZFParser parser;
    parser.LoadFile(file);
    EXPECT_FALSE(parser.IsLoaded());
    EXPECT_FALSE(parser.AddOffset("f.mpg", 1, 2));
    EXPECT_EQ(ReadZF(), broken);
}

TEST_F(IsybauZFParserTest, EveryByteOfAWindows1252FileSurvives) {
    std::string all;
    for (int c = 0x80; c <= 0xFF; ++c)
        all.push_back(static_cast<char>(c));
    const std::string before = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n"
                               "<!-- " +
                               all + " -->\r\n<Z a=\"" + all +
                               "\">\r\n  <Untersuchung>\r\n"
                               "    <Film Filmname=\"f.mpg\">\r\n      <T>" +
                               all +
                               "</T>\r\n"
                               "    </Film>\r\n  </Untersuchung>\r\n</Z>\r\n\r\n";
    const auto file = WriteZF(before);
    TISYBAUZFParser parser;
    parser.LoadFile(file);
    ASSERT_TRUE(parser.AddOffset("f.mpg", 3, 4));
    const std::string expected = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n"
                                 "<!-- " +
                                 all + " -->\r\n<Z a=\"" + all +
                                 "\">\r\n  <Untersuchung>\r\n"
                                 "    <Film Filmname=\"f.mpg\">\r\n      <T>" +
                                 all + "</T>\r\n" + Offset(3, 4) +
                                 "    </Film>\r\n  </Untersuchung>\r\n</Z>\r\n\r\n";
    EXPECT_EQ(ReadZF(), expected);
}

TEST_F(IsybauZFParserTest, OffsetWithoutNumberIsAConversionErrorAndNothingIsWritten) {
    const std::string brokenOffsets[] = {
        "      <Offset><MPEGFrameNr>1</MPEGFrameNr></Offset>\r\n",
        "      <Offset><TcFrameNr>zehn</TcFrameNr></Offset>\r\n",
        "      <Offset><TcFrameNr></TcFrameNr></Offset>\r\n",
    };
    for (const auto& broken : brokenOffsets) {
        const std::string original = ZFFile(broken);
        const auto file = WriteZF(original);
        TISYBAUZFParser parser;
        parser.LoadFile(file);
        EXPECT_THROW(parser.AddOffset("film01.mpg", 10, 11), EConvertError) << broken;
        EXPECT_EQ(ReadZF(), original);
    }
    // Behind the insert position the entry is never looked at.
    const std::string original = ZFFile(Offset(100, 101) + brokenOffsets[0]);
    WriteZF(original);
    TISYBAUZFParser parser;
    parser.LoadFile((env.programFolder() / "Zeitcodes.xml").string());
    EXPECT_TRUE(parser.AddOffset("film01.mpg", 50, 51));
}

TEST_F(IsybauZFParserTest, ReadOnlyFileThrowsAndStaysAsItWas) {
    const std::string original = ZFFile(Offset(100, 101));
    const auto file = WriteZF(original);
    std::filesystem::permissions(file, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::group_read);
    TISYBAUZFParser parser;
    parser.LoadFile(file);
    EXPECT_THROW(parser.AddOffset("film01.mpg", 200, 201), EInOutError);
    EXPECT_EQ(ReadZF(), original);
    // The document still matches the file: a later insert writes only the new entry.
    std::filesystem::permissions(file, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    ASSERT_TRUE(parser.AddOffset("film01.mpg", 300, 301));
    EXPECT_EQ(ReadZF(), ZFFile(Offset(100, 101) + Offset(300, 301)));
}

TEST_F(IsybauZFParserTest, LoadErrorsAreLoggedAndSwallowed) {
    TConsoleDialogs dialogs;
    const auto logFile = env.state() / "zf.log";
    AppLog = std::make_unique<TLog>(logFile.string(), LOG_ERROR, dialogs);
    struct Case {
        const char* name;
        std::optional<std::string> bytes; // nullopt: no file at all
    };
    const Case cases[] = {
        {"missing", std::nullopt},
        {"empty", ""},
        {"not well-formed", "<Z><Untersuchung></Z>"},
        {"text", "Zeitcodes"},
        {"comment only", "<!-- nothing -->"},
    };
    for (const auto& c : cases) {
        const auto file = (env.programFolder() / (std::string(c.name) + ".xml")).string();
        if (c.bytes)
            test::WriteFile(file, *c.bytes);
        TISYBAUZFParser parser;
        EXPECT_NO_THROW(parser.LoadFile(file)) << c.name;
        EXPECT_FALSE(parser.IsLoaded()) << c.name;
        EXPECT_FALSE(parser.AddOffset("film01.mpg", 1, 1)) << c.name;
        EXPECT_EQ(std::filesystem::exists(file), c.bytes.has_value()) << c.name;
        if (c.bytes) {
            EXPECT_EQ(test::ReadFile(file), *c.bytes) << c.name;
        }
    }
    AppLog.reset();
    const std::string log = test::ReadFile(logFile);
    for (const auto& c : cases)
        EXPECT_NE(log.find(" [ERROR] Error while reading ISYBAU ZF file: " +
                           (env.programFolder() / (std::string(c.name) + ".xml")).string()),
                  std::string::npos)
            << c.name << "\n"
            << log;
}

TEST_F(IsybauZFParserTest, FileWithoutDeclarationGetsNone) {
    const std::string original = "<Z>\n\t<Untersuchung>\n\t\t<Film Filmname=\"a\">\n\t\t\t<F/>\n"
                                 "\t\t</Film>\n\t</Untersuchung>\n</Z>";
    const auto file = WriteZF(original);
    TISYBAUZFParser parser;
    parser.LoadFile(file);
    ASSERT_TRUE(parser.AddOffset("a", 1, 2));
    EXPECT_EQ(ReadZF(), "<Z>\n\t<Untersuchung>\n\t\t<Film Filmname=\"a\">\n\t\t\t<F/>\n"
                        "\t\t\t<Offset>\n\t\t\t\t<TcFrameNr>1</TcFrameNr>\n"
                        "\t\t\t\t<MPEGFrameNr>2</MPEGFrameNr>\n\t\t\t</Offset>\n"
                        "\t\t</Film>\n\t</Untersuchung>\n</Z>");
}

} // namespace
} // namespace kanvio
