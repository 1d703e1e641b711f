#include "project/scene_defaults.h"

#include <cctype>

namespace qm {

CompressionSettings defaultCompression(CompressionSlot slot)
{
    CompressionSettings c;
    c.dialogDepth = 32;
    c.colorDepth = 32;
    switch (slot) {
    case kPanoramaCompression:
        c.codecType = fourCC("cvid");
        c.spatialQuality = 768;
        break;
    case kObjectCompression:
        c.codecType = fourCC("jpeg");
        c.spatialQuality = 512;
        break;
    case kStillImageCompression:
        c.codecType = fourCC("jpeg");
        c.spatialQuality = 768;
        break;
    case kMovieCompression:
    default:
        c.codecType = fourCC("cvid");
        c.spatialQuality = 512;
        c.frameRate = doubleToFixed(12.0);
        c.keyFrameRate = 24;
        break;
    }
    return c;
}

Scene makeNewScene()
{
    Scene s;
    s.name = kUntitledSceneName;
    s.mapWidth = 70;
    s.mapHeight = 100;
    s.unitIndex = 2; // feet
    s.scaleFactor = 10;
    s.backgroundGrid = {true, 8, true};
    s.nodeGrid = {true, 8, true};
    s.orientation = 0.0f;
    s.masterWidth = 320;
    s.masterHeight = 240;
    s.playbackWidth = 320;
    s.playbackHeight = 240;
    s.imaging = {1, 1, 3, 3, 1, 3};
    for (std::size_t i = 0; i < kCompressionSlots; ++i)
        s.compression[i] = defaultCompression(CompressionSlot(i));
    return s;
}

bool isTemplatePath(const std::filesystem::path& path)
{
    std::string name = path.filename().string();
    if (name.size() < 4)
        return false;
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return tail == ".QMT";
}

} // namespace qm
