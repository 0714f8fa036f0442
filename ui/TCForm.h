#pragma once

// TTCForm: the small dialog in which the user enters the time correction of the current
// observation, in seconds. A line above the controls names the observation and the film
// the correction is filed under; when no film shows the observation's time it says so
// and nothing can be entered. It is shown without waiting; when it hides, the handler
// learns whether the user confirmed it with OK.

#include "core/ContextInterfaces.h"
#include "ui/BaseRescalableForm.h"

#include <QPointer>
#include <cstdint>
#include <functional>

class QLabel;
class QPushButton;
class QSpinBox;

namespace kanvio {

class TTCForm final : public TBaseRescalableForm {
    Q_OBJECT
public:
    using TClosedHandler = std::function<void(bool confirmed, int32_t seconds)>;

    explicit TTCForm(TClosedHandler onHide, QWidget* parent = nullptr);

    int32_t getTCValue() const;
    void setTCValue(int32_t seconds);
    // Shows what the correction is for, and its value there.
    void SetSubject(const TTimeCorrectionSubject& subject);
    // The line naming the observation and the film.
    QString SubjectText() const;
    // 1 after OK, 0 while open or after closing through the title bar.
    int Tag() const { return tag_; }
    // No report on hiding any more.
    void DropHandler() { onHide_ = nullptr; }

    QLabel* lbSubject() const { return lbSubject_; }
    QSpinBox* TC() const { return tc_; }
    QPushButton* btOK() const { return btOK_; }

protected:
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void btOKClick();

    QLabel* lbSubject_;
    QLabel* lbCorr_;
    QSpinBox* tc_;
    QLabel* lbSec_;
    QPushButton* btOK_;
    TClosedHandler onHide_;
    int tag_ = 0;
    bool reported_ = false;
    bool storable_ = true;
};

// Opens a new TTCForm for each request and keeps the latest.
class TTimeCorrectionDialogs final : public ITimeCorrectionUi {
public:
    TTimeCorrectionDialogs() = default;
    // A dialog still open goes without reporting: whoever asked may be gone.
    ~TTimeCorrectionDialogs() override;
    TTimeCorrectionDialogs(const TTimeCorrectionDialogs&) = delete;
    TTimeCorrectionDialogs& operator=(const TTimeCorrectionDialogs&) = delete;

    void ShowTimeCorrection(const TTimeCorrectionSubject& subject,
                            std::function<void(bool confirmed, int32_t seconds)> closed) override;
    TTCForm* TimeCorrectionForm() const { return form_; }

private:
    QPointer<TTCForm> form_;
};

} // namespace kanvio
