#pragma once
// One edit of the map pages (nodes, links, background objects) as an undo step. The edit runs
// once on the document's scene through the operations of the map layer; the step keeps the
// node and map object lists from before and after it. An edit that makes the composed movie
// useless takes the movie file out of the scene and gives it back on undo; the step deletes
// the file when it is destroyed still holding it.
#include <QUndoCommand>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

#include "project/scene.h"

namespace qm {

class SceneDocument;

class MapEditCommand : public QUndoCommand {
public:
    // Runs `edit` on the scene; when it reports a change (true), pushes one undo step named
    // `text` on the document's stack. Returns what the edit returned.
    static bool apply(SceneDocument& document, const QString& text, const std::function<bool(Scene&)>& edit);

    ~MapEditCommand() override;
    void redo() override;
    void undo() override;

private:
    struct State {
        std::vector<Node> nodes;
        std::vector<MapObject> mapObjects;
    };
    MapEditCommand(SceneDocument& document, const QString& text, State before, State after);
    void restore(const State& state);

    SceneDocument& m_document;
    State m_before;
    State m_after;
    bool m_firstRedo = true;
    // The composed movie the edit took from the scene; in the scene again while undone.
    bool m_holdsMovie = false;
    bool m_movieInScene = false;
    std::filesystem::path m_movieFile;
    std::uint32_t m_composedAt = 0;

};

} // namespace qm
