#include "appcore/preferences_store.h"

#include <algorithm>
#include <fstream>

#include "appcore/atomic_file.h"
#include "appcore/scratch_files.h"
#include "quicktime/base/errors.h"

namespace qm {

namespace fs = std::filesystem;

PreferencesStore::PreferencesStore() { m_record.applyDefaults({}); }

void PreferencesStore::takeRecord(std::string_view defaultScratchFolder)
{
    m_record = PreferencesRecord();
    std::array<std::uint8_t, PreferencesRecord::kSize> buffer{};
    const std::size_t n = readRecord(buffer, kPreferencesRecordId);
    m_record.assignBytes(std::span(buffer.data(), n));
    m_record.applyDefaults(defaultScratchFolder);
}

OSErr PreferencesStore::loadFromBytes(std::span<const std::uint8_t> bytes, std::string_view defaultScratchFolder)
{
    m_container = AtomContainer();
    const OSErr e = AtomContainer::parse(bytes, m_container);
    takeRecord(defaultScratchFolder);
    return e;
}

OSErr PreferencesStore::load(const fs::path& file, std::string_view defaultScratchFolder)
{
    m_file = file;
    std::error_code ec;
    const bool exists = fs::exists(file, ec);
    if (!exists && !ec) {
        m_container = AtomContainer();
        takeRecord(defaultScratchFolder);
        writeFile(); // first start: the file exists from now on (a failure is not reported)
        return err::fnfErr;
    }
    const std::uintmax_t size = fs::file_size(file, ec);
    if (ec || size > kMaxFileSize) {
        m_container = AtomContainer();
        takeRecord(defaultScratchFolder);
        return ec ? err::ioErr : err::invalidAtomContainerErr;
    }
    Bytes bytes(size);
    std::ifstream in(file, std::ios::binary);
    in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(size));
    if (!in || std::size_t(in.gcount()) != size) {
        m_container = AtomContainer();
        takeRecord(defaultScratchFolder);
        return err::ioErr;
    }
    return loadFromBytes(bytes, defaultScratchFolder);
}

std::size_t PreferencesStore::readRecord(std::span<std::uint8_t> buffer, AtomID id) const
{
    const AtomRef atom = m_container.findChildById(AtomContainer::kRoot, kPreferencesAtomType, id);
    const auto data = m_container.data(atom);
    const std::size_t n = std::min(data.size(), buffer.size());
    std::copy_n(data.begin(), n, buffer.begin());
    return n;
}

OSErr PreferencesStore::setAtom(std::span<const std::uint8_t> data, AtomID id)
{
    const AtomRef atom = m_container.findChildById(AtomContainer::kRoot, kPreferencesAtomType, id);
    if (atom && m_container.countChildren(atom) == 0)
        return m_container.setData(atom, data);
    if (atom) // an atom with children where data belongs: the file was damaged
        m_container.removeAtom(atom);
    return m_container.insertChild(AtomContainer::kRoot, kPreferencesAtomType, id, 0, data);
}

OSErr PreferencesStore::writeRecord(std::span<const std::uint8_t> data, AtomID id)
{
    if (const OSErr e = setAtom(data, id))
        return e;
    return writeFile();
}

OSErr PreferencesStore::save() { return writeRecord(m_record.bytes(), kPreferencesRecordId); }

OSErr PreferencesStore::writeFile() const
{
    if (m_file.empty())
        return err::fnfErr;
    std::error_code ec;
    fs::create_directories(m_file.parent_path(), ec);
    return writeFileAtomically(m_file, m_container.serialize());
}

PreferencesStore& appPreferences()
{
    static PreferencesStore store;
    return store;
}

} // namespace qm
