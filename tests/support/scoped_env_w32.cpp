// Environment variables for one scope, through _putenv_s (an empty value removes the variable).
#include <cstdlib>

#include "support/test_support.h"

QmScopedEnv::QmScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old, had_ = true;
    _putenv_s(name, value ? value : "");
}

QmScopedEnv::~QmScopedEnv() { _putenv_s(name_.c_str(), had_ ? old_.c_str() : ""); }
