#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kanvio {

// One section of a settings file: its name as it stood between the brackets and its raw
// lines (key=value lines and any other line such as comments), in file order.
struct TIniSection {
    std::string Name;
    std::vector<std::string> Lines;
};

// The ordered sections of a settings file with a name search that starts at its last hit.
class TSectionList {
public:
    // Index of the section named name (without regard to case), or -1.
    int IndexOf(std::string_view name) const;
    TIniSection& Append(std::string name);
    void Erase(int index);
    void ResetSearch() { lastMatch_ = 0; }

    int Count() const { return static_cast<int>(sections_.size()); }
    TIniSection& operator[](int index) { return sections_[static_cast<size_t>(index)]; }
    const TIniSection& operator[](int index) const { return sections_[static_cast<size_t>(index)]; }
    std::vector<TIniSection>& Sections() { return sections_; }
    const std::vector<TIniSection>& Sections() const { return sections_; }

private:
    std::vector<TIniSection> sections_;
    mutable int lastMatch_ = 0;
};

// INI-style settings file ("Kanvio.ini", the language files). Lines are kept as raw
// 8-bit text; only changed files are written back, always as a whole and atomically.
class TBigIniFile {
public:
    // Loads fileName unless it is empty; a missing file gives an empty object.
    // Throws EInOutError when the file exists but cannot be read.
    explicit TBigIniFile(std::string fileName);
    // Writes a modified object (UpdateFile); a failure is logged, never thrown.
    ~TBigIniFile();
    TBigIniFile(const TBigIniFile&) = delete;
    TBigIniFile& operator=(const TBigIniFile&) = delete;

    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    int32_t ReadInteger(std::string_view section, std::string_view key,
                        int32_t defaultValue) const;
    bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;
    bool SectionExists(std::string_view section) const;
    void ReadSectionValues(std::string_view section, std::vector<std::string>& lines) const;
    void ReadSection(std::string_view section, std::vector<std::string>& keys) const;
    void ReadSections(std::vector<std::string>& names) const;

    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int32_t value);
    void WriteBool(std::string_view section, std::string_view key, bool value);
    void EraseSection(std::string_view section);
    void DeleteKey(std::string_view section, std::string_view key);
    // Writes the file when it was modified. Throws EInOutError on failure; the object
    // then stays modified so that nothing is lost.
    void UpdateFile();

    const std::string& FileName() const { return fileName_; }
    bool Modified() const { return modified_; }

private:
    int FindSection(std::string_view section) const;
    // Line index of the first line of the section carrying key, or -1.
    int FindKey(int section, std::string_view key) const;
    void Load();

    std::string fileName_;
    bool modified_ = false;
    TSectionList sections_;
    mutable int lastFoundSection_ = 0;
    // Folded key -> first line, for long sections (a film list); dropped on every change.
    mutable std::unordered_map<int, std::unordered_map<std::string, int>> keyIndexes_;
};

// The signed 32-bit conversion of ReadInteger: "0x"/"$" hexadecimal, leading blanks and a
// sign allowed; false for anything else or a number out of range.
bool TryStrToInt(std::string_view text, int32_t& value);

} // namespace kanvio
