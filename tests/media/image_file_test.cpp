// Still image readers: the pixels they give for pictures built byte by byte, and damaged files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "quicktime/base/byte_io.h"
#include "quicktime/base/errors.h"
#include "quicktime/files/image_file.h"
#include "quicktime/files/image_file_movie.h"
#include "quicktime/movie/movie.h"
#include "quicktime/movie/movie_picture.h"
#include "quicktime/base/packbits.h"
#include "support/qtvr_fixtures.h"
#include "support/test_paths.h"

namespace qm {
namespace {

using test::TempDir;

Bytes fileBytes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// The fixtures' test picture.
std::uint32_t expectedPixel(int x, int y, int width, int height)
{
    const std::uint32_t r = std::uint32_t(x * 255 / (width - 1));
    const std::uint32_t g = std::uint32_t(y * 255 / (height - 1));
    const std::uint32_t b = (x / 8) % 2 ? 0xC0 : 0x20;
    return 0xFF000000u | r << 16 | g << 8 | b;
}

int maxComponentError(std::uint32_t a, std::uint32_t b)
{
    int worst = 0;
    for (int shift : {16, 8, 0})
        worst = std::max(worst, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
    return worst;
}

OffscreenPicture decodeFixture(const std::filesystem::path& file, OSType type, int variant = 0, int w = 37, int h = 23)
{
    EXPECT_TRUE(test::writeStillImage(file, type, w, h, variant));
    OffscreenPicture p;
    std::string detail;
    EXPECT_EQ(readImageFile(file, type, p, &detail), 0) << detail;
    return p;
}

TEST(ImageFile, LosslessPicturesGiveTheirExactPixels)
{
    TempDir dir;
    // Odd sizes: rows of PICT pixel maps end mid-word, Photoshop planes are not padded.
    for (auto [type, variant] : {std::pair{fourCC("8BPS"), 0}, {fourCC("PICT"), 0}}) {
        SCOPED_TRACE(fourCCToString(type) + std::to_string(variant));
        const OffscreenPicture p = decodeFixture(dir / "img", type, variant);
        ASSERT_EQ(p.width(), 37);
        ASSERT_EQ(p.height(), 23);
        for (int y = 0; y < 23; ++y)
            for (int x = 0; x < 37; ++x)
                ASSERT_EQ(p.argb(x, y), expectedPixel(x, y, 37, 23)) << x << "," << y;
    }
}

TEST(ImageFile, IndexedPictureUsesItsColourTable)
{
    TempDir dir;
    const OffscreenPicture p = decodeFixture(dir / "img.pct", fourCC("PICT"), 1, 40, 9);
    ASSERT_EQ(p.width(), 40);
    for (int x = 0; x < 40; ++x) {
        const std::uint32_t grey = std::uint32_t(x * 255 / 39);
        EXPECT_EQ(p.argb(x, 5), 0xFF000000u | grey << 16 | grey << 8 | grey) << x;
    }
}

TEST(ImageFile, CompressedPicturesDecodeThroughTheCodecs)
{
    TempDir dir;
    for (auto [type, variant] : {std::pair{fourCC("PICT"), 2}, {fourCC("qtif"), 0}}) {
        SCOPED_TRACE(fourCCToString(type));
        const OffscreenPicture p = decodeFixture(dir / "img", type, variant, 64, 48);
        ASSERT_EQ(p.width(), 64);
        ASSERT_EQ(p.height(), 48);
        // Photo-JPEG at normal quality: colours within a few levels away from the bar edges.
        EXPECT_LE(maxComponentError(p.argb(20, 20), expectedPixel(20, 20, 64, 48)), 24);
        EXPECT_LE(maxComponentError(p.argb(60, 40), expectedPixel(60, 40, 64, 48)), 24);
    }
}

TEST(ImageFile, MacPaintPageIsBlackAndWhite)
{
    TempDir dir;
    const OffscreenPicture p = decodeFixture(dir / "img.mac", fourCC("PNTG"));
    ASSERT_EQ(p.width(), 576);
    ASSERT_EQ(p.height(), 720);
    // Byte i of row y is black when (y / 16 + i) is odd.
    EXPECT_EQ(p.argb(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(p.argb(8, 0), 0xFF000000u);
    EXPECT_EQ(p.argb(0, 16), 0xFF000000u);
}

TEST(ImageFile, OneFrameMovieHoldsThePicture)
{
    TempDir dir;
    ASSERT_TRUE(test::writeStillImage(dir / "a.psd", fourCC("8BPS"), 20, 10));
    std::unique_ptr<Movie> movie;
    ASSERT_EQ(openImageFileAsMovie(dir / "a.psd", fourCC("8BPS"), movie), 0);
    EXPECT_EQ(movie->box(), (Rect{0, 0, 10, 20}));
    EXPECT_EQ(movie->timeScale(), kImageMovieTimeScale);
    EXPECT_EQ(movie->duration(), TimeValue(kImageMovieTimeScale));
    ASSERT_EQ(movie->trackCount(), 1);
    EXPECT_EQ(movie->track(1)->media()->sampleCount(), 1u);
}

TEST(ImageFile, UnknownTypeAndOversizedFrame)
{
    OffscreenPicture p;
    const Bytes junk(64, 0x11);
    EXPECT_EQ(decodeImage(junk, fourCC("qdgx"), p), err::noCodecErr);
    // A picture whose frame claims 30000 x 30000 pixels and a pixel map to fill it.
    ByteWriter w;
    w.u16(0);
    w.rect(Rect{0, 0, 30000, 30000});
    w.u16(0x0011);
    w.u16(0x02FF);
    w.u16(0x0098);
    w.u16(0x8000 | 8);
    w.rect(Rect{0, 0, 30000, 30000});
    w.zeros(64);
    std::string detail;
    EXPECT_NE(decodeImage(w.data(), fourCC("PICT"), p, &detail), 0);
    EXPECT_TRUE(p.isNull());
}

// Every prefix and a few corruptions of each hand-built format: an error or a picture, never a
// crash (the sanitizer build watches the reads).
TEST(ImageFile, DamagedFilesGiveErrors)
{
    TempDir dir;
    struct Kind {
        OSType type;
        int variant;
    };
    for (Kind k : {Kind{fourCC("PICT"), 0}, Kind{fourCC("PICT"), 1}, Kind{fourCC("PICT"), 2}, Kind{fourCC("qtif"), 0},
                   Kind{fourCC("PNTG"), 0}, Kind{fourCC("8BPS"), 0}}) {
        SCOPED_TRACE(fourCCToString(k.type) + std::to_string(k.variant));
        ASSERT_TRUE(test::writeStillImage(dir / "img", k.type, 24, 16, k.variant));
        const Bytes whole = fileBytes(dir / "img");
        const std::size_t step = std::max<std::size_t>(1, whole.size() / 300);
        for (std::size_t n = 0; n < whole.size(); n += step) {
            OffscreenPicture p;
            decodeImage(std::span(whole).first(n), k.type, p);
        }
        std::srand(7);
        for (int round = 0; round < 200; ++round) {
            Bytes bad = whole;
            for (int i = 0; i < 4; ++i)
                bad[std::size_t(std::rand()) % bad.size()] = std::uint8_t(std::rand());
            OffscreenPicture p;
            decodeImage(bad, k.type, p);
        }
    }
}

TEST(PackBits, RunsLiteralsAndOvershoot)
{
    const Bytes packed = {0x02, 'a', 'b', 'c', 0xFE, 'z', 0x80, 0xFD, 'q'};
    ByteReader r(packed);
    std::uint8_t out[8];
    ASSERT_TRUE(unpackBits(r, out, 8));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 8), "abczzzqq"); // last run cut to fit
    ByteReader shortInput(packed.data(), 3);
    EXPECT_FALSE(unpackBits(shortInput, out, 8));
}

} // namespace
} // namespace qm

namespace qm {
namespace {

TEST(MoviePicture, StillImageMovieGivesThePictureBack)
{
    test::TempDir dir;
    ASSERT_TRUE(test::writeStillImage(dir / "a.pct", fourCC("PICT"), 21, 13));
    OffscreenPicture direct;
    ASSERT_EQ(readImageFile(dir / "a.pct", fourCC("PICT"), direct), 0);
    std::unique_ptr<Movie> movie;
    ASSERT_EQ(openImageFileAsMovie(dir / "a.pct", fourCC("PICT"), movie), 0);
    OffscreenPicture fromMovie;
    ASSERT_EQ(getMoviePicture(*movie, 0, fromMovie), 0);
    ASSERT_EQ(fromMovie.width(), 21);
    ASSERT_EQ(fromMovie.height(), 13);
    for (int y = 0; y < 13; ++y)
        for (int x = 0; x < 21; ++x)
            ASSERT_EQ(fromMovie.argb(x, y), direct.argb(x, y)) << x << "," << y;
}

TEST(MoviePicture, LinearMovieFrameAfterAnEmptyLead)
{
    test::TempDir dir;
    test::LinearMovieFixture f;
    f.emptyLead = 100;
    ASSERT_EQ(test::writeLinearMovie(dir / "m.mov", f), 0);
    std::unique_ptr<Movie> movie;
    ASSERT_EQ(Movie::open(dir / "m.mov", MovieOpenMode::read, movie), 0);
    OffscreenPicture p;
    EXPECT_EQ(getMoviePicture(*movie, 50, p), err::invalidTime);
    ASSERT_EQ(getMoviePicture(*movie, 100, p), 0);
    EXPECT_EQ(p.width(), 64);
    EXPECT_EQ(p.height(), 48);
}

} // namespace
} // namespace qm
