#include <algorithm>
#include <cstdio>
#include <iostream>

#include "appcore/scratch_files.h"
#include "command.h"

namespace qm::cli {

std::vector<Command>& commands()
{
    static std::vector<Command> all;
    return all;
}

bool hasFlag(std::vector<std::string>& args, const std::string& flag)
{
    auto it = std::find(args.begin(), args.end(), flag);
    if (it == args.end())
        return false;
    args.erase(it);
    return true;
}

std::string jsonEscape(const std::string& s)
{
    std::string out;
    out.reserve(s.size() + 2);
    for (unsigned char c : s) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += char(c);
            }
        }
    }
    return out;
}

int fail(const std::string& message)
{
    std::cerr << "quillmere-cli: " << message << "\n";
    return 1;
}

int usageError(const Command& c)
{
    std::cerr << "usage: quillmere-cli " << c.name << " " << c.usage << "\n";
    return 2;
}

} // namespace qm::cli

static void printHelp()
{
    auto cmds = qm::cli::commands();
    std::sort(cmds.begin(), cmds.end(), [](auto& a, auto& b) { return a.name < b.name; });
    std::cout << "usage: quillmere-cli COMMAND [ARGS]\n\nCommands:\n";
    for (auto& c : cmds)
        std::cout << "  " << c.name << " " << c.usage << "\n      " << c.summary << "\n";
}

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        printHelp();
        return args.empty() ? 2 : 0;
    }
    // Scratch files of earlier runs that could not clean up (killed, power lost).
    qm::removeStaleScratchFiles(qm::defaultScratchFolder());
    for (auto& c : qm::cli::commands()) {
        if (c.name == args[0]) {
            std::vector<std::string> rest(args.begin() + 1, args.end());
            return c.run(rest);
        }
    }
    std::cerr << "quillmere-cli: unknown command '" << args[0] << "' (try --help)\n";
    return 2;
}
