#include "appcore/interrupt.h"

#include <csignal>
#include <unistd.h>

#include "quicktime/base/cleanup_files.h"

namespace qm {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

volatile std::sig_atomic_t g_interrupted = 0;
int g_scopes = 0;
struct sigaction g_previous[3];

extern "C" void onSignal(int signal)
{
    if (signal == SIGINT && !g_interrupted) {
        g_interrupted = 1;
        return;
    }
    removeCleanupFilesNow();
    ::_exit(128 + signal);
}

} // namespace

InterruptScope::InterruptScope()
{
    if (g_scopes++ > 0)
        return;
    g_interrupted = 0;
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    for (int s : kSignals)
        sigaddset(&sa.sa_mask, s);
    for (int i = 0; i < 3; ++i) {
        sigaction(kSignals[i], nullptr, &g_previous[i]);
        // A signal the caller ignores (a background job's SIGINT, nohup's SIGHUP) stays ignored.
        if (g_previous[i].sa_handler != SIG_IGN)
            sigaction(kSignals[i], &sa, nullptr);
    }
}

InterruptScope::~InterruptScope()
{
    if (--g_scopes > 0)
        return;
    for (int i = 0; i < 3; ++i)
        sigaction(kSignals[i], &g_previous[i], nullptr);
    g_interrupted = 0;
}

bool interruptRequested() { return g_interrupted != 0; }

} // namespace qm
