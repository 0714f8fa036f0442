#include "foundation/AtomicFile.h"

#include "foundation/Errors.h"
#include "tests/foundation/OrdinaryUser.h"
#include "tests/support/TempDir.h"

#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kanvio {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;
namespace fs = std::filesystem;

mode_t ModeOf(const fs::path& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

size_t EntriesIn(const fs::path& folder) {
    return static_cast<size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(AtomicFileTest, WritesAndReadsBackEveryByte) {
    TempDir dir;
    std::string bytes;
    for (int i = 0; i < 70000; ++i) {
        bytes.push_back(static_cast<char>(i * 7));
    }
    for (const std::string& content : {std::string(), std::string("x"), bytes}) {
        const auto path = dir / "file.bin";
        WriteFileAtomically(path.string(), content);
        std::string back;
        ASSERT_TRUE(ReadWholeFile(path.string(), back));
        EXPECT_EQ(back, content);
        EXPECT_EQ(EntriesIn(dir.path()), 1u) << "a temporary file was left behind";
    }
}

TEST(AtomicFileTest, KeepsThePermissionsOfAnExistingFile) {
    TempDir dir;
    const auto path = WriteFile(dir / "Kanvio.ini", "old");
    for (const mode_t mode : {0600, 0640, 0664, 0755}) {
        ::chmod(path.c_str(), mode);
        WriteFileAtomically(path.string(), "new " + std::to_string(mode));
        EXPECT_EQ(ModeOf(path), mode);
        EXPECT_EQ(ReadFile(path), "new " + std::to_string(mode));
    }
    EXPECT_EQ(EntriesIn(dir.path()), 1u);
}

TEST(AtomicFileTest, NeverWritesIntoTheOldFile) {
    // A second name of the old file shows whether its bytes were touched: a rewrite in
    // place (truncate, then write) would change it too, and a crash would leave it half.
    TempDir dir;
    const auto path = WriteFile(dir / "Kanvio.ini", "old content");
    std::filesystem::create_hard_link(path, dir / "second-name");
    WriteFileAtomically(path.string(), "new");
    EXPECT_EQ(ReadFile(path), "new");
    EXPECT_EQ(ReadFile(dir / "second-name"), "old content");
}

TEST(AtomicFileTest, ANewFileGetsThePermissionsTheUmaskAllows) {
    TempDir dir;
    const std::pair<mode_t, mode_t> cases[] = {{022, 0644}, {077, 0600}, {002, 0664}, {0, 0666}};
    for (const auto& [mask, expected] : cases) {
        const auto path = dir / ("new-" + std::to_string(mask) + ".txt");
        const mode_t previous = ::umask(mask);
        WriteFileAtomically(path.string(), "x");
        ::umask(previous);
        EXPECT_EQ(ModeOf(path), expected) << "umask " << mask;
    }
}

TEST(AtomicFileTest, ALinkStaysALinkToTheRewrittenFile) {
    TempDir dir;
    const auto target = WriteFile(dir / "target.ini", "old");
    fs::create_symlink(target, dir / "link.ini");
    WriteFileAtomically((dir / "link.ini").string(), "new");
    EXPECT_TRUE(fs::is_symlink(dir / "link.ini"));
    EXPECT_EQ(ReadFile(target), "new");
}

TEST(AtomicFileTest, FailuresNameTheFileAndAreNeverSilent) {
    TempDir dir;
    WriteFile(dir / "plain", "x");
    fs::create_directory(dir / "folder");
    const std::string cases[] = {
        (dir / "plain" / "child.ini").string(), // the folder is a file
        (dir / "missing" / "child.ini").string(),
        (dir / "folder").string(), // the target is a folder
    };
    for (const auto& path : cases) {
        try {
            WriteFileAtomically(path, "bytes");
            ADD_FAILURE() << "no error for " << path;
        } catch (const EInOutError& error) {
            EXPECT_EQ(error.fileName(), path);
            EXPECT_NE(std::string(error.what()).find(path), std::string::npos);
        }
    }
    EXPECT_EQ(ReadFile(dir / "plain"), "x");
}

// Runs a write as an ordinary user; 1 when it failed with an error that names the file
// and gives a reason, 0 when it succeeded.
int WriteAsOrdinaryUser(const fs::path& path, const std::string& reason) {
    return test::RunAsOrdinaryUser([&] {
        try {
            WriteFileAtomically(path.string(), "new");
            return 0;
        } catch (const EInOutError& error) {
            const std::string text = error.what();
            const bool named = text.find(path.string()) != std::string::npos &&
                               text.find(reason) != std::string::npos;
            if (!named) {
                std::fprintf(stderr, "unexpected message: %s\n", text.c_str());
            }
            return named ? 1 : 2;
        }
    });
}

TEST(AtomicFileTest, WritableFileInAFolderWithoutRightsFailsAndStaysWhole) {
    TempDir dir;
    const auto folder = dir / "locked";
    fs::create_directory(folder);
    const auto path = WriteFile(folder / "Kanvio.ini", "old content");
    ::chmod(path.c_str(), 0664);
    test::GiveToOrdinaryUser(folder);
    ::chmod(folder.c_str(), 0555);

    EXPECT_EQ(WriteAsOrdinaryUser(path, "Permission denied"), 1);
    EXPECT_EQ(ReadFile(path), "old content");
    EXPECT_EQ(ModeOf(path), 0664u);
    EXPECT_EQ(EntriesIn(folder), 1u);
}

TEST(AtomicFileTest, ReadOnlyFileIsNeitherReplacedNorMadeWritable) {
    for (const mode_t folderMode : {0755, 0555}) {
        TempDir dir;
        const auto folder = dir / "delivery";
        fs::create_directory(folder);
        const auto path = WriteFile(folder / "Kanvio.ini", "old content");
        ::chmod(path.c_str(), 0444);
        test::GiveToOrdinaryUser(folder);
        ::chmod(folder.c_str(), folderMode);

        EXPECT_EQ(WriteAsOrdinaryUser(path, "Permission denied"), 1) << folderMode;
        EXPECT_EQ(ReadFile(path), "old content");
        EXPECT_EQ(ModeOf(path), 0444u);
        EXPECT_EQ(EntriesIn(folder), 1u);
    }
}

TEST(AtomicFileTest, AbandonedTemporaryFilesOfTheSameFileAreRemoved) {
    TempDir dir;
    const auto path = WriteFile(dir / "Kanvio.ini", "old");
    auto makeOld = [](const fs::path& file) {
        const timespec hourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
        ::utimensat(AT_FDCWD, file.c_str(), hourAgo, AT_SYMLINK_NOFOLLOW);
    };
    const auto abandoned = WriteFile(dir / ".Kanvio.ini.a1B2c3", "half");
    makeOld(abandoned);
    const auto fresh = WriteFile(dir / ".Kanvio.ini.Zz9Yy8", "being written"); // just made
    const auto locked = WriteFile(dir / ".Kanvio.ini.LoCk00", "being written slowly");
    makeOld(locked);
    const int lockHolder = ::open(locked.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(lockHolder, LOCK_EX), 0);
    const fs::path keep[] = {
        WriteFile(dir / ".Other.ini.a1B2c3", "another file's"),
        WriteFile(dir / ".Kanvio.ini.bak", "not a temporary name"),
        WriteFile(dir / ".Kanvio.ini.a1B2c3d", "not a temporary name"),
        WriteFile(dir / ".Kanvio.ini.a1-2c3", "not a temporary name"),
        WriteFile(dir / "Kanvio.ini.a1B2c3", "not hidden"),
    };
    const auto target = WriteFile(dir / "target", "someone's file");
    makeOld(target);
    fs::create_symlink(target, dir / ".Kanvio.ini.LiNk00");
    makeOld(dir / ".Kanvio.ini.LiNk00");
    for (const auto& file : keep) {
        makeOld(file);
    }

    WriteFileAtomically(path.string(), "new");
    ::close(lockHolder);

    EXPECT_FALSE(fs::exists(abandoned));
    EXPECT_TRUE(fs::exists(fresh));
    EXPECT_TRUE(fs::exists(locked));
    EXPECT_TRUE(fs::is_symlink(dir / ".Kanvio.ini.LiNk00"));
    EXPECT_EQ(ReadFile(target), "someone's file");
    for (const auto& file : keep) {
        EXPECT_TRUE(fs::exists(file)) << file;
    }
    EXPECT_EQ(ReadFile(path), "new");
}

TEST(AtomicFileTest, ReadWholeFileTellsMissingFromUnreadable) {
    TempDir dir;
    std::string bytes = "stale";
    EXPECT_FALSE(ReadWholeFile((dir / "none").string(), bytes));
    EXPECT_TRUE(bytes.empty());
    EXPECT_FALSE(ReadWholeFile((dir / "none" / "deeper").string(), bytes));
    EXPECT_THROW(ReadWholeFile(dir.path().string(), bytes), EInOutError);
    EXPECT_TRUE(ReadWholeFile(WriteFile(dir / "empty", "").string(), bytes));
    EXPECT_TRUE(bytes.empty());
}

// Files whose size the system does not know beforehand (a pipe, a file of /proc) are read
// to their end, however long they are.
TEST(AtomicFileTest, ReadWholeFileReadsFilesOfUnknownSizeToTheEnd) {
    TempDir dir;
    const std::string pipe = (dir / "pipe").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::string written;
    for (int i = 0; i < 100000; ++i) {
        written.push_back(static_cast<char>('a' + i % 26));
    }
    std::thread writer([&] {
        const int fd = ::open(pipe.c_str(), O_WRONLY);
        size_t done = 0;
        while (fd >= 0 && done < written.size()) {
            const ssize_t got = ::write(fd, written.data() + done, written.size() - done);
            if (got <= 0) {
                break;
            }
            done += static_cast<size_t>(got);
        }
        ::close(fd);
    });
    std::string bytes;
    const bool read = ReadWholeFile(pipe, bytes);
    writer.join();
    EXPECT_TRUE(read);
    EXPECT_EQ(bytes, written);

    ASSERT_TRUE(ReadWholeFile("/proc/self/status", bytes));
    EXPECT_NE(bytes.find("VmRSS:"), std::string::npos);
    EXPECT_EQ(bytes.find('\0'), std::string::npos);
}

} // namespace
} // namespace kanvio
