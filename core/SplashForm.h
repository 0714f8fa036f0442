#pragma once

// The window shown while the program starts: a picture, the program's short title with
// its version and a request to wait. It stays above the program's other windows.

#include <QPointer>
#include <QWidget>

class QLabel;

namespace kanvio {

class TSplashForm final : public QWidget {
    Q_OBJECT
public:
    explicit TSplashForm(QWidget* parent = nullptr);

    // Shows the window and returns once its contents are on the screen: the start that
    // follows keeps the event loop busy for seconds, and a window mapped but not yet
    // painted stays an empty box all that time.
    void ShowPainted();

    QLabel* imgSplash() const { return imgSplash_; }
    QLabel* lbTitle() const { return lbTitle_; }
    QLabel* lbWait() const { return lbWait_; }

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void ApplyTexts();
    // Widens the window for long texts and centres both labels.
    void ArrangeControls();

    QLabel* imgSplash_;
    QLabel* lbTitle_;
    QLabel* lbWait_;
};

// Hides the start-up window and frees it once control is back in the event loop (it may
// be closed from inside a handler of the starting windows); splash is null afterwards.
void DismissSplash(QPointer<QWidget>& splash);

} // namespace kanvio
