#pragma once

// The settings file and the ZF time-code file of a generated project, and writing a whole
// project folder.

#include "tools/mkproject/ProjectGenerator.h"

#include <string>

namespace kanvio::generator {

// Kanvio.ini: sections DATA, FILME, common, Debug and DefaultDefectClass, CR LF lines.
// Each structure's film part is an entry "file;start;stop;length;type;" whose type word is
// "H" or "A" and whose ID stays empty (the files carry none): the player links it to its
// structure by the time of the structure's first observation.
std::string FormatKanvioIni(const TGeneratedProject& project);

// The ZF file: one Untersuchung per inspection with a Film element per film it uses.
std::string FormatZFFile(const TGeneratedProject& project);

// "hh:mm:ss" of whole seconds on the project timeline.
std::string TimelineText(int64_t seconds);

// Writes Kanvio.ini, the reach and connection files and the ZF file into folder (made
// when missing). Throws EInOutError when a file cannot be written.
void WriteIsybauProject(const TGeneratedProject& project, const std::string& folder);

// Makes the project's films with ffmpeg into folder.
void WriteProjectFilms(const TGeneratedProject& project, const std::string& folder);

// Copies the language and help files found in mediumFolder and its sub-folders into the
// same places below folder. A missing medium folder copies nothing. Returns the count.
int CopyMediumFiles(const std::string& mediumFolder, const std::string& folder);

} // namespace kanvio::generator
