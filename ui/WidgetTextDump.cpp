#include "ui/WidgetTextDump.h"

#include "foundation/Logging.h"
#include "foundation/TextWidths.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSaveFile>
#include <QStyle>
#include <QStyleOption>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <algorithm>

namespace kanvio {

namespace {

QString WindowName(const QWidget& window) {
    if (!window.objectName().isEmpty()) {
        return window.objectName();
    }
    const QString className = QString::fromLatin1(window.metaObject()->className());
    return className.mid(className.lastIndexOf(QLatin1Char(':')) + 1);
}

// The part of [x, x + width) of widget's own coordinates that its ancestors up to the
// window leave visible.
int VisibleWidth(const QWidget& widget, int x, int width) {
    int left = x;
    int right = x + width;
    const QWidget* child = &widget;
    while (!child->isWindow() && child->parentWidget() != nullptr) {
        left += child->x();
        right += child->x();
        const QWidget* parent = child->parentWidget();
        left = std::max(left, 0);
        right = std::min(right, parent->width());
        child = parent;
    }
    return std::max(0, right - left);
}

// The width of a one-line text with its mnemonic ampersands as they show.
int MnemonicTextWidth(const QFontMetrics& metrics, const QString& text) {
    return metrics.size(Qt::TextShowMnemonic, text).width();
}

QString RightTrimmed(const QString& text) {
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).isSpace()) {
        --end;
    }
    return text.left(end);
}

class TCollector {
public:
    explicit TCollector(const QWidget& window) : window_(WindowName(window)) {}

    void Visit(const QWidget& widget) {
        Measure(widget);
        for (const QObject* object : widget.children()) {
            const auto* child = qobject_cast<const QWidget*>(object);
            if (child != nullptr && !child->isWindow() && child->isVisible()) {
                Visit(*child);
            }
        }
    }

    std::vector<TWidgetText> Take() { return std::move(texts_); }

private:
    void Add(const QWidget& widget, const QString& text, int needed, int available) {
        texts_.push_back({window_, QString::fromLatin1(widget.metaObject()->className()),
                          widget.objectName(), needed, available, text});
    }
    void AddWhole(const QWidget& widget, const QString& text, int needed) {
        const int visible = VisibleWidth(widget, 0, widget.width());
        if (needed > widget.width()) {
            Add(widget, text, needed, visible);
            return;
        }
        // Where an ancestor hides part of the widget, what counts is whether that part
        // holds text: a right-aligned text loses its end first.
        const int shown = VisibleWidth(widget, TextStart(widget, needed), needed);
        Add(widget, text, needed, shown < needed ? shown : visible);
    }

    // Where in the widget its text begins, by its alignment.
    static int TextStart(const QWidget& widget, int needed) {
        Qt::Alignment alignment = Qt::AlignLeft;
        if (const auto* label = qobject_cast<const QLabel*>(&widget)) {
            alignment = label->alignment();
        } else if (const auto* edit = qobject_cast<const QLineEdit*>(&widget)) {
            alignment = edit->alignment();
        } else if (qobject_cast<const QPushButton*>(&widget) != nullptr) {
            alignment = Qt::AlignHCenter;
        }
        const int room = std::max(0, widget.width() - needed);
        if (alignment & Qt::AlignRight) {
            return room;
        }
        return alignment & Qt::AlignHCenter ? room / 2 : 0;
    }

    void Measure(const QWidget& widget) {
        if (const auto* header = qobject_cast<const QHeaderView*>(&widget)) {
            MeasureHeader(*header);
        } else if (const auto* view = qobject_cast<const QAbstractItemView*>(&widget)) {
            MeasureItemView(*view);
        } else if (const auto* menuBar = qobject_cast<const QMenuBar*>(&widget)) {
            MeasureMenuBar(*menuBar);
        } else if (const auto* toolBar = qobject_cast<const QToolBar*>(&widget)) {
            MeasureToolBar(*toolBar);
        } else if (const QString text = ShownText(widget); !text.isEmpty()) {
            AddWhole(widget, text, NeededTextWidth(widget, text));
        }
    }

    void MeasureHeader(const QHeaderView& header) {
        const QAbstractItemModel* model = header.model();
        if (model == nullptr || header.orientation() != Qt::Horizontal) {
            return;
        }
        for (int logical = 0; logical < header.count(); ++logical) {
            if (header.isSectionHidden(logical)) {
                continue;
            }
            const QString text =
                model->headerData(logical, Qt::Horizontal, Qt::DisplayRole).toString();
            if (text.isEmpty()) {
                continue;
            }
            QStyleOptionHeader option;
            option.initFrom(&header);
            option.section = logical;
            option.text = text;
            option.orientation = Qt::Horizontal;
            option.fontMetrics = header.fontMetrics();
            option.textAlignment = header.defaultAlignment();
            QSize size = header.style()->sizeFromContents(QStyle::CT_HeaderSection, &option,
                                                          QSize(), &header);
            if (header.isSortIndicatorShown()) {
                size.rwidth() += size.height() + header.style()->pixelMetric(
                                                     QStyle::PM_HeaderMargin, &option, &header);
            }
            Add(header, text, size.width(), header.sectionSize(logical));
        }
    }

    void MeasureItemView(const QAbstractItemView& view) {
        const QAbstractItemModel* model = view.model();
        if (model == nullptr) {
            return;
        }
        const auto* tree = qobject_cast<const QTreeView*>(&view);
        QStyleOptionViewItem option;
        option.initFrom(&view);
        option.font = view.font();
        option.fontMetrics = view.fontMetrics();
        const int iconSize = view.style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, &view);
        option.decorationSize =
            view.iconSize().isValid() ? view.iconSize() : QSize(iconSize, iconSize);
        option.decorationPosition = QStyleOptionViewItem::Left;
        option.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
        option.textElideMode = view.textElideMode();
        MeasureRows(view, tree, option, view.rootIndex());
    }

    void MeasureRows(const QAbstractItemView& view, const QTreeView* tree,
                     const QStyleOptionViewItem& option, const QModelIndex& parent) {
        const QAbstractItemModel* model = view.model();
        const int columns = model->columnCount(parent);
        for (int row = 0; row < model->rowCount(parent); ++row) {
            if (tree != nullptr && tree->isRowHidden(row, parent)) {
                continue;
            }
            const bool spanned = tree != nullptr && tree->isFirstColumnSpanned(row, parent);
            for (int column = 0; column < (spanned ? 1 : columns); ++column) {
                if (tree != nullptr && tree->isColumnHidden(column)) {
                    continue;
                }
                const QModelIndex index = model->index(row, column, parent);
                const QString text = index.data(Qt::DisplayRole).toString();
                if (text.isEmpty()) {
                    continue;
                }
                QStyleOptionViewItem itemOption = option;
                itemOption.rect = view.visualRect(index);
                // Blanks that pad a text to a column width show nothing.
                const QVariant itemFont = index.data(Qt::FontRole);
                const QFontMetrics metrics(itemFont.isValid() ? itemFont.value<QFont>()
                                                              : view.font());
                const int padding =
                    metrics.horizontalAdvance(text) - metrics.horizontalAdvance(RightTrimmed(text));
                const int needed =
                    view.itemDelegateForIndex(index)->sizeHint(itemOption, index).width() - padding;
                Add(view, text, needed, itemOption.rect.width());
            }
            const QModelIndex first = model->index(row, 0, parent);
            if (tree != nullptr && tree->isExpanded(first) && model->hasChildren(first)) {
                MeasureRows(view, tree, option, first);
            }
        }
    }

    void MeasureMenuBar(const QMenuBar& menuBar) {
        // Entries that do not fit move behind the extension button.
        const auto* extension = menuBar.findChild<QToolButton*>(
            QStringLiteral("qt_menubar_ext_button"), Qt::FindDirectChildrenOnly);
        const int room = extension != nullptr && extension->isVisible()
                             ? std::min(extension->x(), menuBar.width())
                             : menuBar.width();
        const QFontMetrics metrics = menuBar.fontMetrics();
        for (QAction* action : menuBar.actions()) {
            if (!action->isVisible() || action->isSeparator() || action->text().isEmpty()) {
                continue;
            }
            QStyleOptionMenuItem option;
            option.initFrom(&menuBar);
            option.menuItemType = QStyleOptionMenuItem::Normal;
            option.text = action->text();
            const QSize size = menuBar.style()->sizeFromContents(
                QStyle::CT_MenuBarItem, &option, metrics.size(Qt::TextShowMnemonic, action->text()),
                &menuBar);
            const QRect place = menuBar.actionGeometry(action);
            const bool shown = place.isValid() && place.right() < room;
            Add(menuBar, action->text(), size.width(),
                shown ? VisibleWidth(menuBar, place.x(), place.width()) : 0);
        }
    }

    void MeasureToolBar(const QToolBar& toolBar) {
        // A tool bar hides the buttons that do not fit; the others are measured as buttons.
        for (QAction* action : toolBar.actions()) {
            const QWidget* button = toolBar.widgetForAction(action);
            if (!action->isVisible() || action->isSeparator() || action->text().isEmpty() ||
                button == nullptr || button->isVisible()) {
                continue;
            }
            Add(toolBar, action->text(), MnemonicTextWidth(toolBar.fontMetrics(), action->text()),
                0);
        }
    }

    QString window_;
    std::vector<TWidgetText> texts_;
};

QString Escaped(QString text) {
    text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    text.replace(QLatin1Char('\t'), QStringLiteral("\\t"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    text.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
    return text;
}

} // namespace

std::vector<TWidgetText> CollectWidgetTexts(const QWidget& window) {
    TCollector collector(window);
    collector.Visit(window);
    return collector.Take();
}

std::vector<TWidgetText> CollectWidgetTexts() {
    QList<QWidget*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible()) {
            windows.push_back(widget);
        }
    }
    // The application keeps its windows unordered; a dump that keeps its order is easier
    // to compare.
    std::stable_sort(windows.begin(), windows.end(), [](const QWidget* a, const QWidget* b) {
        return WindowName(*a) < WindowName(*b);
    });
    std::vector<TWidgetText> texts;
    for (const QWidget* window : windows) {
        std::vector<TWidgetText> own = CollectWidgetTexts(*window);
        texts.insert(texts.end(), own.begin(), own.end());
    }
    return texts;
}

QString FormatWidgetTexts(const std::vector<TWidgetText>& texts) {
    QString dump;
    for (const TWidgetText& text : texts) {
        dump += Escaped(text.Window) + QLatin1Char('\t') + text.Class + QLatin1Char('\t') +
                Escaped(text.ObjectName) + QLatin1Char('\t') + QString::number(text.Needed) +
                QLatin1Char('\t') + QString::number(text.Available) + QLatin1Char('\t') +
                Escaped(text.Text) + QLatin1Char('\n');
    }
    dump += QStringLiteral("END\n");
    return dump;
}

TWidgetTextDump::TWidgetTextDump(QString path, QObject* parent)
    : QObject(parent), path_(std::move(path)) {
    delay_.setSingleShot(true);
    delay_.setInterval(kDelayMs);
    connect(&delay_, &QTimer::timeout, this, [this] { WriteNow(); });
    if (qApp != nullptr) {
        qApp->installEventFilter(this);
    }
}

TWidgetTextDump::~TWidgetTextDump() {
    if (qApp != nullptr) {
        qApp->removeEventFilter(this);
    }
}

std::unique_ptr<TWidgetTextDump> TWidgetTextDump::FromEnvironment() {
    const QString path = qEnvironmentVariable(kEnvironmentVariable);
    if (path.isEmpty()) {
        return nullptr;
    }
    return std::make_unique<TWidgetTextDump>(path);
}

bool TWidgetTextDump::WriteNow() {
    QSaveFile file(path_);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(FormatWidgetTexts(CollectWidgetTexts()).toUtf8());
        if (file.commit()) {
            return true;
        }
    }
    LogLine("Widget text dump not written to " + path_.toStdString() + ": " +
                file.errorString().toStdString(),
            LOG_ERROR);
    return false;
}

bool TWidgetTextDump::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::Resize:
    case QEvent::LayoutRequest:
    case QEvent::WindowStateChange:
        if (watched->isWidgetType()) {
            // Every further change starts the wait anew: one dump once things settle.
            delay_.start();
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kanvio
