#include "compose/compose_environment.h"

#include "app/core/preferences_record.h"
#include "quicktime/errors.h"
#include "quicktime/file_alias.h"
#include "quicktime/file_types.h"
#include "quicktime/image_file.h"

namespace qm {

ComposeEnvironment standardComposeEnvironment(const PreferencesRecord* preferences)
{
    ComposeEnvironment env;
    env.resolveMedia = [](const Scene& scene, const Node& node, std::filesystem::path& out) {
        if (node.mediaReference.empty())
            return err::fnfErr;
        FileAlias alias;
        if (OSErr e = FileAlias::parse(node.mediaReference, alias))
            return e;
        const std::filesystem::path base =
            scene.projectFile.empty() ? std::filesystem::path() : scene.projectFile.parent_path();
        bool updated = false;
        return alias.resolve(base, out, updated);
    };
    env.readStillImage = [](const std::filesystem::path& file, PixelBuffer& out) {
        OSType type = 0;
        if (OSErr e = getFileType(file, type))
            return e;
        return readImageFile(file, type, out);
    };
    if (preferences) {
        env.scratchFolder = preferences->scratchFolder();
        env.annotationName = preferences->annotationName();
        env.annotationCopyright = preferences->annotationCopyright();
        env.annotationDescription = preferences->annotationDescription();
    }
    return env;
}

} // namespace qm
