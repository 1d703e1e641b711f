#pragma once
// An in-memory QuickTime movie: opened from a classic QuickTime file (or a movie stored at an
// offset inside another file), created as a new movie file or in memory, edited track by track,
// and written back as its movie resource or flattened into a new self-contained file.
//
// Every operation records its result, which error() gives back like QuickTime's GetMoviesError:
// callers that get a value (a track, a media time) check error() afterwards.
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "quicktime/movie/movie_media.h"
#include "quicktime/movie/movie_storage.h"
#include "quicktime/movie/movie_track.h"
#include "quicktime/movie/movie_types.h"
#include "quicktime/movie/user_data.h"

namespace qm {

enum class MovieOpenMode { read, readWrite };

struct FlattenOptions {
    bool deleteExisting = true;    // replace a file of that name (otherwise dupFNErr)
    bool keepTimes = true;         // keep the creation and modification times of the source
};

struct FlattenResult {
    std::uint64_t movieAtomOffset = 0;  // where the 'moov' atom starts in the new file
    std::uint64_t movieAtomSize = 0;
    std::uint64_t fileSize = 0;
};

class Movie {
public:
    // Opens the movie of a file: its first 'moov' atom (compressed movie headers included).
    // Errors: fnfErr and the other file errors, noMovieFound when the file holds no movie atom,
    // invalidMovie for a damaged one. detail, when given, receives where the damage was found.
    static OSErr open(const std::filesystem::path& path, MovieOpenMode mode, std::unique_ptr<Movie>& out,
                      std::string* detail = nullptr);
    // Opens a movie stored inside another file: its 'moov' atom begins at offset, and its
    // chunk offsets count from the start of that file. Always read-only.
    static OSErr openAt(const std::filesystem::path& path, std::uint64_t offset, std::unique_ptr<Movie>& out,
                        std::string* detail = nullptr);
    // A movie file held in memory (self references point into these bytes).
    static OSErr openMemory(Bytes fileBytes, std::unique_ptr<Movie>& out, std::string* detail = nullptr);
    // Creates a new, empty movie file whose samples are written into it as they are added;
    // addMovieResource completes it.
    static OSErr createFile(const std::filesystem::path& path, bool deleteExisting, std::unique_ptr<Movie>& out);
    // A new empty movie whose sample bytes stay in memory until it is flattened.
    static std::unique_ptr<Movie> create();

    ~Movie();
    Movie(const Movie&) = delete;
    Movie& operator=(const Movie&) = delete;

    OSErr error() const { return m_error; }
    // Records a result (used by the track and media operations).
    OSErr setError(OSErr e) const
    {
        m_error = e;
        return e;
    }

    const std::filesystem::path& filePath() const { return m_path; }
    bool writable() const;

    TimeScale timeScale() const { return m_timeScale; }
    // Converts the track edits and the movie's own times to the new scale.
    OSErr setTimeScale(TimeScale scale);
    TimeValue duration() const;
    Fixed preferredRate() const { return m_preferredRate; }
    void setPreferredRate(Fixed rate) { m_preferredRate = rate; }
    std::int16_t preferredVolume() const { return m_preferredVolume; }
    void setPreferredVolume(std::int16_t v) { m_preferredVolume = v; }
    const Matrix& matrix() const { return m_matrix; }
    void setMatrix(const Matrix& m) { m_matrix = m; }
    TimeValue posterTime() const { return m_posterTime; }
    void setPosterTime(TimeValue t) { m_posterTime = t; }
    TimeValue currentTime() const { return m_currentTime; }
    void setCurrentTime(TimeValue t) { m_currentTime = t; }
    std::uint32_t creationTime() const { return m_creationTime; }
    std::uint32_t modificationTime() const { return m_modificationTime; }
    // The bounding box of the enabled visual tracks' sizes under their matrices and the movie's
    // (translation and scale only, as QuickTime reports it for unrotated movies).
    Rect box() const;

    int trackCount() const { return int(m_tracks.size()); }
    // 1-based index; null (badTrackIndex) past the last.
    Track* track(int index) const;
    Track* trackByID(std::uint32_t id) const;
    int trackIndex(const Track& track) const;
    // A new track of the given size (16.16 fixed) and volume (8.8 fixed), without media.
    Track* newTrack(Fixed width, Fixed height, std::int16_t volume);
    // A new track with src's header values and an empty media of the same type, time scale and
    // handler (AddEmptyTrackToMovie).
    Track* addEmptyTrackLike(const Track& src);
    // Removes the track and its media; references to it from other tracks become 0.
    OSErr disposeTrack(Track* track);

    UserData& userData() { return m_userData; }
    const UserData& userData() const { return m_userData; }

    // The first interesting time after t over the enabled tracks whose media type is listed or
    // has a listed characteristic ('eyes', 'ears'); all enabled tracks when none is listed.
    TimeValue nextInterestingTime(std::uint16_t flags, std::span<const OSType> mediaTypes, TimeValue t,
                                  Fixed rate = fixed1, TimeValue* duration = nullptr) const;

    // Writes the movie atom into the movie's own file for the first time / again. The previous
    // movie atom is reused when the new one fits in it, otherwise it becomes a 'free' atom and
    // the new one goes to the end. Errors: wPrErr for a movie opened read-only, paramErr for one
    // that has no file.
    OSErr addMovieResource();
    OSErr updateMovieResource();

    // Writes a new self-contained file: the movie atom first, then every sample of every media
    // copied from wherever it lives, with all data references turned into self references. A
    // failed or cancelled flatten leaves no file behind (and an existing file untouched).
    OSErr flatten(const std::filesystem::path& dest, const FlattenOptions& options = {},
                  FlattenResult* result = nullptr);
    // The same into memory (tests, fuzzing).
    OSErr flattenToMemory(Bytes& out);
    void setProgressProc(MovieProgressProc proc) { m_progress = std::move(proc); }

    // The movie atom as the movie's file would receive it now.
    OSErr movieAtom(Bytes& out) const;

    const std::vector<KeptAtom>& keptAtoms() const { return m_kept; }

    // Reads n bytes at offset of the store of a sample's chunk into out (used by Media). The
    // bytes must exist (eofErr otherwise) before out grows to hold them.
    OSErr readData(const Media& media, const SampleInfo& info, std::uint64_t offset, std::uint64_t n, Bytes& out) const;
    // Stores sample bytes for a media: appended to the movie's file when it can be written,
    // otherwise kept in memory. Gives where they went.
    OSErr storeData(std::span<const std::uint8_t> data, std::uint64_t& offset, ChunkStore& store);

private:
    friend class MovieReader;
    friend class MovieWriter;
    friend class Track;
    Movie();
    void touch();
    OSErr writeMovieResource(bool update);
    OSErr closeOpenMediaData();
    OSErr closeOpenEndedAtom();
    OSErr moveOverlayIntoFile();
    // The file a data reference of a media names, opened for reading (cached).
    OSErr dataFileFor(const Media& media, std::uint32_t descIndex, const DataFile*& file,
                      const Bytes*& memory) const;

    mutable OSErr m_error = 0;
    std::filesystem::path m_path;
    std::unique_ptr<DataFile> m_file;         // the movie's own file (null in memory)
    Bytes m_memory;                           // the "file" of an in-memory movie
    bool m_inMemory = false;
    Bytes m_overlay;                          // samples added while the file cannot be written
    mutable std::map<std::filesystem::path, std::unique_ptr<DataFile>> m_otherFiles;
    // Position of the movie atom in its file (size 0: none written yet).
    std::uint64_t m_moovOffset = 0;
    std::uint64_t m_moovSize = 0;
    std::uint64_t m_moovHeaderSize = 8;
    // Media data being appended to the file: 'wide' placeholder at m_mdatStart, 'mdat' header
    // right after it, bytes up to m_appendEnd.
    bool m_mdatOpen = false;
    std::uint64_t m_mdatStart = 0;
    std::uint64_t m_appendEnd = 0;
    Bytes m_fileType;                         // the file's 'ftyp' atom, carried into flattened files
    // A top-level atom whose size field is 0 ("to the end of the file"); it gets its real size
    // before anything is appended.
    std::optional<std::uint64_t> m_openEndedAtom;

    std::uint8_t m_headerVersion = 0;
    TimeScale m_timeScale = 600;
    Fixed m_preferredRate = fixed1;
    std::int16_t m_preferredVolume = 0x0100;
    Matrix m_matrix = identityMatrix;
    std::uint32_t m_creationTime = 0;
    std::uint32_t m_modificationTime = 0;
    TimeValue m_previewTime = 0, m_previewDuration = 0, m_posterTime = 0;
    TimeValue m_selectionTime = 0, m_selectionDuration = 0, m_currentTime = 0;
    std::uint32_t m_nextTrackID = 1;
    std::vector<std::unique_ptr<Track>> m_tracks;
    UserData m_userData;
    std::vector<KeptAtom> m_kept;             // of 'moov'
    MovieProgressProc m_progress;
};

// Copies the track time span [srcIn, srcIn + srcDuration) of src into dst at dstIn: the samples
// it shows are added to dst's media (bytes copied, descriptions carried over) and the matching
// edits inserted; empty edits stay empty. dst's media must be of the same type (creating it when
// dst has none). Errors are recorded in dst's movie.
OSErr insertTrackSegment(const Track& src, TimeValue srcIn, TimeValue srcDuration, Track& dst, TimeValue dstIn);

} // namespace qm
