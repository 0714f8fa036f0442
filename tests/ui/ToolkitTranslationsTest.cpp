// The toolkit's dialogs in the program's language, from the translations the system has.

#include "ui/ToolkitTranslations.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QLibraryInfo>
#include <QPushButton>
#include <filesystem>
#include <gtest/gtest.h>

namespace kanvio::test {
namespace {

QString CancelText() {
    QDialogButtonBox box(QDialogButtonBox::Cancel);
    return box.button(QDialogButtonBox::Cancel)->text();
}

TEST(ToolkitTranslationsTest, ChosenLanguageReachesTheToolkitsDialogs) {
    const std::filesystem::path german =
        QLibraryInfo::path(QLibraryInfo::TranslationsPath).toStdString() + "/qtbase_de.qm";
    if (!std::filesystem::exists(german)) {
        GTEST_SKIP() << "Qt's translations are not installed (qt6-translations-l10n)";
    }
    auto& application = *QCoreApplication::instance();
    const QString english = CancelText();
    ASSERT_TRUE(InstallToolkitTranslations(application, "de"));
    EXPECT_EQ(CancelText(), "Abbrechen");
    // Another choice replaces the German texts; a language without translations leaves
    // the toolkit's own English.
    EXPECT_FALSE(InstallToolkitTranslations(application, "xx"));
    EXPECT_EQ(CancelText(), english);
    EXPECT_TRUE(InstallToolkitTranslations(application, "de"));
    EXPECT_FALSE(InstallToolkitTranslations(application, ""));
    EXPECT_EQ(CancelText(), english);
}

} // namespace
} // namespace kanvio::test
