// framediff: compares two record-mode folders frame by frame (qmsave --record DIR), to check that
// a change left the picture as it was.
//   framediff BEFORE_DIR AFTER_DIR [TOLERANCE]
// For each frame-NNNNN.png in BEFORE_DIR: the pixels whose channels differ by more than
// TOLERANCE (default 0) in AFTER_DIR, and the largest channel difference. Exit status 0 when no
// frame has such a pixel, 1 when one has, 2 when a frame is missing or unreadable.
#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "image/canvas.h"
#include "image/devil.h"

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        fprintf(stderr, "usage: framediff BEFORE_DIR AFTER_DIR [TOLERANCE]\n");
        return 2;
    }
    const int tolerance = argc == 4 ? atoi(argv[3]) : 0;
    if (!fxLoadDevil()) {
        fprintf(stderr, "framediff: the image library is missing\n");
        return 2;
    }
    std::vector<std::string> names;
    if (DIR* d = opendir(argv[1])) {
        while (dirent* e = readdir(d))
            if (strncmp(e->d_name, "frame-", 6) == 0) names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    if (names.empty()) {
        fprintf(stderr, "framediff: no frames in %s\n", argv[1]);
        return 2;
    }
    int status = 0, framesDiffering = 0;
    long long pixelsDiffering = 0;
    int largest = 0;
    for (const std::string& name : names) {
        FXCanvas a, b;
        std::string pa = std::string(argv[1]) + "/" + name, pb = std::string(argv[2]) + "/" + name;
        a.autoDetectTrans = b.autoDetectTrans = false;
        if (!a.CreateFromPict(pa.c_str()) || !b.CreateFromPict(pb.c_str()) || a.GetWidth() != b.GetWidth() ||
            a.GetHeight() != b.GetHeight()) {
            fprintf(stderr, "framediff: %s missing, unreadable or of another size\n", name.c_str());
            status = 2;
            continue;
        }
        long long differing = 0;
        int most = 0;
        for (int y = 0; y < a.GetHeight(); y++) {
            const unsigned char* ra = a.pixmap.PixelBytes(0, y);
            const unsigned char* rb = b.pixmap.PixelBytes(0, y);
            for (int x = 0; x < a.GetWidth() * 4; x += 4) {
                int d = 0;
                for (int c = 0; c < 3; c++) d = std::max(d, abs(int(ra[x + c]) - int(rb[x + c])));
                most = std::max(most, d);
                differing += d > tolerance;
            }
        }
        if (differing > 0) {
            framesDiffering++;
            printf("%s: %lld pixels differ by more than %d (largest difference %d)\n", name.c_str(), differing,
                   tolerance, most);
        }
        pixelsDiffering += differing;
        largest = std::max(largest, most);
    }
    printf("%zu frames compared: %d differ (%lld pixels), largest channel difference %d\n", names.size(),
           framesDiffering, pixelsDiffering, largest);
    if (status == 0 && framesDiffering > 0) status = 1;
    return status;
}
