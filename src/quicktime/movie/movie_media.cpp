#include "quicktime/movie/movie_media.h"

#include <algorithm>
#include <string_view>

#include "quicktime/base/errors.h"
#include "quicktime/movie/movie.h"
#include "quicktime/movie/movie_track.h"

namespace qm {

namespace {

Bytes pascalName(std::string_view name)
{
    Bytes b(name.size() + 1);
    b[0] = std::uint8_t(name.size());
    std::copy(name.begin(), name.end(), b.begin() + 1);
    return b;
}

const char* handlerName(OSType type)
{
    switch (type) {
    case fourCC("vide"): return "Video Media Handler";
    case fourCC("soun"): return "Sound Media Handler";
    case fourCC("qtvr"): return "QTVR Media Handler";
    case fourCC("pano"): return "QTVR Panorama Media Handler";
    case fourCC("obje"): return "QTVR Object Media Handler";
    default: return "Base Media Handler";
    }
}

// The media information header a new media of this type gets: 'vmhd' for video, 'smhd' for
// sound, a base media header for everything else (QuickTime VR media included).
KeptAtom mediaInformationHeader(OSType type)
{
    ByteWriter w;
    if (type == videoMediaType) {
        auto at = beginAtom(w, fourCC("vmhd"));
        w.u32(1); // "no lean ahead", always set
        w.u16(0x0040);
        w.u16(0x8000);
        w.u16(0x8000);
        w.u16(0x8000);
        endAtom(w, at);
    } else if (type == soundMediaType) {
        auto at = beginAtom(w, fourCC("smhd"));
        w.u32(0);
        w.u16(0);
        w.u16(0);
        endAtom(w, at);
    } else {
        auto gmhd = beginAtom(w, fourCC("gmhd"));
        auto gmin = beginAtom(w, fourCC("gmin"));
        w.u32(0);
        w.u16(0x0040);
        w.u16(0x8000);
        w.u16(0x8000);
        w.u16(0x8000);
        w.u16(0);
        w.u16(0);
        endAtom(w, gmin);
        endAtom(w, gmhd);
    }
    return {std::nullopt, w.take()};
}

KeptAtom aliasDataHandler(OSType after)
{
    ByteWriter w;
    auto at = beginAtom(w, fourCC("hdlr"));
    w.u32(0);
    w.type(fourCC("dhlr"));
    w.type(fourCC("alis"));
    w.u32(0);
    w.u32(0);
    w.u32(0);
    w.bytes(pascalName("Alias Data Handler"));
    endAtom(w, at);
    return {after, w.take()};
}

} // namespace

Media::Media(Track& track, OSType type, TimeScale scale) : m_track(track), m_timeScale(scale)
{
    m_handler.subtype = type;
    m_handler.name = pascalName(handlerName(type));
    m_creationTime = m_modificationTime = movieClockNow();
    m_dataRefs.push_back(DataReference::self());
    KeptAtom header = mediaInformationHeader(type);
    OSType headerType = header.type();
    m_keptMinf.push_back(std::move(header));
    m_keptMinf.push_back(aliasDataHandler(headerType));
}

Movie& Media::movie() const { return m_track.movie(); }

void Media::touch()
{
    m_modificationTime = movieClockNow();
    m_track.touch();
}

void Media::setTimeScale(TimeScale scale)
{
    if (scale == 0) {
        movie().setError(err::paramErr);
        return;
    }
    m_timeScale = scale;
    touch();
    movie().setError(err::noErr);
}

TimeValue Media::duration() const { return m_table.sampleCount() ? m_table.duration() : m_storedDuration; }
TimeValue Media::displayEnd() const { return m_table.sampleCount() ? m_table.displayEnd() : m_storedDuration; }

const SampleDescription* Media::sampleDescriptionPtr(int index) const
{
    if (index < 1 || index > int(m_descriptions.size()))
        return nullptr;
    return &m_descriptions[std::size_t(index - 1)];
}

OSErr Media::sampleDescription(int index, SampleDescription& out) const
{
    const SampleDescription* d = sampleDescriptionPtr(index);
    if (!d)
        return movie().setError(err::invalidSampleDescIndex);
    out = *d;
    return movie().setError(err::noErr);
}

OSErr Media::setSampleDescription(int index, const SampleDescription& description)
{
    if (index < 1 || index > int(m_descriptions.size()))
        return movie().setError(err::invalidSampleDescIndex);
    if (description.bytes().size() < 16)
        return movie().setError(err::paramErr);
    std::uint16_t dataRef = m_descriptions[std::size_t(index - 1)].dataRefIndex();
    m_descriptions[std::size_t(index - 1)] = description;
    m_descriptions[std::size_t(index - 1)].setDataRefIndex(dataRef);
    touch();
    return movie().setError(err::noErr);
}

OSErr Media::beginEdits()
{
    ++m_editDepth;
    return movie().setError(err::noErr);
}

OSErr Media::endEdits()
{
    if (m_editDepth > 0)
        --m_editDepth;
    return movie().setError(err::noErr);
}

int Media::selfDataRefIndex()
{
    for (std::size_t i = 0; i < m_dataRefs.size(); ++i)
        if (m_dataRefs[i].isSelf())
            return int(i + 1);
    m_dataRefs.push_back(DataReference::self());
    return int(m_dataRefs.size());
}

int Media::findOrAddDescription(const SampleDescription& description)
{
    for (std::size_t i = 0; i < m_descriptions.size(); ++i)
        if (m_descriptions[i] == description)
            return int(i + 1);
    m_descriptions.push_back(description);
    return int(m_descriptions.size());
}

TimeValue Media::addSample(std::span<const std::uint8_t> data, TimeValue durationPerSample,
                           const SampleDescription& description, std::uint32_t numberOfSamples,
                           std::uint32_t sampleFlags, int* descIndexOut, std::int32_t compositionOffset)
{
    Movie& mv = movie();
    if (numberOfSamples == 0 || data.size() % numberOfSamples != 0 || data.size() / numberOfSamples > 0xFFFFFFFFu ||
        description.bytes().size() < 16) {
        mv.setError(err::paramErr);
        return -1;
    }
    if (durationPerSample <= 0 || durationPerSample > 0xFFFFFFFF) {
        mv.setError(err::invalidDuration);
        return -1;
    }
    SampleDescription stored = description;
    stored.setDataRefIndex(std::uint16_t(selfDataRefIndex()));
    std::size_t descriptionsBefore = m_descriptions.size();
    int descIndex = findOrAddDescription(stored);

    std::uint64_t offset = 0;
    ChunkStore store = ChunkStore::dataRef;
    if (OSErr e = mv.storeData(data, offset, store)) {
        m_descriptions.resize(descriptionsBefore);
        mv.setError(e);
        return -1;
    }
    TimeValue time = m_table.append(offset, store, std::uint32_t(data.size() / numberOfSamples), numberOfSamples,
                                    std::uint32_t(durationPerSample), std::uint32_t(descIndex),
                                    (sampleFlags & mediaSampleNotSync) == 0, compositionOffset);
    if (time < 0) {
        m_descriptions.resize(descriptionsBefore);
        mv.setError(err::memFullErr);
        return -1;
    }
    // Tables such as sample dependencies describe the old samples one by one.
    m_keptStbl.clear();
    touch();
    if (descIndexOut)
        *descIndexOut = descIndex;
    mv.setError(err::noErr);
    return time;
}

OSErr Media::readSampleBytes(const SampleInfo& info, std::uint64_t offset, std::uint64_t n, Bytes& out) const
{
    return movie().readData(*this, info, offset, n, out);
}

OSErr Media::readSample(std::uint32_t index, Bytes& out) const
{
    SampleInfo info;
    if (!m_table.sampleInfo(index, info))
        return movie().setError(err::invalidSampleNum);
    return movie().setError(readSampleBytes(info, info.offset, info.size, out));
}

OSErr Media::getSample(TimeValue mediaTime, MediaSample& out) const
{
    std::uint32_t index = 0;
    if (mediaTime < 0 || mediaTime >= m_table.duration() || !m_table.sampleAtTime(mediaTime, index))
        return movie().setError(err::timeNotInMedia);
    SampleInfo info;
    m_table.sampleInfo(index, info);
    Bytes data;
    if (OSErr e = readSampleBytes(info, info.offset, info.size, data))
        return movie().setError(e);
    out.data = std::move(data);
    out.time = info.time;
    out.duration = info.duration;
    out.descIndex = info.descIndex;
    out.description = *sampleDescriptionPtr(int(info.descIndex));
    out.flags = info.sync ? 0 : mediaSampleNotSync;
    out.index = index;
    return movie().setError(err::noErr);
}

} // namespace qm
