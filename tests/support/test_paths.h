#pragma once
#include <filesystem>
#include <string>

namespace qm::test {

// Folder of the real QuickTime VR files made by other tools; empty when it does not exist.
std::filesystem::path samplesDir();
// Skips the current test with a message when a real sample file is not available.
#define QM_REQUIRE_SAMPLE(path)                                                                \
    do {                                                                                       \
        if (!std::filesystem::exists(path))                                                    \
            GTEST_SKIP() << "real sample not available: " << (path);                           \
    } while (0)

std::filesystem::path testDataDir();
std::filesystem::path cliPath();

// A fresh, empty temporary folder removed when the object goes out of scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// Runs a command through the shell; returns its exit status and fills output with stdout.
int runCommand(const std::string& command, std::string* output = nullptr);

} // namespace qm::test
