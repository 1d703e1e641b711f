// quillmere-cli view MOVIE ... -o VIEW.png and quillmere-cli hit MOVIE ... --at X,Y: the
// player's view of a node and the hot spot under a point, headless.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>

#include "command.h"
#include "quicktime/base/errors.h"
#include "quicktime/codec/codec.h"
#include "quicktime/movie/movie.h"
#include "quicktime/vr/vr_player.h"

namespace qm::cli {
namespace {

int runView(const std::vector<std::string>& args);
int runHit(const std::vector<std::string>& args);

const Command kView{
    "view",
    "MOVIE [--node ID] [--pan P] [--tilt T] [--fov F] [--size WxH] -o VIEW.png",
    "Render the QuickTime VR player's view of a node (default: the movie's default node and view, 640x480)",
    runView,
};
const Command kHit{
    "hit",
    "MOVIE --node ID --pan P --tilt T --fov F --size WxH --at X,Y [--json]",
    "The hot spot under a pixel of that view: its ID, type and link destination, or 0",
    runHit,
};
const CommandRegistration regView(kView);
const CommandRegistration regHit(kHit);

struct ViewArgs {
    std::string movie;
    std::optional<std::uint32_t> node;
    std::optional<float> pan, tilt, fov;
    int width = 640, height = 480;
    std::string output;
    std::optional<std::pair<int, int>> at;
    bool json = false;
};

bool parseNumber(const std::string& s, float& out)
{
    char* end = nullptr;
    out = std::strtof(s.c_str(), &end);
    return end && *end == 0 && !s.empty() && std::isfinite(out);
}

bool parsePair(const std::string& s, char sep, int& a, int& b)
{
    return std::sscanf(s.c_str(), sep == 'x' ? "%dx%d" : "%d,%d", &a, &b) == 2;
}

// Null on a usage error (reported).
std::optional<ViewArgs> parse(const Command& c, std::vector<std::string> args)
{
    ViewArgs v;
    v.json = hasFlag(args, "--json");
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string* { return i + 1 < args.size() ? &args[++i] : nullptr; };
        float f = 0;
        if (a == "--node" || a == "--pan" || a == "--tilt" || a == "--fov") {
            const std::string* s = value();
            if (!s || !parseNumber(*s, f)) {
                fail(a + " needs a number");
                return std::nullopt;
            }
            if (a == "--node") {
                if (f < 0 || f != float(std::uint32_t(f))) {
                    fail("--node needs a node ID");
                    return std::nullopt;
                }
                v.node = std::uint32_t(f);
            } else
                (a == "--pan" ? v.pan : a == "--tilt" ? v.tilt : v.fov) = f;
        } else if (a == "--size") {
            const std::string* s = value();
            if (!s || !parsePair(*s, 'x', v.width, v.height) || v.width < 1 || v.height < 1 || v.width > 8192 ||
                v.height > 8192) {
                fail("--size needs WxH (1 to 8192 each)");
                return std::nullopt;
            }
        } else if (a == "--at") {
            int x = 0, y = 0;
            const std::string* s = value();
            if (!s || !parsePair(*s, ',', x, y)) {
                fail("--at needs X,Y");
                return std::nullopt;
            }
            v.at = std::make_pair(x, y);
        } else if (a == "-o") {
            const std::string* s = value();
            if (!s) {
                usageError(c);
                return std::nullopt;
            }
            v.output = *s;
        } else if (!a.empty() && a[0] == '-') {
            fail("unknown option " + a);
            return std::nullopt;
        } else if (v.movie.empty()) {
            v.movie = a;
        } else {
            usageError(c);
            return std::nullopt;
        }
    }
    if (v.movie.empty()) {
        usageError(c);
        return std::nullopt;
    }
    return v;
}

struct Opened {
    std::unique_ptr<Movie> movie;
    std::unique_ptr<VRPlayer> player;
};

// Opens the movie and sets the player's node and view; exit status on failure.
int open(const ViewArgs& v, Opened& o)
{
    std::string detail;
    if (OSErr e = Movie::open(v.movie, MovieOpenMode::read, o.movie, &detail))
        return fail(v.movie + ": cannot open the movie (" + std::to_string(e) + ")" + (detail.empty() ? "" : ": " + detail));
    if (OSErr e = VRPlayer::open(*o.movie, o.player))
        return fail(v.movie + ": not a QuickTime VR movie (" + std::to_string(e) + ")");
    o.player->setViewSize(v.width, v.height);
    QTVRInstance* vr = o.player->instance();
    if (v.node && *v.node != QTVRGetCurrentNodeID(vr))
        if (OSErr e = QTVRGoToNodeID(vr, *v.node))
            return fail(v.movie + ": no node " + std::to_string(*v.node) + " (" + std::to_string(e) + ")");
    // Field of view first: the tilt and pan limits depend on it.
    if (v.fov)
        QTVRSetFieldOfView(vr, *v.fov);
    if (v.tilt)
        QTVRSetTiltAngle(vr, *v.tilt);
    if (v.pan)
        QTVRSetPanAngle(vr, *v.pan);
    return 0;
}

int runView(const std::vector<std::string>& args)
{
    const auto v = parse(kView, args);
    if (!v)
        return 2;
    if (v->output.empty())
        return usageError(kView);
    Opened o;
    if (int status = open(*v, o))
        return status;
    OffscreenPicture picture;
    if (OSErr e = o.player->render(picture))
        return fail(v->movie + ": cannot show node " + std::to_string(QTVRGetCurrentNodeID(o.player->instance())) +
                    " (" + std::to_string(e) + ")");
    ImageCompressionParams params;
    params.codecType = codecType::png;
    params.depth = 24;
    params.spatialQuality = codecQuality::lossless;
    CompressedImage png;
    if (OSErr e = compressImage(picture, params, png))
        return fail("cannot make the picture (" + std::to_string(e) + ")");
    std::ofstream out(v->output, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(png.data.data()), std::streamsize(png.data.size()));
    out.close();
    if (!out)
        return fail(v->output + ": cannot write the file");
    const QTVRInstance* vr = o.player->instance();
    std::printf("node %u pan %.1f tilt %.1f fov %.1f\n", QTVRGetCurrentNodeID(vr), double(QTVRGetPanAngle(vr)),
                double(QTVRGetTiltAngle(vr)), double(QTVRGetFieldOfView(vr)));
    return 0;
}

int runHit(const std::vector<std::string>& args)
{
    const auto v = parse(kHit, args);
    if (!v)
        return 2;
    if (!v->at)
        return usageError(kHit);
    Opened o;
    if (int status = open(*v, o))
        return status;
    const auto [x, y] = *v->at;
    const std::uint32_t id = o.player->hotSpotAt(x, y);
    const QTVRHotSpot* h = id ? o.player->instance()->hotSpot(id) : nullptr;
    const std::string type = h && h->type ? fourCCToString(h->type) : (id ? "undf" : "");
    const std::uint32_t destination = h ? h->linkNode : 0;
    if (v->json) {
        std::cout << "{\"id\": " << id;
        if (id) {
            std::cout << ", \"type\": \"" << jsonEscape(type) << "\"";
            if (h && !h->name.empty())
                std::cout << ", \"name\": \"" << jsonEscape(h->name) << "\"";
            if (destination)
                std::cout << ", \"destination\": " << destination;
            if (h && !h->url.empty())
                std::cout << ", \"url\": \"" << jsonEscape(h->url) << "\"";
        }
        std::cout << ", \"node\": " << QTVRGetCurrentNodeID(o.player->instance()) << "}\n";
    } else if (!id) {
        std::cout << "0\n";
    } else {
        std::cout << id << " " << type;
        if (destination)
            std::cout << " -> " << destination;
        if (h && !h->url.empty())
            std::cout << " " << h->url;
        std::cout << "\n";
    }
    return 0;
}

} // namespace
} // namespace qm::cli
