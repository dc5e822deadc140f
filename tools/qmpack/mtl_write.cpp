// Material library records as .mtl text. The .mtl reader starts every material from the engine's
// specular defaults and sets the ambient, diffuse and specular colours, the diffuse alpha (d) and
// the shininess (Ns, times 1.28): the text carries a record exactly when the rest (ambient alpha
// 0, specular alpha 1, no emission) is at those defaults.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/package.h"
#include "unpack.h"

namespace {

std::string localFloat(float v) {
    char text[32];
    snprintf(text, sizeof text, "%.9g", double(v));
    return text;
}

// The Ns value the reader turns into shininess s (times 1.28 in single precision), trying the
// floats next to s / 1.28; false (with the nearest) when none gives s back.
bool localNs(float s, std::string* out) {
    const float guess = s / 1.28f;
    float up = guess, down = guess;
    for (int step = 0; step < 8; step++) {
        for (float c : {up, down}) {
            std::string text = localFloat(c);
            if (strtof(text.c_str(), nullptr) * 1.28f == s) {
                *out = text;
                return true;
            }
        }
        up = std::nextafter(up, INFINITY);
        down = std::nextafter(down, -INFINITY);
    }
    *out = localFloat(guess);
    return false;
}

bool localIsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || (unsigned char)c < 0x20; }

// A name as one word of a .mtl line: blanks and control characters (which would end the word or
// the line, and so let a name from a package write lines of its own) become '_'.
std::string localWord(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        if (localIsBlank(c) || c == 0x7f) c = '_';
    return out;
}

}  // namespace

bool qmpackLibraryToMtl(FXPackageData* d, const std::function<std::string(int)>& pictureFile, std::string* text,
                        std::string* reason) {
    const int kTail = 17 * 4;
    FXStr label;
    d->ReadString(&label);
    int count = d->ReadInt();
    if (count < 0 || count > d->remaining / (8 + kTail)) return false;
    std::string out = "# material library '" + localWord(label.c_str()) + "'\n";
    std::vector<std::string> lost;
    if (count == 0) lost.push_back("a library without materials comes back with one unnamed material");
    for (int k = 0; k < count; k++) {
        FXStr name, picture;
        float c[17];
        d->ReadString(&name);
        d->ReadString(&picture);
        if (d->remaining < kTail) return false;
        for (float& v : c) v = d->ReadFloat();
        std::string n = name.c_str();
        if (k == 0 && !n.empty()) lost.push_back("its first material has a name (the .mtl reader's first has none)");
        if (k > 0 && (n.empty() || localWord(n) != n || n[0] == '#'))
            lost.push_back("material '" + localWord(n) + "' has a name a .mtl line cannot hold");
        if (k > 0) out += "\nnewmtl " + localWord(n) + "\n";
        const float *ambient = c, *diffuse = c + 4, *specular = c + 8, *emission = c + 12;
        out += "Ka " + localFloat(ambient[0]) + " " + localFloat(ambient[1]) + " " + localFloat(ambient[2]) + "\n";
        out += "Kd " + localFloat(diffuse[0]) + " " + localFloat(diffuse[1]) + " " + localFloat(diffuse[2]) + "\n";
        out += "Ks " + localFloat(specular[0]) + " " + localFloat(specular[1]) + " " + localFloat(specular[2]) + "\n";
        out += "d " + localFloat(diffuse[3]) + "\n";
        std::string ns;
        if (!localNs(c[16], &ns)) lost.push_back("material '" + localWord(n) + "': its shininess has no exact Ns value");
        out += "Ns " + ns + "\n";
        if (ambient[3] != 0.0f || specular[3] != 1.0f || emission[0] != 0.0f || emission[1] != 0.0f ||
            emission[2] != 0.0f || emission[3] != 0.0f)
            lost.push_back("material '" + localWord(n) + "': ambient alpha, specular alpha or emission the .mtl form cannot hold");
        int entry = 0;
        if (!picture.IsEmpty()) {
            if (fxParseEntryName(picture, &entry))
                out += "map_Kd " + pictureFile(entry) + "\n";
            else
                lost.push_back("material '" + localWord(n) + "' names a file, not an entry");
        }
    }
    if (d->remaining != 0) return false;
    reason->clear();
    for (const std::string& l : lost) *reason += (reason->empty() ? "" : "; ") + l;
    *text = out;
    return true;
}
