#pragma once

// The bytes of an XML delivery as the reader works on them: its declared encoding, the
// conversion of its texts to the Windows-1252 bytes the model keeps, and line numbers of
// byte offsets for messages.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kanvio::xmldelivery {

enum class TTextEncoding { Utf8, Windows1252 };

// The encoding the prolog declares. UTF-8 without a declaration; ISO-8859-1 is read as
// Windows-1252, which only gives the C1 control range printable characters. Throws
// EConvertError naming fileName for any other declared encoding.
TTextEncoding DeclaredEncoding(std::string_view bytes, const std::string& fileName);

// Windows-1252 bytes as UTF-8, so that one parser setting serves every delivery.
std::string Windows1252ToUtf8(std::string_view bytes);

// UTF-8 text as Windows-1252 bytes: a character Windows-1252 cannot hold, and each byte of
// a broken sequence, becomes '?' and adds one to replaced.
std::string Utf8ToWindows1252(std::string_view utf8, size_t& replaced);

// Line numbers (from 1) of byte offsets, the line table built on first use.
class TLineTable {
public:
    explicit TLineTable(std::string_view bytes) : bytes_(bytes) {}
    int LineOf(std::ptrdiff_t offset) const;

private:
    std::string_view bytes_;
    mutable std::vector<size_t> lineStarts_;
};

} // namespace kanvio::xmldelivery
