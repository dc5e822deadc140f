// Fuzzes the saver's command line: after a first flag byte, arbitrary bytes are split at NUL and
// newline bytes into words. The first word stands for $XSCREENSAVER_WINDOW when the flag byte is
// odd; the others are read as launcher words. The same bytes, as one line, go through the switch
// letter scan, and every word through the window id reader. A refusal must say why; an accepted
// window mode must name a window; the scan's number is 0 whenever no digits followed its letter.
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "saver/launch.h"
#include "saver/scrnsave.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const bool withWindow = data[0] & 1;
    data++;
    size--;
    std::vector<std::string> words(1);
    for (size_t i = 0; i < size; i++) {
        if (data[i] == 0 || data[i] == '\n')
            words.emplace_back();
        else
            words.back() += char(data[i]);
    }
    std::string window = withWindow ? words.front() : "";
    if (withWindow) words.erase(words.begin());

    QmLaunch launch;
    std::string error;
    if (!qmParseLaunchWords(words, withWindow ? window.c_str() : nullptr, &launch, &error)) {
        if (error.empty()) abort();
    } else if (launch.mode == kModeWindowId && launch.windowId == 0) {
        abort();
    }
    for (const std::string& w : words) {
        unsigned long id = 0;
        if (qmParseWindowId(w.c_str(), &id) && (id == 0 || id > 0xffffffffUL)) abort();
    }

    std::string line(reinterpret_cast<const char*>(data), size);
    line = line.c_str();  // the scan reads a C string: up to the first NUL
    QmSwitchScan scan = qmScanSwitches(line.c_str());
    if (!scan.hasNumber && scan.number != 0) abort();
    if (!scan.letter && scan.which != kSwitchConfigure) abort();
    return 0;
}
