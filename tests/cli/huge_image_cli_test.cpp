// Images whose headers declare pictures far beyond the limits are refused before any decoder
// allocates for them: quillmere-cli stays small while it says no.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include "quicktime/base/byte_io.h"
#include "quicktime/base/errors.h"
#include "quicktime/files/image_file.h"
#include "support/qtvr_fixtures.h"
#include "support/test_paths.h"

namespace qm {
namespace {

constexpr std::uint32_t kHuge = 16000;

void be32(Bytes& b, std::uint32_t v)
{
    for (int s : {24, 16, 8, 0})
        b.push_back(std::uint8_t(v >> s));
}
void be16(Bytes& b, std::uint32_t v)
{
    b.push_back(std::uint8_t(v >> 8));
    b.push_back(std::uint8_t(v));
}
void le16(Bytes& b, std::uint32_t v)
{
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}
void le32(Bytes& b, std::uint32_t v)
{
    le16(b, v & 0xFFFF);
    le16(b, v >> 16);
}

void pngChunk(Bytes& b, const char* type, const Bytes& data)
{
    be32(b, std::uint32_t(data.size()));
    const std::size_t start = b.size();
    b.insert(b.end(), type, type + 4);
    b.insert(b.end(), data.begin(), data.end());
    be32(b, std::uint32_t(crc32(0, b.data() + start, uInt(b.size() - start))));
}

// A few KB: 16000 x 16000 RGBA at 16 bits a component, with 20 rows of zeros.
Bytes hugePng()
{
    Bytes b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes ihdr;
    be32(ihdr, kHuge);
    be32(ihdr, kHuge);
    ihdr.insert(ihdr.end(), {16, 6, 0, 0, 0});
    pngChunk(b, "IHDR", ihdr);
    const Bytes rows(std::size_t(20) * (1 + kHuge * 8), 0);
    uLongf size = compressBound(uLong(rows.size()));
    Bytes packed(size);
    compress2(packed.data(), &size, rows.data(), uLong(rows.size()), 9);
    packed.resize(size);
    pngChunk(b, "IDAT", packed);
    pngChunk(b, "IEND", {});
    return b;
}

Bytes hugeBmp()
{
    Bytes b = {'B', 'M'};
    le32(b, 54 + 1024 + 64);
    le32(b, 0);
    le32(b, 54 + 1024);
    le32(b, 40);
    le32(b, kHuge);
    le32(b, kHuge);
    le16(b, 1);
    le16(b, 8);
    le32(b, 1); // RLE8
    le32(b, 64);
    le32(b, 2835);
    le32(b, 2835);
    le32(b, 256);
    le32(b, 0);
    b.resize(b.size() + 1024, 0x80);
    for (int i = 0; i < 31; ++i)
        b.insert(b.end(), {0xFF, 0x10});
    b.insert(b.end(), {0x00, 0x01});
    return b;
}

Bytes hugeGif()
{
    Bytes b = {'G', 'I', 'F', '8', '9', 'a'};
    le16(b, kHuge);
    le16(b, kHuge);
    b.insert(b.end(), {0xF7, 0, 0});
    b.resize(b.size() + 768, 0x40);
    b.push_back(',');
    le16(b, 0);
    le16(b, 0);
    le16(b, kHuge);
    le16(b, kHuge);
    b.insert(b.end(), {0, 8, 4, 0x00, 0x01, 0x02, 0x03, 0, ';'});
    return b;
}

Bytes hugeTga()
{
    Bytes b = {0, 0, 10, 0, 0, 0, 0, 0};
    le16(b, 0);
    le16(b, 0);
    le16(b, kHuge);
    le16(b, kHuge);
    b.insert(b.end(), {32, 8});
    for (int i = 0; i < 400; ++i)
        b.insert(b.end(), {0xFF, 1, 2, 3, 0xFF});
    return b;
}

Bytes hugeSgi()
{
    Bytes b;
    be16(b, 474);
    b.insert(b.end(), {0, 1}); // verbatim, 1 byte a component
    be16(b, 3);
    be16(b, kHuge);
    be16(b, kHuge);
    be16(b, 4);
    be32(b, 0);
    be32(b, 255);
    b.resize(512 + 2048, 0x33);
    return b;
}

Bytes hugePhotoshop()
{
    Bytes b = {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0, 0, 3};
    be32(b, kHuge);
    be32(b, kHuge);
    be16(b, 8);
    be16(b, 3);
    be32(b, 0);
    be32(b, 0);
    be32(b, 0);
    be16(b, 0); // raw
    b.resize(b.size() + 2048, 0x55);
    return b;
}

Bytes hugeJpeg()
{
    Bytes b = {0xFF, 0xD8, 0xFF, 0xE0};
    be16(b, 16);
    b.insert(b.end(), {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0});
    b.insert(b.end(), {0xFF, 0xC0});
    be16(b, 17);
    b.push_back(8);
    be16(b, kHuge);
    be16(b, kHuge);
    b.insert(b.end(), {3, 1, 0x22, 0, 2, 0x11, 0, 3, 0x11, 0});
    b.resize(b.size() + 1024, 0);
    b.insert(b.end(), {0xFF, 0xD9});
    return b;
}

struct HugeImage {
    const char* name;
    OSType type;
    Bytes (*make)();
};
const HugeImage kHugeImages[] = {
    {"huge.png", fourCC("PNG "), hugePng}, {"huge.bmp", fourCC("BMP "), hugeBmp},
    {"huge.gif", fourCC("GIF "), hugeGif}, {"huge.tga", fourCC("TPIC"), hugeTga},
    {"huge.sgi", fourCC("SGI "), hugeSgi}, {"huge.psd", fourCC("8BPS"), hugePhotoshop},
    {"huge.jpg", fourCC("JPEG"), hugeJpeg},
};

void save(const std::filesystem::path& file, const Bytes& bytes)
{
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Runs quillmere-cli with the arguments; returns its exit status and peak memory in KB.
int runMeasured(const std::vector<std::string>& args, long& maxRssKb)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        std::vector<char*> argv;
        std::string cli = test::cliPath().string();
        argv.push_back(cli.data());
        std::vector<std::string> copies = args;
        for (auto& a : copies)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    maxRssKb = usage.ru_maxrss;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool sanitized()
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}

TEST(HugeImages, DecodingRefusesDeclaredSizesBeyondTheLimitsWithTheSize)
{
    for (const HugeImage& image : kHugeImages) {
        SCOPED_TRACE(image.name);
        OffscreenPicture picture;
        std::string detail;
        EXPECT_EQ(decodeImage(image.make(), image.type, picture, &detail), err::memFullErr);
        EXPECT_NE(detail.find("16000 x 16000"), std::string::npos) << detail;
    }
}

TEST(HugeImages, InfoSceneAddAndComposeRefuseThemInLittleMemory)
{
    test::TempDir dir;
    ASSERT_TRUE(test::writeStillImage(dir / "small.png", fourCC("PNG "), 64, 48));
    long baseline = 0;
    ASSERT_EQ(runMeasured({"info", (dir / "small.png").string()}, baseline), 0);
    // Sanitizers add their own bookkeeping to every process; the limit is then over the baseline.
    const long limitKb = sanitized() ? baseline + 64 * 1024 : 64 * 1024;

    for (const HugeImage& image : kHugeImages) {
        SCOPED_TRACE(image.name);
        save(dir / image.name, image.make());
        long rss = 0;
        EXPECT_NE(runMeasured({"info", (dir / image.name).string()}, rss), 0);
        EXPECT_LT(rss, limitKb) << "info";
        EXPECT_NE(runMeasured({"scene", "add", (dir / "Huge.qmp").string(), (dir / image.name).string()}, rss), 0);
        EXPECT_LT(rss, limitKb) << "scene add";
        EXPECT_FALSE(std::filesystem::exists(dir / "Huge.qmp"));
    }

    // A project whose still image was swapped for a huge one after it was added.
    ASSERT_EQ(runMeasured({"scene", "add", (dir / "Swap.qmp").string(), (dir / "small.png").string()}, baseline), 0);
    save(dir / "small.png", hugePng());
    long rss = 0;
    EXPECT_NE(runMeasured({"compose", (dir / "Swap.qmp").string(), "-o", (dir / "Swap.mov").string()}, rss), 0);
    EXPECT_LT(rss, limitKb) << "compose";
    EXPECT_FALSE(std::filesystem::exists(dir / "Swap.mov"));
}

} // namespace
} // namespace qm
