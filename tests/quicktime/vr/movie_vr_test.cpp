// Putting changed QuickTime VR records and hot spot parents back into single-node movies.
#include <gtest/gtest.h>

#include "quicktime/movie/movie_test_support.h"
#include "quicktime/atoms/atom_container.h"
#include "quicktime/base/errors.h"
#include "quicktime/movie/movie.h"
#include "quicktime/vr/movie_vr.h"
#include "support/ffprobe_oracle.h"
#include "support/test_paths.h"

using namespace qm;
using namespace qm::test;
namespace fs = std::filesystem;

namespace {

constexpr OSType kPdat = fourCC("pdat");
constexpr OSType kHspa = fourCC("hspa");
constexpr OSType kHots = fourCC("hots");

template <class Record>
Bytes bytesOf(const Record& record)
{
    auto a = record.toBytes();
    return Bytes(a.begin(), a.end());
}

Bytes containerWith(std::initializer_list<std::pair<OSType, Bytes>> leaves)
{
    AtomContainer c;
    for (const auto& [type, data] : leaves)
        EXPECT_EQ(c.insertChild(AtomContainer::kRoot, type, 1, 0, data), 0);
    return c.serialize();
}

// A one-node panorama movie: QTVR track and panorama track, each showing one sample of 7200.
struct OneNode {
    std::unique_ptr<Movie> movie = Movie::create();
    Track* qtvr = nullptr;
    Track* pano = nullptr;
    SampleDescription world = SampleDescription::make(fourCC("qtvr"), Bytes(32, 7), 0);

    explicit OneNode(const Bytes& panoSample, const Bytes& nodeSample)
    {
        movie->setTimeScale(3600);
        SetControllerType(movie.get(), fourCC("qtvr"));
        qtvr = movie->newTrack(320 << 16, 240 << 16, 0);
        pano = movie->newTrack(320 << 16, 240 << 16, 0);
        qtvr->newMedia(fourCC("qtvr"), 3600)->addSample(nodeSample, 7200, world);
        qtvr->insertMedia(0, 0, 7200);
        pano->newMedia(fourCC("pano"), 3600)->addSample(panoSample, 7200, SampleDescription::make(0));
        pano->insertMedia(0, 0, 7200);
        qtvr->addReference(*pano, fourCC("pano"));
    }
};

AtomContainer shownContainer(const Track& track, MediaSample* sample = nullptr)
{
    MediaSample s;
    EXPECT_EQ(track.media()->getSample(track.trackTimeToMediaTime(0), s), 0);
    AtomContainer c;
    EXPECT_EQ(AtomContainer::parse(s.data, c), 0);
    if (sample)
        *sample = s;
    return c;
}

} // namespace

TEST(ReplaceRecords, APanoramaRecordGoesBackAsTheTracksOnlySample)
{
    PanoramaSampleRecord old;
    old.majorVersion = 2;
    OneNode node(containerWith({{kPdat, bytesOf(old)},
                                {fourCC("cuvw"), Bytes(36, 9)}}),
                 containerWith({{fourCC("ndhd"), Bytes(28, 0)}}));
    node.pano->insertMedia(7200, 0, 7200);   // a second showing that the replacement cuts away
    PanoramaSampleRecord record = old;
    record.defaultPan = 1.0f;
    record.imageRefTrackIndex = 3;
    ASSERT_EQ(ReplacePanoramaSample(node.movie.get(), record), 0);

    EXPECT_EQ(node.pano->edits(), (std::vector<TrackEdit>{{7200, 7200, fixed1}}));
    EXPECT_EQ(node.pano->media()->sampleCount(), 2u);   // the old sample stays in the media
    MediaSample shown;
    AtomContainer c = shownContainer(*node.pano, &shown);
    EXPECT_EQ(shown.duration, 7200);
    EXPECT_EQ(shown.description.bytes().size(), 16u);
    EXPECT_EQ(shown.description.dataRefIndex(), 1);
    auto pdat = c.data(c.findChild(AtomContainer::kRoot, kPdat));
    ASSERT_EQ(pdat.size(), PanoramaSampleRecord::kSize);
    EXPECT_EQ(PanoramaSampleRecord::fromBytes(pdat), record);
    // Float 1.0 is stored big-endian whatever the host's order.
    EXPECT_EQ(loadBE32(pdat.data() + 36), 0x3F800000u);
    EXPECT_EQ(c.data(c.findChild(AtomContainer::kRoot, fourCC("cuvw"))).size(), 36u);
}

TEST(ReplaceRecords, ASampleWithoutItsRecordLeavesTheTrackAlone)
{
    OneNode node(containerWith({{fourCC("cuvw"), Bytes(36, 9)}}), containerWith({}));
    auto edits = node.pano->edits();
    EXPECT_EQ(ReplacePanoramaSample(node.movie.get(), PanoramaSampleRecord{}), err::cannotFindAtomErr);
    EXPECT_EQ(node.pano->edits(), edits);
    EXPECT_EQ(node.pano->media()->sampleCount(), 1u);
    // A movie without an object track: the track search's error.
    EXPECT_EQ(ReplaceObjectSample(node.movie.get(), ObjectSampleRecord{}), err::badTrackIndex);
    EXPECT_EQ(ReplacePanoramaSample(nullptr, PanoramaSampleRecord{}), err::paramErr);
}

TEST(ReplaceRecords, ObjectRecordsGoIntoTheObjectTrack)
{
    auto movie = Movie::create();
    Track* obje = movie->newTrack(0, 0, 0);
    ObjectSampleRecord rec;
    rec.columns = 36;
    obje->newMedia(fourCC("obje"), 600)
        ->addSample(containerWith({{fourCC("obji"), bytesOf(rec)},
                                   {fourCC("imgt"), Bytes(10, 1)}}),
                    600, SampleDescription::make(0));
    obje->insertMedia(0, 0, 600);
    rec.rows = 5;
    ASSERT_EQ(ReplaceObjectSample(movie.get(), rec), 0);
    AtomContainer c = shownContainer(*obje);
    EXPECT_EQ(ObjectSampleRecord::fromBytes(c.data(c.findChild(AtomContainer::kRoot, fourCC("obji")))), rec);
    EXPECT_TRUE(c.findChild(AtomContainer::kRoot, fourCC("imgt")));
}

TEST(ReplaceRecords, HotSpotParentIsReplacedRemovedOrLeftAsItWas)
{
    Bytes nodeSample = containerWith({{fourCC("ndhd"), Bytes(28, 1)}});
    OneNode node(containerWith({{kPdat, Bytes(84, 0)}}), nodeSample);

    // Without a container and without an 'hspa', the sample is rewritten unchanged.
    ASSERT_EQ(ReplaceHotSpotParent(node.movie.get(), nullptr), 0);
    MediaSample shown;
    ASSERT_EQ(node.qtvr->media()->getSample(node.qtvr->trackTimeToMediaTime(0), shown), 0);
    EXPECT_EQ(shown.data, nodeSample);
    EXPECT_EQ(shown.duration, 7200);
    EXPECT_EQ(shown.descIndex, 1u);   // the world description is kept, not duplicated

    AtomContainer spots;
    AtomRef hots;
    ASSERT_EQ(spots.insertChild(AtomContainer::kRoot, kHots, 250, 0, {}, &hots), 0);
    ASSERT_EQ(spots.insertChild(hots, fourCC("hsin"), 1, 0, Bytes(68, 2)), 0);
    ASSERT_EQ(spots.insertChild(AtomContainer::kRoot, kHots, 159, 0, {}, &hots), 0);
    ASSERT_EQ(spots.insertChild(hots, fourCC("hsin"), 1, 0, Bytes(68, 3)), 0);
    ASSERT_EQ(ReplaceHotSpotParent(node.movie.get(), &spots), 0);
    AtomContainer c = shownContainer(*node.qtvr);
    AtomRef hspa = c.findChild(AtomContainer::kRoot, kHspa);
    ASSERT_TRUE(hspa);
    EXPECT_EQ(c.id(hspa), 1u);
    EXPECT_EQ(c.countChildren(hspa, kHots), 2);
    EXPECT_TRUE(c.findChildById(hspa, kHots, 159));
    EXPECT_TRUE(c.findChild(AtomContainer::kRoot, fourCC("ndhd")));

    // Again with other hot spots: the old parent goes, only the new one is there.
    AtomContainer one;
    ASSERT_EQ(one.insertChild(AtomContainer::kRoot, kHots, 7, 0, {}, &hots), 0);
    ASSERT_EQ(ReplaceHotSpotParent(node.movie.get(), &one), 0);
    c = shownContainer(*node.qtvr);
    EXPECT_EQ(c.countChildren(AtomContainer::kRoot, kHspa), 1);
    EXPECT_EQ(c.countChildren(c.findChild(AtomContainer::kRoot, kHspa), kHots), 1);

    ASSERT_EQ(ReplaceHotSpotParent(node.movie.get(), nullptr), 0);
    c = shownContainer(*node.qtvr);
    EXPECT_FALSE(c.findChild(AtomContainer::kRoot, kHspa));
    EXPECT_EQ(node.qtvr->edits().size(), 1u);

    auto plain = Movie::create();
    EXPECT_EQ(ReplaceHotSpotParent(plain.get(), nullptr), err::invalidTrack);
}

TEST(ReplaceRecords, ARealPanoramaTakesANewRecordAndStaysPlayable)
{
    fs::path file = samplesDir() / "wyk_pano_8.mov";
    QM_REQUIRE_SAMPLE(file);
    TempDir tmp;
    fs::copy_file(file, tmp / "work.mov");
    fs::permissions(tmp / "work.mov", fs::perms::owner_write, fs::perm_options::add);
    PanoramaSampleRecord record;
    {
        std::unique_ptr<Movie> movie;
        ASSERT_EQ(Movie::open(tmp / "work.mov", MovieOpenMode::readWrite, movie), 0);
        Track* pano = nullptr;
        ASSERT_EQ(FindTrackByMediaType(movie.get(), fourCC("pano"), &pano, nullptr), 0);
        AtomContainer c = shownContainer(*pano);
        record = PanoramaSampleRecord::fromBytes(c.data(c.findChild(AtomContainer::kRoot, kPdat)));
        EXPECT_EQ(record.hotSpotRefTrackIndex, 1u);
        record.hotSpotRefTrackIndex = 0;
        record.defaultPan = 90.0f;
        ASSERT_EQ(ReplacePanoramaSample(movie.get(), record), 0);
        ASSERT_EQ(ReplaceHotSpotParent(movie.get(), nullptr), 0);
        ASSERT_EQ(movie->updateMovieResource(), 0);
    }
    std::unique_ptr<Movie> back;
    ASSERT_EQ(Movie::open(tmp / "work.mov", MovieOpenMode::read, back), 0);
    Track* pano = nullptr;
    ASSERT_EQ(FindTrackByMediaType(back.get(), fourCC("pano"), &pano, nullptr), 0);
    AtomContainer c = shownContainer(*pano);
    EXPECT_EQ(PanoramaSampleRecord::fromBytes(c.data(c.findChild(AtomContainer::kRoot, kPdat))), record);
    EXPECT_EQ(pano->duration(), 3600);
    if (ffprobeAvailable()) {
        ProbeResult p = probeMovie(tmp / "work.mov");
        EXPECT_EQ(p.exitStatus, 0);
        EXPECT_EQ(p.errors, "");
    }
}
