#pragma once
// One edit of the settings page as an undo step. Typing into one field makes one step: the
// keystrokes of a field merge until the field is left.
#include <QUndoCommand>
#include <cstdint>
#include <filesystem>

#include "scene/scene_settings.h"

namespace qm {

class SceneDocument;

class SettingsEditCommand : public QUndoCommand {
public:
    // mergeKey: commands with the same non-negative key merge (one field, one typing session).
    // discardsComposedMovie: the edit makes the composed movie useless (a new master size);
    // the movie is taken out of the scene and given back on undo.
    SettingsEditCommand(SceneDocument& document, SceneSettings before, SceneSettings after,
                        const QString& text, int mergeKey = -1, bool discardsComposedMovie = false);
    // Deletes the composed movie file this step holds, when it holds one.
    ~SettingsEditCommand() override;

    void redo() override;
    void undo() override;
    int id() const override { return m_mergeKey; }
    bool mergeWith(const QUndoCommand* other) override;

private:
    SceneDocument& m_document;
    SceneSettings m_before;
    SceneSettings m_after;
    int m_mergeKey;
    bool m_discardsMovie;
    // While the step is done: the composed movie it took from the scene.
    std::filesystem::path m_movieFile;
    std::uint32_t m_composedAt = 0;
    bool m_holdsMovie = false;
};

} // namespace qm
