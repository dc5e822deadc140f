// Progress of long work. On a terminal, one line on standard error redrawn in place: a bar, the
// step count and what is being worked on; elsewhere (a log, a pipe, a test) a plain line when the
// work starts and one when it ends. Work that is not long says nothing.
#pragma once

#include <string>

class QMPackProgress {
public:
    // Starts reporting when long is true: title says what is done ("packing 201 files (3.2 MB)
    // into out.dat"), total is the number of steps.
    void Start(bool isLong, const std::string& title, int total);
    // Step done steps of total, now working on what.
    void Step(int done, const std::string& what);
    // Ends the report with a closing line (nothing when the work was not long).
    void Finish(const std::string& closing);
    // Clears the bar's line, so an error message starts on a line of its own.
    void Clear();

private:
    bool active = false, bar = false, drawn = false;
    int total = 0;
    long long lastDraw = -1;
};
