// To-do documents for add-task.
#pragma once

#include <string>

namespace nsfadmin {

// A to-do as given on the command line. Dates are "YYYY-MM-DD"; names are UTF-8.
struct TaskEntry {
    std::string subject;
    std::string due, start;            // empty: none
    std::string importance = "normal"; // high, normal or low
    bool completed = false;
    std::string from; // the owner; empty: none
    std::string text; // the body
};

} // namespace nsfadmin
