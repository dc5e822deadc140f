// Reading engine model files for qmpack: the file is checked to be one, read through the
// device-less environment (which reads the .mtl library it names, from the model file's folder),
// and its library is checked to be readable. The engine's complaints become messages.
#pragma once

#include <string>

class FXModel;
class QMPackEnv;
class QMPackScratch;

// Reads the model file at path into m (working meshes filled). mtl receives the library's
// absolute path, "" when the model names none. where prefixes messages. Reports and returns false
// when the file is not a model file, is damaged, or names a library that cannot be read.
bool qmpackReadModelFile(const std::string& where, const std::string& path, QMPackEnv* env, QMPackScratch* scratch,
                         FXModel* m, std::string* mtl);
// True when the first bytes of path are the string magic (a model "xm03", an animation "xa03", ...).
bool qmpackStartsWith(const std::string& path, const char* magic);
