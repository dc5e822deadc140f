// Folder listing for the qmpack tests.
#include "qmpack/qmpack_test_util.h"

#include <dirent.h>

#include <algorithm>

std::vector<std::string> qmpFolderFiles(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}
