// Where the database is read from: a copy for network folders, a private copy when the
// engine cannot open the delivery itself (read-only media, a file held by another
// program), and never a stale copy of an earlier run.

#include "datasources/FirebirdDataTreeBuilder.h"
#include "datasources/FirebirdFiles.h"
#include "foundation/Errors.h"
#include "tests/datasources/firebird/FirebirdTestSupport.h"

#include <cstdio>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace kanvio::test {
namespace {

using testing::HasSubstr;

generator::TDbDelivery OneReach(const std::string& code) {
    generator::TDbDelivery delivery;
    delivery.Reaches.push_back(SampleStructure(1));
    delivery.Reaches[0].Observations.push_back(SampleObservation(code));
    return delivery;
}

std::vector<std::filesystem::path> FilesIn(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    return files;
}

TEST_F(FirebirdTest, NetworkFolderIsReadFromACopy) {
    generator::WriteDeliveryDatabase(DatabaseFile(), OneReach("BCA"));
    std::string checkedFolder;
    TFirebirdDataTreeBuilder::SetNetworkDriveCheckForTesting([&](const std::string& folder) {
        checkedFolder = folder;
        return true;
    });
    const TKanvioDataModel model = Build(DatabaseFile());
    EXPECT_EQ(checkedFolder + "/Kanvio.dat", DatabaseFile());
    ASSERT_EQ(model.Reaches.size(), 1u);
    EXPECT_EQ(model.Reaches[0]->Details.at(0).Code, "BCA");
    const std::string copy = FirebirdPrivateFolder() + "KANVIO.DAT";
    EXPECT_TRUE(std::filesystem::exists(copy));
    EXPECT_THAT(LogText(), HasSubstr(" [DEBUG] db file: " + copy + "\r\n"));
    EXPECT_EQ(std::filesystem::status(FirebirdPrivateFolder()).permissions() &
                  std::filesystem::perms::all,
              std::filesystem::perms::owner_all);

    // The next start copies again, replacing the old copy.
    generator::WriteDeliveryDatabase(DatabaseFile(), OneReach("BCB"));
    EXPECT_EQ(Build(DatabaseFile()).Reaches.at(0)->Details.at(0).Code, "BCB");
}

TEST_F(FirebirdTest, FailedNetworkCopyNeverFallsBackToAnOldCopy) {
    TFirebirdDataTreeBuilder::SetNetworkDriveCheckForTesting(
        [](const std::string&) { return true; });
    generator::WriteDeliveryDatabase(FirebirdPrivateFolder() + "KANVIO.DAT", OneReach("OLD"));
    // A folder where the database should be: it cannot be copied.
    std::filesystem::create_directory(DatabaseFile());
    const TKanvioDataModel model = Build(DatabaseFile());
    EXPECT_TRUE(model.Reaches.empty());
    const std::string log = LogText();
    EXPECT_THAT(log,
                HasSubstr(" [DEBUG] Error during copying: " + std::to_string(EISDIR) + "\r\n"));
    EXPECT_THAT(log, HasSubstr(" [FATAL] No database file\r\n"));
}

TEST_F(FirebirdTest, PrivateFolderThatIsNotOursIsRefused) {
    generator::WriteDeliveryDatabase(DatabaseFile(), OneReach("BCA"));
    const auto folder = TempFolder() / ("kanvio-" + std::to_string(::geteuid()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directory_symlink(TempFolder(), folder);
    EXPECT_THROW(FirebirdPrivateFolder(), EInOutError);
    TFirebirdDataTreeBuilder::SetNetworkDriveCheckForTesting(
        [](const std::string&) { return true; });
    EXPECT_TRUE(Build(DatabaseFile()).Reaches.empty());
    EXPECT_THAT(LogText(), HasSubstr(" [FATAL] No database file\r\n"));
}

// Sets or clears the immutable attribute, which stops writes even by root. False when the
// file system or our rights do not allow it.
bool SetImmutable(const std::string& fileName, bool immutable) {
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = immutable ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}

TEST_F(FirebirdTest, WriteProtectedFileIsReadFromAPrivateCopy) {
    generator::WriteDeliveryDatabase(DatabaseFile(), OneReach("BCA"));
    const std::string before = ReadFile(DatabaseFile());
    if (!SetImmutable(DatabaseFile(), true))
        GTEST_SKIP() << "the file system refuses the immutable attribute here";
    TKanvioDataModel model;
    EXPECT_NO_THROW(model = Build(DatabaseFile()));
    SetImmutable(DatabaseFile(), false);
    ASSERT_EQ(model.Reaches.size(), 1u);
    EXPECT_EQ(model.Reaches[0]->Details.at(0).Code, "BCA");
    EXPECT_EQ(ReadFile(DatabaseFile()), before);
    EXPECT_THAT(LogText(), HasSubstr("reading a private copy"));
    // The copy is gone once the model is built.
    for (const auto& file : FilesIn(TempFolder()))
        EXPECT_EQ(file.extension(), "") << file;
}

// A read-only mount of the program folder, like a disc. Needs the right to mount.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const std::filesystem::path& folder) : folder_(folder) {
        mounted_ = ::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) == 0;
        if (mounted_ && ::mount(nullptr, folder.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY,
                                nullptr) != 0) {
            ::umount(folder.c_str());
            mounted_ = false;
        }
    }
    ~ReadOnlyFolder() {
        if (mounted_)
            ::umount(folder_.c_str());
    }
    bool Mounted() const { return mounted_; }

private:
    std::filesystem::path folder_;
    bool mounted_ = false;
};

TEST_F(FirebirdTest, ReadOnlyMedium) {
    for (bool markedReadOnly : {false, true}) {
        SCOPED_TRACE(markedReadOnly ? "database marked read-only" : "ordinary database");
        generator::TDatabaseOptions options;
        options.ReadOnly = markedReadOnly;
        generator::WriteFirebirdDatabase(DatabaseFile(), generator::DeliveryTables(OneReach("BCA")),
                                         options);
        const std::string before = ReadFile(DatabaseFile());
        ReadOnlyFolder medium(env.programFolder());
        if (!medium.Mounted())
            GTEST_SKIP() << "no right to mount a read-only folder here";
        TKanvioDataModel model;
        EXPECT_NO_THROW(model = Build(DatabaseFile()));
        ASSERT_EQ(model.Reaches.size(), 1u);
        EXPECT_EQ(model.Reaches[0]->Details.at(0).Code, "BCA");
        EXPECT_EQ(ReadFile(DatabaseFile()), before);
    }
}

// The engine holds an open database with an exclusive lock on the file.
bool WaitUntilHeld(const std::string& fileName) {
    for (int attempt = 0; attempt < 400; ++attempt) {
        const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
        const bool held = fd >= 0 && ::flock(fd, LOCK_SH | LOCK_NB) != 0;
        if (fd >= 0)
            ::close(fd);
        if (held)
            return true;
        ::usleep(25 * 1000);
    }
    return false;
}

// Another program (here the engine's own command-line tool in another process) holds the
// database: the engine of this process cannot open it beside that one.
TEST_F(FirebirdTest, DatabaseHeldByAnotherProgram) {
    generator::WriteDeliveryDatabase(DatabaseFile(), OneReach("BCA"));
    if (::access("/usr/bin/isql-fb", X_OK) != 0)
        GTEST_SKIP() << "isql-fb is not installed";
    const std::string command =
        "/usr/bin/isql-fb -q -user sysdba '" + DatabaseFile() + "' > /dev/null 2>&1";
    FILE* holder = ::popen(command.c_str(), "w");
    ASSERT_NE(holder, nullptr);
    ASSERT_TRUE(WaitUntilHeld(DatabaseFile()));
    TKanvioDataModel model;
    EXPECT_NO_THROW(model = Build(DatabaseFile()));
    std::fputs("QUIT;\n", holder);
    ::pclose(holder);
    ASSERT_EQ(model.Reaches.size(), 1u);
    EXPECT_EQ(model.Reaches[0]->Details.at(0).Code, "BCA");
}

} // namespace
} // namespace kanvio::test
