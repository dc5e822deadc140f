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

// The widest and tallest picture qmpack packs: decoded, a larger one takes more memory than the
// saver should (16384 x 16384 pixels are 1 GB, and more while they are decoded) and more than
// many OpenGL devices hold in one texture.
const int kQMPackMaxPictureSide = 8192;
// Why the picture file path is too large to pack, from its header alone (it is never decoded for
// this; its kind is what its bytes say, or TGA by its name); "" when it is not, or when it is no
// picture or its header cannot be read (other checks say so).
std::string qmpackPictureTooLarge(const std::string& path);
