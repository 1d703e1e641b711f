#include "compose/working_copies.h"

#include <system_error>

namespace qm {

WorkingCopies::~WorkingCopies() = default;

std::filesystem::path WorkingCopies::file(std::int16_t nodeId) const
{
    auto it = m_files.find(nodeId);
    return it == m_files.end() ? std::filesystem::path() : it->second;
}

void WorkingCopies::setFile(std::int16_t nodeId, const std::filesystem::path& file) { m_files[nodeId] = file; }

void WorkingCopies::discard(std::int16_t nodeId)
{
    auto it = m_files.find(nodeId);
    if (it == m_files.end())
        return;
    std::error_code ec;
    std::filesystem::remove(it->second, ec);
    m_files.erase(it);
}

void WorkingCopies::discardAll()
{
    while (!m_files.empty())
        discard(m_files.rbegin()->first);
}

} // namespace qm
