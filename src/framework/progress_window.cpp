#include "framework/progress_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "framework/dialog_items.h"

namespace qm {

ProgressWindow::ProgressWindow(const QString& title, bool showBar, QWidget* owner)
    : QDialog(owner)
{
    setObjectName(QStringLiteral("dialog904"));
    setWindowTitle(title.isEmpty() ? tr("Progress") : title);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    // The work runs in the caller's loop; while the window shows, input goes to it alone.
    setWindowModality(Qt::ApplicationModal);
    setCursor(Qt::BusyCursor);

    auto* grid = new QGridLayout(this);
    m_message = new QLabel(this);
    items::setItemId(m_message, 5011);
    m_message->setMinimumWidth(360);
    m_count = new QLabel(this);
    items::setItemId(m_count, 9012);
    m_count->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_bar = new QProgressBar(this);
    items::setItemId(m_bar, 9010);
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    m_bar->setVisible(showBar);
    m_cancel = new QPushButton(tr("Cancel"), this);
    items::setItemId(m_cancel, 2);
    m_cancel->setCursor(Qt::ArrowCursor);
    grid->addWidget(m_message, 0, 0);
    grid->addWidget(m_count, 0, 1);
    grid->addWidget(m_bar, 1, 0, 1, 2);
    grid->addWidget(m_cancel, 2, 1);
    connect(m_cancel, &QPushButton::clicked, this, &ProgressWindow::requestCancel);
}

void ProgressWindow::setMessage(const QString& text) { m_message->setText(text); }
void ProgressWindow::setPercent(int percent) { m_bar->setValue(std::clamp(percent, 0, 100)); }
void ProgressWindow::setCountText(const QString& text) { m_count->setText(text); }

int ProgressWindow::barPosition() const { return m_bar->value(); }
QString ProgressWindow::messageText() const { return m_message->text(); }
QString ProgressWindow::countText() const { return m_count->text(); }

void ProgressWindow::requestCancel()
{
    m_cancelRequested = true;
    emit cancelClicked();
}

void ProgressWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
    requestCancel();
}

void ProgressWindow::reject() { requestCancel(); }

} // namespace qm
