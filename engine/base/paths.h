// Paths, in two forms. The names records carry (a library's pictures, a movie's frames) go
// through the short-buffer helpers: both separators are understood wherever the record was made,
// and results of fxCombinePaths, fxBuildRelativePath, fxChangeExt and fxAppenfFname live in one
// work buffer that the next such call overwrites (copy a result before the next call). Paths the
// system names files by (tools, the saver's folders) go through the std::string helpers, of any
// length, with the system's own separators and roots. Nothing here changes the working
// directory: a file is always named from a folder the caller holds.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

enum { FX_MAX_PATH = 260 };

// dir joined with file (one leading separator of file dropped), "." and ".." folded; null when
// the result does not fit.
const char* fxCombinePaths(const char* dir, const char* file);
// to made relative to from (a directory unless fromIsFile); to itself when no relative form exists.
char* fxBuildRelativePath(const char* from, bool fromIsFile, const char* to, bool toIsFile);
// True when path starts at a root: a separator or a drive ("C:").
bool fxIsAbsolutePath(const char* path);
// The file-name part inside path.
const char* fxGetFilename(const char* path);
bool fxPathExists(const char* path);
// path with ext as its extension / with suffix appended to its name before the extension.
char* fxChangeExt(const char* path, const char* ext);
char* fxAppenfFname(const char* path, const char* suffix);

// The trailing-separator rule: unchanged when path ends in '\' or '/'; else '\' when it holds a
// '\', '/' when it holds only '/', the native separator when it holds neither. False (path
// unchanged) when there is no room in size bytes.
bool fxAddPathEnding(char* path, size_t size);
void fxRemovePathLeading(char* path);
void fxRemovePathEnding(char* path);

// ---- file-system paths of any length ----
// The folder part with its trailing separator ("" for a bare file name).
std::string fxDirOf(const std::string& path);
// The file-name part.
std::string fxBaseOf(const std::string& path);
// The lower-cased extension without its dot ("" when there is none; a leading dot is no
// extension: ".hidden").
std::string fxExtOf(const std::string& path);
// dir joined with file; file unchanged when it is rooted.
std::string fxJoinPath(const std::string& dir, const std::string& file);
// The absolute form of path (against the working directory), with "." and ".." folded and the
// root's separators written '/'.
std::string fxAbsolutePath(const std::string& path);
// The relative path from the folder dir to the file path (both made absolute first; "../" where
// needed). The file's own name is never taken for a shared folder.
std::string fxRelativePath(const std::string& dir, const std::string& path);

// ---- provided by the platform file (paths_posix.cpp, paths_w32.cpp) ----
extern const char fxNativeSeparator;
bool fxPlatformGetCurrentDir(char* buf, size_t size);
bool fxPlatformPathExists(const char* path);
// Moves the file from over the file to (which may exist), in one step where the system allows.
bool fxReplaceFile(const char* from, const char* to);
// True for a character that separates folders in a file-system path ('/' here; '\' too on
// Windows).
bool fxIsSeparator(char c);
// The length of path's root ("/" here; "C:/", "//server/share/" or "/" on Windows); 0 for a
// relative path.
size_t fxRootLength(const std::string& path);
// path anchored at a root: a relative path joined to the working directory; on Windows also a
// path from the root of the current drive given that drive ("/x" is "C:/x").
std::string fxAnchoredPath(const std::string& path);
// The file path finally names, its symbolic links followed (also when the last one points at a
// file that does not exist yet); "" when the chain loops.
std::string fxResolveLinks(const std::string& path);
