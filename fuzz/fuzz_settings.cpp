// Any bytes as a settings file, read in memory: an untouched file must come back byte for
// byte, and what the program writes must read back the same.

#include "foundation/BigIniFile.h"

#include <string>
#include <vector>

namespace {

using kanvio::TBigIniFile;

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

// The written object reads like the one in memory: the same sections (less those the
// changes emptied, which are not written) with the same values.
void CheckSameReads(const TBigIniFile& memory, const TBigIniFile& written) {
    std::vector<std::string> names;
    memory.ReadSections(names);
    for (const auto& name : names) {
        std::vector<std::string> lines;
        memory.ReadSectionValues(name, lines);
        Check(written.SectionExists(name) || lines.empty());
        std::vector<std::string> keys;
        memory.ReadSection(name, keys);
        for (const auto& key : keys) {
            Check(memory.ReadString(name, key, "\x01") == written.ReadString(name, key, "\x01"));
        }
    }
    std::vector<std::string> writtenNames;
    written.ReadSections(writtenNames);
    for (const auto& name : writtenNames) {
        Check(memory.SectionExists(name));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const auto ini = TBigIniFile::FromBytes(bytes);
    Check(!ini->Modified());
    Check(ini->Text() == bytes);

    std::vector<std::string> names;
    ini->ReadSections(names);
    for (const auto& name : names) {
        Check(ini->SectionExists(name));
        std::vector<std::string> keys;
        ini->ReadSection(name, keys);
        for (const auto& key : keys) {
            ini->ReadInteger(name, key, 0);
        }
    }

    // The changes the program makes: shut-down values, a time correction, a new section.
    const std::string first = names.empty() ? std::string("DATA") : names.front();
    ini->WriteInteger(first, "FilmLength", 754);
    ini->WriteString("DATA", "Linear", "1.250000");
    ini->WriteString("TIMECORR_1", "00:01:02", "-3");
    if (names.size() > 1) {
        std::vector<std::string> keys;
        ini->ReadSection(names[1], keys);
        if (!keys.empty()) {
            ini->DeleteKey(names[1], keys.front());
        }
        ini->EraseSection(names.back());
    }
    const auto again = TBigIniFile::FromBytes(ini->Text());
    CheckSameReads(*ini, *again);
    Check(again->ReadString(first, "FilmLength", "") == "754");
    Check(again->Text() == ini->Text());
    return 0;
}
