#include "scene/fill_patterns.h"

#include <QColor>
#include <QImage>

namespace qm {

namespace {

// The bytes as the program stores them; the pattern drawn is each byte exclusive-or 0xFF.
constexpr std::uint64_t kStored[kFillPatternCount] = {
    0x0000000000000000, 0x4400110044001100, 0x4411441144114411, 0xAA55AA55AA55AA55,
    0x5500550055005500, 0xAAAAAAAAAAAAAAAA, 0x2244881122448811, 0xEEEEEEEEEEEEEEEE,
    0x9C9FF9C94E7EE7E4, 0xFEDFFBBFFDEF7FF7, 0x00EEEEEE00EEEEEE, 0x00FEFEFE00EFEFEF,
    0xFEFFFFFFFFFFFFFF, 0xFE7FBFFFFBF7EFFF, 0xFA778D77FAFDFDFD, 0x0E17BB71E0D1BB1D,
    0x55BE7F7F55EBF7F7, 0xBF5FEEEEEEEEF5FB, 0x80FF80809E9E9E9E, 0xFFFFFFFFFFFFFFFF,
    0xFEFFEFFFFEFFEFFF, 0xEEFFBBFFEEFFBBFF, 0xEEBBEEBBEEBBEEBB, 0xAAFFAAFFAAFFAAFF,
    0x00FF00FF00FF00FF, 0xDDBB77EEDDBB77EE, 0x00FFFFFF00FFFFFF, 0xFDFBF7EFDFBF7FFE,
    0xAAFFFEFFEEFFFEFF, 0x00FEFEFEFEFEFEFE, 0xEFC7BB7CFEFDFBF7, 0xEED7BB7DEEFFAAFF,
    0x7FBEFFFFF7EBFFFF, 0xF9F66F9FE7FBFDFD, 0xFEFE7D83EFEFD738, 0xDFBF57AA00FBF7EF,
    0x11ECE0E011CE0E0E, 0xFFEFD7AB55ABD7EF};

} // namespace

std::array<std::uint8_t, 8> fillPatternRows(int number)
{
    std::array<std::uint8_t, 8> rows{};
    if (number < 1 || number > kFillPatternCount)
        return rows;
    const std::uint64_t stored = kStored[number - 1];
    for (int i = 0; i < 8; ++i)
        rows[std::size_t(i)] = std::uint8_t(~(stored >> (56 - 8 * i)) & 0xFF);
    return rows;
}

QImage fillPatternTile(int number, const QColor& foreground, const QColor& background)
{
    QImage tile(8, 8, QImage::Format_RGB32);
    const auto rows = fillPatternRows(number);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            tile.setPixelColor(x, y, (rows[std::size_t(y)] & (0x80 >> x)) ? foreground : background);
    return tile;
}

} // namespace qm
