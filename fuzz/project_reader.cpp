// Reads arbitrary bytes as a whole project file. Whatever opens must save to a container that
// opens again; map object lists, text records and aliases are fed the same bytes.
#include <cstdlib>

#include "project/project_reader.h"
#include "project/project_records.h"
#include "project/project_writer.h"
#include "quicktime/files/file_alias.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::span<const std::uint8_t> bytes(data, size);
    const std::filesystem::path path = "/nonexistent-quillmere-fuzz/p.qmp";
    qm::Scene scene;
    if (qm::readProjectImage(bytes, path, scene) == 0) {
        qm::Bytes file = qm::buildProjectContainer(scene);
        qm::Bytes trailer(qm::project::kTrailerSize, 0);
        qm::storeBE32(&trailer[0], qm::project::kSignature);
        qm::storeBE32(&trailer[4], qm::project::kOffsetsTag);
        qm::storeBE32(&trailer[12], std::uint32_t(file.size()));
        qm::storeBE32(&trailer[16], qm::project::kNoOffset);
        file.insert(file.end(), trailer.begin(), trailer.end());
        qm::Scene again;
        if (qm::readProjectImage(file, path, again) != 0)
            std::abort();
    }
    std::vector<qm::MapObject> objects;
    qm::readMapObjectList(bytes, objects, true);
    qm::project::decodeTextRecord(bytes);
    qm::FileAlias alias;
    if (qm::FileAlias::parse(bytes, alias) == 0)
        alias.candidates("/nonexistent-quillmere-fuzz");
    return 0;
}
