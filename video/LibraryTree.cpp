#include "video/LibraryTree.h"

#include "foundation/Errors.h"
#include "video/KeyFrameIndex.h"

#include <cstring>
#include <dlfcn.h>
#include <elf.h>
#include <filesystem>
#include <link.h>
#include <set>

namespace kanvio {

namespace {

// Reads count items of T at offset: all of them, or reports that it could not.
template <typename T> bool ReadExactly(IByteSource& file, uint64_t offset, T* into, size_t count) {
    const size_t bytes = sizeof(T) * count;
    return file.ReadAt(static_cast<int64_t>(offset), reinterpret_cast<uint8_t*>(into), bytes) ==
           bytes;
}

// The file offset of a virtual address, through the loadable segment that holds it.
bool FileOffsetOf(const std::vector<Elf64_Phdr>& segments, uint64_t address, uint64_t& offset) {
    for (const Elf64_Phdr& segment : segments)
        if (segment.p_type == PT_LOAD && address >= segment.p_vaddr &&
            address < segment.p_vaddr + segment.p_filesz) {
            offset = address - segment.p_vaddr + segment.p_offset;
            return true;
        }
    return false;
}

// Folders the loader took this process's libraries from: where a library's dependencies
// lie, unless the system is unusual (then the caller's own load finds them).
std::vector<std::filesystem::path> LibraryFolders(const std::string& file) {
    std::set<std::filesystem::path> folders{std::filesystem::path(file).parent_path()};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            if (info->dlpi_name && info->dlpi_name[0] == '/')
                static_cast<std::set<std::filesystem::path>*>(data)->insert(
                    std::filesystem::path(info->dlpi_name).parent_path());
            return 0;
        },
        &folders);
    return {folders.begin(), folders.end()};
}

class TStepwiseLoad {
public:
    explicit TStepwiseLoad(const std::string& file) : folders_(LibraryFolders(file)) {}

    void Visit(const std::string& file) {
        if (!visited_.insert(file).second)
            return;
        if (void* loaded = dlopen(file.c_str(), RTLD_LAZY | RTLD_NOLOAD)) {
            dlclose(loaded);
            return;
        }
        for (const std::string& name : NeededLibraries(file))
            if (const std::string found = Find(name); !found.empty())
                Visit(found);
        // Bound now: a library that cannot resolve its symbols alone is not kept, and the
        // caller's load binds it in its place.
        if (dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL))
            ++loaded_;
        else
            dlerror(); // not this thread's error to report later
    }
    int Loaded() const { return loaded_; }

private:
    std::string Find(const std::string& name) const {
        std::error_code error;
        for (const std::filesystem::path& folder : folders_)
            if (std::filesystem::is_regular_file(folder / name, error))
                return (folder / name).string();
        return {};
    }

    std::vector<std::filesystem::path> folders_;
    std::set<std::string> visited_;
    int loaded_ = 0;
};

// The needed libraries named in an ELF file's dynamic section.
std::vector<std::string> NeededLibrariesOf(IByteSource& elf) {
    Elf64_Ehdr header{};
    if (!ReadExactly(elf, 0, &header, 1) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_phentsize != sizeof(Elf64_Phdr))
        return {};
    std::vector<Elf64_Phdr> segments(header.e_phnum);
    if (!ReadExactly(elf, header.e_phoff, segments.data(), segments.size()))
        return {};
    for (const Elf64_Phdr& segment : segments) {
        if (segment.p_type != PT_DYNAMIC)
            continue;
        if (segment.p_filesz > static_cast<uint64_t>(elf.Size()))
            return {};
        std::vector<Elf64_Dyn> entries(segment.p_filesz / sizeof(Elf64_Dyn));
        if (!ReadExactly(elf, segment.p_offset, entries.data(), entries.size()))
            return {};
        uint64_t stringsAddress = 0, stringsSize = 0;
        std::vector<uint64_t> neededAt;
        for (const Elf64_Dyn& entry : entries) {
            if (entry.d_tag == DT_NEEDED)
                neededAt.push_back(entry.d_un.d_val);
            else if (entry.d_tag == DT_STRTAB)
                stringsAddress = entry.d_un.d_ptr;
            else if (entry.d_tag == DT_STRSZ)
                stringsSize = entry.d_un.d_val;
        }
        uint64_t stringsOffset = 0;
        if (stringsSize > static_cast<uint64_t>(elf.Size()) ||
            !FileOffsetOf(segments, stringsAddress, stringsOffset))
            return {};
        std::string strings(stringsSize, '\0');
        if (!ReadExactly(elf, stringsOffset, strings.data(), strings.size()))
            return {};
        std::vector<std::string> names;
        for (const uint64_t at : neededAt)
            if (at < strings.size())
                names.emplace_back(strings.c_str() + at);
        return names;
    }
    return {};
}

} // namespace

std::vector<std::string> NeededLibraries(const std::string& file) {
    try {
        TFileByteSource elf(file);
        return NeededLibrariesOf(elf);
    } catch (const EKanvioError&) {
        return {}; // unreadable: nothing to load ahead
    }
}

int LoadLibraryTreeStepwise(const std::string& file) {
    TStepwiseLoad load(file);
    load.Visit(file);
    return load.Loaded();
}

} // namespace kanvio
