#pragma once
// The frame of the program's small modal dialogs: OK (item 1) and Cancel (item 2), OK enabled
// only while the dialog's values differ from the stored ones, the Preferences menu item
// disabled while the dialog runs, the dialog centred on the program's window.
#include <QDialog>
#include <functional>

class QDialogButtonBox;
class QPushButton;
class QVBoxLayout;

namespace qm {

class ModalDialog : public QDialog {
    Q_OBJECT
public:
    explicit ModalDialog(const QString& title, QWidget* parent = nullptr);

    // Centres, disables Preferences, runs, enables Preferences again. True on OK.
    bool run();

    QPushButton* okButton() const;
    QPushButton* cancelButton() const;

    // Set by the program's shell: enables or disables the Preferences menu item.
    static void setPreferencesEnabler(std::function<void(bool)> enabler);

    // Every dialog opens with its first field focused and OK as the button Enter presses; the
    // buttons come last in the tab order.
    static void prepareFocus(QDialog* dialog, QDialogButtonBox* buttons);

protected:
    // The dialog's own items go into this layout, above the buttons.
    QVBoxLayout* body() const { return m_body; }
    // Whether the values differ from the stored ones; the selectors' OK is always enabled.
    virtual bool changed() const { return true; }
    void updateOkButton();

private:
    QVBoxLayout* m_body;
    QDialogButtonBox* m_buttons;
};

} // namespace qm
