#include "gui/gui_test_environment.h"

#include <QAbstractButton>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>
#include <gtest/gtest.h>

#include "framework/dialog_items.h"

namespace qm::test {

namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        // The user's folders (preferences, templates, recent documents, the desktop's
        // recently-used list) are the test's own, never the real ones.
        m_home = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home->filePath(QStringLiteral("config"))));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_home->filePath(QStringLiteral("data"))));
        static int argc = 1;
        static char name[] = "test_gui";
        static char* argv[] = {name, nullptr};
        m_app = new QApplication(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Quillmere"));
        QApplication::setApplicationVersion(QStringLiteral("0.1.0"));
    }
    void TearDown() override
    {
        delete m_app;
        m_app = nullptr;
        m_home.reset();
    }

private:
    QApplication* m_app = nullptr;
    std::unique_ptr<QTemporaryDir> m_home;
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace

void onNextModal(std::function<void(QDialog*)> fn)
{
    // Polls until the dialog is up: the code under test opens it after this call returns.
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, fn] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        timer->stop();
        timer->deleteLater();
        fn(dialog);
    });
    timer->start();
}

QString shownTitle(const QWidget* window)
{
    QString title = window->windowTitle();
    title.replace(QStringLiteral("[*]"), window->isWindowModified() ? QStringLiteral("*") : QString());
    return title;
}

void clickItem(QWidget* dialog, int id)
{
    auto* button = items::item<QAbstractButton>(dialog, id);
    ASSERT_NE(button, nullptr) << "no button item" << id;
    button->click();
}

} // namespace qm::test
