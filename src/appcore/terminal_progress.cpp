#include "appcore/terminal_progress.h"

#include <unistd.h>

namespace qm {

namespace {

constexpr int kBarWidth = 30;

} // namespace

TerminalProgress::TerminalProgress(std::FILE* out) : m_out(out), m_terminal(isatty(fileno(out)) != 0) {}

TerminalProgress::~TerminalProgress() { close(); }

void TerminalProgress::opened()
{
    if (!m_interrupts)
        m_interrupts = std::make_unique<InterruptScope>();
    m_openedAt = std::chrono::steady_clock::now();
    m_shown = false;
    m_hidden = false;
    m_lastLine.clear();
    m_lastMessage.clear();
    m_lastTenth = -1;
    render(true);
}

void TerminalProgress::changed() { render(false); }

void TerminalProgress::poll()
{
    if (interruptRequested())
        cancel();
}

void TerminalProgress::closed()
{
    if (m_shown && m_terminal) {
        std::fprintf(m_out, "\r\033[K");
        std::fflush(m_out);
    }
    m_interrupts.reset();
}

void TerminalProgress::render(bool force)
{
    if (m_hidden)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (!m_shown) {
        if (std::chrono::duration<double>(now - m_openedAt).count() < delaySeconds())
            return;
        if (delaySeconds() > 0 && !visibleAfterDelay()) {
            m_hidden = true;
            return;
        }
        m_shown = true;
        force = true;
    }
    const std::string text = line();
    if (m_terminal) {
        // Redraw at most 20 times a second unless the text changed in more than the bar.
        if (!force && text == m_lastLine)
            return;
        if (!force && now - m_lastDraw < std::chrono::milliseconds(50))
            return;
        std::fprintf(m_out, "\r%s\033[K", text.c_str());
    } else {
        const int tenth = percent() / 10;
        if (!force && tenth == m_lastTenth && message() == m_lastMessage)
            return;
        m_lastTenth = tenth;
        m_lastMessage = message();
        std::fprintf(m_out, "%s\n", text.c_str());
    }
    std::fflush(m_out);
    m_lastDraw = now;
    m_lastLine = text;
}

std::string TerminalProgress::line() const
{
    std::string s;
    if (!title().empty())
        s += title() + ": ";
    if (options() & progressShowsBar) {
        const int filled = percent() * kBarWidth / 100;
        s += "[" + std::string(std::size_t(filled), '#') + std::string(std::size_t(kBarWidth - filled), '.') + "] ";
        s += std::to_string(percent()) + "%";
    }
    if (!message().empty())
        s += "  " + message();
    const auto firstNonBlank = countText().find_first_not_of(' ');
    if (firstNonBlank != std::string::npos)
        s += "  (" + countText().substr(firstNonBlank) + ")";
    return s;
}

} // namespace qm
