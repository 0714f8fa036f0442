#pragma once

// ISYBAU XML deliveries of a generated project: the same structures, observations and
// film parts as its fixed-width files and its database, in one XML file with the films
// listed under Filme/Film.

#include "tools/mkproject/ProjectGenerator.h"

#include <string>

namespace kanvio::generator {

enum class TXmlVersion { V2006_10, V2013_02, V2017_07 };

// How observations give their place in the film: the time code shown on it, the number
// of the frame, or the counter (whole seconds since the film's start).
enum class TXmlVideoPosition { Timecode, Frame, Counter };

struct TXmlDeliveryOptions {
    TXmlVersion Version = TXmlVersion::V2017_07;
    TXmlVideoPosition Position = TXmlVideoPosition::Timecode;
    // The time code on the first frame of every film, in hours (as on tapes that did not
    // start at zero); written as the film's start offset.
    int TimecodeStartHours = 0;
    // Filmpfad of every film; FilmPathIsAbsolute marks it so.
    std::string FilmPath;
    bool FilmPathIsAbsolute = false;
    // Only the required elements: no street, district, order, comment or classification.
    bool RequiredOnly = false;
    // Consecutive filmed structures that share one film, listed under its FilmObjekte; the
    // film is the first structure's file and spans their parts of the timeline.
    int ObjectsPerFilm = 1;
    // Manhole inspections written after the pipes.
    int ManholeInspections = 0;
    // Optional elements a real delivery carries about every observation (quantities,
    // positions, photo names), which make the file as large as real ones are.
    bool FullObservations = false;
};

const char* VersionText(TXmlVersion version);

// The XML file: declared UTF-8, except 2006-10 deliveries, which are ISO-8859-1.
std::string FormatIsybauXml(const TGeneratedProject& project, const TXmlDeliveryOptions& options);

// Kanvio.ini of an XML delivery: no film list (the films come from the XML), distances in
// metres; Projekt names the XML file unless xmlFileName is empty.
std::string FormatXmlKanvioIni(const TGeneratedProject& project, const std::string& xmlFileName);

// Writes Kanvio.ini and the XML file (named xmlFileName) into folder.
void WriteIsybauXmlProject(const TGeneratedProject& project, const std::string& folder,
                           const TXmlDeliveryOptions& options,
                           const std::string& xmlFileName = "Inspektion.xml");

} // namespace kanvio::generator
