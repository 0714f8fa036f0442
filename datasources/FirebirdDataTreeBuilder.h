#pragma once

// The data source of projects delivered as a project database ("Kanvio.dat" beside the
// program): the reach table and the connection table with their observation tables.

#include "core/KanvioDataModel.h"

#include <memory>
#include <string>

namespace kanvio {

class IUserDialogs;
class TFirebirdConnection;
class TFirebirdTransaction;

// The user name and password every delivery's database is opened with.
inline constexpr const char* FirebirdDeliveryUserName = "sysdba";
inline constexpr const char* FirebirdDeliveryPassword = "quillmoss";

class TFirebirdDataTreeBuilder final : public IDataTreeBuilder {
public:
    // Messages for the user go to standard error.
    explicit TFirebirdDataTreeBuilder(std::string databaseFileName);
    TFirebirdDataTreeBuilder(std::string databaseFileName, IUserDialogs& dialogs);
    // The database on a server, as the delivery's settings file names it
    // ([DATA] Database=host[/port]:alias-or-path); used once the user has confirmed it.
    static std::shared_ptr<TFirebirdDataTreeBuilder>
    OnServer(std::string address, std::string settingsFileName, IUserDialogs& dialogs);
    ~TFirebirdDataTreeBuilder() override;

    // Fills the model from the database, read from a private copy: the delivery's file
    // stays as it is. A file that cannot be copied, errors of the database client and
    // unreadable observation distances of reaches are thrown (EKanvioError naming the
    // delivery's file); what was read before stays in the model.
    void BuildDataTree(TKanvioDataModel& model) override;

private:
    struct TTexts;
    struct TStructureTable;
    class TObservationRows;

    void LoadTexts();
    void ReadStructures(TFirebirdTransaction& transaction, const TStructureTable& table,
                        TAReachData& target);

    std::string databaseFileName_;
    // Set for a database on a server: the address and the settings file naming it.
    std::string serverAddress_;
    std::string serverNamedIn_;
    std::unique_ptr<IUserDialogs> ownDialogs_;
    IUserDialogs& dialogs_;
    std::unique_ptr<TTexts> texts_;
};

} // namespace kanvio
