#pragma once
// Progress of long work (opening a project that holds a movie, preparing working copies,
// composing). The work opens a progress, updates it as it goes and stops with -128 once an
// update reports that the user cancelled. The bookkeeping lives here; the program's progress
// window, the terminal bar of quillmere-cli and the silent progress only present it.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "quicktime/base/os_types.h"

namespace qm {

enum ProgressOption : std::uint16_t {
    progressShowsMessage = 1,
    progressShowsBar = 2,
    progressShowsCount = 4,
};

struct ProgressSettings {
    std::uint16_t options = progressShowsMessage | progressShowsBar;
    std::string title;
    std::string message;
    std::int32_t maximum = 100; // the value that means 100 percent
    std::int32_t count = 0;     // shown when 1 or more (with progressShowsCount)
    double delaySeconds = 0.0;  // 0 shows at once
};

class Progress {
public:
    virtual ~Progress() = default;

    void open(const ProgressSettings& settings);

    // message: a new message, or none to keep the current one. value: the work done out of the
    // maximum; a negative value advances by its magnitude; 0 leaves the bar as it is. count: a
    // new count, 0 to keep the current one. Returns true to go on, false once the user
    // cancelled; pending user input is taken in first.
    bool update(std::optional<std::string_view> message, std::int32_t value, std::int32_t count = 0);
    // update() for work that speaks in error codes: 0 to go on, -128 once cancelled.
    OSErr step(std::optional<std::string_view> message, std::int32_t value, std::int32_t count = 0)
    {
        return update(message, value, count) ? OSErr(0) : OSErr(-128);
    }
    void close();

    // The user's cancel (Cancel button, window close, Ctrl-C); the work sees it at its next update.
    void cancel() { m_continue = false; }
    bool cancelled() const { return !m_continue; }

    bool isOpen() const { return m_open; }
    std::uint16_t options() const { return m_settings.options; }
    const std::string& title() const { return m_settings.title; }
    const std::string& message() const { return m_settings.message; }
    double delaySeconds() const { return m_settings.delaySeconds; }
    std::int32_t maximum() const { return m_settings.maximum; }
    std::int32_t current() const { return m_current; }
    int percent() const { return m_percent; }
    const std::string& countText() const { return m_countText; }

    // Whether a progress shown after its delay appears at all: work with a bar that is already
    // half done when the delay runs out stays hidden.
    bool visibleAfterDelay() const;

protected:
    // Presentation hooks.
    virtual void opened() {}
    virtual void changed() {}
    // Takes in pending user input, calling cancel() when the user cancelled.
    virtual void poll() {}
    virtual void closed() {}

private:
    ProgressSettings m_settings;
    std::int32_t m_current = 0;
    int m_percent = 0;
    std::string m_countText;
    bool m_continue = true;
    bool m_open = false;
};

// Progress that shows nothing and is never cancelled.
class NullProgress final : public Progress {};

} // namespace qm
