#pragma once
// "Custom Orientation": one angle in degrees.
#include "framework/modal_dialog.h"

class QLineEdit;

namespace qm {

class CustomOrientationDialog : public ModalDialog {
    Q_OBJECT
public:
    // current: the scene's orientation; the initial view (-1) is offered as 0.0.
    explicit CustomOrientationDialog(float current, QWidget* parent = nullptr);
    float angle() const;

protected:
    bool changed() const override;

private:
    float m_current;
    QLineEdit* m_angle;
};

} // namespace qm
