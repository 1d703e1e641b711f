#pragma once
// A hot spot's Properties dialog: four tabs (General, Cursors, Link, URL) over a copy of the
// hot spot; OK reads them back.
#include <QDialog>

#include "project/scene.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QTabWidget;
class QDoubleSpinBox;
class QSpinBox;

namespace qm {

class HotSpotPropertiesDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kDefaultUrl = "http://www.example.com/";

    HotSpotPropertiesDialog(const Scene& scene, const HotSpot& hotSpot, QWidget* parent = nullptr);
    // Modal; true when OK was chosen and the hot spot differs from what it was.
    bool run();
    // The hot spot with the dialog's values.
    HotSpot hotSpot() const;
    QTabWidget* tabs() const { return m_tabs; }

private:
    void kindChosen(int index);
    void updateEnabling();

    HotSpot m_original;
    QTabWidget* m_tabs;
    QComboBox* m_kind;
    QLineEdit* m_type;
    QLineEdit* m_name;
    QPlainTextEdit* m_comment;
    QCheckBox* m_customCursors;
    QSpinBox* m_cursors[3];
    QComboBox* m_destination;
    QCheckBox* m_customView;
    QCheckBox* m_panSet;
    QCheckBox* m_tiltSet;
    QCheckBox* m_fovSet;
    QCheckBox* m_centerSet;
    QDoubleSpinBox* m_pan;
    QDoubleSpinBox* m_tilt;
    QDoubleSpinBox* m_fov;
    QSpinBox* m_centerH;
    QSpinBox* m_centerV;
    QLineEdit* m_url;
};

} // namespace qm
