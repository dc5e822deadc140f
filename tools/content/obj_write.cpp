// OBJ and MTL writers and the small file helpers of the generator. Numbers are printed with a
// fixed format, so equal models give byte-identical files.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "content.h"

namespace {

// Prints a number with six decimals; -0 prints as 0 so mirrored values do not differ in text.
void localNumber(std::string* out, double v) {
    char buf[64];
    if (v == 0) v = 0;
    snprintf(buf, sizeof(buf), "%.6f", v);
    if (strcmp(buf, "-0.000000") == 0) snprintf(buf, sizeof(buf), "0.000000");
    out->append(buf);
}

void localLine3(std::string* out, const char* tag, double a, double b, double c) {
    out->append(tag);
    out->push_back(' ');
    localNumber(out, a);
    out->push_back(' ');
    localNumber(out, b);
    out->push_back(' ');
    localNumber(out, c);
    out->push_back('\n');
}

}  // namespace

bool qmcWriteText(const std::string& path, const std::string& text, std::string* err) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) {
        *err = path + ": cannot create (" + strerror(errno) + ")";
        return false;
    }
    bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = (fclose(f) == 0) && ok;
    if (!ok) *err = path + ": cannot write";
    return ok;
}

bool qmcMakeDirs(const std::string& path, std::string* err) {
    for (size_t i = 1; i <= path.size(); i++) {
        if (i < path.size() && path[i] != '/') continue;
        std::string part = path.substr(0, i);
        if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
            *err = part + ": cannot create the folder (" + strerror(errno) + ")";
            return false;
        }
    }
    return true;
}

bool qmcWriteObj(const std::string& path, const QMCModel& model, std::string* err) {
    std::string out;
    out.reserve(1 << 20);
    out += "# QuietMeadows content generator\n";
    if (!model.mtlFile.empty()) out += "mtllib " + model.mtlFile + "\n";
    for (const QMCMeshPart& part : model.parts) {
        for (const QMCVertex& v : part.vertices) localLine3(&out, "v", v.pos.x, v.pos.y, -v.pos.z);
        for (const QMCVertex& v : part.vertices) {
            out += "vt ";
            localNumber(&out, v.u);
            out.push_back(' ');
            localNumber(&out, v.v);
            out.push_back('\n');
        }
        for (const QMCVertex& v : part.vertices) localLine3(&out, "vn", v.normal.x, v.normal.y, -v.normal.z);
    }
    size_t base = 1;
    char buf[96];
    for (const QMCMeshPart& part : model.parts) {
        out += "usemtl " + part.material + "\n";
        for (size_t i = 0; i + 2 < part.indices.size(); i += 3) {
            size_t a = base + part.indices[i], b = base + part.indices[i + 1], c = base + part.indices[i + 2];
            snprintf(buf, sizeof(buf), "f %zu/%zu/%zu %zu/%zu/%zu %zu/%zu/%zu\n", a, a, a, b, b, b, c, c, c);
            out += buf;
        }
        base += part.vertices.size();
    }
    return qmcWriteText(path, out, err);
}

bool qmcWriteMtl(const std::string& path, const std::vector<QMCMaterial>& materials, std::string* err) {
    std::string out = "# QuietMeadows content generator\n";
    for (const QMCMaterial& m : materials) {
        out += "newmtl " + m.name + "\n";
        localLine3(&out, "Ka", m.ka[0], m.ka[1], m.ka[2]);
        localLine3(&out, "Kd", m.kd[0], m.kd[1], m.kd[2]);
        localLine3(&out, "Ks", m.ks[0], m.ks[1], m.ks[2]);
        out += "Ns ";
        localNumber(&out, m.ns);
        out += "\nd ";
        localNumber(&out, m.d);
        out += "\n";
        if (!m.map.empty()) out += "map_Kd " + m.map + "\n";
    }
    return qmcWriteText(path, out, err);
}
