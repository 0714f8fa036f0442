#include "video/CodecSettingsForm.h"

#include "foundation/AnsiText.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/LangManager.h"
#include "foundation/TextWidths.h"
#include "foundation/UserDialogs.h"
#include "video/CodecSettings.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QStyledItemDelegate>
#include <algorithm>

namespace kanvio {

namespace {

constexpr int kItemHeight = 15;
constexpr int kListWidth = 185;
constexpr int kListGap = 10;
const char* const kFormatKeys[3] = {"_MPEG1", "_MPEG2", "_MPEG4"};
const char* const kListNames[3] = {"lsbMPEG1", "lsbMPEG2", "lsbMPEG4"};
const char* const kButtonKeys[3] = {"_Up", "_Down", "_Remove"};
const char* const kButtonPrefixes[3] = {"bUp", "bDown", "bDelete"};
const char kListSuffixes[3] = {'1', '2', '4'};
const QColor kCurrentFormatTint(240, 240, 144);
constexpr int kEntryRole = Qt::UserRole;

// Draws only the decoder's name: the class identifier means nothing to the user.
class TDecoderItemDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const bool selected = option.state & QStyle::State_Selected;
        const QPalette& colours = option.palette;
        painter->fillRect(option.rect, selected ? colours.highlight() : colours.base());
        painter->setPen(selected ? colours.highlightedText().color() : colours.text().color());
        const QRect text = option.rect.adjusted(2, 1, 0, 0);
        painter->drawText(text, Qt::AlignLeft | Qt::AlignTop, index.data().toString());
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), kItemHeight};
    }
};

int FormatIndexOf(TMovieFormat format) {
    switch (format) {
    case TMovieFormat::MPEG1:
        return 0;
    case TMovieFormat::MPEG2:
        return 1;
    case TMovieFormat::MPEG4:
        return 2;
    default:
        return -1;
    }
}

std::vector<std::string>& ListOfIndex(TFilterLists& lists, int index) {
    return index == 0 ? lists.MPEG1 : index == 1 ? lists.MPEG2 : lists.MPEG4;
}

const std::vector<std::string>& ListOfIndex(const TFilterLists& lists, int index) {
    return index == 0 ? lists.MPEG1 : index == 1 ? lists.MPEG2 : lists.MPEG4;
}

} // namespace

TCodecSettingsForm::TCodecSettingsForm(int32_t filterStrategy, int32_t rendererMode,
                                       IUserDialogs& dialogs, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      dialogs_(dialogs), filterStrategy_(filterStrategy), rendererMode_(rendererMode) {
    setObjectName("CodecSettingsForm");
    setFixedSize(kClientWidth, kClientHeight);
    CreateControls();
    ApplyTexts();
    // The design sizes are the least: a wider font widens what its texts need.
    FitWindowToTexts(*this);
    AlignAfterFit();
    // A stored choice outside the items leaves the group without a checked item.
    if (filterStrategy >= 0 && filterStrategy < 3) {
        strategyItems_[size_t(filterStrategy)]->setChecked(true);
    }
    if (rendererMode >= 0 && rendererMode < 2) {
        rendererItems_[size_t(rendererMode)]->setChecked(true);
    }
}

void TCodecSettingsForm::CreateControls() {
    gbxCodecPriorities_ = new QGroupBox(this);
    gbxCodecPriorities_->setObjectName("gbxCodecPriorities");
    gbxCodecPriorities_->setGeometry(8, 8, kClientWidth - 16, 250);
    auto* delegate = new TDecoderItemDelegate(this);
    for (int list = 0; list < 3; ++list) {
        const int left = 10 + list * (kListWidth + kListGap);
        QLabel* label = new QLabel(gbxCodecPriorities_);
        label->setObjectName(QStringLiteral("lblMPEG%1").arg(kListSuffixes[list]));
        label->setGeometry(left, 20, kListWidth, 16);
        labels_[size_t(list)] = label;
        auto* box = new QListWidget(gbxCodecPriorities_);
        box->setObjectName(kListNames[list]);
        box->setGeometry(left, 38, kListWidth, 170);
        box->setItemDelegate(delegate);
        box->setAutoFillBackground(true);
        lists_[size_t(list)] = box;
        constexpr int buttonWidth = (kListWidth - 4) / 3;
        for (int button = 0; button < 3; ++button) {
            auto* push = new QPushButton(gbxCodecPriorities_);
            push->setObjectName(
                QStringLiteral("%1%2").arg(kButtonPrefixes[button]).arg(kListSuffixes[list]));
            push->setGeometry(left + button * (buttonWidth + 2), 214, buttonWidth, 25);
            listButtons_[size_t(list)][size_t(button)] = push;
        }
        connect(listButtons_[size_t(list)][0], &QPushButton::clicked, this,
                [this, list] { UpClick(list); });
        connect(listButtons_[size_t(list)][1], &QPushButton::clicked, this,
                [this, list] { DownClick(list); });
        connect(listButtons_[size_t(list)][2], &QPushButton::clicked, this,
                [this, list] { RemoveClick(list); });
    }

    strategyBox_ = new QGroupBox(this);
    strategyBox_->setObjectName("rgCodecStrategy");
    strategyBox_->setGeometry(8, 264, 240, 97);
    strategyGroup_ = new QButtonGroup(this);
    for (int item = 0; item < 3; ++item) {
        strategyItems_[size_t(item)] = new QRadioButton(strategyBox_);
        strategyItems_[size_t(item)]->setGeometry(10, 20 + item * 24, 220, 20);
        strategyGroup_->addButton(strategyItems_[size_t(item)], item);
    }
    rendererBox_ = new QGroupBox(this);
    rendererBox_->setObjectName("rgVideoRendererMode");
    rendererBox_->setGeometry(256, 264, 200, 97);
    rendererGroup_ = new QButtonGroup(this);
    for (int item = 0; item < 2; ++item) {
        rendererItems_[size_t(item)] = new QRadioButton(rendererBox_);
        rendererItems_[size_t(item)]->setGeometry(10, 20 + item * 24, 180, 20);
        rendererGroup_->addButton(rendererItems_[size_t(item)], item);
    }

    const auto addButton = [this](const char* name, int top) {
        auto* button = new QPushButton(this);
        button->setObjectName(name);
        button->setGeometry(kClientWidth - 8 - 137, top, 137, 22);
        return button;
    };
    btnReload_ = addButton("btnReload", 268);
    btnClear_ = addButton("btnClear", 292);
    btnSave_ = addButton("btnSave", 316);
    btnCancel_ = addButton("btnCancel", 340);
    btnSave_->setDefault(true);
    connect(btnReload_, &QPushButton::clicked, this, [this] { btnReloadClick(); });
    connect(btnClear_, &QPushButton::clicked, this, [this] { btnClearClick(); });
    connect(btnSave_, &QPushButton::clicked, this, [this] { btnSaveClick(); });
    connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void TCodecSettingsForm::ApplyTexts() {
    LangScope lang;
    const auto text = [&lang](const char* key) {
        return AnsiToQString(lang.Text(key));
    };
    setWindowTitle(text("_CodecSettings"));
    gbxCodecPriorities_->setTitle(text("_CodecPriorities") + (IsUserAdministrator()
                                                                  ? QStringLiteral(" (Admin)")
                                                                  : QStringLiteral(" (User)")));
    for (int list = 0; list < 3; ++list) {
        labels_[size_t(list)]->setText(text(kFormatKeys[list]) + QStringLiteral(":"));
        for (int button = 0; button < 3; ++button) {
            listButtons_[size_t(list)][size_t(button)]->setText(text(kButtonKeys[button]));
        }
    }
    strategyBox_->setTitle(text("_CodecLoadingStrategy"));
    strategyItems_[0]->setText(text("_System"));
    strategyItems_[1]->setText(text("_Predefined"));
    strategyItems_[2]->setText(text("_Priorities"));
    rendererBox_->setTitle(text("_VideoRendererMode"));
    rendererItems_[0]->setText(text("_VMR"));
    rendererItems_[1]->setText(text("_Normal"));
    btnSave_->setText(text("_Save"));
    btnCancel_->setText(text("_Cancel"));
    btnReload_->setText(text("_Reload"));
    btnClear_->setText(text("_Clear"));
    restartNote_ = lang.Text("_ChangesWillBePerformedAfterRestart");
}

void TCodecSettingsForm::ShowList(int list, const std::vector<std::string>& entries, int selected) {
    QListWidget* box = lists_[size_t(list)];
    box->clear();
    for (const std::string& entry : entries) {
        auto* item = new QListWidgetItem(AnsiToQString(DecoderEntryName(entry)), box);
        item->setData(kEntryRole, QByteArray::fromStdString(entry));
    }
    box->setCurrentRow(selected);
}

std::vector<std::string> TCodecSettingsForm::Entries(int list) const {
    std::vector<std::string> entries;
    const QListWidget* box = lists_[size_t(list)];
    entries.reserve(size_t(box->count()));
    for (int row = 0; row < box->count(); ++row) {
        entries.push_back(box->item(row)->data(kEntryRole).toByteArray().toStdString());
    }
    return entries;
}

void TCodecSettingsForm::SetLists(const TFilterLists& lists) {
    for (int list = 0; list < 3; ++list) {
        ShowList(list, ListOfIndex(lists, list), -1);
    }
    if (AllListsEmpty(lists)) {
        btnReloadClick();
    }
}

TFilterLists TCodecSettingsForm::GetLists() const {
    TFilterLists lists;
    for (int list = 0; list < 3; ++list) {
        ListOfIndex(lists, list) = Entries(list);
    }
    return lists;
}

void TCodecSettingsForm::MarkCurrentFormat(TMovieFormat format) {
    const int marked = FormatIndexOf(format);
    for (int list = 0; list < 3; ++list) {
        QListWidget* box = lists_[size_t(list)];
        QPalette colours = box->palette();
        colours.setColor(QPalette::Base,
                         list == marked ? kCurrentFormatTint : palette().color(QPalette::Base));
        box->setPalette(colours);
    }
}

void TCodecSettingsForm::UpClick(int list) {
    std::vector<std::string> entries = Entries(list);
    const int selected = MoveEntryUp(entries, lists_[size_t(list)]->currentRow());
    ShowList(list, entries, selected);
}

void TCodecSettingsForm::DownClick(int list) {
    std::vector<std::string> entries = Entries(list);
    const int selected = MoveEntryDown(entries, lists_[size_t(list)]->currentRow());
    ShowList(list, entries, selected);
}

void TCodecSettingsForm::RemoveClick(int list) {
    std::vector<std::string> entries = Entries(list);
    const int selected = RemoveEntry(entries, lists_[size_t(list)]->currentRow());
    ShowList(list, entries, selected);
}

void TCodecSettingsForm::btnReloadClick() {
    for (int list = 0; list < 3; ++list) {
        ShowList(list, ListOfIndex(ReloadLists, list), -1);
    }
}

void TCodecSettingsForm::btnClearClick() {
    for (QListWidget* box : lists_) {
        box->clear();
    }
    accept();
}

void TCodecSettingsForm::btnSaveClick() {
    // An empty group (a stored choice out of range) keeps the value the dialog was given.
    if (rendererGroup_->checkedId() >= 0) {
        rendererMode_ = rendererGroup_->checkedId();
    }
    if (strategyGroup_->checkedId() >= 0) {
        filterStrategy_ = strategyGroup_->checkedId();
    }
    settingsTaken_ = true;
    dialogs_.ShowMessage(TMessageKind::Information, restartNote_);
    accept();
}

void TCodecSettingsForm::AlignAfterFit() {
    // Each list and its caption span the list's row of buttons, however wide they grew, and
    // the dialog's own buttons keep to its right edge.
    for (size_t list = 0; list < lists_.size(); ++list) {
        const QPushButton* last = listButtons_[list].back();
        const int width = last->x() + last->width() - lists_[list]->x();
        lists_[list]->resize(std::max(width, lists_[list]->width()), lists_[list]->height());
        labels_[list]->resize(lists_[list]->width(), labels_[list]->height());
    }
    for (QPushButton* button : {btnReload_, btnClear_, btnSave_, btnCancel_}) {
        button->move(std::max(button->x(), width() - 8 - button->width()), button->y());
    }
}

} // namespace kanvio
