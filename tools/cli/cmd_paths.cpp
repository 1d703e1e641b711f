#include <iostream>

#include "appcore/app_paths.h"
#include "command.h"

namespace {

int run(const std::vector<std::string>& args);

const qm::cli::Command kCommand{
    "paths",
    "",
    "Print where the program keeps the preferences file and the templates (XDG folders)",
    run,
};
const qm::cli::CommandRegistration reg(kCommand);

int run(const std::vector<std::string>& args)
{
    if (!args.empty())
        return qm::cli::usageError(kCommand);
    std::cout << "preferences\t" << qm::preferencesFilePath().string() << "\n"
              << "templates\t" << qm::templatesDirectory().string() << "\n";
    return 0;
}

} // namespace
