#pragma once

// A text dump of what every visible window shows, for finding texts that do not fit.
//
// For each visible widget that shows text in each visible top-level window, one line,
// tab-separated:
//     window  class  objectName  needed  available  text
// window is the top-level window's object name ("KanvioMainForm", "SteeringForm",
// "ScreenForm", "InspChoiceForm", "KanvioSingleForm", "CodecSettingsForm", ...), or its
// class name where it has none (a message box: "QMessageBox"). An item view writes a line
// for each column of each row whose parents are expanded, a header for each section.
// needed is the text's width in the widget's own font plus what the style draws around it;
// available the width the widget (or its column, section or menu item) actually gets.
// Menu bar and tool bar entries pushed behind the extension button get available 0. The
// file ends with a line "END". Tabs and line breaks inside texts are written as \t and \n.
//
// When the environment variable KANVIO_WIDGET_DUMP names a file, the program keeps that
// file up to date: it is rewritten (atomically) shortly after any window was shown,
// resized or laid out anew.

#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <vector>

class QWidget;

namespace kanvio {

struct TWidgetText {
    QString Window;
    QString Class;
    QString ObjectName;
    int Needed = 0;
    int Available = 0;
    QString Text;

    bool Clipped() const { return Needed > Available; }
};

// The texts of every visible widget of the visible top-level windows.
std::vector<TWidgetText> CollectWidgetTexts();
// The texts of one window and its visible children.
std::vector<TWidgetText> CollectWidgetTexts(const QWidget& window);
// The dump's lines, "END" last, each ending with a line break.
QString FormatWidgetTexts(const std::vector<TWidgetText>& texts);

class TWidgetTextDump final : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kEnvironmentVariable = "KANVIO_WIDGET_DUMP";
    static constexpr int kDelayMs = 300;

    // Watches the application's windows and writes the dump to path.
    explicit TWidgetTextDump(QString path, QObject* parent = nullptr);
    ~TWidgetTextDump() override;

    // A dump to the file the environment names, or null when it names none.
    static std::unique_ptr<TWidgetTextDump> FromEnvironment();

    const QString& Path() const { return path_; }
    // Writes the dump now; false (with a log line) when the file cannot be written.
    bool WriteNow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString path_;
    QTimer delay_;
};

} // namespace kanvio
