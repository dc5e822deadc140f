// Paths: two numbered base directories (type paths 1 and 2), the working directory and the
// path helpers. Results of fxCombinePaths, fxBuildRelativePath, fxChangeExt and fxAppenfFname
// live in one work buffer that the next such call overwrites: copy a result before the next call.
// Both separators are understood; the native one is '/' here.
#pragma once

#include <cstddef>
#include <cstdio>

enum { FX_MAX_PATH = 260 };

// Type path 1 = the working directory, 2 = the system fonts folder (or empty); both end in a separator.
void fxInitPaths();
// Types 1 and 2 only; a path too long for the buffer is refused (false) and the old value kept.
bool fxSetTypePath(int type, const char* path);
const char* fxGetTypePath(int type);  // null for other types
bool fxSetActPath(const char* dir);
bool fxSetPath(int type);
bool fxSetSubPath(int type, const char* sub);
// The working directory with a trailing separator.
char* fxGetActPath();

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

// ---- provided by the platform file (paths_posix.cpp, paths_w32.cpp) ----
extern const char fxNativeSeparator;
bool fxPlatformSetCurrentDir(const char* dir);
bool fxPlatformGetCurrentDir(char* buf, size_t size);
// The system fonts folder, or false when there is none.
bool fxPlatformFontsDir(char* buf, size_t size);
bool fxPlatformPathExists(const char* path);
// Moves the file from over the file to (which may exist), in one step where the system allows.
bool fxReplaceFile(const char* from, const char* to);
// Whether an opened file is a regular file on disk (not a device, a pipe or a folder).
bool fxIsRegularFile(FILE* f);
