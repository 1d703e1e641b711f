#pragma once
// quillmere-cli commands. Each command lives in its own cmd_*.cpp and registers itself with a
// static CommandRegistration object, so adding a command touches no other file.
#include <functional>
#include <string>
#include <vector>

namespace qm::cli {

struct Command {
    std::string name;    // first word on the command line, e.g. "project-info" or "scene"
    std::string usage;   // one line: arguments after the name
    std::string summary; // one line: what it does
    // Receives the arguments after the name; returns the process exit status.
    std::function<int(const std::vector<std::string>& args)> run;
};

std::vector<Command>& commands();

struct CommandRegistration {
    explicit CommandRegistration(Command c) { commands().push_back(std::move(c)); }
};

// Shared helpers for commands.
bool hasFlag(std::vector<std::string>& args, const std::string& flag); // removes it when present
std::string jsonEscape(const std::string& s);
// Prints "quillmere-cli: <message>" to stderr and returns exit status 1 (2 for usage errors).
int fail(const std::string& message);
int usageError(const Command& c);

} // namespace qm::cli
