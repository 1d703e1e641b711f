#pragma once
// Starts another instance of the program for a second document.
#include <QStringList>
#include <functional>

namespace qm {

class InstanceLauncher {
public:
    using Launch = std::function<bool(const QString& program, const QStringList& arguments)>;

    // Starts the program again with one argument (a document path, or "/n~ew").
    static bool launch(const QString& argument);
    // Replaces the process start (tests record launches instead); null restores it.
    static void setLaunchFunction(Launch launch);
};

} // namespace qm
