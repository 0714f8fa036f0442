#include "tools/mkproject/FirebirdWriter.h"

#include "datasources/FirebirdClient.h"
#include "datasources/FirebirdDataTreeBuilder.h"
#include "datasources/FirebirdQuery.h"
#include "foundation/AtomicFile.h"
#include "tools/mkproject/ProjectFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace kanvio::generator {

namespace {

// Texts of deliveries are Windows-1252 unless a column declares its own character set.
constexpr const char* DeliveryCharacterSet = "WIN1252";

// No connection character set: the values given are stored as they are, so a column
// declared in another character set takes bytes of that set.
TFirebirdLogin DeliveryLogin() {
    return TFirebirdLogin{FirebirdDeliveryUserName, FirebirdDeliveryPassword, {}};
}

std::string CreateTableSql(const TDbTable& table) {
    std::string sql = "CREATE TABLE " + table.Name + " (";
    for (size_t i = 0; i < table.Columns.size(); ++i) {
        if (i > 0)
            sql += ", ";
        sql += table.Columns[i].Name + " " + table.Columns[i].SqlType;
    }
    return sql + ")";
}

std::string InsertSql(const TDbTable& table) {
    std::string names;
    std::string values;
    for (size_t i = 0; i < table.Columns.size(); ++i) {
        if (i > 0) {
            names += ", ";
            values += ", ";
        }
        names += table.Columns[i].Name;
        values += ":P" + std::to_string(i);
    }
    return "INSERT INTO " + table.Name + " (" + names + ") VALUES (" + values + ")";
}

void FillTable(TFirebirdTransaction& transaction, const TDbTable& table) {
    if (table.Rows.empty())
        return;
    TFirebirdQuery insert(transaction, InsertSql(table));
    for (const auto& row : table.Rows) {
        for (size_t i = 0; i < table.Columns.size(); ++i) {
            const std::string name = "P" + std::to_string(i);
            if (i < row.size() && row[i])
                insert.SetParamAsText(name, *row[i]);
            else
                insert.SetParamNull(name);
        }
        insert.Execute();
    }
}

// ---- The delivery's schema ----

struct TColumnValue {
    TDbColumn Column;
    TDbValue Value;
};

// Typed columns cannot hold an empty text: an empty value is stored as NULL there.
TDbValue Typed(const std::string& text, bool typed) {
    if (typed && text.empty())
        return std::nullopt;
    return text;
}

std::vector<TColumnValue> StructureColumns(const TDbStructure& s, const TDeliveryLayout& layout,
                                           bool connection) {
    const bool typed = layout.TypedColumns;
    std::vector<TColumnValue> columns = {
        {{"LFDNR", "INTEGER NOT NULL PRIMARY KEY"}, std::to_string(s.LFDNR)},
        {{"Stadt", "VARCHAR(40)"}, s.Stadt},
        {{"Datum", typed ? "DATE" : "VARCHAR(10)"}, Typed(s.Datum, typed)},
        {{"Strasse", "VARCHAR(60)"}, s.Strasse},
        {{"HaltungsNr", "VARCHAR(20)"}, s.HaltungsNr},
    };
    if (connection && layout.ConnectionNumberColumn)
        columns.push_back({{"AnschlNr", "VARCHAR(20)"}, s.AnschlNr});
    if (layout.ManholeColumns) {
        columns.push_back({{"AnfSchacht", "VARCHAR(20)"}, s.AnfSchacht});
        columns.push_back({{"EndSchacht", "VARCHAR(20)"}, s.EndSchacht});
    }
    columns.push_back(
        {{"Untersuchl", typed ? "DOUBLE PRECISION" : "VARCHAR(20)"}, Typed(s.Untersuchl, typed)});
    columns.push_back({{"Fliessr", "VARCHAR(20)"}, s.Fliessr});
    if (layout.VideoColumn)
        columns.push_back({{"VideoB", "VARCHAR(40)"}, s.VideoB});
    if (layout.CodeDigitColumn)
        columns.push_back({{"Kennz", "VARCHAR(20)"}, s.Kennz});
    if (layout.InspModeColumn)
        columns.push_back({{"Untersa", "VARCHAR(20)"}, s.Untersa});
    if (layout.ExtraTablesAndColumns) {
        // What the delivering program keeps for itself.
        columns.push_back({{"Bemerkung", "VARCHAR(200)"}, "Kamera " + std::to_string(s.LFDNR % 3)});
        columns.push_back({{"Erfasst", "TIMESTAMP"}, "2024-03-01 08:15:00"});
        columns.push_back({{"Skizze", "BLOB SUB_TYPE BINARY"}, std::nullopt});
    }
    return columns;
}

std::vector<TColumnValue> ObservationColumns(int64_t structureId, int64_t rowNumber,
                                             const TDbObservation& o,
                                             const TDeliveryLayout& layout) {
    const bool typed = layout.TypedColumns;
    std::vector<TColumnValue> columns = {
        {{"LFDNR", "INTEGER NOT NULL PRIMARY KEY"}, std::to_string(rowNumber)},
        {{"ZuLFDNr", "INTEGER NOT NULL"}, std::to_string(structureId)},
        {{"StatAnf", typed ? "DOUBLE PRECISION" : "VARCHAR(20)"}, Typed(o.StatAnf, typed)},
        {{"VideoZ", typed ? "TIME" : "VARCHAR(12)"}, Typed(o.VideoZ, typed)},
        {{"KZL", "VARCHAR(8)"}, o.KZL},
        {{"Text", "VARCHAR(250)"}, o.Text},
        {{"Mass1", typed ? "NUMERIC(9,2)" : "VARCHAR(20)"}, Typed(o.Mass1, typed)},
        {{"Einheit1", "VARCHAR(10)"}, o.Einheit1},
        {{"Mass2", typed ? "NUMERIC(9,2)" : "VARCHAR(20)"}, Typed(o.Mass2, typed)},
        {{"Einheit2", "VARCHAR(10)"}, o.Einheit2},
    };
    if (layout.DefectClassColumn)
        columns.push_back({{"Klasse", typed ? "SMALLINT" : "VARCHAR(12)"}, Typed(o.Klasse, typed)});
    columns.push_back({{"Streckensch", "CHAR(2)"}, o.Streckensch});
    columns.push_back({{"Von", "VARCHAR(20)"}, o.Von});
    columns.push_back({{"Bis", "VARCHAR(20)"}, o.Bis});
    if (layout.ExtraTablesAndColumns)
        columns.push_back({{"Foto", "VARCHAR(80)"}, "foto" + std::to_string(rowNumber) + ".jpg"});
    return columns;
}

TDbTable NamedTable(std::string name) {
    TDbTable table;
    table.Name = std::move(name);
    return table;
}

// Appends one row; the columns of the first row make the table's columns.
void AddRow(TDbTable& table, std::vector<TColumnValue> row) {
    if (table.Columns.empty())
        for (auto& cell : row)
            table.Columns.push_back(cell.Column);
    std::vector<TDbValue> values;
    values.reserve(row.size());
    for (auto& cell : row)
        values.push_back(std::move(cell.Value));
    table.Rows.push_back(std::move(values));
}

void AddStructureTables(std::vector<TDbTable>& tables, const std::vector<TDbStructure>& items,
                        const TDeliveryLayout& layout, bool connections) {
    TDbTable structures = NamedTable(connections ? "Anschl" : "Haltung");
    TDbTable observations = NamedTable(connections ? "AnschlE" : "HaltungE");
    observations.IndexedColumns = {"ZuLFDNr"};
    // Empty tables still need their columns.
    const TDbStructure emptyStructure;
    for (auto& cell : StructureColumns(emptyStructure, layout, connections))
        structures.Columns.push_back(cell.Column);
    for (auto& cell : ObservationColumns(0, 0, TDbObservation{}, layout))
        observations.Columns.push_back(cell.Column);

    int64_t rowNumber = 0;
    for (const auto& item : items) {
        structures.Rows.emplace_back();
        for (auto& cell : StructureColumns(item, layout, connections))
            structures.Rows.back().push_back(std::move(cell.Value));
        for (const auto& observation : item.Observations) {
            observations.Rows.emplace_back();
            for (auto& cell : ObservationColumns(item.LFDNR, ++rowNumber, observation, layout))
                observations.Rows.back().push_back(std::move(cell.Value));
        }
    }
    tables.push_back(std::move(structures));
    tables.push_back(std::move(observations));
}

void AddExtraTables(std::vector<TDbTable>& tables) {
    TDbTable project = NamedTable("Projekt");
    AddRow(project, {{{"Nr", "INTEGER"}, "1"},
                     {{"Auftraggeber", "VARCHAR(60)"}, "Stadtentw\xe4sserung"},
                     {{"Beschreibung", "BLOB SUB_TYPE TEXT"}, "Inspektion nach Starkregen"}});
    tables.push_back(std::move(project));
    TDbTable manholes = NamedTable("Schacht");
    for (int i = 1; i <= 3; ++i)
        AddRow(manholes, {{{"SchachtNr", "VARCHAR(20)"}, "S" + std::to_string(i)},
                          {{"Deckelhoehe", "NUMERIC(9,3)"}, std::to_string(100 + i) + ".125"}});
    tables.push_back(std::move(manholes));
}

std::string HundredthsText(unsigned hundredths) {
    char text[32];
    std::snprintf(text, sizeof text, "%u,%02u", hundredths / 100, hundredths % 100);
    return text;
}

std::string CounterText(const TGeneratedObservation& o) {
    char text[32];
    std::snprintf(text, sizeof text, "%u:%02u:%02u", static_cast<unsigned>(o.CounterHours),
                  static_cast<unsigned>(o.CounterMinutes), static_cast<unsigned>(o.CounterSeconds));
    return text;
}

std::string DateText(const TGeneratedInspection& inspection) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d", inspection.Day, inspection.Month,
                  inspection.Year);
    return text;
}

void AddProjectStructures(const std::vector<TGeneratedInspection>& inspections,
                          std::vector<TDbStructure>& target) {
    for (const auto& inspection : inspections) {
        for (const auto& item : inspection.Items) {
            TDbStructure s;
            s.LFDNR = item.RowNumber;
            s.Stadt = inspection.City;
            s.Datum = DateText(inspection);
            s.Strasse = item.Street;
            if (item.ObjectType == 'A')
                s.AnschlNr = item.Number;
            else
                s.HaltungsNr = item.Number;
            s.AnfSchacht = item.StartManhole;
            s.EndSchacht = item.EndManhole;
            s.Untersuchl = HundredthsText(item.LengthHundredths);
            s.Fliessr = "GEGEN";
            s.Untersa = "TV";
            for (const auto& observation : item.Observations) {
                TDbObservation o;
                o.StatAnf = HundredthsText(observation.StationHundredths);
                o.VideoZ = CounterText(observation);
                o.KZL = observation.Code;
                o.Text = observation.Remark;
                if (observation.DefectClass > 0)
                    o.Klasse = std::to_string(observation.DefectClass);
                s.Observations.push_back(std::move(o));
            }
            target.push_back(std::move(s));
        }
    }
}

} // namespace

TDbDelivery DeliveryFromProject(const TGeneratedProject& project) {
    TDbDelivery delivery;
    AddProjectStructures(project.ReachInspections, delivery.Reaches);
    AddProjectStructures(project.ConnectionInspections, delivery.Connections);
    return delivery;
}

void WriteProjectDatabase(const TGeneratedProject& project, const std::string& folder) {
    WriteDeliveryDatabase(folder + "/Kanvio.dat", DeliveryFromProject(project));
    WriteFileAtomically(folder + "/Kanvio.ini", FormatKanvioIni(project, TDelivery::Database));
}

void WriteFirebirdDatabase(const std::string& fileName, const std::vector<TDbTable>& tables,
                           const TDatabaseOptions& options) {
    if (::unlink(fileName.c_str()) != 0 && errno != ENOENT)
        throw EInOutError(fileName,
                          std::string("cannot replace the file: ") + std::strerror(errno));
    const TFirebirdLogin login = DeliveryLogin();
    {
        auto connection = TFirebirdConnection::Create(fileName, login, DeliveryCharacterSet);
        {
            TFirebirdTransaction schema(*connection);
            for (const auto& table : tables) {
                connection->Execute(schema, CreateTableSql(table));
                for (const auto& column : table.IndexedColumns)
                    connection->Execute(schema, "CREATE INDEX IX_" + table.Name + "_" + column +
                                                    " ON " + table.Name + " (" + column + ")");
            }
            schema.Commit();
        }
        {
            TFirebirdTransaction data(*connection);
            for (const auto& table : tables)
                FillTable(data, table);
            data.Commit();
        }
        connection->Detach();
    }
    if (options.ReadOnly)
        TFirebirdConnection::SetReadOnly(fileName, login, true);
    // A delivery is read by whoever starts the player from the medium.
    ::chmod(fileName.c_str(), 0644);
}

std::vector<TDbTable> DeliveryTables(const TDbDelivery& delivery, const TDeliveryLayout& layout) {
    std::vector<TDbTable> tables;
    if (layout.ExtraTablesAndColumns)
        AddExtraTables(tables);
    if (layout.ReachTables)
        AddStructureTables(tables, delivery.Reaches, layout, false);
    if (layout.ConnectionTables)
        AddStructureTables(tables, delivery.Connections, layout, true);
    return tables;
}

void WriteDeliveryDatabase(const std::string& fileName, const TDbDelivery& delivery,
                           const TDeliveryLayout& layout, const TDatabaseOptions& options) {
    WriteFirebirdDatabase(fileName, DeliveryTables(delivery, layout), options);
}

} // namespace kanvio::generator
