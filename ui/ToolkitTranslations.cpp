#include "ui/ToolkitTranslations.h"

#include "foundation/Logging.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace kanvio {

bool InstallToolkitTranslations(QCoreApplication& application, const std::string& languageCode) {
    // One translator of ours at a time, found again by its name.
    const QString name = QStringLiteral("KanvioToolkitTranslations");
    if (auto* previous = application.findChild<QTranslator*>(name, Qt::FindDirectChildrenOnly)) {
        QCoreApplication::removeTranslator(previous);
        delete previous;
    }
    if (languageCode.empty()) {
        return false;
    }
    auto* translator = new QTranslator(&application);
    translator->setObjectName(name);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    const QLocale locale(QString::fromStdString(languageCode));
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        if (languageCode != "en") {
            LogLine("No toolkit translations for language " + languageCode + " in " +
                        folder.toStdString(),
                    LOG_DEBUG);
        }
        return false;
    }
    return true;
}

} // namespace kanvio
