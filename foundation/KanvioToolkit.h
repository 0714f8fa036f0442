#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kanvio {

class TBigIniFile;

// The folder of the running program, ending with "/".
std::string GetProgramFolder();
// Tests run the program logic against a folder of their own; empty restores the real one.
void SetProgramFolderForTesting(std::string folder);

std::string GetDocumentsFolder(); // ends with "/"
std::string GetPicturesFolder();  // ends with "/"
std::string GetTempFolder();      // ends with "/"

// Opens the delivery's Kanvio.ini (the caller owns it): on the medium the one beside the
// program, else the chosen delivery's. writable is true when the
// file exists and this user may write it and its folder; nothing about the file changes.
std::unique_ptr<TBigIniFile> OpenProgramSettings(bool& writable);

// Effective user id 0, or write access to the machine-scope store's folder.
bool IsUserAdministrator();

// "major.minor" when shortForm, else "major.minor.release.build"; an empty fileName means
// the running program, whose version is compiled in. Other files have no version: "0.0".
std::string GetVersionText(const std::string& fileName, bool shortForm);

std::string PadText(std::string_view text, size_t width);
// Field number index (from 0) of a ";"-separated text, with the 200-character cut of each
// skipped field's remainder.
std::string ExtractField(std::string_view text, int index);
// Text without its leading blanks, never removing the last character; throws ERangeError
// for 256 characters or more.
std::string TrimLeadingBlanks(std::string_view text);
std::string Trim(std::string_view text);

// Paths from settings files may use "\" as the folder separator.
std::string ToNativeSeparators(std::string_view path);
std::string ExtractFileName(std::string_view path);
std::string ExtractFileDir(std::string_view path); // without trailing "/"
bool FileExists(const std::string& path);
// Files named by project data are found when only the letter case differs: every
// component of path that does not exist as written is looked up without regard to case.
// Returns the existing path, or path unchanged when nothing matches.
std::string FindFileIgnoringCase(const std::string& path);

// The folder lies on an optical disc (iso9660, udf).
bool IsOnOpticalDisc(const std::string& path);
// The folder lies on a network file system (nfs, cifs/smb, sshfs and other network FUSE).
bool IsOnNetworkDrive(const std::string& path);

// A window's place: KeepFormOnScreen pulls a window whose saved position lies beyond the
// available screen area back onto it (the part below a bottom task bar counts as beyond).
struct TFormGeometry {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
};
struct TScreenArea {
    int Width = 0; // whole screen
    int Height = 0;
    int BottomReserved = 0; // height of a task bar along the bottom edge, else 0
};
TFormGeometry KeepFormOnScreen(TFormGeometry form, const TScreenArea& screen);

} // namespace kanvio
