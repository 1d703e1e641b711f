#include <iostream>

#include "appcore/error_table.h"
#include "command.h"
#include "quicktime/files/file_types.h"

namespace {

const char* kindOf(qm::OSType type)
{
    if (qm::isMovieFileType(type))
        return "movie";
    if (qm::isStillImageFileType(type))
        return "still image";
    return "not importable";
}

int run(const std::vector<std::string>& args);

const qm::cli::Command kCommand{
    "file-type",
    "FILE...",
    "Print the four-character file type of each file and whether it imports as a node",
    run,
};
const qm::cli::CommandRegistration reg(kCommand);

int run(const std::vector<std::string>& args)
{
    if (args.empty())
        return qm::cli::usageError(kCommand);
    int status = 0;
    for (const std::string& file : args) {
        qm::OSType type = 0;
        if (const qm::OSErr e = qm::getFileType(file, type)) {
            qm::cli::fail(file + ": " + std::string(qm::errorMessage(e)) + " (" + std::to_string(e) + ")");
            status = 1;
            continue;
        }
        std::cout << (type ? "'" + qm::fourCCToString(type) + "'" : std::string("none")) << "\t" << kindOf(type)
                  << "\t" << file << "\n";
    }
    return status;
}

} // namespace
