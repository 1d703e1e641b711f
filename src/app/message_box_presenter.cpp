#include "app/message_box_presenter.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace qm {

namespace {

QMessageBox::StandardButton standardButton(AlertButton b)
{
    switch (b) {
    case AlertButton::Ok: return QMessageBox::Ok;
    case AlertButton::Cancel: return QMessageBox::Cancel;
    case AlertButton::Abort: return QMessageBox::Abort;
    case AlertButton::Retry: return QMessageBox::Retry;
    case AlertButton::Ignore: return QMessageBox::Ignore;
    case AlertButton::Yes: return QMessageBox::Yes;
    case AlertButton::No: return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

} // namespace

AlertButton MessageBoxPresenter::present(const AlertRequest& request)
{
    const auto buttons = buttonsOf(request.buttons);
    QMessageBox box(request.icon == AlertIcon::Stop ? QMessageBox::Critical : QMessageBox::Warning,
                    QStringLiteral(" "), QString::fromUtf8(request.text), QMessageBox::NoButton,
                    QApplication::activeWindow());
    box.setObjectName(QStringLiteral("alert%1").arg(request.stringId));
    box.setWindowModality(Qt::ApplicationModal);
    for (AlertButton b : buttons)
        box.addButton(standardButton(b));
    const std::size_t defaultIndex =
        std::min<std::size_t>(std::size_t(std::max(0, request.defaultIndex)), buttons.size() - 1);
    box.setDefaultButton(standardButton(buttons[defaultIndex]));
    // Escape answers Cancel where there is one, No where there is one (never the Yes of a
    // revert), else the default button.
    auto has = [&](AlertButton b) { return std::find(buttons.begin(), buttons.end(), b) != buttons.end(); };
    const AlertButton escape = has(AlertButton::Cancel) ? AlertButton::Cancel
                               : has(AlertButton::No)   ? AlertButton::No
                                                        : buttons[defaultIndex];
    box.setEscapeButton(standardButton(escape));
    box.exec();
    const auto pressed = box.standardButton(box.clickedButton());
    for (AlertButton b : buttons)
        if (standardButton(b) == pressed)
            return b;
    return buttons[defaultIndex];
}

} // namespace qm
