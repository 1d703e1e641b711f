#pragma once
// "Panorama Imaging Properties": static and motion quality and correction, each 1 to 3
// (slider positions 0 to 2 plus one).
#include <array>

#include "framework/modal_dialog.h"

class QSlider;

namespace qm {

class ImagingPropertiesDialog : public ModalDialog {
    Q_OBJECT
public:
    // Order of the values: static quality, static correction, motion quality, motion correction.
    using Values = std::array<int, 4>;
    explicit ImagingPropertiesDialog(const Values& stored, QWidget* parent = nullptr);
    Values values() const;

protected:
    bool changed() const override { return values() != m_stored; }

private:
    Values m_stored;
    std::array<QSlider*, 4> m_sliders{};
};

} // namespace qm
