#pragma once
// A movie window: plays one movie with a controller bar below the movie box. QuickTime VR
// movies are shown by the player (drag to turn, faster the further the pointer goes from where
// the button went down; zoom with the bar's buttons, Shift and Ctrl, or the wheel; arrow keys
// turn; a click on a hot spot triggers it); other movies play their video frames.
#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <memory>

#include "quicktime/movie/movie.h"
#include "quicktime/vr/vr_player.h"

namespace qm {

class MovieWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kBarHeight = 16;

    explicit MovieWindow(QWidget* parent = nullptr);
    ~MovieWindow() override;

    // Opens the movie file for playing; on failure the window is left without a movie.
    OSErr openMovie(const std::filesystem::path& file);
    void closeMovie();
    bool hasMovie() const { return m_movie != nullptr; }
    const Movie* movie() const { return m_movie.get(); }
    // Null for a movie that is not a QuickTime VR movie.
    VRPlayer* player() const { return m_player.get(); }
    QTVRInstance* vrInstance() const { return m_player ? m_player->instance() : nullptr; }

    // The movie box size asked for; it is kept within the window (width - 2, height - 18),
    // centred and moved up 8 pixels to leave room for the bar.
    void setBoxSize(int width, int height);
    QRect movieBox() const;
    QRect barRect() const;

    bool hotSpotsShown() const { return m_showHotSpots; }
    void setHotSpotsShown(bool shown);
    // Redraws after the view was changed through the instance.
    void viewChangedOutside();

    // Linear movies.
    bool isPlaying() const { return m_playing; }
    void setPlaying(bool playing);
    TimeValue currentTime() const { return m_time; }

    // The picture as last drawn (tests and screenshots).
    const QImage& lastFrame() const { return m_frame; }

signals:
    void viewChanged();
    void nodeChanged(quint32 nodeId);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void wheelEvent(QWheelEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void keyReleaseEvent(QKeyEvent*) override;
    void leaveEvent(QEvent*) override;

private:
    enum class Button { None, ZoomOut, ZoomIn, HotSpots, Play };
    Button buttonAt(const QPoint& p) const;
    QRect buttonRect(Button b) const;
    void tick();
    void render();
    void zoomBy(double factor);
    void turnBy(double dPan, double dTilt);
    void settle();
    void updateHover(const QPoint& p);
    QPoint toView(const QPoint& p) const;

    std::unique_ptr<Movie> m_movie;
    std::unique_ptr<VRPlayer> m_player;
    const Track* m_video = nullptr; // linear movies
    int m_boxWidth = 320, m_boxHeight = 240;
    QImage m_frame;
    QImage m_hotSpotOverlay;
    bool m_showHotSpots = false;
    QTimer m_timer;
    QTimer m_settle;
    QElapsedTimer m_clock;
    // Dragging.
    bool m_dragging = false;
    bool m_moved = false;
    QPoint m_pressPoint, m_pointer;
    std::uint32_t m_pressHotSpot = 0;
    Button m_pressedButton = Button::None;
    int m_zoomDirection = 0; // held Shift (+1) or Ctrl (-1) or a held bar button
    QString m_hotSpotName;
    // Linear movies.
    bool m_playing = false;
    TimeValue m_time = 0;
};

} // namespace qm
