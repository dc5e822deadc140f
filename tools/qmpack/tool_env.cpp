// The device-less environment of qmpack.
#include "tool_env.h"

#include "files.h"

QMPackEnv::~QMPackEnv() { PEnv::Destroy(); }

FXMatlib* QMPackEnv::LoadMatlib(const char* file) {
    std::string name = file ? file : "";
    if (name.empty()) return nullptr;  // a model without a library
    std::string path = fxAbsolutePath(fxJoinPath(baseDir, name)), why;
    // Only a regular file is opened: a named pipe or a device would block the reader for ever.
    // The caller reports a library that cannot be read, with the reason.
    if (!qmpackCheckInput(path, &why)) return nullptr;
    return PEnv::LoadMatlib(path.c_str());
}
