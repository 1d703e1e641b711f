#pragma once
// Files the process must not leave behind: temporary files of a save in progress and scratch
// files. They are registered here so that a process ended by a signal (a second Ctrl-C,
// SIGTERM, SIGHUP) removes them on its way out, and named after the process so that files left
// by a process that could not clean up (SIGKILL, power loss) are recognised and removed by the
// next one.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace qm {

// Registers a file for removal when the process ends abnormally; returns a handle for
// forgetCleanupFile, or -1 when the table is full (the file is then not looked after).
int registerCleanupFile(const std::filesystem::path& file);
void forgetCleanupFile(int handle);
// Removes every registered file that still exists. Async-signal-safe: for signal handlers.
void removeCleanupFilesNow() noexcept;

// RAII registration.
class CleanupFile {
public:
    CleanupFile() = default;
    explicit CleanupFile(const std::filesystem::path& file) : m_handle(registerCleanupFile(file)) {}
    ~CleanupFile() { forget(); }
    CleanupFile(const CleanupFile&) = delete;
    CleanupFile& operator=(const CleanupFile&) = delete;
    void reset(const std::filesystem::path& file)
    {
        forget();
        m_handle = registerCleanupFile(file);
    }
    void forget()
    {
        forgetCleanupFile(m_handle);
        m_handle = -1;
    }

private:
    int m_handle = -1;
};

// True when a process with this ID exists (or may exist: one of another user).
bool processIsAlive(long pid);

// The name of a temporary file beside `target` for a save in progress:
// ".<name>.saving-<pid>-<n>", with the name cut (never inside a UTF-8 character) so that the
// whole fits the file system's 255-byte limit whatever the length of the target's name.
std::string savingFileName(const std::filesystem::path& target, std::uint32_t n);

// Removes the temporary files of saves of `target` (as savingFileName makes them) whose
// process has ended. Errors are ignored.
void removeStaleSavingFiles(const std::filesystem::path& target);

} // namespace qm
