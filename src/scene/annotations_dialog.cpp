#include "scene/annotations_dialog.h"

#include <QVBoxLayout>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>

#include "framework/dialog_items.h"

namespace qm {

AnnotationsDialog::AnnotationsDialog(const Texts& stored, QWidget* parent)
    : ModalDialog(tr("Annotations"), parent), m_stored(stored)
{
    setObjectName(QStringLiteral("dialog216"));
    auto* form = new QFormLayout;
    m_name = new QLineEdit(stored.name.left(kMaxLength), this);
    m_copyright = new QLineEdit(stored.copyright.left(kMaxLength), this);
    m_description = new QPlainTextEdit(stored.description.left(kMaxLength), this);
    m_name->setMaxLength(kMaxLength);
    m_copyright->setMaxLength(kMaxLength);
    m_description->setMinimumSize(320, 90);
    items::setItemId(m_name, 567);
    items::setItemId(m_copyright, 568);
    items::setItemId(m_description, 569);
    form->addRow(tr("Name:"), m_name);
    form->addRow(tr("Copyright:"), m_copyright);
    form->addRow(tr("Description:"), m_description);
    body()->addLayout(form);
    connect(m_name, &QLineEdit::textChanged, this, &AnnotationsDialog::updateOkButton);
    connect(m_copyright, &QLineEdit::textChanged, this, &AnnotationsDialog::updateOkButton);
    connect(m_description, &QPlainTextEdit::textChanged, this, [this] {
        limitDescription();
        updateOkButton();
    });
}

void AnnotationsDialog::limitDescription()
{
    const QString text = m_description->toPlainText();
    if (text.size() <= kMaxLength)
        return;
    QSignalBlocker block(m_description);
    QTextCursor cursor = m_description->textCursor();
    const int position = std::min(cursor.position(), kMaxLength);
    m_description->setPlainText(text.left(kMaxLength));
    cursor = m_description->textCursor();
    cursor.setPosition(position);
    m_description->setTextCursor(cursor);
}

AnnotationsDialog::Texts AnnotationsDialog::texts() const
{
    return {m_name->text(), m_copyright->text(), m_description->toPlainText()};
}

} // namespace qm
