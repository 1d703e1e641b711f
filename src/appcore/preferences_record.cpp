#include "appcore/preferences_record.h"

#include <algorithm>
#include <cstring>

#include "quicktime/base/legacy_text.h"

namespace qm {

// Field offsets within the record.
namespace {
// The scratch folder is an FSSpec: i16 volume reference and i32 parent folder id
// (both 0 here), then a Str255 name that holds the whole path.
constexpr std::size_t kScratchVolume = 2;
constexpr std::size_t kScratchName = 8;
constexpr std::size_t kTextField = 256;    // NUL-terminated annotation fields
} // namespace

const std::string_view kDefaultAnnotationDescription =
    "Created by Quillmere\n"
    "Quillmere, the QuickTime VR scene authoring tool, is available from its project site.";

void PreferencesRecord::assignBytes(std::span<const std::uint8_t> data)
{
    std::copy_n(data.begin(), std::min(data.size(), kSize), m_bytes.begin());
}

std::string PreferencesRecord::scratchFolder() const
{
    const std::size_t length = m_bytes[kScratchName];
    return std::string(reinterpret_cast<const char*>(&m_bytes[kScratchName + 1]), length);
}

bool PreferencesRecord::setScratchFolder(std::string_view path)
{
    if (path.size() > kMaxScratchPathBytes)
        return false;
    std::fill(&m_bytes[kScratchVolume], &m_bytes[kScratchName + 256], std::uint8_t(0));
    m_bytes[kScratchName] = std::uint8_t(path.size());
    std::copy(path.begin(), path.end(), &m_bytes[kScratchName + 1]);
    return true;
}

void PreferencesRecord::setWarningThresholdMB(int megabytes)
{
    setI16At(330, std::int16_t(std::clamp(megabytes, 0, kMaxWarningThresholdMB)));
}

void PreferencesRecord::setAutoHotSpotSizePercent(int percent)
{
    setI16At(1118, std::int16_t(std::clamp(percent, kMinHotSpotSizePercent, kMaxHotSpotSizePercent)));
}

void PreferencesRecord::applyDefaults(std::string_view defaultScratchFolder)
{
    if (!initialised()) {
        if (!setScratchFolder(defaultScratchFolder))
            setScratchFolder({}); // empty also means the temporary folder
        setInitialised(true);
        setWarningThresholdMB(30);
        setLowSpaceWarning(true);
    }
    if (!annotationsSetUp()) {
        setAnnotationsSetUp(true);
        setAnnotationName({});
        setAnnotationCopyright({});
        setAnnotationDescription(kDefaultAnnotationDescription);
    }
    if (creator() == 0)
        setCreator(kDefaultCreator);
    if (autoHotSpotSizePercent() == 0)
        setAutoHotSpotSizePercent(50);
    if (autoHotSpotColor() == RGBColor{})
        setAutoHotSpotColor({0, 65535, 0});
    if (manualHotSpotColor() == RGBColor{})
        setManualHotSpotColor({65535, 0, 0});

    // Out-of-range values can only come from a damaged or foreign file.
    setWarningThresholdMB(warningThresholdMB());
    setAutoHotSpotSizePercent(autoHotSpotSizePercent());
    if (int(startupAction()) < 0 || int(startupAction()) > 2)
        setStartupAction(StartupAction::NewDocument);
    if (int(autoHotSpotShape()) < 0 || int(autoHotSpotShape()) > 3)
        setAutoHotSpotShape(AutoHotSpotShape::Rectangle);
}

void PreferencesRecord::setI16At(std::size_t at, std::int16_t v)
{
    m_bytes[at] = std::uint8_t(std::uint16_t(v));
    m_bytes[at + 1] = std::uint8_t(std::uint16_t(v) >> 8);
}

std::uint32_t PreferencesRecord::u32At(std::size_t at) const
{
    return std::uint32_t(m_bytes[at]) | (std::uint32_t(m_bytes[at + 1]) << 8) |
           (std::uint32_t(m_bytes[at + 2]) << 16) | (std::uint32_t(m_bytes[at + 3]) << 24);
}

void PreferencesRecord::setU32At(std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        m_bytes[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
}

RGBColor PreferencesRecord::colorAt(std::size_t at) const
{
    return {std::uint16_t(i16At(at)), std::uint16_t(i16At(at + 2)), std::uint16_t(i16At(at + 4))};
}

void PreferencesRecord::setColorAt(std::size_t at, RGBColor c)
{
    setI16At(at, std::int16_t(c.red));
    setI16At(at + 2, std::int16_t(c.green));
    setI16At(at + 4, std::int16_t(c.blue));
}

std::string PreferencesRecord::textAt(std::size_t at) const
{
    // A field without its NUL (a damaged file) is read up to its last byte but one.
    const char* p = reinterpret_cast<const char*>(&m_bytes[at]);
    return std::string(p, strnlen(p, kTextField - 1));
}

void PreferencesRecord::setTextAt(std::size_t at, std::string_view text)
{
    const std::string cut = cutText(text.substr(0, std::min(text.find('\0'), text.size())),
                                         kMaxAnnotationBytes);
    std::fill_n(&m_bytes[at], kTextField, std::uint8_t(0));
    std::copy(cut.begin(), cut.end(), &m_bytes[at]);
}

} // namespace qm
