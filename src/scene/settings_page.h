#pragma once
// Page 1 of the scene window: the scene's name, orientation, master and playback sizes, map
// dimensions with unit and scale, and the two grids. Every change of a control goes into the
// scene at once, as an undo step of the document.
#include <cstdint>

#include "scene/scene_page.h"
#include "scene/scene_settings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace qm {

class SceneDocument;

class SettingsPage : public ScenePage {
    Q_OBJECT
public:
    SettingsPage(SceneWindow& window, SceneDocument& document, QWidget* parent = nullptr);

    int handleEvent(std::int16_t code) override;
    // Shows the scene's values in the controls.
    void refresh();

private:
    enum Field { fName = 410, fWidth = 405, fHeight = 406, fBackgroundDivisions = 415,
                 fNodeDivisions = 420 };

    SceneSettings current() const;
    void commit(const SceneSettings& after, const QString& text, int field = -1,
                bool discardsComposedMovie = false);
    void fieldEdited(Field field);
    void fieldLeft();
    void orientationChosen(int index);
    void sizeChosen(bool master, int index);
    void unitChosen(int index);
    void scaleChosen(int index);
    void gridClicked(int item);

    void showOrientation(float degrees);
    void showSize(QComboBox* list, int width, int height);
    void showNumber(QLineEdit* edit, int value, bool divisions, bool force = false);
    void updateGridEnabling();
    QLineEdit* focusedEdit() const;

    SceneDocument& m_document;
    QLineEdit* m_name;
    QComboBox* m_orientation;
    QComboBox* m_masterSize;
    QComboBox* m_playbackSize;
    QLineEdit* m_width;
    QLineEdit* m_height;
    QComboBox* m_unit;
    QComboBox* m_scale;
    QCheckBox* m_backgroundGrid;
    QLineEdit* m_backgroundDivisions;
    QCheckBox* m_backgroundActive;
    QCheckBox* m_nodeGrid;
    QLineEdit* m_nodeDivisions;
    QCheckBox* m_nodeActive;
    // Keystrokes of one field merge into one undo step until the field is left.
    int m_typingSession = 0;
};

} // namespace qm
