#include "compose/working_copies.h"

#include <system_error>

namespace qm {

WorkingCopies::~WorkingCopies() = default;

std::filesystem::path WorkingCopies::file(std::int16_t nodeId) const
{
    auto it = m_entries.find(nodeId);
    return it == m_entries.end() ? std::filesystem::path() : it->second.file;
}

void WorkingCopies::setFile(std::int16_t nodeId, const std::filesystem::path& file) { m_entries[nodeId].file = file; }

Movie* WorkingCopies::movie(std::int16_t nodeId) const
{
    auto it = m_entries.find(nodeId);
    return it == m_entries.end() ? nullptr : it->second.movie.get();
}

void WorkingCopies::setMovie(std::int16_t nodeId, std::unique_ptr<Movie> movie)
{
    m_entries[nodeId].movie = std::move(movie);
}

void WorkingCopies::close(std::int16_t nodeId)
{
    auto it = m_entries.find(nodeId);
    if (it != m_entries.end())
        it->second.movie.reset();
}

void WorkingCopies::discard(std::int16_t nodeId)
{
    auto it = m_entries.find(nodeId);
    if (it == m_entries.end())
        return;
    it->second.movie.reset();
    if (!it->second.file.empty()) {
        std::error_code ec;
        std::filesystem::remove(it->second.file, ec);
    }
    m_entries.erase(it);
}

void WorkingCopies::discardAll()
{
    while (!m_entries.empty())
        discard(m_entries.rbegin()->first);
}

} // namespace qm
