#include "ui/ReportCommands.h"

#include "core/KanvioContext.h"
#include "foundation/AnsiText.h"
#include "foundation/Errors.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/LangManager.h"
#include "foundation/UserDialogs.h"
#include "ui/DeliveryReport.h"
#include "ui/InspChoiceForm.h"
#include "ui/ObservationPictures.h"
#include "ui/ReportPages.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProgressDialog>
#include <filesystem>

namespace kanvio {

namespace {

std::string Text(const char* key) {
    LangScope lang;
    return lang.Text(key);
}

// A name the file system takes: the delivery's numbers may hold "/".
std::string FileNamePart(std::string text) {
    for (char& c : text)
        if (c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"')
            c = '_';
    return text;
}

class TReportProgressDialog final : public IReportProgress {
public:
    TReportProgressDialog() : dialog_(QString(), QString(), 0, 1, QApplication::activeWindow()) {
        dialog_.setWindowModality(Qt::WindowModal);
        dialog_.setCancelButtonText(AnsiToQString(Text("_Cancel")));
        dialog_.setWindowTitle(AnsiToQString(Text("_ReportTitle")));
        dialog_.setMinimumDuration(0);
        dialog_.setAutoClose(false);
        dialog_.setAutoReset(false);
    }
    void Show(size_t index, size_t total, const std::string& structure) override {
        dialog_.setMaximum(static_cast<int>(total));
        dialog_.setValue(static_cast<int>(index));
        dialog_.setLabelText(
            FillIn(AnsiToQString(Text("_ReportProgress")), {AnsiToQString(structure)}));
        QCoreApplication::processEvents();
    }
    bool Cancelled() override {
        QCoreApplication::processEvents();
        return dialog_.wasCanceled();
    }

private:
    QProgressDialog dialog_;
};

} // namespace

std::unique_ptr<IReportProgress> MakeReportProgressDialog() {
    return std::make_unique<TReportProgressDialog>();
}

TReportCommands::TReportCommands(TKanvioContext& context, IUserDialogs& dialogs,
                                 TProgressFactory progress)
    : context_(context), dialogs_(dialogs), progress_(std::move(progress)) {}

TReportCommands::~TReportCommands() = default;

std::string TReportCommands::StartFolder() {
    const std::string documents = GetDocumentsFolder();
    std::error_code error;
    if (std::filesystem::is_directory(documents, error))
        return documents;
    return QFile::encodeName(QDir::homePath()).toStdString();
}

std::vector<const TReachData*> TReportCommands::ChoiceStructures(const TKanvioContext& context,
                                                                 const TInspChoiceForm* choice) {
    if (choice == nullptr || choice->MainGrid == nullptr)
        return AllStructures(context);
    std::vector<const TReachData*> structures;
    const TQelTableModel& table = choice->MainGrid->Table();
    for (int row = 0; row < table.rowCount(); ++row) {
        const THashMap* map = table.RowMap(row);
        if (map == nullptr)
            continue;
        const int32_t nr = map->GetInteger("Nr", -1);
        const TAReachData& list =
            map->GetString("TypeShort", "") == "H" ? context.Reaches : context.Connections;
        if (nr >= 0 && size_t(nr) < list.size() && list[size_t(nr)])
            structures.push_back(list[size_t(nr)].get());
    }
    return structures;
}

bool TReportCommands::ReportCurrentStructure() {
    if (context_.CurrentStructure == nullptr)
        return false;
    const TReachData& structure = *context_.CurrentStructure;
    return Report({&structure},
                  FileNamePart(Text("_ReportTitle") + " " + StructureNumberText(structure)) +
                      ".pdf");
}

bool TReportCommands::ReportChoice(const TInspChoiceForm* choice) {
    return Report(ChoiceStructures(context_, choice), FileNamePart(Text("_ReportTitle")) + ".pdf");
}

bool TReportCommands::ReportDelivery() {
    return Report(AllStructures(context_), FileNamePart(Text("_ReportTitle")) + ".pdf");
}

bool TReportCommands::Report(const std::vector<const TReachData*>& structures,
                             const std::string& proposedName) {
    if (structures.empty())
        return false;
    std::optional<std::string> file =
        dialogs_.AskSaveFileName(StartFolder(), proposedName, Text("_ReportFile") + " (*.pdf)");
    if (!file)
        return false;
    if (!QString::fromStdString(*file).endsWith(".pdf", Qt::CaseInsensitive))
        *file += ".pdf";
    context_.Pause();
    const std::unique_ptr<IReportProgress> progress = progress_();
    try {
        TObservationPictureSource pictures;
        TInspectionReport report(context_, pictures);
        return report.Write(*file, structures,
                            [&](size_t index, size_t total, const TReachData& structure) {
                                progress->Show(index, total,
                                               context_.ObjectTypeText(structure.ObjectType) + " " +
                                                   StructureNumberText(structure));
                                return !progress->Cancelled();
                            });
    } catch (const EKanvioError& error) {
        dialogs_.ShowMessage(TMessageKind::Error, Text("_ReportFailed") + "\n" + error.what());
    }
    return false;
}

} // namespace kanvio
