#pragma once
// An open project: the scene, the file it belongs to, and the undo stack through which every
// edit of the windows goes. The document is dirty while the undo stack is away from the state
// last saved, or after a change that has no undo step (such as an alias the loader updated).
#include <QObject>
#include <QString>
#include <QUndoStack>
#include <filesystem>

#include "project/scene.h"

namespace qm {

class SceneDocument : public QObject {
    Q_OBJECT
public:
    explicit SceneDocument(Scene scene, QObject* parent = nullptr);
    // Disposes of the scene, which deletes its composed movie scratch file.
    ~SceneDocument() override;

    const Scene& scene() const { return m_scene; }
    // For undo commands and the windows' own edits; call changed() afterwards.
    Scene& editableScene() { return m_scene; }
    QUndoStack& undoStack() { return m_undo; }

    // Runs the command and keeps it for Undo.
    void push(QUndoCommand* command) { m_undo.push(command); }
    // Marks a change that cannot be undone: the document stays dirty until saved.
    void markDirty();
    // After a successful save into file: the current state is the saved one.
    void markSaved(const std::filesystem::path& file);

    bool isDirty() const { return m_scene.dirty; }
    bool isUntouchedNew() const { return m_scene.untouchedNew; }
    // A scene begun from a template carries the template's file until it is saved under a name
    // of its own; Save then asks for one.
    bool beganFromTemplate() const { return m_fromTemplate; }
    void setBeganFromTemplate(bool fromTemplate) { m_fromTemplate = fromTemplate; }
    const std::filesystem::path& projectFile() const { return m_scene.projectFile; }
    // Where Save writes without asking; empty for a scene never saved or begun from a template.
    std::filesystem::path saveFile() const;

    // The window title: the project file's name, else the scene name.
    QString title() const;

    // Tells the views that the scene changed.
    void notifyChanged() { emit changed(); }

signals:
    void changed();
    void dirtyChanged(bool dirty);

private:
    void updateDirty();

    Scene m_scene;
    QUndoStack m_undo;
    bool m_dirtyOutsideUndo;
    bool m_reportedDirty;
    bool m_fromTemplate = false;
};

} // namespace qm
