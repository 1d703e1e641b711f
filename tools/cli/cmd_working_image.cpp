// quillmere-cli working-image PROJECT NODE -o OUT.png [--view ROW,COL] [--frame N] [--hot-spots]:
// the picture the Hot Spots page edits over, with the hot spot overlays when asked.
#include <fstream>
#include <iostream>

#include "appcore/preferences_store.h"
#include "cli_project.h"
#include "command.h"
#include "compose/compose_environment.h"
#include "compose/compose_errors.h"
#include "compose/hot_spot_overlay.h"
#include "compose/working_image.h"
#include "hot_spot_arguments.h"
#include "quicktime/codec/codec.h"

namespace qm::cli {
namespace {

extern const Command kCommand;

int run(const std::vector<std::string>& argsIn)
{
    std::vector<std::string> args = argsIn;
    const bool overlays = hasFlag(args, "--hot-spots");
    std::string out;
    std::optional<std::string> view;
    std::optional<std::string> frame;
    if (!takeOption(args, "-o", out) || !takeOption(args, "--view", view) || !takeOption(args, "--frame", frame) ||
        out.empty() || args.size() != 2)
        return usageError(kCommand);
    ViewIndex index;
    if (view && !parseView(*view, index))
        return fail("--view takes ROW,COL");
    WorkingImageView request{index.column, index.row, 0};
    if (frame && !parseInt(*frame, request.frameOffset))
        return fail("--frame takes a frame number");
    Scene scene;
    if (!openProjectForEdit(args[0], scene, false))
        return 1;
    const auto id = nodeIdArgument(scene, args[1]);
    if (!id) {
        disposeScene(scene);
        return fail(args[1] + ": no such node");
    }
    const Node& node = *findNode(scene, *id);
    WorkingImage image;
    const ComposeEnvironment env = standardComposeEnvironment();
    if (OSErr e = loadWorkingImage(scene, node, request, env, image)) {
        disposeScene(scene);
        return fail("node " + std::to_string(*id) + ": " + std::string(composeErrorMessage(e)) + " (" +
                    std::to_string(e) + ")");
    }
    if (overlays)
        drawHotSpotOverlays(image.picture, node, index, [&](const Rect& r) { return image.toWorking(r); },
                            hotSpotColorsOf(node, appPreferences().record()));
    disposeScene(scene);
    ImageCompressionParams params;
    params.codecType = codecType::png;
    params.depth = 24;
    CompressedImage png;
    if (OSErr e = compressImage(image.picture, params, png))
        return fail("PNG: error " + std::to_string(e));
    std::ofstream file(out, std::ios::binary);
    file.write(reinterpret_cast<const char*>(png.data.data()), std::streamsize(png.data.size()));
    if (!file.good())
        return fail(out + ": cannot write the file");
    std::cout << image.picture.width() << "x" << image.picture.height() << " (native "
              << image.nativeRect.width() << "x" << image.nativeRect.height() << ")\n";
    return 0;
}

const Command kCommand{"working-image", "PROJECT NODE -o OUT.png [--view ROW,COL] [--frame N] [--hot-spots]",
                       "write the picture a node's hot spots are drawn on (PNG)", run};
const CommandRegistration reg{kCommand};

} // namespace
} // namespace qm::cli
