#pragma once
// The node browser: a top-level window, at most one per document, showing the scene's current
// node (the one selected on the map) in three tabs: Properties, Hot Spots and Preview. It follows
// the selection and closes when no node is selected. Tabs 2 and 3 are disabled for a node
// without media.
#include <QPointer>
#include <QWidget>
#include <cstdint>

#include "compose/working_copies.h"
#include "framework/event_handler.h"
#include "framework/scene_document.h"

class QTabWidget;
class QMenuBar;

namespace qm {

class SceneDocument;
class NodePropertiesPage;
class HotSpotsPage;
class NodePreview;

class NodeBrowser : public QWidget, public EventHandler {
    Q_OBJECT
public:
    static constexpr int kInitialWidth = 620;
    static constexpr int kInitialHeight = 420;
    enum Tab { kPropertiesTab = 1, kHotSpotsTab = 2, kPreviewTab = 3 };

    // Opens the document's browser on the node (selecting it alone on the map), or brings the
    // open one to the front. A node ID of 0 keeps the map's selection.
    static NodeBrowser* open(SceneDocument& document, std::int16_t nodeId = 0);
    // The document's open browser, or null.
    static NodeBrowser* browserOf(const SceneDocument& document);
    // Shows the map's current node again (after a selection change); closes when none.
    static void refresh(SceneDocument& document);

    ~NodeBrowser() override;

    int handleEvent(std::int16_t code) override;

    SceneDocument& document() const { return *m_document; }
    std::int16_t currentNodeId() const { return m_nodeId; }
    int currentTab() const { return m_tab; }
    QTabWidget* tabs() const { return m_tabs; }
    NodePropertiesPage* propertiesPage() const;
    HotSpotsPage* hotSpotsPage() const;
    NodePreview* previewPage() const;
    // The working copies the Preview tab plays.
    WorkingCopies& workingCopies() { return m_workingCopies; }

    // Shows the selected node; false (and the browser closes) when there is none.
    bool showCurrentNode();
    // Chooses a tab (1 to 3); a disabled tab changes nothing. True when the page shows a node.
    bool switchTab(int tab);

    // The size Window > Zoom gives the browser: on the Hot Spots tab the size that shows the
    // whole picture, on the others the browser's smallest size. Zooming fits that size (never
    // below the smallest) onto the screen holding most of the browser; without one it fills the
    // screen.
    QSize zoomSize() const;
    void zoom();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    explicit NodeBrowser(SceneDocument& document);
    void buildMenus();
    void closePage();
    void documentChanged();
    // The Preview tab's node switch (a link followed, or Back): the node alone selected on the
    // map, the scene told, the node shown.
    void switchToNode(std::int16_t nodeId);

    QPointer<SceneDocument> m_document;
    QMenuBar* m_menuBar = nullptr;
    QTabWidget* m_tabs = nullptr;
    QWidget* m_page = nullptr;
    std::int16_t m_nodeId = 0;
    int m_tab = 0;
    bool m_busy = false;
    bool m_closing = false;
    WorkingCopies m_workingCopies;
};

// The map's selected node: the first selected node of the scene, 0 when none.
std::int16_t selectedNodeId(const SceneDocument& document);

// For the scene map: open the browser on a node (a double click or Browse...).
NodeBrowser* openNodeBrowser(SceneDocument& document, std::int16_t nodeId);

} // namespace qm
