#pragma once
// The node browser's Hot Spots tab: the current node's working image in a scrolling view, the
// six drawing tools, the colour swatches of automatic and manual hot spots, and the view (object
// movies) and frame (linear movies) stepping buttons. Every change to the hot spots is one undo
// step; selecting them is not.
#include <QWidget>
#include <array>
#include <optional>

#include "compose/compose_environment.h"
#include "compose/hot_spot_view_render.h"
#include "compose/working_image.h"

class QLabel;
class QScrollBar;
class QToolButton;
class QGroupBox;

namespace qm {

class NodeBrowser;
class HotSpotView;
class ColorSwatch;
class SceneDocument;

namespace HotSpotTool {
inline constexpr int kArrow = 1;
inline constexpr int kPolygon = 2;
inline constexpr int kSquare = 3;
inline constexpr int kRectangle = 4;
inline constexpr int kCircle = 5;
inline constexpr int kOval = 6;
// The tool buttons' item numbers, by tool.
int buttonItem(int tool);
} // namespace HotSpotTool

// The MIME format under which hot spots travel through the clipboard.
QString hotSpotMimeFormat();

class HotSpotsPage : public QWidget {
    Q_OBJECT
public:
    HotSpotsPage(NodeBrowser& browser, QWidget* parent);

    // Reloads the picture when missing (with newNode: back to the first view and frame).
    void showNode(bool newNode);
    // The node changed (an edit or an undo): repaint, reload when its media changed.
    void nodeEdited();
    // Edit commands and Backspace; 1 when handled.
    int handleEvent(std::int16_t code);
    bool canEdit(std::int16_t code) const;

    // What a click on a tool button does; with ctrl and a selection: reshape instead.
    void chooseTool(int tool, bool ctrl = false);
    int tool() const { return m_tool; }
    // The View buttons (object movies) and the Frame buttons (items 526, 523, 524).
    void stepView(int dColumn, int dRow);
    void stepFrame(int item);
    // A click on a swatch: the colour chooser, then the node's override.
    void chooseColor(bool automatic);

    SceneDocument& document() const;
    std::int16_t nodeId() const;
    const Node* node() const;
    ViewIndex viewIndex() const { return m_viewIndex; }
    std::int32_t frameOffset() const { return m_frameOffset; }
    const WorkingImage& workingImage() const { return m_image; }
    const HotSpotColors& colors() const { return m_colors; }
    HotSpotView* imageView() const { return m_view; }
    QScrollBar* horizontalBar() const { return m_hbar; }
    QScrollBar* verticalBar() const { return m_vbar; }
    // The browser size that shows the whole picture.
    QSize zoomSize() const;

    // Selected hot spots of the current view.
    int selectedCount() const;
    void copySelected();
    void cutSelected();
    void paste();
    void deleteSelected();

    // The view's scroll bars follow the picture and the view's size.
    void updateScrollBars();

private:
    void loadImage();
    void updateControls();
    void takeColors();

    NodeBrowser& m_browser;
    ComposeEnvironment m_env;
    WorkingImage m_image;
    bool m_loaded = false;
    std::int16_t m_loadedNode = 0;
    Bytes m_loadedMedia;
    ViewIndex m_viewIndex;
    std::int32_t m_frameOffset = 0;
    int m_tool = HotSpotTool::kArrow;
    HotSpotColors m_colors;
    HotSpotView* m_view;
    QScrollBar* m_hbar;
    QScrollBar* m_vbar;
    std::array<QToolButton*, 6> m_tools{};
    ColorSwatch* m_autoSwatch;
    ColorSwatch* m_manualSwatch;
    QGroupBox* m_viewGroup;
    QGroupBox* m_frameGroup;
    std::array<QToolButton*, 4> m_viewButtons{}; // up, down, left, right
    QLabel* m_rowColumn;
    QLabel* m_offset;
};

} // namespace qm
