#pragma once
// "Compression Settings": the compressor, its quality and depth for one kind of media, and for
// movies the frame rate, key frame rate and data rate. Over the codec layer: it offers the
// compressors this build can write. A record that names no compressor starts from the last
// settings confirmed in this session.
#include <QString>

#include "framework/modal_dialog.h"
#include "project/scene.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;

namespace qm {

class CompressionDialog : public ModalDialog {
    Q_OBJECT
public:
    // sequence: movies (frame rate, key frames, data rate).
    CompressionDialog(const CompressionSettings& stored, bool sequence, QWidget* parent = nullptr);
    // The record with the choices made: codec type (component 0: any), quality, the chosen depth
    // as the depth handed to the compressor, and the movie fields.
    CompressionSettings settings() const;
    // Confirming remembers the settings for the next dialog of the same kind.
    void remember() const;

    // The quality name of the QuickTime quality scale: "Minimum", "Low", "Normal", "High",
    // "Maximum".
    static QString qualityName(std::uint32_t quality);

protected:
    bool changed() const override { return true; }

private:
    void codecChosen();
    void qualityMoved();

    CompressionSettings m_stored;
    bool m_sequence;
    QComboBox* m_codec;
    QComboBox* m_depth;
    QSlider* m_quality;
    QLabel* m_qualityText;
    QLineEdit* m_frameRate = nullptr;
    QLineEdit* m_keyFrames = nullptr;
    QLineEdit* m_dataRate = nullptr;
};

} // namespace qm
