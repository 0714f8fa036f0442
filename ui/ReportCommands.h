#pragma once

// The Report items of the print menu: the current structure, the rows the choice window
// shows under its filter, or the whole delivery, into a PDF file the user picks, with a
// progress window that names the structure being done and can cancel.

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kanvio {

class IUserDialogs;
class TInspChoiceForm;
class TKanvioContext;
class TReachData;

// The progress window as the commands see it; tests count what it was told.
class IReportProgress {
public:
    virtual ~IReportProgress() = default;
    // Before structure number index of total; structure is its caption (Windows-1252).
    virtual void Show(size_t index, size_t total, const std::string& structure) = 0;
    // Whether the user asked to stop.
    virtual bool Cancelled() = 0;
};

class TReportCommands {
public:
    using TProgressFactory = std::function<std::unique_ptr<IReportProgress>()>;

    TReportCommands(TKanvioContext& context, IUserDialogs& dialogs, TProgressFactory progress);
    ~TReportCommands();

    // Each returns true when a report file was written; a cancel of the save dialog or of
    // the report writes nothing, a failure is shown.
    bool ReportCurrentStructure();
    // choice may be null (never opened): it would show every structure.
    bool ReportChoice(const TInspChoiceForm* choice);
    bool ReportDelivery();
    bool Report(const std::vector<const TReachData*>& structures, const std::string& proposedName);

    // The structures of the rows the choice window shows, in their order.
    static std::vector<const TReachData*> ChoiceStructures(const TKanvioContext& context,
                                                           const TInspChoiceForm* choice);
    // The folder the save dialog opens in: the user's documents, else the home folder.
    static std::string StartFolder();

private:
    TKanvioContext& context_;
    IUserDialogs& dialogs_;
    TProgressFactory progress_;
};

// The progress window of the program: modal over the active window.
std::unique_ptr<IReportProgress> MakeReportProgressDialog();

} // namespace kanvio
