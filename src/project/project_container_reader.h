#pragma once
// Reads the project atom container into a scene: the records of 'SETP', 'BOLS', 'NOLS', 'COMP',
// 'SPRV' and 'NAME'. Used by the project reader; the file around the container is not its
// business.
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "project/project_reader.h"
#include "project/scene.h"
#include "quicktime/atoms/atom_container.h"

namespace qm::project {

class ProjectContainerReader {
public:
    // projectFolder: where media aliases resolve from. detail may be null.
    ProjectContainerReader(const ProjectReadOptions& options, ProjectReaderUi& ui,
                           std::filesystem::path projectFolder, std::string* detail);

    // Everything (a project) or only the settings, compression and preview records (a template).
    OSErr read(std::span<const std::uint8_t> container, Scene& scene, bool templateOnly);
    OSErr readMapObjects(std::span<const std::uint8_t> list, std::vector<MapObject>& objects, bool append);

private:
    OSErr subContainer(const AtomContainer& parent, OSType type, AtomContainer& out, bool& present);
    OSErr record(const AtomContainer& c, AtomRef parent, OSType type, std::size_t size, Bytes& out,
                 const std::string& where);
    OSErr readSettings(const AtomContainer& c, Scene& scene);
    OSErr readCompression(const AtomContainer& c, Scene& scene);
    OSErr readPreview(const AtomContainer& c, Scene& scene);
    OSErr readBackground(const AtomContainer& c, Scene& scene);
    OSErr readMapObjectList(const AtomContainer& c, std::vector<MapObject>& objects, bool append);
    OSErr readNodes(const AtomContainer& c, Scene& scene);
    OSErr readNode(const AtomContainer& c, AtomRef atom, int number, Node& node, Scene& scene, bool& mediaMissing);
    OSErr readHotSpots(std::span<const std::uint8_t> list, Node& node, int nodeNumber);
    OSErr fail(OSErr code, std::string text);

    const ProjectReadOptions& m_options;
    ProjectReaderUi& m_ui;
    std::filesystem::path m_projectFolder;
    std::string* m_detail;
};

} // namespace qm::project
