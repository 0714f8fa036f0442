#include "foundation/LangManager.h"

#include "foundation/KanvioToolkit.h"
#include "tests/support/IsolatedEnvironment.h"

#include <gtest/gtest.h>

namespace kanvio {
namespace {

using test::WriteFile;
namespace fs = std::filesystem;

class LangManagerTest : public test::IsolatedTest {
protected:
    void WriteSettings(const std::string& bytes) {
        WriteFile(env.programFolder() / "Kanvio.ini", bytes);
    }
    void WriteLanguage(const std::string& relative, const std::string& bytes) {
        WriteFile(env.programFolder() / relative, bytes);
    }
};

TEST_F(LangManagerTest, TextsComeFromTheMessagesSection) {
    WriteLanguage("lang_kanvio_de.ini", "[Messages]\n"
                                        "_Close=Schlie\xDF"
                                        "en\n"
                                        "_Empty=\n"
                                        "_Spaced= x \n"
                                        "[Other]\n"
                                        "_Reach=wrong section\n");
    LangScope lang;
    EXPECT_EQ(lang->LanguageCode(), "de");
    struct Case {
        const char* key;
        std::string text;
    };
    const Case cases[] = {
        {"_Close", "Schlie\xDF"
                   "en"},
        {"_close", "Schlie\xDF"
                   "en"},
        {"_Empty", "_Empty"}, // an empty text shows the key
        {"_Spaced", " x "},
        {"_Reach", "_Reach"}, // only "Messages" counts
        {"_Missing", "_Missing"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(lang.Text(c.key), c.text) << c.key;
    }
}

TEST_F(LangManagerTest, TheLanguageCodeChoosesTheFile) {
    struct Case {
        const char* name;
        std::string settings;
        std::vector<std::pair<std::string, std::string>> files;
        std::string expectedText;
        std::string expectedFile;
    };
    const Case cases[] = {
        {"sub-folder first",
         "[Common]\nlanguage=en\n",
         {{"en/lang_kanvio_en.ini", "[Messages]\n_Close=Close (sub)\n"},
          {"lang_kanvio_en.ini", "[Messages]\n_Close=Close (top)\n"}},
         "Close (sub)",
         "en/lang_kanvio_en.ini"},
        {"program folder next",
         "[common]\nLANGUAGE=en\n",
         {{"lang_kanvio_en.ini", "[Messages]\n_Close=Close (top)\n"}},
         "Close (top)",
         "lang_kanvio_en.ini"},
        {"letter case of the file ignored",
         "[Common]\nlanguage=fr\n",
         {{"FR/Lang_Kanvio_FR.INI", "[Messages]\n_Close=Fermer\n"}},
         "Fermer",
         "FR/Lang_Kanvio_FR.INI"},
        {"default de without settings",
         "",
         {{"lang_kanvio_de.ini", "[Messages]\n_Close=Schliessen\n"}},
         "Schliessen",
         "lang_kanvio_de.ini"},
        {"missing file gives keys", "[Common]\nlanguage=xx\n", {}, "_Close", "lang_kanvio_xx.ini"},
    };
    int run = 0;
    for (const auto& c : cases) {
        const fs::path folder = env.root() / ("medium" + std::to_string(run++));
        fs::create_directories(folder);
        SetProgramFolderForTesting(folder.string() + "/");
        if (!c.settings.empty()) {
            WriteFile(folder / "Kanvio.ini", c.settings);
        }
        for (const auto& [name, bytes] : c.files) {
            WriteFile(folder / name, bytes);
        }
        LangScope lang;
        EXPECT_EQ(lang.Text("_Close"), c.expectedText) << c.name;
        EXPECT_EQ(lang->FileName(), (folder / c.expectedFile).string()) << c.name;
    }
}

TEST_F(LangManagerTest, AnUnreadableLanguageFileShowsTheKeys) {
    fs::create_directories(env.programFolder() / "lang_kanvio_de.ini"); // a folder, not a file
    ::testing::internal::CaptureStderr();
    for (int window = 0; window < 3; ++window) {
        LangScope lang;
        EXPECT_EQ(lang.Text("_Close"), "_Close");
        EXPECT_EQ(lang.Text("_Play"), "_Play");
    }
    const std::string errors = ::testing::internal::GetCapturedStderr();
    const auto first = errors.find("lang_kanvio_de.ini");
    EXPECT_NE(first, std::string::npos) << errors;
    EXPECT_EQ(errors.find("lang_kanvio_de.ini", first + 1), std::string::npos) << "told twice";
}

TEST_F(LangManagerTest, TheFileIsLoadedAgainOnceNoInstanceLives) {
    WriteLanguage("lang_kanvio_de.ini", "[Messages]\n_Close=old\n");
    {
        LangScope outer;
        EXPECT_EQ(outer.Text("_Close"), "old");
        WriteLanguage("lang_kanvio_de.ini", "[Messages]\n_Close=new\n");
        LangScope inner; // shares the instance already loaded
        EXPECT_EQ(&*inner.operator->(), &*outer.operator->());
        EXPECT_EQ(inner.Text("_Close"), "old");
    }
    LangScope again;
    EXPECT_EQ(again.Text("_Close"), "new");
}

TEST_F(LangManagerTest, AnUnbalancedReleaseIsHarmless) {
    TLangMan::Release();
    LangScope lang;
    EXPECT_EQ(lang.Text("_Close"), "_Close");
}

TEST_F(LangManagerTest, DuplicateSectionsOfALanguageFileAreReadAsTheFirstAndKept) {
    const std::string bytes = "[Messages]\n_A=1\n[Messages]\n_A=2\n_B=3\n";
    WriteLanguage("lang_kanvio_de.ini", bytes);
    {
        LangScope lang;
        EXPECT_EQ(lang.Text("_A"), "1");
        EXPECT_EQ(lang.Text("_B"), "_B");
    }
    EXPECT_EQ(test::ReadFile(env.programFolder() / "lang_kanvio_de.ini"), bytes);
}

} // namespace
} // namespace kanvio
