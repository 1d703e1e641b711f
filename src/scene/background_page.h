#pragma once
// Page 2 of the scene window: the background drawing beneath the node map. Eight tools
// (select and move, line, rectangle, oval, text, quarter-ellipse arc, filled rectangle, filled
// oval), pictures from image files or the clipboard, the attribute controls (pen and fill
// colour, pen size, pattern, font, size, style), layers and the clipboard under "QMP
// Background". New objects take the attributes the controls show. Every change of the scene is
// one undo step.
#include <QPoint>
#include <QPlainTextEdit>
#include <QPointer>
#include <cstdint>

#include "compose/map_objects.h"
#include "scene/scene_page.h"

class QButtonGroup;
class QComboBox;
class QFrame;

class QPushButton;
class QScrollBar;
class QSpinBox;
class QToolButton;

namespace qm {

class MapArea;
class SceneDocument;

// The clipboard format of copied map objects: the bytes of a map object list ('BOLS').
inline constexpr const char* kBackgroundClipboardFormat = "QMP Background";

class BackgroundPage : public ScenePage {
    Q_OBJECT
public:
    BackgroundPage(SceneWindow& window, SceneDocument& document, QWidget* parent = nullptr);
    ~BackgroundPage() override;

    int handleEvent(std::int16_t code) override;
    bool leave() override;

    int tool() const { return m_tool; }
    void chooseTool(int tool);
    MapArea* mapArea() const { return m_map; }
    // The attributes the controls show.
    const MapAttributes& shownAttributes() const { return m_shown; }
    // Sets one attribute as its control would (tests and the controls).
    void changeAttribute(MapAttribute which, const MapAttributes& value);
    // The text editor while a text object is being edited, else null.
    QPlainTextEdit* textEditor() const { return m_editor; }
    void endTextEditing();
    // "Add...": a picture object from an image file.
    OSErr addPicture();

    void copySelection();
    void cutSelection();
    OSErr paste();
    void deleteSelection();

private:
    void buildControls();
    void pressed(QPoint p, Qt::KeyboardModifiers modifiers);
    void moved(QPoint p);
    void released(QPoint p, bool inside);
    void doubleClicked(QPoint p, Qt::KeyboardModifiers modifiers);
    void keyPressed(int key);
    void startTextEditing(int objectIndex, QPoint at);
    void placeEditor();
    void showAttributes();
    void selectOnly(int index);
    void drawOverlay(QPainter& painter);
    void pickColor(bool pen);
    void pickPenSize();
    void pickPattern();
    void layerChosen(int layer);
    bool addPictureObject(const QImage& image, const QString& text);
    QPoint clampToVisible(QPoint mapPoint) const;
    void refresh();

    SceneDocument& m_document;
    MapArea* m_map = nullptr;
    QScrollBar* m_horizontal = nullptr;
    QScrollBar* m_vertical = nullptr;
    QButtonGroup* m_tools = nullptr;
    QFrame* m_penSwatch = nullptr;
    QFrame* m_fillSwatch = nullptr;
    QSpinBox* m_layer = nullptr;
    QComboBox* m_font = nullptr;
    QComboBox* m_size = nullptr;
    QComboBox* m_style = nullptr;
    int m_tool = 1;
    MapAttributes m_shown;

    enum class Gesture { None, Pressed, Moving, Drawing, Selecting };
    Gesture m_gesture = Gesture::None;
    QPoint m_pressPoint;
    QPoint m_mouse;

    QPointer<QPlainTextEdit> m_editor;
    int m_editIndex = -1; // the text object being edited; -1 for a new one
    QPoint m_editPoint;   // where a new text object starts
    bool m_ending = false;
};

} // namespace qm
