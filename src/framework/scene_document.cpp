#include "framework/scene_document.h"

namespace qm {

SceneDocument::SceneDocument(Scene scene, QObject* parent)
    : QObject(parent), m_scene(std::move(scene)), m_dirtyOutsideUndo(m_scene.dirty),
      m_reportedDirty(m_scene.dirty)
{
    connect(&m_undo, &QUndoStack::indexChanged, this, [this] {
        if (m_undo.index() > 0 || !m_undo.isClean())
            m_scene.untouchedNew = false;
        updateDirty();
    });
    connect(&m_undo, &QUndoStack::cleanChanged, this, &SceneDocument::updateDirty);
}

SceneDocument::~SceneDocument()
{
    // Commands may hold files of their own (a composed movie an edit took away); they go first.
    m_undo.clear();
    disposeScene(m_scene);
}

void SceneDocument::markDirty()
{
    m_dirtyOutsideUndo = true;
    m_scene.untouchedNew = false;
    updateDirty();
}

void SceneDocument::markSaved(const std::filesystem::path& file)
{
    m_scene.projectFile = file;
    m_fromTemplate = false;
    m_dirtyOutsideUndo = false;
    m_undo.setClean();
    updateDirty();
    emit changed();
}

void SceneDocument::updateDirty()
{
    const bool dirty = m_dirtyOutsideUndo || !m_undo.isClean();
    m_scene.dirty = dirty;
    if (dirty == m_reportedDirty)
        return;
    m_reportedDirty = dirty;
    emit dirtyChanged(dirty);
}

std::filesystem::path SceneDocument::saveFile() const
{
    return m_fromTemplate ? std::filesystem::path() : m_scene.projectFile;
}

QString SceneDocument::title() const
{
    if (!m_fromTemplate && !m_scene.projectFile.empty())
        return QString::fromStdString(m_scene.projectFile.filename().string());
    return QString::fromStdString(m_scene.name.str());
}

} // namespace qm
