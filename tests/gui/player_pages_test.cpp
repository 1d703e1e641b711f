// The Compose and Preview pages of the scene window and the movie window, over the demo scene
// that quillmere-cli makes and composes.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QWheelEvent>
#include <filesystem>
#include <optional>

#include "compose/composed_movie.h"
#include "framework/dialog_items.h"
#include "framework/scene_document.h"
#include "gui/gui_test_environment.h"
#include "gui/shell_fixture.h"
#include "compose/working_copies.h"
#include "nodes/movie_window.h"
#include "nodes/node_browser.h"
#include "nodes/node_preview.h"
#include "quicktime/atoms/atom_container.h"
#include "quicktime/base/byte_io.h"
#include "quicktime/movie/movie.h"
#include "quicktime/vr/vr_instance.h"
#include "scene/compose_page.h"
#include "scene/compression_dialog.h"
#include "scene/preview_page.h"
#include "scene/scene_window.h"
#include "support/ffprobe_oracle.h"
#include "support/test_paths.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

class PlayerPages : public test::ShellTest {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new test::TempDir;
        std::string out;
        s_status = test::runCommand("'" + test::cliPath().string() + "' demo '" + s_dir->path().string() + "' 2>&1", &out);
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }

    void openDemo()
    {
        ASSERT_EQ(s_status, 0);
        // A copy per test: the tests change the project.
        fs::copy_file(s_dir->path() / "Demo.qmp", path("Demo.qmp"));
        fs::copy(s_dir->path() / "Media", path("Media"), fs::copy_options::recursive);
        startShell({QString::fromStdString(path("Demo.qmp").string())});
        ASSERT_NE(sceneWindow(), nullptr);
    }

    ComposePage* composePage() const { return qobject_cast<ComposePage*>(sceneWindow()->page()); }
    PreviewPage* previewPage() const { return qobject_cast<PreviewPage*>(sceneWindow()->page()); }
    QString text(int id) const { return item<QLabel>(id)->text(); }

    static test::TempDir* s_dir;
    static int s_status;
};

test::TempDir* PlayerPages::s_dir = nullptr;
int PlayerPages::s_status = -1;

TEST_F(PlayerPages, ComposingFromTheComposePageEnablesThePreviewOfTheInitialNode)
{
    openDemo();
    ASSERT_TRUE(sceneWindow()->choosePage(4));
    ASSERT_NE(composePage(), nullptr);
    // Clear asks first; Cancel keeps the movie.
    ASSERT_TRUE(item<QPushButton>(440)->isEnabled());
    test::testAlerts().queueAnswer(AlertButton::Cancel);
    item<QPushButton>(440)->click();
    EXPECT_NE(scene().composedAt, 0u);
    test::testAlerts().queueAnswer(AlertButton::Ok);
    item<QPushButton>(440)->click();
    EXPECT_EQ(scene().composedAt, 0u);
    EXPECT_TRUE(scene().composedMovieFile.empty());
    EXPECT_FALSE(item<QPushButton>(440)->isEnabled());
    EXPECT_EQ(sceneWindow()->enabledTabCount(), 4);

    item<QPushButton>(439)->click();
    ASSERT_NE(scene().composedAt, 0u);
    ASSERT_TRUE(fs::exists(scene().composedMovieFile));
    EXPECT_EQ(sceneWindow()->enabledTabCount(), 5);
    EXPECT_TRUE(item<QPushButton>(440)->isEnabled());

    ASSERT_TRUE(sceneWindow()->choosePage(5));
    ASSERT_NE(previewPage(), nullptr);
    MovieWindow* window = previewPage()->movieWindow();
    ASSERT_TRUE(window->hasMovie());
    QTVRInstance* vr = window->vrInstance();
    ASSERT_NE(vr, nullptr);
    // The initial node: the first node in the scene's array (none is flagged initial).
    EXPECT_EQ(QTVRGetCurrentNodeID(vr), std::uint32_t(scene().nodes.front().id));
    EXPECT_EQ(text(483), PreviewPage::nodeIdText(scene().nodes.front().id));
    EXPECT_EQ(text(482), QString::fromStdString(scene().nodes.front().name.str()));
    EXPECT_EQ(text(484), PreviewPage::angleText(QTVRGetPanAngle(vr)));
    EXPECT_TRUE(text(487).endsWith('K'));
    EXPECT_FALSE(window->lastFrame().isNull());
}

TEST_F(PlayerPages, TheMovieWindowTurnsAndZooms)
{
    openDemo();
    ASSERT_TRUE(sceneWindow()->choosePage(5));
    MovieWindow* window = previewPage()->movieWindow();
    window->resize(500, 400);
    QTVRInstance* vr = window->vrInstance();
    ASSERT_NE(vr, nullptr);
    const QRect box = window->movieBox();

    // Arrow keys turn; the pan grows to the left.
    const float pan = QTVRGetPanAngle(vr);
    QTest::keyClick(window, Qt::Key_Left);
    EXPECT_GT(std::fmod(QTVRGetPanAngle(vr) - pan + 360, 360.0f), 0.0f);
    EXPECT_LT(std::fmod(QTVRGetPanAngle(vr) - pan + 360, 360.0f), 180.0f);

    // A drag to the right turns right, the longer the further the pointer is.
    const float before = QTVRGetPanAngle(vr);
    QTest::mousePress(window, Qt::LeftButton, {}, box.center());
    QTest::mouseMove(window, box.center() + QPoint(80, 0));
    QTest::qWait(200);
    QTest::mouseRelease(window, Qt::LeftButton, {}, box.center() + QPoint(80, 0));
    const float turned = std::fmod(before - QTVRGetPanAngle(vr) + 360, 360.0f);
    EXPECT_GT(turned, 0.5f);
    EXPECT_LT(turned, 180.0f);

    // The wheel and the bar's buttons zoom.
    const float fov = QTVRGetFieldOfView(vr);
    QWheelEvent wheel(QPointF(box.center()), QPointF(window->mapToGlobal(box.center())), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(window, &wheel);
    EXPECT_LT(QTVRGetFieldOfView(vr), fov);
    const float zoomed = QTVRGetFieldOfView(vr);
    const QRect bar = window->barRect();
    QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(bar.left() + 8, bar.center().y()));
    EXPECT_GT(QTVRGetFieldOfView(vr), zoomed);

    // The bar's third button shows the hot spots.
    QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(bar.left() + 40, bar.center().y()));
    EXPECT_TRUE(window->hotSpotsShown());
}

TEST_F(PlayerPages, PlaybackSizeIsLimitedAndReadoutsUseTheirFormats)
{
    openDemo();
    ASSERT_TRUE(sceneWindow()->choosePage(5));
    typeInto(477, "2000");
    typeInto(476, "50");
    leaveField(476);
    EXPECT_EQ(scene().playbackWidth, 1024);
    EXPECT_EQ(scene().playbackHeight, 64);
    EXPECT_TRUE(document().isDirty());
    // A size larger than the window is kept within it.
    MovieWindow* window = previewPage()->movieWindow();
    window->resize(300, 200);
    EXPECT_EQ(window->movieBox().width(), 298);
    EXPECT_EQ(window->movieBox().height(), 64);

    EXPECT_EQ(PreviewPage::angleText(90.0f), QString("90.0") + QChar(0xB0));
    EXPECT_EQ(PreviewPage::angleText(-12.34f), QString("-12.3") + QChar(0xB0));
    EXPECT_EQ(PreviewPage::nodeIdText(7), "007");
    EXPECT_EQ(PreviewPage::sizeText(123456), "123.5K");
}

// The world's panorama imaging quality codes (static, motion) of a composed movie.
std::pair<std::uint32_t, std::uint32_t> imagingQualities(const fs::path& file)
{
    std::unique_ptr<Movie> movie;
    if (Movie::open(file, MovieOpenMode::read, movie))
        return {};
    std::unique_ptr<QTVRInstance> vr;
    QTVRGetQTVRInstance(vr, QTVRGetQTVRTrack(*movie, 1));
    AtomContainer world;
    QTVRGetVRWorld(vr.get(), world);
    const AtomRef imgp = world.findChild(AtomContainer::kRoot, fourCC("imgp"));
    auto quality = [&](AtomID id) {
        const auto d = world.data(world.findChildById(imgp, fourCC("impn"), id));
        return d.size() >= 20 ? loadBE32(d.data() + 16) : 0u;
    };
    return {quality(1), quality(2)};
}

TEST_F(PlayerPages, ImagingPlaybackAnnotateAndExportChangeTheComposedMovie)
{
    openDemo();
    ASSERT_TRUE(sceneWindow()->choosePage(5));
    const fs::path movie = scene().composedMovieFile;
    EXPECT_EQ(imagingQualities(movie), std::make_pair(768u, 256u));

    // Imaging: static quality low, motion quality high.
    test::onNextModal([](QDialog* d) {
        auto sliders = d->findChildren<QSlider*>();
        ASSERT_EQ(sliders.size(), 4);
        sliders[0]->setValue(0);
        sliders[2]->setValue(2);
        test::clickItem(d, 1);
    });
    item<QPushButton>(479)->click();
    EXPECT_EQ(scene().imaging.staticQuality, 1);
    EXPECT_EQ(scene().imaging.motionQuality, 3);
    EXPECT_EQ(imagingQualities(movie), std::make_pair(256u, 768u));
    ASSERT_TRUE(previewPage()->movieWindow()->hasMovie());
    EXPECT_EQ(previewPage()->movieWindow()->player()->stillQuality(), ImagingQuality::Nearest);

    // Playback: preload gives every track load settings that preload it whole.
    test::onNextModal([](QDialog* d) {
        for (QCheckBox* box : d->findChildren<QCheckBox*>())
            box->setChecked(true);
        test::clickItem(d, 1);
    });
    item<QPushButton>(480)->click();
    {
        std::unique_ptr<Movie> m;
        ASSERT_EQ(Movie::open(movie, MovieOpenMode::read, m), 0);
        TimeValue time = 0, duration = 0;
        std::uint32_t flags = 0, hints = 0;
        ASSERT_TRUE(m->track(1)->loadSettings(time, duration, flags, hints));
        EXPECT_EQ(time, -1);
        EXPECT_EQ(flags, 1u);
        EXPECT_EQ(hints, scene().playbackHints & 0xFFFF);
    }

    // Annotate: the name goes into the movie.
    test::onNextModal([](QDialog* d) {
        auto edits = d->findChildren<QLineEdit*>();
        ASSERT_FALSE(edits.empty());
        edits[0]->setText("Harbour Walk");
        test::clickItem(d, 1);
    });
    item<QPushButton>(478)->click();
    MovieAnnotations a;
    ASSERT_EQ(readComposedAnnotations(scene(), a), 0);
    EXPECT_EQ(a.name, "Harbour Walk");

    // Export writes the movie under the chosen name; ffprobe opens it.
    const fs::path exported = path("Walk.mov");
    dialogs->saveAnswers.push_back(QString::fromStdString(exported.string()));
    item<QPushButton>(481)->click();
    ASSERT_TRUE(fs::exists(exported));
    EXPECT_EQ(fs::file_size(exported), fs::file_size(movie));
    if (test::ffprobeAvailable()) {
        const test::ProbeResult probe = test::probeMovie(exported);
        EXPECT_EQ(probe.exitStatus, 0) << probe.errors;
    }
}

TEST_F(PlayerPages, ComposePageEnablingAndReadouts)
{
    openDemo();
    Scene& s = document().editableScene();
    s.compression[kObjectCompression].enabled = true;
    s.compression[kObjectCompression].codecType = fourCC("jpeg");
    s.compression[kObjectCompression].spatialQuality = 1023;
    s.compression[kObjectCompression].colorDepth = 0;
    s.compression[kMovieCompression].codecType = fourCC("jpeg");
    ASSERT_TRUE(sceneWindow()->choosePage(4));
    // The demo has panoramas, an object and a still image but no movie.
    EXPECT_TRUE(item<QCheckBox>(443)->isEnabled());
    EXPECT_TRUE(item<QCheckBox>(452)->isEnabled());
    EXPECT_TRUE(item<QCheckBox>(460)->isEnabled());
    EXPECT_FALSE(item<QCheckBox>(468)->isEnabled());
    // Depth 0 shows "16 bit (Thousands)" and becomes 16.
    EXPECT_EQ(item<QComboBox>(454)->currentText(), "16 bit (Thousands)");
    EXPECT_EQ(scene().compression[kObjectCompression].colorDepth, 16);
    EXPECT_EQ(item<QLabel>(456)->text(), "Maximum (99)");
    EXPECT_EQ(item<QLabel>(455)->text(), "Photo - JPEG");
    EXPECT_TRUE(item<QPushButton>(453)->isEnabled());

    // Choosing the stored depth keeps composed-at; another one clears it.
    const std::uint32_t composed = scene().composedAt;
    ASSERT_NE(composed, 0u);
    choose(454, 1);
    EXPECT_EQ(scene().composedAt, composed);
    choose(454, 2);
    EXPECT_EQ(scene().compression[kObjectCompression].colorDepth, 32);
    EXPECT_EQ(scene().composedAt, 0u);
    EXPECT_FALSE(item<QPushButton>(440)->isEnabled());

    // Unchecking greys the group.
    item<QCheckBox>(452)->click();
    EXPECT_FALSE(scene().compression[kObjectCompression].enabled);
    EXPECT_FALSE(item<QPushButton>(453)->isEnabled());
    EXPECT_FALSE(item<QComboBox>(454)->isEnabled());

    EXPECT_EQ(ComposePage::qualityText(1024), "Maximum (100)");
    EXPECT_EQ(ComposePage::qualityText(768), "High (75)");
    EXPECT_EQ(ComposePage::qualityText(512), "Normal (50)");
    EXPECT_EQ(ComposePage::qualityText(0), "Minimum (0)");

    // Set: the compression dialog's choices come back and are remembered for the next record
    // that names no compressor.
    item<QCheckBox>(443)->click();
    ASSERT_TRUE(scene().compression[kPanoramaCompression].enabled);
    test::onNextModal([](QDialog* d) {
        auto* codec = d->findChild<QComboBox*>("compressor");
        ASSERT_NE(codec, nullptr);
        codec->setCurrentIndex(codec->findText("PNG"));
        d->findChild<QSlider*>("quality")->setValue(300);
        test::clickItem(d, 1);
    });
    item<QPushButton>(445)->click();
    EXPECT_EQ(scene().compression[kPanoramaCompression].codecType, fourCC("png "));
    EXPECT_EQ(scene().compression[kPanoramaCompression].spatialQuality, 300u);
    EXPECT_EQ(item<QLabel>(446)->text(), "Low (29)");
    CompressionSettings blank;
    CompressionDialog again(blank, false);
    EXPECT_EQ(again.settings().codecType, fourCC("png "));
    EXPECT_EQ(again.settings().spatialQuality, 300u);
}

// Turns the view until a link hot spot lies under some pixel; the pixel (view coordinates).
std::optional<QPoint> findLink(MovieWindow* window, std::uint32_t* destination = nullptr)
{
    QTVRInstance* vr = window->vrInstance();
    VRPlayer* player = window->player();
    const QRect box = window->movieBox();
    for (int turn = 0; turn < 24; ++turn) {
        QTVRSetPanAngle(vr, float(turn * 15));
        window->viewChangedOutside();
        for (int y = box.height() / 4; y < box.height() * 3 / 4; y += 5)
            for (int x = box.width() / 4; x < box.width() * 3 / 4; x += 5) {
                const std::uint32_t id = player->hotSpotAt(x, y);
                const QTVRHotSpot* h = id ? vr->hotSpot(id) : nullptr;
                if (h && h->linkNode) {
                    if (destination)
                        *destination = h->linkNode;
                    return QPoint(x, y);
                }
            }
    }
    return std::nullopt;
}

TEST_F(PlayerPages, NodePreviewFollowsLinksShowsWhereItCameFromAndGoesBack)
{
    openDemo();
    WorkingCopies copies;
    {
        NodePreview preview(document(), copies);
        preview.resize(700, 450);
        preview.show();
        const Node& first = scene().nodes.front();
        ASSERT_EQ(preview.showNode(first.id), 0);
        MovieWindow* window = preview.movieWindow();
        ASSERT_NE(window->vrInstance(), nullptr);
        EXPECT_EQ(items::item<QLabel>(&preview, 536)->text(), PreviewPage::nodeIdText(first.id));
        EXPECT_FALSE(items::item<QPushButton>(&preview, 544)->isEnabled());

        std::uint32_t destination = 0;
        const auto at = findLink(window, &destination);
        ASSERT_TRUE(at.has_value());
        QTVRInstance* vr = window->vrInstance();
        const float fromPan = QTVRGetPanAngle(vr), fromTilt = QTVRGetTiltAngle(vr), fromFov = QTVRGetFieldOfView(vr);
        QTest::mouseClick(window, Qt::LeftButton, {}, window->movieBox().topLeft() + *at);
        preview.runPendingSwitch();
        ASSERT_EQ(preview.nodeId(), std::int16_t(destination));
        // The destination shows its own opening view (the demo's links set no view).
        const Node* dest = findNode(scene(), std::int16_t(destination));
        ASSERT_NE(dest, nullptr);
        vr = window->vrInstance();
        if (const auto* p = std::get_if<PanoramaSampleRecord>(&dest->mediaData)) {
            EXPECT_NEAR(QTVRGetFieldOfView(vr), p->defaultFieldOfView, 0.01);
        }
        ASSERT_TRUE(preview.linkViewFrom().has_value());
        EXPECT_EQ(items::item<QLabel>(&preview, 545)->text(), QString::fromStdString(first.name.str()));
        EXPECT_EQ(items::item<QLabel>(&preview, 546)->text(), PreviewPage::nodeIdText(first.id));
        EXPECT_EQ(items::item<QLabel>(&preview, 547)->text(), PreviewPage::angleText(0));
        EXPECT_TRUE(items::item<QPushButton>(&preview, 544)->isEnabled());

        // Link Set stores the view on arrival in the source's link hot spot.
        QTVRSetPanAngle(vr, 33);
        preview.refreshReadouts();
        ASSERT_TRUE(items::item<QPushButton>(&preview, 542)->isEnabled());
        items::item<QPushButton>(&preview, 542)->click();
        const HotSpot* spot = nullptr;
        for (const HotSpot& h : findNode(scene(), first.id)->hotSpots)
            if (h.id == preview.linkViewFrom()->hotSpotId)
                spot = &h;
        ASSERT_NE(spot, nullptr);
        EXPECT_TRUE(spot->customLinkView);
        EXPECT_NEAR(spot->linkView.pan, 33, 0.01);

        // Back: the source at the view it had.
        items::item<QPushButton>(&preview, 544)->click();
        EXPECT_EQ(preview.nodeId(), first.id);
        vr = window->vrInstance();
        EXPECT_NEAR(QTVRGetPanAngle(vr), fromPan, 0.01);
        EXPECT_NEAR(QTVRGetTiltAngle(vr), fromTilt, 0.01);
        EXPECT_NEAR(QTVRGetFieldOfView(vr), fromFov, 0.01);
        EXPECT_FALSE(preview.linkViewFrom().has_value());

        // Following the same link again now arrives at the stored view, the other components
        // kept from the destination's opening view.
        QTest::mouseClick(window, Qt::LeftButton, {}, window->movieBox().topLeft() + *at);
        preview.runPendingSwitch();
        vr = window->vrInstance();
        EXPECT_NEAR(QTVRGetPanAngle(vr), 33, 0.01);

        // Initial Set stores the current view as the node's default; within 0.05 it is off.
        QTVRSetPanAngle(vr, 123.4f);
        QTVRSetFieldOfView(vr, 30);
        preview.refreshReadouts();
        ASSERT_TRUE(items::item<QPushButton>(&preview, 540)->isEnabled());
        items::item<QPushButton>(&preview, 540)->click();
        const Node* now = findNode(scene(), preview.nodeId());
        float storedPan = 0, storedFov = 0;
        if (const auto* p = std::get_if<PanoramaSampleRecord>(&now->mediaData))
            storedPan = p->defaultPan, storedFov = p->defaultFieldOfView;
        else if (const auto* o = std::get_if<ObjectSampleRecord>(&now->mediaData))
            storedPan = o->defaultPan, storedFov = o->defaultFieldOfView;
        EXPECT_NEAR(storedPan, QTVRGetPanAngle(vr), 0.01);
        EXPECT_NEAR(storedFov, QTVRGetFieldOfView(vr), 0.01);
        QTVRSetPanAngle(vr, 123.43f);
        preview.refreshReadouts();
        EXPECT_FALSE(items::item<QPushButton>(&preview, 540)->isEnabled());
        EXPECT_FALSE(items::item<QPushButton>(&preview, 541)->isEnabled());
        EXPECT_TRUE(NodePreview::sameAngle(1.0f, 1.049f));
        EXPECT_FALSE(NodePreview::sameAngle(1.0f, 1.06f));
    }
    copies.discardAll();
}

TEST_F(PlayerPages, TheBrowsersPreviewTabFollowsALinkToItsDestination)
{
    openDemo();
    const std::int16_t first = scene().nodes.front().id;
    NodeBrowser* browser = NodeBrowser::open(document(), first);
    ASSERT_NE(browser, nullptr);
    ASSERT_TRUE(browser->switchTab(NodeBrowser::kPreviewTab));
    NodePreview* preview = browser->previewPage();
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(preview->nodeId(), first);
    std::uint32_t destination = 0;
    const auto at = findLink(preview->movieWindow(), &destination);
    ASSERT_TRUE(at.has_value());
    QTest::mouseClick(preview->movieWindow(), Qt::LeftButton, {}, preview->movieWindow()->movieBox().topLeft() + *at);
    preview->runPendingSwitch();
    EXPECT_EQ(browser->currentNodeId(), std::int16_t(destination));
    EXPECT_EQ(preview->nodeId(), std::int16_t(destination));
    EXPECT_TRUE(findNode(scene(), std::int16_t(destination))->selected);
    EXPECT_FALSE(findNode(scene(), first)->selected);
    ASSERT_TRUE(preview->linkViewFrom().has_value());
    EXPECT_EQ(preview->linkViewFrom()->sourceId, first);
    // Back returns the browser to the source.
    preview->back();
    EXPECT_EQ(browser->currentNodeId(), first);
    browser->close();
}

} // namespace
} // namespace qm
