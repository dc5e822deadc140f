// A private scratch folder for one qmpack command: compiled records waiting to be packed, the
// engine's temporary library files and the engine's trace log, whose error records the tool
// shows to the author as warnings or as the reason of a failure. Removed with everything inside
// when the command ends (or is interrupted).
#pragma once

#include <string>
#include <vector>

class QMPackScratch {
public:
    QMPackScratch() = default;
    QMPackScratch(const QMPackScratch&) = delete;
    QMPackScratch& operator=(const QMPackScratch&) = delete;
    ~QMPackScratch();

    // Makes the folder (under $TMPDIR, else /tmp) and opens the engine's trace log in it; says
    // why when it cannot, unless quiet.
    bool Create(bool quiet = false);
    const std::string& Dir() const { return dir; }
    // A new path inside the folder (unique within this command; not created).
    std::string NewPath(const std::string& suffix);
    // The engine's error messages written since the last call, without their prefixes and line ends.
    std::vector<std::string> TakeEngineErrors();
    // Reports the engine's messages since the last call, each after "where: ": words a material
    // library does not know are warnings; anything else is an error. False when there was one.
    bool ReportEngineErrors(const std::string& where);

private:
    std::string dir, log;
    long logRead = 0;
    int counter = 0;
};
