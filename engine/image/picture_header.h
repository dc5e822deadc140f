// Picture facts from a picture's first bytes, without decoding it: the kind (by its signature)
// and the size and layout from its header. PNG, JPEG, GIF and BMP carry signatures; TGA has none
// and is recognised by a plausible header only when the entry says it is one. The decoding
// binding refuses a picture larger than kFXMaxPictureSide from its header before the image
// library allocates it; qmpack describes and checks pictures with the same reader.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

struct FXPictureHeader {
    std::string kind;    // "png", "jpg", "gif", "bmp", "tga"
    int width = 0;
    int height = 0;
    std::string layout;  // "RGBA", "RGB", "greyscale", "palette", ... ("" when unknown)
};

// Reads len bytes at offset into dst; false when they are not there.
using FXPictureRead = std::function<bool(long long offset, size_t len, unsigned char* dst)>;

// The kind the leading bytes declare ("png", "jpg", "gif", "bmp"), or "" when none.
std::string fxSniffPicture(const unsigned char* head, size_t len);
// The package type code of a picture kind (-1 for anything else).
int fxPictureType(const std::string& kind);
// The picture kind of a package type code ("" for records and unknown codes).
std::string fxPictureKind(int type);
// Reads the header of a picture of size bytes that should be of kind; false with *problem set
// when the bytes are not such a picture or its header is cut short.
bool fxReadPictureHeader(const FXPictureRead& read, long long size, const std::string& kind, FXPictureHeader* out,
                         std::string* problem);

// The largest picture decoded or packed: at most kFXMaxPictureSide pixels wide and tall, and at
// most kFXMaxPicturePixels in all (64 MB once decoded). A larger one takes more memory and time
// than the saver should (16384 x 16384 pixels are 1 GB, and more while the image library works on
// it) and more than many OpenGL devices hold in one texture.
const int kFXMaxPictureSide = 8192;
const long long kFXMaxPicturePixels = 1LL << 24;
// Why a picture of that header is too large ("16384 x 16384 pixels, more than a picture may have
// (8192 a side, 16777216 in all)"); "" when it is not.
std::string fxPictureTooLarge(const FXPictureHeader& header);
