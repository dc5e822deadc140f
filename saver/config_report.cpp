// What `qmsave -c` says on every platform: long values shortened, and the package checked the way
// the saver reads it (through the engine's package loader), so that -c tells of a missing, empty,
// damaged or cut-short package before the saver shows nothing.
#include <string>

#include "base/errors.h"
#include "base/input_file.h"
#include "base/package.h"
#include "saver/config.h"

namespace {

const size_t kReportChars = 300;  // a value longer than this is shortened in reports
const char kShowsNothing[] = ": the saver shows nothing but its gadgets";

}  // namespace

std::string qmShortened(const std::string& value) {
    if (value.size() <= kReportChars) return value;
    return value.substr(0, kReportChars) + "... (" + std::to_string(value.size()) + " characters)";
}

std::string qmPackageReport(const std::string& path) {
    std::string shown = qmShortened(path);
    if (!fxFileIdOf(path.c_str()).valid) return "Package: " + shown + " is missing" + kShowsNothing;
    FXErrorCapture quiet;  // the reasons come back as the value; the entries' lines are not wanted
    FXPackage p;
    FXPackageStatus s = p.Load(path.c_str());
    if (!s.Ok()) return "Package: " + shown + " cannot be used: " + s.why + kShowsNothing;
    std::string size = std::to_string(p.DataLength()) + " bytes of data";
    if (p.IsEmpty()) return "Package: " + shown + " holds no entries" + kShowsNothing;
    std::string entries = std::to_string(p.GetCount()) + (p.GetCount() == 1 ? " entry, " : " entries, ");
    if (s.refused > 0)
        return "Package: " + shown + " (" + entries + size + ") is damaged: " + std::to_string(s.refused) + " of " +
               std::to_string(p.GetCount()) +
               " entries lie outside its data area (the file was cut short?); the saver leaves them out";
    return "Package: " + shown + " (" + entries + size + ")";
}
