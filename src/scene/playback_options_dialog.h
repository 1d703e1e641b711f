#pragma once
// "Playback Options": the track hints "Preload" and "Cache data".
#include <cstdint>

#include "framework/modal_dialog.h"

class QCheckBox;

namespace qm {

class PlaybackOptionsDialog : public ModalDialog {
    Q_OBJECT
public:
    static constexpr std::uint32_t kPreload = 0x10000000;
    static constexpr std::uint32_t kCacheData = 0x00000004;

    explicit PlaybackOptionsDialog(std::uint32_t storedHints, QWidget* parent = nullptr);
    // Exactly the ticked bits; any other bit of the stored hints is dropped.
    std::uint32_t hints() const;

protected:
    bool changed() const override { return hints() != m_stored; }

private:
    std::uint32_t m_stored;
    QCheckBox* m_preload;
    QCheckBox* m_cache;
};

} // namespace qm
