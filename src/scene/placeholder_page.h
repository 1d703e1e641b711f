#pragma once
// A page whose content is not built yet: an empty frame.
#include "scene/scene_page.h"

namespace qm {

class PlaceholderPage : public ScenePage {
    Q_OBJECT
public:
    PlaceholderPage(SceneWindow& window, int pageNumber, QWidget* parent = nullptr);
};

} // namespace qm
