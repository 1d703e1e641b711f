#pragma once
// Help > Contents: the user guide (docs/user-guide.md, built into the program) in a window of
// its own that stays open beside the document.
#include <QDialog>

class QTextBrowser;

namespace qm {

class UserGuideDialog : public QDialog {
    Q_OBJECT
public:
    explicit UserGuideDialog(QWidget* parent = nullptr);

    // Shows the guide, raising the window when it is open already.
    static UserGuideDialog* show(QWidget* parent);
    // The guide's Markdown text as built into the program.
    static QString guideText();

    QTextBrowser* browser() const { return m_browser; }

private:
    QTextBrowser* m_browser;
};

} // namespace qm
