#include "scene/document_io.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "appcore/alert_service.h"
#include "appcore/scratch_files.h"
#include "appcore/string_table.h"
#include "framework/recent_documents.h"
#include "framework/scene_document.h"
#include "framework/window_progress.h"
#include "project/project_reader.h"
#include "project/project_writer.h"
#include "project/scene_defaults.h"

namespace qm {

namespace {

// How long copying a stored composed movie may take before its progress window shows.
constexpr double kProgressDelaySeconds = 0.5;

std::function<std::filesystem::path()>& scratchFolderSource()
{
    static std::function<std::filesystem::path()> source;
    return source;
}

// The reader's questions and reports as alerts.
class AlertReaderUi final : public ProjectReaderUi {
public:
    bool confirmUnresolvedMedia() override { return alerts().cautionAlert(alertUnresolvedMedia) == 1; }
    void reportError(OSErr code, const std::string& detail) override
    {
        if (!detail.empty())
            alerts().setErrorDetail(detail);
        alerts().reportError(code);
    }
};

// Long file work behind the progress window; opened at the first report.
class FileProgress {
public:
    ProgressCallback callback()
    {
        return [this](std::string_view title, std::string_view message, int percent) {
            if (!m_progress.isOpen()) {
                ProgressSettings settings;
                settings.options = progressShowsMessage | progressShowsBar;
                settings.title = std::string(title);
                settings.message = std::string(message);
                settings.maximum = 100;
                settings.count = -1;
                settings.delaySeconds = kProgressDelaySeconds;
                m_progress.open(settings);
            }
            return m_progress.update(message, percent);
        };
    }

private:
    WindowProgress m_progress;
};

// The report names the file first (a long reason may be cut, the name must survive), then the
// reason when the reader or writer gave one.
void setDetail(OSErr err, const std::filesystem::path& file, const std::string& detail)
{
    if (err == 0 || err == -128)
        return;
    std::string text = file.string();
    if (!detail.empty())
        text += "\n" + detail;
    alerts().setErrorDetail(text);
}

} // namespace

std::unique_ptr<SceneDocument> newDocument()
{
    Scene scene = makeNewScene();
    scene.untouchedNew = true;
    return std::make_unique<SceneDocument>(std::move(scene));
}

OSErr openDocument(const std::filesystem::path& path, std::unique_ptr<SceneDocument>& out)
{
    AlertReaderUi ui;
    FileProgress progress;
    ProjectReadOptions options;
    options.ui = &ui;
    options.progress = progress.callback();
    options.scratchFile = [](std::filesystem::path& file) {
        const std::filesystem::path folder =
            scratchFolderSource() ? scratchFolderSource()() : std::filesystem::path();
        return scratchFileNamer().makeScratchFile(effectiveScratchFolder(folder), file, false);
    };
    Scene scene;
    std::string detail;
    const OSErr err = qm::openDocument(path, scene, options, &detail);
    if (err != 0) {
        setDetail(err, path, detail);
        return err;
    }
    out = std::make_unique<SceneDocument>(std::move(scene));
    out->setBeganFromTemplate(isTemplatePath(path));
    RecentDocuments::add(QString::fromStdString(path.string()));
    return 0;
}

OSErr saveDocument(SceneDocument& document, const std::filesystem::path& path)
{
    FileProgress progress;
    ProjectWriteOptions options;
    options.progress = progress.callback();
    std::string detail;
    const OSErr err = saveProject(document.editableScene(), path, options, &detail);
    if (err != 0) {
        setDetail(err, path, detail);
        return err;
    }
    document.markSaved(path);
    RecentDocuments::add(QString::fromStdString(path.string()));
    return 0;
}

void setScratchFolderSource(std::function<std::filesystem::path()> source)
{
    scratchFolderSource() = std::move(source);
}

QString startFolder()
{
    QString folder = RecentDocuments::lastFolder();
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    return folder;
}

void noteChosenFile(const QString& path)
{
    if (!path.isEmpty())
        RecentDocuments::setLastFolder(QFileInfo(path).absolutePath());
}

QString projectFilter() { return QStringLiteral("Quillmere Project Documents (*.qmp)"); }
QString templateFilter() { return QStringLiteral("Quillmere Templates (*.qmt)"); }
QString documentFilters() { return projectFilter() + QStringLiteral(";;") + templateFilter(); }

} // namespace qm
