#include "compose/compose_environment.h"

#include <algorithm>
#include <ctime>
#include <thread>

#include "appcore/preferences_record.h"
#include "quicktime/base/errors.h"
#include "quicktime/files/file_alias.h"
#include "quicktime/files/file_types.h"
#include "quicktime/files/image_file.h"

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
    env.readStillImage = [](const std::filesystem::path& file, OffscreenPicture& out) {
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

std::uint32_t composeTimestamp(const ComposeEnvironment& env)
{
    return env.deterministic ? 1u : std::uint32_t(std::time(nullptr));
}

unsigned compressionThreads(const ComposeEnvironment& env)
{
    if (env.threads)
        return env.threads;
    return std::max(1u, std::thread::hardware_concurrency());
}

} // namespace qm
