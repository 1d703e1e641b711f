// The reader of stored QuickDraw regions (hot spot regions in project files and on the
// clipboard). Whatever it accepts must write back to a record that reads as the same region,
// and must survive the operations the hot spot editor and painter apply to it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "quicktime/base/errors.h"
#include "quicktime/raster/raster_shapes.h"
#include "quicktime/raster/region_bytes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    qm::Region region;
    if (qm::readRegion(std::span<const std::uint8_t>(data, size), region) != qm::err::noErr)
        return 0;
    qm::Bytes out;
    if (qm::writeRegion(region, out) == qm::err::noErr) {
        qm::Region again;
        if (qm::readRegion(out, again) != qm::err::noErr || !(again == region))
            std::abort();
    }
    const qm::Rect bounds = region.bounds();
    if (!region.isEmpty() && !region.contains(region.band(0).edges[0], region.band(0).top))
        std::abort();
    const qm::Region moved = region.mapped(bounds, qm::Rect{0, 0, 120, 360});
    if (!moved.isEmpty() && (moved.left() < 0 || moved.right() > 360 || moved.top() < 0 || moved.bottom() > 120))
        std::abort();
    (void)qm::frameRegion(region, qm::PenSize{1, 1});
    return 0;
}
