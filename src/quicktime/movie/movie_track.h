#pragma once
// A track of a movie: header values, the edit list that maps movie time onto its media, track
// references and user data.
#include <cstdint>
#include <memory>
#include <vector>

#include "quicktime/movie/movie_media.h"
#include "quicktime/movie/movie_types.h"
#include "quicktime/movie/user_data.h"

namespace qm {

class Movie;

// The track IDs of one reference type ('tref' child). Index k (1-based) is ids[k - 1]; an ID of
// 0 is a reference to no track.
struct TrackReferenceList {
    OSType type = 0;
    std::vector<std::uint32_t> ids;
    friend bool operator==(const TrackReferenceList&, const TrackReferenceList&) = default;
};

class Track {
public:
    Track(Movie& movie, std::uint32_t id);
    ~Track();

    Movie& movie() const { return m_movie; }
    std::uint32_t id() const { return m_id; }

    Media* media() { return m_media.get(); }
    const Media* media() const { return m_media.get(); }
    // A new empty media for a track that has none (disposeMedia first to replace one).
    Media* newMedia(OSType type, TimeScale scale);
    // Removes the media and its samples; the track's edits become empty edits of the same
    // durations.
    void disposeMedia();

    std::uint32_t flags() const { return m_flags; }
    void setFlags(std::uint32_t flags) { m_flags = flags; }
    bool enabled() const { return (m_flags & trackEnabled) != 0; }
    void setEnabled(bool enabled);
    std::int16_t layer() const { return m_layer; }
    void setLayer(std::int16_t layer) { m_layer = layer; }
    std::int16_t alternateGroup() const { return m_alternateGroup; }
    void setAlternateGroup(std::int16_t group) { m_alternateGroup = group; }
    std::int16_t volume() const { return m_volume; }   // 8.8 fixed
    void setVolume(std::int16_t volume) { m_volume = volume; }
    Fixed width() const { return m_width; }
    Fixed height() const { return m_height; }
    void setDimensions(Fixed width, Fixed height);
    const Matrix& matrix() const { return m_matrix; }
    void setMatrix(const Matrix& m) { m_matrix = m; }
    std::uint32_t creationTime() const { return m_creationTime; }
    std::uint32_t modificationTime() const { return m_modificationTime; }

    // Track duration in the movie's time scale: the sum of the edits.
    TimeValue duration() const;
    const std::vector<TrackEdit>& edits() const { return m_edits; }
    // Whether the file gave no edit list and none was made since (the writer then writes none).
    bool hasImplicitEdits() const { return m_implicitEdits; }

    // Inserts the media span [mediaTime, mediaTime + mediaDuration) at trackStart, moving later
    // material back. A trackStart past the end is reached with an empty edit. rate is 16.16 fixed
    // and must be positive. Errors: paramErr, invalidMedia (no media), timeNotInMedia.
    OSErr insertMedia(TimeValue trackStart, TimeValue mediaTime, TimeValue mediaDuration, Fixed rate = fixed1);
    OSErr insertEmptySegment(TimeValue trackStart, TimeValue duration);
    // Removes [start, start + duration) of track time, moving later material forward; the part
    // past the track's end is ignored.
    OSErr deleteSegment(TimeValue start, TimeValue duration);
    // Replaces the edit list as a whole (the reader's and the copy operations' entry point).
    void setEdits(std::vector<TrackEdit> edits);

    // The media time shown at track time t, -1 in an empty edit or outside the track.
    // mediaDurationLeft receives the media time left in that edit.
    TimeValue trackTimeToMediaTime(TimeValue t, TimeValue* mediaDurationLeft = nullptr) const;
    // The first interesting time after t (at or after t with nextTimeEdgeOK) in the direction of
    // rate's sign: the start of a media sample (nextTimeMediaSample), of a sync sample
    // (nextTimeSyncSample) or of an edit (nextTimeMediaEdit/nextTimeTrackEdit). -1 when there is
    // none. duration receives the time to the next interesting time after it (or to the end).
    TimeValue nextInterestingTime(std::uint16_t flags, TimeValue t, Fixed rate = fixed1,
                                  TimeValue* duration = nullptr) const;

    // Track references, 1-based per type and kept dense: deleting one moves the later ones up.
    // addReference returns the existing index when ref is already referenced with that type.
    OSErr addReference(const Track& ref, OSType type, int* index = nullptr);
    OSErr setReference(const Track& ref, OSType type, int index);
    // Null for a missing index, an ID of 0 or a track no longer in the movie.
    Track* reference(OSType type, int index) const;
    std::uint32_t referenceID(OSType type, int index) const;
    int referenceCount(OSType type) const;
    // The reference type after `after` (0 for the first), 0 when there is none.
    OSType nextReferenceType(OSType after) const;
    OSErr deleteReference(OSType type, int index);
    const std::vector<TrackReferenceList>& references() const { return m_references; }

    UserData& userData() { return m_userData; }
    const UserData& userData() const { return m_userData; }
    const std::vector<KeptAtom>& keptAtoms() const { return m_kept; }

    // The track's load settings (its 'load' atom): preload start time (-1: the whole track),
    // preload duration, preload flags and default media hints. loadSettings answers false when
    // the track has none.
    void setLoadSettings(TimeValue preloadTime, TimeValue preloadDuration, std::uint32_t preloadFlags,
                         std::uint32_t defaultHints);
    bool loadSettings(TimeValue& preloadTime, TimeValue& preloadDuration, std::uint32_t& preloadFlags,
                      std::uint32_t& defaultHints) const;

private:
    friend class MovieReader;
    friend class MovieWriter;
    friend class Movie;
    friend class Media;
    void touch();
    // Splits the edit that holds t so that an edit starts exactly at t; returns its index
    // (m_edits.size() when t is at or past the end).
    std::size_t splitAt(TimeValue t);
    void mergeEdits();
    void forgetTrack(std::uint32_t id);

    Movie& m_movie;
    std::uint32_t m_id;
    std::unique_ptr<Media> m_media;
    std::uint8_t m_headerVersion = 0;
    std::uint32_t m_flags = trackEnabled | trackInMovie | trackInPreview | trackInPoster;
    std::uint32_t m_creationTime = 0;
    std::uint32_t m_modificationTime = 0;
    std::int16_t m_layer = 0;
    std::int16_t m_alternateGroup = 0;
    std::int16_t m_volume = 0;
    Matrix m_matrix = identityMatrix;
    Fixed m_width = 0;
    Fixed m_height = 0;
    std::vector<TrackEdit> m_edits;
    bool m_implicitEdits = false;
    std::vector<TrackReferenceList> m_references;
    UserData m_userData;
    std::vector<KeptAtom> m_kept;      // of 'trak'
    std::vector<KeptAtom> m_keptEdts;  // of 'edts' besides 'elst'
};


// A sample as a track shows it: its media time, and where and how long the track shows it (in the
// movie's time scale).
struct ShownSample {
    TimeValue mediaTime = 0;
    TimeValue trackTime = 0;
    TimeValue trackDuration = 0;
};

// The samples a track shows, in track time order (samples shown by no edit are left out).
std::vector<ShownSample> shownSamples(const Track& track);

} // namespace qm
