#pragma once
// Page 3 of the scene window, the node map: nodes as icons on the map, links as arrows. Four
// tools: select and move (1), one-way link (2), two-way link (3), delete link (4). Every change
// of the scene is one undo step; the rules come from the map layer (scene_map_edit).
#include <QPoint>
#include <QPointer>
#include <cstdint>

#include "quicktime/base/os_types.h"
#include "scene/scene_page.h"

class QAbstractButton;
class QButtonGroup;
class QLabel;
class QPushButton;
class QScrollBar;

namespace qm {

class MapArea;
class SceneDocument;

class NodeMapPage : public ScenePage {
    Q_OBJECT
public:
    NodeMapPage(SceneWindow& window, SceneDocument& document, QWidget* parent = nullptr);

    int handleEvent(std::int16_t code) override;

    int tool() const { return m_tool; }
    void chooseTool(int tool);
    MapArea* mapArea() const { return m_map; }
    // The Add command: asks for a media file and imports it at map position (72, 72).
    OSErr addNode();

private:
    void pressed(QPoint p, Qt::KeyboardModifiers modifiers);
    void moved(QPoint p);
    void released(QPoint p, bool inside);
    void doubleClicked(QPoint p, Qt::KeyboardModifiers modifiers);
    void keyPressed(int key);
    void deleteSelection();
    void selectAll();
    void browse();
    void updateEnabling();
    void updateCursor();
    void drawOverlay(QPainter& painter);
    // The node a link from the source may end on at the point, or 0.
    std::int16_t linkDestinationAt(QPoint p) const;
    void selectionChanged();

    SceneDocument& m_document;
    MapArea* m_map = nullptr;
    QScrollBar* m_horizontal = nullptr;
    QScrollBar* m_vertical = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_browse = nullptr;
    QLabel* m_browseLabel = nullptr;
    QButtonGroup* m_tools = nullptr;
    int m_tool = 1;

    enum class Gesture { None, Pressed, Dragging, Linking, DeletingLinks };
    Gesture m_gesture = Gesture::None;
    std::int16_t m_pressedNode = 0;
    QPoint m_pressPoint;
    QPoint m_grabOffset; // press point minus the pressed node's position
    QPoint m_mouse;
    std::int16_t m_lastClickedNode = 0;
};

} // namespace qm
