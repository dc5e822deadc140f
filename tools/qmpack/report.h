// The closing report of a command that writes: one line of words (unless --quiet), or with
// --json one JSON object on standard output with what was written, so scripts need not parse
// the words.
#pragma once

#include <string>
#include <vector>

class QMPackReport {
public:
    explicit QMPackReport(bool json) : json(json) {}
    QMPackReport& Text(const std::string& key, const std::string& value);
    QMPackReport& Number(const std::string& key, double value);
    QMPackReport& Bool(const std::string& key, bool value);
    QMPackReport& Numbers(const std::string& key, const std::vector<int>& values);
    QMPackReport& Null(const std::string& key);
    // Prints the JSON object (with --json) or line (otherwise, unless --quiet); false when
    // standard output cannot be written.
    bool Print(const std::string& line) const;

private:
    bool json;
    std::string members;
    void Key(const std::string& key);
};
