#pragma once
// File > Export Web Tour...: asks for a folder and exports the scene there behind the progress
// window (the same export as `quillmere-cli export-web`).
class QWidget;

namespace qm {

struct Scene;

// Returns true when the tour was written (with or without left-out nodes).
bool exportWebTourFromWindow(QWidget* parent, const Scene& scene);

} // namespace qm
