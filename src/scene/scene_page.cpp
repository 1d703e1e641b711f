#include "scene/scene_page.h"

namespace qm {

ScenePage::ScenePage(SceneWindow& window, int pageNumber, QWidget* parent)
    : QWidget(parent), m_window(window), m_pageNumber(pageNumber)
{
}

int ScenePage::handleEvent(std::int16_t) { return 1; }

bool ScenePage::leave() { return true; }

} // namespace qm
