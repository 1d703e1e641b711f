#include "nodes/movie_window.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "quicktime/base/errors.h"
#include "quicktime/vr/object_image.h"

namespace qm {

namespace {

constexpr int kTickMs = 16;
constexpr int kSettleMs = 150;
// Degrees per second of turn for each pixel between the pointer and where the button went
// down, per degree of field of view.
constexpr double kTurnRate = 0.02;

QImage toImage(const OffscreenPicture& p)
{
    if (p.isNull() || p.depth() != PixelDepth::Argb32)
        return {};
    return QImage(p.data(), p.width(), p.height(), qsizetype(p.rowBytes()), QImage::Format_ARGB32).copy();
}

QColor hotSpotColour(std::uint32_t id)
{
    return QColor::fromHsv(int((id * 67) % 360), 200, 255, 110);
}

} // namespace

MovieWindow::MovieWindow(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setMinimumSize(64, 64);
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { tick(); });
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, [this] { settle(); });
}

MovieWindow::~MovieWindow() = default;

OSErr MovieWindow::openMovie(const std::filesystem::path& file)
{
    closeMovie();
    std::unique_ptr<Movie> movie;
    if (OSErr e = Movie::open(file, MovieOpenMode::read, movie))
        return e;
    std::unique_ptr<VRPlayer> player;
    if (QTVRGetQTVRTrack(*movie, 1)) {
        if (OSErr e = VRPlayer::open(*movie, player))
            return e;
    } else {
        for (int i = 1; const Track* t = movie->track(i); ++i)
            if (t->enabled() && t->media() && t->media()->type() == videoMediaType) {
                m_video = t;
                break;
            }
        if (!m_video)
            return err::invalidTrack;
    }
    m_movie = std::move(movie);
    m_player = std::move(player);
    m_time = 0;
    render();
    if (m_player && m_player->animates())
        m_timer.start();
    update();
    return err::noErr;
}

void MovieWindow::closeMovie()
{
    m_timer.stop();
    m_settle.stop();
    m_player.reset();
    m_video = nullptr;
    m_movie.reset();
    m_frame = QImage();
    m_hotSpotOverlay = QImage();
    m_playing = false;
    m_dragging = false;
    m_hotSpotName.clear();
    update();
}

void MovieWindow::setBoxSize(int width, int height)
{
    m_boxWidth = std::max(1, width);
    m_boxHeight = std::max(1, height);
    render();
    update();
}

QRect MovieWindow::movieBox() const
{
    const int w = std::max(1, std::min(m_boxWidth, width() - 2));
    const int h = std::max(1, std::min(m_boxHeight, height() - 2 - kBarHeight));
    return QRect((width() - w) / 2, (height() - h) / 2 - 8, w, h);
}

QRect MovieWindow::barRect() const
{
    const QRect box = movieBox();
    return QRect(box.left(), box.bottom() + 1, box.width(), kBarHeight);
}

QRect MovieWindow::buttonRect(Button b) const
{
    const QRect bar = barRect();
    const int index = b == Button::ZoomOut ? 0 : b == Button::ZoomIn ? 1 : b == Button::HotSpots ? 2 : 0;
    return QRect(bar.left() + index * kBarHeight, bar.top(), kBarHeight, kBarHeight);
}

MovieWindow::Button MovieWindow::buttonAt(const QPoint& p) const
{
    if (!m_movie || !barRect().contains(p))
        return Button::None;
    if (!m_player)
        return buttonRect(Button::Play).contains(p) ? Button::Play : Button::None;
    for (Button b : {Button::ZoomOut, Button::ZoomIn, Button::HotSpots})
        if (buttonRect(b).contains(p))
            return b;
    return Button::None;
}

QPoint MovieWindow::toView(const QPoint& p) const
{
    return p - movieBox().topLeft();
}

void MovieWindow::setHotSpotsShown(bool shown)
{
    m_showHotSpots = shown;
    // Asked for, they show at once, whatever the view is doing.
    if (m_player && !m_dragging && !m_zoomDirection)
        m_player->setMoving(false);
    render();
    update();
}

void MovieWindow::viewChangedOutside()
{
    render();
    update();
}

void MovieWindow::setPlaying(bool playing)
{
    if (!m_video)
        return;
    m_playing = playing;
    if (playing) {
        if (m_time >= m_movie->duration())
            m_time = 0;
        m_clock.restart();
        m_timer.start();
    }
    update();
}

void MovieWindow::render()
{
    const QRect box = movieBox();
    OffscreenPicture picture;
    if (m_player) {
        m_player->setViewSize(box.width(), box.height());
        if (m_player->render(picture) == err::noErr)
            m_frame = toImage(picture);
        m_hotSpotOverlay = QImage();
        if (m_showHotSpots && !m_player->moving()) {
            OffscreenPicture ids;
            if (m_player->renderHotSpots(ids) == err::noErr) {
                m_hotSpotOverlay = QImage(ids.width(), ids.height(), QImage::Format_ARGB32);
                m_hotSpotOverlay.fill(Qt::transparent);
                for (int y = 0; y < ids.height(); ++y) {
                    auto* line = reinterpret_cast<QRgb*>(m_hotSpotOverlay.scanLine(y));
                    for (int x = 0; x < ids.width(); ++x)
                        if (std::uint8_t id = ids.row8(y)[x])
                            line[x] = hotSpotColour(id).rgba();
                }
            }
        }
    } else if (m_video) {
        const TimeValue t = std::clamp<TimeValue>(m_time, 0, std::max<TimeValue>(0, m_video->duration() - 1));
        if (decodeTrackFrame(*m_video, t, PixelDepth::Argb32, picture) == err::noErr)
            m_frame = toImage(picture).scaled(box.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
}

void MovieWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    if (!m_movie)
        return;
    const QRect box = movieBox();
    const QRect bar = barRect();
    painter.setPen(Qt::black);
    painter.drawRect(box.united(bar).adjusted(-1, -1, 0, 0));
    if (!m_frame.isNull())
        painter.drawImage(box.topLeft(), m_frame);
    if (!m_hotSpotOverlay.isNull())
        painter.drawImage(box.topLeft(), m_hotSpotOverlay);

    QLinearGradient shade(bar.topLeft(), bar.bottomLeft());
    shade.setColorAt(0, QColor(0xE6, 0xE6, 0xE6));
    shade.setColorAt(1, QColor(0xB0, 0xB0, 0xB0));
    painter.fillRect(bar, shade);
    painter.setPen(QColor(0x40, 0x40, 0x40));
    auto drawButton = [&](Button b, const QString& text, bool down) {
        const QRect r = buttonRect(b);
        if (down)
            painter.fillRect(r, QColor(0x90, 0x90, 0x90));
        painter.drawRect(r.adjusted(0, 0, -1, -1));
        painter.drawText(r, Qt::AlignCenter, text);
    };
    QRect text = bar;
    if (m_player) {
        drawButton(Button::ZoomOut, QStringLiteral("\u2212"), m_pressedButton == Button::ZoomOut);
        drawButton(Button::ZoomIn, QStringLiteral("+"), m_pressedButton == Button::ZoomIn);
        drawButton(Button::HotSpots, QStringLiteral("\u25CE"), m_showHotSpots);
        text.setLeft(buttonRect(Button::HotSpots).right() + 6);
        QFont small = painter.font();
        small.setPixelSize(11);
        painter.setFont(small);
        painter.drawText(text, Qt::AlignVCenter | Qt::AlignLeft, m_hotSpotName);
    } else {
        drawButton(Button::Play, m_playing ? QStringLiteral("\u275A\u275A") : QStringLiteral("\u25B6"), false);
        // The position in the movie.
        const QRect track = bar.adjusted(kBarHeight + 6, 6, -6, -6);
        painter.fillRect(track, QColor(0x80, 0x80, 0x80));
        const double at = m_movie->duration() > 0 ? double(m_time) / double(m_movie->duration()) : 0;
        const int x = track.left() + int(std::clamp(at, 0.0, 1.0) * track.width());
        painter.fillRect(QRect(x - 2, bar.top() + 2, 5, kBarHeight - 4), QColor(0x30, 0x30, 0x30));
    }
}

void MovieWindow::resizeEvent(QResizeEvent*)
{
    render();
}

void MovieWindow::zoomBy(double factor)
{
    QTVRInstance* vr = vrInstance();
    if (!vr)
        return;
    QTVRSetFieldOfView(vr, float(QTVRGetFieldOfView(vr) * factor));
    m_player->setMoving(true);
    m_settle.start();
    render();
    update();
    emit viewChanged();
}

void MovieWindow::turnBy(double dPan, double dTilt)
{
    QTVRInstance* vr = vrInstance();
    if (!vr)
        return;
    QTVRSetTiltAngle(vr, float(QTVRGetTiltAngle(vr) + dTilt));
    QTVRSetPanAngle(vr, float(QTVRGetPanAngle(vr) + dPan));
    m_player->setMoving(true);
    m_settle.start();
    render();
    update();
    emit viewChanged();
}

void MovieWindow::settle()
{
    if (!m_player || m_dragging || m_zoomDirection)
        return;
    m_player->setMoving(false);
    render();
    update();
}

void MovieWindow::tick()
{
    const double dt = m_clock.isValid() ? std::min(0.25, m_clock.restart() / 1000.0) : kTickMs / 1000.0;
    if (!m_clock.isValid())
        m_clock.start();
    bool active = false;
    if (m_player) {
        QTVRInstance* vr = m_player->instance();
        if (m_dragging && m_player->nodeType() == qtvr::kPanoramaNodeType) {
            const QPoint d = m_pointer - m_pressPoint;
            if (std::abs(d.x()) > 2 || std::abs(d.y()) > 2) {
                const double rate = kTurnRate * QTVRGetFieldOfView(vr) * dt;
                turnBy(-d.x() * rate, -d.y() * rate);
            }
            active = true;
        }
        if (m_zoomDirection) {
            zoomBy(std::pow(0.5, m_zoomDirection * dt));
            active = true;
        }
        if (m_player->animates()) {
            if (m_player->advance(dt)) {
                render();
                update();
            }
            active = true;
        }
    } else if (m_playing && m_movie) {
        m_time += TimeValue(dt * m_movie->timeScale());
        if (m_time >= m_movie->duration()) {
            m_time = m_movie->duration();
            m_playing = false;
        }
        render();
        update();
        active = m_playing;
    }
    if (!active)
        m_timer.stop();
}

void MovieWindow::updateHover(const QPoint& p)
{
    QString name;
    std::uint32_t id = 0;
    if (m_player && movieBox().contains(p)) {
        const QPoint v = toView(p);
        id = m_player->hotSpotAt(v.x(), v.y());
        if (id) {
            const QTVRHotSpot* h = m_player->instance()->hotSpot(id);
            name = h && !h->name.empty() ? QString::fromLatin1(h->name.c_str()) : QString();
        }
    }
    setCursor(id ? Qt::PointingHandCursor : (m_dragging ? Qt::ClosedHandCursor : Qt::ArrowCursor));
    if (name != m_hotSpotName) {
        m_hotSpotName = name;
        update(barRect());
    }
}

void MovieWindow::mousePressEvent(QMouseEvent* e)
{
    setFocus(Qt::MouseFocusReason);
    if (!m_movie || e->button() != Qt::LeftButton)
        return;
    const QPoint p = e->position().toPoint();
    m_pressedButton = buttonAt(p);
    switch (m_pressedButton) {
    case Button::ZoomIn:
    case Button::ZoomOut:
        m_zoomDirection = m_pressedButton == Button::ZoomIn ? 1 : -1;
        zoomBy(m_zoomDirection > 0 ? 0.9 : 1 / 0.9);
        m_clock.restart();
        m_timer.start();
        update(barRect());
        return;
    case Button::HotSpots:
        setHotSpotsShown(!m_showHotSpots);
        return;
    case Button::Play:
        setPlaying(!m_playing);
        return;
    case Button::None: break;
    }
    if (!m_player || !movieBox().contains(p))
        return;
    m_dragging = true;
    m_moved = false;
    m_pressPoint = m_pointer = p;
    const QPoint v = toView(p);
    m_pressHotSpot = m_player->hotSpotAt(v.x(), v.y());
    m_clock.restart();
    m_timer.start();
    setCursor(Qt::ClosedHandCursor);
}

void MovieWindow::mouseMoveEvent(QMouseEvent* e)
{
    const QPoint p = e->position().toPoint();
    if (m_dragging) {
        const QPoint step = p - m_pointer;
        m_pointer = p;
        if ((p - m_pressPoint).manhattanLength() > 3)
            m_moved = true;
        if (m_player && m_player->nodeType() == qtvr::kObjectNodeType && !step.isNull()) {
            // Objects follow the pointer: a box width of drag turns them half around.
            const QTVRNodeView& v = m_player->instance()->nodeView();
            turnBy(-step.x() * 180.0 / std::max(1, movieBox().width()),
                   step.y() * std::max(1.0f, v.maxTilt - v.minTilt) / std::max(1, movieBox().height()));
        }
        return;
    }
    if (!m_video && e->buttons() == Qt::NoButton)
        updateHover(p);
}

void MovieWindow::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    if (m_pressedButton == Button::ZoomIn || m_pressedButton == Button::ZoomOut) {
        m_zoomDirection = 0;
        m_settle.start();
    }
    m_pressedButton = Button::None;
    update(barRect());
    if (!m_dragging)
        return;
    m_dragging = false;
    const QPoint p = e->position().toPoint();
    if (m_player && !m_moved && m_pressHotSpot) {
        const QPoint v = toView(p);
        if (m_player->hotSpotAt(v.x(), v.y()) == m_pressHotSpot) {
            if (m_player->click(v.x(), v.y())) {
                m_player->setMoving(false);
                render();
                update();
                emit nodeChanged(QTVRGetCurrentNodeID(m_player->instance()));
                emit viewChanged();
                if (m_player->animates())
                    m_timer.start();
            }
        }
    }
    m_settle.start();
    updateHover(p);
}

void MovieWindow::wheelEvent(QWheelEvent* e)
{
    if (!m_player)
        return;
    const double notches = e->angleDelta().y() / 120.0;
    if (notches != 0)
        zoomBy(std::pow(0.9, notches));
    e->accept();
}

void MovieWindow::keyPressEvent(QKeyEvent* e)
{
    if (!m_player) {
        if (m_video && e->key() == Qt::Key_Space) {
            setPlaying(!m_playing);
            return;
        }
        QWidget::keyPressEvent(e);
        return;
    }
    const double step = QTVRGetFieldOfView(m_player->instance()) / 10.0;
    switch (e->key()) {
    case Qt::Key_Left: turnBy(step, 0); break;
    case Qt::Key_Right: turnBy(-step, 0); break;
    case Qt::Key_Up: turnBy(0, step); break;
    case Qt::Key_Down: turnBy(0, -step); break;
    case Qt::Key_Shift:
    case Qt::Key_Control:
        if (!e->isAutoRepeat()) {
            m_zoomDirection = e->key() == Qt::Key_Shift ? 1 : -1;
            m_clock.restart();
            m_timer.start();
        }
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: zoomBy(0.9); break;
    case Qt::Key_Minus: zoomBy(1 / 0.9); break;
    default: QWidget::keyPressEvent(e); return;
    }
}

void MovieWindow::keyReleaseEvent(QKeyEvent* e)
{
    if ((e->key() == Qt::Key_Shift || e->key() == Qt::Key_Control) && !e->isAutoRepeat()) {
        m_zoomDirection = 0;
        m_settle.start();
        return;
    }
    QWidget::keyReleaseEvent(e);
}

void MovieWindow::leaveEvent(QEvent*)
{
    if (!m_dragging) {
        unsetCursor();
        if (!m_hotSpotName.isEmpty()) {
            m_hotSpotName.clear();
            update(barRect());
        }
    }
}

} // namespace qm
