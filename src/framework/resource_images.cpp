#include "framework/resource_images.h"

#include <QPainter>
#include <QSvgRenderer>

static void initQuillmereResources() { Q_INIT_RESOURCE(quillmere); }

namespace qm {

namespace {

QString resourcePath(int id)
{
    static const bool initialised = (initQuillmereResources(), true);
    (void)initialised;
    switch (id) {
    case imgAppIcon: return QStringLiteral(":/images/icon_102.svg");
    case imgPrefsStartup: return QStringLiteral(":/images/icon_377.svg");
    case imgPrefsScratchDisk: return QStringLiteral(":/images/icon_378.svg");
    case imgPrefsHotSpots: return QStringLiteral(":/images/icon_379.svg");
    case imgPrefsAnnotations: return QStringLiteral(":/images/icon_5808.svg");
    case imgStartupPicture: return QStringLiteral(":/images/startup_picture.svg");
    case imgBrowse:
    case imgAdd:
        return QStringLiteral(":/images/icon_%1.svg").arg(id);
    default:
        if (id >= imgToolSelect && id <= imgPenSizeButton)
            return QStringLiteral(":/images/icon_%1.svg").arg(id);
        return {};
    }
}

} // namespace

QSize resourceSize(int id)
{
    QSvgRenderer renderer(resourcePath(id));
    return renderer.isValid() ? renderer.defaultSize() : QSize();
}

QPixmap resourcePixmap(int id, QSize size)
{
    QSvgRenderer renderer(resourcePath(id));
    if (!renderer.isValid() || size.isEmpty())
        return {};
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return pixmap;
}

QCursor resourceCursor(int id)
{
    static const bool initialised = (initQuillmereResources(), true);
    (void)initialised;
    QSvgRenderer renderer(QStringLiteral(":/images/cursor_%1.svg").arg(id));
    if (!renderer.isValid())
        return QCursor(Qt::ArrowCursor);
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    painter.end();
    return QCursor(pixmap, 12, 12);
}

QIcon resourceIcon(int id)
{
    QIcon icon;
    for (int side : {16, 24, 32, 48, 64}) {
        QPixmap p = resourcePixmap(id, QSize(side, side));
        if (!p.isNull())
            icon.addPixmap(p);
    }
    return icon;
}

} // namespace qm
