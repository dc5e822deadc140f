// A file or folder made immutable for the helper's lifetime (no write, rename or new entry,
// not even by root), where the file system and the user's rights allow it: the way tests make a
// place unwritable also when they run as root.
#pragma once

#include <string>

struct QmImmutable {
    std::string path;
    bool set = false;  // the flag could be set

    explicit QmImmutable(const std::string& p);
    ~QmImmutable();
    QmImmutable(const QmImmutable&) = delete;
    QmImmutable& operator=(const QmImmutable&) = delete;
};
