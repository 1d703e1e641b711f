#include "scene/preview_page.h"

#include <QApplication>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "appcore/alert_service.h"
#include "compose/composed_movie.h"
#include "framework/dialog_items.h"
#include "framework/event_codes.h"
#include "framework/scene_document.h"
#include "framework/standard_dialogs.h"
#include "framework/window_registry.h"
#include "nodes/movie_window.h"
#include "quicktime/base/byte_io.h"
#include "quicktime/base/errors.h"
#include "quicktime/vr/vr_instance.h"
#include "scene/annotations_dialog.h"
#include "scene/imaging_properties_dialog.h"
#include "scene/playback_options_dialog.h"
#include "scene/scene_window.h"

namespace qm {

namespace {

class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
};

// The name a node information container's header gives the node.
QString nodeName(const QTVRInstance* vr, std::uint32_t id)
{
    AtomContainer info;
    if (!vr || QTVRGetNodeInfo(vr, id, info))
        return {};
    const auto header = info.data(info.findChild(AtomContainer::kRoot, fourCC("ndhd")));
    if (header.size() < 16)
        return {};
    const std::uint32_t nameId = loadBE32(header.data() + 12);
    const auto s = info.data(info.findChildById(AtomContainer::kRoot, fourCC("vrsg"), nameId));
    if (!nameId || s.size() < 4)
        return {};
    const std::size_t n = std::min<std::size_t>(loadBE16(s.data() + 2), s.size() - 4);
    return QString::fromLatin1(reinterpret_cast<const char*>(s.data() + 4), qsizetype(n));
}

std::uint64_t movieDataSize(const Movie& movie)
{
    std::uint64_t total = 0;
    for (int i = 1; const Track* t = movie.track(i); ++i)
        if (const Media* m = t->media())
            for (std::uint32_t k = 0; k < m->sampleCount(); ++k)
                total += m->samples().sampleSize(k);
    return total;
}

} // namespace

QString PreviewPage::angleText(float degrees)
{
    return QString::asprintf("%1.1f", double(degrees)) + QChar(0xB0);
}

QString PreviewPage::nodeIdText(long id)
{
    return QString::asprintf("%03ld", id);
}

QString PreviewPage::sizeText(std::uint64_t bytes)
{
    return QString::asprintf("%1.1fK", double(bytes) * 0.001);
}

void PreviewPage::limitPlaybackSize(int& width, int& height)
{
    width = std::clamp(width, 64, 1024);
    height = std::clamp(height, 64, 768);
}

PreviewPage::PreviewPage(SceneWindow& window, SceneDocument& document, QWidget* parent)
    : ScenePage(window, 5, parent), m_document(document)
{
    setObjectName(QStringLiteral("dialog204"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(12);
    m_movieWindow = new MovieWindow(this);
    items::setItemId(m_movieWindow, 650);
    layout->addWidget(m_movieWindow, 1);

    auto* side = new QVBoxLayout;
    auto* sizeRow = new QHBoxLayout;
    m_width = new QLineEdit(this);
    m_height = new QLineEdit(this);
    items::setItemId(m_width, 477);
    items::setItemId(m_height, 476);
    for (QLineEdit* e : {m_width, m_height}) {
        e->setMaxLength(4);
        e->setFixedWidth(52);
        e->setValidator(new QIntValidator(0, 9999, e));
    }
    sizeRow->addWidget(new QLabel(tr("Playback Size"), this));
    sizeRow->addWidget(m_width);
    sizeRow->addWidget(new QLabel(QStringLiteral("x"), this));
    sizeRow->addWidget(m_height);
    sizeRow->addStretch(1);
    side->addLayout(sizeRow);

    auto* commands = new QGroupBox(tr("Commands"), this);
    auto* grid = new QGridLayout(commands);
    struct Command {
        int id;
        const char* text;
        QStyle::StandardPixmap icon;
    };
    const Command list[] = {{478, "Annotate", QStyle::SP_FileDialogDetailedView},
                            {479, "Imaging", QStyle::SP_DesktopIcon},
                            {480, "Playback", QStyle::SP_MediaPlay},
                            {481, "Export", QStyle::SP_DialogSaveButton}};
    int k = 0;
    for (const Command& c : list) {
        auto* b = new QPushButton(style()->standardIcon(c.icon), tr(c.text), commands);
        items::setItemId(b, c.id);
        grid->addWidget(b, k / 2, k % 2);
        connect(b, &QPushButton::clicked, this,
                [this, id = c.id] { WindowRegistry::instance().send(&sceneWindow(), std::int16_t(id)); });
        ++k;
    }
    side->addWidget(commands);

    auto* info = new QGroupBox(tr("Node Info"), this);
    auto* form = new QFormLayout(info);
    auto readout = [&](int id, const char* label) {
        auto* l = new QLabel(info);
        items::setItemId(l, id);
        l->setMinimumWidth(90);
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(tr(label), l);
        return l;
    };
    m_name = readout(482, "Name:");
    m_id = readout(483, "ID:");
    m_pan = readout(484, "Pan:");
    m_tilt = readout(485, "Tilt:");
    m_zoom = readout(486, "Zoom:");
    m_size = readout(487, "Size:");
    side->addWidget(info);
    side->addStretch(1);
    layout->addLayout(side);

    const Scene& scene = m_document.scene();
    m_width->setText(QString::number(scene.playbackWidth));
    m_height->setText(QString::number(scene.playbackHeight));
    connect(m_movieWindow, &MovieWindow::viewChanged, this, [this] { refreshReadouts(); });
    connect(m_movieWindow, &MovieWindow::nodeChanged, this, [this] { refreshReadouts(); });
    for (QLineEdit* e : {m_width, m_height})
        connect(e, &QLineEdit::editingFinished, this, [this] { applyPlaybackSize(); });
    openMovie();
}

PreviewPage::~PreviewPage()
{
    closeMovie();
}

OSErr PreviewPage::openMovie()
{
    closeMovie();
    const Scene& scene = m_document.scene();
    if (scene.composedAt == 0 || scene.composedMovieFile.empty())
        return err::fnfErr;
    m_movieWindow->setBoxSize(scene.playbackWidth > 0 ? scene.playbackWidth : 320,
                              scene.playbackHeight > 0 ? scene.playbackHeight : 240);
    const OSErr e = m_movieWindow->openMovie(scene.composedMovieFile);
    if (e == 0)
        setText(m_size, sizeText(movieDataSize(*m_movieWindow->movie())));
    refreshReadouts();
    return e;
}

void PreviewPage::closeMovie()
{
    m_movieWindow->closeMovie();
}

void PreviewPage::setText(QLabel* label, const QString& text)
{
    if (label->text() != text.left(99))
        label->setText(text.left(99));
}

void PreviewPage::refreshReadouts()
{
    QTVRInstance* vr = m_movieWindow->vrInstance();
    if (!vr) {
        for (QLabel* l : {m_name, m_id, m_pan, m_tilt, m_zoom})
            setText(l, QString());
        return;
    }
    const std::uint32_t id = QTVRGetCurrentNodeID(vr);
    setText(m_name, nodeName(vr, id));
    setText(m_id, nodeIdText(long(id)));
    setText(m_pan, angleText(QTVRGetPanAngle(vr)));
    setText(m_tilt, angleText(QTVRGetTiltAngle(vr)));
    setText(m_zoom, angleText(QTVRGetFieldOfView(vr)));
}

void PreviewPage::applyPlaybackSize()
{
    int width = m_width->text().left(10).toInt();
    int height = m_height->text().left(10).toInt();
    Scene& scene = m_document.editableScene();
    if (width == scene.playbackWidth && height == scene.playbackHeight)
        return;
    limitPlaybackSize(width, height);
    if (!m_width->hasFocus())
        m_width->setText(QString::number(width));
    if (!m_height->hasFocus())
        m_height->setText(QString::number(height));
    if (width == scene.playbackWidth && height == scene.playbackHeight)
        return;
    scene.playbackWidth = std::int16_t(width);
    scene.playbackHeight = std::int16_t(height);
    m_movieWindow->setBoxSize(width, height);
    m_document.markDirty();
}

void PreviewPage::annotate()
{
    const Scene& scene = m_document.scene();
    MovieAnnotations stored;
    if (OSErr e = readComposedAnnotations(scene, stored)) {
        alerts().reportError(e);
        return;
    }
    AnnotationsDialog dialog({QString::fromStdString(stored.name), QString::fromStdString(stored.copyright),
                              QString::fromStdString(stored.description)},
                             this);
    if (!dialog.run())
        return;
    const AnnotationsDialog::Texts t = dialog.texts();
    closeMovie();
    const OSErr e = writeComposedAnnotations(
        scene, {t.name.toStdString(), t.copyright.toStdString(), t.description.toStdString()});
    openMovie();
    if (e)
        alerts().reportError(e);
    else
        m_document.markDirty();
}

void PreviewPage::imaging()
{
    Scene& scene = m_document.editableScene();
    const ImagingPropertiesDialog::Values stored{scene.imaging.staticQuality, scene.imaging.staticCorrection,
                                                 scene.imaging.motionQuality, scene.imaging.motionCorrection};
    ImagingPropertiesDialog dialog(stored, this);
    if (!dialog.run())
        return;
    const auto v = dialog.values();
    BusyCursor busy;
    QTVRInstance* vr = m_movieWindow->vrInstance();
    const float pan = QTVRGetPanAngle(vr), tilt = QTVRGetTiltAngle(vr), fov = QTVRGetFieldOfView(vr);
    const std::uint32_t node = QTVRGetCurrentNodeID(vr);
    scene.imaging.staticQuality = std::int16_t(v[0]);
    scene.imaging.staticCorrection = std::int16_t(v[1]);
    scene.imaging.motionQuality = std::int16_t(v[2]);
    scene.imaging.motionCorrection = std::int16_t(v[3]);
    closeMovie();
    const OSErr e = rewriteComposedWorld(scene);
    openMovie();
    // The view the user had stays.
    if (QTVRInstance* again = m_movieWindow->vrInstance(); again && node) {
        if (QTVRGetCurrentNodeID(again) != node)
            QTVRGoToNodeID(again, node);
        QTVRSetFieldOfView(again, fov);
        QTVRSetTiltAngle(again, tilt);
        QTVRSetPanAngle(again, pan);
        m_movieWindow->viewChangedOutside();
        refreshReadouts();
    }
    m_document.markDirty();
    if (e)
        alerts().reportError(e);
}

void PreviewPage::playback()
{
    Scene& scene = m_document.editableScene();
    PlaybackOptionsDialog dialog(scene.playbackHints, this);
    if (!dialog.run())
        return;
    scene.playbackHints = dialog.hints();
    const OSErr e = applyComposedPlaybackHints(scene);
    m_document.markDirty();
    if (e)
        alerts().reportError(e);
}

void PreviewPage::exportMovie()
{
    const Scene& scene = m_document.scene();
    QString suggested = QString::fromStdString(scene.name.str());
    if (suggested.isEmpty())
        suggested = QStringLiteral("Untitled");
    if (!scene.projectFile.empty())
        suggested = QFileInfo(QString::fromStdString(scene.projectFile.parent_path().string()) + QLatin1Char('/') +
                              suggested)
                        .filePath();
    QString filter = tr("QuickTime Movie (*.mov)");
    const QString path = StandardDialogs::current().saveFileName(this, tr("Export the composed movie as:"),
                                                                 suggested + QStringLiteral(".mov"), filter, &filter);
    if (path.isEmpty())
        return;
    BusyCursor busy;
    if (OSErr e = exportComposedMovie(scene, path.toStdString()))
        alerts().reportError(e);
}

int PreviewPage::handleEvent(std::int16_t code)
{
    switch (code) {
    case evIdle:
        refreshReadouts();
        applyPlaybackSize();
        return 1;
    case evActivate:
        m_movieWindow->setFocus();
        return 1;
    case 478: annotate(); return 1;
    case 479: imaging(); return 1;
    case 480: playback(); return 1;
    case 481: exportMovie(); return 1;
    default: return 1;
    }
}

} // namespace qm
