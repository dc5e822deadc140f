// The launcher's programs list, edited as text: XScreenSaver's settings file (~/.xscreensaver)
// holds "key: value" lines, a value continued over lines by a final backslash; the programs list
// is the value of "programs", its entries separated by "\n" (the two characters) and each written
// "[-] [VISUAL:] [\"NAME\"] COMMAND ARGS". Every byte of the file that is not the list's edit stays
// as it was. Lines end where a newline is; a carriage return before it (or anywhere) is only a
// character, as the launcher reads it.
#include <cstring>
#include <string>
#include <vector>

#include "saver/config.h"

namespace {

std::string localTrim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return "";
    size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}

bool localEndsWith(const std::string& s, const char* tail) {
    size_t n = strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

std::string localBaseName(const std::string& p) {
    size_t s = p.rfind('/');
    return s == std::string::npos ? p : p.substr(s + 1);
}

// The command word of one entry of the programs list: after an optional "-" (switched off), a
// visual ("GL:") and a quoted name.
std::string localEntryCommand(std::string e) {
    e = localTrim(e);
    if (!e.empty() && e[0] == '-') e = localTrim(e.substr(1));
    size_t colon = e.find(':');
    size_t blank = e.find_first_of(" \t\r\"");
    if (colon != std::string::npos && (blank == std::string::npos || colon < blank)) e = localTrim(e.substr(colon + 1));
    if (!e.empty() && e[0] == '"') {
        size_t q = e.find('"', 1);
        e = q == std::string::npos ? "" : localTrim(e.substr(q + 1));
    }
    if (!e.empty() && e[0] == '\'') {  // a quoted path
        size_t q = e.find('\'', 1);
        return q == std::string::npos ? "" : e.substr(1, q - 1);
    }
    return e.substr(0, e.find_first_of(" \t\r"));
}

// A physical line without its ending (the newline and the carriage returns before it).
std::string localBody(const std::string& l) {
    std::string b = l;
    while (!b.empty() && (b.back() == '\n' || b.back() == '\r')) b.pop_back();
    return b;
}

// True when a line's value goes on on the next line (a final backslash that is not escaped).
bool localContinued(const std::string& line) {
    std::string b = localBody(line);
    return localEndsWith(b, "\\") && !localEndsWith(b, "\\\\");
}

// The file's physical lines, each with its newline.
std::vector<std::string> localLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        size_t next = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(pos, next - pos));
        pos = next;
    }
    return lines;
}

// The line that opens the programs list: the last one whose key is "programs" (a later setting
// wins over an earlier one, as the launcher reads its file), or lines.size() when there is none.
// Continued lines of other values are no keys. *column receives where the value starts.
size_t localListLine(const std::vector<std::string>& lines, size_t* column) {
    size_t found = lines.size();
    bool continuing = false;
    for (size_t i = 0; i < lines.size(); i++) {
        if (!continuing) {
            const std::string& l = lines[i];
            size_t key = l.find_first_not_of(" \t");
            if (key != std::string::npos && l.compare(key, 8, "programs") == 0) {
                size_t colon = l.find_first_not_of(" \t", key + 8);
                if (colon != std::string::npos && l[colon] == ':') {
                    found = i;
                    *column = colon + 1;
                }
            }
        }
        continuing = localContinued(lines[i]);
    }
    return found;
}

// The list's value, gathered from its lines (continuations dropped), and for each line the value
// position where its part starts, so a position in the value leads back to its line and column.
struct LocalList {
    size_t first = 0, last = 0;  // its lines
    std::string value;
    struct Piece {
        size_t valueStart, line, column;
    };
    std::vector<Piece> pieces;
};

LocalList localReadList(const std::vector<std::string>& lines, size_t first, size_t column) {
    LocalList list;
    list.first = list.last = first;
    while (list.last + 1 < lines.size() && localContinued(lines[list.last])) list.last++;
    for (size_t i = first; i <= list.last; i++) {
        size_t at = i == first ? column : 0;
        std::string b = localBody(lines[i]).substr(at);
        if (i < list.last) b.pop_back();  // the continuation
        list.pieces.push_back({list.value.size(), i, at});
        list.value += b;
    }
    return list;
}

// Whether the list runs target (by its program's name): kListAlready when an entry is on, else
// kListSwitchedOn with *off the value position of the "-" of the first entry that is off, else
// kListAdded.
QmListChange localFindEntry(const std::string& value, const std::string& target, size_t* off) {
    *off = std::string::npos;
    size_t start = 0;
    while (start <= value.size()) {
        size_t sep = value.find("\\n", start);
        std::string e = value.substr(start, sep == std::string::npos ? std::string::npos : sep - start);
        if (!localTrim(e).empty() && localBaseName(localEntryCommand(e)) == target) {
            size_t lead = e.find_first_not_of(" \t\r");
            if (e[lead] != '-') return kListAlready;
            if (*off == std::string::npos) *off = start + lead;
        }
        if (sep == std::string::npos) break;
        start = sep + 2;
    }
    return *off == std::string::npos ? kListAdded : kListSwitchedOn;
}

std::string localJoin(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += l;
    return out;
}

// The entry switched on where it stands, its "-" becoming a blank as the launcher writes it.
std::string localSwitchOn(std::vector<std::string> lines, const LocalList& list, size_t off) {
    size_t k = list.pieces.size() - 1;
    while (list.pieces[k].valueStart > off) k--;
    lines[list.pieces[k].line][list.pieces[k].column + off - list.pieces[k].valueStart] = ' ';
    return localJoin(lines);
}

// The entry appended at the list's end, so the positions of the entries already listed (which the
// settings refer to by number) stay as they are. The new lines end as the list's last line did,
// always with a newline: a carriage return alone ends no line for the launcher.
std::string localAppend(std::vector<std::string> lines, const LocalList& list, const std::string& entry) {
    std::string lastBody = localBody(lines[list.last]);
    std::string ending = lines[list.last].substr(lastBody.size());
    if (ending.empty() || ending.back() != '\n') ending += "\n";
    size_t keep = lastBody.find_last_not_of(" \t");
    std::string trimmed = keep == std::string::npos ? "" : lastBody.substr(0, keep + 1);
    if (localTrim(list.value).empty())
        lines[list.last] = trimmed + "\t\t\t\t\t\t\t      \\" + ending;
    else if (localEndsWith(trimmed, "\\n"))
        lines[list.last] = trimmed + "\\" + ending;
    else
        lines[list.last] = trimmed + " \\n\\" + ending;
    lines.insert(lines.begin() + long(list.last) + 1, entry + ending);
    return localJoin(lines);
}

// A file without a list gets one at its end (a new file a line saying who wrote it). When the
// file's last line is continued, an empty line ends that value first: the list would be part of
// it otherwise.
std::string localNewList(const std::string& old, bool fileExists, const std::string& entry) {
    std::string text = old;
    if (!fileExists || old.empty()) {
        text = "# XScreenSaver settings, started by qmsave register_scrsaver\n";
    } else {
        size_t before = text.size() > 1 ? text.size() - 2 : 0;  // before a final newline
        size_t lastLine = text.rfind('\n', before);
        bool continued = localContinued(lastLine == std::string::npos ? text : text.substr(lastLine + 1));
        if (text.back() != '\n') text += '\n';
        if (continued) text += '\n';
    }
    return text + "programs:\t\t\t\t\t\t\t      \\\n" + entry + "\n";
}

}  // namespace

QmListChange qmAddToProgramsList(const std::string& old, bool fileExists, const std::string& command,
                                 std::string* out) {
    const std::string entry = "  GL: \t\t\t\t" + command + "\t\t\t    \\n";
    std::vector<std::string> lines = localLines(old);
    size_t column = 0;
    size_t first = localListLine(lines, &column);
    if (first == lines.size()) {
        *out = localNewList(old, fileExists, entry);
        return kListAdded;
    }
    LocalList list = localReadList(lines, first, column);
    size_t off = 0;
    QmListChange change = localFindEntry(list.value, localBaseName(localEntryCommand(command)), &off);
    if (change == kListAlready)
        *out = old;
    else if (change == kListSwitchedOn)
        *out = localSwitchOn(lines, list, off);
    else
        *out = localAppend(lines, list, entry);
    return change;
}
