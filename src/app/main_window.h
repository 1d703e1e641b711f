#pragma once
// The program's main window. Without a document it is a bar: title and menu bar only, not
// resizable. With a document the scene window fills it.
#include <QMainWindow>
#include <QMap>

class QAction;
class QMenu;

namespace qm {

class EventHandler;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kDocumentWidth = 678;
    static constexpr int kDocumentHeight = 518;

    explicit MainWindow(QWidget* parent = nullptr);

    // The action of a menu command (see command_ids.h), or null.
    QAction* action(int commandId) const { return m_actions.value(commandId); }
    QList<QAction*> accelerators() const;
    QMenu* recentMenu() const { return m_recentMenu; }

    // Shows a document: the widget fills the window, which becomes resizable and at least the
    // document size (or the screen, when smaller). The handler receives the window's close
    // requests while the document is open.
    void showDocument(QWidget* document, EventHandler* handler);
    // Takes the document widget back out and returns to the bar. The widget is not deleted.
    QWidget* takeDocument();
    QWidget* document() const { return m_document; }

    // Set once quit has been requested: closing the window then really closes it.
    void setQuitRequested(bool quit) { m_quitRequested = quit; }

    // Enables About, New, Open, Exit and Preferences; disables Close, Save, Save As, Revert and
    // the Edit commands; the Undo item reads "Can't Undo".
    void resetMenus();
    // While a modal dialog runs, Preferences stays disabled whatever the menus say.
    void setPreferencesBlocked(bool blocked);

signals:
    void commandTriggered(int commandId);
    // A file of File > Open Recent was chosen.
    void openRecentRequested(const QString& path);
    // A menu of the bar is about to drop down.
    void menuAboutToShow();
    // The window was closed while no document was open, or after quit was requested.
    void quitRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QAction* addCommand(QMenu* menu, const QString& text, int commandId,
                        const QList<QKeySequence>& shortcuts = {});
    void becomeBar();
    void fillRecentMenu();

    QMap<int, QAction*> m_actions;
    QMenu* m_recentMenu = nullptr;
    QWidget* m_document = nullptr;
    EventHandler* m_documentHandler = nullptr;
    bool m_quitRequested = false;
    bool m_preferencesBlocked = false;
};

} // namespace qm
