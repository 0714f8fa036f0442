// Where the database is read from: always a private copy in the user's cache folder, so
// that the delivery's file stays byte for byte, also on read-only media, for files held
// by another program and for an ordinary user who owns the file.

#include "datasources/FirebirdDataTreeBuilder.h"
#include "datasources/FirebirdFiles.h"
#include "foundation/Errors.h"
#include "foundation/KanvioToolkit.h"
#include "tests/datasources/firebird/FirebirdTestSupport.h"
#include "tests/foundation/OrdinaryUser.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <linux/fs.h>
#include <optional>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kanvio::test {
namespace {

using testing::HasSubstr;
using testing::StartsWith;

generator::TDbDelivery OneReach(const std::string& code) {
    generator::TDbDelivery delivery;
    delivery.Reaches.push_back(SampleStructure(1));
    delivery.Reaches[0].Observations.push_back(SampleObservation(code));
    return delivery;
}

std::vector<std::filesystem::path> FilesIn(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    if (!std::filesystem::exists(folder))
        return files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (!entry.is_directory())
            files.push_back(entry.path());
    return files;
}

// What must not change in a delivery's file: its bytes and its modification time.
struct TFileState {
    std::string Bytes;
    timespec Modified{};

    static TFileState Of(const std::string& fileName) {
        TFileState state;
        state.Bytes = ReadFile(fileName);
        struct stat info {};
        EXPECT_EQ(::stat(fileName.c_str(), &info), 0) << fileName;
        state.Modified = info.st_mtim;
        return state;
    }
};

void ExpectUnchanged(const TFileState& before, const std::string& fileName) {
    const TFileState after = TFileState::Of(fileName);
    EXPECT_TRUE(after.Bytes == before.Bytes) << fileName << " changed its bytes";
    EXPECT_EQ(after.Modified.tv_sec, before.Modified.tv_sec) << fileName;
    EXPECT_EQ(after.Modified.tv_nsec, before.Modified.tv_nsec) << fileName;
}

// Sets an environment variable for the object's lifetime.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST_F(FirebirdTest, DeliveryKeepsItsBytesAndTime) {
    struct TCase {
        const char* What;
        mode_t Mode;
        bool MarkedReadOnly;
    };
    for (const TCase& c :
         {TCase{"writable file", 0644, false}, TCase{"read-only file", 0444, false},
          TCase{"database marked read-only", 0644, true}}) {
        SCOPED_TRACE(c.What);
        generator::TDatabaseOptions options;
        options.ReadOnly = c.MarkedReadOnly;
        generator::WriteFirebirdDatabase(DatabaseFile(), generator::DeliveryTables(OneReach("BCA")),
                                         options);
        ASSERT_EQ(::chmod(DatabaseFile().c_str(), c.Mode), 0);
        const TFileState before = TFileState::Of(DatabaseFile());
        const TKanvioDataModel model = Build(DatabaseFile());
        ASSERT_EQ(model.Reaches.size(), 1u);
        EXPECT_EQ(model.Reaches[0]->Details.at(0).Code, "BCA");
        ExpectUnchanged(before, DatabaseFile());
        struct stat info {};
        ASSERT_EQ(::stat(DatabaseFile().c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, c.Mode);
        ::chmod(DatabaseFile().c_str(), 0644);
    }
}

// Runs in a process of its own that the test below starts as an ordinary user: the
// engine's threads and locks do not survive a fork, so the child starts afresh.
constexpr const char* ChildFolderVariable = "KANVIO_TEST_ORDINARY_USER_DELIVERY";

TEST(FirebirdOrdinaryUserChild, BuildsTheDelivery) {
    const char* folder = std::getenv(ChildFolderVariable);
    if (!folder)
        GTEST_SKIP() << "runs only when started by DeliveryOfAnOrdinaryUserKeepsItsBytes";
    SetProgramFolderForTesting(folder);
    RecordingDialogs dialogs;
    TKanvioDataModel model;
    TFirebirdDataTreeBuilder(std::string(folder) + "Kanvio.dat", dialogs).BuildDataTree(model);
    ASSERT_EQ(model.Reaches.size(), 1u);
    EXPECT_EQ(model.Reaches[0]->Details.at(0).Code, "BCA");
}

int BuildInFreshProcess(const std::filesystem::path& programFolder) {
    setenv(ChildFolderVariable, (programFolder.string() + "/").c_str(), 1);
    ::execl("/proc/self/exe", program_invocation_name,
            "--gtest_filter=FirebirdOrdinaryUserChild.BuildsTheDelivery", nullptr);
    return 251;
}

TEST_F(FirebirdTest, DeliveryOfAnOrdinaryUserKeepsItsBytes) {
    for (mode_t mode : {0644, 0444}) {
        SCOPED_TRACE(mode == 0644 ? "writable file" : "read-only file");
        generator::WriteDeliveryDatabase(DatabaseFile(), OneReach("BCA"));
        GiveToOrdinaryUser(env.root());
        ASSERT_EQ(::chmod(DatabaseFile().c_str(), mode), 0);
        const TFileState before = TFileState::Of(DatabaseFile());
        EXPECT_EQ(RunAsOrdinaryUser([&] { return BuildInFreshProcess(env.programFolder()); }), 0);
        ExpectUnchanged(before, DatabaseFile());
        ExpectNoCopyLeft();
        ::chmod(DatabaseFile().c_str(), 0644);
    }
}

TEST_F(FirebirdTest, PrivateCopyLivesInTheCacheFolderWhileInUse) {
    generator::WriteDeliveryDatabase(DatabaseFile(), OneReach("BCA"));
    std::string copyName;
    {
        const TPrivateDatabaseCopy copy(DatabaseFile());
        copyName = copy.FileName();
        EXPECT_THAT(copyName, StartsWith(CopyFolder().string() + "/"));
        EXPECT_TRUE(ReadFile(copyName) == ReadFile(DatabaseFile()));
        EXPECT_EQ(copy.Bytes(), std::filesystem::file_size(DatabaseFile()));
        EXPECT_EQ(std::filesystem::status(CopyFolder()).permissions() & std::filesystem::perms::all,
                  std::filesystem::perms::owner_all);
        EXPECT_EQ(std::filesystem::status(copyName).permissions() & std::filesystem::perms::all,
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
        // A copy in use is no leftover, not even for a clean-up in the same process.
        EXPECT_EQ(RemoveLeftoverDatabaseCopies(CopyFolder().string() + "/"), 0);
        EXPECT_TRUE(std::filesystem::exists(copyName));
    }
    EXPECT_FALSE(std::filesystem::exists(copyName));
    ExpectNoCopyLeft();

    Build(DatabaseFile());
    EXPECT_THAT(LogText(), HasSubstr(" [DEBUG] db file: " + DatabaseFile() + "\r\n"));
    EXPECT_THAT(LogText(),
                HasSubstr(" [DEBUG] reading a private copy: " + CopyFolder().string() + "/"));
    ExpectNoCopyLeft();
}

// A run that makes a private copy in a child process, reports its name and then either
// dies at once (a crash) or lives until it is killed.
class CopyingRun {
public:
    CopyingRun(const std::string& source, bool crash) {
        int toParent[2];
        if (::pipe(toParent) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(toParent[0]);
            auto* copy = new TPrivateDatabaseCopy(source); // never destroyed: the run ends
            const std::string name = copy->FileName() + "\n";
            if (::write(toParent[1], name.data(), name.size()) < 0)
                ::_exit(1);
            if (crash)
                ::kill(::getpid(), SIGKILL);
            for (;;)
                ::pause();
        }
        ::close(toParent[1]);
        char buffer[4096];
        ssize_t got = 0;
        while ((got = ::read(toParent[0], buffer, sizeof buffer)) > 0)
            if (fileName_.append(buffer, static_cast<size_t>(got)).back() == '\n')
                break;
        ::close(toParent[0]);
        if (!fileName_.empty())
            fileName_.pop_back();
        if (crash)
            Reap();
    }
    ~CopyingRun() { Kill(); }
    CopyingRun(const CopyingRun&) = delete;
    CopyingRun& operator=(const CopyingRun&) = delete;

    void Kill() {
        if (pid_ > 0)
            ::kill(pid_, SIGKILL);
        Reap();
    }
    const std::string& FileName() const { return fileName_; }

private:
    void Reap() {
        if (pid_ > 0)
            ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    pid_t pid_ = -1;
    std::string fileName_;
};

TEST_F(FirebirdTest, CopiesOfEndedRunsAreRemovedAtTheNextStart) {
    generator::WriteDeliveryDatabase(DatabaseFile(), OneReach("BCA"));
    // Every copy clears away what ended before it: the crash comes last.
    CopyingRun running(DatabaseFile(), false);
    CopyingRun crashed(DatabaseFile(), true);
    ASSERT_FALSE(crashed.FileName().empty());
    ASSERT_FALSE(running.FileName().empty());
    EXPECT_TRUE(std::filesystem::exists(crashed.FileName()));
    // A copy whose run ended while removing it: its lock file is gone already.
    const std::string halfRemoved = CopyFolder().string() + "/db-000000.fdb";
    WriteFile(halfRemoved, "x");

    EXPECT_EQ(Build(DatabaseFile()).Reaches.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(crashed.FileName()));
    EXPECT_FALSE(std::filesystem::exists(halfRemoved));
    EXPECT_TRUE(std::filesystem::exists(running.FileName()));

    running.Kill();
    EXPECT_EQ(Build(DatabaseFile()).Reaches.size(), 1u);
    ExpectNoCopyLeft();
}

TEST_F(FirebirdTest, DeliveryThatIsNoFile) {
    // A folder: there is no database.
    std::filesystem::create_directory(DatabaseFile());
    EXPECT_TRUE(Build(DatabaseFile()).Reaches.empty());
    EXPECT_THAT(LogText(), HasSubstr(" [FATAL] No database file\r\n"));
    std::filesystem::remove(DatabaseFile());

    // A pipe would never end: refused at once, naming the file.
    ASSERT_EQ(::mkfifo(DatabaseFile().c_str(), 0644), 0);
    try {
        Build(DatabaseFile());
        ADD_FAILURE() << "no error";
    } catch (const EInOutError& error) {
        EXPECT_EQ(error.fileName(), DatabaseFile());
        EXPECT_THAT(error.what(), HasSubstr("is not a regular file"));
    }
    EXPECT_THAT(LogText(), HasSubstr(" [DEBUG] Error during copying: " + std::to_string(EINVAL)));
}

TEST_F(FirebirdTest, CopyFolderOfThisUserAlone) {
    const auto runtime = env.root() / "runtime";
    std::filesystem::create_directory(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    const ScopedEnvironment runtimeVariable("XDG_RUNTIME_DIR", runtime.string());
    const ScopedEnvironment home("HOME", (env.root() / "home").string());

    EXPECT_EQ(DatabaseCopyFolder(), CopyFolder().string() + "/");
    {
        // Relative names do not count: the home folder's cache serves.
        const ScopedEnvironment relative("XDG_CACHE_HOME", "cache");
        EXPECT_EQ(DatabaseCopyFolder(), (env.root() / "home/.cache/kanvio/").string());
    }
    // A link laid where our folder belongs is not followed: the runtime folder serves.
    const auto elsewhere = env.root() / "elsewhere";
    std::filesystem::create_directory(elsewhere);
    std::filesystem::remove_all(CopyFolder());
    std::filesystem::create_directory_symlink(elsewhere, CopyFolder());
    EXPECT_EQ(DatabaseCopyFolder(), (runtime / "kanvio/").string());
    generator::WriteDeliveryDatabase(DatabaseFile(), OneReach("BCA"));
    EXPECT_EQ(Build(DatabaseFile()).Reaches.size(), 1u);
    EXPECT_TRUE(FilesIn(elsewhere).empty());
    EXPECT_THAT(LogText(), HasSubstr("reading a private copy: " + (runtime / "kanvio/").string()));

    // Neither can be used: the temporary folder's private folder.
    const ScopedEnvironment noRuntime("XDG_RUNTIME_DIR", (env.root() / "missing").string());
    EXPECT_EQ(DatabaseCopyFolder(), FirebirdPrivateFolder());
    // And when that is no folder of ours either, the error names the folders.
    const auto temporary = TempFolder() / ("kanvio-" + std::to_string(::geteuid()));
    std::filesystem::remove_all(temporary);
    std::filesystem::create_directory_symlink(elsewhere, temporary);
    try {
        DatabaseCopyFolder();
        ADD_FAILURE() << "no error";
    } catch (const EInOutError& error) {
        EXPECT_THAT(error.what(), HasSubstr(CopyFolder().string()));
        EXPECT_THAT(error.what(), HasSubstr(temporary.string()));
    }
    EXPECT_THROW(Build(DatabaseFile()), EInOutError);
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
    ExpectNoCopyLeft();
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
