#pragma once
// The Animation Settings dialog: frame and view animation of an object or linear movie node,
// edited on a copy of its object sample record.
#include "framework/modal_dialog.h"
#include "project/scene.h"

class QCheckBox;
class QSlider;

namespace qm {

class AnimationSettingsDialog : public ModalDialog {
    Q_OBJECT
public:
    AnimationSettingsDialog(const ObjectSampleRecord& record, bool linearMovie, QWidget* parent = nullptr);
    // The record with the working values (after OK: the chosen ones).
    ObjectSampleRecord record() const;

    bool framesAvailable() const { return m_framesAvailable; }
    bool viewsAvailable() const { return m_viewsAvailable; }

protected:
    bool changed() const override;

private:
    void rebuild();
    void applyEnabling();

    ObjectSampleRecord m_stored;
    std::uint32_t m_flags;
    float m_frameRate;
    float m_viewRate;
    bool m_framesAvailable;
    bool m_viewsAvailable;
    QCheckBox* m_frames;
    QCheckBox* m_restart;
    QCheckBox* m_framesBackwards;
    QCheckBox* m_loop;
    QCheckBox* m_backAndForth;
    QSlider* m_frameSpeed;
    QCheckBox* m_views;
    QCheckBox* m_viewsBackwards;
    QCheckBox* m_viewsLoop;
    QCheckBox* m_sync;
    QSlider* m_viewSpeed;
};

} // namespace qm
