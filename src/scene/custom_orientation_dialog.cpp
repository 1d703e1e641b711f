#include "scene/custom_orientation_dialog.h"

#include <QDoubleValidator>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "framework/dialog_items.h"
#include "scene/settings_lists.h"

namespace qm {

CustomOrientationDialog::CustomOrientationDialog(float current, QWidget* parent)
    : ModalDialog(tr("Custom Orientation"), parent),
      m_current(current == settings::kInitialView ? 0.0f : current)
{
    setObjectName(QStringLiteral("dialog351"));
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(tr("Angle:"), this));
    m_angle = new QLineEdit(QString::asprintf("%1.1f", double(m_current)), this);
    items::setItemId(m_angle, 589);
    m_angle->setMaxLength(6);
    auto* validator = new QDoubleValidator(-99999.0, 999999.0, 1, m_angle);
    validator->setNotation(QDoubleValidator::StandardNotation);
    validator->setLocale(QLocale::c());
    m_angle->setValidator(validator);
    m_angle->selectAll();
    row->addWidget(m_angle);
    row->addWidget(new QLabel(QStringLiteral("°"), this));
    body()->addLayout(row);
    connect(m_angle, &QLineEdit::textChanged, this, &CustomOrientationDialog::updateOkButton);
}

float CustomOrientationDialog::angle() const { return float(settings::leadingNumber(m_angle->text())); }

bool CustomOrientationDialog::changed() const
{
    return m_angle->hasAcceptableInput() && angle() != m_current;
}

} // namespace qm
