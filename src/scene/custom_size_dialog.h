#pragma once
// "Custom Master Size" and its twin for the playback size: a width and a height in pixels.
#include "framework/modal_dialog.h"

class QLineEdit;

namespace qm {

class CustomSizeDialog : public ModalDialog {
    Q_OBJECT
public:
    CustomSizeDialog(const QString& title, int width, int height, QWidget* parent = nullptr);
    int width() const;
    int height() const;

    static constexpr int kMaximum = 32767; // the scene keeps sizes as signed 16-bit values

protected:
    bool changed() const override;

private:
    int m_width, m_height;
    QLineEdit* m_widthEdit;
    QLineEdit* m_heightEdit;
};

} // namespace qm
