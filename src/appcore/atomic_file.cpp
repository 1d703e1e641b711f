#include "appcore/atomic_file.h"

#include "quicktime/base/safe_file_writer.h"

namespace qm {

OSErr writeFileAtomically(const std::filesystem::path& target, std::span<const std::uint8_t> data)
{
    SafeFileWriter writer;
    OSErr e = writer.open(target);
    if (e == 0)
        e = writer.write(data);
    if (e == 0)
        e = writer.commit();
    return e; // a writer that was not committed removes its temporary file
}

} // namespace qm
