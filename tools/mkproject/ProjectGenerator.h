#pragma once

// The content of a generated inspection project, made from a seed: inspections of reaches
// and house connections in German towns, their observations with video counter times,
// the films and the film list that places every structure on the project timeline.
// Tests and benchmarks compare what the program reads with this input.

#include "tools/mkproject/FilmMaker.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kanvio::generator {

struct TGeneratorOptions {
    int Reaches = 6;
    int Connections = 8;
    int Observations = 80; // over all structures
    int Films = 3;         // film files; the film list has one entry per structure
    int FilmSeconds = 4;   // length of each film and of each structure's part of the timeline
    uint32_t Seed = 1;
};

// The small project of the shared test media ("isybau-project" of --test-media), which
// the test suites compare the program's output with.
TGeneratorOptions SharedTestProjectOptions();

// Texts are Windows-1252 bytes, as a delivery holds them.
struct TGeneratedObservation {
    uint16_t StationHundredths = 0; // station in hundredths of a metre
    uint16_t CounterHours = 0;
    uint8_t CounterMinutes = 0;
    uint8_t CounterSeconds = 0;
    std::string Code;
    std::string Remark;  // the description, written as continuation records
    int DefectClass = 0; // 0 for marks that are no defect
    int64_t TimelineSeconds = 0;
};

struct TGeneratedStructure {
    char ObjectType = 'H'; // 'H' reach, 'A' house connection
    std::string Number;
    std::string Street;
    std::string StartManhole;
    std::string EndManhole;
    uint16_t LengthHundredths = 0;
    std::vector<TGeneratedObservation> Observations;
    int64_t StartTime = 0; // the structure's film part on the project timeline, seconds
    int64_t StopTime = 0;
    int FilmIndex = -1; // the film file of that part; -1 without films
    // Its LFDNR in a database delivery: running from 1 per structure table in file order.
    int64_t RowNumber = 0;
};

struct TGeneratedInspection {
    int Year = 2000, Month = 1, Day = 1;
    std::string City;
    std::string Company;
    std::vector<TGeneratedStructure> Items;
};

struct TGeneratedFilm {
    std::string FileName; // without folder
    TFilmKind Kind = TFilmKind::Mpeg2Program;
    int Seconds = 4;
    std::string Label;
};

struct TGeneratedProject {
    std::vector<TGeneratedInspection> ReachInspections;
    std::vector<TGeneratedInspection> ConnectionInspections;
    std::vector<TGeneratedFilm> Films;
    std::string ReachFileName = "Haltungen.txt";
    std::string ConnectionFileName = "Anschluesse.txt";
    std::string ZFFileName = "Zeitcodes.xml";
    int FramesPerSecond = 25;

    // Reaches, then connections, each in file order: the order of the film list.
    std::vector<const TGeneratedStructure*> StructuresInTimelineOrder() const;
    size_t ObservationCount() const;
};

// Deterministic for the given options. Throws std::invalid_argument for negative sizes
// or films shorter than two seconds.
TGeneratedProject GenerateProject(const TGeneratorOptions& options);

} // namespace kanvio::generator
