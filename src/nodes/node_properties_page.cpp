#include "nodes/node_properties_page.h"

#include <QCheckBox>
#include <QEvent>
#include <QFormLayout>
#include <QKeyEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "appcore/alert_service.h"
#include "appcore/preferences_store.h"
#include "compose/automatic_hot_spots.h"
#include "compose/compose_environment.h"
#include "compose/node_summary.h"
#include "framework/scene_document.h"
#include "framework/standard_dialogs.h"
#include "media/node_import.h"
#include "nodes/animation_settings_dialog.h"
#include "nodes/node_browser.h"
#include "nodes/node_edit_command.h"
#include "quicktime/files/file_alias.h"

namespace qm {

namespace {

QLabel* staticItem(int id, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QStringLiteral("item%1").arg(id));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QString mediaPath(const Scene& scene, const Node& node)
{
    const ComposeEnvironment env = standardComposeEnvironment();
    std::filesystem::path path;
    if (node.mediaReference.empty() || env.resolveMedia(scene, node, path) != 0)
        return QStringLiteral("<Undefined>");
    return QString::fromStdString(path.string());
}

} // namespace

NodePropertiesPage::NodePropertiesPage(NodeBrowser& browser, QWidget* parent) : QWidget(parent), m_browser(browser)
{
    auto* form = new QFormLayout(this);
    form->setLabelAlignment(Qt::AlignRight);
    m_kind = staticItem(490, this);
    m_id = staticItem(488, this);
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("item489"));
    m_name->setMaxLength(63);
    m_comment = new QPlainTextEdit(this);
    m_comment->setObjectName(QStringLiteral("item491"));
    m_comment->setTabChangesFocus(true);
    m_comment->installEventFilter(this);
    m_initial = new QCheckBox(this);
    m_initial->setObjectName(QStringLiteral("item496"));
    m_media = staticItem(492, this);
    m_media->setWordWrap(true);
    m_media->setMinimumWidth(300);
    m_mediaButton = new QPushButton(QStringLiteral("Change..."), this);
    m_mediaButton->setObjectName(QStringLiteral("item494"));
    m_animation = staticItem(493, this);
    m_animation->setWordWrap(true);
    m_animationButton = new QPushButton(QStringLiteral("Change..."), this);
    m_animationButton->setObjectName(QStringLiteral("item495"));

    auto withButton = [this](QLabel* label, QPushButton* button) {
        auto* row = new QWidget(this);
        auto* l = new QHBoxLayout(row);
        l->setContentsMargins(0, 0, 0, 0);
        l->addWidget(label, 1);
        l->addWidget(button, 0, Qt::AlignTop);
        return row;
    };
    form->addRow(QStringLiteral("Node Kind:"), m_kind);
    form->addRow(QStringLiteral("Reference ID:"), m_id);
    form->addRow(QStringLiteral("Name:"), m_name);
    form->addRow(QStringLiteral("Comment:"), m_comment);
    form->addRow(QStringLiteral("Initial Node:"), m_initial);
    form->addRow(QStringLiteral("Media File:"), withButton(m_media, m_mediaButton));
    form->addRow(QStringLiteral("Animation:"), withButton(m_animation, m_animationButton));

    connect(m_name, &QLineEdit::editingFinished, this, &NodePropertiesPage::commitName);
    connect(m_initial, &QCheckBox::clicked, this, &NodePropertiesPage::makeInitial);
    connect(m_mediaButton, &QPushButton::clicked, this, &NodePropertiesPage::chooseMediaFile);
    connect(m_animationButton, &QPushButton::clicked, this, &NodePropertiesPage::editAnimation);
}

void NodePropertiesPage::showNode()
{
    const Node* node = findNode(m_browser.document().scene(), m_browser.currentNodeId());
    if (!node)
        return;
    m_kind->setText(QString::fromLatin1(NodeKind::displayName(node->kind)));
    m_id->setText(QString::asprintf("%03d", int(node->id)));
    const QString name = QString::fromStdString(node->name.str());
    if (m_name->text() != name)
        m_name->setText(name);
    const QString comment = QString::fromStdString(node->comment.str());
    if (m_comment->toPlainText() != comment)
        m_comment->setPlainText(comment);
    m_initial->setChecked(node->initial);
    m_media->setText(mediaPath(m_browser.document().scene(), *node));
    m_animation->setText(QString::fromStdString(animationSummary(*node)));
    m_animationButton->setEnabled(hasAnimationSettings(*node));
}

void NodePropertiesPage::commitEdits()
{
    commitName();
    commitComment();
}

void NodePropertiesPage::commitName()
{
    const std::string text = m_name->text().left(63).toStdString();
    editNode(m_browser.document(), m_browser.currentNodeId(), QStringLiteral("Rename Node"),
             [&](Node& n) { n.name = text; });
}

void NodePropertiesPage::commitComment()
{
    QString text = m_comment->toPlainText();
    std::string bytes = text.toStdString();
    editNode(m_browser.document(), m_browser.currentNodeId(), QStringLiteral("Node Comment"),
             [&](Node& n) { n.comment = bytes; });
}

bool NodePropertiesPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_comment) {
        if (event->type() == QEvent::FocusOut)
            commitComment();
        else if (event->type() == QEvent::KeyPress) {
            // At most 255 characters: typing stops there.
            if (m_comment->toPlainText().toUtf8().size() >= 255) {
                auto* key = static_cast<QKeyEvent*>(event);
                if (!key->text().isEmpty() && key->key() != Qt::Key_Backspace && key->key() != Qt::Key_Delete &&
                    !m_comment->textCursor().hasSelection())
                    return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void NodePropertiesPage::makeInitial()
{
    const std::int16_t id = m_browser.currentNodeId();
    const Node* node = findNode(m_browser.document().scene(), id);
    if (!node)
        return;
    if (node->initial) {
        m_initial->setChecked(true); // the initial node changes only by checking another node
        return;
    }
    editNodes(m_browser.document(), QStringLiteral("Initial Node"), [&](std::vector<Node>& nodes) {
        for (Node& n : nodes)
            n.initial = n.id == id;
    });
    showNode();
}

void NodePropertiesPage::chooseMediaFile()
{
    const Scene& scene = m_browser.document().scene();
    const QString folder =
        scene.projectFile.empty() ? QString() : QString::fromStdString(scene.projectFile.parent_path().string());
    const QString path = StandardDialogs::current().openFileName(
        this, QStringLiteral("Choose a Media File"), folder,
        QStringLiteral("QuickTime Movies and Images (*.mov *.qt *.qtif *.jpg *.jpeg *.png *.gif *.bmp *.tif *.tiff "
                       "*.pct *.pict *.psd *.tga *.sgi);;All Files (*)"),
        nullptr);
    if (!path.isEmpty())
        changeMediaFile(path);
}

bool NodePropertiesPage::changeMediaFile(const QString& path)
{
    SceneDocument& doc = m_browser.document();
    const std::int16_t id = m_browser.currentNodeId();
    const Node* current = findNode(doc.scene(), id);
    if (!current)
        return false;
    Scene scene = doc.scene(); // the edit is tried on a copy: a failure changes nothing
    Node* node = findNode(scene, id);
    const std::filesystem::path file = path.toStdString();
    const std::filesystem::path base =
        scene.projectFile.empty() ? std::filesystem::path() : scene.projectFile.parent_path();
    node->mediaReference = FileAlias::forFile(file, base).serialize();
    std::string detail;
    if (OSErr e = AnalyzeNodeMedia(*node, scene.projectFile, {}, &detail)) {
        alerts().reportError(e);
        return false;
    }
    // The hot spots drawn over the old media stay; the automatic ones follow the new media.
    repositionAutomaticHotSpots(scene, id, true, autoHotSpotStyle(appPreferences().record()));
    std::vector<Node> after = std::move(scene.nodes);
    scene.nodes.clear();
    editNodes(doc, QStringLiteral("Change Media File"), [&](std::vector<Node>& nodes) { nodes = after; });
    showNode();
    NodeBrowser::refresh(doc);
    return true;
}

void NodePropertiesPage::editAnimation()
{
    const Node* node = findNode(m_browser.document().scene(), m_browser.currentNodeId());
    if (!node || !hasAnimationSettings(*node))
        return;
    ObjectSampleRecord record = std::get<ObjectSampleRecord>(node->mediaData);
    AnimationSettingsDialog dialog(record, node->kind == NodeKind::kLinearMovie, this);
    if (!dialog.run())
        return;
    const ObjectSampleRecord edited = dialog.record();
    editNode(m_browser.document(), node->id, QStringLiteral("Animation Settings"),
             [&](Node& n) { n.mediaData = edited; });
    showNode();
}

} // namespace qm
