#include "scene/document_io.h"

#include "framework/scene_document.h"
#include "project/scene_defaults.h"
#include "quicktime/errors.h"

namespace qm {

namespace {

std::filesystem::path& templatesFolderSlot()
{
    static std::filesystem::path folder;
    return folder;
}

} // namespace

std::unique_ptr<SceneDocument> newDocument()
{
    Scene scene = makeNewScene();
    scene.untouchedNew = true;
    return std::make_unique<SceneDocument>(std::move(scene));
}

OSErr openDocument(const std::filesystem::path&, std::unique_ptr<SceneDocument>&)
{
    return err::paramErr; // the project file reader is not wired in yet
}

OSErr saveDocument(SceneDocument&, const std::filesystem::path&)
{
    return err::paramErr; // the project file writer is not wired in yet
}

std::filesystem::path templatesFolder() { return templatesFolderSlot(); }
void setTemplatesFolder(const std::filesystem::path& folder) { templatesFolderSlot() = folder; }

QString projectFilter() { return QStringLiteral("Quillmere Project Documents (*.qmp)"); }
QString templateFilter() { return QStringLiteral("Quillmere Templates (*.qmt)"); }
QString documentFilters() { return projectFilter() + QStringLiteral(";;") + templateFilter(); }

} // namespace qm
