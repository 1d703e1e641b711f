#pragma once
// A page of the scene window. It exists only while its tab is current and receives the events
// of the scene window that the window does not handle itself.
#include <QWidget>
#include <cstdint>

namespace qm {

class SceneWindow;

class ScenePage : public QWidget {
    Q_OBJECT
public:
    ScenePage(SceneWindow& window, int pageNumber, QWidget* parent = nullptr);

    int pageNumber() const { return m_pageNumber; }
    SceneWindow& sceneWindow() const { return m_window; }

    // The answer for the scene window; 1 when the page does nothing with the event.
    virtual int handleEvent(std::int16_t code);
    // Asked before another page replaces this one; false keeps this page.
    virtual bool leave();

private:
    SceneWindow& m_window;
    int m_pageNumber;
};

} // namespace qm
