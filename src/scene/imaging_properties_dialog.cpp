#include "scene/imaging_properties_dialog.h"

#include <QVBoxLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QSlider>

#include "framework/dialog_items.h"

namespace qm {

ImagingPropertiesDialog::ImagingPropertiesDialog(const Values& stored, QWidget* parent)
    : ModalDialog(tr("Panorama Imaging Properties"), parent), m_stored(stored)
{
    setObjectName(QStringLiteral("dialog217"));
    static constexpr int kItems[4] = {572, 573, 571, 570};
    auto makeGroup = [this](const QString& title, int first) {
        auto* group = new QGroupBox(title, this);
        auto* grid = new QGridLayout(group);
        const QString labels[2][3] = {{tr("Quality:"), tr("Low"), tr("High")},
                                      {tr("Correction:"), tr("None"), tr("Full")}};
        for (int row = 0; row < 2; ++row) {
            auto* slider = new QSlider(Qt::Horizontal, group);
            slider->setRange(0, 2);
            slider->setPageStep(1);
            slider->setTickPosition(QSlider::TicksBelow);
            slider->setTickInterval(1);
            slider->setMinimumWidth(140);
            slider->setValue(std::clamp(m_stored[std::size_t(first + row)] - 1, 0, 2));
            items::setItemId(slider, kItems[first + row]);
            connect(slider, &QSlider::valueChanged, this, &ImagingPropertiesDialog::updateOkButton);
            m_sliders[std::size_t(first + row)] = slider;
            grid->addWidget(new QLabel(labels[row][0], group), row, 0);
            grid->addWidget(new QLabel(labels[row][1], group), row, 1);
            grid->addWidget(slider, row, 2);
            grid->addWidget(new QLabel(labels[row][2], group), row, 3);
        }
        body()->addWidget(group);
    };
    makeGroup(tr("Static"), 0);
    makeGroup(tr("Motion"), 2);
}

ImagingPropertiesDialog::Values ImagingPropertiesDialog::values() const
{
    Values v{};
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i] = m_sliders[i]->value() + 1;
    return v;
}

} // namespace qm
