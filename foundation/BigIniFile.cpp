#include "foundation/BigIniFile.h"

#include "foundation/AnsiText.h"
#include "foundation/AtomicFile.h"
#include "foundation/Errors.h"
#include "foundation/Logging.h"

#include <cstdio>
#include <limits>
#include <unordered_set>

namespace kanvio {
namespace {

constexpr char kCtrlZ = '\x1A';

bool IsSectionHeader(std::string_view line) {
    return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

// The key of a line is its text before the first "="; a line without "=" has none.
bool KeyOfLine(std::string_view line, std::string_view& key) {
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) {
        return false;
    }
    key = line.substr(0, equals);
    return true;
}

// Sections shorter than this are scanned; an index would cost more than it saves.
constexpr size_t kIndexedSectionLines = 64;

int FindKeyLine(const std::vector<std::string>& lines, std::string_view key) {
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view lineKey;
        if (KeyOfLine(lines[i], lineKey) && SameText(lineKey, key)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// Searches from start to the end, then from the beginning up to start.
template <typename Matches> int SearchFrom(int start, int count, Matches matches) {
    if (count == 0) {
        return -1;
    }
    if (start < 0 || start >= count) {
        start = 0;
    }
    for (int i = start; i < count; ++i) {
        if (matches(i)) {
            return i;
        }
    }
    for (int i = 0; i < start; ++i) {
        if (matches(i)) {
            return i;
        }
    }
    return -1;
}

bool VisibleSectionNamed(const TIniSection& section, std::string_view name) {
    return !section.Shadowed && SameText(section.Name, name);
}

} // namespace

int TSectionList::IndexOf(std::string_view name) const {
    const int found = SearchFrom(lastMatch_, Count(), [this, name](int i) {
        return VisibleSectionNamed(sections_[static_cast<size_t>(i)], name);
    });
    if (found >= 0) {
        lastMatch_ = found;
    }
    return found;
}

TIniSection& TSectionList::Append(std::string name) {
    const bool taken = IndexOf(name) >= 0;
    TIniSection section;
    section.Name = std::move(name);
    section.Shadowed = taken;
    sections_.push_back(std::move(section));
    return sections_.back();
}

void TSectionList::Erase(int index) {
    if (index < 0 || index >= Count()) {
        return;
    }
    sections_.erase(sections_.begin() + index);
    lastMatch_ = 0;
    MarkShadowed();
}

void TSectionList::MarkShadowed() {
    std::unordered_set<std::string> seen;
    for (auto& section : sections_) {
        section.Shadowed = !seen.insert(FoldCase(section.Name)).second;
    }
}

TBigIniFile::TBigIniFile(std::string fileName, TIniAccess access)
    : fileName_(std::move(fileName)), access_(access) {
    if (!fileName_.empty()) {
        Load();
    }
}

std::unique_ptr<TBigIniFile> TBigIniFile::FromBytes(std::string_view bytes) {
    auto ini = std::make_unique<TBigIniFile>(std::string(), TIniAccess::ReadOnly);
    ini->Parse(bytes);
    return ini;
}

TBigIniFile::~TBigIniFile() {
    if (ReadOnly()) {
        return;
    }
    try {
        UpdateFile();
    } catch (const std::exception& error) {
        // A destructor must not throw; the caller had its chance with UpdateFile.
        std::fprintf(stderr, "kanvio: settings not saved: %s\n", error.what());
        LogLine(std::string("Settings not saved: ") + error.what(), LOG_ERROR);
    }
}

void TBigIniFile::Load() {
    std::string bytes;
    if (ReadWholeFile(fileName_, bytes)) { // a missing file is an empty one
        Parse(bytes);
    }
}

void TBigIniFile::Parse(std::string_view bytes) {
    sections_ = TSectionList();
    keyIndexes_.clear();
    lastFoundSection_ = 0;
    preamble_.clear();
    tail_.clear();

    std::string_view text(bytes);
    if (const auto end = text.find(kCtrlZ); end != std::string_view::npos) {
        tail_.assign(text.substr(end));
        text = text.substr(0, end);
    }

    TIniSection* current = nullptr;
    size_t currentStart = 0;
    auto closeCurrent = [&](size_t end) {
        if (current != nullptr) {
            current->Original.assign(text.substr(currentStart, end - currentStart));
        } else {
            preamble_.assign(text.substr(0, end));
        }
    };
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t lineStart = pos;
        auto newline = text.find('\n', pos);
        const bool lastLine = newline == std::string_view::npos;
        if (lastLine) {
            newline = text.size();
        }
        std::string_view line = text.substr(pos, newline - pos);
        if (!lastLine && !line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        pos = lastLine ? text.size() : newline + 1;

        if (line.empty()) {
            continue;
        }
        if (IsSectionHeader(line)) {
            closeCurrent(lineStart);
            auto& list = sections_.Sections();
            list.emplace_back().Name.assign(line.substr(1, line.size() - 2));
            current = &list.back();
            currentStart = lineStart;
        } else if (current != nullptr) {
            current->Lines.emplace_back(line);
        }
    }
    closeCurrent(text.size());
    sections_.MarkShadowed(); // once, not per section: a file may hold many
    sections_.ResetSearch();
}

int TBigIniFile::FindSection(std::string_view section) const {
    const auto& list = sections_.Sections();
    const int found = SearchFrom(lastFoundSection_, sections_.Count(), [&list, section](int i) {
        return VisibleSectionNamed(list[static_cast<size_t>(i)], section);
    });
    if (found >= 0) {
        lastFoundSection_ = found;
    }
    return found;
}

int TBigIniFile::FindKey(int section, std::string_view key) const {
    const auto& lines = sections_[section].Lines;
    if (lines.size() < kIndexedSectionLines) {
        return FindKeyLine(lines, key);
    }
    auto [entry, created] = keyIndexes_.try_emplace(section);
    auto& index = entry->second;
    if (created) {
        for (size_t i = 0; i < lines.size(); ++i) {
            std::string_view lineKey;
            if (KeyOfLine(lines[i], lineKey)) {
                index.emplace(FoldCase(lineKey), static_cast<int>(i)); // the first line wins
            }
        }
    }
    const auto found = index.find(FoldCase(key));
    return found == index.end() ? -1 : found->second;
}

std::string TBigIniFile::ReadString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) const {
    const int index = FindSection(section);
    if (index < 0) {
        return std::string(defaultValue);
    }
    const auto& lines = sections_[index].Lines;
    const int line = FindKey(index, key);
    if (line < 0) {
        return std::string(defaultValue);
    }
    const std::string& text = lines[static_cast<size_t>(line)];
    return text.substr(text.find('=') + 1);
}

int32_t TBigIniFile::ReadInteger(std::string_view section, std::string_view key,
                                 int32_t defaultValue) const {
    int32_t value = 0;
    if (TryStrToInt(ReadString(section, key, {}), value)) {
        return value;
    }
    return defaultValue;
}

bool TBigIniFile::ReadBool(std::string_view section, std::string_view key,
                           bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool TBigIniFile::SectionExists(std::string_view section) const {
    return FindSection(section) >= 0;
}

void TBigIniFile::ReadSectionValues(std::string_view section,
                                    std::vector<std::string>& lines) const {
    const int index = FindSection(section);
    if (index < 0) {
        return;
    }
    const auto& own = sections_[index].Lines;
    lines.insert(lines.end(), own.begin(), own.end());
}

void TBigIniFile::ReadSection(std::string_view section, std::vector<std::string>& keys) const {
    const int index = FindSection(section);
    if (index < 0) {
        return;
    }
    for (const auto& line : sections_[index].Lines) {
        std::string_view key;
        if (KeyOfLine(line, key)) {
            keys.emplace_back(key);
        }
    }
}

void TBigIniFile::ReadSections(std::vector<std::string>& names) const {
    names.clear();
    for (const auto& section : sections_.Sections()) {
        if (!section.Shadowed) {
            names.push_back(section.Name);
        }
    }
}

void TBigIniFile::WriteString(std::string_view section, std::string_view key,
                              std::string_view value) {
    if (key.empty()) {
        if (!section.empty() || !value.empty()) {
            EraseSection(section);
        } else {
            UpdateFile();
        }
        return;
    }

    std::string line;
    line.reserve(key.size() + 1 + value.size());
    line.append(key).append("=").append(value);

    int index = FindSection(section);
    if (index < 0) {
        sections_.Append(std::string(section)).Changed = true;
        index = sections_.Count() - 1;
        lastFoundSection_ = index;
    }
    auto& lines = sections_[index].Lines;
    const int existing = FindKey(index, key);
    if (existing < 0) {
        lines.push_back(std::move(line));
        Touch(index);
        keyIndexes_.erase(index);
    } else if (lines[static_cast<size_t>(existing)] != line) {
        lines[static_cast<size_t>(existing)] = std::move(line);
        Touch(index);
    }
}

void TBigIniFile::Touch(int section) {
    sections_[section].Changed = true;
    modified_ = true;
}

void TBigIniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
    WriteString(section, key, std::to_string(value));
}

void TBigIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void TBigIniFile::EraseSection(std::string_view section) {
    const int index = FindSection(section);
    if (index < 0) {
        return;
    }
    sections_.Erase(index);
    modified_ = true;
    keyIndexes_.clear(); // later sections moved up
    if (lastFoundSection_ >= sections_.Count()) {
        lastFoundSection_ = 0;
    }
}

void TBigIniFile::DeleteKey(std::string_view section, std::string_view key) {
    const int index = FindSection(section);
    if (index < 0) {
        return;
    }
    auto& lines = sections_[index].Lines;
    const int line = FindKey(index, key);
    if (line >= 0) {
        lines.erase(lines.begin() + line);
        Touch(index);
        keyIndexes_.erase(index);
    }
}

std::string TBigIniFile::Text() const {
    std::string bytes = preamble_;
    for (const auto& section : sections_.Sections()) {
        if (!section.Changed) {
            bytes.append(section.Original);
            continue;
        }
        if (section.Lines.empty()) {
            continue;
        }
        // Only the last line of the text can lack its line end.
        if (!bytes.empty() && bytes.back() != '\n') {
            bytes.append("\r\n");
        }
        bytes.append("[").append(section.Name).append("]\r\n");
        for (const auto& line : section.Lines) {
            bytes.append(line).append("\r\n");
        }
        bytes.append("\r\n");
    }
    bytes.append(tail_);
    return bytes;
}

void TBigIniFile::UpdateFile() {
    if (!modified_) {
        return;
    }
    if (!fileName_.empty()) {
        if (ReadOnly()) {
            throw EInOutError(fileName_, "cannot be written: it was opened for reading only");
        }
        const std::string bytes = Text();
        WriteFileAtomically(fileName_, bytes); // throws; the object then stays modified
        // From now on the written bytes are the original ones.
        Parse(bytes);
    }
    modified_ = false;
}

bool TryStrToInt(std::string_view original, int32_t& value) {
    // "0x" counts as "$" only where the text starts with it.
    std::string text(original);
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.replace(0, 2, "$");
    }
    size_t pos = 0;
    while (pos < text.size() && text[pos] == ' ') {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    int base = 10;
    if (pos < text.size() && text[pos] == '$') {
        base = 16;
        ++pos;
    }
    if (pos >= text.size()) {
        return false;
    }
    // Magnitude limit: one more for a negative number.
    const uint64_t limit =
        static_cast<uint64_t>(std::numeric_limits<int32_t>::max()) + (negative ? 1 : 0);
    uint64_t magnitude = 0;
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return false;
        }
        magnitude = magnitude * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
        if (magnitude > limit) {
            return false;
        }
    }
    value = negative ? static_cast<int32_t>(-static_cast<int64_t>(magnitude))
                     : static_cast<int32_t>(magnitude);
    return true;
}

} // namespace kanvio
