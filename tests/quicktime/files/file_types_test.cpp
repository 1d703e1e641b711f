#include "quicktime/base/errors.h"
#include "quicktime/files/file_types.h"
#include "support/test_paths.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <string>
#include <vector>

using namespace qm;
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytes(std::string_view s) { return Bytes(s.begin(), s.end()); }

Bytes atom(std::uint32_t size, const char (&type)[5], std::size_t fill = 0)
{
    Bytes b{std::uint8_t(size >> 24), std::uint8_t(size >> 16), std::uint8_t(size >> 8), std::uint8_t(size)};
    for (int i = 0; i < 4; ++i)
        b.push_back(std::uint8_t(type[i]));
    b.resize(b.size() + fill);
    return b;
}

Bytes cat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

OSType sniff(const Bytes& b, bool weak = false) { return fileTypeFromContent(b, b, b.size(), weak); }

void write(const fs::path& p, const Bytes& b)
{
    std::ofstream f(p, std::ios::binary);
    f.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

Bytes pictV2()
{
    Bytes b(512 + 10, 0);
    b.push_back(0x00);
    b.push_back(0x11);
    b.push_back(0x02);
    b.push_back(0xFF);
    b.resize(600);
    return b;
}

} // namespace

TEST(FileTypes, StrongSignaturesOfEveryStillImageFormat)
{
    Bytes bmp = bytes("BM");
    bmp.resize(14);
    bmp.insert(bmp.end(), {40, 0, 0, 0});
    Bytes sgi = {0x01, 0xDA, 0x01, 0x01, 0x00, 0x03};
    Bytes psd = bytes("8BPS");
    psd.insert(psd.end(), {0, 1});
    Bytes tga(40, 0);
    const std::string footer("TRUEVISION-XFILE.\0", 18);
    tga.insert(tga.end(), footer.begin(), footer.end());

    EXPECT_EQ(sniff(bytes("\xFF\xD8\xFF\xE0....JFIF")), fourCC("JPEG"));
    EXPECT_EQ(sniff(bytes("\x89PNG\r\n\x1A\n....")), fourCC("PNGf"));
    EXPECT_EQ(sniff(bytes("GIF89a....")), fourCC("GIFf"));
    EXPECT_EQ(sniff(bytes(std::string_view("II*\0\x08\0\0\0", 8))), fourCC("TIFF"));
    EXPECT_EQ(sniff(bytes(std::string_view("MM\0*\0\0\0\x08", 8))), fourCC("TIFF"));
    EXPECT_EQ(sniff(bmp), fourCC("BMPf"));
    EXPECT_EQ(sniff(sgi), fourCC("SGI "));
    EXPECT_EQ(sniff(psd), fourCC("8BPS"));
    EXPECT_EQ(sniff(tga), fourCC("TPIC"));
    EXPECT_EQ(sniff(pictV2()), fourCC("PICT"));
    EXPECT_EQ(sniff(cat({atom(20, "idsc", 12), atom(8, "idat")})), fourCC("qtif"));

    // Near misses are not taken for the format.
    Bytes notBmp = bmp;
    notBmp[14] = 41;
    EXPECT_EQ(sniff(notBmp), 0u);
    EXPECT_EQ(sniff(bytes(std::string_view("8BPS\0\x09", 6))), 0u);
    EXPECT_EQ(sniff(bytes("GIF90a")), 0u);
    EXPECT_EQ(sniff({}), 0u);
}

TEST(FileTypes, MoviesByTheirFirstAtoms)
{
    EXPECT_EQ(sniff(cat({atom(16, "moov", 8)})), kMovieFileType);
    EXPECT_EQ(sniff(cat({atom(8, "wide"), atom(16, "mdat", 8)})), kMovieFileType);
    EXPECT_EQ(sniff(cat({atom(12, "free", 4), atom(8, "skip"), atom(16, "moov", 8)})), kMovieFileType);
    EXPECT_EQ(sniff(cat({atom(0, "mdat", 8)})), kMovieFileType); // to the end of the file
    EXPECT_EQ(sniff(cat({atom(16, "ftyp"), bytes(std::string_view("qt  \0\0\0\0", 8))})), kMovieFileType);
    // A cut-off mdat still holds a movie; other atoms larger than the file do not.
    EXPECT_EQ(sniff(atom(100000, "mdat", 8)), kMovieFileType);
    EXPECT_EQ(sniff(atom(100000, "moov", 8)), 0u);
    // HEIF and AVIF images share the ISO file layout but are not movies.
    EXPECT_EQ(sniff(cat({atom(16, "ftyp"), bytes(std::string_view("heic\0\0\0\0", 8))})), 0u);
    EXPECT_EQ(sniff(cat({atom(16, "ftyp"), bytes(std::string_view("avif\0\0\0\0", 8))})), 0u);
    EXPECT_EQ(sniff(atom(4, "moov", 8)), 0u); // impossible atom size
    EXPECT_EQ(sniff(atom(16, "abcd", 8)), 0u);
    // A 64-bit atom size.
    Bytes big = atom(1, "mdat");
    big.insert(big.end(), {0, 0, 0, 0, 0, 0, 0, 24});
    big.resize(24);
    EXPECT_EQ(sniff(big), kMovieFileType);
}

TEST(FileTypes, WeakSignaturesCountOnlyWhenAskedFor)
{
    Bytes targa(18, 0);
    targa[2] = 2; // true colour
    targa[12] = 64;
    targa[14] = 48;
    targa[16] = 24;
    EXPECT_EQ(sniff(targa), 0u);
    EXPECT_EQ(sniff(targa, true), fourCC("TPIC"));
    targa[16] = 7;
    EXPECT_EQ(sniff(targa, true), 0u);

    Bytes macPaint(512 + 720 * 2, 0);
    macPaint[3] = 2;
    EXPECT_EQ(sniff(macPaint), 0u);
    EXPECT_EQ(sniff(macPaint, true), fourCC("PNTG"));
    macPaint.resize(100);
    EXPECT_EQ(fileTypeFromContent(macPaint, macPaint, 100, true), 0u);
}

TEST(FileTypes, ExtensionsIgnoreCaseAndTypeListsAreComplete)
{
    EXPECT_EQ(fileTypeFromExtension("a/b/Photo.JPG"), fourCC("JPEG"));
    EXPECT_EQ(fileTypeFromExtension("pano.MOV"), kMovieFileType);
    EXPECT_EQ(fileTypeFromExtension("plan.pct"), fourCC("PICT"));
    EXPECT_EQ(fileTypeFromExtension("image.qtif"), fourCC("qtif"));
    EXPECT_EQ(fileTypeFromExtension("paint.mac"), fourCC("PNTG"));
    EXPECT_EQ(fileTypeFromExtension("scene.qmp"), 0u);
    EXPECT_EQ(fileTypeFromExtension("noextension"), 0u);
    for (const char* t : {"8BPS", "BMP ", "BMPf", "GIF ", "GIFf", "JPEG", "PICT", "PNG ", "PNGf", "PNTG", "SGI ",
                          "TIFF", "TPIC", "clpp", "qdgx", "qtif"})
        EXPECT_TRUE(isStillImageFileType(fourCCFromString(t))) << t;
    EXPECT_FALSE(isStillImageFileType(kMovieFileType));
    EXPECT_TRUE(isMovieFileType(fourCC("MooV")));
}

TEST(FileTypes, FilesOnDiskContentBeforeNameThenAppleDouble)
{
    test::TempDir dir;
    fs::path type;
    OSType t = 1;
    EXPECT_EQ(getFileType(dir / "missing.jpg", t), err::fnfErr);
    EXPECT_EQ(t, 0u);
    EXPECT_EQ(getFileType(dir.path(), t), err::fnfErr);

    write(dir / "really-a-jpeg.mov", bytes("\xFF\xD8\xFF\xE1"));
    ASSERT_EQ(getFileType(dir / "really-a-jpeg.mov", t), 0);
    EXPECT_EQ(t, fourCC("JPEG"));
    write(dir / "noext", bytes("\x89PNG\r\n\x1A\n"));
    ASSERT_EQ(getFileType(dir / "noext", t), 0);
    EXPECT_EQ(t, fourCC("PNGf"));
    write(dir / "empty.tga", {});
    ASSERT_EQ(getFileType(dir / "empty.tga", t), 0);
    EXPECT_EQ(t, fourCC("TPIC"));
    ASSERT_EQ(::mkfifo((dir / "pipe.mov").c_str(), 0600), 0);
    ASSERT_EQ(getFileType(dir / "pipe.mov", t), 0); // returns at once, with no type
    EXPECT_EQ(t, 0u);
    write(dir / "notes.txt", bytes("hello"));
    ASSERT_EQ(getFileType(dir / "notes.txt", t), 0);
    EXPECT_EQ(t, 0u);

    // A file copied from a Mac without extension, its Finder type in "._Pano".
    write(dir / "Pano", bytes("garbage that is no known format"));
    Bytes ad = {0x00, 0x05, 0x16, 0x07, 0x00, 0x02, 0x00, 0x00};
    ad.resize(24);
    ad.insert(ad.end(), {0, 1, 0, 0, 0, 9, 0, 0, 0, 38, 0, 0, 0, 32});
    ad.resize(38);
    const Bytes finder = bytes("MooVTVOD");
    ad.insert(ad.end(), finder.begin(), finder.end());
    ad.resize(70);
    write(dir / "._Pano", ad);
    ASSERT_EQ(getFileType(dir / "Pano", t), 0);
    EXPECT_EQ(t, kMovieFileType);
    EXPECT_EQ(fileTypeFromAppleDouble(ad), kMovieFileType);
    Bytes badOffset = ad;
    badOffset[33] = 200; // Finder information beyond the data
    EXPECT_EQ(fileTypeFromAppleDouble(badOffset), 0u);
    Bytes manyEntries = ad;
    manyEntries[25] = 0xFF; // more entries than bytes
    EXPECT_EQ(fileTypeFromAppleDouble(Bytes(manyEntries.begin(), manyEntries.begin() + 30)), 0u);
}

TEST(FileTypes, RealQuickTimeVrMoviesAreMovies)
{
    for (const char* name : {"wyk_pano_8.mov", "osu_facilities-panorama-sm.mov", "cuty_CuTy.mov"}) {
        const fs::path p = test::samplesDir() / name;
        if (!fs::exists(p)) {
            GTEST_SKIP() << "real sample not available: " << p;
        }
        // Content alone, as if the file had lost its extension.
        std::ifstream f(p, std::ios::binary);
        Bytes head(kFileTypeHeadBytes);
        f.read(reinterpret_cast<char*>(head.data()), std::streamsize(head.size()));
        head.resize(std::size_t(f.gcount()));
        EXPECT_EQ(fileTypeFromContent(head, {}, fs::file_size(p)), kMovieFileType) << name;
        OSType t = 0;
        ASSERT_EQ(getFileType(p, t), 0);
        EXPECT_EQ(t, kMovieFileType) << name;
    }
}
