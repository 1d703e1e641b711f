#include "scene/web_tour_export.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QStandardPaths>

#include "compose/compose_environment.h"
#include "framework/window_progress.h"
#include "project/scene.h"
#include "render/floor_plan.h"
#include "web/web_export.h"

namespace qm {

bool exportWebTourFromWindow(QWidget* parent, const Scene& scene)
{
    QString start = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!scene.projectFile.empty())
        start = QString::fromStdString(scene.projectFile.parent_path().string());
    const QString folder = QFileDialog::getExistingDirectory(parent, QObject::tr("Export Web Tour"), start);
    if (folder.isEmpty())
        return false;

    web::WebExportOptions options;
    options.folder = folder.toStdString();
    options.renderFloorPlan = [](const Scene& s, OffscreenPicture& out) { return renderFloorPlan(s, out); };
    const ComposeEnvironment env = standardComposeEnvironment();
    WindowProgress progress(parent);
    web::WebExportReport report;
    std::string detail;
    const OSErr e = web::exportWebTour(scene, options, env, progress, report, &detail);
    if (e == -128)
        return false; // cancelled: what was written is gone again
    if (e) {
        const QString why = e == -1 ? QObject::tr("The scene has no node whose media can be shown.")
                                    : QString::fromStdString(detail.empty() ? "The tour cannot be written." : detail);
        QMessageBox::warning(parent, QObject::tr("Export Web Tour"), why + QStringLiteral(" (%1)").arg(e));
        return false;
    }
    QString text = QObject::tr("The web tour is in %1.\n\nServe that folder with any static web server, "
                               "e.g. \"python3 -m http.server\" in it, and open http://localhost:8000/.")
                       .arg(QDir::toNativeSeparators(folder));
    if (!report.missingNodes.empty()) {
        QString list;
        for (const std::string& m : report.missingNodes)
            list += QStringLiteral("\n") + QString::fromStdString(m);
        text += QObject::tr("\n\nThese nodes were left out because their media are missing:") + list;
        QMessageBox::warning(parent, QObject::tr("Export Web Tour"), text);
    } else {
        QMessageBox::information(parent, QObject::tr("Export Web Tour"), text);
    }
    return true;
}

} // namespace qm
