// What a package entry holds, in words and as JSON: a picture's kind, size and layout; a model's
// meshes with their vertex and index counts and materials; a material library's materials and
// pictures; the kind of other engine records. Each description also says whether the entry can
// be used at all and which other entries it names, so `list` can report damage and dangling
// references.
#pragma once

#include <string>
#include <utility>
#include <vector>

class FXPackage;
class QMPackIndex;

struct QMPackEntryInfo {
    std::string kind;                  // "png", "jpg", ..., "model", "library", "animation", "movie", "record"
    std::string summary;               // one line
    std::vector<std::string> details;  // further lines (meshes, materials, frames)
    std::string json;                  // further JSON members, each written as ,"key":value
    std::string problem;               // why the entry cannot be used; "" when it can
    std::vector<std::pair<std::string, int>> refs;  // the entries it names: ("library", 1003), ...
};

// Describes entry i of the package (reading only that entry). The engine's complaints while a
// record is read make the entry's problem.
void qmpackDescribeEntry(const QMPackIndex& index, int i, QMPackEntryInfo* info);

// Loads p with a single record entry numbered id holding bytes, for the engine's loaders.
void qmpackLoadSingleEntry(FXPackage* p, int id, const std::vector<unsigned char>& bytes);

// A JSON string literal of text (quoted and escaped).
std::string qmpackJson(const std::string& text);
