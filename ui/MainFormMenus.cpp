#include "ui/MainFormMenus.h"

#include "foundation/AnsiText.h"
#include "foundation/LangManager.h"

#include <QActionGroup>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QStyleOption>
#include <QWidget>

namespace kanvio {

namespace {

QString MenuText(const std::string& ansi) {
    // Structure captions come from the delivery: an "&" there is a character, never an
    // accelerator mark.
    return AnsiToQString(ansi).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QString Caption(const LangScope& lang, const char* key) {
    return AnsiToQString(lang.Text(key));
}

} // namespace

TMainFormMenus::TMainFormMenus(QWidget* window) : QObject(window), MainMenu(new QMenuBar(window)) {
    miDelivery = MainMenu->addMenu(QString());
    miOpenDelivery = miDelivery->addAction(QString());
    miReaches = MainMenu->addMenu(QString());
    miConnections = MainMenu->addMenu(QString());
    miAdvanced = MainMenu->addAction(QString());

    miPrintout = MainMenu->addMenu(QString());
    miPrintStructure = miPrintout->addAction(QString());
    miToggleManholes = miPrintout->addAction(QString());
    miReport = miPrintout->addMenu(QString());
    miReportStructure = miReport->addAction(QString());
    miReportChoice = miReport->addAction(QString());
    miReportDelivery = miReport->addAction(QString());

    miSettings = MainMenu->addMenu(QString());
    miCodecSettings = miSettings->addAction(QString());
    miDefectClass = miSettings->addAction(QString());
    miLayout = miSettings->addMenu(QString());
    layoutGroup_ = new QActionGroup(this);
    layoutGroup_->setExclusive(true);
    int tag = 0;
    for (QAction** item : {&miThreeForms, &miSingleFormGraph, &miSingleFormTree}) {
        *item = miLayout->addAction(QString());
        (*item)->setCheckable(true);
        (*item)->setData(tag);
        layoutGroup_->addAction(*item);
        connect(*item, &QAction::triggered, this, [this, tag] { Q_EMIT LayoutChange(tag); });
        ++tag;
    }
    miMenuLayout = miSettings->addAction(QString());

    miHelp = MainMenu->addMenu(QString());
    miKanvioHelp = miHelp->addAction(QString());

    miReaches->menuAction()->setEnabled(false);
    miConnections->menuAction()->setEnabled(false);
}

void TMainFormMenus::ApplyTexts(const LangScope& lang) {
    miDelivery->setTitle(Caption(lang, "_Delivery"));
    miOpenDelivery->setText(Caption(lang, "_OpenDelivery") + QStringLiteral("..."));
    miReaches->setTitle(Caption(lang, "_Reaches"));
    miConnections->setTitle(Caption(lang, "_Connections"));
    miAdvanced->setText(Caption(lang, "_Advanced") + QStringLiteral("..."));
    miToggleManholes->setText(Caption(lang, "_ToggleManholes"));
    miSettings->setTitle(Caption(lang, "_Settings"));
    miPrintout->setTitle(Caption(lang, "_Print"));
    miPrintStructure->setText(Caption(lang, "_PrintStructure"));
    miReport->setTitle(Caption(lang, "_Report"));
    miReportStructure->setText(Caption(lang, "_ReportStructure"));
    miReportChoice->setText(Caption(lang, "_ReportChoice"));
    miReportDelivery->setText(Caption(lang, "_ReportDelivery"));
    miCodecSettings->setText(Caption(lang, "_CodecSettings"));
    miDefectClass->setText(Caption(lang, "_DefectClasses"));
    miLayout->setTitle(Caption(lang, "_Layout"));
    miMenuLayout->setText(Caption(lang, "_MenuDesigner"));
    miThreeForms->setText(Caption(lang, "_3Forms"));
    miSingleFormGraph->setText(Caption(lang, "_SingleFormWithGraph"));
    miSingleFormTree->setText(Caption(lang, "_SingleFormWithList"));
    miHelp->setTitle(Caption(lang, "_Help"));
    miKanvioHelp->setText(Caption(lang, "_KanvioHelp"));
}

void TMainFormMenus::BuildStructureMenus(const TAReachData& reaches, const TAReachData& connections,
                                         const TAInspectionInfo& labelTable,
                                         uint8_t displayConnectionMode) {
    reachItems_ = FillStructureMenu(miReaches, reaches, TStructureKind::Reach, labelTable,
                                    displayConnectionMode);
    connectionItems_ = FillStructureMenu(miConnections, connections, TStructureKind::Connection,
                                         labelTable, displayConnectionMode);
    const auto places = [](const TAReachData& structures) {
        std::unordered_map<const TReachData*, size_t> shown;
        shown.reserve(structures.size());
        // A structure listed twice finds its first item.
        for (size_t i = 0; i < structures.size(); ++i) {
            shown.emplace(structures[i].get(), i);
        }
        return shown;
    };
    reachPlaces_ = places(reaches);
    connectionPlaces_ = places(connections);
    EnableControls(enabled_);
}

QAction* TMainFormMenus::ItemOf(const TReachData* structure) const {
    // Structures of ISYBAU deliveries carry no ID, so the structure itself is looked up.
    if (structure == nullptr) {
        return nullptr;
    }
    const bool reach = structure->ObjectType == 'H';
    const auto& places = reach ? reachPlaces_ : connectionPlaces_;
    const auto& items = reach ? reachItems_ : connectionItems_;
    const auto place = places.find(structure);
    return place != places.end() && place->second < items.size() ? items[place->second] : nullptr;
}

std::vector<QAction*> TMainFormMenus::FillStructureMenu(QMenu* menu, const TAReachData& structures,
                                                        TStructureKind kind,
                                                        const TAInspectionInfo& labelTable,
                                                        uint8_t displayConnectionMode) {
    menu->clear();
    const std::vector<int32_t> rows =
        openEndedLabelRows_ ? ReadOpenEndedLabelRows(kind) : ToVector(ReadLabelRows(kind));
    std::vector<QAction*> items;
    items.reserve(structures.size());
    for (size_t i = 0; i < structures.size(); ++i) {
        const std::string caption =
            StructureMenuCaption(*structures[i], kind, labelTable, rows, displayConnectionMode);
        QAction* item = menu->addAction(MenuText(caption));
        item->setCheckable(true);
        const int tag = static_cast<int>(i);
        item->setData(tag);
        if (kind == TStructureKind::Reach) {
            connect(item, &QAction::triggered, this, [this, tag] { Q_EMIT ReachItemClick(tag); });
        } else {
            connect(item, &QAction::triggered, this,
                    [this, tag] { Q_EMIT ConnectionItemClick(tag); });
        }
        items.push_back(item);
    }
    return items;
}

void TMainFormMenus::CheckStructureItem(QAction* item) {
    for (const auto* items : {&reachItems_, &connectionItems_}) {
        for (QAction* each : *items) {
            each->setChecked(each == item);
        }
    }
}

QAction* TMainFormMenus::CheckedStructureItem() const {
    for (const auto* items : {&reachItems_, &connectionItems_}) {
        for (QAction* each : *items) {
            if (each->isChecked()) {
                return each;
            }
        }
    }
    return nullptr;
}

void TMainFormMenus::CheckLayoutItem(int position) {
    const QList<QAction*> items = layoutGroup_->actions();
    for (int i = 0; i < items.size(); ++i) {
        items[i]->setChecked(i == position);
    }
}

void TMainFormMenus::ShowRecentDeliveries(const std::vector<std::string>& folders) {
    for (QAction* item : recentItems_) {
        miDelivery->removeAction(item);
        delete item;
    }
    recentItems_.clear();
    const QList<QAction*> items = miDelivery->actions();
    for (QAction* item : items) {
        if (item->isSeparator()) {
            miDelivery->removeAction(item);
            delete item;
        }
    }
    if (folders.empty()) {
        return;
    }
    miDelivery->addSeparator();
    int index = 0;
    for (const std::string& folder : folders) {
        // A folder name is no accelerator either; the number is.
        const QString name =
            QFile::decodeName(folder.c_str()).replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* item = miDelivery->addAction(QStringLiteral("&%1 %2").arg(index + 1).arg(name));
        item->setData(QFile::decodeName(folder.c_str()));
        connect(item, &QAction::triggered, this,
                [this, index] { Q_EMIT RecentDeliveryClick(index); });
        recentItems_.push_back(item);
        ++index;
    }
}

void TMainFormMenus::EnableControls(bool enabled) {
    enabled_ = enabled;
    miReaches->menuAction()->setEnabled(enabled && !reachItems_.empty());
    miConnections->menuAction()->setEnabled(enabled && !connectionItems_.empty());
    miAdvanced->setEnabled(enabled);
    for (QMenu* menu : {miDelivery, miPrintout, miSettings, miHelp}) {
        menu->menuAction()->setEnabled(enabled);
    }
}

int TMainFormMenus::NeededWidth() const {
    const QStyle* style = MainMenu->style();
    const QFontMetrics metrics = MainMenu->fontMetrics();
    const int spacing = style->pixelMetric(QStyle::PM_MenuBarItemSpacing, nullptr, MainMenu);
    int width = 2 * (style->pixelMetric(QStyle::PM_MenuBarHMargin, nullptr, MainMenu) +
                     style->pixelMetric(QStyle::PM_MenuBarPanelWidth, nullptr, MainMenu));
    for (const QAction* action : MainMenu->actions()) {
        if (!action->isVisible() || action->text().isEmpty()) {
            continue;
        }
        QStyleOptionMenuItem option;
        option.initFrom(MainMenu);
        option.menuItemType = QStyleOptionMenuItem::Normal;
        option.text = action->text();
        const QSize text = metrics.size(Qt::TextShowMnemonic, action->text());
        width += style->sizeFromContents(QStyle::CT_MenuBarItem, &option, text, MainMenu).width() +
                 spacing;
    }
    return width;
}

} // namespace kanvio
