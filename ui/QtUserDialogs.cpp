#include "ui/QtUserDialogs.h"

#include "foundation/AnsiText.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

namespace kanvio {

void TQtUserDialogs::ShowMessage(TMessageKind kind, const std::string& text) {
    const QString title = QApplication::applicationName();
    const QString message = AnsiToQString(text);
    switch (kind) {
    case TMessageKind::Information:
        QMessageBox::information(QApplication::activeWindow(), title, message);
        break;
    case TMessageKind::Warning:
        QMessageBox::warning(QApplication::activeWindow(), title, message);
        break;
    case TMessageKind::Error:
        QMessageBox::critical(QApplication::activeWindow(), title, message);
        break;
    }
}

bool TQtUserDialogs::AskYesNo(const std::string& text) {
    return QMessageBox::question(QApplication::activeWindow(), QApplication::applicationName(),
                                 AnsiToQString(text)) == QMessageBox::Yes;
}

std::optional<std::string> TQtUserDialogs::AskSaveFileName(const std::string& initialFolder,
                                                           const std::string& proposedName,
                                                           const std::string& filter) {
    const QString start = QString::fromStdString(initialFolder) + AnsiToQString(proposedName);
    const QString chosen = QFileDialog::getSaveFileName(QApplication::activeWindow(), QString(),
                                                        start, QString::fromStdString(filter));
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return chosen.toStdString();
}

std::optional<std::string> TQtUserDialogs::AskFolder(const std::string& initialFolder,
                                                     const std::string& title) {
    const QString chosen =
        QFileDialog::getExistingDirectory(QApplication::activeWindow(), AnsiToQString(title),
                                          QFile::decodeName(initialFolder.c_str()));
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return QFile::encodeName(chosen).toStdString();
}

} // namespace kanvio
