#include "foundation/TextWidths.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOption>
#include <QTextDocumentFragment>
#include <QToolButton>
#include <algorithm>
#include <vector>

namespace kanvio {

namespace {

// What QLineEdit keeps free beside its text, and the cursor it always leaves room for.
constexpr int kLineEditTextMargin = 2;
constexpr int kLineEditCursorRoom = 2;

// The width of a one-line text with its mnemonic ampersands as they show.
int MnemonicTextWidth(const QFontMetrics& metrics, const QString& text) {
    return metrics.size(Qt::TextShowMnemonic, text).width();
}

int WidestPart(const QFontMetrics& metrics, const QString& text, bool byWords) {
    const QStringList parts = byWords ? text.split(QRegularExpression(QStringLiteral("\\s+")))
                                      : text.split(QLatin1Char('\n'));
    int widest = 0;
    for (const QString& part : parts) {
        widest = std::max(widest, metrics.horizontalAdvance(part));
    }
    return widest;
}

bool ShowsRichText(const QLabel& label) {
    return label.textFormat() == Qt::RichText ||
           (label.textFormat() == Qt::AutoText && Qt::mightBeRichText(label.text()));
}

bool ShowsIconOnly(const QToolButton& button) {
    const Qt::ToolButtonStyle style =
        button.toolButtonStyle() == Qt::ToolButtonFollowStyle
            ? Qt::ToolButtonStyle(button.style()->styleHint(QStyle::SH_ToolButtonStyle))
            : button.toolButtonStyle();
    return style == Qt::ToolButtonIconOnly && !button.icon().isNull();
}

int LabelWidth(const QLabel& label, const QString& text) {
    const QFontMetrics metrics = label.fontMetrics();
    int indent = label.indent();
    if (indent < 0) {
        indent = label.frameWidth() > 0 ? metrics.horizontalAdvance(QLatin1Char('x')) / 2 : 0;
    }
    const int around = label.width() - label.contentsRect().width() + 2 * label.margin() + indent;
    const int textWidth = label.buddy() != nullptr ? MnemonicTextWidth(metrics, text)
                                                   : WidestPart(metrics, text, label.wordWrap());
    return textWidth + around;
}

int PushButtonWidth(const QPushButton& button, const QString& text) {
    const QStyle* style = button.style();
    QStyleOptionButton option;
    option.initFrom(&button);
    int contents = MnemonicTextWidth(button.fontMetrics(), text);
    if (!button.icon().isNull()) {
        contents += button.iconSize().width() + 4;
    }
    // The frame and margin the style draws; not the style's least width of a button, which
    // says nothing about the text.
    int needed = contents + style->pixelMetric(QStyle::PM_ButtonMargin, &option, &button) +
                 2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &button);
    if (button.autoDefault() || button.isDefault()) {
        needed += 2 * style->pixelMetric(QStyle::PM_ButtonDefaultIndicator, &option, &button);
    }
    return needed;
}

int IndicatorButtonWidth(const QAbstractButton& button, const QString& text,
                         QStyle::ContentsType type) {
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = text;
    const QFontMetrics metrics = button.fontMetrics();
    const QSize contents(MnemonicTextWidth(metrics, text), metrics.height());
    return button.style()->sizeFromContents(type, &option, contents, &button).width();
}

int ToolButtonWidth(const QToolButton& button, const QString& text) {
    QStyleOptionToolButton option;
    option.initFrom(&button);
    option.text = text;
    option.toolButtonStyle = button.toolButtonStyle();
    const QFontMetrics metrics = button.fontMetrics();
    int contents = MnemonicTextWidth(metrics, text);
    if (!button.icon().isNull() && button.toolButtonStyle() == Qt::ToolButtonTextBesideIcon) {
        contents += button.iconSize().width() + 4;
    } else if (!button.icon().isNull() && button.toolButtonStyle() == Qt::ToolButtonTextUnderIcon) {
        contents = std::max(contents, button.iconSize().width());
    }
    const QSize size(contents, metrics.height());
    return button.style()->sizeFromContents(QStyle::CT_ToolButton, &option, size, &button).width();
}

int LineEditWidth(const QLineEdit& edit, const QString& text) {
    QStyleOptionFrame option;
    option.initFrom(&edit);
    option.lineWidth = edit.hasFrame()
                           ? edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &edit)
                           : 0;
    option.state |= QStyle::State_Sunken;
    const QRect contents = edit.style()
                               ->subElementRect(QStyle::SE_LineEditContents, &option, &edit)
                               .marginsRemoved(edit.textMargins());
    const int around = edit.width() - contents.width() + 2 * kLineEditTextMargin;
    return edit.fontMetrics().horizontalAdvance(text) + kLineEditCursorRoom + around;
}

int ComboBoxWidth(const QComboBox& combo, const QString& text) {
    QStyleOptionComboBox option;
    option.initFrom(&combo);
    option.editable = combo.isEditable();
    option.frame = combo.hasFrame();
    option.currentText = text;
    const QFontMetrics metrics = combo.fontMetrics();
    int contents = metrics.horizontalAdvance(text);
    if (!combo.itemIcon(combo.currentIndex()).isNull()) {
        contents += combo.iconSize().width() + 4;
    }
    if (combo.isEditable()) {
        // The editor inside keeps its margins and the cursor's room.
        contents += 2 * kLineEditTextMargin + kLineEditCursorRoom;
    }
    return combo.style()
        ->sizeFromContents(QStyle::CT_ComboBox, &option, QSize(contents, metrics.height()), &combo)
        .width();
}

int GroupBoxWidth(const QGroupBox& group, const QString& text) {
    QStyleOptionGroupBox option;
    option.initFrom(&group);
    option.text = text;
    option.lineWidth = 1;
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    if (group.isCheckable()) {
        option.subControls |= QStyle::SC_GroupBoxCheckBox;
    }
    option.textAlignment = group.alignment();
    const QRect label = group.style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                      QStyle::SC_GroupBoxLabel, &group);
    // The title keeps the same distance from both edges.
    return MnemonicTextWidth(group.fontMetrics(), text) + 2 * std::max(0, label.x());
}

} // namespace

QString ShownText(const QWidget& widget) {
    if (const auto* label = qobject_cast<const QLabel*>(&widget)) {
        return ShowsRichText(*label) ? QTextDocumentFragment::fromHtml(label->text()).toPlainText()
                                     : label->text();
    }
    if (const auto* tool = qobject_cast<const QToolButton*>(&widget)) {
        return ShowsIconOnly(*tool) ? QString() : tool->text();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(&widget)) {
        return button->text();
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(&widget)) {
        // An editable combo box shows its text through its own measure.
        const bool inCombo = qobject_cast<const QComboBox*>(edit->parentWidget()) != nullptr;
        return inCombo || edit->echoMode() != QLineEdit::Normal ? QString() : edit->text();
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(&widget)) {
        return combo->currentText();
    }
    if (const auto* group = qobject_cast<const QGroupBox*>(&widget)) {
        return group->title();
    }
    return {};
}

int NeededTextWidth(const QWidget& widget, const QString& text) {
    if (text.isEmpty()) {
        return 0;
    }
    if (const auto* label = qobject_cast<const QLabel*>(&widget)) {
        return LabelWidth(*label, text);
    }
    if (const auto* button = qobject_cast<const QPushButton*>(&widget)) {
        return PushButtonWidth(*button, text);
    }
    if (const auto* check = qobject_cast<const QCheckBox*>(&widget)) {
        return IndicatorButtonWidth(*check, text, QStyle::CT_CheckBox);
    }
    if (const auto* radio = qobject_cast<const QRadioButton*>(&widget)) {
        return IndicatorButtonWidth(*radio, text, QStyle::CT_RadioButton);
    }
    if (const auto* tool = qobject_cast<const QToolButton*>(&widget)) {
        return ToolButtonWidth(*tool, text);
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(&widget)) {
        return LineEditWidth(*edit, text);
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(&widget)) {
        return ComboBoxWidth(*combo, text);
    }
    if (const auto* group = qobject_cast<const QGroupBox*>(&widget)) {
        return GroupBoxWidth(*group, text);
    }
    return 0;
}

namespace {

int RightEdge(const std::vector<QWidget*>& controls) {
    int right = 0;
    for (const QWidget* control : controls) {
        right = std::max(right, control->x() + control->width());
    }
    return right;
}

} // namespace

int FitControlsToTexts(QWidget& container) {
    std::vector<QWidget*> controls;
    for (QObject* child : container.children()) {
        auto* control = qobject_cast<QWidget*>(child);
        if (control != nullptr && !control->isWindow()) {
            controls.push_back(control);
        }
    }
    // From left to right, so that each control moves before it is measured in its place.
    std::stable_sort(controls.begin(), controls.end(),
                     [](const QWidget* a, const QWidget* b) { return a->x() < b->x(); });
    const int oldRight = RightEdge(controls);
    for (QWidget* control : controls) {
        int grow = NeededTextWidth(*control) - control->width();
        if (qobject_cast<QGroupBox*>(control) != nullptr) {
            grow = std::max(grow, FitControlsToTexts(*control));
        }
        if (grow <= 0) {
            continue;
        }
        const int oldEdge = control->x() + control->width();
        control->resize(control->width() + grow, control->height());
        for (QWidget* other : controls) {
            if (other != control && other->x() >= oldEdge) {
                other->move(other->x() + grow, other->y());
            }
        }
    }
    return std::max(0, RightEdge(controls) - oldRight);
}

void FitWindowToTexts(QWidget& window) {
    const int growth = FitControlsToTexts(window);
    if (growth <= 0) {
        return;
    }
    const QSize size(window.width() + growth, window.height());
    if (window.minimumSize() == window.maximumSize()) {
        window.setFixedSize(size);
    } else {
        window.setMinimumWidth(std::max(window.minimumWidth(), size.width()));
        window.resize(size);
    }
}

} // namespace kanvio
