#include "gui/gui_test_environment.h"

#include <QAbstractButton>
#include <QTimer>
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
    }

private:
    QApplication* m_app = nullptr;
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

void clickItem(QWidget* dialog, int id)
{
    auto* button = items::item<QAbstractButton>(dialog, id);
    ASSERT_NE(button, nullptr) << "no button item" << id;
    button->click();
}

} // namespace qm::test
