// Environment variables for one scope, through setenv/unsetenv.
#include <cstdlib>

#include "support/test_support.h"

QmScopedEnv::QmScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old, had_ = true;
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

QmScopedEnv::~QmScopedEnv() {
    if (had_)
        setenv(name_.c_str(), old_.c_str(), 1);
    else
        unsetenv(name_.c_str());
}
