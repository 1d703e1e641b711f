#include "app/instance_launcher.h"

#include <QCoreApplication>
#include <QProcess>

namespace qm {

namespace {

InstanceLauncher::Launch& launchFunction()
{
    static InstanceLauncher::Launch launch;
    return launch;
}

} // namespace

bool InstanceLauncher::launch(const QString& argument)
{
    const QString program = QCoreApplication::applicationFilePath();
    if (launchFunction())
        return launchFunction()(program, {argument});
    // The argument travels as one element of the argument vector, so a path with blanks needs
    // no quotes.
    return QProcess::startDetached(program, {argument});
}

void InstanceLauncher::setLaunchFunction(Launch launch) { launchFunction() = std::move(launch); }

} // namespace qm
