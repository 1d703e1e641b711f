// The still image readers written here (PICT, MacPaint, QuickTime Image) and the 1.x QuickTime
// VR record parsers over arbitrary bytes. The first byte picks the reader; the rest is its input.
#include <cstddef>
#include <cstdint>
#include <span>

#include "quicktime/files/image_file.h"
#include "quicktime/vr/vr1_records.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::span<const std::uint8_t> input(data + 1, size - 1);
    qm::OffscreenPicture picture;
    switch (data[0] % 5) {
    case 0:
        qm::decodeImage(input, qm::fourCC("PICT"), picture);
        break;
    case 1:
        qm::decodeImage(input, qm::fourCC("PNTG"), picture);
        break;
    case 2:
        qm::decodeImage(input, qm::fourCC("qtif"), picture);
        break;
    case 3: {
        qm::PanoramaHeader1x header;
        qm::PanoramaHeader1x::parse(input, header);
        qm::PanoramaDescription1x description;
        qm::PanoramaDescription1x::parse(input, description);
        break;
    }
    default: {
        qm::ObjectRecord1x record;
        if (qm::ObjectRecord1x::parse(input, record) == 0)
            qm::objectRecordFrom1x(record, qm::Rect{0, 0, 480, 640});
        break;
    }
    }
    return 0;
}
