#include "datasources/XmlDeliveryText.h"

#include "foundation/Errors.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace kanvio::xmldelivery {

namespace {

// Code points of the bytes 0x80 to 0x9F; 0 where Windows-1252 leaves a byte unassigned.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

// The value of encoding="..." in the XML declaration; empty without one.
std::string EncodingName(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    if (!bytes.starts_with("<?xml"))
        return {};
    const size_t end = bytes.find("?>");
    const std::string_view declaration = bytes.substr(0, end);
    const size_t at = declaration.find("encoding");
    if (at == std::string_view::npos)
        return {};
    size_t quote = declaration.find_first_of("\"'", at);
    if (quote == std::string_view::npos)
        return {};
    const size_t close = declaration.find(declaration[quote], quote + 1);
    if (close == std::string_view::npos)
        return {};
    return std::string(declaration.substr(quote + 1, close - quote - 1));
}

void AppendUtf8(std::string& out, uint32_t codePoint) {
    if (codePoint < 0x80) {
        out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

int AnsiOf(uint32_t codePoint) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF))
        return static_cast<int>(codePoint);
    for (size_t i = 0; i < kHighControls.size(); ++i)
        if (kHighControls[i] != 0 && kHighControls[i] == codePoint)
            return static_cast<int>(0x80 + i);
    return -1;
}

} // namespace

TTextEncoding DeclaredEncoding(std::string_view bytes, const std::string& fileName) {
    const std::string name = LowerAscii(EncodingName(bytes));
    if (name.empty() || name == "utf-8" || name == "utf8")
        return TTextEncoding::Utf8;
    if (name == "iso-8859-1" || name == "latin1" || name == "iso8859-1" || name == "windows-1252" ||
        name == "cp1252")
        return TTextEncoding::Windows1252;
    throw EConvertError(fileName + ", line 1, <?xml?>: the encoding \"" + name +
                        "\" is none of UTF-8, ISO-8859-1 and Windows-1252");
}

std::string Windows1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 16);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out.push_back(c);
        } else if (byte < 0xA0) {
            const char16_t mapped = kHighControls[byte - 0x80];
            AppendUtf8(out, mapped != 0 ? mapped : byte);
        } else {
            AppendUtf8(out, byte);
        }
    }
    return out;
}

std::string Utf8ToWindows1252(std::string_view utf8, size_t& replaced) {
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            out.push_back(static_cast<char>(lead));
            ++i;
            continue;
        }
        const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
        uint32_t codePoint = length == 4 ? lead & 0x07 : length == 3 ? lead & 0x0F : lead & 0x1F;
        bool valid = length != 0 && lead < 0xF8 && i + length <= utf8.size();
        for (size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + k]);
            valid = (next & 0xC0) == 0x80;
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        if (!valid) {
            out.push_back('?');
            ++replaced;
            ++i;
            continue;
        }
        const int ansi = AnsiOf(codePoint);
        if (ansi < 0) {
            out.push_back('?');
            ++replaced;
        } else {
            out.push_back(static_cast<char>(ansi));
        }
        i += length;
    }
    return out;
}

int TLineTable::LineOf(std::ptrdiff_t offset) const {
    if (lineStarts_.empty()) {
        lineStarts_.push_back(0);
        for (size_t i = 0; i < bytes_.size(); ++i)
            if (bytes_[i] == '\n')
                lineStarts_.push_back(i + 1);
    }
    const size_t at = offset < 0 ? 0 : static_cast<size_t>(offset);
    const auto next = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), at);
    return static_cast<int>(next - lineStarts_.begin());
}

} // namespace kanvio::xmldelivery
