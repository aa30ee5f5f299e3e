#pragma once

#include <string>

namespace mindrel {

// Folder of the running program file, ending in '/'.
std::string ExeFolder();

// Folder of the files the program reads beside itself (pictures, icons, the
// alert sound), ending in '/': "../share/mindrel/" from the program's folder
// when the program runs from an installed tree, else the program's folder
// itself (the build tree keeps them next to the programs).
std::string ProgramFilesFolder(const std::string& exeFolder);

// Mindrel's data folder, ending in '/': $MINDREL_DATA_DIR when set, else
// $XDG_DATA_HOME/Mindrel, else ~/.local/share/Mindrel. The folder and its
// missing parents are created. Empty when no base folder can be found or the
// folder cannot be made; callers then fail with "Unable to create directory".
std::string GetDataFolder();

// Where a program's temporary tables go: `preferred` when it is a folder this
// process may write, else a folder of this user's own under
// $XDG_RUNTIME_DIR, else under $TMPDIR or /tmp (made when missing, readable
// only by the user). Ends in '/'; empty when none can be had.
std::string WritableTemporaryFolder(const std::string& preferred);

// Creates the folder and its missing parents; false when that fails or the
// path is empty.
bool ForceDirectories(const std::string& path);

bool DirectoryExists(const std::string& path);
// Appends '/' unless the path already ends in one.
std::string WithTrailingSeparator(std::string path);

}  // namespace mindrel
