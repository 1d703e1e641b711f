#pragma once
// Small builders shared by the movie tests: image descriptions and frames that FFmpeg decodes,
// and a structural comparison of two movies.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "quicktime/base/byte_io.h"
#include "quicktime/movie/movie.h"

namespace qm::test {

// An 86-byte image description for uncompressed 24-bit RGB ('raw ') frames.
inline SampleDescription rawImageDescription(int width, int height)
{
    ByteWriter w;
    w.u16(0);            // version
    w.u16(0);            // revision
    w.type(fourCC("appl"));
    w.u32(0);            // temporal quality
    w.u32(0x400);        // spatial quality
    w.u16(std::uint16_t(width));
    w.u16(std::uint16_t(height));
    w.fixed(0x00480000);
    w.fixed(0x00480000);
    w.u32(0);            // data size
    w.u16(1);            // frame count
    w.pascalString("None", 32);
    w.i16(24);
    w.i16(-1);
    return SampleDescription::make(fourCC("raw "), w.data());
}

// A raw 24-bit frame whose bytes depend on seed.
inline Bytes rawFrame(int width, int height, int seed)
{
    Bytes b(std::size_t(width * height * 3));
    for (std::size_t i = 0; i < b.size(); ++i)
        b[i] = std::uint8_t((i * 7 + std::size_t(seed) * 31) & 0xFF);
    return b;
}

// Tracks, media, descriptions, edits, references and user data agree; data reference indices
// and chunk layout may differ (as they do between a movie and its flattened copy).
inline void expectSameStructure(const Movie& a, const Movie& b)
{
    ASSERT_EQ(a.trackCount(), b.trackCount());
    EXPECT_EQ(a.timeScale(), b.timeScale());
    EXPECT_EQ(a.duration(), b.duration());
    EXPECT_EQ(a.userData(), b.userData());
    for (int i = 1; i <= a.trackCount(); ++i) {
        SCOPED_TRACE("track " + std::to_string(i));
        const Track& ta = *a.track(i);
        const Track& tb = *b.track(i);
        EXPECT_EQ(ta.id(), tb.id());
        EXPECT_EQ(ta.flags(), tb.flags());
        EXPECT_EQ(ta.layer(), tb.layer());
        EXPECT_EQ(ta.width(), tb.width());
        EXPECT_EQ(ta.height(), tb.height());
        EXPECT_EQ(ta.edits(), tb.edits());
        EXPECT_EQ(ta.references(), tb.references());
        EXPECT_EQ(ta.userData(), tb.userData());
        ASSERT_EQ(ta.media() != nullptr, tb.media() != nullptr);
        if (!ta.media())
            continue;
        const Media& ma = *ta.media();
        const Media& mb = *tb.media();
        EXPECT_EQ(ma.type(), mb.type());
        EXPECT_EQ(ma.timeScale(), mb.timeScale());
        EXPECT_EQ(ma.duration(), mb.duration());
        ASSERT_EQ(ma.sampleCount(), mb.sampleCount());
        ASSERT_EQ(ma.sampleDescriptionCount(), mb.sampleDescriptionCount());
        for (int d = 1; d <= ma.sampleDescriptionCount(); ++d) {
            SampleDescription da = *ma.sampleDescriptionPtr(d), db = *mb.sampleDescriptionPtr(d);
            da.setDataRefIndex(0);
            db.setDataRefIndex(0);
            EXPECT_EQ(da, db);
        }
        for (std::uint32_t s = 0; s < ma.sampleCount(); ++s) {
            SampleInfo ia, ib;
            ma.samples().sampleInfo(s, ia);
            mb.samples().sampleInfo(s, ib);
            EXPECT_EQ(ia.time, ib.time);
            EXPECT_EQ(ia.duration, ib.duration);
            EXPECT_EQ(ia.size, ib.size);
            EXPECT_EQ(ia.sync, ib.sync);
            Bytes da, db;
            EXPECT_EQ(ma.readSample(s, da), 0);
            EXPECT_EQ(mb.readSample(s, db), 0);
            EXPECT_EQ(da, db) << "sample " << s;
        }
    }
}

} // namespace qm::test
