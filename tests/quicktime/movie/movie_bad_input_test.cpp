// Damaged and hostile movies: every reader path ends in an error code, never a crash, a hang or
// an allocation the file could not justify.
#include <gtest/gtest.h>

#include <zlib.h>

#include <fstream>
#include <functional>
#include <random>

#include "movie_test_support.h"
#include "quicktime/base/errors.h"
#include "quicktime/movie/movie.h"
#include "quicktime/movie/movie_atom.h"
#include "quicktime/movie/sample_table.h"
#include "support/test_paths.h"

using namespace qm;
using namespace qm::test;
namespace fs = std::filesystem;

namespace {

// A small valid movie file: one video track of three raw frames and user data.
Bytes smallMovie()
{
    auto movie = Movie::create();
    Track* t = movie->newTrack(8 << 16, 4 << 16, 0);
    Media* m = t->newMedia(videoMediaType, 600);
    for (int i = 0; i < 3; ++i)
        m->addSample(rawFrame(8, 4, i), 100, rawImageDescription(8, 4));
    t->insertMedia(0, 0, 300);
    const std::uint8_t loc[] = {0, 10, 0, 20};
    movie->userData().addItem(fourCC("WLOC"), loc);
    Bytes out;
    EXPECT_EQ(movie->flattenToMemory(out), 0);
    return out;
}

// Offset of the first atom header of that type (searching the type's bytes).
std::size_t atomOfType(const Bytes& file, OSType t)
{
    for (std::size_t i = 4; i + 4 <= file.size(); ++i)
        if (loadBE32(file.data() + i) == t)
            return i - 4;
    ADD_FAILURE() << "no atom " << fourCCToString(t);
    return 0;
}

std::size_t atomAt(const Bytes& file, const char (&type)[5]) { return atomOfType(file, fourCC(type)); }

OSErr openBytes(const Bytes& file, std::string* detail = nullptr)
{
    std::unique_ptr<Movie> m;
    return Movie::openMemory(file, m, detail);
}

void patch32(Bytes& b, std::size_t at, std::uint32_t v) { storeBE32(b.data() + at, v); }

// Everything a caller might do with a movie that opened.
void exercise(Movie& movie)
{
    Bytes scratch;
    movie.movieAtom(scratch);
    for (int i = 1; i <= movie.trackCount(); ++i) {
        Track* t = movie.track(i);
        t->nextInterestingTime(nextTimeMediaSample, 0);
        t->trackTimeToMediaTime(t->duration() / 2);
        if (Media* m = t->media()) {
            for (std::uint32_t s = 0; s < std::min<std::uint32_t>(m->sampleCount(), 16); ++s)
                m->readSample(s, scratch);
            MediaSample sample;
            m->getSample(m->duration() / 2, sample);
        }
    }
    Bytes flat;
    if (movie.flattenToMemory(flat) == err::noErr) {
        std::unique_ptr<Movie> again;
        EXPECT_EQ(Movie::openMemory(flat, again), 0);
    }
}

} // namespace

TEST(MovieBadInput, StructuralDamageIsAnInvalidMovieWithAPlace)
{
    const Bytes good = smallMovie();
    ASSERT_EQ(openBytes(good), 0);

    {   // An atom size below its header, deep inside.
        Bytes b = good;
        patch32(b, atomAt(b, "stsz"), 3);
        std::string detail;
        EXPECT_EQ(openBytes(b, &detail), err::invalidMovie);
        EXPECT_NE(detail.find("moov/trak[1]/mdia/minf/stbl"), std::string::npos) << detail;
    }
    {   // A child that runs past its parent.
        Bytes b = good;
        patch32(b, atomAt(b, "tkhd"), 0x7FFFFFF0);
        EXPECT_EQ(openBytes(b), err::invalidMovie);
    }
    {   // The movie atom itself claims more than the file holds.
        Bytes b = good;
        patch32(b, atomAt(b, "moov"), std::uint32_t(b.size() + 100));
        EXPECT_EQ(openBytes(b), err::invalidMovie);
    }
    struct Case {
        OSType atom;
        std::size_t field;      // offset of the 32-bit field after the atom's start
        std::uint32_t value;
        const char* what;
    };
    const Case cases[] = {
        {fourCC("stsz"), 16, 0xFFFFFFFF, "sample count far beyond the table"},
        {fourCC("stco"), 12, 0x40000000, "chunk count far beyond the table"},
        {fourCC("stts"), 12, 0x20000000, "time-to-sample count beyond the atom"},
        {fourCC("stsc"), 12, 0x10000000, "sample-to-chunk count beyond the atom"},
        {fourCC("stsc"), 16, 0, "first chunk 0"},
        {fourCC("stsc"), 24, 7, "description index past the descriptions"},
        {fourCC("stsd"), 12, 3, "more descriptions announced than present"},
        {fourCC("elst"), 12, 0x7FFFFFFF, "edit count beyond the atom"},
        {fourCC("mvhd"), 20, 0, "movie time scale 0"},
        {fourCC("mdhd"), 20, 0, "media time scale 0"},
        {fourCC("tkhd"), 20, 0, "track ID 0"},
        {fourCC("dref"), 12, 9, "more data references announced than present"},
    };
    for (const Case& c : cases) {
        Bytes b = good;
        patch32(b, atomOfType(b, c.atom) + c.field, c.value);
        EXPECT_EQ(openBytes(b), err::invalidMovie) << c.what;
    }
    {   // A constant-size table announcing four billion samples is refused without allocating.
        Bytes b = good;
        std::size_t stsz = atomAt(b, "stsz");
        patch32(b, stsz + 12, 1);
        patch32(b, stsz + 16, 0xFFFFFFFF);
        EXPECT_EQ(openBytes(b), err::invalidMovie);
    }
}

TEST(MovieBadInput, NonMoviesAndEmptyFiles)
{
    EXPECT_EQ(openBytes({}), err::noMovieFound);
    EXPECT_EQ(openBytes({0, 0, 0}), err::noMovieFound);
    Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1};
    EXPECT_NE(openBytes(jpeg), err::noErr);
    TempDir tmp;
    std::unique_ptr<Movie> m;
    EXPECT_EQ(Movie::open(tmp / "nothing.mov", MovieOpenMode::read, m), err::fnfErr);
    std::ofstream(tmp / "empty.mov").close();
    EXPECT_EQ(Movie::open(tmp / "empty.mov", MovieOpenMode::read, m), err::noMovieFound);
    fs::create_directory(tmp / "folder.mov");
    EXPECT_NE(Movie::open(tmp / "folder.mov", MovieOpenMode::read, m), err::noErr);
}

TEST(MovieBadInput, CompressedHeadersThatLie)
{
    auto cmovFile = [](std::uint32_t declared, const Bytes& stream, OSType method) {
        ByteWriter w;
        auto moov = beginAtom(w, fourCC("moov"));
        auto cmov = beginAtom(w, fourCC("cmov"));
        w.u32(12);
        w.type(fourCC("dcom"));
        w.type(method);
        w.u32(std::uint32_t(12 + stream.size()));
        w.type(fourCC("cmvd"));
        w.u32(declared);
        w.bytes(stream);
        endAtom(w, cmov);
        endAtom(w, moov);
        return w.take();
    };
    const Bytes junk = {0x78, 0x9C, 1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(openBytes(cmovFile(0xFFFFFFFF, junk, fourCC("zlib"))), err::invalidMovie);
    EXPECT_EQ(openBytes(cmovFile(100, junk, fourCC("zlib"))), err::invalidMovie);
    EXPECT_EQ(openBytes(cmovFile(100, junk, fourCC("lzma"))), err::invalidMovie);

    // A compressed header whose inflated movie holds another compressed header.
    Bytes inner = cmovFile(100, junk, fourCC("zlib"));
    Bytes packed;
    {
        uLongf n = compressBound(uLong(inner.size()));
        packed.resize(n);
        ASSERT_EQ(compress(packed.data(), &n, inner.data(), uLong(inner.size())), Z_OK);
        packed.resize(n);
    }
    std::string detail;
    std::unique_ptr<Movie> m;
    EXPECT_EQ(Movie::openMemory(cmovFile(std::uint32_t(inner.size()), packed, fourCC("zlib")), m, &detail),
              err::invalidMovie);
    EXPECT_NE(detail.find("inside a compressed"), std::string::npos) << detail;
}

TEST(MovieBadInput, SampleBytesBeyondTheFileAreAnEndOfFileError)
{
    Bytes b = smallMovie();
    std::size_t stco = atomAt(b, "stco");
    patch32(b, stco + 16, 0x00FFFFF0);   // the only chunk now lies far past the end
    TempDir tmp;
    {
        std::ofstream out(tmp / "far.mov", std::ios::binary);
        out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    }
    std::unique_ptr<Movie> m;
    ASSERT_EQ(Movie::open(tmp / "far.mov", MovieOpenMode::read, m), 0);
    Bytes data;
    EXPECT_EQ(m->track(1)->media()->readSample(0, data), err::eofErr);
    EXPECT_EQ(m->flatten(tmp / "copy.mov"), err::eofErr);
    EXPECT_FALSE(fs::exists(tmp / "copy.mov"));
}

TEST(MovieBadInput, UnknownAtomsSurviveInTheirPlaces)
{
    // Unknown atoms at every level the model covers, including some that merely follow others.
    Bytes good = smallMovie();
    // Inserts a 12-byte atom at `at` and grows the containers around it.
    auto insertAt = [](Bytes& b, std::size_t at, OSType type, std::initializer_list<OSType> parents) {
        ByteWriter atom;
        atom.u32(12);
        atom.type(type);
        atom.u32(0x01020304);
        b.insert(b.begin() + std::ptrdiff_t(at), atom.data().begin(), atom.data().end());
        for (OSType parent : parents) {
            std::size_t pos = atomOfType(b, parent);
            storeBE32(b.data() + pos, loadBE32(b.data() + pos) + 12);
        }
    };
    const OSType moovT = fourCC("moov"), trakT = fourCC("trak"), mdiaT = fourCC("mdia"), minfT = fourCC("minf");
    insertAt(good, atomAt(good, "mvhd") + 108, fourCC("iods"), {moovT});
    insertAt(good, atomAt(good, "tkhd") + 92, fourCC("load"), {moovT, trakT});
    insertAt(good, atomAt(good, "stsd"), fourCC("xyz1"), {moovT, trakT, mdiaT, minfT, fourCC("stbl")});
    insertAt(good, atomAt(good, "dinf"), fourCC("xyz2"), {moovT, trakT, mdiaT, minfT});
    insertAt(good, atomAt(good, "minf"), fourCC("xyz3"), {moovT, trakT, mdiaT});
    std::unique_ptr<Movie> movie;
    std::string detail;
    ASSERT_EQ(Movie::openMemory(good, movie, &detail), 0) << detail;
    Bytes moov;
    ASSERT_EQ(movie->movieAtom(moov), 0);
    AtomSpan root;
    ASSERT_TRUE(findAtom(moov, fourCC("moov"), root));
    std::vector<std::string> order;
    std::function<void(std::span<const std::uint8_t>)> walk = [&](std::span<const std::uint8_t> level) {
        AtomIterator it(level);
        AtomSpan a;
        while (it.next(a)) {
            order.push_back(fourCCToString(a.type));
            if (isContainerAtom(a.type))
                walk(a.payload);
        }
    };
    walk(root.payload);
    auto indexOf = [&](const std::string& t) { return std::find(order.begin(), order.end(), t) - order.begin(); };
    EXPECT_EQ(indexOf("iods"), indexOf("mvhd") + 1);
    EXPECT_EQ(indexOf("load"), indexOf("tkhd") + 1);
    EXPECT_EQ(indexOf("xyz1"), indexOf("stbl") + 1);   // came first in 'stbl'
    EXPECT_EQ(indexOf("xyz2"), indexOf("minf") + 3);   // after 'vmhd' and 'hdlr'
    EXPECT_EQ(indexOf("xyz3"), indexOf("hdlr") + 1);   // between the handler and 'minf'
    // Tables describing samples one by one go once samples are added; the others stay.
    movie->track(1)->media()->addSample(rawFrame(8, 4, 9), 100, rawImageDescription(8, 4));
    ASSERT_EQ(movie->movieAtom(moov), 0);
    order.clear();
    ASSERT_TRUE(findAtom(moov, fourCC("moov"), root));
    walk(root.payload);
    EXPECT_EQ(std::count(order.begin(), order.end(), "xyz1"), 0);
    EXPECT_EQ(std::count(order.begin(), order.end(), "xyz2"), 1);
}

TEST(MovieBadInput, OddAtomsWriteBackAsAMovieThatReadsTheSame)
{
    auto roundTrip = [](const Bytes& file) {
        std::unique_ptr<Movie> first, second;
        std::string detail;
        ASSERT_EQ(Movie::openMemory(file, first, &detail), 0) << detail;
        Bytes flat;
        ASSERT_EQ(first->flattenToMemory(flat), 0);
        ASSERT_EQ(Movie::openMemory(flat, second, &detail), 0) << detail;
        expectSameStructure(*first, *second);
        EXPECT_EQ(first->keptAtoms(), second->keptAtoms());
    };
    const Bytes good = smallMovie();
    {   // An unknown atom with size 0 ("to the end of its container") ends the movie atom.
        Bytes b = good;
        std::size_t moov = atomAt(b, "moov"), end = moov + loadBE32(b.data() + moov);
        const std::uint8_t tail[] = {0, 0, 0, 0, 'z', 'z', 'z', 'z', 1, 2, 3, 4};
        b.insert(b.begin() + std::ptrdiff_t(end), std::begin(tail), std::end(tail));
        patch32(b, moov, loadBE32(b.data() + moov) + sizeof tail);
        roundTrip(b);
    }
    {   // A second, damaged media in a track: the first one is the track's, the other goes.
        Bytes b = good;
        std::size_t mdia = atomAt(b, "mdia");
        Bytes copy(b.begin() + std::ptrdiff_t(mdia), b.begin() + std::ptrdiff_t(mdia + loadBE32(b.data() + mdia)));
        storeBE32(copy.data() + 8, 0x7FFFFFFF);   // its media header runs past everything
        std::size_t at = mdia + copy.size();
        b.insert(b.begin() + std::ptrdiff_t(at), copy.begin(), copy.end());
        for (OSType parent : {fourCC("moov"), fourCC("trak")}) {
            std::size_t p = atomOfType(b, parent);
            patch32(b, p, loadBE32(b.data() + p) + std::uint32_t(copy.size()));
        }
        roundTrip(b);
    }
}

TEST(MovieBadInput, MutatedMoviesNeverCrash)
{
    const Bytes good = smallMovie();
    std::mt19937 rng(1234);
    int opened = 0;
    for (int round = 0; round < 3000; ++round) {
        Bytes b = good;
        int edits = 1 + int(rng() % 4);
        for (int e = 0; e < edits; ++e) {
            std::size_t at = rng() % b.size();
            switch (rng() % 3) {
            case 0: b[at] = std::uint8_t(rng()); break;
            case 1: b[at] ^= std::uint8_t(1u << (rng() % 8)); break;
            default: b.resize(at); break;
            }
            if (b.empty())
                break;
        }
        std::unique_ptr<Movie> m;
        if (Movie::openMemory(b, m) == err::noErr) {
            ++opened;
            exercise(*m);
        }
    }
    EXPECT_GT(opened, 100);
}

TEST(SampleTableForm, WideOffsetsCompactSizesAndConstantSizedRuns)
{
    SampleTable table;
    // Three samples in two chunks, the second chunk past 4 GB.
    EXPECT_EQ(table.append(100, ChunkStore::dataRef, 10, 2, 5, 1, true), 0);
    EXPECT_EQ(table.append(0x100000000ull, ChunkStore::dataRef, 7, 1, 5, 1, false), 10);
    EXPECT_TRUE(table.needsCo64());
    ByteWriter w;
    table.write(w, nullptr, true);
    SampleTable back;
    ASSERT_EQ(back.parse(w.data(), 1), 0);
    SampleInfo info;
    ASSERT_TRUE(back.sampleInfo(2, info));
    EXPECT_EQ(info.offset, 0x100000000ull);
    EXPECT_EQ(info.size, 7u);
    EXPECT_FALSE(info.sync);
    ASSERT_TRUE(back.sampleInfo(1, info));
    EXPECT_EQ(info.offset, 110u);
    EXPECT_TRUE(info.sync);

    // 'stz2' with 4-bit sizes.
    ByteWriter z;
    auto stts = beginAtom(z, fourCC("stts"));
    z.u32(0), z.u32(1), z.u32(3), z.u32(1);
    endAtom(z, stts);
    auto stsc = beginAtom(z, fourCC("stsc"));
    z.u32(0), z.u32(1), z.u32(1), z.u32(3), z.u32(1);
    endAtom(z, stsc);
    auto stz2 = beginAtom(z, fourCC("stz2"));
    z.u32(0), z.u8(0), z.u8(0), z.u8(0), z.u8(4), z.u32(3), z.u8(0x3A), z.u8(0x50);
    endAtom(z, stz2);
    auto stco = beginAtom(z, fourCC("stco"));
    z.u32(0), z.u32(1), z.u32(1000);
    endAtom(z, stco);
    ASSERT_EQ(back.parse(z.data(), 1), 0);
    EXPECT_EQ(back.sampleSize(0), 3u);
    EXPECT_EQ(back.sampleSize(1), 10u);
    EXPECT_EQ(back.sampleSize(2), 5u);
    ASSERT_TRUE(back.sampleInfo(2, info));
    EXPECT_EQ(info.offset, 1013u);

    // Ten million one-byte sound samples stay a handful of runs.
    SampleTable sound;
    for (int chunk = 0; chunk < 10; ++chunk)
        ASSERT_GE(sound.append(std::uint64_t(chunk) * 2000000, ChunkStore::dataRef, 1, 1000000, 1, 1, true), 0);
    EXPECT_EQ(sound.sampleCount(), 10000000u);
    EXPECT_EQ(sound.chunks().size(), 10u);
    ASSERT_TRUE(sound.sampleInfo(9999999, info));
    EXPECT_EQ(info.offset, 9u * 2000000 + 999999);
    std::uint32_t index = 0;
    ASSERT_TRUE(sound.sampleAtTime(5000000, index));
    EXPECT_EQ(index, 5000000u);
}
