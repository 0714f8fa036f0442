// The delivery's folder beside the program folder: the command line's option, the folder
// check with its message, the language a delivery without one gets, and where the program
// looks for the delivery's files in either layout.

#include "foundation/DeliveryFolder.h"

#include "foundation/KanvioToolkit.h"
#include "foundation/LangManager.h"
#include "tests/support/IsolatedEnvironment.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>

namespace kanvio {
namespace {

namespace fs = std::filesystem;
using Arguments = std::vector<std::string>;

TEST(DeliveryFolderOption, IsTakenOutAnywhereInTheCommandLine) {
    struct Case {
        const char* name;
        Arguments given;
        Arguments left;
        std::optional<std::string> folder;
        bool error;
    };
    const Case cases[] = {
        {"none", {"/H", "4711"}, {"/H", "4711"}, std::nullopt, false},
        {"first", {"--project", "/d", "--summary"}, {"--summary"}, "/d", false},
        {"last",
         {"--export-json", "x.json", "--project", "d"},
         {"--export-json", "x.json"},
         "d",
         false},
        {"with equals", {"--project=/a b", "/A", "12"}, {"/A", "12"}, "/a b", false},
        {"player alone", {"--project", "d"}, {}, "d", false},
        {"folder missing at end", {"--summary", "--project"}, {"--summary"}, std::nullopt, true},
        {"empty after equals", {"--project=", "--summary"}, {"--summary"}, std::nullopt, true},
        {"twice", {"--project", "a", "--project", "b"}, {}, "a", true},
        {"similar option stays", {"--projects", "a"}, {"--projects", "a"}, std::nullopt, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Arguments arguments = c.given;
        const TProjectOption option = TakeProjectOption(arguments);
        EXPECT_EQ(arguments, c.left);
        EXPECT_EQ(option.Folder, c.folder);
        EXPECT_EQ(!option.Error.empty(), c.error) << option.Error;
    }
}

TEST(DeliveryFolderLanguage, LocaleNamesGiveGermanOrEnglish) {
    const std::pair<const char*, const char*> cases[] = {
        {"de_DE.UTF-8", "de"}, {"de_AT", "de"},       {"de", "de"},
        {"de@euro", "de"},     {"en_GB.UTF-8", "en"}, {"fr_FR", "en"},
        {"C", "en"},           {"POSIX", "en"},       {"", "en"},
        {"deu", "en"},         {"C.UTF-8", "en"},     {"dE_DE", "en"},
    };
    for (const auto& [locale, language] : cases)
        EXPECT_EQ(LanguageOfLocale(locale), language) << locale;
}

class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            previous_ = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnvironment() { previous_ ? ::setenv(name_, previous_->c_str(), 1) : ::unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> previous_;
};

TEST(DeliveryFolderLanguage, FirstSetLocaleVariableDecides) {
    struct Case {
        const char* all;
        const char* messages;
        const char* lang;
        const char* expected;
    };
    const Case cases[] = {
        {nullptr, nullptr, "de_DE.UTF-8", "de"}, {nullptr, "en_US", "de_DE", "en"},
        {"de_CH", "en_US", "en_US", "de"},       {"", "de_DE", "en_US", "de"},
        {nullptr, nullptr, nullptr, "en"},
    };
    for (const Case& c : cases) {
        ScopedEnvironment all("LC_ALL", c.all);
        ScopedEnvironment messages("LC_MESSAGES", c.messages);
        ScopedEnvironment lang("LANG", c.lang);
        EXPECT_EQ(UserLanguage(), c.expected)
            << (c.all ? c.all : "-") << ' ' << (c.messages ? c.messages : "-") << ' '
            << (c.lang ? c.lang : "-");
    }
}

class DeliveryFolderTest : public test::IsolatedTest {};

TEST_F(DeliveryFolderTest, CheckNamesTheFolderAndWhatWasLookedFor) {
    const fs::path empty = env.root() / "empty";
    fs::create_directories(empty);
    const fs::path plainFile = test::WriteFile(env.root() / "file.ini", "[DATA]\n");
    EXPECT_EQ(CheckDeliveryFolder(""), "no delivery folder given");
    const std::string missing = CheckDeliveryFolder((env.root() / "missing").string());
    EXPECT_NE(missing.find((env.root() / "missing").string()), std::string::npos) << missing;
    EXPECT_NE(missing.find("no such folder"), std::string::npos) << missing;
    EXPECT_NE(CheckDeliveryFolder(plainFile.string()).find("no such folder"), std::string::npos);
    const std::string nothing = CheckDeliveryFolder(empty.string());
    for (const char* wanted : {"Kanvio.ini", "Quorvi.ini", "Kanvio.dat", "empty"})
        EXPECT_NE(nothing.find(wanted), std::string::npos) << nothing;

    // Any one of the files makes a delivery, in whatever letter case it arrived.
    for (const char* marker : {"KANVIO.INI", "quorvi.ini", "Kanvio.dat"}) {
        const fs::path folder = env.root() / (std::string("with-") + marker);
        fs::create_directories(folder);
        test::WriteFile(folder / marker, "");
        EXPECT_EQ(CheckDeliveryFolder(folder.string()), "") << marker;
    }
    // A folder of that name is no settings file.
    const fs::path decoy = env.root() / "decoy";
    fs::create_directories(decoy / "Kanvio.ini");
    EXPECT_NE(CheckDeliveryFolder(decoy.string()), "");
}

TEST_F(DeliveryFolderTest, MediumLayoutKeepsTheProgramFolderAndWorkingDirectory) {
    EXPECT_FALSE(HasChosenProjectFolder());
    EXPECT_EQ(GetProjectFolder(), GetProgramFolder());
    EXPECT_EQ(ProjectSettingsFolder(), "./");
    EXPECT_EQ(InProjectFolder("film01.mpg"), "film01.mpg");
    EXPECT_EQ(DefaultLanguage(), "de");
}

TEST_F(DeliveryFolderTest, ChosenFolderIsMadeAbsoluteAndHoldsRelativeNames) {
    const fs::path delivery = env.root() / "delivery";
    fs::create_directories(delivery / "films");
    test::ScopedCurrentDirectory here(env.root());
    SetProjectFolder("./delivery/films/..");
    const std::string folder = delivery.string() + "/";
    EXPECT_TRUE(HasChosenProjectFolder());
    EXPECT_EQ(GetProjectFolder(), folder);
    EXPECT_EQ(ProjectSettingsFolder(), folder);
    EXPECT_EQ(InProjectFolder("films/film01.mpg"), folder + "films/film01.mpg");
    EXPECT_EQ(InProjectFolder("/elsewhere/film.mpg"), "/elsewhere/film.mpg");
    EXPECT_EQ(InProjectFolder(""), "");
    // The program's own files stay where the program is.
    EXPECT_EQ(GetProgramFolder(), env.programFolder().string() + "/");
    SetProjectFolder({});
    EXPECT_FALSE(HasChosenProjectFolder());
    EXPECT_EQ(GetProjectFolder(), GetProgramFolder());
}

// The delivery's language wins; without one the medium speaks German and a chosen delivery
// the user's language. The texts come from the program folder in every case.
TEST_F(DeliveryFolderTest, LanguageComesFromTheDeliveryElseTheLayoutsDefault) {
    test::WriteFile(env.programFolder() / "de" / "lang_kanvio_de.ini", "[Messages]\n_Close=Zu\n");
    test::WriteFile(env.programFolder() / "en" / "lang_kanvio_en.ini", "[Messages]\n_Close=Shut\n");
    const fs::path delivery = env.root() / "delivery";
    fs::create_directories(delivery);
    ScopedEnvironment all("LC_ALL", nullptr);
    ScopedEnvironment messages("LC_MESSAGES", nullptr);
    ScopedEnvironment lang("LANG", "en_IE.UTF-8");
    struct Case {
        const char* name;
        bool chosen;
        const char* settings; // nullptr: no settings file at all
        const char* text;
    };
    const Case cases[] = {
        {"medium without key", false, "[DATA]\n", "Zu"},
        {"medium without file", false, nullptr, "Zu"},
        {"medium naming English", false, "[Common]\nlanguage=en\n", "Shut"},
        {"chosen without key", true, "[DATA]\n", "Shut"},
        {"chosen without file", true, nullptr, "Shut"},
        {"chosen naming German", true, "[common]\nLanguage=de\n", "Zu"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path folder = c.chosen ? delivery : env.programFolder();
        fs::remove(folder / "Kanvio.ini");
        if (c.settings != nullptr)
            test::WriteFile(folder / "Kanvio.ini", c.settings);
        SetProjectFolder(c.chosen ? delivery.string() : std::string());
        LangScope scope;
        EXPECT_EQ(scope.Text("_Close"), c.text);
        EXPECT_EQ(fs::path(scope->FileName()).parent_path().parent_path(), env.programFolder());
    }
    // Before any delivery is known, a text of a language asked for by its code.
    EXPECT_EQ(LanguageText("de", "_Close"), "Zu");
    EXPECT_EQ(LanguageText("en", "_Close"), "Shut");
    EXPECT_EQ(LanguageText("en", "_Missing"), "_Missing");
    EXPECT_EQ(LanguageText("xx", "_Close"), "_Close");
}

} // namespace
} // namespace kanvio
