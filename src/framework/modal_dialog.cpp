#include "framework/modal_dialog.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "framework/centre_window.h"
#include "framework/dialog_items.h"

namespace qm {

namespace {

std::function<void(bool)>& preferencesEnabler()
{
    static std::function<void(bool)> enabler;
    return enabler;
}

} // namespace

ModalDialog::ModalDialog(const QString& title, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(title);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto* outer = new QVBoxLayout(this);
    m_body = new QVBoxLayout;
    outer->addLayout(m_body);
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    items::setItemId(okButton(), 1);
    items::setItemId(cancelButton(), 2);
    outer->addWidget(m_buttons);
    outer->setSizeConstraint(QLayout::SetFixedSize);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QPushButton* ModalDialog::okButton() const { return m_buttons->button(QDialogButtonBox::Ok); }
QPushButton* ModalDialog::cancelButton() const
{
    return m_buttons->button(QDialogButtonBox::Cancel);
}

void ModalDialog::setPreferencesEnabler(std::function<void(bool)> enabler)
{
    preferencesEnabler() = std::move(enabler);
}

void ModalDialog::updateOkButton() { okButton()->setEnabled(changed()); }

void ModalDialog::prepareFocus(QDialog* dialog, QDialogButtonBox* buttons)
{
    QWidget* first = nullptr;
    QWidget* last = nullptr;
    // The focus chain follows the order the items were made in, which is their order on screen.
    for (QWidget* w = dialog->nextInFocusChain(); w && w != dialog; w = w->nextInFocusChain()) {
        if (buttons->isAncestorOf(w) || !(w->focusPolicy() & Qt::TabFocus) || !w->isEnabled() ||
            !w->isVisibleTo(dialog) || w->focusProxy())
            continue;
        if (!first)
            first = w;
        last = w;
    }
    QWidget* previous = last;
    for (QAbstractButton* button : buttons->buttons()) {
        if (previous)
            QWidget::setTabOrder(previous, button);
        previous = button;
    }
    if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok)) {
        for (QAbstractButton* button : buttons->buttons())
            if (auto* push = qobject_cast<QPushButton*>(button); push && push != ok)
                push->setAutoDefault(false);
        ok->setDefault(true);
    }
    if (first) {
        first->setFocus(Qt::TabFocusReason);
        if (auto* edit = qobject_cast<QLineEdit*>(first))
            edit->selectAll();
    } else if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok)) {
        ok->setFocus(Qt::TabFocusReason);
    }
}

bool ModalDialog::run()
{
    updateOkButton();
    prepareFocus(this, m_buttons);
    adjustSize();
    centreWindow(this, parentWidget() ? parentWidget()->window() : nullptr);
    if (preferencesEnabler())
        preferencesEnabler()(false);
    const bool confirmed = exec() == QDialog::Accepted;
    if (preferencesEnabler())
        preferencesEnabler()(true);
    return confirmed;
}

} // namespace qm
