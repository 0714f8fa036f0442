#include "foundation/AtomicFile.h"

#include "foundation/Errors.h"
#include "tests/foundation/OrdinaryUser.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

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
    for (const mode_t mode : {0600, 0640, 0444, 0755}) {
        ::chmod(path.c_str(), mode);
        WriteFileAtomically(path.string(), "new");
        EXPECT_EQ(ModeOf(path), mode);
    }
    EXPECT_EQ(ReadFile(path), "new");
}

TEST(AtomicFileTest, ANewFileGetsTheUsualPermissions) {
    TempDir dir;
    const mode_t previous = ::umask(022);
    WriteFileAtomically((dir / "new.txt").string(), "x");
    ::umask(previous);
    EXPECT_EQ(ModeOf(dir / "new.txt"), 0644u);
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

TEST(AtomicFileTest, WritableFileInAFolderWithoutRightsIsRewrittenInPlace) {
    TempDir dir;
    const auto folder = dir / "locked";
    fs::create_directory(folder);
    const auto path = WriteFile(folder / "Kanvio.ini", "old content");
    ::chmod(path.c_str(), 0664);
    test::GiveToOrdinaryUser(folder);
    ::chmod(folder.c_str(), 0555);

    const int result = test::RunAsOrdinaryUser([&] {
        try {
            WriteFileAtomically(path.string(), "new");
            return 0;
        } catch (const EInOutError&) {
            return 1;
        }
    });
    ASSERT_EQ(result, 0);
    EXPECT_EQ(ReadFile(path), "new");
    EXPECT_EQ(ModeOf(path), 0664u);
    EXPECT_EQ(EntriesIn(folder), 1u);
}

TEST(AtomicFileTest, ReadOnlyFileInAFolderWithoutRightsFails) {
    TempDir dir;
    const auto folder = dir / "locked";
    fs::create_directory(folder);
    const auto path = WriteFile(folder / "Kanvio.ini", "old content");
    ::chmod(path.c_str(), 0444);
    test::GiveToOrdinaryUser(folder);
    ::chmod(folder.c_str(), 0555);

    const int result = test::RunAsOrdinaryUser([&] {
        try {
            WriteFileAtomically(path.string(), "new");
            return 0;
        } catch (const EInOutError& error) {
            return std::string(error.what()).find("Kanvio.ini") != std::string::npos ? 1 : 2;
        }
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(ReadFile(path), "old content");
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

} // namespace
} // namespace kanvio
