#include "quicktime/base/cleanup_files.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {

namespace {

constexpr int kSlots = 4096;
constexpr std::size_t kMaxName = 255;

// Each slot holds a heap copy of a path or null. Signal handlers only read the pointers.
std::atomic<char*> g_slots[kSlots];

bool exists(const char* path)
{
    struct stat st {};
    return ::lstat(path, &st) == 0;
}

// Cuts UTF-8 text to at most `limit` bytes without splitting a character.
std::string cutUtf8(std::string text, std::size_t limit)
{
    if (text.size() <= limit)
        return text;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    text.resize(end);
    return text;
}

} // namespace

int registerCleanupFile(const std::filesystem::path& file)
{
    const std::string& text = file.native();
    char* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (!copy)
        return -1;
    std::memcpy(copy, text.c_str(), text.size() + 1);
    // A free slot, else one whose file is gone already (its owner forgot it, or removed it).
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < kSlots; ++i) {
            char* current = g_slots[i].load();
            if (current && (pass == 0 || exists(current)))
                continue;
            if (g_slots[i].compare_exchange_strong(current, copy)) {
                std::free(current);
                return i;
            }
        }
    }
    std::free(copy);
    return -1;
}

void forgetCleanupFile(int handle)
{
    if (handle < 0 || handle >= kSlots)
        return;
    std::free(g_slots[handle].exchange(nullptr));
}

void removeCleanupFilesNow() noexcept
{
    for (auto& slot : g_slots)
        if (const char* path = slot.load())
            ::unlink(path);
}

bool processIsAlive(long pid)
{
    if (pid <= 0)
        return false;
    if (pid == long(::getpid()))
        return true;
    return ::kill(pid_t(pid), 0) == 0 || errno != ESRCH;
}

std::string savingFileName(const std::filesystem::path& target, std::uint32_t n)
{
    const std::string suffix = ".saving-" + std::to_string(::getpid()) + "-" + std::to_string(n);
    return "." + cutUtf8(target.filename().string(), kMaxName - 1 - suffix.size()) + suffix;
}

void removeStaleSavingFiles(const std::filesystem::path& target)
{
    std::filesystem::path folder = target.parent_path();
    if (folder.empty())
        folder = ".";
    const std::string own = target.filename().string();
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        // ".<name, maybe cut>.saving-<pid>-<n>"
        const std::string_view name = entry->d_name;
        const auto marker = name.rfind(".saving-");
        if (name.size() < 2 || name[0] != '.' || marker == std::string_view::npos || marker < 2)
            continue;
        const std::string_view stem = name.substr(1, marker - 1);
        if (own.compare(0, stem.size(), stem) != 0 || (stem.size() != own.size() && name.size() < kMaxName - 24))
            continue;
        const std::string rest(name.substr(marker + 8));
        char* end = nullptr;
        const long pid = std::strtol(rest.c_str(), &end, 10);
        if (end == rest.c_str() || *end != '-' || processIsAlive(pid))
            continue;
        ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

} // namespace qm
