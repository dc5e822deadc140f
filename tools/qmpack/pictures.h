// Picture facts from a picture's first bytes, without decoding it: the kind (by its signature)
// and the size and layout from its header. PNG, JPEG, GIF and BMP carry signatures; TGA has none
// and is recognised by a plausible header only when the entry says it is one.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

struct QMPackPicture {
    std::string kind;    // "png", "jpg", "gif", "bmp", "tga"
    int width = 0;
    int height = 0;
    std::string layout;  // "RGBA", "RGB", "greyscale", "palette", ... ("" when unknown)
};

// Reads len bytes at offset into dst; false when they are not there.
using QMPackReadAt = std::function<bool(long long offset, size_t len, unsigned char* dst)>;

// The kind the leading bytes declare ("png", "jpg", "gif", "bmp"), or "" when none.
std::string qmpackSniffPicture(const unsigned char* head, size_t len);
// The package type code of a picture kind (-1 for anything else).
int qmpackPictureType(const std::string& kind);
// The picture kind of a package type code ("" for records and unknown codes).
std::string qmpackPictureKind(int type);
// Reads the header of a picture of size bytes that should be of kind; false with *problem set
// when the bytes are not such a picture or its header is cut short.
bool qmpackReadPicture(const QMPackReadAt& read, long long size, const std::string& kind, QMPackPicture* out,
                       std::string* problem);
