#pragma once

// Writes project databases ("Kanvio.dat") the way deliveries carry them: the reach and
// connection tables with their observation tables, texts in Windows-1252, and a few
// tables and columns of the delivering program that the player does not read.

#include "tools/mkproject/ProjectGenerator.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kanvio::generator {

// ---- Any table ----

struct TDbColumn {
    std::string Name;
    std::string SqlType; // as in CREATE TABLE: "VARCHAR(40)", "DOUBLE PRECISION", "DATE"
};
using TDbValue = std::optional<std::string>; // nothing stands for NULL
struct TDbTable {
    std::string Name;
    std::vector<TDbColumn> Columns;
    // Values as text, converted by the engine to each column's type; texts are stored as
    // given, in the character set of their column.
    std::vector<std::vector<TDbValue>> Rows;
    std::vector<std::string> IndexedColumns; // one index each
};

struct TDatabaseOptions {
    bool ReadOnly = false; // mark the database read-only once it is written
};

// Writes a new database file with these tables, replacing an existing file. Throws
// EKanvioError (naming the file) when the client or the engine refuses.
void WriteFirebirdDatabase(const std::string& fileName, const std::vector<TDbTable>& tables,
                           const TDatabaseOptions& options = {});

// ---- A delivery ----

struct TDbObservation {
    std::string StatAnf, VideoZ, Text, KZL, Mass1, Einheit1, Mass2, Einheit2, Klasse;
    std::string Streckensch, Von, Bis;
};

struct TDbStructure {
    int64_t LFDNR = 0;
    std::string Stadt, Datum, Strasse, HaltungsNr, AnschlNr, AnfSchacht, EndSchacht;
    std::string Untersuchl, Fliessr, VideoB, Kennz, Untersa;
    std::vector<TDbObservation> Observations;
};

struct TDbDelivery {
    std::vector<TDbStructure> Reaches;
    std::vector<TDbStructure> Connections;
};

// Which of the tables and optional columns the delivery's schema has, and how it types
// its numbers.
struct TDeliveryLayout {
    bool ReachTables = true;      // Haltung and HaltungE
    bool ConnectionTables = true; // Anschl and AnschlE
    bool ManholeColumns = true;   // AnfSchacht and EndSchacht
    bool ConnectionNumberColumn = true;
    bool VideoColumn = true;
    bool CodeDigitColumn = true;
    bool InspModeColumn = true;
    bool DefectClassColumn = true;
    // Numbers (lengths, distances, measures, classes) and dates in typed columns instead
    // of texts; the texts then have to be valid numbers and ISO dates.
    bool TypedColumns = false;
    bool ExtraTablesAndColumns = true;
};

std::vector<TDbTable> DeliveryTables(const TDbDelivery& delivery,
                                     const TDeliveryLayout& layout = {});

void WriteDeliveryDatabase(const std::string& fileName, const TDbDelivery& delivery,
                           const TDeliveryLayout& layout = {},
                           const TDatabaseOptions& options = {});

// ---- A generated project as a database delivery ----

// The same reaches, connections and observations as the project's ISYBAU files: running
// numbers from 1 per table, lengths and stations in metres with a decimal comma, film
// times from the video counters (one-digit hours without their leading zero, as many
// deliveries write them), the observation's code as KZL and its remark as Text.
TDbDelivery DeliveryFromProject(const TGeneratedProject& project);

// Writes folder + "/Kanvio.dat" for the project and the settings file that goes with it
// (replacing the ISYBAU one when there is one): the same film parts, each naming its
// structure by type and LFDNR, and distances in metres.
void WriteProjectDatabase(const TGeneratedProject& project, const std::string& folder);

} // namespace kanvio::generator
