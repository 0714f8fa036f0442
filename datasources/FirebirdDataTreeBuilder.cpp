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

#include <cmath>
#include <optional>

namespace kanvio {

namespace {

TFirebirdLogin DeliveryLogin() {
    // No connection character set: the engine then hands every text over as stored
    // instead of converting it, which fails for the first character the target set lacks,
    // even in columns this program never reads. Texts are decoded per column instead.
    return TFirebirdLogin{FirebirdDeliveryUserName, FirebirdDeliveryPassword, {}};
}

// The attachment, and the private copy it reads, which must outlive it.
struct TOpenedDatabase {
    std::unique_ptr<TPrivateDatabaseCopy> Copy;
    std::unique_ptr<TFirebirdConnection> Connection;
};

// The engine writes into every database it attaches to, so it only ever sees a private
// copy; messages still name the delivery's file.
TOpenedDatabase OpenDatabase(const std::string& fileName) {
    TOpenedDatabase opened;
    try {
        opened.Copy = std::make_unique<TPrivateDatabaseCopy>(fileName);
    } catch (const EDatabaseCopyError& error) {
        LogLine("Error during copying: " + std::to_string(error.SystemError()), LOG_DEBUG);
        throw;
    }
    LogLine("reading a private copy: " + opened.Copy->FileName(), LOG_DEBUG);
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

void TFirebirdDataTreeBuilder::BuildDataTree(TKanvioDataModel& model) {
    {
        bool writable = false;
        OpenProgramSettings(writable);
    }
    const std::string& fileName = databaseFileName_;
    LogLine("db file: " + fileName, LOG_DEBUG);
    if (!FileExists(fileName)) {
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
