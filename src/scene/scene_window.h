#pragma once
// The document window of a project: a tab control (item 592) with five pages, of which only
// the current one exists. Page 4 (compose) is usable once the scene has nodes and none of them
// is a generic node; page 5 (preview) once it also has a composed movie.
#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>
#include <memory>

#include "compose/map_objects.h"
#include "framework/event_handler.h"
#include "quicktime/base/os_types.h"
#include "scene/scene_page.h"

class QTabWidget;

namespace qm {

class MenuState;
class SceneDocument;
class ScenePage;

class SceneWindow : public QWidget, public EventHandler {
    Q_OBJECT
public:
    static constexpr int kPageCount = 5;

    SceneWindow(std::unique_ptr<SceneDocument> document, MenuState* menus,
                QWidget* parent = nullptr);
    ~SceneWindow() override;

    int handleEvent(std::int16_t code) override;

    SceneDocument& document() const { return *m_document; }
    QTabWidget* tabs() const { return m_tabs; }
    MenuState* menus() const { return m_menus; }
    int currentPageNumber() const { return m_currentPage; }
    ScenePage* page() const { return m_page; }
    int enabledTabCount() const { return m_enabledTabs; }

    // Chooses a page (1 to 5); a page beyond the usable ones beeps and changes nothing, and a
    // page that refuses to be left stays. True when the page is shown.
    bool choosePage(int number);
    // Recomputes the usable tabs from the scene.
    void updateTabs();
    // Whether two seconds have passed without an event other than idle.
    bool isIdle() const { return m_idle; }

    // File commands of the document. Each returns the error code (0 also when cancelled).
    OSErr save();
    OSErr saveAs();
    OSErr revert();
    // Asks alert 142 when the document is dirty; false when the user keeps the document.
    bool confirmClose();

    // Asks for the node browser on a node (double-click on the map, Browse...): the window opens
    // the document's browser on it.
    void requestNodeBrowser(std::int16_t nodeId) { emit nodeBrowserRequested(nodeId); }
    // The background page's default drawing attributes; they outlive the page.
    MapAttributes& mapDefaults() { return m_mapDefaults; }

signals:
    // The document was closed: the window must be taken away and deleted.
    void closed();
    // What the menus offer may have changed.
    void stateChanged();
    void nodeBrowserRequested(std::int16_t nodeId);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int dispatch(std::int16_t code);
    void tabChosen(int index);
    void openPage(int number);
    void closePage();
    void updateMenus();
    void updateTitle();
    void connectDocument();
    OSErr saveTo(const QString& path);
    void replaceDocument(std::unique_ptr<SceneDocument> document);

    std::unique_ptr<SceneDocument> m_document;
    MenuState* m_menus;
    QTabWidget* m_tabs;
    QPointer<ScenePage> m_page;
    int m_currentPage = -1;
    int m_enabledTabs = kPageCount;
    bool m_busy = false;
    bool m_idle = false;
    QElapsedTimer m_lastEvent;
    MapAttributes m_mapDefaults;
};

} // namespace qm
