#pragma once
// Progress of long work shown in the "Progress" window: after its delay (unless the work is
// more than half done by then), with Cancel. The work runs on the main thread; every update
// lets pending events through so that the window paints and a click on Cancel is seen.
#include <QPointer>
#include <QTimer>

#include "appcore/progress.h"
#include "framework/progress_window.h"

class QWidget;

namespace qm {

class WindowProgress final : public Progress {
public:
    // owner: the window the progress window belongs to; null for the active window.
    explicit WindowProgress(QWidget* owner = nullptr);
    ~WindowProgress() override;

    // The window while the progress is open (it may not be showing yet); null otherwise.
    ProgressWindow* window() const { return m_window; }

protected:
    void opened() override;
    void changed() override;
    void poll() override;
    void closed() override;

private:
    void showWhenDue();

    QWidget* m_owner;
    QPointer<ProgressWindow> m_window;
    QTimer m_delay;
};

} // namespace qm
