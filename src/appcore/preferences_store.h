#pragma once
// The preferences file: a QT atom container whose 'DFLT' atom with ID 103 holds the preferences
// record. The container is read once at start and kept in memory, so other 'DFLT' atoms in it
// (and anything else) are written back untouched.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>

#include "appcore/preferences_record.h"
#include "quicktime/atoms/atom_container.h"
#include "quicktime/base/os_types.h"

namespace qm {

inline constexpr OSType kPreferencesAtomType = fourCC("DFLT");
inline constexpr AtomID kPreferencesRecordId = 103;

class PreferencesStore {
public:
    // Larger files are not preferences files; they are treated as damaged, not read whole.
    static constexpr std::uintmax_t kMaxFileSize = 16 * 1024 * 1024;

    // Holds a record with every default applied until load() runs.
    PreferencesStore();

    // Reads the file into the container and the record, then applies the defaults. A missing
    // file is created holding an empty container; an unreadable, oversized or damaged one gives
    // an empty container (and is replaced at the next save). Returns the error that made the
    // defaults stand in, for information only: the record is usable whatever the result.
    OSErr load(const std::filesystem::path& file, std::string_view defaultScratchFolder);
    // load() for a container already in memory; no file is involved.
    OSErr loadFromBytes(std::span<const std::uint8_t> bytes, std::string_view defaultScratchFolder);

    // Writes the record into its atom and the container to the file, replacing it atomically.
    OSErr save();

    // The data of the top-level 'DFLT' atom with this ID copied into buffer (at most its size;
    // a shorter atom leaves the rest of the buffer as it was). Returns the number of bytes
    // copied, 0 when the atom is missing.
    std::size_t readRecord(std::span<std::uint8_t> buffer, AtomID id) const;
    // Replaces that atom's data (adding the atom when it is missing) and rewrites the file.
    OSErr writeRecord(std::span<const std::uint8_t> data, AtomID id);

    PreferencesRecord& record() { return m_record; }
    const PreferencesRecord& record() const { return m_record; }
    const std::filesystem::path& file() const { return m_file; }
    const AtomContainer& container() const { return m_container; }

private:
    OSErr setAtom(std::span<const std::uint8_t> data, AtomID id);
    OSErr writeFile() const;
    void takeRecord(std::string_view defaultScratchFolder);

    std::filesystem::path m_file;
    AtomContainer m_container;
    PreferencesRecord m_record;
};

// The program's preferences.
PreferencesStore& appPreferences();

} // namespace qm
