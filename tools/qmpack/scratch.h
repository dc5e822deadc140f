// A private scratch folder for one qmpack command: compiled records waiting to be packed and the
// engine's temporary library files. Removed with everything inside
// when the command ends (or is interrupted). It also keeps the engine's errors while it lives (an
// error capture), which the tool shows to the author as warnings or as the reason of a failure.
#pragma once

#include <string>
#include <vector>

#include "base/errors.h"

class QMPackScratch {
public:
    QMPackScratch() = default;
    QMPackScratch(const QMPackScratch&) = delete;
    QMPackScratch& operator=(const QMPackScratch&) = delete;
    ~QMPackScratch();

    // Makes the folder (under $TMPDIR, else /tmp); says why when it cannot, unless quiet.
    bool Create(bool quiet = false);
    const std::string& Dir() const { return dir; }
    // A new path inside the folder (unique within this command; not created).
    std::string NewPath(const std::string& suffix);
    // The engine's errors and warnings since the last call.
    std::vector<FXError> TakeEngineErrors();
    // Reports the engine's errors since the last call, each after "where: ": warnings (words a
    // material library does not know) are warnings; anything else is an error. False when there
    // was one.
    bool ReportEngineErrors(const std::string& where);

private:
    std::string dir;
    int counter = 0;
    FXErrorCapture engineErrors;  // from construction: also before (or without) the folder
};
