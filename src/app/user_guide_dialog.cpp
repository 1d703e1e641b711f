#include "app/user_guide_dialog.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace qm {

UserGuideDialog::UserGuideDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("userGuide"));
    setWindowTitle(tr("Quillmere User Guide"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    m_browser = new QTextBrowser(this);
    m_browser->setOpenExternalLinks(true);
    m_browser->setMarkdown(guideText());
    layout->addWidget(m_browser);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    layout->addWidget(buttons);
    resize(640, 560);
    m_browser->setFocus();
}

QString UserGuideDialog::guideText()
{
    QFile file(QStringLiteral(":/docs/user-guide.md"));
    if (!file.open(QIODevice::ReadOnly))
        return tr("The user guide is missing from this copy of the program.");
    return QString::fromUtf8(file.readAll());
}

UserGuideDialog* UserGuideDialog::show(QWidget* parent)
{
    static QPointer<UserGuideDialog> open;
    if (!open)
        open = new UserGuideDialog(parent);
    open->QDialog::show();
    open->raise();
    open->activateWindow();
    return open;
}

} // namespace qm
