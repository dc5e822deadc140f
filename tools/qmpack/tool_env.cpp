// The device-less environment of qmpack.
#include "tool_env.h"

#include "files.h"

QMPackEnv::QMPackEnv() { fxglobalEnv = this; }

QMPackEnv::~QMPackEnv() {
    PEnv::Destroy();
    if (fxglobalEnv == this) fxglobalEnv = nullptr;
}

FXMatlib* QMPackEnv::LoadMatlib(const char* file) {
    std::string name = file ? file : "";
    if (name.empty()) return nullptr;  // a model without a library
    return PEnv::LoadMatlib(qmpackAbsolute(qmpackJoin(baseDir, name)).c_str());
}
