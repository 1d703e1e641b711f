#include "nodes/animation_settings_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "compose/node_summary.h"

namespace qm {

namespace {

QCheckBox* box(int id, const char* text, QWidget* parent)
{
    auto* b = new QCheckBox(QString::fromLatin1(text), parent);
    b->setObjectName(QStringLiteral("item%1").arg(id));
    return b;
}

QSlider* slider(int id, QWidget* parent)
{
    auto* s = new QSlider(Qt::Horizontal, parent);
    s->setObjectName(QStringLiteral("item%1").arg(id));
    s->setRange(1, 30);
    s->setTickInterval(3);
    s->setTickPosition(QSlider::TicksBelow);
    return s;
}

QWidget* speedRow(QSlider* s, QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* l = new QGridLayout(row);
    l->setContentsMargins(0, 0, 0, 0);
    l->addWidget(new QLabel(QStringLiteral("Speed:"), row), 0, 0);
    l->addWidget(s, 0, 1, 1, 2);
    l->addWidget(new QLabel(QStringLiteral("Norm."), row), 1, 1, Qt::AlignLeft);
    l->addWidget(new QLabel(QStringLiteral("Fast"), row), 1, 2, Qt::AlignRight);
    return row;
}

int sliderValue(float rate) { return std::clamp(int(std::fabs(std::trunc(rate))), 1, 30); }

} // namespace

AnimationSettingsDialog::AnimationSettingsDialog(const ObjectSampleRecord& record, bool linearMovie, QWidget* parent)
    : ModalDialog(QStringLiteral("Animation Settings"), parent), m_stored(record), m_flags(record.animationSettings),
      m_frameRate(record.frameRate), m_viewRate(record.viewRate)
{
    using namespace AnimationFlag;
    setObjectName(QStringLiteral("dialog218"));
    m_framesAvailable = linearMovie || record.movieType >= 128 || record.frameRate > 0 || (m_flags & kFrames);
    m_viewsAvailable = !linearMovie && record.movieType < 128;

    auto* frames = new QGroupBox(QStringLiteral("Frames"), this);
    auto* fl = new QVBoxLayout(frames);
    m_frames = box(556, "Enabled", frames);
    m_restart = box(558, "Restart for each view", frames);
    m_framesBackwards = box(557, "Play backwards", frames);
    m_loop = box(559, "Loop when finished", frames);
    m_backAndForth = box(560, "Back-and-forth", frames);
    m_frameSpeed = slider(555, frames);
    for (QWidget* w : {static_cast<QWidget*>(m_frames), static_cast<QWidget*>(m_restart),
                       static_cast<QWidget*>(m_framesBackwards), static_cast<QWidget*>(m_loop)})
        fl->addWidget(w);
    auto* indent = new QWidget(frames);
    auto* il = new QVBoxLayout(indent);
    il->setContentsMargins(20, 0, 0, 0);
    il->addWidget(m_backAndForth);
    fl->addWidget(indent);
    fl->addWidget(speedRow(m_frameSpeed, frames));

    auto* views = new QGroupBox(QStringLiteral("Views"), this);
    auto* vl = new QVBoxLayout(views);
    m_views = box(561, "Enabled", views);
    m_viewsBackwards = box(562, "Play backwards", views);
    m_viewsLoop = box(563, "Loop back-and-forth", views);
    m_sync = box(564, "Sync. to frame animation", views);
    m_viewSpeed = slider(565, views);
    for (QWidget* w : {static_cast<QWidget*>(m_views), static_cast<QWidget*>(m_viewsBackwards),
                       static_cast<QWidget*>(m_viewsLoop), static_cast<QWidget*>(m_sync)})
        vl->addWidget(w);
    vl->addWidget(speedRow(m_viewSpeed, views));
    vl->addStretch();

    auto* row = new QHBoxLayout;
    row->addWidget(frames);
    row->addWidget(views);
    body()->addLayout(row);

    m_frameSpeed->setValue(1);
    m_viewSpeed->setValue(1);
    if (m_flags & kFrames) {
        m_frames->setChecked(true);
        m_restart->setChecked(m_flags & kRestartEachView);
        m_loop->setChecked(!(m_flags & kFramesNoLoop));
        m_backAndForth->setChecked(m_loop->isChecked() && (m_flags & kFramesBackAndForth));
        m_framesBackwards->setChecked(m_frameRate < 0);
        if (m_frameRate == 0.0f)
            m_frameRate = 1.0f;
        m_frameSpeed->setValue(sliderValue(m_frameRate));
    }
    if (m_flags & kViews) {
        m_views->setChecked(true);
        m_viewsLoop->setChecked(m_flags & kViewsBackAndForth);
        m_sync->setChecked((m_flags & kFrames) && (m_flags & kSyncViewsToFrames));
        m_viewsBackwards->setChecked(m_viewRate < 0);
        if (m_viewRate == 0.0f)
            m_viewRate = 1.0f;
        m_viewSpeed->setValue(sliderValue(m_viewRate));
    }
    for (QCheckBox* b : {m_frames, m_restart, m_framesBackwards, m_loop, m_backAndForth, m_views, m_viewsBackwards,
                         m_viewsLoop, m_sync})
        connect(b, &QCheckBox::clicked, this, &AnimationSettingsDialog::rebuild);
    connect(m_frameSpeed, &QSlider::valueChanged, this, &AnimationSettingsDialog::rebuild);
    connect(m_viewSpeed, &QSlider::valueChanged, this, &AnimationSettingsDialog::rebuild);
    applyEnabling();
    updateOkButton();
}

void AnimationSettingsDialog::applyEnabling()
{
    const bool f = m_framesAvailable && m_frames->isChecked();
    m_frames->setEnabled(m_framesAvailable);
    for (QWidget* w : {static_cast<QWidget*>(m_restart), static_cast<QWidget*>(m_framesBackwards),
                       static_cast<QWidget*>(m_loop), static_cast<QWidget*>(m_frameSpeed)})
        w->setEnabled(f);
    m_backAndForth->setEnabled(f && m_loop->isChecked());
    const bool v = m_viewsAvailable && m_views->isChecked();
    m_views->setEnabled(m_viewsAvailable);
    for (QWidget* w : {static_cast<QWidget*>(m_viewsBackwards), static_cast<QWidget*>(m_viewsLoop),
                       static_cast<QWidget*>(m_viewSpeed)})
        w->setEnabled(v);
    m_sync->setEnabled(v && m_frames->isChecked());
}

void AnimationSettingsDialog::rebuild()
{
    using namespace AnimationFlag;
    if (m_framesAvailable && m_frames->isChecked()) {
        m_flags |= kFrames;
        m_frameRate = float(m_frameSpeed->value()) * (m_framesBackwards->isChecked() ? -1.0f : 1.0f);
        m_flags = m_restart->isChecked() ? m_flags | kRestartEachView : m_flags & ~kRestartEachView;
        m_flags = m_loop->isChecked() ? m_flags & ~kFramesNoLoop : m_flags | kFramesNoLoop;
        m_flags = m_backAndForth->isChecked() ? m_flags | kFramesBackAndForth : m_flags & ~kFramesBackAndForth;
    } else {
        m_flags &= ~(kFrames | kFramesBackAndForth | kRestartEachView | kFramesNoLoop);
        m_frameRate = 0.0f;
    }
    if (m_viewsAvailable && m_views->isChecked()) {
        m_flags |= kViews;
        m_viewRate = float(m_viewSpeed->value()) * (m_viewsBackwards->isChecked() ? -1.0f : 1.0f);
        m_flags = m_viewsLoop->isChecked() ? m_flags | kViewsBackAndForth : m_flags & ~kViewsBackAndForth;
        m_flags = m_sync->isChecked() ? m_flags | kSyncViewsToFrames : m_flags & ~kSyncViewsToFrames;
    } else {
        m_flags &= ~(kViews | kViewsBackAndForth | kSyncViewsToFrames);
        m_viewRate = 0.0f;
    }
    applyEnabling();
    updateOkButton();
}

bool AnimationSettingsDialog::changed() const
{
    return m_flags != m_stored.animationSettings || m_frameRate != m_stored.frameRate ||
           m_viewRate != m_stored.viewRate;
}

ObjectSampleRecord AnimationSettingsDialog::record() const
{
    ObjectSampleRecord r = m_stored;
    r.animationSettings = m_flags;
    r.frameRate = m_frameRate;
    r.viewRate = m_viewRate;
    return r;
}

} // namespace qm
