#include "web/web_export.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <system_error>

#include "compose/scene_map_edit.h"
#include "quicktime/base/errors.h"
#include "quicktime/codec/codec.h"
#include "quicktime/movie/movie_picture.h"
#include "quicktime/raster/raster_shapes.h"
#include "quicktime/vr/object_image.h"
#include "quicktime/vr/panorama_image.h"
#include "web/cylinder_band.h"
#include "web/tour_json.h"
#include "web/web_video.h"

#ifndef QM_WEB_SOURCE_DIR
#define QM_WEB_SOURCE_DIR ""
#endif

namespace fs = std::filesystem;

namespace qm::web {

namespace {

constexpr std::int32_t kNodeUnits = 100;
constexpr std::int32_t kFixedUnits = 10;

// The viewer files a tour needs, from the viewer folder (left) to the tour (right).
struct ViewerFile {
    const char* from;
    const char* to;
};
constexpr ViewerFile kViewerFiles[] = {
    {"tour/index.html", "index.html"},
    {"tour/tour.js", "tour.js"},
    {"tour/tour.css", "tour.css"},
    {"node_modules/three/build/three.module.js", "viewer/three/three.module.js"},
    {"node_modules/three/build/three.core.js", "viewer/three/three.core.js"},
    {"node_modules/three/LICENSE", "viewer/three/LICENSE"},
    {"node_modules/@photo-sphere-viewer/core/index.module.js", "viewer/core/index.module.js"},
    {"node_modules/@photo-sphere-viewer/core/index.css", "viewer/core/index.css"},
    {"node_modules/@photo-sphere-viewer/core/LICENSE", "viewer/core/LICENSE"},
    {"node_modules/@photo-sphere-viewer/virtual-tour-plugin/index.module.js", "viewer/virtual-tour-plugin/index.module.js"},
    {"node_modules/@photo-sphere-viewer/virtual-tour-plugin/index.css", "viewer/virtual-tour-plugin/index.css"},
    {"node_modules/@photo-sphere-viewer/markers-plugin/index.module.js", "viewer/markers-plugin/index.module.js"},
    {"node_modules/@photo-sphere-viewer/markers-plugin/index.css", "viewer/markers-plugin/index.css"},
    {"node_modules/@photo-sphere-viewer/map-plugin/index.module.js", "viewer/map-plugin/index.module.js"},
    {"node_modules/@photo-sphere-viewer/map-plugin/index.css", "viewer/map-plugin/index.css"},
};

bool holdsViewerFiles(const fs::path& dir)
{
    std::error_code ec;
    if (dir.empty())
        return false;
    for (const ViewerFile& f : kViewerFiles)
        if (!fs::is_regular_file(dir / f.from, ec))
            return false;
    return true;
}

std::string nodeKey(std::int16_t id)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "node-%03d", int(id));
    return buf;
}

std::string nodeLabel(const Node& node)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%03d", int(node.id));
    return std::string(buf) + " " + node.name.str();
}

// QuickTime spatial quality of a JPEG-style percentage.
std::uint32_t spatialQuality(int percent)
{
    return std::uint32_t(std::lround((std::clamp(percent, 1, 100) - 1) / 99.0 * 1023.0));
}

// The files and folders an export made, removed again when it does not complete.
class Written {
public:
    explicit Written(const fs::path& root) : m_root(root) {}
    ~Written()
    {
        if (m_keep)
            return;
        std::error_code ec;
        for (auto it = m_files.rbegin(); it != m_files.rend(); ++it)
            fs::remove(m_root / *it, ec);
        for (auto it = m_dirs.rbegin(); it != m_dirs.rend(); ++it)
            fs::remove(*it, ec); // only when empty: files of others stay
    }
    void keep() { m_keep = true; }

    // Makes the folder (and its parents) as needed, remembering the ones made.
    OSErr makeFolder(const fs::path& dir)
    {
        std::error_code ec;
        if (fs::is_directory(dir, ec))
            return 0;
        if (!dir.has_parent_path() || dir.parent_path() == dir)
            return err::ioErr;
        if (OSErr e = makeFolder(dir.parent_path()))
            return e;
        if (!fs::create_directory(dir, ec) && !fs::is_directory(dir, ec))
            return ec == std::errc::permission_denied || ec == std::errc::read_only_file_system ? err::permErr
                                                                                                : err::ioErr;
        m_dirs.push_back(dir);
        return 0;
    }

    OSErr write(const fs::path& relative, std::span<const std::uint8_t> bytes)
    {
        const fs::path file = m_root / relative;
        if (OSErr e = makeFolder(file.parent_path()))
            return e;
        m_files.push_back(relative);
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        if (!out)
            return err::permErr;
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        out.close();
        return out ? OSErr(0) : err::ioErr;
    }
    OSErr write(const fs::path& relative, const std::string& text)
    {
        return write(relative, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    }
    OSErr copy(const fs::path& from, const fs::path& relative)
    {
        const fs::path file = m_root / relative;
        if (OSErr e = makeFolder(file.parent_path()))
            return e;
        m_files.push_back(relative);
        std::error_code ec;
        fs::copy_file(from, file, fs::copy_options::overwrite_existing, ec);
        return ec ? err::ioErr : OSErr(0);
    }
    // A file written by someone else (the video writer) under this export.
    void adopt(const fs::path& relative) { m_files.push_back(relative); }
    const std::vector<fs::path>& files() const { return m_files; }

private:
    fs::path m_root;
    std::vector<fs::path> m_files;
    std::vector<fs::path> m_dirs;
    bool m_keep = false;
};

OSErr encodeJpeg(const OffscreenPicture& picture, int quality, Bytes& out)
{
    ImageCompressionParams params;
    params.codecType = codecType::photoJpeg;
    params.spatialQuality = spatialQuality(quality);
    CompressedImage image;
    if (OSErr e = compressImage(picture, params, image))
        return e;
    out = std::move(image.data);
    return 0;
}

// Scales a picture down so that neither side passes the limit (box average).
OffscreenPicture fitWithin(const OffscreenPicture& src, int maxWidth)
{
    if (src.width() <= maxWidth)
        return {};
    const int w = maxWidth;
    const int h = std::max(1, int(std::lround(double(src.height()) * w / src.width())));
    OffscreenPicture out;
    if (out.allocate(PixelDepth::Argb32, Rect{0, 0, std::int16_t(h), std::int16_t(w)}))
        return {};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int x0 = x * src.width() / w, x1 = std::max(x0 + 1, (x + 1) * src.width() / w);
            const int y0 = y * src.height() / h, y1 = std::max(y0 + 1, (y + 1) * src.height() / h);
            unsigned sum[3] = {0, 0, 0}, n = 0;
            for (int yy = y0; yy < y1; ++yy)
                for (int xx = x0; xx < x1; ++xx) {
                    const std::uint32_t p = src.argb(src.bounds().left + xx, src.bounds().top + yy);
                    sum[0] += (p >> 16) & 0xFF;
                    sum[1] += (p >> 8) & 0xFF;
                    sum[2] += p & 0xFF;
                    ++n;
                }
            out.row32(y)[x] = 0xFF000000u | ((sum[0] / n) << 16) | ((sum[1] / n) << 8) | (sum[2] / n);
        }
    return out;
}

// A 32-bit copy of any picture (8-bit through its colour table).
OffscreenPicture toArgb(const OffscreenPicture& src)
{
    OffscreenPicture out;
    if (src.depth() == PixelDepth::Argb32 || out.allocate(PixelDepth::Argb32, src.bounds()))
        return {};
    for (int y = src.bounds().top; y < src.bounds().bottom; ++y)
        for (int x = src.bounds().left; x < src.bounds().right; ++x)
            out.setPixel(x, y, src.argb(x, y));
    return out;
}

struct View {
    double pan = 0, tilt = 0, fov = 0;
};

// What the tour needs to know of an exported node.
struct ExportedNode {
    const Node* node = nullptr;
    std::string kind; // "panorama", "object", "still", "movie"
    std::string image; // panorama band, still image or poster
    int width = 0, height = 0; // of the media as shown (panorama: band)
    // Panoramas.
    CylinderGeometry geometry;
    BandLayout band;
    PanoramaSampleRecord record;
    View defaultView;
    // Objects.
    int columns = 0, rows = 0, defaultColumn = 0, defaultRow = 0;
    std::vector<std::string> frames;
    // Movies.
    std::string video;
    double duration = 0;
};

double uint8Colour(std::uint16_t c) { return c >> 8; }

// A plain drawing of the map when the program's map renderer is not at hand: the background
// shapes filled and framed in their colours on white.
OSErr plainFloorPlan(const Scene& scene, OffscreenPicture& out)
{
    const double scale = scene.scaleFactor > 0 ? scene.scaleFactor : 1;
    const int w = std::clamp(int(std::lround(scene.mapWidth / scale * mapPixelsPerUnit(scene))), 64, 4096);
    const int h = std::clamp(int(std::lround(scene.mapHeight / scale * mapPixelsPerUnit(scene))), 64, 4096);
    if (OSErr e = out.allocate(PixelDepth::Argb32, Rect{0, 0, std::int16_t(h), std::int16_t(w)}))
        return e;
    auto rgb = [](const RGBColor& c) {
        return 0xFF000000u | (std::uint32_t(uint8Colour(c.red)) << 16) | (std::uint32_t(uint8Colour(c.green)) << 8) |
               std::uint32_t(uint8Colour(c.blue));
    };
    auto paint = [&](const Region& region, std::uint32_t colour) {
        const Rect b = region.bounds();
        for (int y = std::max<int>(b.top, 0); y < std::min<int>(b.bottom, h); ++y)
            for (int x = std::max<int>(b.left, 0); x < std::min<int>(b.right, w); ++x)
                if (region.contains(x, y))
                    out.row32(y)[x] = colour;
    };
    for (const MapObject& o : scene.mapObjects) {
        Rect r{std::min(o.bounds.top, o.bounds.bottom), std::min(o.bounds.left, o.bounds.right),
               std::max(o.bounds.top, o.bounds.bottom), std::max(o.bounds.left, o.bounds.right)};
        const PenSize pen{std::max<std::int16_t>(o.penSize, 1), std::max<std::int16_t>(o.penSize, 1)};
        switch (o.kind) {
        case MapObjectKind::kLine:
            paint(lineRegion(Point{o.bounds.top, o.bounds.left}, Point{o.bounds.bottom, o.bounds.right}, pen), rgb(o.penColor));
            break;
        case MapObjectKind::kRectangle:
        case MapObjectKind::kFilledRectangle:
            if (o.fillStyle)
                paint(Region::fromRect(r), rgb(o.fillColor));
            paint(frameRectRegion(r, pen), rgb(o.penColor));
            break;
        case MapObjectKind::kOval:
        case MapObjectKind::kFilledOval:
            if (o.fillStyle)
                paint(ovalRegion(r), rgb(o.fillColor));
            paint(frameOvalRegion(r, pen), rgb(o.penColor));
            break;
        default:
            break;
        }
    }
    return 0;
}

class Exporter {
public:
    Exporter(const Scene& scene, const WebExportOptions& options, const ComposeEnvironment& env, Progress& progress,
             WebExportReport& report, Written& written)
        : m_scene(scene), m_options(options), m_env(env), m_progress(progress), m_report(report), m_written(written)
    {
    }

    OSErr run(const fs::path& viewer);

private:
    OSErr copyViewer(const fs::path& viewer);
    OSErr exportNode(const Node& node, ExportedNode& out);
    OSErr openMedia(const Node& node, std::unique_ptr<Movie>& movie);
    OSErr exportPanorama(const Node& node, ExportedNode& out);
    OSErr exportObject(const Node& node, ExportedNode& out);
    OSErr exportStill(const Node& node, ExportedNode& out);
    OSErr exportMovie(const Node& node, ExportedNode& out);
    OSErr writeFloorPlan(int& width, int& height);
    std::string tourJson(int planWidth, int planHeight) const;
    OSErr step(std::int32_t units) { return m_progress.step(std::nullopt, -units); }
    std::string mediaName(const Node& node, const char* suffix) const
    {
        char buf[32];
        std::snprintf(buf, sizeof buf, "media/%03d%s", int(node.id), suffix);
        return buf;
    }

    const Scene& m_scene;
    const WebExportOptions& m_options;
    const ComposeEnvironment& m_env;
    Progress& m_progress;
    WebExportReport& m_report;
    Written& m_written;
    std::vector<ExportedNode> m_nodes;
};

OSErr Exporter::copyViewer(const fs::path& viewer)
{
    for (const ViewerFile& f : kViewerFiles)
        if (OSErr e = m_written.copy(viewer / f.from, f.to))
            return e;
    return 0;
}

OSErr Exporter::openMedia(const Node& node, std::unique_ptr<Movie>& movie)
{
    fs::path file;
    if (OSErr e = m_env.resolveMedia(m_scene, node, file))
        return e;
    return Movie::open(file, MovieOpenMode::read, movie);
}

OSErr Exporter::exportPanorama(const Node& node, ExportedNode& out)
{
    std::unique_ptr<Movie> movie;
    if (OSErr e = openMedia(node, movie))
        return e;
    UnrolledPanorama unrolled;
    if (OSErr e = UnrollPanorama(*movie, 0, PanoramaUnrollOptions{}, unrolled))
        return e;
    if (unrolled.layout == PanoramaLayout::Cube)
        return err::paramErr; // the band is made from cylinders only
    out.record = unrolled.record;
    if (OSErr e = step(40))
        return e;
    out.geometry = CylinderGeometry{unrolled.image.width(), unrolled.image.height(), out.record.minPan, out.record.maxPan,
                                    out.record.minTilt, out.record.maxTilt}
                       .normalised();
    OffscreenPicture band;
    if (OSErr e = reprojectToBand(unrolled.image, out.geometry, std::min(unrolled.image.width(), m_options.maxWidth), band,
                                  out.band))
        return e;
    if (OSErr e = step(30))
        return e;
    Bytes jpeg;
    if (OSErr e = encodeJpeg(band, m_options.quality, jpeg))
        return e;
    out.kind = "panorama";
    out.image = mediaName(node, "-panorama.jpg");
    out.width = band.width();
    out.height = band.height();
    View& v = out.defaultView;
    v.pan = out.record.defaultPan;
    v.tilt = std::clamp<double>(out.record.defaultTilt, out.geometry.minTilt, out.geometry.maxTilt);
    v.fov = out.record.defaultFieldOfView > 0 ? out.record.defaultFieldOfView
                                              : std::min(90.0, (out.geometry.maxTilt - out.geometry.minTilt) * 0.8);
    return m_written.write(out.image, jpeg);
}

OSErr Exporter::exportObject(const Node& node, ExportedNode& out)
{
    std::unique_ptr<Movie> movie;
    if (OSErr e = openMedia(node, movie))
        return e;
    ObjectNode object;
    if (OSErr e = FindObjectNode(*movie, 0, object))
        return e;
    const ObjectSampleRecord& record = object.record;
    out.kind = "object";
    out.columns = std::max<int>(1, int(record.columns));
    out.rows = std::max<int>(1, int(record.rows));
    const int views = out.columns * out.rows;
    if (views > 4096)
        return err::paramErr;
    // The default view from the default pan and tilt, spread as the columns and rows spread the
    // object's pan and tilt ranges.
    auto spread = [](double value, double from, double to, int count) {
        if (count <= 1 || from == to)
            return 0;
        const double f = (value - from) / (to - from);
        return std::clamp(int(std::lround(f * (count - 1))), 0, count - 1);
    };
    out.defaultColumn = spread(record.defaultPan, record.minPan, record.maxPan, out.columns);
    out.defaultRow = spread(record.defaultTilt, record.minTilt, record.maxTilt, out.rows);
    std::int32_t given = 0;
    for (int k = 0; k < views; ++k) {
        const int column = k % out.columns, row = k / out.columns;
        const auto frames = objectViewFrames(object, column, row, 0);
        if (frames.empty())
            return err::invalidTrack;
        OffscreenPicture picture;
        if (OSErr e = decodeTrackFrame(*object.image, frames.front(), PixelDepth::Argb32, picture))
            return e;
        OffscreenPicture scaled = fitWithin(picture, m_options.maxWidth);
        const OffscreenPicture& shown = scaled.isNull() ? picture : scaled;
        Bytes jpeg;
        if (OSErr e = encodeJpeg(shown, m_options.quality, jpeg))
            return e;
        char name[48];
        std::snprintf(name, sizeof name, "media/%03d-object/r%02d-c%03d.jpg", int(node.id), row, column);
        if (OSErr e = m_written.write(name, jpeg))
            return e;
        out.frames.emplace_back(name);
        out.width = shown.width();
        out.height = shown.height();
        const std::int32_t due = std::int32_t((k + 1) * 90 / views);
        if (OSErr e = step(due - given))
            return e;
        given = due;
    }
    out.image = out.frames[std::size_t(out.defaultRow * out.columns + out.defaultColumn)];
    return 0;
}

OSErr Exporter::exportStill(const Node& node, ExportedNode& out)
{
    fs::path file;
    if (OSErr e = m_env.resolveMedia(m_scene, node, file))
        return e;
    OffscreenPicture picture;
    if (OSErr e = m_env.readStillImage(file, picture))
        return e;
    if (picture.depth() != PixelDepth::Argb32)
        picture = toArgb(picture);
    OffscreenPicture scaled = fitWithin(picture, m_options.maxWidth);
    const OffscreenPicture& shown = scaled.isNull() ? picture : scaled;
    Bytes jpeg;
    if (OSErr e = encodeJpeg(shown, m_options.quality, jpeg))
        return e;
    out.kind = "still";
    out.image = mediaName(node, "-still.jpg");
    out.width = shown.width();
    out.height = shown.height();
    return m_written.write(out.image, jpeg);
}

OSErr Exporter::exportMovie(const Node& node, ExportedNode& out)
{
    fs::path file;
    if (OSErr e = m_env.resolveMedia(m_scene, node, file))
        return e;
    std::unique_ptr<Movie> movie;
    if (OSErr e = Movie::open(file, MovieOpenMode::read, movie))
        return e;
    const TimeValue duration = movie->duration();
    const OSType visual[] = {visualMediaCharacteristic};
    std::vector<TimeValue> times;
    for (TimeValue t = 0; t >= 0 && t < duration && times.size() < 100000;) {
        times.push_back(t);
        const TimeValue next = movie->nextInterestingTime(nextTimeMediaSample, visual, t);
        if (next <= t)
            break;
        t = next;
    }
    if (times.empty())
        return err::invalidTrack;
    out.kind = "movie";
    out.video = mediaName(node, "-movie.mp4");
    Mp4VideoWriter writer;
    bool opened = false;
    std::int32_t given = 0;
    for (std::size_t i = 0; i < times.size(); ++i) {
        OffscreenPicture picture;
        if (OSErr e = getMoviePicture(*movie, times[i], picture)) {
            if (e == err::invalidTime)
                continue; // nothing shown then (an empty edit)
            return e;
        }
        if (picture.depth() != PixelDepth::Argb32)
            picture = toArgb(picture);
        if (!opened) {
            m_written.adopt(out.video);
            if (OSErr e = m_written.makeFolder((m_options.folder / out.video).parent_path()))
                return e;
            if (OSErr e = writer.open(m_options.folder / out.video, picture.width(), picture.height(), movie->timeScale(),
                                      m_options.quality))
                return e;
            opened = true;
            out.width = picture.width() & ~1;
            out.height = picture.height() & ~1;
            Bytes jpeg;
            if (OSErr e = encodeJpeg(picture, m_options.quality, jpeg))
                return e;
            out.image = mediaName(node, "-poster.jpg");
            if (OSErr e = m_written.write(out.image, jpeg))
                return e;
        }
        if (OSErr e = writer.addFrame(picture, times[i]))
            return e;
        const std::int32_t due = std::int32_t((i + 1) * 90 / times.size());
        if (OSErr e = step(due - given))
            return e;
        given = due;
    }
    if (!opened)
        return err::invalidTrack;
    if (OSErr e = writer.finish(duration))
        return e;
    m_report.videoEncoder = writer.encoderName();
    out.duration = double(duration) / std::max<TimeScale>(1, movie->timeScale());
    return 0;
}

OSErr Exporter::exportNode(const Node& node, ExportedNode& out)
{
    out.node = &node;
    if (node.mediaReference.empty())
        return err::fnfErr;
    if (node.kind == NodeKind::kPanorama)
        return exportPanorama(node, out);
    if (node.kind == NodeKind::kObject)
        return exportObject(node, out);
    if (node.kind == NodeKind::kStillImage)
        return exportStill(node, out);
    if (node.kind == NodeKind::kLinearMovie)
        return exportMovie(node, out);
    return err::paramErr;
}

OSErr Exporter::writeFloorPlan(int& width, int& height)
{
    OffscreenPicture plan;
    OSErr e = m_options.renderFloorPlan ? m_options.renderFloorPlan(m_scene, plan) : plainFloorPlan(m_scene, plan);
    if (e)
        return e;
    if (plan.depth() != PixelDepth::Argb32)
        plan = toArgb(plan);
    ImageCompressionParams params;
    params.codecType = codecType::png;
    params.depth = 24;
    CompressedImage png;
    if (OSErr pe = compressImage(plan, params, png))
        return pe;
    width = plan.width();
    height = plan.height();
    return m_written.write("floorplan.png", png.data);
}

bool isMediaFault(OSErr e)
{
    // Errors that say the node's media could not be found or read, as opposed to the tour's
    // folder or the user stopping the export.
    return e != err::userCanceledErr && e != err::permErr && e != err::ioErr && e != err::dskFulErr;
}

OSErr Exporter::run(const fs::path& viewer)
{
    if (OSErr e = copyViewer(viewer))
        return e;
    if (OSErr e = step(5))
        return e;
    m_nodes.reserve(m_scene.nodes.size());
    for (const Node& node : m_scene.nodes) {
        const std::int32_t before = m_progress.current();
        ExportedNode exported;
        const OSErr e = exportNode(node, exported);
        if (e && !isMediaFault(e))
            return e;
        if (e) {
            m_report.missingNodes.push_back(nodeLabel(node) + ": " +
                                            (e == err::fnfErr || node.mediaReference.empty()
                                                 ? std::string("media not found")
                                                 : "media cannot be read (" + std::to_string(e) + ")"));
        } else {
            m_nodes.push_back(std::move(exported));
        }
        const std::int32_t rest = kNodeUnits - (m_progress.current() - before);
        if (rest > 0)
            if (OSErr se = step(rest))
                return se;
    }
    if (m_nodes.empty())
        return -1;
    const bool needsBlank = std::any_of(m_nodes.begin(), m_nodes.end(), [](const ExportedNode& n) { return n.kind != "panorama"; });
    if (needsBlank) {
        // The sphere behind the tour's own viewers of objects, stills and movies.
        OffscreenPicture blank;
        if (OSErr e = blank.allocate(PixelDepth::Argb32, Rect{0, 0, 32, 64}))
            return e;
        blank.fill(0xFF202428);
        Bytes jpeg;
        if (OSErr e = encodeJpeg(blank, 80, jpeg))
            return e;
        if (OSErr e = m_written.write("media/backdrop.jpg", jpeg))
            return e;
    }
    int planWidth = 0, planHeight = 0;
    if (OSErr e = writeFloorPlan(planWidth, planHeight))
        return e;
    if (OSErr e = m_written.write("tour.json", tourJson(planWidth, planHeight)))
        return e;
    m_report.exportedNodes = int(m_nodes.size());
    return step(5);
}

void writeView(JsonWriter& j, std::string_view key, const ExportedNode* dest, const View& v)
{
    j.beginObject(key);
    j.value("pan", v.pan).value("tilt", v.tilt).value("fov", v.fov);
    if (dest && dest->kind == "panorama")
        j.value("yaw", dest->geometry.yawOfPan(v.pan)).value("pitch", v.tilt);
    j.endObject();
}

std::string Exporter::tourJson(int planWidth, int planHeight) const
{
    std::map<std::int16_t, const ExportedNode*> byId;
    for (const ExportedNode& n : m_nodes)
        byId[n.node->id] = &n;
    const ExportedNode* initial = &m_nodes.front();
    for (const ExportedNode& n : m_nodes)
        if (n.node->initial) {
            initial = &n;
            break;
        }

    JsonWriter j;
    j.beginObject();
    j.value("format", "quillmere-web-tour").value("version", 1);
    j.value("name", m_scene.name.str());
    j.value("initialNode", nodeKey(initial->node->id));
    j.beginObject("map").value("image", "floorplan.png").value("width", planWidth).value("height", planHeight).endObject();
    j.beginArray("nodes");
    for (const ExportedNode& n : m_nodes) {
        const Node& node = *n.node;
        j.beginObject();
        j.value("id", nodeKey(node.id)).value("nodeId", int(node.id)).value("name", node.name.str());
        j.value("comment", node.comment.str()).value("kind", n.kind).value("initial", node.initial);
        j.beginObject("position").value("x", int(node.mapPosition.h)).value("y", int(node.mapPosition.v)).endObject();
        j.value("image", n.image).value("width", n.width).value("height", n.height);
        if (n.kind == "panorama") {
            j.beginObject("panorama");
            j.value("minPan", n.geometry.minPan).value("maxPan", n.geometry.maxPan);
            j.value("minTilt", n.geometry.minTilt).value("maxTilt", n.geometry.maxTilt).value("wraps", n.geometry.wraps());
            j.value("unrolledWidth", n.geometry.width).value("unrolledHeight", n.geometry.height);
            j.value("minFov", double(n.record.minFieldOfView)).value("maxFov", double(n.record.maxFieldOfView));
            j.beginObject("panoData");
            j.value("fullWidth", n.band.fullWidth).value("fullHeight", n.band.fullHeight);
            j.value("croppedWidth", n.band.croppedWidth).value("croppedHeight", n.band.croppedHeight);
            j.value("croppedX", n.band.croppedX).value("croppedY", n.band.croppedY);
            j.endObject();
            j.endObject();
            writeView(j, "defaultView", &n, n.defaultView);
        } else if (n.kind == "object") {
            j.beginObject("object").value("columns", n.columns).value("rows", n.rows);
            j.value("defaultColumn", n.defaultColumn).value("defaultRow", n.defaultRow);
            j.beginArray("frames");
            for (const std::string& f : n.frames)
                j.element(f);
            j.endArray().endObject();
        } else if (n.kind == "movie") {
            j.beginObject("movie").value("video", n.video).value("duration", n.duration).endObject();
        }

        // Hot spots: where they lie, in the tour's angles for panoramas and in image pixels
        // (of the exported image) otherwise.
        auto place = [&](const HotSpot& hs) {
            const double cx = (hs.bounds.left + hs.bounds.right) * 0.5;
            const double cy = (hs.bounds.top + hs.bounds.bottom) * 0.5;
            if (n.kind == "panorama") {
                const double pan = n.geometry.panOfColumn(cx);
                const double tilt = n.geometry.tiltOfRow(cy);
                j.value("pan", pan).value("tilt", tilt).value("yaw", n.geometry.yawOfPan(pan)).value("pitch", tilt);
            } else {
                const double sx = node.displayBounds.width() > 0 ? double(n.width) / node.displayBounds.width() : 1.0;
                const double sy = node.displayBounds.height() > 0 ? double(n.height) / node.displayBounds.height() : 1.0;
                j.beginObject("rect");
                j.value("left", hs.bounds.left * sx).value("top", hs.bounds.top * sy);
                j.value("right", hs.bounds.right * sx).value("bottom", hs.bounds.bottom * sy);
                j.endObject();
                if (n.kind == "object")
                    j.value("column", int(hs.viewColumn)).value("row", int(hs.viewRow));
            }
        };
        j.beginArray("links");
        for (const HotSpot& hs : node.hotSpots) {
            if (hs.type != HotSpotType::kLink)
                continue;
            const auto dest = byId.find(hs.destinationNodeId);
            if (dest == byId.end())
                continue; // leads to a node the tour does not hold
            j.beginObject();
            j.value("hotSpotId", int(hs.id)).value("to", nodeKey(hs.destinationNodeId)).value("name", hs.name);
            place(hs);
            // The view on arrival: the link's own view where it gives one, the destination's
            // default view for the rest.
            View arrival = dest->second->defaultView;
            if (hs.customLinkView) {
                if (hs.linkView.panSet)
                    arrival.pan = hs.linkView.pan;
                if (hs.linkView.tiltSet)
                    arrival.tilt = hs.linkView.tilt;
                if (hs.linkView.fieldOfViewSet && hs.linkView.fieldOfView > 0)
                    arrival.fov = hs.linkView.fieldOfView;
            }
            writeView(j, "arrival", dest->second, arrival);
            j.endObject();
        }
        j.endArray();
        j.beginArray("urls");
        for (const HotSpot& hs : node.hotSpots) {
            if (hs.type != HotSpotType::kUrl || hs.url.empty())
                continue;
            j.beginObject();
            j.value("hotSpotId", int(hs.id)).value("name", hs.name).value("url", hs.url);
            place(hs);
            j.endObject();
        }
        j.endArray();
        j.endObject();
    }
    j.endArray();
    j.endObject();
    return j.text();
}

} // namespace

std::int32_t webExportProgressMaximum(const Scene& scene)
{
    return std::int32_t(scene.nodes.size()) * kNodeUnits + kFixedUnits;
}

fs::path viewerFilesFolder()
{
    if (const char* env = std::getenv("QUILLMERE_WEB_DIR"); env && *env && holdsViewerFiles(env))
        return env;
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const fs::path installed = self.parent_path().parent_path() / "share" / "quillmere" / "web";
        if (holdsViewerFiles(installed))
            return installed;
    }
    if (holdsViewerFiles(QM_WEB_SOURCE_DIR))
        return QM_WEB_SOURCE_DIR;
    return {};
}

OSErr exportWebTour(const Scene& scene, const WebExportOptions& options, const ComposeEnvironment& env,
                    Progress& progress, WebExportReport& report, std::string* detail)
{
    report = {};
    if (options.folder.empty())
        return err::paramErr;
    const fs::path viewer = options.viewerFiles.empty() ? viewerFilesFolder() : options.viewerFiles;
    if (!holdsViewerFiles(viewer)) {
        if (detail)
            *detail = "the viewer files are not installed (run scripts/deps.sh, or set QUILLMERE_WEB_DIR)";
        return err::fnfErr;
    }
    const bool any = std::any_of(scene.nodes.begin(), scene.nodes.end(), [](const Node& n) {
        return n.kind == NodeKind::kPanorama || n.kind == NodeKind::kObject || n.kind == NodeKind::kStillImage ||
               n.kind == NodeKind::kLinearMovie;
    });
    if (!any)
        return -1;
    const fs::path folder = fs::absolute(options.folder);
    WebExportOptions opts = options;
    opts.folder = folder;
    opts.quality = std::clamp(options.quality, 1, 100);
    opts.maxWidth = std::clamp(options.maxWidth, 256, kMaxImageDimension);

    Written written(folder);
    if (OSErr e = written.makeFolder(folder)) {
        if (detail)
            *detail = folder.string() + ": cannot make the folder";
        return e;
    }
    // Can the folder take files at all? Found out before any work is done.
    {
        const fs::path probe = folder / ".quillmere-export-probe";
        std::ofstream out(probe, std::ios::binary);
        const bool ok = bool(out);
        out.close();
        std::error_code ec;
        fs::remove(probe, ec);
        if (!ok) {
            if (detail)
                *detail = folder.string() + ": the folder cannot be written";
            return err::permErr;
        }
    }

    ProgressSettings settings;
    settings.title = "Export Web Tour";
    settings.message = "Exporting the web tour...";
    settings.maximum = webExportProgressMaximum(scene);
    progress.open(settings);
    Exporter exporter(scene, opts, env, progress, report, written);
    const OSErr e = exporter.run(viewer);
    progress.close();
    if (e) {
        if (detail && e != err::userCanceledErr && detail->empty())
            *detail = folder.string() + ": the tour cannot be written";
        report.missingNodes.clear();
        return e;
    }
    report.written = written.files();
    written.keep();
    return 0;
}

} // namespace qm::web
