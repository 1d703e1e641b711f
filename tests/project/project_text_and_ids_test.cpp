// Old project files as the Windows program left them: 8-bit names filling their fields, and
// nodes whose hot spots share IDs.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "project/hot_spot_ids.h"
#include "project/project_format.h"
#include "project/project_reader.h"
#include "project/project_records.h"
#include "project/project_writer.h"
#include "quicktime/atoms/atom_container.h"
#include "quicktime/base/errors.h"
#include "support/test_paths.h"
#include "test_scenes.h"

using namespace qm;
using qm::test::TempDir;

namespace {

constexpr AtomRef kRoot = AtomContainer::kRoot;

Bytes withTrailer(Bytes container)
{
    project::Trailer t;
    t.containerOffset = 0;
    t.containerLength = std::uint32_t(container.size());
    auto trailer = project::makeTrailer(t);
    container.insert(container.end(), trailer.begin(), trailer.end());
    return container;
}

Bytes editNodeList(const Bytes& container, const std::function<void(AtomContainer&)>& edit)
{
    AtomContainer top;
    EXPECT_EQ(AtomContainer::parse(container, top), 0);
    const AtomRef atom = top.findChild(kRoot, project::kNodeList);
    AtomContainer sub;
    EXPECT_EQ(AtomContainer::parse(top.data(atom), sub), 0);
    edit(sub);
    top.setData(atom, sub.serialize());
    return top.serialize();
}

// A string chunk as the old program wrote it: the 8-bit characters and a terminator.
Bytes rawChunk(const std::string& bytes)
{
    Bytes out(project::kStringChunkPrefix + bytes.size() + 1, 0);
    std::copy(bytes.begin(), bytes.end(), out.begin() + std::ptrdiff_t(project::kStringChunkPrefix));
    return out;
}

std::string repeat(std::string_view s, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

} // namespace

TEST(ProjectText, AnOldFullLengthAccentedNameSurvivesOpenAndSave)
{
    TempDir dir;
    Scene scene = makeNewScene();
    Node n;
    n.id = 1;
    n.name = "x";
    n.comment = "y";
    scene.nodes.push_back(n);
    // 63 Windows-1252 characters "Säle Köln ..." filling the name field, 255 in the comment.
    const std::string oldName = repeat("S\xE4le K\xF6ln ", 6) + "\xC9t\xE9";
    ASSERT_EQ(oldName.size(), 63u);
    const std::string oldComment = repeat("\x93\xE9\x94", 85);
    const Bytes container = editNodeList(buildProjectContainer(scene), [&](AtomContainer& c) {
        const AtomRef node = c.findChild(kRoot, project::kNode);
        c.setData(c.findChild(node, project::kNodeName), rawChunk(oldName));
        c.setData(c.findChild(node, project::kNodeComment), rawChunk(oldComment));
    });
    test::writeFile(dir / "old.qmp", withTrailer(container));

    Scene opened;
    ASSERT_EQ(openProject(dir / "old.qmp", opened), err::noErr);
    const std::string name = repeat("S\xC3\xA4le K\xC3\xB6ln ", 6) + "\xC3\x89t\xC3\xA9";
    EXPECT_EQ(opened.nodes[0].name.str(), name) << "read as Windows-1252, nothing cut";
    EXPECT_EQ(opened.nodes[0].comment.str(), repeat("\xE2\x80\x9C\xC3\xA9\xE2\x80\x9D", 85));

    // Saved again, the fields hold the same 8-bit bytes.
    ASSERT_EQ(saveProject(opened, dir / "again.qmp"), err::noErr);
    const Bytes saved = test::readFile(dir / "again.qmp");
    AtomContainer top;
    ASSERT_EQ(AtomContainer::parse(Bytes(saved.begin(), saved.end() - project::kTrailerSize), top), 0);
    AtomContainer nodes;
    ASSERT_EQ(AtomContainer::parse(top.data(top.findChild(kRoot, project::kNodeList)), nodes), 0);
    const AtomRef node = nodes.findChild(kRoot, project::kNode);
    const auto nameChunk = nodes.data(nodes.findChild(node, project::kNodeName));
    EXPECT_EQ(Bytes(nameChunk.begin(), nameChunk.end()), rawChunk(oldName));
    const auto commentChunk = nodes.data(nodes.findChild(node, project::kNodeComment));
    EXPECT_EQ(Bytes(commentChunk.begin(), commentChunk.end()), rawChunk(oldComment));

    // Text that Windows-1252 cannot hold is written as UTF-8 and read back as it was.
    opened.nodes[0].name = "\xCE\x91\xCE\xB8\xCE\xAE\xCE\xBD\xCE\xB1 \xC3\xA9";
    ASSERT_EQ(saveProject(opened, dir / "greek.qmp"), err::noErr);
    Scene greek;
    ASSERT_EQ(openProject(dir / "greek.qmp", greek), err::noErr);
    EXPECT_EQ(greek.nodes[0].name.str(), "\xCE\x91\xCE\xB8\xCE\xAE\xCE\xBD\xCE\xB1 \xC3\xA9");
}

TEST(ProjectHotSpotIds, RepeatedIdsGetFreeIdsWithOneReport)
{
    TempDir dir;
    Scene scene = makeNewScene();
    for (std::int16_t nodeId : {1, 2}) {
        Node n;
        n.id = nodeId;
        for (std::int16_t id : {3, 3, 5, 3, 1})
            n.hotSpots.push_back(test::makeHotSpot(HotSpotShape::kRectangle, id));
        scene.nodes.push_back(n);
    }
    // A node holding every usable ID and one repeat: the repeat is kept without an ID.
    Node full;
    full.id = 3;
    for (std::int16_t id = 1; id <= kMaxHotSpotId; ++id)
        full.hotSpots.push_back(test::makeHotSpot(HotSpotShape::kRectangle, id));
    full.hotSpots.push_back(test::makeHotSpot(HotSpotShape::kRectangle, 7));
    scene.nodes.push_back(full);
    ASSERT_EQ(saveProject(scene, dir / "ids.qmp"), err::noErr);

    HeadlessProjectReaderUi ui;
    ProjectReadOptions options;
    options.ui = &ui;
    Scene s;
    ASSERT_EQ(openProject(dir / "ids.qmp", s, options), err::noErr);
    for (int k = 0; k < 2; ++k) {
        std::vector<std::int16_t> ids;
        for (const HotSpot& h : s.nodes[std::size_t(k)].hotSpots)
            ids.push_back(h.id);
        EXPECT_EQ(ids, (std::vector<std::int16_t>{3, 2, 5, 4, 1})) << "the first keeps its ID";
    }
    EXPECT_EQ(s.nodes[2].hotSpots.back().id, 0);
    EXPECT_EQ(s.nodes[2].hotSpots[6].id, 7);
    ASSERT_EQ(ui.reports().size(), 1u);
    EXPECT_EQ(ui.reports()[0].code, err::nodesGivenIds);

    // Saved and opened again, nothing more is reported.
    ASSERT_EQ(saveProject(s, dir / "ids.qmp"), err::noErr);
    HeadlessProjectReaderUi quiet;
    options.ui = &quiet;
    ASSERT_EQ(openProject(dir / "ids.qmp", s, options), err::noErr);
    EXPECT_TRUE(quiet.reports().empty());
}
