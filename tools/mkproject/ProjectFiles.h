#pragma once

// The settings file and the ZF time-code file of a generated project, and writing a whole
// project folder.

#include "tools/mkproject/ProjectGenerator.h"

#include <string>

namespace kanvio::generator {

// The two ways a project is delivered: ISYBAU files, or a project database (Kanvio.dat).
enum class TDelivery { Isybau, Database };

// Kanvio.ini: sections DATA, FILME, common, Debug and DefaultDefectClass, CR LF lines.
// Each structure's film part is an entry "file;start;stop;length;type;ID" whose type word
// is "H" or "A". ISYBAU files carry no structure key, so there the ID stays empty and the
// player links the part to its structure by the time of the structure's first
// observation; a database names the structure by its LFDNR. Distances are hundredths of a
// metre in ISYBAU files and metres in a database: the unit follows.
std::string FormatKanvioIni(const TGeneratedProject& project,
                            TDelivery delivery = TDelivery::Isybau);

// The ZF file: one Untersuchung per inspection with a Film element per film it uses.
std::string FormatZFFile(const TGeneratedProject& project);

// "hh:mm:ss" of whole seconds on the project timeline.
std::string TimelineText(int64_t seconds);

// Writes Kanvio.ini, the reach and connection files and the ZF file into folder (made
// when missing). Throws EInOutError when a file cannot be written.
void WriteIsybauProject(const TGeneratedProject& project, const std::string& folder);

// Makes the project's films with ffmpeg into folder; frameNumbers writes each frame's
// number into its picture (see FrameCode.h).
void WriteProjectFilms(const TGeneratedProject& project, const std::string& folder,
                       bool frameNumbers = false);

// Copies the language and help files and the code texts found in mediumFolder and its sub-folders
// into the same places below folder. A missing medium folder copies nothing. Returns the count.
int CopyMediumFiles(const std::string& mediumFolder, const std::string& folder);

} // namespace kanvio::generator
