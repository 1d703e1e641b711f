#include <cmath>
#include <QHash>
#include <QPainter>
#include <QSvgRenderer>

#include "render/map_renderer.h"

static void initMapResources() { Q_INIT_RESOURCE(map); }

namespace qm {

namespace {

// Icon numbers by kind: normal, selected, initial node, initial node selected.
int iconNumber(const Node& node)
{
    int column = (node.initial ? 2 : 0) + (node.selected ? 1 : 0);
    static constexpr int panorama[4] = {107, 122, 373, 127};
    static constexpr int object[4] = {109, 123, 372, 128};
    static constexpr int movie[4] = {105, 124, 371, 129};
    static constexpr int still[4] = {108, 125, 375, 130};
    static constexpr int generic[4] = {106, 126, 374, 131};
    switch (node.kind) {
    case NodeKind::kPanorama: return panorama[column];
    case NodeKind::kObject: return object[column];
    case NodeKind::kLinearMovie: return movie[column];
    case NodeKind::kStillImage: return still[column];
    default: return generic[column];
    }
}

} // namespace

QImage nodeIcon(const Node& node, qreal devicePixelRatio)
{
    static const bool initialised = (initMapResources(), true);
    (void)initialised;
    static QHash<quint64, QImage> cache;
    const int number = iconNumber(node);
    const int side = std::max(1, int(std::lround(nodeIconSize().width() * devicePixelRatio)));
    const quint64 key = (quint64(number) << 32) | quint64(side);
    if (auto it = cache.constFind(key); it != cache.constEnd())
        return *it;
    QSvgRenderer renderer(QStringLiteral(":/map/node_%1.svg").arg(number));
    QImage image;
    if (renderer.isValid()) {
        image = QImage(side, side, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        renderer.render(&p);
        p.end();
        image.setDevicePixelRatio(devicePixelRatio);
    }
    cache.insert(key, image);
    return image;
}

} // namespace qm
