#include "foundation/AnsiText.h"

#include <array>
#include <unordered_map>

namespace kanvio {
namespace {

// Code points of the bytes 0x80 to 0x9F. The five bytes Windows-1252 leaves undefined map
// to the C1 control of the same number, so every byte survives a round trip.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t CodePointOf(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) {
        return kHighControls[byte - 0x80];
    }
    return byte;
}

// The reverse mapping for the code points that differ from their byte value.
const std::unordered_map<char16_t, unsigned char>& SpecialBytes() {
    static const std::unordered_map<char16_t, unsigned char> table = [] {
        std::unordered_map<char16_t, unsigned char> map;
        for (int i = 0; i < 32; ++i) {
            map.emplace(kHighControls[static_cast<size_t>(i)],
                        static_cast<unsigned char>(0x80 + i));
        }
        return map;
    }();
    return table;
}

char ByteOf(char16_t codePoint) {
    const auto& special = SpecialBytes();
    if (auto it = special.find(codePoint); it != special.end()) {
        return static_cast<char>(it->second);
    }
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) {
        return static_cast<char>(codePoint);
    }
    return '?';
}

// The upper-case partner of a Windows-1252 letter, or the byte itself.
unsigned char FoldByte(unsigned char byte) {
    if (byte >= 'a' && byte <= 'z') {
        return static_cast<unsigned char>(byte - 'a' + 'A');
    }
    if (byte >= 0xE0 && byte <= 0xFE && byte != 0xF7) {
        return static_cast<unsigned char>(byte - 0x20);
    }
    switch (byte) {
    case 0x9A:
        return 0x8A; // s caron
    case 0x9C:
        return 0x8C; // oe
    case 0x9E:
        return 0x8E; // z caron
    case 0xFF:
        return 0x9F; // y diaeresis
    default:
        return byte;
    }
}

} // namespace

QString AnsiToQString(std::string_view ansi) {
    QString text;
    text.resize(static_cast<qsizetype>(ansi.size()));
    QChar* out = text.data();
    for (char c : ansi) {
        *out++ = QChar(CodePointOf(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string QStringToAnsi(const QString& text) {
    std::string ansi;
    ansi.reserve(static_cast<size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i; // one character outside the code page, one "?"
            ansi.push_back('?');
            continue;
        }
        ansi.push_back(ByteOf(c.unicode()));
    }
    return ansi;
}

std::string AnsiToUtf8(std::string_view ansi) {
    return AnsiToQString(ansi).toStdString();
}

std::string Utf8ToAnsi(std::string_view utf8) {
    return QStringToAnsi(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

std::string AsciiUpperCase(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return result;
}

std::string AsciiLowerCase(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return result;
}

std::string FoldCase(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        c = static_cast<char>(FoldByte(static_cast<unsigned char>(c)));
    }
    return result;
}

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldByte(static_cast<unsigned char>(a[i])) !=
            FoldByte(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

int CompareText(std::string_view a, std::string_view b) {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const int left = FoldByte(static_cast<unsigned char>(a[i]));
        const int right = FoldByte(static_cast<unsigned char>(b[i]));
        if (left != right) {
            return left - right;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

} // namespace kanvio
