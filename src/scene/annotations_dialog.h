#pragma once
// "Annotations" of the composed movie: its name, copyright and description texts.
#include "framework/modal_dialog.h"

class QLineEdit;
class QPlainTextEdit;

namespace qm {

class AnnotationsDialog : public ModalDialog {
    Q_OBJECT
public:
    struct Texts {
        QString name, copyright, description;
        friend bool operator==(const Texts&, const Texts&) = default;
    };
    static constexpr int kMaxLength = 255;

    explicit AnnotationsDialog(const Texts& stored, QWidget* parent = nullptr);
    Texts texts() const;

protected:
    bool changed() const override { return !(texts() == m_stored); }

private:
    void limitDescription();

    Texts m_stored;
    QLineEdit* m_name;
    QLineEdit* m_copyright;
    QPlainTextEdit* m_description;
};

} // namespace qm
