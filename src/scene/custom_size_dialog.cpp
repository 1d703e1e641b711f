#include "scene/custom_size_dialog.h"

#include <QVBoxLayout>
#include <QFormLayout>
#include <QIntValidator>
#include <QLineEdit>
#include <QPushButton>

#include "framework/dialog_items.h"
#include "scene/settings_lists.h"

namespace qm {

CustomSizeDialog::CustomSizeDialog(const QString& title, int width, int height, QWidget* parent)
    : ModalDialog(title, parent), m_width(width), m_height(height)
{
    auto* form = new QFormLayout;
    auto makeEdit = [this](int value, int id) {
        auto* edit = new QLineEdit(QString::number(value), this);
        items::setItemId(edit, id);
        edit->setMaxLength(8);
        auto* validator = new QIntValidator(1, kMaximum, edit);
        validator->setLocale(QLocale::c()); // numbers follow no locale
        edit->setValidator(validator);
        connect(edit, &QLineEdit::textChanged, this, &CustomSizeDialog::updateOkButton);
        return edit;
    };
    m_widthEdit = makeEdit(width, 590);
    m_heightEdit = makeEdit(height, 591);
    form->addRow(tr("Width:"), m_widthEdit);
    form->addRow(tr("Height:"), m_heightEdit);
    body()->addLayout(form);
    m_widthEdit->selectAll();
}

int CustomSizeDialog::width() const { return int(settings::leadingInteger(m_widthEdit->text())); }
int CustomSizeDialog::height() const
{
    return int(settings::leadingInteger(m_heightEdit->text()));
}

bool CustomSizeDialog::changed() const
{
    return m_widthEdit->hasAcceptableInput() && m_heightEdit->hasAcceptableInput() &&
           (width() != m_width || height() != m_height);
}

} // namespace qm
