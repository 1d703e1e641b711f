#pragma once
// The working copies of a scene's nodes: for each node a QuickTime VR 2.x movie in the scratch
// folder made from its media, with the node's hot spots drawn into it. They live from the first
// preparation until the node's media is prepared again, the node is discarded or the scene
// closes.
#include <cstdint>
#include <filesystem>
#include <map>

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

    // Deletes the node's working file and forgets it.
    void discard(std::int16_t nodeId);
    // Discards every working copy.
    void discardAll();

private:
    std::map<std::int16_t, std::filesystem::path> m_files;
};

} // namespace qm
