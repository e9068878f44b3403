// hxhost run as a user runs it: a subprocess in a folder of its own, its output read back.
#pragma once

#include <nlohmann/json.hpp>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::vector<nlohmann::json> jsonLines(const std::string& text) {
    std::istringstream lines(text);
    std::vector<nlohmann::json> out;
    for (std::string line; std::getline(lines, line);)
        out.push_back(nlohmann::json::parse(line));
    return out;
}

// The last JSON line of `text`; null when there is none.
inline nlohmann::json lastJson(const std::string& text) {
    const auto lines = jsonLines(text);
    return lines.empty() ? nlohmann::json() : lines.back();
}

// Runs hxhost in `dir` (where the provider's log goes) with the given arguments and input.
inline Outcome runIn(const std::string& dir, const std::string& args, const std::string& input) {
    std::ofstream(dir + "/stdin.txt") << input;
    const std::string command =
        "cd '" + dir + "' && '" HXHOST_PATH "' " + args + " <stdin.txt >stdout.txt 2>stderr.txt";
    const int raw = std::system(command.c_str());
    Outcome result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = slurp(dir + "/stdout.txt");
    result.err = slurp(dir + "/stderr.txt");
    return result;
}
