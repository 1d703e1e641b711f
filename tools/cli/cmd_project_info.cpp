// quillmere-cli project-info FILE [--json]: what a project document or template holds.
#include <cstdio>
#include <ctime>
#include <iostream>

#include "command.h"
#include "info_tree.h"
#include "project/project_reader.h"
#include "project/scene_defaults.h"
#include "quicktime/files/file_alias.h"

namespace qm::cli {
namespace {

std::string hex32(std::uint32_t v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", v);
    return buf;
}

std::string number(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6g", v);
    return buf;
}

std::string range(float low, float high) { return number(low) + " .. " + number(high); }

InfoValue trackReferences(std::int64_t image, std::int64_t hotSpot)
{
    InfoValue v = InfoValue::object();
    v.add("image", image);
    v.add("hotSpot", hotSpot);
    return v;
}

std::string typeText(OSType t) { return t == 0 ? "" : fourCCToString(t); }

InfoValue rect(const Rect& r)
{
    InfoValue v = InfoValue::object();
    v.add("top", r.top);
    v.add("left", r.left);
    v.add("bottom", r.bottom);
    v.add("right", r.right);
    return v;
}

InfoValue point(const Point& p)
{
    InfoValue v = InfoValue::object();
    v.add("h", p.h);
    v.add("v", p.v);
    return v;
}

InfoValue color(const RGBColor& c)
{
    InfoValue v = InfoValue::object();
    v.add("red", c.red);
    v.add("green", c.green);
    v.add("blue", c.blue);
    return v;
}

InfoValue size(int width, int height)
{
    InfoValue v = InfoValue::object();
    v.add("width", width);
    v.add("height", height);
    return v;
}

InfoValue grid(const GridSettings& g)
{
    InfoValue v = InfoValue::object();
    v.add("shown", g.shown);
    v.add("divisions", g.divisions);
    v.add("active", g.active);
    return v;
}

std::string timeText(std::uint32_t seconds)
{
    if (seconds == 0)
        return "never";
    std::time_t t = std::time_t(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S UTC", &tm);
    return buf;
}

InfoValue compression(const char* media, const CompressionSettings& c, bool movies)
{
    InfoValue v = InfoValue::object();
    v.add("media", media);
    v.add("enabled", c.enabled);
    v.add("codecType", typeText(c.codecType));
    v.add("codecComponent", c.codecComponent);
    v.add("spatialQuality", c.spatialQuality);
    v.add("colorDepth", c.colorDepth);
    v.add("dialogDepth", c.dialogDepth);
    if (movies) {
        v.add("frameRate", fixedToDouble(c.frameRate));
        v.add("keyFrameRate", c.keyFrameRate);
        v.add("dataRate", c.dataRate);
        v.add("frameDuration", c.frameDuration);
        v.add("minSpatialQuality", c.minSpatialQuality);
        v.add("minTemporalQuality", c.minTemporalQuality);
        v.add("temporalQuality", c.temporalQuality);
    }
    return v;
}

InfoValue sceneSettings(const Scene& s)
{
    InfoValue v = InfoValue::object();
    v.add("name", s.name.str());
    InfoValue& map = v.add("map", InfoValue::object());
    map.add("width", s.mapWidth);
    map.add("height", s.mapHeight);
    map.add("unit", unitName(s.unitIndex)[0] ? unitName(s.unitIndex) : std::to_string(s.unitIndex));
    map.add("scaleFactor", s.scaleFactor);
    v.add("backgroundGrid", grid(s.backgroundGrid));
    v.add("nodeGrid", grid(s.nodeGrid));
    v.add("orientation", double(s.orientation));
    v.add("masterSize", size(s.masterWidth, s.masterHeight));
    v.add("playbackSize", size(s.playbackWidth, s.playbackHeight));
    InfoValue& imaging = v.add("imaging", InfoValue::object());
    imaging.add("staticQuality", s.imaging.staticQuality);
    imaging.add("staticCorrection", s.imaging.staticCorrection);
    imaging.add("motionQuality", s.imaging.motionQuality);
    imaging.add("motionCorrection", s.imaging.motionCorrection);
    imaging.add("leadingValues", std::to_string(s.imaging.leading1) + " " + std::to_string(s.imaging.leading2));
    InfoValue& hints = v.add("playbackHints", InfoValue::object());
    hints.add("value", hex32(s.playbackHints));
    hints.add("preload", (s.playbackHints & kHintPreload) != 0);
    hints.add("cacheData", (s.playbackHints & kHintCacheData) != 0);
    v.add("composedAt", s.composedAt);
    v.add("composedAtText", timeText(s.composedAt));
    return v;
}

InfoValue linkView(const LinkView& l)
{
    InfoValue v = InfoValue::object();
    v.add("pan", l.panSet ? InfoValue(double(l.pan)) : InfoValue::null());
    v.add("tilt", l.tiltSet ? InfoValue(double(l.tilt)) : InfoValue::null());
    v.add("fieldOfView", l.fieldOfViewSet ? InfoValue(double(l.fieldOfView)) : InfoValue::null());
    v.add("viewCenter", l.viewCenterSet ? point(l.viewCenter) : InfoValue::null());
    return v;
}

const char* shapeName(std::int16_t shape)
{
    switch (shape) {
    case HotSpotShape::kRegion: return "region";
    case HotSpotShape::kSquare: return "square";
    case HotSpotShape::kRectangle: return "rectangle";
    case HotSpotShape::kCircle: return "circle";
    case HotSpotShape::kOval: return "oval";
    default: return "unknown";
    }
}

InfoValue hotSpot(const HotSpot& h)
{
    InfoValue v = InfoValue::object();
    v.add("id", h.id);
    v.add("type", typeText(h.type));
    v.add("shape", shapeName(h.shape));
    v.add("name", h.name);
    if (!h.comment.empty())
        v.add("comment", h.comment);
    if (!h.url.empty())
        v.add("url", h.url);
    v.add("bounds", rect(h.bounds));
    if (h.shape == HotSpotShape::kRegion)
        v.add("regionBytes", int(h.regionData.size()));
    v.add("autoGenerated", h.autoGenerated);
    InfoValue& view = v.add("view", InfoValue::object());
    view.add("column", h.viewColumn);
    view.add("row", h.viewRow);
    v.add("destinationNodeId", h.destinationNodeId);
    if (h.customCursors) {
        InfoValue& cursors = v.add("cursors", InfoValue::object());
        cursors.add("mouseOver", h.mouseOverCursor);
        cursors.add("mouseDown", h.mouseDownCursor);
        cursors.add("mouseUp", h.mouseUpCursor);
    }
    if (h.customLinkView)
        v.add("linkView", linkView(h.linkView));
    return v;
}

InfoValue media(const Node& n, const std::filesystem::path& projectFolder)
{
    if (n.mediaReference.empty())
        return InfoValue::null();
    InfoValue v = InfoValue::object();
    FileAlias alias;
    if (FileAlias::parse(n.mediaReference, alias) != 0) {
        v.add("alias", "unreadable");
        return v;
    }
    v.add("alias", alias.isClassic() ? "classic Macintosh" : "Quillmere");
    v.add("fileName", alias.fileName());
    if (!alias.relativePath().empty())
        v.add("relativePath", alias.relativePath());
    if (!alias.absolutePath().empty())
        v.add("absolutePath", alias.absolutePath());
    InfoValue found = InfoValue::null();
    for (const auto& place : alias.candidates(projectFolder)) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(place, ec)) {
            found = InfoValue(place.string());
            break;
        }
    }
    v.add("found", found);
    return v;
}

InfoValue sampleRecord(const NodeMediaData& data)
{
    InfoValue v = InfoValue::object();
    if (auto p = std::get_if<PanoramaSampleRecord>(&data)) {
        v.add("record", "panorama");
        v.add("version", std::to_string(p->majorVersion) + "." + std::to_string(p->minorVersion));
        v.add("panoType", typeText(p->panoType));
        v.add("imageSize", size(int(p->imageSizeX), int(p->imageSizeY)));
        v.add("imageFrames", size(p->imageNumFramesX, p->imageNumFramesY));
        v.add("hotSpotSize", size(int(p->hotSpotSizeX), int(p->hotSpotSizeY)));
        v.add("hotSpotFrames", size(p->hotSpotNumFramesX, p->hotSpotNumFramesY));
        v.add("trackReferences", trackReferences(p->imageRefTrackIndex, p->hotSpotRefTrackIndex));
        v.add("pan", range(p->minPan, p->maxPan));
        v.add("tilt", range(p->minTilt, p->maxTilt));
        v.add("fieldOfView", range(p->minFieldOfView, p->maxFieldOfView));
        InfoValue& def = v.add("defaultView", InfoValue::object());
        def.add("pan", double(p->defaultPan));
        def.add("tilt", double(p->defaultTilt));
        def.add("fieldOfView", double(p->defaultFieldOfView));
        v.add("flags", hex32(p->flags));
    } else if (auto o = std::get_if<ObjectSampleRecord>(&data)) {
        v.add("record", "object");
        v.add("version", std::to_string(o->majorVersion) + "." + std::to_string(o->minorVersion));
        v.add("movieType", o->movieType);
        v.add("views", size(int(o->columns), int(o->rows)));
        v.add("viewDuration", o->viewDuration);
        v.add("viewStates", o->viewStateCount);
        v.add("pan", range(o->minPan, o->maxPan));
        v.add("tilt", range(o->minTilt, o->maxTilt));
        v.add("fieldOfView", double(o->fieldOfView));
        v.add("frameRate", double(o->frameRate));
        v.add("viewRate", double(o->viewRate));
        v.add("animationSettings", hex32(o->animationSettings));
        v.add("controlSettings", hex32(o->controlSettings));
    } else if (auto raw = std::get_if<Bytes>(&data)) {
        v.add("record", "as stored");
        v.add("bytes", int(raw->size()));
    } else {
        return InfoValue::null();
    }
    return v;
}

InfoValue node(const Node& n, const std::filesystem::path& projectFolder)
{
    InfoValue v = InfoValue::object();
    v.add("id", n.id);
    v.add("name", n.name.str());
    v.add("kind", typeText(n.kind));
    v.add("kindName", NodeKind::displayName(n.kind));
    v.add("vrVersion", n.vrVersion == 0x200 ? "2.x" : n.vrVersion == 0x100 ? "1.x" : n.vrVersion ? hex32(n.vrVersion) : "");
    if (!n.comment.empty())
        v.add("comment", n.comment.str());
    v.add("initial", n.initial);
    v.add("mapPosition", point(n.mapPosition));
    v.add("movieBounds", rect(n.movieBounds));
    v.add("displayBounds", rect(n.displayBounds));
    v.add("media", media(n, projectFolder));
    v.add("sampleRecord", sampleRecord(n.mediaData));
    v.add("trackReferences", trackReferences(n.imageTrackReference, n.hotSpotTrackReference));
    if (n.vr1VideoTrackId)
        v.add("vr1VideoTrackId", n.vr1VideoTrackId);
    if (n.kind == NodeKind::kLinearMovie) {
        v.add("movieDuration", n.movieDuration);
        v.add("movieFirstFrameTime", n.movieFirstFrameTime);
    }
    v.add("autoHotSpotColor", n.autoColorSet ? color(n.autoColor) : InfoValue::null());
    v.add("manualHotSpotColor", n.manualColorSet ? color(n.manualColor) : InfoValue::null());
    InfoValue& spots = v.add("hotSpots", InfoValue::array());
    for (const HotSpot& h : n.hotSpots)
        spots.push(hotSpot(h));
    return v;
}

const char* mapObjectName(std::int16_t kind)
{
    switch (kind) {
    case MapObjectKind::kLine: return "line";
    case MapObjectKind::kRectangle: return "rectangle";
    case MapObjectKind::kOval: return "oval";
    case MapObjectKind::kText: return "text";
    case MapObjectKind::kArc: return "arc";
    case MapObjectKind::kFilledRectangle: return "filled rectangle";
    case MapObjectKind::kFilledOval: return "filled oval";
    case MapObjectKind::kPicture: return "picture";
    default: return "unknown";
    }
}

InfoValue mapObject(const MapObject& o)
{
    InfoValue v = InfoValue::object();
    v.add("kind", o.kind);
    v.add("kindName", mapObjectName(o.kind));
    v.add("bounds", rect(o.bounds));
    InfoValue& pen = v.add("pen", InfoValue::object());
    pen.add("style", o.penStyle);
    pen.add("size", o.penSize);
    v.add("penColor", color(o.penColor));
    v.add("fillStyle", o.fillStyle);
    v.add("fillColor", color(o.fillColor));
    v.add("fillPattern", o.drawingValues[0]);
    if (o.text)
        v.add("text", o.text->text);
    if (!o.data.empty())
        v.add("dataBytes", int(o.data.size()));
    return v;
}

int run(const Command& self, std::vector<std::string> args)
{
    bool json = hasFlag(args, "--json");
    if (args.size() != 1)
        return usageError(self);
    std::filesystem::path file = args[0];
    bool isTemplate = isTemplatePath(file);

    project::Trailer trailer;
    std::uint64_t fileSize = 0;
    std::string detail;
    OSErr e = readProjectTrailer(file, trailer, fileSize, &detail);
    HeadlessProjectReaderUi ui;
    ProjectReadOptions options;
    options.ui = &ui;
    options.resolveMedia = false; // show the nodes as stored
    options.extractComposedMovie = false;
    Scene scene;
    if (e == 0)
        e = openDocument(file, scene, options, &detail);
    if (e != 0)
        return fail("cannot read '" + file.string() + "' (error " + std::to_string(e) + ")" +
                    (detail.empty() ? "" : ": " + detail));

    InfoValue root = InfoValue::object();
    root.add("file", file.string());
    root.add("document", isTemplate ? "template" : "project");
    InfoValue& layout = root.add("layout", InfoValue::object());
    layout.add("fileSize", std::int64_t(fileSize));
    layout.add("containerOffset", trailer.containerOffset);
    layout.add("containerLength", trailer.containerLength);
    layout.add("composedMovieOffset",
               trailer.movieOffset == project::kNoOffset ? InfoValue::null() : InfoValue(trailer.movieOffset));
    root.add("scene", sceneSettings(scene));
    InfoValue& comp = root.add("compression", InfoValue::array());
    const char* media[] = {"Panoramas", "Objects", "Still Images", "Movies"};
    for (std::size_t i = 0; i < kCompressionSlots; ++i)
        comp.push(compression(media[i], scene.compression[i], i == kMovieCompression));
    if (!isTemplate) {
        std::filesystem::path folder = file.parent_path().empty() ? "." : file.parent_path();
        InfoValue& nodes = root.add("nodes", InfoValue::array());
        for (const Node& n : scene.nodes)
            nodes.push(node(n, folder));
        InfoValue& objects = root.add("mapObjects", InfoValue::array());
        for (const MapObject& o : scene.mapObjects)
            objects.push(mapObject(o));
    }
    InfoValue& warnings = root.add("warnings", InfoValue::array());
    for (const auto& report : ui.reports())
        warnings.push(report.code == 201 ? "nodes without an ID were given one (201)"
                                         : "error " + std::to_string(report.code) + ": " + report.detail);
    std::cout << (json ? root.toJson() + "\n" : root.toText());
    return 0;
}

const Command kCommand{
    "project-info", "FILE [--json]",
    "Print what a project (.qmp) or template (.qmt) holds: scene settings, nodes with their hot spots, "
    "map objects, compression and preview settings.",
    [](const std::vector<std::string>& args) { return run(kCommand, args); }};

CommandRegistration registration(kCommand);

} // namespace
} // namespace qm::cli
