#include "nodes/node_preview.h"

#include <QApplication>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <cmath>

#include "appcore/alert_service.h"
#include "compose/automatic_hot_spots.h"
#include "compose/compose_environment.h"
#include "compose/prepare_working_copy.h"
#include "compose/working_copies.h"
#include "framework/dialog_items.h"
#include "framework/scene_document.h"
#include "nodes/movie_window.h"
#include "quicktime/base/byte_io.h"
#include "quicktime/base/errors.h"
#include "quicktime/vr/vr_instance.h"

namespace qm {

namespace {

QString angleText(float degrees)
{
    return QString::asprintf("%1.1f", double(degrees)) + QChar(0xB0);
}

QString idText(long id)
{
    return QString::asprintf("%03ld", id);
}

class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
};

// The node's default view from its sample record.
bool defaultView(const Node& node, float& pan, float& tilt, float& fov)
{
    if (const auto* p = std::get_if<PanoramaSampleRecord>(&node.mediaData)) {
        pan = p->defaultPan, tilt = p->defaultTilt, fov = p->defaultFieldOfView;
        return true;
    }
    if (const auto* o = std::get_if<ObjectSampleRecord>(&node.mediaData)) {
        pan = o->defaultPan, tilt = o->defaultTilt, fov = o->defaultFieldOfView;
        return true;
    }
    return false;
}

} // namespace

bool NodePreview::sameAngle(float a, float b)
{
    return std::fabs(a - b) < 0.05f;
}

NodePreview::NodePreview(SceneDocument& document, WorkingCopies& copies, QWidget* parent)
    : QWidget(parent), m_document(document), m_copies(copies)
{
    setObjectName(QStringLiteral("dialog207"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    m_movieWindow = new MovieWindow(this);
    items::setItemId(m_movieWindow, 651);
    layout->addWidget(m_movieWindow, 1);

    auto* side = new QVBoxLayout;
    auto label = [this](int id) {
        auto* l = new QLabel(this);
        items::setItemId(l, id);
        l->setMinimumWidth(70);
        return l;
    };
    auto button = [this](int id, const QString& text) {
        auto* b = new QPushButton(text, this);
        items::setItemId(b, id);
        return b;
    };
    auto* view = new QGroupBox(tr("View"), this);
    auto* form = new QFormLayout(view);
    m_name = label(535);
    m_id = label(536);
    m_pan = label(537);
    m_tilt = label(538);
    m_zoom = label(539);
    form->addRow(tr("Name:"), m_name);
    form->addRow(tr("ID:"), m_id);
    form->addRow(tr("Pan:"), m_pan);
    form->addRow(tr("Tilt:"), m_tilt);
    form->addRow(tr("Zoom:"), m_zoom);
    auto* initial = new QHBoxLayout;
    m_initialSet = button(540, tr("Set"));
    m_initialGo = button(541, tr("Go"));
    initial->addWidget(m_initialSet);
    initial->addWidget(m_initialGo);
    form->addRow(tr("Initial:"), initial);
    side->addWidget(view);

    auto* link = new QGroupBox(this);
    items::setItemId(link, 578);
    auto* linkForm = new QFormLayout(link);
    m_linkLabel = label(627);
    m_linkLabel->setText(tr("Link View From:"));
    linkForm->addRow(m_linkLabel);
    m_sourceName = label(545);
    m_sourceId = label(546);
    m_linkPan = label(547);
    m_linkTilt = label(548);
    m_linkZoom = label(549);
    const std::pair<int, const char*> rows[] = {{622, "Name:"}, {623, "ID:"}, {624, "Pan:"}, {625, "Tilt:"}, {626, "Zoom:"}};
    QLabel* values[] = {m_sourceName, m_sourceId, m_linkPan, m_linkTilt, m_linkZoom};
    for (int i = 0; i < 5; ++i) {
        QLabel* l = label(rows[i].first);
        l->setText(tr(rows[i].second));
        l->setMinimumWidth(0);
        m_linkLabels.push_back(l);
        linkForm->addRow(l, values[i]);
    }
    auto* linkButtons = new QHBoxLayout;
    m_linkSet = button(542, tr("Set"));
    m_linkGo = button(543, tr("Go"));
    m_back = button(544, QString());
    m_back->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
    m_back->setToolTip(tr("Back"));
    linkButtons->addWidget(m_linkSet);
    linkButtons->addWidget(m_linkGo);
    linkButtons->addWidget(m_back);
    linkForm->addRow(linkButtons);
    side->addWidget(link);
    side->addStretch(1);
    layout->addLayout(side);

    connect(m_initialSet, &QPushButton::clicked, this, [this] { setInitialView(); });
    connect(m_initialGo, &QPushButton::clicked, this, [this] { goInitialView(); });
    connect(m_linkSet, &QPushButton::clicked, this, [this] { setLinkView(); });
    connect(m_linkGo, &QPushButton::clicked, this, [this] { goLinkView(); });
    connect(m_back, &QPushButton::clicked, this, [this] { back(); });
    connect(m_movieWindow, &MovieWindow::viewChanged, this, [this] { refreshReadouts(); });
    // Readouts follow the view while the tab is shown, as idle events would.
    m_refresh.setInterval(100);
    connect(&m_refresh, &QTimer::timeout, this, [this] {
        refreshReadouts();
        runPendingSwitch();
    });
    m_refresh.start();
    updateLinkGroup();
    refreshReadouts();
}

NodePreview::~NodePreview()
{
    m_movieWindow->closeMovie();
    if (m_nodeId)
        m_copies.close(m_nodeId);
}

void NodePreview::setText(QLabel* label, const QString& text)
{
    if (label->text() != text)
        label->setText(text);
}

OSErr NodePreview::showNode(std::int16_t nodeId)
{
    Scene& scene = m_document.editableScene();
    Node* node = findNode(scene, nodeId);
    if (!node)
        return err::paramErr;
    const ComposeEnvironment env = environment ? environment() : standardComposeEnvironment();
    if (m_nodeId && m_nodeId != nodeId) {
        m_movieWindow->closeMovie();
        m_copies.close(m_nodeId);
    }
    if (OSErr e = prepareWorkingCopy(scene, *node, m_copies, env))
        return e;
    m_nodeId = nodeId;
    m_movieWindow->setBoxSize(scene.masterWidth > 0 ? scene.masterWidth : 320,
                              scene.masterHeight > 0 ? scene.masterHeight : 240);
    if (OSErr e = m_movieWindow->openMovie(m_copies.file(nodeId))) {
        alerts().reportError(e);
        return e;
    }
    if (QTVRInstance* vr = m_movieWindow->vrInstance()) {
        QTVRInstallInterceptProc(vr, qtvr::kTriggerHotSpotSelector,
                                 [this](QTVRInstance&, const QTVRInterceptRecord& r) { return intercept(r.hotSpotId); });
        if (m_arrival) {
            applyView(m_arrival->pan, m_arrival->tilt, m_arrival->fieldOfView, true);
            m_arrival.reset();
        }
    }
    setText(m_name, QString::fromStdString(node->name.str()));
    setText(m_id, idText(node->id));
    // A record of where the user came from lasts only across the switch it made.
    if (!m_pendingSwitch)
        m_record.reset();
    updateLinkGroup();
    refreshReadouts();
    emit nodeShown(nodeId);
    return err::noErr;
}

void NodePreview::applyView(float pan, float tilt, float fov, bool panBeforeTilt)
{
    QTVRInstance* vr = m_movieWindow->vrInstance();
    if (!vr)
        return;
    QTVRSetTiltAngle(vr, 0);
    QTVRSetFieldOfView(vr, fov);
    if (panBeforeTilt) {
        QTVRSetPanAngle(vr, pan);
        QTVRSetTiltAngle(vr, tilt);
    } else {
        QTVRSetTiltAngle(vr, tilt);
        QTVRSetPanAngle(vr, pan);
    }
    m_movieWindow->viewChangedOutside();
    refreshReadouts();
}

bool NodePreview::intercept(std::uint32_t hotSpotId)
{
    QTVRInstance* vr = m_movieWindow->vrInstance();
    const QTVRHotSpot* h = vr ? vr->hotSpot(hotSpotId) : nullptr;
    if (!h || h->linkNode == 0)
        return false;
    const Node* source = findNode(m_document.scene(), m_nodeId);
    const Node* destination = findNode(m_document.scene(), std::int16_t(h->linkNode));
    if (!source || !destination)
        return true; // a link to a node the scene no longer has goes nowhere
    LinkViewFrom record;
    record.sourceName = QString::fromStdString(source->name.str());
    record.sourceId = source->id;
    record.hotSpotId = std::int32_t(hotSpotId);
    record.fromPan = QTVRGetPanAngle(vr);
    record.fromTilt = QTVRGetTiltAngle(vr);
    record.fromFieldOfView = QTVRGetFieldOfView(vr);
    std::optional<ArrivalView> arrival;
    for (const HotSpot& spot : source->hotSpots) {
        if (spot.id != std::int16_t(hotSpotId) || !spot.customLinkView)
            continue;
        // What the link does not set keeps the destination's own opening view.
        ArrivalView a;
        defaultView(*destination, a.pan, a.tilt, a.fieldOfView);
        if (spot.linkView.panSet)
            record.linkPan = a.pan = spot.linkView.pan;
        if (spot.linkView.tiltSet)
            record.linkTilt = a.tilt = spot.linkView.tilt;
        if (spot.linkView.fieldOfViewSet)
            record.linkFieldOfView = a.fieldOfView = spot.linkView.fieldOfView;
        record.linkViewSet = true;
        arrival = a;
    }
    m_record = record;
    m_arrival = arrival;
    m_pendingSwitch = destination->id;
    QTimer::singleShot(0, this, [this] { runPendingSwitch(); });
    return true; // the tab changes the node itself
}

void NodePreview::runPendingSwitch()
{
    if (!m_pendingSwitch)
        return;
    BusyCursor busy;
    const std::int16_t destination = *m_pendingSwitch;
    if (onNodeSwitch)
        onNodeSwitch(destination);
    else
        showNode(destination);
    m_pendingSwitch.reset();
    updateLinkGroup();
}

void NodePreview::refreshReadouts()
{
    QTVRInstance* vr = m_movieWindow->vrInstance();
    const Node* node = findNode(m_document.scene(), m_nodeId);
    if (!vr || !node) {
        for (QLabel* l : {m_pan, m_tilt, m_zoom})
            setText(l, QStringLiteral("n/a"));
        m_initialSet->setEnabled(false);
        m_initialGo->setEnabled(false);
        if (m_record)
            for (QLabel* l : {m_linkPan, m_linkTilt, m_linkZoom})
                setText(l, QStringLiteral("n/a"));
        return;
    }
    const float pan = QTVRGetPanAngle(vr), tilt = QTVRGetTiltAngle(vr), fov = QTVRGetFieldOfView(vr);
    setText(m_pan, angleText(pan));
    setText(m_tilt, angleText(tilt));
    setText(m_zoom, angleText(fov));
    float dp = 0, dt = 0, df = 0;
    const bool has = defaultView(*node, dp, dt, df);
    const bool differs = has && !(sameAngle(pan, dp) && sameAngle(tilt, dt) && sameAngle(fov, df));
    m_initialSet->setEnabled(differs);
    m_initialGo->setEnabled(differs);
    if (m_record) {
        const bool away = !(sameAngle(pan, m_record->linkPan) && sameAngle(tilt, m_record->linkTilt) &&
                            sameAngle(fov, m_record->linkFieldOfView));
        m_linkSet->setEnabled(away);
        m_linkGo->setEnabled(away && m_record->linkViewSet);
    }
}

void NodePreview::updateLinkGroup()
{
    const bool on = m_record.has_value();
    for (QLabel* l : m_linkLabels)
        l->setEnabled(on);
    for (QLabel* l : {m_sourceName, m_sourceId, m_linkPan, m_linkTilt, m_linkZoom, m_linkLabel})
        l->setEnabled(on);
    m_linkSet->setEnabled(on);
    m_linkGo->setEnabled(on);
    m_back->setEnabled(on);
    if (!on) {
        for (QLabel* l : {m_sourceName, m_sourceId, m_linkPan, m_linkTilt, m_linkZoom})
            setText(l, QString());
        return;
    }
    setText(m_sourceName, m_record->sourceName);
    setText(m_sourceId, idText(m_record->sourceId));
    setText(m_linkPan, angleText(m_record->linkPan));
    setText(m_linkTilt, angleText(m_record->linkTilt));
    setText(m_linkZoom, angleText(m_record->linkFieldOfView));
}

void NodePreview::setInitialView()
{
    QTVRInstance* vr = m_movieWindow->vrInstance();
    Scene& scene = m_document.editableScene();
    Node* node = findNode(scene, m_nodeId);
    if (!vr || !node)
        return;
    const float pan = QTVRGetPanAngle(vr), tilt = QTVRGetTiltAngle(vr), fov = QTVRGetFieldOfView(vr);
    if (auto* p = std::get_if<PanoramaSampleRecord>(&node->mediaData))
        p->defaultPan = pan, p->defaultTilt = tilt, p->defaultFieldOfView = fov;
    else if (auto* o = std::get_if<ObjectSampleRecord>(&node->mediaData))
        o->defaultPan = pan, o->defaultTilt = tilt, o->defaultFieldOfView = fov;
    else
        return;
    bool reshow = false;
    // With the "Initial View" orientation the automatic hot spots depend on the default pan.
    if (scene.orientation == -1.0f && repositionAutomaticHotSpots(scene, m_nodeId, false, AutoHotSpotStyle{}))
        reshow = true;
    m_document.markDirty();
    m_document.notifyChanged();
    if (reshow) {
        BusyCursor busy;
        m_movieWindow->closeMovie();
        m_copies.discard(m_nodeId);
        m_arrival = ArrivalView{pan, tilt, fov};
        showNode(m_nodeId);
    }
    refreshReadouts();
}

void NodePreview::goInitialView()
{
    const Node* node = findNode(m_document.scene(), m_nodeId);
    float pan, tilt, fov;
    if (node && defaultView(*node, pan, tilt, fov))
        applyView(pan, tilt, fov, false);
}

void NodePreview::setLinkView()
{
    QTVRInstance* vr = m_movieWindow->vrInstance();
    if (!vr || !m_record)
        return;
    m_record->linkPan = QTVRGetPanAngle(vr);
    m_record->linkTilt = QTVRGetTiltAngle(vr);
    m_record->linkFieldOfView = QTVRGetFieldOfView(vr);
    m_record->linkViewSet = true;
    updateLinkGroup();
    // The view becomes the destination view of the link hot spot that was followed.
    Scene& scene = m_document.editableScene();
    if (Node* source = findNode(scene, std::int16_t(m_record->sourceId))) {
        for (HotSpot& spot : source->hotSpots)
            if (spot.id == std::int16_t(m_record->hotSpotId)) {
                spot.customLinkView = true;
                spot.linkView.panSet = spot.linkView.tiltSet = spot.linkView.fieldOfViewSet = true;
                spot.linkView.pan = m_record->linkPan;
                spot.linkView.tilt = m_record->linkTilt;
                spot.linkView.fieldOfView = m_record->linkFieldOfView;
            }
        // Its working copy holds the old view in its hot spot atoms.
        m_copies.discard(source->id);
        m_document.markDirty();
        m_document.notifyChanged();
    }
    refreshReadouts();
}

void NodePreview::goLinkView()
{
    if (m_record)
        applyView(m_record->linkPan, m_record->linkTilt, m_record->linkFieldOfView, true);
}

void NodePreview::back()
{
    if (!m_record)
        return;
    m_arrival = ArrivalView{m_record->fromPan, m_record->fromTilt, m_record->fromFieldOfView};
    const std::int16_t source = std::int16_t(m_record->sourceId);
    m_record.reset();
    // Not a link switch: the record stays dropped.
    if (onNodeSwitch)
        onNodeSwitch(source);
    else
        showNode(source);
    updateLinkGroup();
}

} // namespace qm
