#include "app/import_tour_command.h"

#include <QObject>
#include <QStandardPaths>
#include <QString>

#include "appcore/alert_service.h"
#include "appcore/preferences_record.h"
#include "compose/tour_import.h"
#include "framework/standard_dialogs.h"
#include "framework/window_progress.h"

namespace qm {

std::optional<std::filesystem::path> runImportTourCommand(QWidget* owner, const PreferencesRecord& preferences)
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QString filter = QObject::tr("QuickTime Movies (*.mov *.qt *.qtvr)");
    const QString movie = StandardDialogs::current().openFileName(
        owner, QObject::tr("Import Tour"), folder, filter + QObject::tr(";;All Files (*)"), &filter);
    if (movie.isEmpty())
        return std::nullopt;
    const std::filesystem::path moviePath(movie.toStdString());
    QString projectFilter = QObject::tr("Quillmere Projects (*.qmp)");
    const QString suggested = QString::fromStdString((moviePath.parent_path() / moviePath.stem()).string() + ".qmp");
    QString project = StandardDialogs::current().saveFileName(owner, QObject::tr("Save Imported Tour As"), suggested,
                                                              projectFilter, &projectFilter);
    if (project.isEmpty())
        return std::nullopt;
    if (!project.endsWith(QStringLiteral(".qmp"), Qt::CaseInsensitive))
        project += QStringLiteral(".qmp");

    TourImportOptions options;
    options.keepHotSpots = preferences.keepMovieHotSpots();
    WindowProgress progress(owner);
    Scene scene;
    std::string detail;
    const OSErr e = importTour(moviePath, std::filesystem::path(project.toStdString()), options, progress, scene, &detail);
    if (e) {
        alerts().setErrorDetail(detail);
        alerts().reportError(e);
        return std::nullopt;
    }
    const std::filesystem::path saved = scene.projectFile;
    disposeScene(scene);
    return saved;
}

} // namespace qm
