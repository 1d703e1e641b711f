#include "scene/map_edit_command.h"

#include "framework/scene_document.h"

namespace qm {

bool MapEditCommand::apply(SceneDocument& document, const QString& text, const std::function<bool(Scene&)>& edit)
{
    Scene& scene = document.editableScene();
    State before{scene.nodes, scene.mapObjects};
    // The movie file leaves the scene while the edit runs, so an edit that discards the
    // composed movie only forgets it; the step then keeps the file for undo.
    const std::filesystem::path movieFile = scene.composedMovieFile;
    const std::uint32_t composedAt = scene.composedAt;
    scene.composedMovieFile.clear();
    const bool changed = edit(scene);
    const bool movieDiscarded = composedAt != 0 && scene.composedAt == 0;
    if (!changed || !movieDiscarded) {
        scene.composedMovieFile = movieFile;
        if (!changed)
            scene.composedAt = composedAt;
    }
    if (!changed) {
        scene.nodes = std::move(before.nodes);
        scene.mapObjects = std::move(before.mapObjects);
        document.notifyChanged();
        return false;
    }
    auto* command = new MapEditCommand(document, text, std::move(before), State{scene.nodes, scene.mapObjects});
    if (movieDiscarded) {
        command->m_holdsMovie = true;
        command->m_movieFile = movieFile;
        command->m_composedAt = composedAt;
    }
    document.push(command);
    document.notifyChanged();
    return true;
}

MapEditCommand::MapEditCommand(SceneDocument& document, const QString& text, State before, State after)
    : QUndoCommand(text), m_document(document), m_before(std::move(before)), m_after(std::move(after))
{
}

MapEditCommand::~MapEditCommand()
{
    if (m_holdsMovie && !m_movieInScene && !m_movieFile.empty()) {
        std::error_code ec;
        std::filesystem::remove(m_movieFile, ec);
    }
}

void MapEditCommand::restore(const State& state)
{
    Scene& scene = m_document.editableScene();
    scene.nodes = state.nodes;
    scene.mapObjects = state.mapObjects;
}

void MapEditCommand::redo()
{
    if (m_firstRedo) {
        m_firstRedo = false;
        return;
    }
    restore(m_after);
    if (m_holdsMovie) {
        Scene& scene = m_document.editableScene();
        scene.composedMovieFile.clear();
        scene.composedAt = 0;
        m_movieInScene = false;
    }
    m_document.notifyChanged();
}

void MapEditCommand::undo()
{
    restore(m_before);
    if (m_holdsMovie) {
        Scene& scene = m_document.editableScene();
        scene.composedMovieFile = m_movieFile;
        scene.composedAt = m_composedAt;
        m_movieInScene = true;
    }
    m_document.notifyChanged();
}

} // namespace qm
