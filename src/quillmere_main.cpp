#include <QApplication>

#include "app/app_shell.h"
#include "app/command_line.h"
#include "appcore/alert_service.h"
#include "appcore/app_paths.h"
#include "appcore/preferences_store.h"
#include "app/message_box_presenter.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmere"));
    QApplication::setApplicationVersion(QStringLiteral(QM_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);

    qm::MessageBoxPresenter presenter;
    qm::alerts().setPresenter(presenter);

    qm::PreferencesStore& preferences = qm::appPreferences();
    qm::AppShell::Options options;
    options.loadPreferences = [&preferences](const std::string& scratch) {
        preferences.load(qm::preferencesFilePath(), scratch);
    };
    options.savePreferences = [&preferences] { preferences.save(); };
    qm::AppShell shell(preferences.record(), options);
    QObject::connect(&shell, &qm::AppShell::quit, &app, &QApplication::quit, Qt::QueuedConnection);
    if (!shell.start(qm::CommandLine::parse(QApplication::arguments().mid(1))))
        return 1;
    const int status = shell.quitRequested() ? 0 : QApplication::exec();
    shell.finish();
    return status;
}
