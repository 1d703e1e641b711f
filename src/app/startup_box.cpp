#include "app/startup_box.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>
#include <QVBoxLayout>

#include "framework/centre_window.h"
#include "framework/dialog_items.h"
#include "framework/resource_images.h"

namespace qm {

StartupBox::StartupBox(int seconds, QWidget* parent)
    : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("dialog5808"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    pal.setColor(QPalette::WindowText, Qt::white);
    setPalette(pal);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 8);
    auto* picture = new QLabel(this);
    picture->setPixmap(resourcePixmap(imgStartupPicture, resourceSize(imgStartupPicture)));
    layout->addWidget(picture);
    auto* version = new QLabel(versionText(), this);
    items::setItemId(version, 586);
    version->setAlignment(Qt::AlignCenter);
    layout->addWidget(version);

    QTimer::singleShot(std::max(0, seconds) * 1000, this, &QDialog::close);
}

StartupBox* StartupBox::showFor(int seconds, QWidget* parent)
{
    auto* box = new StartupBox(seconds, parent);
    box->adjustSize();
    centreWindow(box, parent && parent->isVisible() ? parent : nullptr);
    box->show();
    box->raise();
    return box;
}

QString StartupBox::versionText() { return QCoreApplication::applicationVersion(); }

void StartupBox::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton)
        close();
}

} // namespace qm
