// Paths as the program's files store them (Windows style: backslashes,
// drive letters, "\kvo\..." rooted on the current drive) mapped onto this
// machine, and the search for the program's own data files.
//
// Drive-rooted paths live below one root folder: $MORVANE_ROOT, or the
// program's folder in the user's data folder.  A name not found exactly is
// matched case-insensitively, one path component at a time.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace morvane {

// The folder that stands for the root of the current drive.
std::filesystem::path RootFolder();

// RootFolder()/kvo: the working folder.
std::filesystem::path WorkingFolder();

// Creates the root and working folders if they are missing; false when
// they cannot be created.
bool EnsureRootFolders();

// Maps a stored path to a path on this machine without looking at the
// disk: backslashes become slashes, a drive letter is dropped, and a
// drive-rooted path goes below RootFolder().  A native absolute path (no
// backslash, no drive letter) stays as it is; a relative one stays
// relative to the current folder.
std::filesystem::path MapStoredPath(const std::string& stored);

// Finds an existing file or folder for `path`: the path itself, else a
// case-insensitive match of each component in turn.
std::optional<std::filesystem::path> FindCaseInsensitive(const std::filesystem::path& path);

// MapStoredPath, then FindCaseInsensitive (native absolute paths that do
// not exist are tried below the root as well).
std::optional<std::filesystem::path> ResolveStoredPath(const std::string& stored);

// Finds one of the program's data files by name ("sphere.par",
// "default.jxw", ...): the current folder, then \dos, \windows, \kvo,
// \win95, \win98, \win, the root and \winNT below the root folder, then
// the folders of the data files the program ships (ShippedDataFolders).
std::optional<std::filesystem::path> FindDataFile(const std::string& name);

// The folders FindDataFile searches, in order.
std::vector<std::filesystem::path> DataSearchPath();

// The folder of the running program's executable (symbolic links
// followed), when the system tells it.
std::optional<std::filesystem::path> ProgramFolder();

// Where the data files the program ships lie, for a program in
// `programFolder`: for a program of the build tree, the build's data
// folder alone; else the installed data folder as it lies from the
// program's folder (bin/../share/morvane, so that an install can be
// moved), then the data folder the build was configured to install to.
std::vector<std::filesystem::path> ShippedDataFolders(const std::optional<std::filesystem::path>& programFolder);

}  // namespace morvane
