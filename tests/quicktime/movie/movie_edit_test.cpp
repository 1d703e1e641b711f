// Building movies through the edit operations: tracks and media, samples, edits, references,
// user data, movie resources and flattening.
#include <gtest/gtest.h>

#include <fstream>

#include "movie_test_support.h"
#include "quicktime/base/errors.h"
#include "quicktime/movie/movie.h"
#include "quicktime/vr/movie_vr.h"
#include "support/ffprobe_oracle.h"
#include "support/test_paths.h"

using namespace qm;
using namespace qm::test;
namespace fs = std::filesystem;

namespace {

constexpr OSType kQtvr = fourCC("qtvr");
constexpr OSType kPano = fourCC("pano");
constexpr OSType kImgt = fourCC("imgt");

// A QTVR-like scene: a base-media 'qtvr' track with one sample per node, a 'pano' track
// referenced from it, and a disabled video track of tiles referenced from that.
struct Scene {
    Track* qtvr = nullptr;
    Track* pano = nullptr;
    Track* image = nullptr;
};

Scene buildScene(Movie& movie)
{
    Scene s;
    movie.setTimeScale(3600);
    SetControllerType(&movie, kQtvr);
    s.qtvr = movie.newTrack(320 << 16, 240 << 16, 0);
    s.pano = movie.newTrack(320 << 16, 240 << 16, 0);
    s.image = movie.newTrack(8 << 16, 4 << 16, 0);
    s.image->setEnabled(false);
    Media* qm = s.qtvr->newMedia(kQtvr, 3600);
    Media* pm = s.pano->newMedia(kPano, 3600);
    Media* im = s.image->newMedia(videoMediaType, 3600);
    int index = 0;
    EXPECT_EQ(s.qtvr->addReference(*s.pano, kPano, &index), 0);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(s.pano->addReference(*s.image, kImgt, &index), 0);
    EXPECT_EQ(index, 1);

    const std::uint8_t worldBytes[] = {0, 0, 0, 12, 0, 0, 0, 0, 0, 0, 0, 0};
    SampleDescription world = SampleDescription::make(kQtvr, worldBytes, 0);
    SampleDescription placeholder = SampleDescription::make(0, {});
    for (int node = 0; node < 2; ++node) {
        const std::uint8_t info[] = {std::uint8_t(node), 1, 2, 3};
        TimeValue at = qm->addSample(info, 7200, world);
        EXPECT_EQ(at, node * 7200);
        EXPECT_EQ(s.qtvr->insertMedia(node * 7200, at, 7200), 0);
        TimeValue p = pm->addSample(info, 7200, placeholder);
        EXPECT_EQ(s.pano->insertMedia(node * 7200, p, 7200), 0);
        for (int tile = 0; tile < 4; ++tile) {
            TimeValue t = im->addSample(rawFrame(8, 4, node * 4 + tile), 1800, rawImageDescription(8, 4));
            EXPECT_EQ(s.image->insertMedia(node * 7200 + tile * 1800, t, 1800), 0);
        }
    }
    movie.userData().addText(fourCC("\xA9nam"), 1, 0, std::string("Scene", 6));
    return s;
}

} // namespace

TEST(MovieEdit, ABuiltMovieReadsBackEqualAndFFprobeAcceptsIt)
{
    setFixedMovieClock(3000000000u);
    TempDir tmp;
    std::unique_ptr<Movie> movie;
    ASSERT_EQ(Movie::createFile(tmp / "scene.mov", false, movie), 0);
    Scene s = buildScene(*movie);
    // Contiguous tiles and nodes collapse into one edit per track.
    EXPECT_EQ(s.image->edits(), (std::vector<TrackEdit>{{14400, 0, fixed1}}));
    EXPECT_EQ(movie->duration(), 14400);
    ASSERT_EQ(movie->addMovieResource(), 0);
    // A second file of the same name is refused unless replacing was asked for.
    std::unique_ptr<Movie> clash;
    EXPECT_EQ(Movie::createFile(tmp / "scene.mov", false, clash), err::dupFNErr);

    std::unique_ptr<Movie> back;
    ASSERT_EQ(Movie::open(tmp / "scene.mov", MovieOpenMode::read, back), 0);
    expectSameStructure(*movie, *back);
    EXPECT_TRUE(IsQuickTimeVR2Movie(back.get()));
    EXPECT_EQ(back->track(2)->reference(kImgt, 1), back->track(3));
    std::string name;
    EXPECT_EQ(back->userData().getText(fourCC("\xA9nam"), 1, 0, name), 0);
    EXPECT_EQ(name, std::string("Scene", 6));   // the trailing zero byte is kept

    // Flattening the file-backed movie and an in-memory twin gives the same bytes.
    auto twin = Movie::create();
    buildScene(*twin);
    ASSERT_EQ(movie->flatten(tmp / "a.mov"), 0);
    ASSERT_EQ(twin->flatten(tmp / "b.mov"), 0);
    std::ifstream fa(tmp / "a.mov", std::ios::binary), fb(tmp / "b.mov", std::ios::binary);
    std::string ba((std::istreambuf_iterator<char>(fa)), {}), bb((std::istreambuf_iterator<char>(fb)), {});
    EXPECT_EQ(ba, bb);
    setFixedMovieClock(std::nullopt);

    if (!ffprobeAvailable())
        GTEST_SKIP() << "ffprobe not available";
    for (const char* f : {"scene.mov", "a.mov"}) {
        ProbeResult p = probeMovie(tmp / f);
        EXPECT_EQ(p.exitStatus, 0) << f;
        EXPECT_EQ(p.errors, "") << f;
        ASSERT_EQ(p.streams.size(), 3u) << f;
        EXPECT_EQ(p.streams[2], "2,video,raw ,8,4,8") << f;
        EXPECT_EQ(p.packets.size(), 2u + 2u + 8u) << f;
    }
}

TEST(MovieEdit, InsertAndDeleteSegmentsShapeTheEditList)
{
    auto movie = Movie::create();
    Track* t = movie->newTrack(8 << 16, 4 << 16, 0);
    Media* m = t->newMedia(videoMediaType, 600);
    for (int i = 0; i < 4; ++i)
        m->addSample(rawFrame(8, 4, i), 100, rawImageDescription(8, 4));
    movie->setTimeScale(600);

    // Past the end: the gap becomes an empty edit.
    ASSERT_EQ(t->insertMedia(300, 100, 200), 0);
    EXPECT_EQ(t->edits(), (std::vector<TrackEdit>{{300, -1, fixed1}, {200, 100, fixed1}}));
    // Into the middle of an edit: it is split and later material moves back.
    ASSERT_EQ(t->insertMedia(400, 0, 100), 0);
    EXPECT_EQ(t->edits(), (std::vector<TrackEdit>{{300, -1, fixed1}, {100, 100, fixed1}, {100, 0, fixed1},
                                                  {100, 200, fixed1}}));
    EXPECT_EQ(t->duration(), 600);
    EXPECT_EQ(t->trackTimeToMediaTime(450), 50);
    EXPECT_EQ(t->trackTimeToMediaTime(100), -1);
    EXPECT_EQ(t->trackTimeToMediaTime(600), -1);
    // Deleting what was inserted joins the neighbours back into one edit.
    ASSERT_EQ(t->deleteSegment(400, 100), 0);
    EXPECT_EQ(t->edits(), (std::vector<TrackEdit>{{300, -1, fixed1}, {200, 100, fixed1}}));
    // Deleting past the end only removes what exists.
    ASSERT_EQ(t->deleteSegment(0, 10000), 0);
    EXPECT_TRUE(t->edits().empty());

    EXPECT_EQ(t->insertMedia(0, 350, 100), err::timeNotInMedia);
    EXPECT_EQ(movie->error(), err::timeNotInMedia);
    EXPECT_EQ(t->insertMedia(0, 0, 100, 0), err::paramErr);

    // A faster rate shows more media in less movie time; a different movie time scale converts.
    movie->setTimeScale(3600);
    ASSERT_EQ(t->insertMedia(0, 0, 400, 2 * fixed1), 0);
    EXPECT_EQ(t->duration(), 1200);
    EXPECT_EQ(t->trackTimeToMediaTime(600), 200);
    EXPECT_EQ(movie->setTimeScale(600), 0);
    EXPECT_EQ(t->edits(), (std::vector<TrackEdit>{{200, 0, 2 * fixed1}}));
}

TEST(MovieEdit, NextInterestingTimeFindsSampleStartsThroughEdits)
{
    auto movie = Movie::create();
    movie->setTimeScale(600);
    Track* t = movie->newTrack(8 << 16, 4 << 16, 0);
    Media* m = t->newMedia(videoMediaType, 600);
    const TimeValue durations[] = {100, 50, 150};
    for (int i = 0; i < 3; ++i)
        m->addSample(rawFrame(8, 4, i), durations[i], rawImageDescription(8, 4), 1, i == 1 ? mediaSampleNotSync : 0);
    ASSERT_EQ(t->insertMedia(200, 0, 300), 0);   // an empty edit of 200 first

    TimeValue d = 0;
    EXPECT_EQ(t->nextInterestingTime(nextTimeMediaSample, 0, fixed1, &d), 200);
    EXPECT_EQ(d, 100);
    EXPECT_EQ(t->nextInterestingTime(nextTimeMediaSample, 200), 300);
    EXPECT_EQ(t->nextInterestingTime(nextTimeMediaSample | nextTimeEdgeOK, 200), 200);
    EXPECT_EQ(t->nextInterestingTime(nextTimeMediaSample, 310), 350);
    EXPECT_EQ(t->nextInterestingTime(nextTimeSyncSample, 200), 350);
    EXPECT_EQ(t->nextInterestingTime(nextTimeMediaSample, 350), -1);
    EXPECT_EQ(t->nextInterestingTime(nextTimeTrackEdit, 0), 200);

    // The movie-level query over visual media, as the first frame of a linear movie is found.
    Track* sound = movie->newTrack(0, 0, 0x100);
    Media* sm = sound->newMedia(soundMediaType, 600);
    const std::uint8_t pcm[10] = {};
    sm->addSample(pcm, 10, SampleDescription::make(fourCC("raw "), {}), 10);
    sound->insertMedia(0, 0, 100);
    const OSType eyes[] = {visualMediaCharacteristic};
    EXPECT_EQ(movie->nextInterestingTime(nextTimeMediaSample | nextTimeEdgeOK, eyes, 0), 200);
    EXPECT_EQ(movie->nextInterestingTime(nextTimeMediaSample | nextTimeEdgeOK, {}, 0), 0);
}

TEST(MovieEdit, TrackReferencesAreDensePerType)
{
    auto movie = Movie::create();
    Track* a = movie->newTrack(0, 0, 0);
    Track* b = movie->newTrack(0, 0, 0);
    Track* c = movie->newTrack(0, 0, 0);
    int index = 0;
    ASSERT_EQ(a->addReference(*b, kImgt, &index), 0);
    EXPECT_EQ(index, 1);
    ASSERT_EQ(a->addReference(*c, kImgt, &index), 0);
    EXPECT_EQ(index, 2);
    ASSERT_EQ(a->addReference(*b, kImgt, &index), 0);
    EXPECT_EQ(index, 1);   // already there
    ASSERT_EQ(a->addReference(*c, fourCC("hott"), &index), 0);
    EXPECT_EQ(index, 1);   // each type counts from 1
    EXPECT_EQ(a->reference(kImgt, 2), c);
    EXPECT_EQ(a->nextReferenceType(kImgt), fourCC("hott"));

    ASSERT_EQ(a->deleteReference(kImgt, 1), 0);
    EXPECT_EQ(a->referenceCount(kImgt), 1);
    EXPECT_EQ(a->reference(kImgt, 1), c);
    EXPECT_EQ(a->deleteReference(kImgt, 5), err::badTrackIndex);

    // A disposed track leaves a reference to no track; the other indices stay.
    ASSERT_EQ(a->addReference(*b, kImgt, &index), 0);
    ASSERT_EQ(movie->disposeTrack(c), 0);
    EXPECT_EQ(a->referenceCount(kImgt), 2);
    EXPECT_EQ(a->reference(kImgt, 1), nullptr);
    EXPECT_EQ(movie->error(), err::badTrackIndex);
    EXPECT_EQ(a->reference(kImgt, 2), b);

    auto other = Movie::create();
    Track* foreign = other->newTrack(0, 0, 0);
    EXPECT_EQ(a->addReference(*foreign, kImgt), err::trackNotInMovie);
}

TEST(MovieEdit, UserDataItemsAndTextsByTypeAndIndex)
{
    UserData ud;
    const std::uint8_t one[] = {1}, two[] = {2, 2};
    ud.addItem(fourCC("WLOC"), one);
    ud.addItem(fourCC("NAVG"), two);
    ud.addItem(fourCC("WLOC"), two);
    EXPECT_EQ(ud.count(fourCC("WLOC")), 2);
    Bytes got;
    ASSERT_EQ(ud.getItem(fourCC("WLOC"), 2, got), 0);
    EXPECT_EQ(got, Bytes(two, two + 2));
    ASSERT_EQ(ud.getItem(fourCC("WLOC"), 0, got), 0);   // index 0 stands for 1
    EXPECT_EQ(got, Bytes(one, one + 1));
    EXPECT_EQ(ud.getItem(fourCC("WLOC"), 3, got), err::userDataItemNotFound);
    EXPECT_EQ(ud.nextType(0), fourCC("WLOC"));
    EXPECT_EQ(ud.nextType(fourCC("WLOC")), fourCC("NAVG"));
    ASSERT_EQ(ud.removeItem(fourCC("WLOC"), 1), 0);
    ASSERT_EQ(ud.getItem(fourCC("WLOC"), 1, got), 0);
    EXPECT_EQ(got, Bytes(two, two + 2));

    const OSType nam = fourCC("\xA9nam");
    ASSERT_EQ(ud.addText(nam, 1, 0, "English"), 0);
    ASSERT_EQ(ud.addText(nam, 1, 2, "Deutsch"), 0);
    ASSERT_EQ(ud.addText(nam, 1, 0, "British"), 0);
    std::string text;
    ASSERT_EQ(ud.getText(nam, 1, 2, text), 0);
    EXPECT_EQ(text, "Deutsch");
    ASSERT_EQ(ud.getText(nam, 1, 0, text), 0);
    EXPECT_EQ(text, "British");
    ASSERT_EQ(ud.removeText(nam, 1, 0), 0);
    ASSERT_EQ(ud.removeText(nam, 1, 2), 0);
    EXPECT_EQ(ud.count(nam), 0);   // an item left without texts goes

    // Both length conventions of real files read.
    const std::uint8_t exclusive[] = {0, 2, 0, 0, 'h', 'i'};
    const std::uint8_t inclusive[] = {0, 6, 0, 0, 'h', 'i'};
    EXPECT_EQ(parseUserDataTexts(exclusive).at(0).text, "hi");
    EXPECT_EQ(parseUserDataTexts(inclusive).at(0).text, "hi");
}

TEST(MovieEdit, SamplesAddedToAReadOnlyMovieSurviveFlattening)
{
    TempDir tmp;
    auto source = Movie::create();
    Track* t = source->newTrack(8 << 16, 4 << 16, 0);
    Media* m = t->newMedia(videoMediaType, 600);
    m->addSample(rawFrame(8, 4, 1), 600, rawImageDescription(8, 4));
    t->insertMedia(0, 0, 600);
    ASSERT_EQ(source->flatten(tmp / "one.mov"), 0);

    std::unique_ptr<Movie> ro;
    ASSERT_EQ(Movie::open(tmp / "one.mov", MovieOpenMode::read, ro), 0);
    Track* rt = ro->track(1);
    TimeValue at = rt->media()->addSample(rawFrame(8, 4, 2), 600, rawImageDescription(8, 4));
    EXPECT_EQ(at, 600);
    ASSERT_EQ(rt->insertMedia(600, at, 600), 0);
    EXPECT_EQ(ro->updateMovieResource(), err::wPrErr);
    ASSERT_EQ(ro->flatten(tmp / "two.mov"), 0);
    std::unique_ptr<Movie> two;
    ASSERT_EQ(Movie::open(tmp / "two.mov", MovieOpenMode::read, two), 0);
    expectSameStructure(*ro, *two);
    MediaSample sample;
    ASSERT_EQ(two->track(1)->media()->getSample(900, sample), 0);
    EXPECT_EQ(sample.data, rawFrame(8, 4, 2));
    EXPECT_EQ(sample.time, 600);
    EXPECT_EQ(sample.duration, 600);
    EXPECT_EQ(sample.description.format(), fourCC("raw "));
}

TEST(MovieEdit, ReplacingASampleInAnOpenFileThenUpdatingKeepsBothVersionsReadable)
{
    TempDir tmp;
    auto source = Movie::create();
    Track* t = source->newTrack(8 << 16, 4 << 16, 0);
    Media* m = t->newMedia(videoMediaType, 600);
    m->addSample(rawFrame(8, 4, 1), 600, rawImageDescription(8, 4));
    t->insertMedia(0, 0, 600);
    ASSERT_EQ(source->flatten(tmp / "w.mov"), 0);

    for (int round = 2; round <= 4; ++round) {
        std::unique_ptr<Movie> rw;
        ASSERT_EQ(Movie::open(tmp / "w.mov", MovieOpenMode::readWrite, rw), 0);
        Track* rt = rw->track(1);
        Media* media = rt->media();
        media->beginEdits();
        TimeValue at = media->addSample(rawFrame(8, 4, round), 600, rawImageDescription(8, 4));
        media->endEdits();
        ASSERT_EQ(rt->deleteSegment(0, rt->duration()), 0);
        ASSERT_EQ(rt->insertMedia(0, at, 600), 0);
        ASSERT_EQ(rw->updateMovieResource(), 0);
    }
    std::unique_ptr<Movie> back;
    ASSERT_EQ(Movie::open(tmp / "w.mov", MovieOpenMode::read, back), 0);
    Media* media = back->track(1)->media();
    EXPECT_EQ(media->sampleCount(), 4u);
    MediaSample shown;
    ASSERT_EQ(media->getSample(back->track(1)->trackTimeToMediaTime(0), shown), 0);
    EXPECT_EQ(shown.data, rawFrame(8, 4, 4));
    if (ffprobeAvailable()) {
        ProbeResult p = probeMovie(tmp / "w.mov");
        EXPECT_EQ(p.exitStatus, 0);
        EXPECT_EQ(p.errors, "");
    }
}

TEST(MovieEdit, InsertTrackSegmentCopiesTheShownSamplesIntoAnotherMovie)
{
    auto src = Movie::create();
    src->setTimeScale(600);
    Track* st = src->newTrack(8 << 16, 4 << 16, 0);
    Media* sm = st->newMedia(videoMediaType, 600);
    for (int i = 0; i < 5; ++i)
        sm->addSample(rawFrame(8, 4, i), 100, rawImageDescription(8, 4));
    st->insertMedia(0, 100, 300);          // shows samples 1..3
    st->insertEmptySegment(300, 50);
    Track* sound = src->newTrack(0, 0, 0x100);
    Media* pcm = sound->newMedia(soundMediaType, 8000);
    Bytes audio(8000);
    for (std::size_t i = 0; i < audio.size(); ++i)
        audio[i] = std::uint8_t(i);
    pcm->addSample(audio, 1, SampleDescription::make(fourCC("raw "), {}), 8000);
    sound->insertMedia(0, 0, 8000);

    auto dst = Movie::create();
    dst->setTimeScale(3600);
    Track* dv = dst->addEmptyTrackLike(*st);
    ASSERT_EQ(insertTrackSegment(*st, 0, st->duration(), *dv, 7200), 0);
    EXPECT_EQ(dv->media()->sampleCount(), 3u);
    EXPECT_EQ(dv->duration(), 7200 + 1800 + 300);
    MediaSample shown;
    ASSERT_EQ(dv->media()->getSample(dv->trackTimeToMediaTime(7200 + 700), shown), 0);
    EXPECT_EQ(shown.data, rawFrame(8, 4, 2));
    EXPECT_EQ(dv->trackTimeToMediaTime(7200 + 1900), -1);

    Track* ds = dst->addEmptyTrackLike(*sound);
    ASSERT_EQ(insertTrackSegment(*sound, 0, sound->duration(), *ds, 0), 0);
    EXPECT_EQ(ds->media()->sampleCount(), 8000u);
    EXPECT_LE(ds->media()->samples().chunks().size(), 2u);   // copied in runs, not byte by byte
    Bytes copied;
    ASSERT_EQ(ds->media()->readSample(4321, copied), 0);
    EXPECT_EQ(copied, Bytes{std::uint8_t(4321 & 0xFF)});

    Track* wrong = dst->newTrack(0, 0, 0);
    wrong->newMedia(fourCC("text"), 600);
    EXPECT_EQ(insertTrackSegment(*st, 0, 100, *wrong, 0), err::mediaTypesDontMatch);
}

TEST(MovieEdit, AFailedOrCancelledFlattenLeavesTheDestinationAlone)
{
    TempDir tmp;
    auto movie = Movie::create();
    Track* t = movie->newTrack(8 << 16, 4 << 16, 0);
    Media* m = t->newMedia(videoMediaType, 600);
    for (int i = 0; i < 3; ++i)
        m->addSample(rawFrame(8, 4, i), 100, rawImageDescription(8, 4));
    t->insertMedia(0, 0, 300);
    {
        std::ofstream old(tmp / "out.mov");
        old << "previous contents";
    }
    int updates = 0;
    movie->setProgressProc([&](MovieProgressStep msg, double) -> OSErr {
        if (msg == MovieProgressStep::update && ++updates == 1)
            return err::userCanceledErr;
        return err::noErr;
    });
    EXPECT_EQ(movie->flatten(tmp / "out.mov"), err::userCanceledErr);
    std::ifstream in(tmp / "out.mov");
    std::string contents((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(contents, "previous contents");
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()), 1);

    movie->setProgressProc(nullptr);
    FlattenOptions keep;
    keep.deleteExisting = false;
    EXPECT_EQ(movie->flatten(tmp / "out.mov", keep), err::dupFNErr);
    EXPECT_EQ(movie->flatten(tmp / "missing-folder" / "out.mov"), err::fnfErr);
}

TEST(MovieEdit, BoxControllerTypeAndTrackLookupByMediaType)
{
    auto movie = Movie::create();
    EXPECT_EQ(GetControllerType(movie.get()), fourCC("????"));
    EXPECT_EQ(GetControllerType(nullptr), fourCC("????"));
    EXPECT_EQ(SetControllerType(nullptr, kQtvr), err::paramErr);
    ASSERT_EQ(SetControllerType(movie.get(), fourCC("STpn")), 0);
    EXPECT_TRUE(IsQuickTimeVRMovie(movie.get()));
    EXPECT_FALSE(IsQuickTimeVR2Movie(movie.get()));
    ASSERT_EQ(SetControllerType(movie.get(), kQtvr), 0);
    EXPECT_EQ(movie->userData().count(fourCC("ctyp")), 1);
    EXPECT_TRUE(IsQuickTimeVR2Movie(movie.get()));

    Track* a = movie->newTrack(320 << 16, 240 << 16, 0);
    a->newMedia(kQtvr, 3600);
    movie->newTrack(0, 0, 0);                    // no media yet
    Track* c = movie->newTrack(100 << 16, 500 << 16, 0);
    c->newMedia(kPano, 3600);
    c->setEnabled(false);
    Track* found = nullptr;
    Media* media = nullptr;
    ASSERT_EQ(FindTrackByMediaType(movie.get(), kPano, &found, &media), 0);
    EXPECT_EQ(found, c);
    EXPECT_EQ(media, c->media());
    found = nullptr;
    EXPECT_EQ(FindTrackByMediaType(movie.get(), fourCC("obje"), &found, nullptr), err::badTrackIndex);
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(movie->box(), (Rect{0, 0, 240, 320}));   // disabled tracks do not count
}
