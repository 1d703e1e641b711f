#pragma once
// Drawing into an offscreen picture with a QuickDraw-style port state: foreground and
// background values, a pen (size, pattern, transfer mode and location) and a clip region.
//
// The painter holds a reference to its picture, which must outlive it. Shapes are converted to
// regions exactly (raster_shapes.h), clipped to the picture's bounds and the clip region, and
// then written run by run, so drawing is deterministic to the pixel: painting a hot spot with
// setForeValue(id) into an 8-bit picture leaves exactly the value id in every covered pixel.
#include <span>

#include "quicktime/raster/offscreen_picture.h"
#include "quicktime/raster/raster_geometry.h"
#include "quicktime/raster/raster_pattern.h"
#include "quicktime/raster/region.h"

namespace qm {

// How a pattern pixel meets the picture: set bits are the foreground, clear bits the background.
enum class TransferMode {
    Copy, // every pixel of the shape becomes the pattern's foreground or background (patCopy)
    Or,   // set bits paint the foreground, clear bits leave the picture alone (patOr)
    Xor,  // set bits invert the pixel: all index bits, or the RGB bits of a 32-bit pixel (patXor)
    Bic,  // set bits paint the background, clear bits leave the picture alone (patBic)
    Min,  // each RGB component becomes the smaller of the pattern's colour and the pixel's,
          // so the picture shows through as a tint (adMin); 8-bit pictures go through their
          // colour table and take the nearest entry
};

class RasterPainter {
public:
    // Starts with a black foreground, white background, a 1 x 1 solid black pen in Copy mode
    // at (0, 0), and no clip beyond the picture's bounds.
    explicit RasterPainter(OffscreenPicture& picture);

    // Colours become the nearest pixel value of the picture; values are written exactly.
    void setForeColor(const RGBColor& c);
    void setBackColor(const RGBColor& c);
    void setForeValue(std::uint32_t value) { m_fore = value; }
    void setBackValue(std::uint32_t value) { m_back = value; }
    std::uint32_t foreValue() const { return m_fore; }
    std::uint32_t backValue() const { return m_back; }

    void setPenSize(PenSize pen) { m_pen = pen; }
    PenSize penSize() const { return m_pen; }
    void setPenMode(TransferMode mode) { m_mode = mode; }
    void setPenPattern(const Pattern& pattern) { m_pattern = pattern; }
    void setClip(const Region& clip);
    void clearClip();

    // Paint: the shape in the pen's pattern and mode.
    void paintRegion(const Region& region);
    void paintRect(const Rect& r);
    void paintOval(const Rect& r);
    void paintArc(const Rect& r, int startAngle, int arcAngle);
    void paintPolygon(std::span<const Point> points);

    // Frame: the outline, inside the shape, with the pen's size, pattern and mode.
    void frameRegion(const Region& region);
    void frameRect(const Rect& r);
    void frameOval(const Rect& r);
    void frameArc(const Rect& r, int startAngle, int arcAngle);
    void framePolygon(std::span<const Point> points);

    // Fill: the shape in the given pattern, Copy mode. Erase: the shape in the background.
    // Invert: every pixel of the shape inverted as by Xor.
    void fillRegion(const Region& region, const Pattern& pattern);
    void fillRect(const Rect& r, const Pattern& pattern);
    void fillOval(const Rect& r, const Pattern& pattern);
    void fillArc(const Rect& r, int startAngle, int arcAngle, const Pattern& pattern);
    void fillPolygon(std::span<const Point> points, const Pattern& pattern);
    void eraseRegion(const Region& region);
    void eraseRect(const Rect& r);
    void invertRegion(const Region& region);

    // Lines with the pen; lineTo draws from the pen's location and moves it.
    void moveTo(int h, int v);
    void lineTo(int h, int v);
    void drawLine(Point from, Point to);
    Point penLocation() const { return m_location; }

private:
    void apply(const Region& shape, const Pattern& pattern, TransferMode mode);
    template <class Pixel> void writeRun(Pixel* row, int v, int from, int to, const Pattern& pattern, TransferMode mode);

    OffscreenPicture& m_picture;
    std::uint32_t m_fore;
    std::uint32_t m_back;
    PenSize m_pen;
    TransferMode m_mode = TransferMode::Copy;
    Pattern m_pattern = kBlackPattern;
    Point m_location{};
    Region m_clip;
    bool m_clipped = false;
};

} // namespace qm
