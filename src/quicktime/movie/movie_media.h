#pragma once
// The media of a track: its type and time scale, its sample descriptions, data references and
// sample table, and the operations that add and read samples.
#include <cstdint>
#include <span>
#include <vector>

#include "quicktime/movie/movie_atom.h"
#include "quicktime/movie/movie_data_ref.h"
#include "quicktime/movie/movie_types.h"
#include "quicktime/movie/sample_table.h"

namespace qm {

class Movie;
class Track;

// The media handler reference ('hdlr' in 'mdia'). name keeps the name bytes as stored (a Pascal
// string in QuickTime files, a C string in MP4-family files).
struct MediaHandler {
    OSType componentType = fourCC("mhlr");
    OSType subtype = 0;
    OSType manufacturer = 0;
    std::uint32_t flags = 0;
    std::uint32_t flagsMask = 0;
    Bytes name;
    friend bool operator==(const MediaHandler&, const MediaHandler&) = default;
};

// One sample as getSample hands it out.
struct MediaSample {
    Bytes data;
    TimeValue time = 0;        // media time at which the sample starts
    TimeValue duration = 0;    // of one sample
    std::uint32_t descIndex = 1;
    SampleDescription description;
    std::uint32_t flags = 0;   // mediaSampleNotSync
    std::uint32_t index = 0;   // 0-based sample number
};

class Media {
public:
    Media(Track& track, OSType type, TimeScale scale);

    Track& track() const { return m_track; }
    Movie& movie() const;

    OSType type() const { return m_handler.subtype; }
    const MediaHandler& handler() const { return m_handler; }
    TimeScale timeScale() const { return m_timeScale; }
    // Sample durations keep their units: the media becomes longer or shorter in seconds.
    void setTimeScale(TimeScale scale);
    TimeValue duration() const;
    // The media time where the last sample's display ends (see SampleTable::displayEnd).
    TimeValue displayEnd() const;
    std::uint16_t language() const { return m_language; }
    void setLanguage(std::uint16_t language) { m_language = language; }
    std::uint16_t quality() const { return m_quality; }
    std::uint32_t creationTime() const { return m_creationTime; }
    std::uint32_t modificationTime() const { return m_modificationTime; }

    const std::vector<DataReference>& dataReferences() const { return m_dataRefs; }

    int sampleDescriptionCount() const { return int(m_descriptions.size()); }
    // 1-based index; invalidSampleDescIndex for any other.
    OSErr sampleDescription(int index, SampleDescription& out) const;
    const SampleDescription* sampleDescriptionPtr(int index) const;
    OSErr setSampleDescription(int index, const SampleDescription& description);

    const SampleTable& samples() const { return m_table; }
    std::uint32_t sampleCount() const { return m_table.sampleCount(); }

    // Edit sessions as QuickTime brackets them. Samples may be added in or out of a session;
    // ending one makes sure the added bytes have reached the movie's file.
    OSErr beginEdits();
    OSErr endEdits();

    // Adds numberOfSamples samples of equal size (data.size() / numberOfSamples) and duration.
    // The description is stored with its data reference index pointing at the media's own data
    // reference; an identical description already in the media is reused. Returns the media
    // time of the first sample, or -1 (with the movie's error set) on failure. compositionOffset:
    // each sample's display time minus its decode time (frames stored out of display order).
    TimeValue addSample(std::span<const std::uint8_t> data, TimeValue durationPerSample,
                        const SampleDescription& description, std::uint32_t numberOfSamples = 1,
                        std::uint32_t sampleFlags = 0, int* descIndexOut = nullptr,
                        std::int32_t compositionOffset = 0);
    // The sample whose span holds mediaTime. Errors: timeNotInMedia, the data's read errors
    // (eofErr for bytes beyond the end of their file), couldNotResolveDataRef.
    OSErr getSample(TimeValue mediaTime, MediaSample& out) const;
    // The bytes of the sample with that 0-based number.
    OSErr readSample(std::uint32_t index, Bytes& out) const;
    // n bytes starting at offset in the store of the given sample's chunk.
    OSErr readSampleBytes(const SampleInfo& info, std::uint64_t offset, std::uint64_t n, Bytes& out) const;

    const std::vector<KeptAtom>& keptMdiaAtoms() const { return m_keptMdia; }
    const std::vector<KeptAtom>& keptMinfAtoms() const { return m_keptMinf; }
    const std::vector<KeptAtom>& keptStblAtoms() const { return m_keptStbl; }

private:
    friend class MovieReader;
    friend class MovieWriter;
    friend class Movie;
    int selfDataRefIndex();
    int findOrAddDescription(const SampleDescription& description);
    void touch();

    Track& m_track;
    MediaHandler m_handler;
    TimeScale m_timeScale = 600;
    TimeValue m_storedDuration = 0;     // from 'mdhd', used when the table is empty
    std::uint8_t m_version = 0;
    std::uint16_t m_language = 0;
    std::uint16_t m_quality = 0;
    std::uint32_t m_creationTime = 0;
    std::uint32_t m_modificationTime = 0;
    std::vector<DataReference> m_dataRefs;
    std::vector<SampleDescription> m_descriptions;
    SampleTable m_table;
    int m_editDepth = 0;
    // Atoms of 'mdia', 'minf' (including the media information header and the data handler
    // reference) and 'stbl' that the model does not interpret. Those of 'stbl' describe samples
    // one by one and are dropped once samples are added.
    std::vector<KeptAtom> m_keptMdia, m_keptMinf, m_keptStbl;
};

} // namespace qm
