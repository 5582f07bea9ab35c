// Windows-style file names on a POSIX file system.
//
// The programs name files the Windows way: "Images\", ".\images\f0000001.tif", "c:\zarnapi.log", bare
// names. This layer turns such a name into a POSIX path ('\' becomes '/', a drive letter maps into a
// configurable root) and resolves every component that already exists without regard to case, so
// "QV8CFG.TMP" finds "qv8cfg.tmp" and "Images\" and ".\images\" name one folder. Components that do not
// exist keep their given spelling, so a new file is created under its given name.
//
// It also stands in for the Windows, System and temporary folders, which are configurable (defaults: the
// current directory, the current directory, and TMPDIR or /tmp). POSIX paths pass through unchanged apart
// from the case resolution, so the folders below may be handed back in and joined with "\name".
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

// Maps the name to a POSIX path without touching the file system: '\' -> '/', "X:" at the start -> the
// drive root (every drive letter maps to the same root). An empty name stays empty.
std::string ToPosixPath(std::string_view windowsName);

// ToPosixPath plus case-insensitive resolution of each existing component. Where several entries differ only
// in case, an exact match wins, otherwise the first one the directory listing yields.
std::string ResolvePath(std::string_view windowsName);

// The folder every drive letter maps to (default "/"). Tests point it at a scratch folder.
void SetDriveRoot(std::string posixFolder);
std::string GetDriveRoot();

// The stand-in folders. Each may be configured; an empty string restores the default. A folder marked
// unavailable makes its Windows-named call fail (returns 0), as a test hook for the callers' fallbacks.
enum class Folder { kWindows, kSystem, kTemp };
void SetFolder(Folder folder, std::string posixFolder);
void SetFolderUnavailable(Folder folder, bool unavailable);
// Restores defaults for all three folders and the drive root, and clears the unavailable marks.
void ResetFolders();
// The folder as a POSIX path without a trailing '/', or nullopt when marked unavailable.
std::optional<std::string> GetFolder(Folder folder);

// Windows-shaped calls: copy the folder (Windows and System without a trailing separator, temporary folder
// with one) into buf and return its length without the NUL. When buf is too small nothing is copied and the
// size needed including the NUL is returned. 0 means failure.
uint32_t GetWindowsDirectoryA(char* buf, uint32_t size);
uint32_t GetSystemDirectoryA(char* buf, uint32_t size);
uint32_t GetTempPathA(uint32_t size, char* buf);

// GetFullPathNameA stand-in: the resolved path made absolute against the current directory.
std::string FullPath(std::string_view windowsName);

// File access by Windows name. OpenFile takes fopen modes; OpenFileDescriptor takes open(2) flags and mode.
// Both resolve the name first; a created file gets its given final name.
std::FILE* OpenFile(std::string_view windowsName, const char* mode);
int OpenFileDescriptor(std::string_view windowsName, int flags, mode_t mode = 0600);
bool FileExists(std::string_view windowsName);  // any existing entry that is not a directory
bool DirectoryExists(std::string_view windowsName);
// Creates one folder (not its parents); true also when it already exists as a folder.
bool CreateDirectory(std::string_view windowsName);
bool DeleteFile(std::string_view windowsName);

// FindFirstFileA/FindNextFileA stand-in: the names (not paths) of the entries of the pattern's folder whose
// names match its last component ('*' and '?' wildcards) without regard to case, in directory order.
// "." and ".." are never returned. A missing folder gives an empty list.
std::vector<std::string> FindFiles(std::string_view windowsPattern);

}  // namespace plat
