#pragma once
// Progress on a terminal for quillmere-cli: a bar redrawn in place on a terminal, a line per
// tenth of the work otherwise; Ctrl-C cancels the work cleanly (a second Ctrl-C ends the
// process at once; interrupt.h).
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "appcore/interrupt.h"
#include "appcore/progress.h"

namespace qm {

class TerminalProgress : public Progress {
public:
    explicit TerminalProgress(std::FILE* out = stderr);
    ~TerminalProgress() override;

protected:
    void opened() override;
    void changed() override;
    void poll() override;
    void closed() override;

private:
    void render(bool force);
    std::string line() const;

    std::FILE* m_out;
    bool m_terminal;
    bool m_shown = false;
    bool m_hidden = false; // decided, after the delay, never to show
    std::unique_ptr<InterruptScope> m_interrupts;
    std::chrono::steady_clock::time_point m_openedAt;
    std::chrono::steady_clock::time_point m_lastDraw;
    std::string m_lastLine;
    std::string m_lastMessage;
    int m_lastTenth = -1;
};

} // namespace qm
