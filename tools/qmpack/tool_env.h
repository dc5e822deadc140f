// The render environment qmpack loads content through: the engine's loaders are handed it and
// ask it for material libraries, and pictures "upload" to it. It has no device: every
// drawing operation does nothing and every texture is accepted. Libraries named by a relative
// path are found against a base folder the tool sets (the folder of the file being read), and are
// shared by their absolute path, so two models that name "skin.mtl" in different folders get
// their own libraries. An empty name is no library.
#pragma once

#include <string>

#include "render/null_device.h"

class QMPackEnv : public FXNullDevice {
public:
    std::string baseDir;  // relative library names are found here ("" = the working directory)

    QMPackEnv() = default;
    ~QMPackEnv() override;

    FXMatlib* LoadMatlib(const char* file) override;

    void RenderLoop() override {}
};
