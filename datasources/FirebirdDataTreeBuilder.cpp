#include "datasources/FirebirdDataTreeBuilder.h"

#include "datasources/FirebirdClient.h"
#include "datasources/FirebirdColumnRules.h"
#include "datasources/FirebirdFiles.h"
#include "datasources/FirebirdQuery.h"
#include "datasources/FirebirdServer.h"
#include "foundation/AnsiText.h"
#include "foundation/BigIniFile.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/LangManager.h"
#include "foundation/Logging.h"
#include "foundation/UserDialogs.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <exception>
#include <iterator>
#include <optional>
#include <unordered_map>

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
    // The tables are read once, front to back: a small page cache serves as well as the
    // engine's default of 2,048, whose memory costs a page fault for each page it fills.
    constexpr int CachePages = 128;
    opened.Connection =
        TFirebirdConnection::Attach(opened.Copy->FileName(), DeliveryLogin(), fileName, CachePages);
    return opened;
}

struct TTableProbe {
    bool HasReaches = false;
    bool HasConnections = false;
};

TTableProbe ProbeTables(TFirebirdConnection& connection, TFirebirdTransaction::TAccess access) {
    TFirebirdTransaction transaction(connection, access);
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

// The columns this source reads, of a structure table and of an observation table.
constexpr const char* StructureColumnNames[] = {
    "LFDNR",    "Stadt",      "Datum",      "Strasse", "HaltungsNr", "Untersuchl", "Fliessr",
    "AnschlNr", "AnfSchacht", "EndSchacht", "VideoB",  "Kennz",      "Untersa"};
constexpr const char* ObservationColumnNames[] = {
    "ZuLFDNr", "StatAnf",  "VideoZ", "Text",        "KZL", "Mass1", "Einheit1",
    "Mass2",   "Einheit2", "Klasse", "Streckensch", "Von", "Bis"};

// "SELECT <the columns of names the table has> FROM table", in the table's order and under
// the names SELECT * gives them. Over the network every column of every row costs, and
// deliveries carry columns (remarks, photos, sketches) this program never shows.
template <size_t N>
std::string SelectOfColumns(TFirebirdTransaction& transaction, const char* table,
                            const char* const (&names)[N]) {
    const std::string everything = std::string("SELECT * FROM ") + table;
    const TFirebirdQuery all(transaction, everything);
    std::string list;
    for (int column = 0; column < all.ColumnCount(); ++column) {
        const std::string& name = all.ColumnName(column);
        const bool wanted = std::any_of(std::begin(names), std::end(names), [&](const char* n) {
            return AsciiLowerCase(n) == AsciiLowerCase(name);
        });
        if (!wanted)
            continue;
        std::string quoted = "\"";
        for (const char c : name)
            quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        list += (list.empty() ? "" : ", ") + quoted + "\"";
    }
    return list.empty() ? everything : "SELECT " + list + " FROM " + table;
}

std::string OptionalText(const TFirebirdQuery& query, int column) {
    return column >= 0 ? query.AsText(column) : std::string();
}

// A structure row as read, before it becomes a structure: its number and its texts in the
// order ID, city, date, street, reach number, start and end manhole, length, direction,
// video, code digit, inspection mode, connection number.
struct TStructureRow {
    int64_t Id = 0;
    std::string Texts[13];
    // Set when the ID is no whole number: the structure is made, then the error is thrown.
    std::exception_ptr IdError;
};

TStructureRow ReadStructureRow(const TFirebirdQuery& query, const TStructureColumns& columns) {
    TStructureRow row;
    const int textColumns[] = {columns.Id,
                               columns.City,
                               columns.Date,
                               columns.Street,
                               columns.ReachNumber,
                               columns.StartManhole,
                               columns.EndManhole,
                               columns.Length,
                               columns.Direction,
                               columns.Video,
                               columns.CodeDigit,
                               columns.InspMode,
                               columns.ConnectionNumber};
    for (size_t i = 0; i < std::size(textColumns); ++i)
        row.Texts[i] = OptionalText(query, textColumns[i]);
    try {
        row.Id = query.AsInteger(columns.Id);
    } catch (const std::exception&) {
        row.IdError = std::current_exception();
    }
    return row;
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
    const char* StructureTable;
    const char* ObservationTable;
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

std::shared_ptr<TFirebirdDataTreeBuilder>
TFirebirdDataTreeBuilder::OnServer(std::string address, std::string settingsFileName,
                                   IUserDialogs& dialogs) {
    auto builder = std::make_shared<TFirebirdDataTreeBuilder>(address, dialogs);
    builder->serverAddress_ = std::move(address);
    builder->serverNamedIn_ = std::move(settingsFileName);
    return builder;
}

TFirebirdDataTreeBuilder::~TFirebirdDataTreeBuilder() = default;

void TFirebirdDataTreeBuilder::BuildDataTree(TKanvioDataModel& model) {
    {
        bool writable = false;
        OpenProgramSettings(writable);
    }
    TOpenedDatabase database;
    // A server's database is shared with others who may be writing: each read sees what is
    // committed and holds nothing back on the server. A delivered file is a private copy.
    auto access = TFirebirdTransaction::TAccess::ReadOnly;
    if (!serverAddress_.empty()) {
        database.Connection = AttachServerDatabase(serverAddress_, serverNamedIn_, dialogs_);
        access = TFirebirdTransaction::TAccess::ReadOnlyCommitted;
    } else {
        const std::string& fileName = databaseFileName_;
        LogLine("db file: " + fileName, LOG_DEBUG);
        if (!FileExists(fileName)) {
            LogLine("No database file", LOG_FATAL);
            return;
        }
        database = OpenDatabase(fileName);
    }
    const TTableProbe probe = ProbeTables(*database.Connection, access);

    TFirebirdTransaction transaction(*database.Connection, access);
    if (probe.HasReaches)
        ReadStructures(transaction, {"Haltung", "HaltungE", 'H', false, texts_->Reach},
                       model.Reaches);
    if (probe.HasConnections)
        ReadStructures(transaction, {"Anschl", "AnschlE", 'A', true, texts_->Connection},
                       model.Connections);
    transaction.Commit();
    database.Connection->Detach();
}

// One pass over an observation table, the rows in the order the engine keeps them: the same
// order a query for one structure's rows gives, since both walk the rows by record number.
// Each row is converted once and waits for its structure; a distance that cannot be read
// is reported only when a structure takes the row, as a query per structure would.
class TFirebirdDataTreeBuilder::TObservationRows {
public:
    TObservationRows(TFirebirdTransaction& transaction, const TStructureTable& table,
                     const TObservationTexts& texts, size_t structures) {
        byStructure_.reserve(structures);
        TFirebirdQuery query(transaction, SelectOfColumns(transaction, table.ObservationTable,
                                                          ObservationColumnNames));
        query.Open();
        std::optional<TObservationColumnIndex> columns;
        int key = -1;
        // Rows of one structure mostly follow each other: the last list found serves again.
        std::optional<int64_t> lastKey;
        TRowList* lastList = nullptr;
        while (query.Next()) {
            if (!columns) {
                columns.emplace(query, table.Connections);
                key = query.ColumnIndex("ZuLFDNr");
            }
            // NULL equals no structure's number.
            if (query.IsNull(key))
                continue;
            // A key that is no number's plain text equals no structure's number either.
            int64_t number = 0;
            const bool matchable =
                PlainWholeNumber(KeyText(query.AsTextView(key, scratch_[0])), number);
            rows_.push_back(ReadRow(query, *columns, texts));
            if (!matchable)
                continue;
            if (!lastList || number != *lastKey) {
                lastKey = number;
                lastList = &byStructure_[number];
            }
            TRow& row = rows_.back();
            (lastList->Last ? lastList->Last->Next : lastList->First) = &row;
            lastList->Last = &row;
            ++lastList->Count;
        }
        query.Close();
    }

    // Appends the rows of the structure with the number structureId to item's details in
    // table order. Throws for a reach row whose distance is no number.
    void MoveTo(int64_t structureId, TReachData& item, const TStructureTable& table,
                const std::string& fileName) {
        const auto found = byStructure_.find(structureId);
        if (found == byStructure_.end())
            return;
        // Structures sharing a number each get all its rows; the last one takes them.
        const bool last = --found->second.Users == 0;
        item.Details.reserve(item.Details.size() + found->second.Count);
        for (TRow* row = found->second.First; row; row = row->Next) {
            if (!row->DistanceRead) {
                if (!table.Connections)
                    throw EConvertError(fileName + ": " + table.MessageName + " " + item.ID +
                                        ": the observation distance \"" + row->DistanceText +
                                        "\" (StatAnf) is not a number");
                row->Detail.Distance = 0;
            }
            item.Details.push_back(last ? std::move(row->Detail) : row->Detail);
        }
    }

    // Counts a structure that will take the rows of its number.
    void AddUser(int64_t structureId) {
        const auto found = byStructure_.find(structureId);
        if (found != byStructure_.end())
            ++found->second.Users;
    }

private:
    struct TRow {
        TReachDetail Detail;
        bool DistanceRead = true;
        std::string DistanceText;
        TRow* Next = nullptr; // the next row of the same structure
    };
    // A structure's rows in table order, linked through the rows.
    struct TRowList {
        TRow* First = nullptr;
        TRow* Last = nullptr;
        size_t Count = 0;
        int Users = 0;
    };

    // The engine compares a structure's number with the key in the key column's type: as a
    // number in a number column (whose text here is the number's plain text), as text in a
    // text column, where trailing blanks do not count.
    static std::string_view KeyText(std::string_view text) {
        while (!text.empty() && text.back() == ' ')
            text.remove_suffix(1);
        return text;
    }

    // Texts are read as views into the row; values the row does not hold as text are
    // rendered into a scratch string of their own, kept from row to row.
    TRow ReadRow(const TFirebirdQuery& query, const TObservationColumnIndex& at,
                 const TObservationTexts& texts) {
        const auto text = [&](int column, size_t scratch) {
            return query.AsTextView(column, scratch_[scratch]);
        };
        TRow result;
        TReachDetail& detail = result.Detail;
        const std::string_view distance = at.Distance >= 0 ? text(at.Distance, 1) : "";
        if (!ParseDeliveredNumber(distance, detail.Distance)) {
            result.DistanceRead = false;
            result.DistanceText = distance;
        }
        detail.VideoTime = VideoTimeText(text(at.VideoTime, 2));
        if (at.DefectClass >= 0)
            detail.DefectClass = DefectClassValue(text(at.DefectClass, 3));
        TObservationColumns row;
        row.Text = text(at.Text, 4);
        row.Code = text(at.Code, 5);
        detail.Code = row.Code;
        row.Measure1 = text(at.Measure1, 6);
        row.Unit1 = text(at.Unit1, 7);
        row.Measure2 = text(at.Measure2, 8);
        row.Unit2 = text(at.Unit2, 9);
        row.StretchMarker = text(at.StretchMarker, 10);
        row.From = text(at.From, 11);
        row.To = text(at.To, 12);
        detail.Text = ObservationText(row, texts);
        return result;
    }

    std::deque<TRow> rows_; // in table order; rows never move
    std::unordered_map<int64_t, TRowList> byStructure_;
    std::string scratch_[13]; // one per column read, the key's first
};

void TFirebirdDataTreeBuilder::ReadStructures(TFirebirdTransaction& transaction,
                                              const TStructureTable& table, TAReachData& target) {
    TFirebirdQuery structures(
        transaction, SelectOfColumns(transaction, table.StructureTable, StructureColumnNames));
    std::optional<TStructureColumns> columns;
    const std::string& fileName = transaction.Connection().FileName();

    // The structure rows first, as they are; the observation table is read in one pass when
    // the first structure is made, and only then.
    std::deque<TStructureRow> rows; // grows without moving its rows
    structures.Open();
    while (structures.Next()) {
        if (!columns)
            columns.emplace(structures, table.Connections);
        rows.push_back(ReadStructureRow(structures, *columns));
        if (rows.back().IdError)
            break;
    }
    structures.Close();
    std::optional<TObservationRows> observations;

    for (TStructureRow& row : rows) {
        auto structure = std::make_shared<TReachData>();
        target.push_back(structure);
        TReachData& item = *structure;

        item.ID = std::move(row.Texts[0]);
        item.city = std::move(row.Texts[1]);
        item.date = std::move(row.Texts[2]);
        item.street = std::move(row.Texts[3]);
        item.ReachNumber = std::move(row.Texts[4]);
        if (columns->StartManhole >= 0) {
            item.StartManholeNumber = std::move(row.Texts[5]);
            item.EndManholeNumber = std::move(row.Texts[6]);
        }

        item.StartDist = 0;
        double length = 0;
        if (!ParseDeliveredNumber(row.Texts[7], length))
            dialogs_.ShowMessage(TMessageKind::Error,
                                 table.MessageName + " " + item.ID + ": " + texts_->LengthError);
        if (length == 0)
            length = 1;
        item.EndDist = length;
        item.InspLength = std::fabs(item.EndDist - item.StartDist);

        item.ObjectType = table.ObjectType;
        item.direction = IsDownstreamDirection(row.Texts[8], texts_->Downstream);
        item.video = std::move(row.Texts[9]);
        item.CodeDigit = std::move(row.Texts[10]);
        item.InspMode = std::move(row.Texts[11]);
        if (table.Connections) {
            item.ConnectionNumber = std::move(row.Texts[12]);
            if (item.ConnectionNumber.empty())
                item.ConnectionNumber =
                    item.direction ? item.EndManholeNumber : item.StartManholeNumber;
        }
        if (row.IdError)
            std::rethrow_exception(row.IdError);
        if (!observations) {
            // Read with the first structure that needs them, the structure already made.
            observations.emplace(transaction, table, texts_->Observation, rows.size());
            for (const TStructureRow& each : rows)
                if (!each.IdError)
                    observations->AddUser(each.Id);
        }
        observations->MoveTo(row.Id, item, table, fileName);
    }
}

} // namespace kanvio
