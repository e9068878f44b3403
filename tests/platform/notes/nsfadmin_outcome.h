// One nsfadmin command run in process, with what it printed.
#pragma once
#include "admin.h"

#include <sstream>
#include <string>

struct Outcome {
    int code = -1;
    std::string out, err;
};

inline std::string trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' '))
        s.pop_back();
    return s;
}

template <typename F> Outcome runAdmin(const std::string& dir, F f) {
    std::ostringstream out, err;
    nsfadmin::Admin a(dir, out, err);
    Outcome r;
    r.code = f(a);
    r.out = out.str();
    r.err = err.str();
    return r;
}
