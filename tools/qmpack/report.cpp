// Closing reports as words or JSON.
#include "report.h"

#include <cmath>
#include <cstdio>

#include "describe.h"
#include "qmpack.h"

void QMPackReport::Key(const std::string& key) { members += (members.empty() ? "" : ",") + qmpackJson(key) + ":"; }

QMPackReport& QMPackReport::Text(const std::string& key, const std::string& value) {
    Key(key);
    members += qmpackJson(value);
    return *this;
}

QMPackReport& QMPackReport::Number(const std::string& key, double value) {
    Key(key);
    char text[40];
    snprintf(text, sizeof text, "%.10g", std::isfinite(value) ? value : 0.0);
    members += text;
    return *this;
}

QMPackReport& QMPackReport::Bool(const std::string& key, bool value) {
    Key(key);
    members += value ? "true" : "false";
    return *this;
}

QMPackReport& QMPackReport::Numbers(const std::string& key, const std::vector<int>& values) {
    Key(key);
    members += "[";
    for (size_t i = 0; i < values.size(); i++) members += (i ? "," : "") + std::to_string(values[i]);
    members += "]";
    return *this;
}

QMPackReport& QMPackReport::Null(const std::string& key) {
    Key(key);
    members += "null";
    return *this;
}

bool QMPackReport::Print(const std::string& line) const {
    if (json)
        printf("{%s}\n", members.c_str());
    else if (!line.empty())
        qmpackSay("%s", line.c_str());
    return fflush(stdout) == 0 && !ferror(stdout);
}
