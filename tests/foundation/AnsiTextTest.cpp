#include "foundation/AnsiText.h"

#include <gtest/gtest.h>

namespace kanvio {
namespace {

std::string AllBytes() {
    std::string bytes;
    for (int i = 0; i < 256; ++i) {
        bytes.push_back(static_cast<char>(i));
    }
    return bytes;
}

TEST(AnsiTextTest, EveryByteSurvivesTheRoundTripsThroughQStringAndUtf8) {
    const std::string bytes = AllBytes();
    const QString text = AnsiToQString(bytes);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(QStringToAnsi(text), bytes);
    EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(bytes)), bytes);
}

TEST(AnsiTextTest, BytesMapToTheirWindows1252Characters) {
    struct Case {
        unsigned char byte;
        char16_t codePoint;
    };
    const Case cases[] = {{0x41, u'A'},      {0x80, u'\u20AC'}, {0x81, u'\u0081'},
                          {0x8D, u'\u008D'}, {0x8F, u'\u008F'}, {0x90, u'\u0090'},
                          {0x9D, u'\u009D'}, {0x8A, u'\u0160'}, {0x9F, u'\u0178'},
                          {0xA0, u'\u00A0'}, {0xE4, u'\u00E4'}, {0xDF, u'\u00DF'},
                          {0xFF, u'\u00FF'}, {0x00, u'\0'}};
    for (const auto& c : cases) {
        const QString text = AnsiToQString(std::string(1, static_cast<char>(c.byte)));
        ASSERT_EQ(text.size(), 1);
        EXPECT_EQ(text.at(0).unicode(), c.codePoint) << "byte " << int(c.byte);
    }
    EXPECT_EQ(AnsiToUtf8("Stra\xDF"
                         "e"),
              "Stra\xC3\x9F"
              "e");
}

TEST(AnsiTextTest, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    EXPECT_EQ(QStringToAnsi(QString::fromUtf8("a\xE2\x82\xAC\xC4\x8D"
                                              "b")),
              "a\x80?b");
    // A character beyond the basic plane is one character, one question mark.
    EXPECT_EQ(QStringToAnsi(QString::fromUtf8("x\xF0\x9F\x98\x80y")), "x?y");
    // Broken UTF-8 does not crash and does not produce stray bytes.
    EXPECT_EQ(Utf8ToAnsi("a\xFF"
                         "b"),
              "a?b");
}

TEST(AnsiTextTest, AsciiCaseChangesOnlyTouchLettersAToZ) {
    EXPECT_EQ(AsciiUpperCase("abc xyz \xE4\xFF 09"), "ABC XYZ \xE4\xFF 09");
    EXPECT_EQ(AsciiLowerCase("ABC XYZ \xC4\x8A 09"), "abc xyz \xC4\x8A 09");
}

TEST(AnsiTextTest, SameTextAndCompareTextFoldLettersOfTheCodePage) {
    struct Case {
        const char* a;
        const char* b;
        int order; // sign of CompareText
    };
    const Case cases[] = {
        {"FILME", "filme", 0},
        {"Daten\xE4", "DATEN\xC4", 0},               // a umlaut
        {"\x9A\x9C\x9E\xFF", "\x8A\x8C\x8E\x9F", 0}, // s caron, oe, z caron, y diaeresis
        {"\xF7", "\xD7", 1}, // division and multiplication signs are no letters
        {"\xDF", "SS", 1},   // sharp s is one letter, not two
        {"abc", "abd", -1},
        {"ab", "abc", -1},
        {"", "", 0},
        {"[", "{", -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SameText(c.a, c.b), c.order == 0) << c.a << " / " << c.b;
        const int order = CompareText(c.a, c.b);
        EXPECT_EQ((order > 0) - (order < 0), c.order) << c.a << " / " << c.b;
        EXPECT_EQ((CompareText(c.b, c.a) > 0) - (CompareText(c.b, c.a) < 0), -c.order);
    }
}

TEST(AnsiTextTest, FoldCaseAgreesWithSameTextForEveryByte) {
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            const std::string left(1, static_cast<char>(a));
            const std::string right(1, static_cast<char>(b));
            ASSERT_EQ(SameText(left, right), FoldCase(left) == FoldCase(right)) << a << " " << b;
        }
    }
}

} // namespace
} // namespace kanvio
