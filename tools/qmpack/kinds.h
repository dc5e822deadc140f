// What an entry or a source file is, in the words `replace` compares: "picture", "model",
// "animation", "movie" or "record" (anything else: material libraries, older animations, raw
// bytes). A replacement must be of the kind it replaces, and a picture must decode.
#pragma once

#include <string>

class FXPackage;

// The kind of a record by its leading string.
std::string qmpackRecordKind(const unsigned char* head, size_t len);
// The kind of entry i of a loaded package.
std::string qmpackEntryKind(const FXPackage* p, int i);
// The kind a source file becomes in a package: engine files by their extension, pictures by their
// bytes or their name, anything else by its leading string. "" when it cannot be read.
std::string qmpackSourceKind(const std::string& path);
// Why the picture file path is too large to pack, from its header alone (it is never decoded for
// this; its kind is what its bytes say, or TGA by its name); "" when it is not, or when it is no
// picture or its header cannot be read (other checks say so).
std::string qmpackPictureTooLarge(const std::string& path);
// Checks that the source path may replace entry i of p (reported at where when not): the same
// kind unless anyKind, and a picture that decodes.
bool qmpackCheckReplacement(const std::string& where, const FXPackage* p, int i, const std::string& path, bool anyKind);
