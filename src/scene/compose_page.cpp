#include "scene/compose_page.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "appcore/alert_service.h"
#include "appcore/string_table.h"
#include "compose/composed_movie.h"
#include "compose/composer.h"
#include "compose/compose_environment.h"
#include "compose/working_copies.h"
#include "framework/dialog_items.h"
#include "framework/event_codes.h"
#include "framework/scene_document.h"
#include "framework/window_progress.h"
#include "framework/window_registry.h"
#include "quicktime/codec/codec.h"
#include "scene/compression_dialog.h"
#include "scene/scene_window.h"

namespace qm {

QStringList ComposePage::depthEntries()
{
    return {QStringLiteral("8 bit (256)"), QStringLiteral("16 bit (Thousands)"), QStringLiteral("24 bit (Millions)")};
}

int ComposePage::depthOfEntry(int index)
{
    return index >= 2 ? 32 : 8 * (index + 1);
}

QString ComposePage::qualityText(std::uint32_t quality)
{
    return QStringLiteral("%1 (%2)").arg(CompressionDialog::qualityName(quality)).arg(quality * 100 / 1024);
}

ComposePage::ComposePage(SceneWindow& window, SceneDocument& document, QWidget* parent)
    : ScenePage(window, 4, parent), m_document(document)
{
    setObjectName(QStringLiteral("dialog203"));
    m_groups = {{
        {443, 445, 444, 446, 447, 581, NodeKind::kPanorama, tr("Recompress Panoramas")},
        {452, 453, 455, 456, 454, 582, NodeKind::kObject, tr("Recompress Objects")},
        {460, 462, 461, 464, 463, 583, NodeKind::kStillImage, tr("Recompress Still Images")},
        {468, 470, 469, 472, 471, 584, NodeKind::kLinearMovie, tr("Recompress Movies")},
    }};
    const int labelIds[4][3] = {{449, 450, 451}, {457, 458, 459}, {465, 466, 467}, {473, 475, 474}};
    static const char* const groupTitles[4] = {"Panoramas", "Objects", "Still Images", "Movies"};

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(10);

    auto* commands = new QHBoxLayout;
    m_compose = new QPushButton(style()->standardIcon(QStyle::SP_MediaPlay), QString(), this);
    m_compose->setIconSize(QSize(32, 32));
    m_compose->setMinimumSize(48, 44);
    items::setItemId(m_compose, 439);
    m_composeLabel = new QLabel(tr("Compose"), this);
    items::setItemId(m_composeLabel, 441);
    m_clear = new QPushButton(style()->standardIcon(QStyle::SP_TrashIcon), QString(), this);
    m_clear->setIconSize(QSize(32, 32));
    m_clear->setMinimumSize(48, 44);
    items::setItemId(m_clear, 440);
    m_clearLabel = new QLabel(tr("Clear"), this);
    items::setItemId(m_clearLabel, 442);
    commands->addWidget(m_compose);
    commands->addWidget(m_composeLabel);
    commands->addSpacing(24);
    commands->addWidget(m_clear);
    commands->addWidget(m_clearLabel);
    commands->addStretch(1);
    layout->addLayout(commands);

    auto* groups = new QGridLayout;
    groups->setSpacing(10);
    for (std::size_t i = 0; i < m_groups.size(); ++i) {
        Group& g = m_groups[i];
        g.frame = new QGroupBox(tr(groupTitles[i]), this);
        items::setItemId(g.frame, g.box);
        auto* grid = new QGridLayout(g.frame);
        g.recompress = new QCheckBox(g.title, g.frame);
        items::setItemId(g.recompress, g.check);
        g.setButton = new QPushButton(tr("Set..."), g.frame);
        items::setItemId(g.setButton, g.set);
        const char* labelTexts[3] = {"Codec:", "Quality:", "Color Depth:"};
        for (int k = 0; k < 3; ++k) {
            g.labels[std::size_t(k)] = new QLabel(tr(labelTexts[k]), g.frame);
            items::setItemId(g.labels[std::size_t(k)], labelIds[i][k]);
        }
        g.codecText = new QLabel(g.frame);
        items::setItemId(g.codecText, g.codec);
        g.qualityLabel = new QLabel(g.frame);
        items::setItemId(g.qualityLabel, g.quality);
        g.depthList = new QComboBox(g.frame);
        items::setItemId(g.depthList, g.depth);
        g.depthList->addItems(depthEntries());
        grid->addWidget(g.recompress, 0, 0, 1, 2);
        grid->addWidget(g.setButton, 0, 2);
        grid->addWidget(g.labels[0], 1, 0);
        grid->addWidget(g.codecText, 1, 1, 1, 2);
        grid->addWidget(g.labels[1], 2, 0);
        grid->addWidget(g.qualityLabel, 2, 1, 1, 2);
        grid->addWidget(g.labels[2], 3, 0);
        grid->addWidget(g.depthList, 3, 1, 1, 2);
        grid->setColumnStretch(1, 1);
        groups->addWidget(g.frame, int(i / 2), int(i % 2));

        auto notify = [this](int id) { WindowRegistry::instance().send(&sceneWindow(), std::int16_t(id)); };
        connect(g.recompress, &QCheckBox::clicked, this, [notify, id = g.check] { notify(id); });
        connect(g.setButton, &QPushButton::clicked, this, [notify, id = g.set] { notify(id); });
        connect(g.depthList, &QComboBox::activated, this, [notify, id = g.depth] { notify(id); });
    }
    layout->addLayout(groups);
    layout->addStretch(1);
    auto notify = [this](int id) { WindowRegistry::instance().send(&sceneWindow(), std::int16_t(id)); };
    connect(m_compose, &QPushButton::clicked, this, [notify] { notify(439); });
    connect(m_clear, &QPushButton::clicked, this, [notify] { notify(440); });

    const Scene& scene = m_document.scene();
    for (std::size_t i = 0; i < m_groups.size(); ++i) {
        showGroup(i);
        const bool present = std::any_of(scene.nodes.begin(), scene.nodes.end(),
                                         [&](const Node& n) { return n.kind == m_groups[i].kind; });
        m_groups[i].recompress->setEnabled(present);
    }
    applyEnabling();
    updateCommands();
}

void ComposePage::applyEnabling()
{
    Scene& scene = m_document.editableScene();
    for (std::size_t i = 0; i < m_groups.size(); ++i) {
        Group& g = m_groups[i];
        const bool on = g.recompress->isChecked();
        scene.compression[i].enabled = on;
        g.setButton->setEnabled(on);
        for (QLabel* l : g.labels)
            l->setEnabled(on);
        g.codecText->setEnabled(on);
        g.qualityLabel->setEnabled(on);
        g.depthList->setEnabled(on);
    }
}

void ComposePage::showGroup(std::size_t slot)
{
    CompressionSettings& c = m_document.editableScene().compression[slot];
    Group& g = m_groups[slot];
    const std::string name = compressorName(c.codecType);
    if (!name.empty()) {
        g.codecText->setText(QString::fromStdString(name));
        int entry = c.colorDepth / 8 - 1;
        if (c.colorDepth == 0) {
            entry = 1;
            c.colorDepth = 16;
        } else if (c.colorDepth == 32) {
            entry = 2;
        }
        g.depthList->setCurrentIndex(std::clamp(entry, 0, 2));
        g.qualityLabel->setText(qualityText(c.spatialQuality));
    }
    g.recompress->setChecked(c.enabled);
}

void ComposePage::outOfDate()
{
    m_document.editableScene().composedAt = 0;
    m_document.markDirty();
    m_document.notifyChanged();
    sceneWindow().updateTabs();
    updateCommands();
}

void ComposePage::checkClicked(std::size_t slot)
{
    applyEnabling();
    (void)slot;
    outOfDate();
}

void ComposePage::setClicked(std::size_t slot)
{
    CompressionSettings& c = m_document.editableScene().compression[slot];
    CompressionDialog dialog(c, slot == kMovieCompression, this);
    if (!dialog.run())
        return;
    dialog.remember();
    c = dialog.settings();
    showGroup(slot);
    outOfDate();
}

void ComposePage::depthChosen(std::size_t slot)
{
    CompressionSettings& c = m_document.editableScene().compression[slot];
    const int depth = depthOfEntry(m_groups[slot].depthList->currentIndex());
    if (depth == c.colorDepth)
        return;
    c.colorDepth = std::int16_t(depth);
    outOfDate();
}

void ComposePage::updateCommands()
{
    const bool composed = m_document.scene().composedAt != 0;
    m_clear->setEnabled(composed);
    m_clearLabel->setEnabled(composed);
}

OSErr ComposePage::compose()
{
    Scene& scene = m_document.editableScene();
    WorkingCopies copies;
    ComposeEnvironment env = standardComposeEnvironment();
    OSErr e = 0;
    {
        WindowProgress progress(&sceneWindow());
        e = composeScene(scene, copies, env, progress);
    }
    copies.discardAll();
    m_document.markDirty();
    m_document.notifyChanged();
    if (e)
        alerts().reportError(e);
    sceneWindow().updateTabs();
    sceneWindow().raise();
    sceneWindow().activateWindow();
    updateCommands();
    return e;
}

bool ComposePage::clear()
{
    if (alerts().cautionAlert(alertClearComposedMovie) != 3)
        return false;
    clearComposedMovie(m_document.editableScene());
    m_document.markDirty();
    m_document.notifyChanged();
    sceneWindow().updateTabs();
    updateCommands();
    return true;
}

int ComposePage::handleEvent(std::int16_t code)
{
    for (std::size_t i = 0; i < m_groups.size(); ++i) {
        if (code == m_groups[i].check) {
            checkClicked(i);
            return 1;
        }
        if (code == m_groups[i].set) {
            setClicked(i);
            return 1;
        }
        if (code == m_groups[i].depth) {
            depthChosen(i);
            return 1;
        }
    }
    switch (code) {
    case 439: compose(); return 1;
    case 440: clear(); return 1;
    default: break;
    }
    updateCommands();
    return 1;
}

} // namespace qm
