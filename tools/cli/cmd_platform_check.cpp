#include <iostream>

#include "appcore/alert_service.h"
#include "command.h"
#include "quicktime/codec/qt_startup.h"

namespace {

int run(const std::vector<std::string>& args);

const qm::cli::Command kCommand{
    "platform-check",
    "",
    "Run the program's start-up checks of the media libraries (FFmpeg) and report the outcome",
    run,
};
const qm::cli::CommandRegistration reg(kCommand);

int run(const std::vector<std::string>& args)
{
    if (!args.empty())
        return qm::cli::usageError(kCommand);
    const qm::QuickTimeStartup result = qm::startQuickTime(qm::quickTime());
    if (result.error) {
        qm::alerts().reportStartupFailure(result.error, result.detail);
        return 1;
    }
    qm::stopQuickTime(qm::quickTime());
    std::cout << "ok\n";
    return 0;
}

} // namespace
