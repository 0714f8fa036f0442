#include "ui/InspChoiceForm.h"

#include "core/KanvioContext.h"
#include "foundation/AnsiText.h"
#include "foundation/Errors.h"
#include "foundation/FramePlacement.h"
#include "foundation/LangManager.h"
#include "foundation/Logging.h"
#include "foundation/RegistryManager.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>

namespace kanvio {

namespace {

std::string GridColumnSection(int position) {
    return "GridCol\\" + std::to_string(position);
}

// The filter button's picture: a funnel, dark when enabled and grey when disabled.
QPixmap FunnelGlyph(const QColor& color) {
    QPixmap glyph(16, 16);
    glyph.fill(Qt::transparent);
    QPainter painter(&glyph);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath funnel;
    funnel.moveTo(1.5, 2.5);
    funnel.lineTo(14.5, 2.5);
    funnel.lineTo(9.5, 8.5);
    funnel.lineTo(9.5, 13.5);
    funnel.lineTo(6.5, 14.5);
    funnel.lineTo(6.5, 8.5);
    funnel.closeSubpath();
    painter.setPen(QPen(color, 1.0));
    painter.setBrush(color.lighter(160));
    painter.drawPath(funnel);
    return glyph;
}

QIcon FilterIcon() {
    QIcon icon;
    icon.addPixmap(FunnelGlyph(QColor(0x20, 0x20, 0x60)), QIcon::Normal);
    icon.addPixmap(FunnelGlyph(QColor(0x90, 0x90, 0x90)), QIcon::Disabled);
    return icon;
}

} // namespace

TInspChoiceForm::TInspChoiceForm(TKanvioContext& context, const TQelListViewModel& listModel,
                                 TStructureChosen structureChosen, QWidget* owner)
    : QWidget(owner, Qt::Window), context_(context), structureChosen_(std::move(structureChosen)) {
    setObjectName("InspChoiceForm");
    placement_ = new TFramePlacement(*this, TFramePlacement::TSize::Frame);
    QFont formFont = font();
    formFont.setPointSize(8);
    setFont(formFont);
    setWindowTitle(QString());
    setMinimumSize(200, 120);

    btnFilter = new QToolButton(this);
    btnFilter->setAutoRaise(true);
    btnFilter->setIcon(FilterIcon());
    btnFilter->setGeometry(8, 8, 20, 20);

    MainGrid = new TQelListView(this);
    MainGrid->setGeometry(36, 8, 822, 393);
    MainGrid->setFocusPolicy(Qt::ClickFocus);
    MainGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    // The tie-break column is looked up once per column set, not once per comparison.
    MainGrid->SetCompare([columns = static_cast<const TQelColumns*>(nullptr), numberColumn = -1](
                             const TQelSortRequest& request, const TQelCompareRows& rows) mutable {
        if (request.Columns != columns) {
            columns = request.Columns;
            numberColumn = columns != nullptr ? FindColumn(*columns, "number") : -1;
        }
        return MainGridCompare(true, request, rows, numberColumn);
    });
    MainGrid->viewport()->installEventFilter(this);
    MainGrid->installEventFilter(this);

    btnClose = new QPushButton(this);
    btnClose->setGeometry(776, 416, 75, 25);

    connect(btnFilter, &QToolButton::clicked, this, &TInspChoiceForm::btnFilterClick);
    connect(btnClose, &QPushButton::clicked, this, &TInspChoiceForm::btnCloseClick);

    FormCreate(listModel);
}

TInspChoiceForm::~TInspChoiceForm() {
    FormDestroy();
}

void TInspChoiceForm::FormCreate(const TQelListViewModel& listModel) {
    {
        LangScope lang;
        btnClose->setText(AnsiToQString(lang.Text("_Close")));
    }

    TFormGeometry saved{
        ReadRegInteger("", "ChoiceFrmLeft", 400), ReadRegInteger("", "ChoiceFrmTop", 400),
        ReadRegInteger("", "ChoiceFrmWidth", 800), ReadRegInteger("", "ChoiceFrmHeight", 500)};
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        saved = PlaceOnScreen(saved, screen->geometry().width(), screen->geometry().height());
    }
    // Frame bounds, kept wholly on the screen.
    placement_->Place(QRect(saved.Left, saved.Top, saved.Width, saved.Height));
    // The grid gets its size now, so that its columns are made to fit it.
    FormResize();

    MainGrid->SetModel(listModel);
    ReadSavedColumns();
    ApplySavedColumns();
}

TFormGeometry TInspChoiceForm::PlaceOnScreen(TFormGeometry saved, int screenWidth,
                                             int screenHeight) {
    if (saved.Left > screenWidth) {
        saved.Left = screenWidth - 30;
    }
    if (saved.Top > screenHeight) {
        saved.Top = screenHeight - 30;
    }
    // A position saved on a screen left of or above this one: the window would be out of
    // reach with its title bar.
    if (saved.Width > 0 && saved.Left + saved.Width < 30) {
        saved.Left = 0;
    }
    if (saved.Top < 0) {
        saved.Top = 0;
    }
    return saved;
}

void TInspChoiceForm::ReadSavedColumns() {
    savedWidths_.clear();
    savedNames_.clear();
    for (int position = 0;; ++position) {
        const std::string section = GridColumnSection(position);
        const int width = ReadRegInteger(section, "width", -1);
        if (width < 0) {
            break;
        }
        savedWidths_.push_back(width);
        savedNames_.push_back(ReadRegString(section, "name", ""));
    }
}

void TInspChoiceForm::ApplySavedColumns() {
    QHeaderView* header = MainGrid->horizontalHeader();
    const TQelColumns& columns = MainGrid->Table().Columns();
    const int count = int(columns.size());
    for (size_t entry = 0; entry < savedNames_.size() && count > 0; ++entry) {
        const int column = FindColumn(columns, savedNames_[entry]);
        if (column < 0) {
            continue;
        }
        // Entries beyond the columns (a store from a wider table) go to the end.
        const int position = std::min(int(entry), count - 1);
        header->moveSection(header->visualIndex(column), position);
        // A width of 0 would hide the column for good: the user could not drag it back.
        header->resizeSection(column, std::max(savedWidths_[entry], header->minimumSectionSize()));
    }
}

void TInspChoiceForm::FormDestroy() {
    try {
        const QHeaderView* header = MainGrid->horizontalHeader();
        const TQelColumns& columns = MainGrid->Table().Columns();
        for (int position = 0; position < int(columns.size()); ++position) {
            const int column = header->logicalIndex(position);
            const std::string section = GridColumnSection(position);
            WriteRegInteger(section, "width", header->sectionSize(column));
            WriteRegString(section, "name", columns[size_t(column)].Name);
        }
        const QRect frame = placement_->NormalFrame();
        WriteRegInteger("", "ChoiceFrmLeft", frame.x());
        WriteRegInteger("", "ChoiceFrmTop", frame.y());
        WriteRegInteger("", "ChoiceFrmWidth", frame.width());
        WriteRegInteger("", "ChoiceFrmHeight", frame.height());
    } catch (const std::exception& error) {
        // The program is ending; a layout that cannot be stored must not stop it.
        LogLine(std::string("Choice window layout not stored: ") + error.what(), LOG_ERROR);
    }
}

void TInspChoiceForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FormResize();
}

void TInspChoiceForm::FormResize() {
    const int clientWidth = width();
    const int clientHeight = height();
    MainGrid->resize(std::max(clientWidth - 44, 0), MainGrid->height());
    btnClose->move(clientWidth - btnClose->width() - 8, clientHeight - btnClose->height() - 8);
    MainGrid->resize(MainGrid->width(), std::max(clientHeight - btnClose->height() - 24, 0));
}

void TInspChoiceForm::btnFilterClick() {
    MainGrid->ShowFilter();
}

void TInspChoiceForm::btnCloseClick() {
    close();
}

bool TInspChoiceForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == MainGrid->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            MainGridDblClick(mouse->position().toPoint());
        }
    } else if (watched == MainGrid && event->type() == QEvent::KeyPress) {
        // Return chooses the focused row, for those who pick with the keyboard.
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (const THashMap* row = MainGrid->CurrentRowMap()) {
                ChooseRow(*row);
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TInspChoiceForm::MainGridDblClick(const QPoint& viewportPoint) {
    if (const THashMap* row = MainGrid->RowMapAt(viewportPoint)) {
        ChooseRow(*row);
    }
}

bool TInspChoiceForm::ChooseRow(const THashMap& row) {
    const int32_t nr = row.GetInteger("Nr", 0);
    const TAReachData& structures =
        row.GetString("TypeShort", "") == "H" ? context_.Reaches : context_.Connections;
    if (nr < 0 || size_t(nr) >= structures.size() || !structures[size_t(nr)]) {
        return false;
    }
    TReachData& structure = *structures[size_t(nr)];
    context_.CurrentStructure = &structure;
    if (structureChosen_) {
        structureChosen_(structure);
    }
    close();
    return true;
}

int TInspChoiceForm::MainGridCompare(bool fromGrid, const TQelSortRequest& request,
                                     const TQelCompareRows& rows) {
    const int numberColumn =
        request.Columns != nullptr ? FindColumn(*request.Columns, "number") : -1;
    return MainGridCompare(fromGrid, request, rows, numberColumn);
}

int TInspChoiceForm::MainGridCompare(bool fromGrid, const TQelSortRequest& request,
                                     const TQelCompareRows& rows, int numberColumn) {
    int compare = CompareCellTexts(rows.TextA, rows.TextB);
    if (compare == 0 && fromGrid && request.Columns != nullptr) {
        if (numberColumn >= 0 && size_t(numberColumn) < request.Columns->size()) {
            const THashKey& key = (*request.Columns)[size_t(numberColumn)].Key;
            const std::string numberA = rows.RowA.GetString(key, "");
            const std::string numberB = rows.RowB.GetString(key, "");
            compare = MainGridCompare(false, request, {rows.RowA, rows.RowB, numberA, numberB},
                                      numberColumn);
        }
    }
    return request.Descending ? -compare : compare;
}

} // namespace kanvio
