#pragma once
#include "Commands.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace hxhost {

// Runs command lines against one PluginHost. A line holds commands separated by ";"; arguments
// are split at blanks, and single or double quotes keep blanks (and ";") inside one argument.
class Shell {
public:
    Shell(PluginHost& host, const CommandRegistry& registry, bool json, std::ostream& out, std::ostream& err);

    // Runs every command of the line; stops at the first failure and returns false.
    bool runLine(const std::string& line);
    // Runs the lines of a script ("#" starts a comment line); stops at the first failure.
    bool runScript(std::istream& in);
    // Reads lines until end of input or "quit"; failures are reported and the shell goes on.
    // Returns false when any command failed.
    bool interactive(std::istream& in, bool prompt);
    bool quitRequested() const { return quit_; }

    // Splits a line into commands, each a list of words. False (with `error`) on an open quote.
    static bool parse(const std::string& line, std::vector<std::vector<std::string>>& commands,
                      std::string& error);

private:
    bool runCommand(const std::vector<std::string>& words);
    void printHelp(const std::vector<std::string>& words);
    void fail(const std::string& command, const std::string& message);

    PluginHost& host_;
    const CommandRegistry& registry_;
    bool json_;
    std::ostream& out_;
    std::ostream& err_;
    bool quit_ = false;
};

} // namespace hxhost
