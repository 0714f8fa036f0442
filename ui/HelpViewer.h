#pragma once

// Shows a local HTML document: in the program the desktop associates with it where there
// is one, otherwise in a window of the program's own. A desktop without any program for
// HTML files (no browser installed) is common on inspection vehicles' computers.

#include <QObject>
#include <QPointer>
#include <QString>

class QTextBrowser;

namespace kanvio {

class THelpViewer final : public QObject {
    Q_OBJECT
public:
    explicit THelpViewer(QObject* parent = nullptr);
    ~THelpViewer() override;

    void Show(const QString& fileName);

    // The program's own window, null until the desktop could not show a document.
    QTextBrowser* OwnWindow() const;

private:
    void LaunchDesktopHandler(const QString& launcher, const QString& fileName);
    void ShowInOwnWindow(const QString& fileName);

    QPointer<QTextBrowser> window_;
};

} // namespace kanvio
