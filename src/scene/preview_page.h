#pragma once
// Page 5 of the scene window: plays the composed scene movie in a movie window, with the
// playback size, the commands Annotate, Imaging, Playback and Export, and readouts of the
// current node and view.
#include <QString>
#include <cstdint>

#include "quicktime/base/os_types.h"
#include "scene/scene_page.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace qm {

class MovieWindow;
class SceneDocument;

class PreviewPage : public ScenePage {
    Q_OBJECT
public:
    PreviewPage(SceneWindow& window, SceneDocument& document, QWidget* parent = nullptr);
    ~PreviewPage() override;

    int handleEvent(std::int16_t code) override;

    MovieWindow* movieWindow() const { return m_movieWindow; }
    // Readout formats: angles with one decimal and the degree sign, node IDs with three digits,
    // the movie's size in kilobytes with one decimal.
    static QString angleText(float degrees);
    static QString nodeIdText(long id);
    static QString sizeText(std::uint64_t bytes);
    // The playback size as applied: width 64..1024, height 64..768.
    static void limitPlaybackSize(int& width, int& height);

    // Opens the composed movie in the movie window; closes it first.
    OSErr openMovie();
    void closeMovie();
    void refreshReadouts();
    // The commands (also reached through item events 478 to 481).
    void annotate();
    void imaging();
    void playback();
    void exportMovie();

private:
    void applyPlaybackSize();
    void setText(QLabel* label, const QString& text);

    SceneDocument& m_document;
    MovieWindow* m_movieWindow;
    QLineEdit* m_width;
    QLineEdit* m_height;
    QLabel* m_name;
    QLabel* m_id;
    QLabel* m_pan;
    QLabel* m_tilt;
    QLabel* m_zoom;
    QLabel* m_size;
};

} // namespace qm
