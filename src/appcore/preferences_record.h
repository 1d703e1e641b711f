#pragma once
// The preferences record: 1222 bytes kept in memory for the whole run and stored as the data of
// a 'DFLT' atom. Unlike every other stored record it is in the byte order of the machine that
// first wrote it, which for the program's files is little-endian; it is read and written
// little-endian on any host. Bytes the program does not interpret are kept as they were read.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "quicktime/base/os_types.h"

namespace qm {

enum class StartupAction : std::int16_t {
    NewDocument = 0,  // "Create a new untitled document."
    OpenDocument = 1, // "Open a document from disk."
    NoDocument = 2,   // "Start with no document open."
};

enum class AutoHotSpotShape : std::int16_t { Rectangle = 0, Square = 1, Oval = 2, Circle = 3 };

class PreferencesRecord {
public:
    static constexpr std::size_t kSize = 1222;
    static constexpr std::size_t kMaxScratchPathBytes = 255;
    static constexpr std::size_t kMaxAnnotationBytes = 255;
    static constexpr int kMaxWarningThresholdMB = 100;
    static constexpr int kMinHotSpotSizePercent = 10;
    static constexpr int kMaxHotSpotSizePercent = 100;

    // A record that was never set up: all zero.
    PreferencesRecord() { m_bytes.fill(0); }

    std::span<const std::uint8_t, kSize> bytes() const { return m_bytes; }
    // Copies at most kSize bytes over the start of the record; a shorter block leaves the rest
    // of the record as it was.
    void assignBytes(std::span<const std::uint8_t> data);

    bool initialised() const { return m_bytes[0] != 0; }
    void setInitialised(bool on) { m_bytes[0] = on ? 1 : 0; }

    // The scratch folder as a path; empty means the system's temporary folder.
    std::string scratchFolder() const;
    // False (and the record unchanged) when the path is longer than kMaxScratchPathBytes.
    bool setScratchFolder(std::string_view path);

    bool lowSpaceWarning() const { return m_bytes[328] != 0; }
    void setLowSpaceWarning(bool on) { m_bytes[328] = on ? 1 : 0; }
    int warningThresholdMB() const { return i16At(330); }
    void setWarningThresholdMB(int megabytes); // held between 0 and 100

    StartupAction startupAction() const { return StartupAction(i16At(332)); }
    void setStartupAction(StartupAction action) { setI16At(332, std::int16_t(action)); }

    bool annotationsSetUp() const { return i16At(336) != 0; }
    void setAnnotationsSetUp(bool on) { setI16At(336, on ? 1 : 0); }
    // Annotation texts; longer texts are cut to kMaxAnnotationBytes.
    std::string annotationName() const { return textAt(338); }
    void setAnnotationName(std::string_view text) { setTextAt(338, text); }
    std::string annotationCopyright() const { return textAt(594); }
    void setAnnotationCopyright(std::string_view text) { setTextAt(594, text); }
    std::string annotationDescription() const { return textAt(850); }
    void setAnnotationDescription(std::string_view text) { setTextAt(850, text); }

    OSType creator() const { return OSType(u32At(1106)); }
    void setCreator(OSType type) { setU32At(1106, type); }

    AutoHotSpotShape autoHotSpotShape() const { return AutoHotSpotShape(i16At(1116)); }
    void setAutoHotSpotShape(AutoHotSpotShape shape) { setI16At(1116, std::int16_t(shape)); }
    // Size of generated hot spots in percent of the image height.
    int autoHotSpotSizePercent() const { return i16At(1118); }
    void setAutoHotSpotSizePercent(int percent); // held between 10 and 100
    RGBColor autoHotSpotColor() const { return colorAt(1122); }
    void setAutoHotSpotColor(RGBColor c) { setColorAt(1122, c); }
    RGBColor manualHotSpotColor() const { return colorAt(1128); }
    void setManualHotSpotColor(RGBColor c) { setColorAt(1128, c); }
    // Whether an added movie keeps the hot spots it carries. Stored inverted in the first byte
    // of the reserved block after the colours, so that records written before the setting
    // existed (all zero there) keep them, and older programs carry the byte along unread.
    bool keepMovieHotSpots() const { return m_bytes[kDropMovieHotSpotsAt] == 0; }
    void setKeepMovieHotSpots(bool on) { m_bytes[kDropMovieHotSpotsAt] = on ? 0 : 1; }

    // What loading does to a record read from the file (or a fresh one): a record that was never
    // set up takes the default scratch folder and warning; missing annotations, creator, hot spot
    // size and colours take their defaults; values out of their range (a damaged file) are
    // brought back into it.
    void applyDefaults(std::string_view defaultScratchFolder);

    friend bool operator==(const PreferencesRecord&, const PreferencesRecord&) = default;

private:
    std::int16_t i16At(std::size_t at) const { return std::int16_t(m_bytes[at] | (m_bytes[at + 1] << 8)); }
    void setI16At(std::size_t at, std::int16_t v);
    std::uint32_t u32At(std::size_t at) const;
    void setU32At(std::size_t at, std::uint32_t v);
    RGBColor colorAt(std::size_t at) const;
    void setColorAt(std::size_t at, RGBColor c);
    std::string textAt(std::size_t at) const;
    void setTextAt(std::size_t at, std::string_view text);

    static constexpr std::size_t kDropMovieHotSpotsAt = 1134;
    std::array<std::uint8_t, kSize> m_bytes;
};

// The default Description annotation.
extern const std::string_view kDefaultAnnotationDescription;
inline constexpr OSType kDefaultCreator = fourCC("TVOD");

} // namespace qm
