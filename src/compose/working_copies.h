#pragma once
// The working copies of a scene's nodes: for each node a QuickTime VR 2.x movie in the scratch
// folder made from its media, with the node's hot spots drawn into it. A working copy stays
// (and stays open for the preview windows) until the node's media is prepared again, the node is
// discarded or the scene closes.
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>

#include "quicktime/movie/movie.h"

namespace qm {

class WorkingCopies {
public:
    WorkingCopies() = default;
    ~WorkingCopies();
    WorkingCopies(const WorkingCopies&) = delete;
    WorkingCopies& operator=(const WorkingCopies&) = delete;

    // The node's working file; empty when it has none.
    std::filesystem::path file(std::int16_t nodeId) const;
    void setFile(std::int16_t nodeId, const std::filesystem::path& file);
    // The open working movie; null when closed.
    Movie* movie(std::int16_t nodeId) const;
    void setMovie(std::int16_t nodeId, std::unique_ptr<Movie> movie);

    // Closes the working movie; the file stays.
    void close(std::int16_t nodeId);
    // Closes it and deletes the working file.
    void discard(std::int16_t nodeId);
    // Discards every working copy, last node first.
    void discardAll();

private:
    struct Entry {
        std::filesystem::path file;
        std::unique_ptr<Movie> movie;
    };
    std::map<std::int16_t, Entry> m_entries;
};

} // namespace qm
