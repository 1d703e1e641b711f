#pragma once
// Page 4 of the scene window: Compose and Clear of the composed scene movie, and the
// recompression settings of the four kinds of media (panoramas, objects, still images,
// movies): a "Recompress" switch, "Set" for the compression dialog, the compressor, quality
// and colour depth. Every change of these settings makes the composed movie out of date.
#include <QString>
#include <array>
#include <cstdint>

#include "project/scene.h"
#include "scene/scene_page.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace qm {

class SceneDocument;

class ComposePage : public ScenePage {
    Q_OBJECT
public:
    ComposePage(SceneWindow& window, SceneDocument& document, QWidget* parent = nullptr);

    int handleEvent(std::int16_t code) override;

    // The colour depth list's entries and the depth of each (8, 16, 32).
    static QStringList depthEntries();
    static int depthOfEntry(int index); // 0-based
    // "Normal (50)" and so on.
    static QString qualityText(std::uint32_t quality);

    // Runs the composer behind the progress window; the error code (0, -128 when cancelled).
    OSErr compose();
    // Asks, then clears the composed movie; true when it was cleared.
    bool clear();

private:
    struct Group {
        int check, set, codec, quality, depth, box;
        OSType kind;
        QString title;
        QCheckBox* recompress = nullptr;
        QPushButton* setButton = nullptr;
        QLabel* codecText = nullptr;
        QLabel* qualityLabel = nullptr;
        QComboBox* depthList = nullptr;
        std::array<QLabel*, 3> labels{};
        QGroupBox* frame = nullptr;
    };

    void applyEnabling();
    void showGroup(std::size_t slot);
    void outOfDate();
    void checkClicked(std::size_t slot);
    void setClicked(std::size_t slot);
    void depthChosen(std::size_t slot);
    void updateCommands();

    SceneDocument& m_document;
    std::array<Group, kCompressionSlots> m_groups;
    QPushButton* m_compose;
    QPushButton* m_clear;
    QLabel* m_composeLabel;
    QLabel* m_clearLabel;
};

} // namespace qm
