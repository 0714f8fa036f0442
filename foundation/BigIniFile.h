#pragma once

#include <cstdint>
#include <memory>
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
    // The section's bytes as the file holds them, from its header up to the next one
    // (empty lines and line ends included); written back as they are while Lines is
    // untouched, so a rewrite changes only what the program changed.
    std::string Original;
    bool Changed = false;
    // A later section whose name an earlier one already carries: the first one is the
    // section, this one stays in the file but is invisible to lookups.
    bool Shadowed = false;
};

// The ordered sections of a settings file with a name search that starts at its last hit.
class TSectionList {
public:
    // Index of the section named name (without regard to case), or -1. Shadowed sections
    // are never found.
    int IndexOf(std::string_view name) const;
    // A section whose name is taken already is appended shadowed.
    TIniSection& Append(std::string name);
    // Removes a section; a section it shadowed becomes the visible one.
    void Erase(int index);
    // Marks every section but the first of each name as shadowed.
    void MarkShadowed();
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

enum class TIniAccess {
    ReadWrite,
    // Changes stay in memory: UpdateFile refuses to write and destruction writes nothing.
    ReadOnly,
};

// INI-style settings file ("Kanvio.ini", the language files). Lines are kept as raw
// 8-bit text; only changed files are written back, always as a whole and atomically.
// Loading never changes anything: sections whose names differ only in case, comments,
// empty lines and the lines before the first section are all kept and written back
// byte for byte; only the sections the program changed are written anew.
class TBigIniFile {
public:
    // Loads fileName unless it is empty; a missing file gives an empty object.
    // Throws EInOutError when the file exists but cannot be read.
    explicit TBigIniFile(std::string fileName, TIniAccess access = TIniAccess::ReadWrite);
    // The settings in bytes, as if read from a file; such an object has no file name and
    // never writes anything.
    static std::unique_ptr<TBigIniFile> FromBytes(std::string_view bytes);
    // Writes a modified read-write object (UpdateFile); a failure is logged, never thrown.
    ~TBigIniFile();
    TBigIniFile(const TBigIniFile&) = delete;
    TBigIniFile& operator=(const TBigIniFile&) = delete;

    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const;
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
    // Writes the file when it was modified. Throws EInOutError on failure (also for a
    // read-only object); the object then stays modified so that nothing is lost.
    void UpdateFile();
    // From now on nothing of this object reaches the disk. For an owner that has reported
    // a failed write once and must not have it repeated at destruction.
    void MakeReadOnly() { access_ = TIniAccess::ReadOnly; }
    // The bytes UpdateFile writes: those read, with the changed sections written anew.
    std::string Text() const;

    const std::string& FileName() const { return fileName_; }
    bool Modified() const { return modified_; }
    bool ReadOnly() const { return access_ == TIniAccess::ReadOnly; }

private:
    int FindSection(std::string_view section) const;
    // Line index of the first line of the section carrying key, or -1.
    int FindKey(int section, std::string_view key) const;
    void Load();
    void Parse(std::string_view bytes);
    void Touch(int section);

    std::string fileName_;
    TIniAccess access_;
    bool modified_ = false;
    // What stands before the first section, and the text from a Ctrl-Z on: read by
    // nobody, written back unchanged.
    std::string preamble_;
    std::string tail_;
    TSectionList sections_;
    mutable int lastFoundSection_ = 0;
    // Folded key -> first line, for long sections (a film list); dropped on every change.
    mutable std::unordered_map<int, std::unordered_map<std::string, int>> keyIndexes_;
};

// The signed 32-bit conversion of ReadInteger: "0x"/"$" hexadecimal, leading blanks and a
// sign allowed; false for anything else or a number out of range.
bool TryStrToInt(std::string_view text, int32_t& value);

} // namespace kanvio
