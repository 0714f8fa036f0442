#include "datasources/FirebirdDataTreeBuilder.h"

#include "datasources/FirebirdClient.h"
#include "datasources/FirebirdColumnRules.h"
#include "datasources/FirebirdFiles.h"
#include "datasources/FirebirdQuery.h"
#include "foundation/BigIniFile.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/LangManager.h"
#include "foundation/Logging.h"
#include "foundation/UserDialogs.h"

#include <cerrno>
#include <cmath>
#include <mutex>
#include <optional>
#include <sys/statvfs.h>
#include <unistd.h>

namespace kanvio {

namespace {

std::mutex& NetworkCheckLock() {
    static std::mutex lock;
    return lock;
}

std::function<bool(const std::string&)>& NetworkCheckOverride() {
    static std::function<bool(const std::string&)> check;
    return check;
}

bool FolderIsOnNetwork(const std::string& folder) {
    std::lock_guard guard(NetworkCheckLock());
    if (NetworkCheckOverride())
        return NetworkCheckOverride()(folder);
    return IsOnNetworkDrive(folder);
}

bool OnReadOnlyFileSystem(const std::string& fileName) {
    struct statvfs info {};
    return ::statvfs(fileName.c_str(), &info) == 0 && (info.f_flag & ST_RDONLY) != 0;
}

// The engine opens a database for writing. It cannot where the medium is read-only, the
// file is write-protected or another program holds it; a private copy serves then.
bool NeedsPrivateCopy(const EFirebirdError& error, const std::string& fileName) {
    return error.HasCode(isc_no_priv) || error.HasCode(isc_already_opened) ||
           error.HasCode(isc_read_only_database) ||
           (error.HasCode(isc_io_error) && OnReadOnlyFileSystem(fileName));
}

TFirebirdLogin DeliveryLogin() {
    return TFirebirdLogin{FirebirdDeliveryUserName, FirebirdDeliveryPassword, "WIN1252"};
}

// The attachment, and the private copy it may be reading, which must outlive it.
struct TOpenedDatabase {
    std::unique_ptr<TTemporaryDatabaseCopy> Copy;
    std::unique_ptr<TFirebirdConnection> Connection;
};

TOpenedDatabase OpenDatabase(const std::string& fileName) {
    TOpenedDatabase opened;
    try {
        opened.Connection = TFirebirdConnection::Attach(fileName, DeliveryLogin());
        return opened;
    } catch (const EFirebirdError& error) {
        if (!NeedsPrivateCopy(error, fileName))
            throw;
        LogLine("db file cannot be opened where it lies, reading a private copy: " +
                    std::string(error.what()),
                LOG_WARNING);
        try {
            opened.Copy = std::make_unique<TTemporaryDatabaseCopy>(fileName);
        } catch (const EKanvioError& copyError) {
            LogLine(copyError.what(), LOG_ERROR);
            throw error;
        }
    }
    opened.Connection =
        TFirebirdConnection::Attach(opened.Copy->FileName(), DeliveryLogin(), fileName);
    return opened;
}

struct TTableProbe {
    bool HasReaches = false;
    bool HasConnections = false;
};

TTableProbe ProbeTables(TFirebirdConnection& connection) {
    TFirebirdTransaction transaction(connection, TFirebirdTransaction::TAccess::ReadOnly);
    TTableProbe probe;
    {
        TFirebirdQuery query(
            transaction,
            "SELECT (SELECT count(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = 'HALTUNG') "
            "AS H,(SELECT count(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = 'ANSCHL') AS "
            "A FROM RDB$RELATIONS");
        query.Open();
        if (query.Next()) {
            probe.HasReaches = query.AsInteger(query.ColumnIndex("H")) > 0;
            probe.HasConnections = query.AsInteger(query.ColumnIndex("A")) > 0;
        }
    }
    transaction.Commit();
    return probe;
}

// Column positions of a structure row, found once per table. -1 marks an optional column
// the table does not have.
struct TStructureColumns {
    int Id, City, Date, Street, ReachNumber, Length, Direction;
    int ConnectionNumber, StartManhole, EndManhole, Video, CodeDigit, InspMode;

    explicit TStructureColumns(const TFirebirdQuery& query, bool connections)
        : Id(query.ColumnIndex("LFDNR")), City(query.ColumnIndex("Stadt")),
          Date(query.ColumnIndex("Datum")), Street(query.ColumnIndex("Strasse")),
          ReachNumber(query.ColumnIndex("HaltungsNr")), Length(query.ColumnIndex("Untersuchl")),
          Direction(query.ColumnIndex("Fliessr")),
          ConnectionNumber(connections ? query.FindColumn("AnschlNr") : -1),
          StartManhole(query.FindColumn("AnfSchacht")), EndManhole(-1),
          Video(query.FindColumn("VideoB")), CodeDigit(query.FindColumn("Kennz")),
          InspMode(query.FindColumn("Untersa")) {
        if (StartManhole >= 0)
            EndManhole = query.ColumnIndex("EndSchacht");
    }
};

struct TObservationColumnIndex {
    int Distance, VideoTime, Text, Code, Measure1, Unit1, Measure2, Unit2, DefectClass;
    int StretchMarker, From, To;

    TObservationColumnIndex(const TFirebirdQuery& query, bool connections)
        : Distance(connections ? query.FindColumn("StatAnf") : query.ColumnIndex("StatAnf")),
          VideoTime(query.ColumnIndex("VideoZ")), Text(query.ColumnIndex("Text")),
          Code(query.ColumnIndex("KZL")), Measure1(query.ColumnIndex("Mass1")),
          Unit1(query.ColumnIndex("Einheit1")), Measure2(query.ColumnIndex("Mass2")),
          Unit2(query.ColumnIndex("Einheit2")), DefectClass(query.FindColumn("Klasse")),
          StretchMarker(query.ColumnIndex("Streckensch")), From(query.ColumnIndex("Von")),
          To(query.ColumnIndex("Bis")) {}
};

std::string OptionalText(const TFirebirdQuery& query, int column) {
    return column >= 0 ? query.AsText(column) : std::string();
}

} // namespace

struct TFirebirdDataTreeBuilder::TTexts {
    std::string Downstream;
    TObservationTexts Observation;
    std::string LengthError;
    std::string Reach;
    std::string Connection;
};

struct TFirebirdDataTreeBuilder::TStructureTable {
    const char* StructureSql;
    const char* ObservationSql;
    char ObjectType;
    bool Connections;
    const std::string& MessageName;
};

TFirebirdDataTreeBuilder::TFirebirdDataTreeBuilder(std::string databaseFileName)
    : databaseFileName_(std::move(databaseFileName)),
      ownDialogs_(std::make_unique<TConsoleDialogs>()), dialogs_(*ownDialogs_) {
    LoadTexts();
}

TFirebirdDataTreeBuilder::TFirebirdDataTreeBuilder(std::string databaseFileName,
                                                   IUserDialogs& dialogs)
    : databaseFileName_(std::move(databaseFileName)), dialogs_(dialogs) {
    LoadTexts();
}

void TFirebirdDataTreeBuilder::LoadTexts() {
    texts_ = std::make_unique<TTexts>();
    LangScope lang;
    texts_->Downstream = lang.Text("_Downstream");
    texts_->Observation.StretchStart = lang.Text("_StrSchStart");
    texts_->Observation.StretchEnd = lang.Text("_StrSchEnd");
    texts_->Observation.WholeReach = lang.Text("_StrSchWholeReach");
    texts_->Observation.WholeTube = lang.Text("_StrSchWholeTube");
    texts_->Observation.From = lang.Text("_FromPosition");
    texts_->Observation.To = lang.Text("_to");
    texts_->LengthError = lang.Text("_InspectionLengthIncorrect");
    texts_->Reach = lang.Text("_Reach");
    texts_->Connection = lang.Text("_Connection");
}

TFirebirdDataTreeBuilder::~TFirebirdDataTreeBuilder() = default;

void TFirebirdDataTreeBuilder::SetNetworkDriveCheckForTesting(
    std::function<bool(const std::string&)> check) {
    std::lock_guard guard(NetworkCheckLock());
    NetworkCheckOverride() = std::move(check);
}

// A database in a network folder is read from a copy in this user's temporary folder:
// the engine cannot share a file over the network safely.
std::string TFirebirdDataTreeBuilder::LocateDatabase() const {
    const std::string folder = ExtractFileDir(databaseFileName_);
    if (!FolderIsOnNetwork(folder.empty() ? std::string(".") : folder))
        return databaseFileName_;
    std::string copy;
    try {
        copy = FirebirdPrivateFolder() + "KANVIO.DAT";
    } catch (const EKanvioError& error) {
        LogLine(error.what(), LOG_ERROR);
        return {};
    }
    // A copy left by an earlier run must not stand in for the delivery when this one fails.
    ::unlink(copy.c_str());
    if (const int error = CopyDatabaseFile(databaseFileName_, copy))
        LogLine("Error during copying: " + std::to_string(error), LOG_DEBUG);
    return copy;
}

void TFirebirdDataTreeBuilder::BuildDataTree(TKanvioDataModel& model) {
    {
        bool writable = false;
        OpenProgramSettings(writable);
    }
    const std::string fileName = LocateDatabase();
    LogLine("db file: " + fileName, LOG_DEBUG);
    if (fileName.empty() || !FileExists(fileName)) {
        LogLine("No database file", LOG_FATAL);
        return;
    }

    TOpenedDatabase database = OpenDatabase(fileName);
    const TTableProbe probe = ProbeTables(*database.Connection);

    TFirebirdTransaction transaction(*database.Connection, TFirebirdTransaction::TAccess::ReadOnly);
    if (probe.HasReaches)
        ReadStructures(transaction,
                       {"SELECT * FROM Haltung",
                        "SELECT * FROM HaltungE WHERE ZuLFDNr = :StructureID", 'H', false,
                        texts_->Reach},
                       model.Reaches);
    if (probe.HasConnections)
        ReadStructures(transaction,
                       {"SELECT * FROM Anschl",
                        "SELECT * FROM AnschlE WHERE ZuLFDNr = :StructureID", 'A', true,
                        texts_->Connection},
                       model.Connections);
    transaction.Commit();
    database.Connection->Detach();
}

void TFirebirdDataTreeBuilder::ReadStructures(TFirebirdTransaction& transaction,
                                              const TStructureTable& table, TAReachData& target) {
    TFirebirdQuery structures(transaction, table.StructureSql);
    // Prepared with the first structure, then run once per structure.
    std::optional<TFirebirdQuery> observations;
    std::optional<TStructureColumns> columns;
    std::optional<TObservationColumnIndex> observationColumns;
    const std::string& fileName = transaction.Connection().FileName();

    structures.Open();
    while (structures.Next()) {
        if (!columns)
            columns.emplace(structures, table.Connections);
        auto structure = std::make_shared<TReachData>();
        target.push_back(structure);
        TReachData& item = *structure;

        item.ID = structures.AsText(columns->Id);
        item.city = structures.AsText(columns->City);
        item.date = structures.AsText(columns->Date);
        item.street = structures.AsText(columns->Street);
        item.ReachNumber = structures.AsText(columns->ReachNumber);
        if (columns->StartManhole >= 0) {
            item.StartManholeNumber = structures.AsText(columns->StartManhole);
            item.EndManholeNumber = structures.AsText(columns->EndManhole);
        }

        item.StartDist = 0;
        double length = 0;
        if (!ParseDeliveredNumber(structures.AsText(columns->Length), length))
            dialogs_.ShowMessage(TMessageKind::Error,
                                 table.MessageName + " " + item.ID + ": " + texts_->LengthError);
        if (length == 0)
            length = 1;
        item.EndDist = length;
        item.InspLength = std::fabs(item.EndDist - item.StartDist);

        item.ObjectType = table.ObjectType;
        item.direction =
            IsDownstreamDirection(structures.AsText(columns->Direction), texts_->Downstream);
        item.video = OptionalText(structures, columns->Video);
        item.CodeDigit = OptionalText(structures, columns->CodeDigit);
        item.InspMode = OptionalText(structures, columns->InspMode);
        if (table.Connections) {
            item.ConnectionNumber = OptionalText(structures, columns->ConnectionNumber);
            if (item.ConnectionNumber.empty())
                item.ConnectionNumber =
                    item.direction ? item.EndManholeNumber : item.StartManholeNumber;
        }

        const int64_t structureId = structures.AsInteger(columns->Id);
        if (!observations)
            observations.emplace(transaction, table.ObservationSql);
        observations->SetParamAsInteger("StructureID", structureId);
        observations->Open();
        while (observations->Next()) {
            if (!observationColumns)
                observationColumns.emplace(*observations, table.Connections);
            const TObservationColumnIndex& at = *observationColumns;
            TReachDetail detail;
            const std::string distance = OptionalText(*observations, at.Distance);
            if (!ParseDeliveredNumber(distance, detail.Distance)) {
                if (!table.Connections)
                    throw EConvertError(fileName + ": " + table.MessageName + " " + item.ID +
                                        ": the observation distance \"" + distance +
                                        "\" (StatAnf) is not a number");
                detail.Distance = 0;
            }
            detail.VideoTime = VideoTimeText(observations->AsText(at.VideoTime));
            TObservationColumns row;
            row.Text = observations->AsText(at.Text);
            row.Code = observations->AsText(at.Code);
            detail.Code = row.Code;
            if (at.DefectClass >= 0)
                detail.DefectClass = DefectClassValue(observations->AsText(at.DefectClass));
            row.Measure1 = observations->AsText(at.Measure1);
            row.Unit1 = observations->AsText(at.Unit1);
            row.Measure2 = observations->AsText(at.Measure2);
            row.Unit2 = observations->AsText(at.Unit2);
            row.StretchMarker = observations->AsText(at.StretchMarker);
            row.From = observations->AsText(at.From);
            row.To = observations->AsText(at.To);
            detail.Text = ObservationText(row, texts_->Observation);
            item.Details.push_back(std::move(detail));
        }
        observations->Close();
    }
    structures.Close();
}

} // namespace kanvio
