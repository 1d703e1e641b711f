#pragma once
// The idle pass: at most every 55 ms, -99 goes to every registered window, then the extra
// idle work (the scratch-disk check) runs.
#include <QObject>
#include <QTimer>
#include <functional>

namespace qm {

class IdleBroadcaster : public QObject {
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 55;

    explicit IdleBroadcaster(QObject* parent = nullptr);
    void start() { m_timer.start(); }
    void stop() { m_timer.stop(); }
    bool isActive() const { return m_timer.isActive(); }
    void setExtraWork(std::function<void()> work) { m_extraWork = std::move(work); }
    // One idle pass, as the timer runs it.
    void runPass();

private:
    QTimer m_timer;
    std::function<void()> m_extraWork;
    bool m_running = false;
};

} // namespace qm
