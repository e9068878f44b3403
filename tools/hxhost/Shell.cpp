#include "Shell.h"

#include <algorithm>
#include <iostream>

namespace hxhost {

Shell::Shell(PluginHost& host, const CommandRegistry& registry, bool json, std::ostream& out,
             std::ostream& err)
    : host_(host), registry_(registry), json_(json), out_(out), err_(err) {}

bool Shell::parse(const std::string& line, std::vector<std::vector<std::string>>& commands,
                  std::string& error) {
    commands.clear();
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    char quote = 0;
    auto endWord = [&] {
        if (inWord)
            words.push_back(word);
        word.clear();
        inWord = false;
    };
    auto endCommand = [&] {
        endWord();
        if (!words.empty())
            commands.push_back(words);
        words.clear();
    };
    for (char c : line) {
        if (quote) {
            if (c == quote)
                quote = 0;
            else
                word += c;
        } else if (c == '"' || c == '\'') {
            quote = c;
            inWord = true;
        } else if (c == ';') {
            endCommand();
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            endWord();
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quote) {
        error = std::string("unterminated ") + quote + " quote";
        commands.clear();
        return false;
    }
    endCommand();
    return true;
}

void Shell::fail(const std::string& command, const std::string& message) {
    if (json_)
        err_ << Json{{"command", command}, {"ok", false}, {"error", message}}.dump(
                    -1, ' ', false, Json::error_handler_t::replace)
             << std::endl;
    else
        err_ << "hxhost: " << (command.empty() ? "" : command + ": ") << message << std::endl;
}

void Shell::printHelp(const std::vector<std::string>& words) {
    Json out;
    if (words.size() > 1) {
        const Command* command = registry_.find(words[1]);
        if (!command)
            throw CommandError("no command named \"" + words[1] + "\"");
        out["usage"] = command->name + (command->usage.empty() ? "" : " " + command->usage);
        out["group"] = command->group;
        out["help"] = command->help;
    } else {
        // One line per command, grouped by whose operations they drive, in the order of first use.
        std::vector<std::string> groups{"shell"};
        for (const std::string& name : registry_.order())
            if (const Command* command = registry_.find(name);
                std::find(groups.begin(), groups.end(), command->group) == groups.end())
                groups.push_back(command->group);
        Json commands = Json::array();
        commands.push_back({{"name", "help"}, {"usage", "help [COMMAND]"}, {"group", "shell"}});
        commands.push_back({{"name", "quit"}, {"usage", "quit"}, {"group", "shell"}});
        for (const std::string& group : groups)
            for (const std::string& name : registry_.order())
                if (const Command* command = registry_.find(name); command->group == group)
                    commands.push_back(
                        {{"name", name},
                         {"usage", name + (command->usage.empty() ? "" : " " + command->usage)},
                         {"group", group}});
        out["commands"] = commands;
    }
    if (json_) {
        Json line{{"command", "help"}, {"ok", true}};
        line.update(out);
        out_ << line.dump(-1, ' ', false, Json::error_handler_t::replace) << std::endl;
        return;
    }
    if (out.contains("commands")) {
        std::string group;
        for (const Json& c : out["commands"]) {
            if (c["group"] != group) {
                group = c["group"].get<std::string>();
                out_ << (group.empty() ? "other" : group) << ":\n";
            }
            out_ << "  " << c["usage"].get<std::string>() << "\n";
        }
        out_ << "\"help COMMAND\" explains one.\n";
    } else {
        for (const auto& [key, value] : out.items())
            out_ << key << ": " << value.get<std::string>() << "\n";
    }
    out_.flush();
}

bool Shell::runCommand(const std::vector<std::string>& words) {
    const std::string& name = words.front();
    try {
        if (name == "quit" || name == "exit") {
            quit_ = true;
            return true;
        }
        if (name == "help") {
            printHelp(words);
            return true;
        }
        const Command* command = registry_.find(name);
        if (!command)
            throw CommandError("unknown command (try \"help\")");
        const Args args(words.begin() + 1, words.end());
        if (args.size() < command->minArgs || args.size() > command->maxArgs)
            throw CommandError("usage: " + command->name +
                               (command->usage.empty() ? "" : " " + command->usage));
        CommandContext context{host_, &out_, json_};
        Json result = Json::object();
        command->run(context, args, result);
        if (json_) {
            Json line{{"command", name}, {"ok", true}};
            line.update(result);
            // Some Notes texts (file names) reach the host as 8-bit text: shown as U+FFFD, not refused.
            out_ << line.dump(-1, ' ', false, Json::error_handler_t::replace) << std::endl;
        } else if (command->render) {
            command->render(result, out_);
            out_.flush();
        } else {
            for (const auto& [key, value] : result.items())
                out_ << key << ": " << (value.is_string() ? value.get<std::string>() : value.dump()) << "\n";
            out_.flush();
        }
        return true;
    } catch (const std::exception& e) {
        fail(name, e.what());
    } catch (...) {
        fail(name, "failed with an unexpected error");
    }
    return false;
}

bool Shell::runLine(const std::string& line) {
    std::vector<std::vector<std::string>> commands;
    std::string error;
    if (!parse(line, commands, error)) {
        fail("", error);
        return false;
    }
    for (const auto& words : commands) {
        if (!runCommand(words))
            return false;
        if (quit_)
            break;
    }
    return true;
}

bool Shell::runScript(std::istream& in) {
    std::string line;
    while (!quit_ && std::getline(in, line)) {
        const auto first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#')
            continue;
        if (!runLine(line))
            return false;
    }
    return true;
}

bool Shell::interactive(std::istream& in, bool prompt) {
    bool allOk = true;
    std::string line;
    while (!quit_) {
        if (prompt)
            out_ << "hxhost> " << std::flush;
        if (!std::getline(in, line))
            break;
        allOk = runLine(line) && allOk;
    }
    return allOk;
}

} // namespace hxhost
