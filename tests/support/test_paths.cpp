#include "support/test_paths.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <random>

namespace qm::test {

std::filesystem::path samplesDir()
{
    if (const char* env = std::getenv("QM_SAMPLES_DIR"))
        return env;
    return QM_SAMPLES_DIR;
}

std::filesystem::path testDataDir() { return QM_TEST_DATA_DIR; }
std::filesystem::path cliPath() { return QM_CLI_PATH; }

TempDir::TempDir()
{
    std::random_device rd;
    auto base = std::filesystem::temp_directory_path();
    for (;;) {
        m_path = base / ("qm-test-" + std::to_string(rd()));
        if (std::filesystem::create_directory(m_path))
            break;
    }
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

int runCommand(const std::string& command, std::string* output)
{
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return -1;
    std::array<char, 4096> buf{};
    std::size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
        if (output)
            output->append(buf.data(), n);
    int status = pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace qm::test
