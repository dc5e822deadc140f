// Record forms turned back into the source forms `build` compiles.
#pragma once

#include <functional>
#include <string>

class FXPackageData;

// The .mtl text of the material library record d: material 0 (unnamed) as the settings before
// the first "newmtl", then one "newmtl" block per material, its picture entry named by
// pictureFile(entry). False when the record is not a library. *reason says what the text cannot
// carry (the record then comes back different when built again); empty when it carries it all.
bool qmpackLibraryToMtl(FXPackageData* d, const std::function<std::string(int)>& pictureFile, std::string* text,
                        std::string* reason);
