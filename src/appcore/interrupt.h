#pragma once
// Interrupts of command-line work. While an InterruptScope exists, the first Ctrl-C (SIGINT)
// only asks the work to stop: it sets a flag that progress displays and the steps after them
// (publishing a movie, saving a project) check, so that they end cleanly and leave nothing
// half-written behind. A second Ctrl-C, SIGTERM or SIGHUP ends the process at once, after
// removing the files registered with registerCleanupFile (cleanup_files.h). Scopes nest; the
// last one to end restores the previous handlers and clears the flag.
namespace qm {

class InterruptScope {
public:
    InterruptScope();
    ~InterruptScope();
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;
};

// True once Ctrl-C was pressed inside the current scopes.
bool interruptRequested();

} // namespace qm
