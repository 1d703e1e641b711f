#include <gtest/gtest.h>

#include "compose/hot_spot_atoms.h"
#include "compose/vr_atoms.h"

using namespace qm;

namespace {

HotSpot hotSpot(std::int16_t id, OSType type, Rect bounds = {10, 100, 50, 300})
{
    HotSpot h;
    h.id = id;
    h.shape = HotSpotShape::kRectangle;
    h.type = type;
    h.bounds = bounds;
    return h;
}

struct Built {
    AtomContainer c;
    AtomRef hots(AtomID id) const { return c.findChildById(AtomContainer::kRoot, vrAtom::kHotSpot, id); }
    ByteReader info(AtomID id) const { return ByteReader(c.data(c.findChild(hots(id), vrAtom::kHotSpotInfo))); }
};

Built build(const Scene& scene, const Node& node, Rect image, Rect hotSpotImage)
{
    std::optional<AtomContainer> out;
    EXPECT_EQ(buildHotSpotAtoms(scene, node, image, hotSpotImage, out), 0);
    EXPECT_TRUE(out.has_value());
    return Built{out ? *out : AtomContainer()};
}

} // namespace

TEST(HotSpotAtoms, NoHotSpotsBuildNothing)
{
    Scene scene;
    Node node;
    std::optional<AtomContainer> out;
    EXPECT_EQ(buildHotSpotAtoms(scene, node, {}, {}, out), 0);
    EXPECT_FALSE(out.has_value());
}

TEST(HotSpotAtoms, AtomsFollowTypeNameAndComment)
{
    Scene scene;
    Node node;
    node.kind = NodeKind::kObject;
    HotSpot url = hotSpot(1, HotSpotType::kUrl);
    url.name = "Home";
    HotSpot urlWithAddress = hotSpot(2, HotSpotType::kUrl);
    urlWithAddress.url = "http://x.org";
    urlWithAddress.comment = "Only a comment";
    HotSpot link = hotSpot(3, HotSpotType::kLink); // destination 0
    node.hotSpots = {url, urlWithAddress, link};
    const Rect frame{0, 0, 240, 320};
    Built b = build(scene, node, frame, frame);

    EXPECT_FALSE(b.c.findChild(b.hots(1), vrAtom::kUrl)) << "no URL, no 'url ' atom";
    EXPECT_TRUE(b.c.findChildById(b.hots(1), vrAtom::kString, 1));
    EXPECT_FALSE(b.c.findChildById(b.hots(1), vrAtom::kString, 2));
    ByteReader info1 = b.info(1);
    ASSERT_EQ(info1.size(), 68u);
    info1.skip(4);
    EXPECT_EQ(info1.type(), HotSpotType::kUrl);
    EXPECT_EQ(info1.u32(), 1u);
    EXPECT_EQ(info1.u32(), 0u);

    const auto urlData = b.c.data(b.c.findChild(b.hots(2), vrAtom::kUrl));
    EXPECT_EQ(std::string(urlData.begin(), urlData.end()), std::string("http://x.org") + '\0');
    ByteReader info2 = b.info(2);
    info2.skip(8);
    EXPECT_EQ(info2.u32(), 0u);
    EXPECT_EQ(info2.u32(), 2u);

    const auto linkData = b.c.data(b.c.findChild(b.hots(3), vrAtom::kLink));
    ASSERT_EQ(linkData.size(), 72u);
    EXPECT_EQ(loadBE32(linkData.data() + 4), 0u);
    // Children of 'hots' in order: strings, type atom, then 'hsin'.
    EXPECT_EQ(b.c.type(b.c.childAt(b.hots(3), 1)), vrAtom::kLink);
    EXPECT_EQ(b.c.type(b.c.childAt(b.hots(3), 2)), vrAtom::kHotSpotInfo);
}

TEST(HotSpotAtoms, PanoramaExtentIsRotatedIntoTileCoordinates)
{
    Scene scene;
    Node node;
    node.kind = NodeKind::kPanorama;
    node.hotSpots = {hotSpot(7, HotSpotType::kLink, {10, 100, 50, 300})};
    // Image and hot spot image of the same size: left 0, top 0, right 2048 (unrolled width).
    const Rect image{0, 0, 400, 2048};
    Built b = build(scene, node, image, image);
    ByteReader info = b.info(7);
    info.skip(48);
    EXPECT_EQ(info.rect(), (Rect{1748, 10, 1948, 50}));

    // A half-size hot spot image maps the extent first.
    Built half = build(scene, node, image, Rect{0, 0, 200, 1024});
    ByteReader infoHalf = half.info(7);
    infoHalf.skip(48);
    EXPECT_EQ(infoHalf.rect(), (Rect{1024 - 150, 5, 1024 - 50, 25}));
}

TEST(HotSpotAtoms, LinkViewComesFromDestinationOrCustomView)
{
    Scene scene;
    Node dest;
    dest.id = 2;
    dest.kind = NodeKind::kPanorama;
    dest.mediaReference = {1};
    PanoramaSampleRecord pano;
    pano.defaultPan = 45.0f;
    pano.defaultTilt = -5.0f;
    pano.defaultFieldOfView = 60.0f;
    dest.mediaData = pano;
    scene.nodes.push_back(dest);

    HotSpot h = hotSpot(1, HotSpotType::kLink);
    h.destinationNodeId = 2;
    const Bytes toDest = linkHotSpotData(scene, h);
    ByteReader r(toDest);
    r.skip(4);
    EXPECT_EQ(r.u32(), 2u);
    EXPECT_EQ(r.u32(), 0u); // from flags
    r.skip(20);
    EXPECT_EQ(r.u32(), 7u);
    EXPECT_EQ(r.f32(), 45.0f);
    EXPECT_EQ(r.f32(), -5.0f);
    EXPECT_EQ(r.f32(), 60.0f);

    h.destinationNodeId = 99; // unknown destination: the player's defaults
    const Bytes toUnknown = linkHotSpotData(scene, h);
    ByteReader unknown(toUnknown);
    unknown.skip(32);
    EXPECT_EQ(unknown.u32(), 7u);
    EXPECT_EQ(unknown.f32(), 0.0f);
    EXPECT_EQ(unknown.f32(), 0.0f);
    EXPECT_EQ(unknown.f32(), 120.0f);

    h.customLinkView = true;
    h.linkView.tiltSet = true;
    h.linkView.tilt = 12.5f;
    h.secondView.panSet = true;
    h.secondView.pan = 90.0f;
    const Bytes toCustom = linkHotSpotData(scene, h);
    ByteReader custom(toCustom);
    custom.skip(8);
    EXPECT_EQ(custom.u32(), 1u);
    EXPECT_EQ(custom.f32(), 90.0f);
    custom.skip(16);
    EXPECT_EQ(custom.u32(), 2u);
    EXPECT_EQ(custom.f32(), 0.0f);
    EXPECT_EQ(custom.f32(), 12.5f);
}

TEST(HotSpotAtoms, UnpaintableIdsAreLeftOut)
{
    Scene scene;
    Node node;
    node.kind = NodeKind::kObject;
    node.hotSpots = {hotSpot(0, HotSpotType::kLink), hotSpot(255, HotSpotType::kLink), hotSpot(254, HotSpotType::kMisc)};
    Built b = build(scene, node, {0, 0, 10, 10}, {0, 0, 10, 10});
    EXPECT_EQ(b.c.countChildren(AtomContainer::kRoot, vrAtom::kHotSpot), 1);
    EXPECT_TRUE(b.hots(254));
}
