#include "scene/placeholder_page.h"

#include <QFrame>
#include <QVBoxLayout>

namespace qm {

PlaceholderPage::PlaceholderPage(SceneWindow& window, int pageNumber, QWidget* parent)
    : ScenePage(window, pageNumber, parent)
{
    setObjectName(QStringLiteral("dialog%1").arg(199 + pageNumber));
    auto* layout = new QVBoxLayout(this);
    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
    layout->addWidget(frame);
}

} // namespace qm
