// quillmere-cli info MEDIA [--json]: what a node made from a media file would hold.
#include <cstdio>
#include <iostream>
#include <optional>
#include <variant>

#include "appcore/error_table.h"
#include "command.h"
#include "media/media_analysis.h"

namespace qm::cli {
namespace {

// One record field: its name and its value as JSON text (numbers bare, codes quoted).
struct Field {
    const char* name;
    std::string json;
};

std::string number(float v)
{
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.9g", double(v));
    return buf;
}
std::string number(std::uint32_t v) { return std::to_string(v); }
std::string number(std::uint16_t v) { return std::to_string(v); }
std::string code(OSType t) { return "\"" + jsonEscape(fourCCToString(t)) + "\""; }

std::vector<Field> fields(const PanoramaSampleRecord& p)
{
    return {{"majorVersion", number(p.majorVersion)},
            {"minorVersion", number(p.minorVersion)},
            {"imageRefTrackIndex", number(p.imageRefTrackIndex)},
            {"hotSpotRefTrackIndex", number(p.hotSpotRefTrackIndex)},
            {"minPan", number(p.minPan)},
            {"maxPan", number(p.maxPan)},
            {"minTilt", number(p.minTilt)},
            {"maxTilt", number(p.maxTilt)},
            {"minFieldOfView", number(p.minFieldOfView)},
            {"maxFieldOfView", number(p.maxFieldOfView)},
            {"defaultPan", number(p.defaultPan)},
            {"defaultTilt", number(p.defaultTilt)},
            {"defaultFieldOfView", number(p.defaultFieldOfView)},
            {"imageSizeX", number(p.imageSizeX)},
            {"imageSizeY", number(p.imageSizeY)},
            {"imageNumFramesX", number(p.imageNumFramesX)},
            {"imageNumFramesY", number(p.imageNumFramesY)},
            {"hotSpotSizeX", number(p.hotSpotSizeX)},
            {"hotSpotSizeY", number(p.hotSpotSizeY)},
            {"hotSpotNumFramesX", number(p.hotSpotNumFramesX)},
            {"hotSpotNumFramesY", number(p.hotSpotNumFramesY)},
            {"flags", number(p.flags)},
            {"panoType", p.panoType ? code(p.panoType) : "0"},
            {"reserved", number(p.reserved)}};
}

std::vector<Field> fields(const ObjectSampleRecord& o)
{
    return {{"majorVersion", number(o.majorVersion)},
            {"minorVersion", number(o.minorVersion)},
            {"movieType", number(o.movieType)},
            {"viewStateCount", number(o.viewStateCount)},
            {"defaultViewState", number(o.defaultViewState)},
            {"mouseDownViewState", number(o.mouseDownViewState)},
            {"viewDuration", number(o.viewDuration)},
            {"columns", number(o.columns)},
            {"rows", number(o.rows)},
            {"mouseMotionScale", number(o.mouseMotionScale)},
            {"minPan", number(o.minPan)},
            {"maxPan", number(o.maxPan)},
            {"defaultPan", number(o.defaultPan)},
            {"minTilt", number(o.minTilt)},
            {"maxTilt", number(o.maxTilt)},
            {"defaultTilt", number(o.defaultTilt)},
            {"minFieldOfView", number(o.minFieldOfView)},
            {"fieldOfView", number(o.fieldOfView)},
            {"defaultFieldOfView", number(o.defaultFieldOfView)},
            {"defaultViewCenterH", number(o.defaultViewCenterH)},
            {"defaultViewCenterV", number(o.defaultViewCenterV)},
            {"viewRate", number(o.viewRate)},
            {"frameRate", number(o.frameRate)},
            {"animationSettings", number(o.animationSettings)},
            {"controlSettings", number(o.controlSettings)}};
}

std::string rectJson(const Rect& r)
{
    return "{\"top\": " + std::to_string(r.top) + ", \"left\": " + std::to_string(r.left) +
           ", \"bottom\": " + std::to_string(r.bottom) + ", \"right\": " + std::to_string(r.right) + "}";
}

std::string rectText(const Rect& r)
{
    return std::to_string(r.width()) + " x " + std::to_string(r.height()) + " (top " + std::to_string(r.top) +
           ", left " + std::to_string(r.left) + ", bottom " + std::to_string(r.bottom) + ", right " +
           std::to_string(r.right) + ")";
}

std::string optionalJson(const std::optional<std::int32_t>& v) { return v ? std::to_string(*v) : "null"; }

void printJson(const std::string& file, const MediaAnalysis& a)
{
    std::ostream& o = std::cout;
    o << "{\n  \"file\": \"" << jsonEscape(file) << "\",\n";
    o << "  \"fileType\": " << (a.fileType ? code(a.fileType) : "null") << ",\n";
    o << "  \"kind\": " << (a.kind ? code(a.kind) : "null") << ",\n";
    o << "  \"kindName\": \"" << NodeKind::displayName(a.kind) << "\",\n";
    o << "  \"vrVersion\": " << a.vrVersion << ",\n";
    o << "  \"name\": \"" << jsonEscape(a.name.str()) << "\",\n";
    o << "  \"storedName\": \"" << jsonEscape(a.storedName) << "\",\n";
    o << "  \"movieBounds\": " << rectJson(a.movieBounds) << ",\n";
    o << "  \"displayBounds\": " << rectJson(a.displayBounds) << ",\n";
    o << "  \"imageTrackReference\": " << optionalJson(a.imageTrackReference) << ",\n";
    o << "  \"hotSpotTrackReference\": " << optionalJson(a.hotSpotTrackReference) << ",\n";
    o << "  \"vr1VideoTrackId\": " << optionalJson(a.vr1VideoTrackId) << ",\n";
    o << "  \"movieDuration\": " << optionalJson(a.movieDuration) << ",\n";
    o << "  \"movieFirstFrameTime\": " << optionalJson(a.movieFirstFrameTime);
    auto record = [&](const char* key, const std::vector<Field>& fs) {
        o << ",\n  \"" << key << "\": {";
        for (std::size_t i = 0; i < fs.size(); ++i)
            o << (i ? ", " : "") << "\"" << fs[i].name << "\": " << fs[i].json;
        o << "}";
    };
    if (const auto* p = std::get_if<PanoramaSampleRecord>(&a.mediaData))
        record("panoramaRecord", fields(*p));
    else if (const auto* r = std::get_if<ObjectSampleRecord>(&a.mediaData))
        record("objectRecord", fields(*r));
    o << "\n}\n";
}

void printText(const std::string& file, const MediaAnalysis& a)
{
    std::ostream& o = std::cout;
    o << "File: " << file << "\n";
    o << "File type: " << (a.fileType ? "'" + fourCCToString(a.fileType) + "'" : std::string("none")) << "\n";
    o << "Kind: " << NodeKind::displayName(a.kind) << (a.kind ? " ('" + fourCCToString(a.kind) + "')" : "") << "\n";
    if (a.vrVersion)
        o << "QuickTime VR version: " << (a.vrVersion >> 8) << ".x (" << a.vrVersion << ")\n";
    o << "Name: " << a.name << "\n";
    o << "Movie bounds: " << rectText(a.movieBounds) << "\n";
    o << "Display bounds: " << rectText(a.displayBounds) << "\n";
    if (a.imageTrackReference)
        o << "Image track reference: " << *a.imageTrackReference << "\n";
    if (a.hotSpotTrackReference)
        o << "Hot spot track reference: " << *a.hotSpotTrackReference << "\n";
    if (a.vr1VideoTrackId)
        o << "QuickTime VR 1.x video track ID: " << *a.vr1VideoTrackId << "\n";
    if (a.movieDuration)
        o << "Movie duration: " << *a.movieDuration << "\n";
    if (a.movieFirstFrameTime)
        o << "First frame time: " << *a.movieFirstFrameTime << "\n";
    auto record = [&](const char* title, const std::vector<Field>& fs) {
        o << title << ":\n";
        for (const Field& f : fs)
            o << "  " << f.name << ": " << f.json << "\n";
    };
    if (const auto* p = std::get_if<PanoramaSampleRecord>(&a.mediaData))
        record("Panorama sample record", fields(*p));
    else if (const auto* r = std::get_if<ObjectSampleRecord>(&a.mediaData))
        record("Object sample record", fields(*r));
}

int run(const std::vector<std::string>& argsIn);

const Command kCommand{
    "info",
    "MEDIA [--json]",
    "Print what a node made from a media file would hold: kind, version, bounds, sample record, name",
    run,
};
const CommandRegistration reg(kCommand);

int run(const std::vector<std::string>& argsIn)
{
    std::vector<std::string> args = argsIn;
    const bool json = hasFlag(args, "--json");
    if (args.size() != 1)
        return usageError(kCommand);
    MediaAnalysis a;
    std::string detail;
    if (const OSErr e = analyzeMediaFile(args[0], a, &detail)) {
        std::string text = args[0] + ": " + std::string(errorMessage(e));
        text += findErrorEntry(e) ? " (" + std::to_string(e) + ")" : std::to_string(e);
        return fail(detail.empty() ? text : text + " " + detail);
    }
    if (json)
        printJson(args[0], a);
    else
        printText(args[0], a);
    return 0;
}

} // namespace
} // namespace qm::cli
