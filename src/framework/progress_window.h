#pragma once
// The "Progress" window of long work: a message, a bar, a count and Cancel. It only shows what
// the progress (window_progress.h) tells it; Cancel and the window's close box ask to cancel,
// and the window stays until the work closes it.
#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace qm {

class ProgressWindow : public QDialog {
    Q_OBJECT
public:
    ProgressWindow(const QString& title, bool showBar, QWidget* owner = nullptr);

    void setMessage(const QString& text);
    void setPercent(int percent);
    void setCountText(const QString& text);

    bool cancelRequested() const { return m_cancelRequested; }
    int barPosition() const;
    QString messageText() const;
    QString countText() const;

signals:
    void cancelClicked();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void requestCancel();

    bool m_cancelRequested = false;
    QLabel* m_message;
    QProgressBar* m_bar;
    QLabel* m_count;
    QPushButton* m_cancel;
};

} // namespace qm
