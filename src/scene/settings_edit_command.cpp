#include "scene/settings_edit_command.h"

#include <system_error>

#include "framework/scene_document.h"

namespace qm {

SettingsEditCommand::SettingsEditCommand(SceneDocument& document, SceneSettings before,
                                         SceneSettings after, const QString& text, int mergeKey,
                                         bool discardsComposedMovie)
    : QUndoCommand(text), m_document(document), m_before(std::move(before)),
      m_after(std::move(after)), m_mergeKey(mergeKey), m_discardsMovie(discardsComposedMovie)
{
}

SettingsEditCommand::~SettingsEditCommand()
{
    if (m_holdsMovie && !m_movieFile.empty()) {
        std::error_code ec;
        std::filesystem::remove(m_movieFile, ec);
    }
}

void SettingsEditCommand::redo()
{
    Scene& scene = m_document.editableScene();
    m_after.applyTo(scene);
    if (m_discardsMovie && !m_holdsMovie) {
        m_movieFile = scene.composedMovieFile;
        m_composedAt = scene.composedAt;
        scene.composedMovieFile.clear();
        scene.composedAt = 0;
        m_holdsMovie = true;
    }
    m_document.notifyChanged();
}

void SettingsEditCommand::undo()
{
    Scene& scene = m_document.editableScene();
    m_before.applyTo(scene);
    if (m_holdsMovie) {
        scene.composedMovieFile = m_movieFile;
        scene.composedAt = m_composedAt;
        m_holdsMovie = false;
    }
    m_document.notifyChanged();
}

bool SettingsEditCommand::mergeWith(const QUndoCommand* other)
{
    const auto* next = static_cast<const SettingsEditCommand*>(other);
    if (next->m_discardsMovie != m_discardsMovie || m_discardsMovie)
        return false;
    m_after = next->m_after;
    // Typing a field back to what it was leaves no step behind.
    setObsolete(m_after == m_before);
    return true;
}

} // namespace qm
