#include "media/media_analysis.h"

#include <algorithm>
#include <climits>

#include "media/qtvr_structure.h"
#include "quicktime/base/file_checks.h"
#include "quicktime/base/errors.h"
#include "quicktime/files/file_types.h"
#include "quicktime/files/image_file_movie.h"
#include "quicktime/base/legacy_text.h"
#include "quicktime/movie/movie.h"
#include "quicktime/vr/movie_vr.h"
#include "quicktime/movie/user_data.h"
#include "quicktime/vr/vr1_records.h"
#include "quicktime/vr/vr_instance.h"

namespace qm {

namespace {


Rect movedToOrigin(const Rect& r)
{
    return Rect{0, 0, std::int16_t(r.bottom - r.top), std::int16_t(r.right - r.left)};
}

std::int32_t clampToInt32(TimeValue t)
{
    return std::int32_t(std::clamp<TimeValue>(t, INT32_MIN, INT32_MAX));
}

// The one-view object record of a still image or a linear movie.
ObjectSampleRecord oneViewObjectRecord(std::uint32_t viewDuration)
{
    ObjectSampleRecord o;
    o.majorVersion = 2;
    o.minorVersion = 0;
    o.movieType = 1;
    o.viewStateCount = 1;
    o.defaultViewState = 1;
    o.mouseDownViewState = 1;
    o.viewDuration = viewDuration;
    o.columns = 1;
    o.rows = 1;
    o.mouseMotionScale = 180.0f;
    o.minFieldOfView = 1.0f;
    o.fieldOfView = 120.0f;
    o.defaultFieldOfView = 120.0f;
    return o;
}

bool hasVisualTrack(const Movie& movie)
{
    for (int i = 1; i <= movie.trackCount(); ++i) {
        const Track* t = movie.track(i);
        if (t && t->media() && mediaHasCharacteristic(t->media()->type(), visualMediaCharacteristic))
            return true;
    }
    return false;
}

void analyzeStillOrMovie(const Movie& movie, MediaAnalysis& a)
{
    a.displayBounds = movie.box();
    ObjectSampleRecord o = oneViewObjectRecord(std::uint32_t(clampToInt32(movie.duration())));
    if (a.kind == NodeKind::kLinearMovie) {
        o.frameRate = float(fixedToDouble(movie.preferredRate()));
        o.animationSettings = 1;
        o.controlSettings = 0;
        a.movieDuration = clampToInt32(movie.duration());
        // The first frame time is the next interesting time from 0: where the sample after the
        // one shown at 0 starts, so the first frame's duration (the frame step of the node
        // browser). A movie of one frame steps by its whole duration.
        const OSType eyes = visualMediaCharacteristic;
        const TimeValue next = movie.nextInterestingTime(nextTimeMediaSample, std::span(&eyes, 1), 0);
        a.movieFirstFrameTime = clampToInt32(next > 0 ? next : std::max<TimeValue>(movie.duration(), 0));
    } else {
        o.controlSettings = 0x44; // can zoom, translation
    }
    a.mediaData = o;
}

OSErr analyzePanorama(const Movie& movie, MediaAnalysis& a, std::string* detail)
{
    PanoramaSampleRecord p;
    if (a.vrVersion == 0x100) {
        Track* track = nullptr;
        Media* media = nullptr;
        if (const OSErr e = FindTrackByMediaType(&movie, qtvr::kPanorama1xMediaType, &track, &media))
            return e;
        MediaSample sample;
        if (const OSErr e = media->getSample(0, sample))
            return e;
        PanoramaDescription1x description;
        PanoramaHeader1x header;
        if (const OSErr e = PanoramaDescription1x::parse(sample.description.bytes(), description)) {
            if (detail)
                *detail = "the panorama sample description is too short";
            return e;
        }
        if (const OSErr e = PanoramaHeader1x::parse(sample.data, header)) {
            if (detail)
                *detail = "the panorama sample has no 'pHdr' atom";
            return e;
        }
        a.vr1VideoTrackId = description.sceneTrackId;
        p = panoramaRecordFrom1x(description, header);
    } else if (const OSErr e = ReadPanoramaSample(&movie, p)) {
        if (detail && e == err::cannotFindAtomErr)
            *detail = "the panorama sample has no 'pdat' atom";
        return e;
    }
    a.kind = NodeKind::kPanorama;
    a.displayBounds = Rect{0, 0, std::int16_t(std::min<std::uint32_t>(p.imageSizeY, INT16_MAX)),
                           std::int16_t(std::min<std::uint32_t>(p.imageSizeX, INT16_MAX))};
    a.mediaData = p;
    return err::noErr;
}

OSErr analyzeObject(const Movie& movie, MediaAnalysis& a, std::string* detail)
{
    a.kind = NodeKind::kObject;
    a.displayBounds = a.movieBounds;
    if (a.vrVersion == 0x100) {
        Bytes item;
        if (const OSErr e = movie.userData().getItem(fourCC("NAVG"), 1, item)) {
            if (detail)
                *detail = "the object movie has no 'NAVG' record";
            return e;
        }
        ObjectRecord1x record;
        if (const OSErr e = ObjectRecord1x::parse(item, record)) {
            if (detail)
                *detail = "the object movie's 'NAVG' record is too short";
            return e;
        }
        Track* video = nullptr;
        if (FindTrackByMediaType(&movie, videoMediaType, &video, nullptr) == err::noErr)
            a.vr1VideoTrackId = std::int32_t(video->id());
        a.mediaData = objectRecordFrom1x(record, a.movieBounds);
        return err::noErr;
    }
    ObjectSampleRecord o;
    if (const OSErr e = ReadObjectSample(&movie, o)) {
        if (detail && e == err::cannotFindAtomErr)
            *detail = "the object sample has no 'obji' atom";
        return e;
    }
    a.mediaData = o;
    const ObjectTrackReferences refs = readObjectTrackReferences(&movie);
    a.imageTrackReference = refs.image;
    a.hotSpotTrackReference = refs.hotSpot;
    return err::noErr;
}

OSErr analyzeQuickTimeVR(const Movie& movie, MediaAnalysis& a, std::string* detail)
{
    const Track* qtvrTrack = QTVRGetQTVRTrack(movie, 1);
    if (!qtvrTrack) {
        if (detail)
            *detail = "the QuickTime VR movie has no QTVR track";
        return err::invalidMovie;
    }
    std::unique_ptr<QTVRInstance> instance;
    if (const OSErr e = QTVRGetQTVRInstance(instance, qtvrTrack))
        return e;
    if (IsMultiNodeMovie(instance.get())) {
        if (detail)
            *detail = std::to_string(CountNodes(instance.get())) + " nodes";
        return err::multiNodeMovie;
    }
    const OSErr e = IsPanoramaNode(instance.get()) ? analyzePanorama(movie, a, detail) : analyzeObject(movie, a, detail);
    if (e)
        return e;
    if (auto name = GetNodeName(instance.get(), GetDefaultNodeID(instance.get())))
        a.storedName = std::move(*name);
    return err::noErr;
}

// The movie's own name: its full-name annotation, as a data-fork movie has no named movie
// resource.
std::string storedMovieName(const Movie& movie)
{
    Bytes item;
    if (movie.userData().getItem(fourCC("\xA9nam"), 1, item))
        return {};
    const auto texts = parseUserDataTexts(item);
    if (texts.empty())
        return {};
    std::string name = texts.front().text;
    while (!name.empty() && name.back() == '\0')
        name.pop_back();
    return name;
}

} // namespace

NameText nodeNameFor(const std::string& storedName, const std::filesystem::path& file)
{
    if (!storedName.empty())
        return NameText(storedName);
    return NameText(file.filename().string());
}

OSErr analyzeMediaFile(const std::filesystem::path& file, MediaAnalysis& out, std::string* detail)
{
    MediaAnalysis a;
    if (const OSErr e = checkInputFile(file, detail))
        return e;
    if (const OSErr e = getFileType(file, a.fileType))
        return e;

    std::unique_ptr<Movie> movie;
    OSErr e = isStillImageFileType(a.fileType) ? openImageFileAsMovie(file, a.fileType, movie, detail)
                                               : Movie::open(file, MovieOpenMode::read, movie, detail);
    if (e)
        return e;

    if (isStillImageFileType(a.fileType)) {
        a.kind = NodeKind::kStillImage;
    } else if (isMovieFileType(a.fileType)) {
        const OSType controller = GetControllerType(movie.get());
        if (controller == fourCC("qtvr")) {
            a.kind = NodeKind::kExamining;
            a.vrVersion = 0x200;
        } else if (controller == fourCC("STpn") || controller == fourCC("stna")) {
            a.kind = NodeKind::kExamining;
            a.vrVersion = 0x100;
        } else {
            a.kind = NodeKind::kLinearMovie;
        }
    }
    if (a.kind != NodeKind::kGeneric && movie->trackCount() == 0) {
        if (detail)
            *detail = "the movie has no tracks";
        return err::invalidMovie;
    }

    a.movieBounds = movedToOrigin(movie->box());
    a.storedName = decodeStoredText(storedMovieName(*movie));
    if (a.kind == NodeKind::kStillImage || a.kind == NodeKind::kLinearMovie) {
        if (a.kind == NodeKind::kLinearMovie && !hasVisualTrack(*movie)) {
            if (detail)
                *detail = "the movie has no visual track";
            return err::invalidMovie;
        }
        analyzeStillOrMovie(*movie, a);
    } else if (a.kind == NodeKind::kExamining) {
        if ((e = analyzeQuickTimeVR(*movie, a, detail)))
            return e;
    }
    a.name = nodeNameFor(a.storedName, file);
    out = std::move(a);
    return err::noErr;
}

} // namespace qm
