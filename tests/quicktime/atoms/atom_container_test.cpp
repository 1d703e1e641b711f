#include "quicktime/atoms/atom_container.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "quicktime/base/errors.h"
#include "support/test_paths.h"

using namespace qm;

namespace {

constexpr AtomRef kRoot = AtomContainer::kRoot;

Bytes bytesOf(std::initializer_list<std::uint8_t> b) { return Bytes(b); }

// Serialized atom header as the format defines it, for building damaged input by hand.
void atomHeader(ByteWriter& w, std::uint32_t size, const char (&type)[5], std::uint32_t id, std::uint16_t children)
{
    w.u32(size);
    w.type(fourCC(type));
    w.u32(id);
    w.u16(0);
    w.u16(children);
    w.u32(0);
}

Bytes containerWithRoot(std::uint32_t rootSize, std::uint16_t rootChildren, const Bytes& body)
{
    ByteWriter w;
    w.zeros(12);
    atomHeader(w, rootSize, "sean", 1, rootChildren);
    w.bytes(body);
    return w.take();
}

} // namespace

TEST(AtomContainerFormat, EmptyContainerIs32BytesWithSeanRoot)
{
    Bytes b = AtomContainer().serialize();
    ASSERT_EQ(b.size(), 32u);
    Bytes expected(12, 0);
    ByteWriter w;
    atomHeader(w, 20, "sean", 1, 0);
    expected.insert(expected.end(), w.data().begin(), w.data().end());
    EXPECT_EQ(b, expected);
}

TEST(AtomContainerFormat, SerializesNestedAtomsWithSizesAndChildCounts)
{
    AtomContainer c;
    AtomRef parent;
    ASSERT_EQ(c.insertChild(kRoot, fourCC("hspa"), 1, 0, {}, &parent), err::noErr);
    Bytes three = bytesOf({1, 2, 3});
    ASSERT_EQ(c.insertChild(parent, fourCC("hots"), 7, 0, three), err::noErr);
    Bytes b = c.serialize();
    ASSERT_EQ(b.size(), 12u + 20 + 20 + 23);
    ByteReader r(b);
    r.skip(12);
    EXPECT_EQ(r.u32(), 63u);              // root size covers everything below it
    EXPECT_EQ(r.type(), fourCC("sean"));
    r.skip(6);
    EXPECT_EQ(r.u16(), 1u);               // one child
    r.skip(4);
    EXPECT_EQ(r.u32(), 43u);              // 'hspa' = header + its child
    EXPECT_EQ(r.type(), fourCC("hspa"));
    EXPECT_EQ(r.u32(), 1u);
    r.skip(2);
    EXPECT_EQ(r.u16(), 1u);
    r.skip(4);
    EXPECT_EQ(r.u32(), 23u);              // leaf: header + 3 data bytes, no padding
    EXPECT_EQ(r.type(), fourCC("hots"));
    EXPECT_EQ(r.u32(), 7u);
    r.skip(2);
    EXPECT_EQ(r.u16(), 0u);
    r.skip(4);
    EXPECT_EQ(r.u8(), 1);
    EXPECT_TRUE(r.ok());
}

TEST(AtomContainerEdit, IdZeroPicksAnIdUnusedByThatType)
{
    AtomContainer c;
    AtomRef a, b, other;
    ASSERT_EQ(c.insertChild(kRoot, fourCC("NDOB"), 5, 0), err::noErr);
    ASSERT_EQ(c.insertChild(kRoot, fourCC("NDOB"), 0, 0, {}, &a), err::noErr);
    ASSERT_EQ(c.insertChild(kRoot, fourCC("BKOB"), 0, 0, {}, &other), err::noErr);
    ASSERT_EQ(c.insertChild(kRoot, fourCC("NDOB"), 0, 0, {}, &b), err::noErr);
    EXPECT_EQ(c.id(a), 6u);
    EXPECT_EQ(c.id(b), 7u);
    EXPECT_EQ(c.id(other), 1u); // IDs are per type
    ASSERT_EQ(c.insertChild(kRoot, fourCC("NDOB"), 0xFFFFFFFFu, 0), err::noErr);
    AtomRef d;
    ASSERT_EQ(c.insertChild(kRoot, fourCC("NDOB"), 0, 0, {}, &d), err::noErr);
    EXPECT_EQ(c.id(d), 1u); // top of the range taken: smallest free
    EXPECT_EQ(c.insertChild(kRoot, fourCC("NDOB"), 6, 0), err::duplicateAtomTypeAndIDErr);
}

TEST(AtomContainerEdit, IndexOneInsertsFirstOfItsTypeAndZeroAppends)
{
    AtomContainer c;
    c.insertChild(kRoot, fourCC("aaaa"), 1, 0);
    c.insertChild(kRoot, fourCC("bbbb"), 1, 0);
    c.insertChild(kRoot, fourCC("aaaa"), 2, 0);
    ASSERT_EQ(c.insertChild(kRoot, fourCC("aaaa"), 3, 1), err::noErr);
    ASSERT_EQ(c.insertChild(kRoot, fourCC("aaaa"), 4, 3), err::noErr);
    std::vector<AtomID> order;
    for (int i = 1; i <= c.countChildren(kRoot, fourCC("aaaa")); ++i)
        order.push_back(c.id(c.findChild(kRoot, fourCC("aaaa"), i)));
    EXPECT_EQ(order, (std::vector<AtomID>{3, 1, 4, 2}));
    EXPECT_EQ(c.index(c.findChildById(kRoot, fourCC("aaaa"), 4)), 3);
    EXPECT_EQ(c.type(c.childAt(kRoot, 1)), fourCC("aaaa"));
    EXPECT_EQ(c.countChildren(kRoot), 5);
    EXPECT_EQ(c.insertChild(kRoot, fourCC("aaaa"), 9, 6), err::atomIndexInvalidErr);
    EXPECT_EQ(c.insertChild(kRoot, fourCC("aaaa"), 9, -1), err::atomIndexInvalidErr);
    EXPECT_TRUE(c.findChild(kRoot, fourCC("aaaa"), 5).isNull());
    EXPECT_TRUE(c.findChild(kRoot, fourCC("aaaa"), 0).isNull());
}

TEST(AtomContainerEdit, DataLivesOnlyInLeaves)
{
    AtomContainer c;
    AtomRef parent, leaf;
    c.insertChild(kRoot, fourCC("prnt"), 1, 0, {}, &parent);
    c.insertChild(parent, fourCC("leaf"), 1, 0, bytesOf({9}), &leaf);
    EXPECT_EQ(c.setData(parent, bytesOf({1})), err::notLeafAtomErr);
    EXPECT_EQ(c.insertChild(leaf, fourCC("kid "), 1, 0), err::cannotBeLeafAtomErr);
    EXPECT_EQ(c.setData(leaf, bytesOf({4, 5})), err::noErr);
    EXPECT_EQ(Bytes(c.data(leaf).begin(), c.data(leaf).end()), bytesOf({4, 5}));
    EXPECT_TRUE(c.data(parent).empty());
    EXPECT_EQ(c.setData(AtomRef(), bytesOf({1})), err::invalidAtomErr);
    EXPECT_EQ(c.insertChild(AtomRef(), fourCC("x   "), 1, 0), err::invalidAtomErr);
}

TEST(AtomContainerEdit, RemovingAnAtomTakesItsSubtreeAndInvalidatesOnlyThoseReferences)
{
    AtomContainer c;
    AtomRef keep, gone, child;
    c.insertChild(kRoot, fourCC("keep"), 1, 0, bytesOf({1}), &keep);
    c.insertChild(kRoot, fourCC("gone"), 1, 0, {}, &gone);
    c.insertChild(gone, fourCC("chld"), 1, 0, bytesOf({2}), &child);
    ASSERT_EQ(c.removeAtom(gone), err::noErr);
    EXPECT_FALSE(c.isValid(gone));
    EXPECT_FALSE(c.isValid(child));
    EXPECT_TRUE(c.isValid(keep));
    EXPECT_EQ(c.data(keep)[0], 1);
    EXPECT_EQ(c.removeAtom(gone), err::invalidAtomErr);
    EXPECT_EQ(c.removeAtom(kRoot), err::paramErr);
    EXPECT_EQ(c.serializedSize(), 32u + 21);

    c.insertChild(kRoot, fourCC("a   "), 1, 0);
    c.insertChild(kRoot, fourCC("b   "), 1, 0);
    c.insertChild(kRoot, fourCC("a   "), 2, 0);
    ASSERT_EQ(c.removeChildren(kRoot, fourCC("a   ")), err::noErr);
    EXPECT_EQ(c.countChildren(kRoot), 2);
    ASSERT_EQ(c.removeChildren(kRoot), err::noErr);
    EXPECT_EQ(c.serialize(), AtomContainer().serialize());
}

TEST(AtomContainerEdit, CopiesChildrenDeeplyBetweenAndWithinContainers)
{
    AtomContainer src;
    AtomRef hots;
    src.insertChild(kRoot, fourCC("hots"), 250, 0, {}, &hots);
    src.insertChild(hots, fourCC("hsin"), 1, 0, bytesOf({1, 2}));
    src.insertChild(kRoot, fourCC("hots"), 251, 0, {}, nullptr);

    AtomContainer dst;
    AtomRef hspa;
    dst.insertChild(kRoot, fourCC("hspa"), 1, 0, {}, &hspa);
    ASSERT_EQ(dst.copyChildren(src, kRoot, hspa), err::noErr);
    EXPECT_EQ(dst.countChildren(hspa, fourCC("hots")), 2);
    AtomRef copied = dst.findChildById(hspa, fourCC("hots"), 250);
    EXPECT_EQ(dst.data(dst.findChild(copied, fourCC("hsin")))[1], 2);

    // A second copy clashes on (type, ID) and changes nothing.
    Bytes before = dst.serialize();
    EXPECT_EQ(dst.copyChildren(src, kRoot, hspa), err::duplicateAtomTypeAndIDErr);
    EXPECT_EQ(dst.serialize(), before);

    // Copying a subtree into itself sees a snapshot, not its own additions.
    AtomRef inner;
    dst.insertChild(hspa, fourCC("nest"), 1, 0, {}, &inner);
    ASSERT_EQ(dst.copyChildren(dst, hspa, inner), err::noErr);
    EXPECT_EQ(dst.countChildren(inner), 3);
    EXPECT_EQ(dst.countChildren(dst.findChild(inner, fourCC("nest"))), 0);
}

TEST(AtomContainerParse, RoundTripsByteForByte)
{
    AtomContainer c;
    AtomRef a, b;
    c.insertChild(kRoot, fourCC("vrnp"), 1, 0, {}, &a);
    c.insertChild(a, fourCC("vrni"), 127, 0, {}, &b);
    c.insertChild(b, fourCC("nloc"), 1, 0, Bytes(24, 0xAB));
    c.insertChild(kRoot, fourCC("vrsg"), 3, 1, bytesOf({0, 1, 0, 1, 'x'})); // odd size
    c.insertChild(kRoot, fourCC("empt"), 1, 0);
    Bytes bytes = c.serialize();

    AtomContainer back;
    ASSERT_EQ(AtomContainer::parse(bytes, back), err::noErr);
    EXPECT_EQ(back.serialize(), bytes);
    AtomRef node = back.findChildById(back.findChild(kRoot, fourCC("vrnp")), fourCC("vrni"), 127);
    EXPECT_EQ(back.data(back.findChild(node, fourCC("nloc"))).size(), 24u);
    EXPECT_EQ(back.parent(node), back.findChild(kRoot, fourCC("vrnp")));

    // Bytes after the root atom (sample padding) are ignored.
    Bytes padded = bytes;
    padded.insert(padded.end(), 4, 0);
    ASSERT_EQ(AtomContainer::parse(padded, back), err::noErr);
    EXPECT_EQ(back.serialize(), bytes);
}

TEST(AtomContainerParse, DamagedInputGivesAnErrorAndLeavesTheTargetAlone)
{
    AtomContainer target;
    target.insertChild(kRoot, fourCC("keep"), 1, 0);
    Bytes keep = target.serialize();
    auto fails = [&](const Bytes& b, OSErr expected) {
        EXPECT_EQ(AtomContainer::parse(b, target), expected);
        EXPECT_EQ(target.serialize(), keep);
    };

    fails({}, err::eofErr);
    fails(Bytes(31, 0), err::eofErr);
    fails(containerWithRoot(40, 0, Bytes(20, 0)), err::invalidAtomContainerErr); // root with data
    fails(containerWithRoot(10, 0, {}), err::invalidAtomContainerErr);           // size below header
    fails(containerWithRoot(60, 1, {}), err::eofErr);                            // root past the end

    ByteWriter leaf;
    atomHeader(leaf, 24, "leaf", 1, 0);
    leaf.u32(0);
    fails(containerWithRoot(44, 2, leaf.data()), err::eofErr); // child count too high
    Bytes two = leaf.data();
    two.insert(two.end(), leaf.data().begin(), leaf.data().end());
    fails(containerWithRoot(68, 1, two), err::invalidAtomContainerErr); // child count too low

    ByteWriter past;
    atomHeader(past, 4000, "leaf", 1, 0);
    fails(containerWithRoot(40, 1, past.data()), err::eofErr); // child size past its parent

    ByteWriter tiny;
    atomHeader(tiny, 8, "leaf", 1, 0);
    fails(containerWithRoot(40, 1, tiny.data()), err::invalidAtomContainerErr);

    // A chain nested deeper than any real container, each level claiming one child.
    const int levels = AtomContainer::kMaxDepth + 5;
    ByteWriter deep;
    for (int i = 0; i < levels; ++i)
        atomHeader(deep, std::uint32_t(20 * (levels - i)), "deep", 1, i + 1 < levels ? 1 : 0);
    fails(containerWithRoot(std::uint32_t(20 + 20 * levels), 1, deep.data()), err::invalidAtomContainerErr);

    // A child count of 65535 over a few bytes must not make the parser reserve for 65535 atoms.
    fails(containerWithRoot(44, 0xFFFF, leaf.data()), err::eofErr);
}

// Every atom container inside the real QuickTime VR files (VR worlds, node headers, panorama
// samples with hot spots) parses and serializes back to exactly its original bytes.
TEST(AtomContainerParse, RealQtvrContainersRoundTrip)
{
    auto dir = qm::test::samplesDir();
    QM_REQUIRE_SAMPLE(dir / "wyk_pano_8.mov");
    int found = 0;
    for (const char* name : {"wyk_pano_8.mov", "osu_facilities-panorama-sm.mov", "cuty_CuTy.mov"}) {
        auto path = dir / name;
        if (!std::filesystem::exists(path))
            continue;
        std::ifstream in(path, std::ios::binary);
        Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        // Each container's root atom is 'sean', 16 bytes after the container's first byte.
        for (std::size_t p = 16; p + 4 <= file.size(); ++p) {
            if (loadBE32(&file[p]) != fourCC("sean"))
                continue;
            std::span<const std::uint8_t> rest(file.data() + p - 16, file.size() - (p - 16));
            AtomContainer c;
            ASSERT_EQ(AtomContainer::parse(rest, c), err::noErr) << name << " at " << p;
            Bytes out = c.serialize();
            EXPECT_TRUE(std::equal(out.begin(), out.end(), rest.begin())) << name << " at " << p;
            ++found;
        }
    }
    EXPECT_GE(found, 6);
}
