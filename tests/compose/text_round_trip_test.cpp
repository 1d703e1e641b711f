// A full-length accented name through the whole program: project file, composed movie, import.
#include <gtest/gtest.h>

#include "appcore/progress.h"
#include "compose/composer.h"
#include "compose_test_scene.h"
#include "media/node_import.h"
#include "media/qtvr_structure.h"
#include "project/project_format.h"
#include "project/project_reader.h"
#include "project/project_writer.h"
#include "quicktime/base/byte_io.h"
#include "quicktime/movie/movie.h"
#include "quicktime/vr/vr_instance.h"
#include "support/qtvr_fixtures.h"
#include "support/test_paths.h"

#include <fstream>
#include <iterator>

using namespace qm;
using namespace qm::test;

namespace {

// The 8-bit characters of the first node's name as the project file stores them.
std::string storedNodeName(const std::filesystem::path& projectFile)
{
    std::ifstream in(projectFile, std::ios::binary);
    const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    AtomContainer top;
    EXPECT_EQ(AtomContainer::parse(Bytes(file.begin(), file.end() - project::kTrailerSize), top), 0);
    AtomContainer nodes;
    EXPECT_EQ(AtomContainer::parse(top.data(top.findChild(AtomContainer::kRoot, project::kNodeList)), nodes), 0);
    const auto chunk = nodes.data(nodes.findChild(nodes.findChild(AtomContainer::kRoot, project::kNode), project::kNodeName));
    if (chunk.size() <= project::kStringChunkPrefix)
        return {};
    std::string text(chunk.begin() + project::kStringChunkPrefix, chunk.end());
    return text.substr(0, text.find('\0'));
}

} // namespace

TEST(TextRoundTrip, AccentedFullLengthNameSurvivesSaveComposeAndImport)
{
    TempDir dir;
    const auto media = dir / "pano.mov";
    ASSERT_EQ(writePanorama2x(media, Panorama2xFixture{}), 0);
    Scene scene = baseScene();
    std::int16_t id = 0;
    ASSERT_EQ(AddNodeFromFile(scene, Point{100, 100}, media, false, {}, &id), 0);
    // 63 characters, every one in Windows-1252: "Élysée ..." (87 bytes of UTF-8).
    std::string name;
    for (int i = 0; i < 8; ++i)
        name += "\xC3\x89lys\xC3\xA9" "e ";
    name += "\xE2\x82\xAC" "\xC3\xB1" "\xC3\xB8" "\xC3\x9F" "\xC3\xBC" "\xC3\xA5" "\xC3\xA7";
    scene.nodes.back().name = name;
    ASSERT_EQ(scene.nodes.back().name.str(), name) << "the field holds 63 characters";

    ASSERT_EQ(saveProject(scene, dir / "p.qmp"), 0);
    Scene opened;
    ASSERT_EQ(openProject(dir / "p.qmp", opened), 0);
    ASSERT_EQ(opened.nodes.size(), 1u);
    EXPECT_EQ(opened.nodes[0].name.str(), name);
    ASSERT_EQ(saveProject(opened, dir / "p.qmp"), 0);
    const std::string stored = storedNodeName(dir / "p.qmp");
    EXPECT_EQ(stored.size(), 63u);

    TestMedia files;
    files.files[opened.nodes[0].id] = media;
    WorkingCopies copies;
    NullProgress progress;
    ASSERT_EQ(composeScene(opened, copies, files.environment(dir.path()), progress), 0);

    // The composed movie names the node in the same 8-bit bytes, with its encoding.
    std::unique_ptr<Movie> movie;
    ASSERT_EQ(Movie::open(opened.composedMovieFile, MovieOpenMode::read, movie), 0);
    std::unique_ptr<QTVRInstance> instance;
    ASSERT_EQ(QTVRGetQTVRInstance(instance, QTVRGetQTVRTrack(*movie, 1)), 0);
    const std::uint32_t nodeId = std::uint32_t(opened.nodes[0].id);
    NodeHeaderBytes header;
    ASSERT_EQ(GetNodeHeader(instance.get(), nodeId, header), 0);
    AtomContainer info;
    ASSERT_EQ(QTVRGetNodeInfo(instance.get(), nodeId, info), 0);
    const AtomID nameId = loadBE32(header.data() + 12);
    EXPECT_EQ(GetStringAtom(&info, AtomContainer::kRoot, nameId), std::optional<std::string>(stored));
    const auto encoding = info.data(info.findChildById(AtomContainer::kRoot, fourCC("vrse"), nameId));
    ASSERT_EQ(encoding.size(), 4u);
    EXPECT_EQ(loadBE32(encoding.data()), 0x0500u) << "Windows Latin 1";
    movie.reset();

    // Imported again, the node has the name it was composed with.
    const auto composed = dir / "composed.mov";
    std::filesystem::copy_file(opened.composedMovieFile, composed);
    Scene again = baseScene();
    ASSERT_EQ(AddNodeFromFile(again, Point{100, 100}, composed, false), 0);
    EXPECT_EQ(again.nodes.back().name.str(), name);
}
