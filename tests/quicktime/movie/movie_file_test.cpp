// Reading real movies and writing them back: flattened and updated copies must keep every stream
// and every sample byte, as FFmpeg's ffprobe sees them.
#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>

#include "movie_test_support.h"
#include "quicktime/base/errors.h"
#include "quicktime/movie/movie.h"
#include "quicktime/movie/movie_atom.h"
#include "quicktime/vr/movie_vr.h"
#include "support/ffprobe_oracle.h"
#include "support/test_paths.h"

using namespace qm;
using namespace qm::test;
namespace fs = std::filesystem;

namespace {

Bytes readFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& p, const Bytes& b)
{
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

std::vector<fs::path> sampleMovies()
{
    std::vector<fs::path> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(samplesDir(), ec))
        if (e.path().extension() == ".mov")
            out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

void expectSameProbe(const fs::path& original, const fs::path& copy)
{
    ProbeResult a = probeMovie(original), b = probeMovie(copy);
    EXPECT_EQ(b.exitStatus, 0);
    EXPECT_EQ(b.errors, "");
    EXPECT_EQ(a.streams, b.streams);
    EXPECT_EQ(a.packets, b.packets);
    EXPECT_FALSE(b.packets.empty());
}

} // namespace

TEST(RealMovies, EveryRealSampleOpensFlattensAndProbesTheSame)
{
    auto files = sampleMovies();
    if (files.empty())
        GTEST_SKIP() << "real samples not available in " << samplesDir();
    QM_REQUIRE_FFPROBE();
    for (const auto& file : files) {
        SCOPED_TRACE(file.filename().string());
        std::unique_ptr<Movie> movie;
        std::string detail;
        ASSERT_EQ(Movie::open(file, MovieOpenMode::read, movie, &detail), 0) << detail;
        EXPECT_TRUE(IsQuickTimeVR2Movie(movie.get()));
        TempDir tmp;
        FlattenResult where;
        ASSERT_EQ(movie->flatten(tmp / "copy.mov", {}, &where), 0);
        EXPECT_EQ(where.fileSize, fs::file_size(tmp / "copy.mov"));
        expectSameProbe(file, tmp / "copy.mov");

        std::unique_ptr<Movie> copy;
        ASSERT_EQ(Movie::open(tmp / "copy.mov", MovieOpenMode::read, copy), 0);
        expectSameStructure(*movie, *copy);
        // Writing the copy's movie atom again changes nothing.
        Bytes again, once;
        ASSERT_EQ(copy->movieAtom(again), 0);
        Bytes flattened = readFile(tmp / "copy.mov");
        once.assign(flattened.begin() + std::ptrdiff_t(where.movieAtomOffset),
                    flattened.begin() + std::ptrdiff_t(where.movieAtomOffset + where.movieAtomSize));
        EXPECT_EQ(again, once);
    }
}

TEST(RealMovies, UpdatingTheMovieResourceInPlaceKeepsEverySample)
{
    auto files = sampleMovies();
    if (files.empty())
        GTEST_SKIP() << "real samples not available";
    QM_REQUIRE_FFPROBE();
    for (const auto& file : files) {
        SCOPED_TRACE(file.filename().string());
        TempDir tmp;
        fs::path work = tmp / "work.mov";
        fs::copy_file(file, work);
        fs::permissions(work, fs::perms::owner_write, fs::perm_options::add);
        {
            std::unique_ptr<Movie> movie;
            ASSERT_EQ(Movie::open(work, MovieOpenMode::readWrite, movie), 0);
            ASSERT_EQ(movie->userData().addText(fourCC("\xA9nam"), 1, 0, "renamed"), 0);
            ASSERT_EQ(movie->updateMovieResource(), 0);
        }
        expectSameProbe(file, work);
        std::unique_ptr<Movie> reopened;
        ASSERT_EQ(Movie::open(work, MovieOpenMode::read, reopened), 0);
        std::string name;
        EXPECT_EQ(reopened->userData().getText(fourCC("\xA9nam"), 1, 0, name), 0);
        EXPECT_EQ(name, "renamed");
        EXPECT_EQ(GetControllerType(reopened.get()), fourCC("qtvr"));
    }
}

TEST(RealMovies, ACompressedMovieHeaderReadsLikeThePlainOne)
{
    fs::path file = samplesDir() / "wyk_pano_8.mov";
    QM_REQUIRE_SAMPLE(file);
    Bytes bytes = readFile(file);
    // The sample's movie atom comes first; replace it by a compressed one padded with 'free' so
    // that the media data keeps its offsets.
    AtomIterator it(bytes);
    AtomSpan moov;
    ASSERT_TRUE(it.next(moov));
    ASSERT_EQ(moov.type, fourCC("moov"));
    uLongf packedSize = compressBound(uLong(moov.whole.size()));
    Bytes packed(packedSize);
    ASSERT_EQ(compress2(packed.data(), &packedSize, moov.whole.data(), uLong(moov.whole.size()), 9), Z_OK);
    packed.resize(packedSize);
    ByteWriter w;
    auto outer = beginAtom(w, fourCC("moov"));
    auto cmov = beginAtom(w, fourCC("cmov"));
    w.u32(12);
    w.type(fourCC("dcom"));
    w.type(fourCC("zlib"));
    w.u32(std::uint32_t(12 + packed.size()));
    w.type(fourCC("cmvd"));
    w.u32(std::uint32_t(moov.whole.size()));
    w.bytes(packed);
    endAtom(w, cmov);
    endAtom(w, outer);
    ASSERT_LE(w.size() + 8, moov.whole.size());
    w.u32(std::uint32_t(moov.whole.size() - w.size()));
    w.type(fourCC("free"));
    w.zeros(moov.whole.size() - w.size());
    Bytes file2 = w.take();
    file2.insert(file2.end(), bytes.begin() + std::ptrdiff_t(moov.whole.size()), bytes.end());
    TempDir tmp;
    writeFile(tmp / "cmov.mov", file2);

    std::unique_ptr<Movie> plain, compressed;
    ASSERT_EQ(Movie::open(file, MovieOpenMode::read, plain), 0);
    ASSERT_EQ(Movie::open(tmp / "cmov.mov", MovieOpenMode::read, compressed), 0);
    expectSameStructure(*plain, *compressed);

    // A damaged stream is an invalid movie, not a crash.
    file2[60] ^= 0xFF;
    file2[61] ^= 0x55;
    std::unique_ptr<Movie> broken;
    EXPECT_EQ(Movie::openMemory(file2, broken), err::invalidMovie);
}

TEST(RealMovies, AMovieStoredInsideAnotherFileOpensAtItsOffset)
{
    // The project file layout: a flattened movie first, then other data, then a trailer.
    std::unique_ptr<Movie> source = Movie::create();
    Track* t = source->newTrack(4 << 16, 2 << 16, 0);
    Media* m = t->newMedia(videoMediaType, 600);
    for (int i = 0; i < 3; ++i)
        m->addSample(rawFrame(4, 2, i), 100, rawImageDescription(4, 2));
    ASSERT_EQ(t->insertMedia(0, 0, 300), 0);
    TempDir tmp;
    fs::path project = tmp / "scene.qmp";
    FlattenResult where;
    ASSERT_EQ(source->flatten(project, {}, &where), 0);
    {
        std::ofstream out(project, std::ios::binary | std::ios::app);
        out << std::string(1000, 'x');
    }
    std::unique_ptr<Movie> embedded;
    ASSERT_EQ(Movie::openAt(project, where.movieAtomOffset, embedded), 0);
    expectSameStructure(*source, *embedded);
    EXPECT_FALSE(embedded->writable());
    // An offset that does not hold a movie atom.
    std::unique_ptr<Movie> none;
    EXPECT_EQ(Movie::openAt(project, where.movieAtomOffset + 8, none), err::noMovieFound);
    EXPECT_EQ(Movie::openAt(project, fs::file_size(project) + 100, none), err::noMovieFound);
}
