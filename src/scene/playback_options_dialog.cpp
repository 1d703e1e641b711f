#include "scene/playback_options_dialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QVBoxLayout>

#include "framework/dialog_items.h"

namespace qm {

PlaybackOptionsDialog::PlaybackOptionsDialog(std::uint32_t storedHints, QWidget* parent)
    : ModalDialog(tr("Playback Options"), parent), m_stored(storedHints)
{
    setObjectName(QStringLiteral("dialog219"));
    auto* group = new QGroupBox(tr("Track Hints:"), this);
    auto* layout = new QVBoxLayout(group);
    m_preload = new QCheckBox(tr("Preload"), group);
    m_cache = new QCheckBox(tr("Cache data"), group);
    items::setItemId(m_preload, 574);
    items::setItemId(m_cache, 575);
    m_preload->setChecked(storedHints & kPreload);
    m_cache->setChecked(storedHints & kCacheData);
    layout->addWidget(m_preload);
    layout->addWidget(m_cache);
    body()->addWidget(group);
    connect(m_preload, &QCheckBox::toggled, this, &PlaybackOptionsDialog::updateOkButton);
    connect(m_cache, &QCheckBox::toggled, this, &PlaybackOptionsDialog::updateOkButton);
}

std::uint32_t PlaybackOptionsDialog::hints() const
{
    return (m_preload->isChecked() ? kPreload : 0) | (m_cache->isChecked() ? kCacheData : 0);
}

} // namespace qm
