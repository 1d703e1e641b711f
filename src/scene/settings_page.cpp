#include "scene/settings_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "framework/dialog_items.h"
#include "framework/event_codes.h"
#include "framework/scene_document.h"
#include "framework/window_registry.h"
#include "scene/custom_orientation_dialog.h"
#include "scene/custom_size_dialog.h"
#include "scene/settings_edit_command.h"
#include "scene/scene_window.h"
#include "scene/settings_lists.h"

namespace qm {

namespace {

std::int16_t toInt16(long value)
{
    return std::int16_t(std::clamp<long>(value, 0, 32767));
}

// Divisions below 1 are taken as 1.
std::int16_t divisionsOf(const QString& text)
{
    return std::max<std::int16_t>(1, toInt16(settings::leadingInteger(text)));
}

} // namespace

SettingsPage::SettingsPage(SceneWindow& window, SceneDocument& document, QWidget* parent)
    : ScenePage(window, 1, parent), m_document(document)
{
    setObjectName(QStringLiteral("dialog200"));
    auto makeEdit = [this](int id, int maxLength, bool numeric) {
        auto* edit = new QLineEdit(this);
        items::setItemId(edit, id);
        edit->setMaxLength(maxLength);
        if (numeric) {
            auto* validator = new QIntValidator(0, 32767, edit);
            validator->setLocale(QLocale::c()); // numbers follow no locale
            edit->setValidator(validator);
            edit->setFixedWidth(64);
        }
        return edit;
    };
    auto makeList = [this](int id, const QStringList& entries) {
        auto* list = new QComboBox(this);
        items::setItemId(list, id);
        list->addItems(entries);
        list->setMaxVisibleItems(16);
        return list;
    };
    auto makeCheck = [this](int id, const QString& text) {
        auto* box = new QCheckBox(text, this);
        items::setItemId(box, id);
        return box;
    };

    m_name = makeEdit(410, int(kMaxNameLength), false);
    m_orientation = makeList(409, settings::orientationEntries());
    m_masterSize = makeList(411, settings::sizeEntries());
    m_playbackSize = makeList(412, settings::sizeEntries());
    m_width = makeEdit(405, 5, true);
    m_height = makeEdit(406, 5, true);
    m_unit = makeList(407, settings::unitEntries());
    m_scale = makeList(408, settings::scaleEntries());
    m_backgroundGrid = makeCheck(414, tr("Background Grid"));
    m_backgroundDivisions = makeEdit(415, 5, true);
    m_backgroundActive = makeCheck(416, tr("Active"));
    m_nodeGrid = makeCheck(419, tr("Node Grid"));
    m_nodeDivisions = makeEdit(420, 5, true);
    m_nodeActive = makeCheck(421, tr("Active"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(12);

    auto* sceneGroup = new QGroupBox(tr("Scene"), this);
    auto* sceneGrid = new QGridLayout(sceneGroup);
    sceneGrid->addWidget(new QLabel(tr("Name:"), sceneGroup), 0, 0);
    sceneGrid->addWidget(m_name, 0, 1, 1, 2);
    sceneGrid->addWidget(new QLabel(tr("Orientation:"), sceneGroup), 1, 0);
    sceneGrid->addWidget(m_orientation, 1, 1);
    sceneGrid->addWidget(new QLabel(tr("Master Size:"), sceneGroup), 2, 0);
    sceneGrid->addWidget(m_masterSize, 2, 1);
    sceneGrid->addWidget(new QLabel(tr("Playback Size:"), sceneGroup), 3, 0);
    sceneGrid->addWidget(m_playbackSize, 3, 1);
    sceneGrid->setColumnStretch(2, 1);
    layout->addWidget(sceneGroup);

    auto* mapGroup = new QGroupBox(tr("Map"), this);
    auto* mapRow = new QHBoxLayout(mapGroup);
    mapRow->addWidget(new QLabel(tr("Dimensions:"), mapGroup));
    mapRow->addWidget(m_width);
    mapRow->addWidget(new QLabel(QStringLiteral("X"), mapGroup));
    mapRow->addWidget(m_height);
    mapRow->addWidget(m_unit);
    mapRow->addSpacing(24);
    mapRow->addWidget(new QLabel(tr("Scale:"), mapGroup));
    mapRow->addWidget(m_scale);
    mapRow->addStretch(1);
    layout->addWidget(mapGroup);

    auto* gridGroup = new QGroupBox(tr("Grids"), this);
    auto* grids = new QGridLayout(gridGroup);
    grids->addWidget(m_backgroundGrid, 0, 0);
    grids->addWidget(new QLabel(tr("Divisions:"), gridGroup), 0, 1);
    grids->addWidget(m_backgroundDivisions, 0, 2);
    grids->addWidget(m_backgroundActive, 0, 3);
    grids->addWidget(m_nodeGrid, 1, 0);
    grids->addWidget(new QLabel(tr("Divisions:"), gridGroup), 1, 1);
    grids->addWidget(m_nodeDivisions, 1, 2);
    grids->addWidget(m_nodeActive, 1, 3);
    grids->setColumnStretch(4, 1);
    grids->setHorizontalSpacing(16);
    layout->addWidget(gridGroup);
    layout->addStretch(1);

    // Every notification of a control reaches the page as its item number through the scene
    // window, which drops it while it is busy with another event.
    auto notify = [this](int id) { WindowRegistry::instance().send(&sceneWindow(), std::int16_t(id)); };
    for (QLineEdit* edit : {m_name, m_width, m_height, m_backgroundDivisions, m_nodeDivisions}) {
        const int id = edit->objectName().mid(4).toInt();
        // textEdited comes with every change the user makes, by keyboard or by mouse (paste
        // or undo from the field's context menu), and never with the page's own setText.
        connect(edit, &QLineEdit::textEdited, this, [notify, id] { notify(id); });
        connect(edit, &QLineEdit::editingFinished, this, [this] { fieldLeft(); });
    }
    for (QComboBox* list : {m_orientation, m_masterSize, m_playbackSize, m_unit, m_scale}) {
        const int id = list->objectName().mid(4).toInt();
        connect(list, &QComboBox::activated, this, [notify, id] { notify(id); });
    }
    for (QCheckBox* box : {m_backgroundGrid, m_backgroundActive, m_nodeGrid, m_nodeActive}) {
        const int id = box->objectName().mid(4).toInt();
        connect(box, &QCheckBox::clicked, this, [notify, id] { notify(id); });
    }
    connect(&m_document, &SceneDocument::changed, this, &SettingsPage::refresh);

    refresh();
}

SceneSettings SettingsPage::current() const { return SceneSettings::of(m_document.scene()); }

void SettingsPage::commit(const SceneSettings& after, const QString& text, int field,
                          bool discardsComposedMovie)
{
    const SceneSettings before = current();
    if (after == before)
        return;
    const int mergeKey = field < 0 ? -1 : (m_typingSession % 100000) * 1000 + field;
    m_document.push(new SettingsEditCommand(m_document, before, after, text, mergeKey,
                                            discardsComposedMovie));
}

void SettingsPage::fieldEdited(Field field)
{
    SceneSettings after = current();
    switch (field) {
    case fName:
        after.name = NameText(m_name->text().toStdString()).str();
        commit(after, tr("Name Change"), field);
        break;
    case fWidth:
        after.width = toInt16(settings::leadingInteger(m_width->text()));
        commit(after, tr("Dimensions Change"), field);
        break;
    case fHeight:
        after.height = toInt16(settings::leadingInteger(m_height->text()));
        commit(after, tr("Dimensions Change"), field);
        break;
    case fBackgroundDivisions:
        after.backgroundGrid.divisions = divisionsOf(m_backgroundDivisions->text());
        commit(after, tr("Grid Change"), field);
        break;
    case fNodeDivisions:
        after.nodeGrid.divisions = divisionsOf(m_nodeDivisions->text());
        commit(after, tr("Grid Change"), field);
        break;
    }
}

void SettingsPage::fieldLeft()
{
    ++m_typingSession;
    // A field left holding what the scene cannot keep shows what it kept (0 divisions: 1).
    const Scene& scene = m_document.scene();
    showNumber(m_width, scene.mapWidth, false, true);
    showNumber(m_height, scene.mapHeight, false, true);
    showNumber(m_backgroundDivisions, scene.backgroundGrid.divisions, true, true);
    showNumber(m_nodeDivisions, scene.nodeGrid.divisions, true, true);
}

void SettingsPage::orientationChosen(int index)
{
    SceneSettings after = current();
    const int entry = index + 1;
    if (entry == settings::kOrientationInitialView) {
        after.orientation = settings::kInitialView;
    } else if (entry == settings::kOrientationCustom) {
        CustomOrientationDialog dialog(after.orientation, window());
        if (!dialog.run()) {
            showOrientation(after.orientation);
            return;
        }
        after.orientation = dialog.angle();
    } else {
        after.orientation = float(settings::leadingNumber(m_orientation->itemText(index)));
    }
    showOrientation(after.orientation);
    commit(after, tr("Orientation Change"));
}

void SettingsPage::sizeChosen(bool master, int index)
{
    QComboBox* list = master ? m_masterSize : m_playbackSize;
    SceneSettings after = current();
    std::int16_t& width = master ? after.masterWidth : after.playbackWidth;
    std::int16_t& height = master ? after.masterHeight : after.playbackHeight;
    int w = width, h = height;
    if (index + 1 == settings::kSizeCustom) {
        CustomSizeDialog dialog(master ? tr("Custom Master Size") : tr("Custom Playback Size"),
                                width, height, window());
        if (master)
            dialog.setObjectName(QStringLiteral("dialog352"));
        if (!dialog.run()) {
            showSize(list, width, height);
            return;
        }
        w = dialog.width();
        h = dialog.height();
    } else if (!settings::parseSizeText(list->itemText(index), &w, &h)) {
        return;
    }
    width = toInt16(w);
    height = toInt16(h);
    showSize(list, width, height);
    if (master) {
        const Scene& scene = m_document.scene();
        const bool hasMovie = scene.composedAt != 0 || !scene.composedMovieFile.empty();
        commit(after, tr("Master Size Change"), -1, hasMovie);
    } else {
        commit(after, tr("Playback Size Change"));
    }
}

void SettingsPage::unitChosen(int index)
{
    SceneSettings after = current();
    const std::int16_t code = settings::unitsCode(index + 1);
    if (code == after.unit)
        return;
    changeUnit(after, code);
    commit(after, tr("Unit Change"));
}

void SettingsPage::scaleChosen(int index)
{
    SceneSettings after = current();
    after.scale = settings::scaleFactor(index + 1);
    commit(after, tr("Scale Change"));
}

void SettingsPage::gridClicked(int item)
{
    SceneSettings after = current();
    const bool checked = items::controlValue(this, item) == 1;
    switch (item) {
    case 414: after.backgroundGrid.shown = checked; break;
    case 416: after.backgroundGrid.active = checked; break;
    case 419: after.nodeGrid.shown = checked; break;
    case 421: after.nodeGrid.active = checked; break;
    default: return;
    }
    commit(after, tr("Grid Change"));
    updateGridEnabling();
}

void SettingsPage::refresh()
{
    const Scene& scene = m_document.scene();
    if (NameText(m_name->text().toStdString()) != scene.name) {
        const int cursor = m_name->cursorPosition();
        m_name->setText(QString::fromStdString(scene.name.str()));
        m_name->setCursorPosition(std::min(cursor, int(m_name->text().size())));
    }
    showOrientation(scene.orientation);
    showSize(m_masterSize, scene.masterWidth, scene.masterHeight);
    showSize(m_playbackSize, scene.playbackWidth, scene.playbackHeight);
    showNumber(m_width, scene.mapWidth, false);
    showNumber(m_height, scene.mapHeight, false);
    m_unit->setCurrentIndex(settings::unitEntry(scene.unitIndex) - 1);
    m_scale->setCurrentIndex(settings::scaleEntry(scene.scaleFactor) - 1);
    m_backgroundGrid->setChecked(scene.backgroundGrid.shown);
    m_backgroundActive->setChecked(scene.backgroundGrid.active);
    showNumber(m_backgroundDivisions, scene.backgroundGrid.divisions, true);
    m_nodeGrid->setChecked(scene.nodeGrid.shown);
    m_nodeActive->setChecked(scene.nodeGrid.active);
    showNumber(m_nodeDivisions, scene.nodeGrid.divisions, true);
    updateGridEnabling();
}

void SettingsPage::showOrientation(float degrees)
{
    if (degrees == settings::kInitialView) {
        m_orientation->setCurrentIndex(settings::kOrientationInitialView - 1);
        return;
    }
    const QString text = settings::orientationText(degrees);
    if (!items::selectListItem(m_orientation, text)) {
        items::insertListItem(m_orientation, settings::kOrientationInsertEntry - 1, text);
        m_orientation->setCurrentIndex(settings::kOrientationInsertEntry - 1);
    }
}

void SettingsPage::showSize(QComboBox* list, int width, int height)
{
    const QString text = settings::sizeText(width, height);
    if (!items::selectListItem(list, text)) {
        items::insertListItem(list, settings::kSizeInsertEntry - 1, text);
        list->setCurrentIndex(settings::kSizeInsertEntry - 1);
    }
}

void SettingsPage::showNumber(QLineEdit* edit, int value, bool divisions, bool force)
{
    const QString text = edit->text();
    // While the user types, a text that reads as the value stays ("05", or "0" for divisions
    // kept as 1); once the field is left it shows the value itself.
    if (!force && edit->hasFocus()) {
        const long typed = settings::leadingInteger(text);
        if ((divisions ? divisionsOf(text) : toInt16(typed)) == value)
            return;
    }
    if (text != QString::number(value))
        edit->setText(QString::number(value));
}

void SettingsPage::updateGridEnabling()
{
    const Scene& scene = m_document.scene();
    m_backgroundDivisions->setEnabled(scene.backgroundGrid.shown);
    m_backgroundActive->setEnabled(scene.backgroundGrid.shown);
    m_nodeDivisions->setEnabled(scene.nodeGrid.shown);
    m_nodeActive->setEnabled(scene.nodeGrid.shown);
}

QLineEdit* SettingsPage::focusedEdit() const
{
    auto* edit = qobject_cast<QLineEdit*>(focusWidget());
    return edit && isAncestorOf(edit) ? edit : nullptr;
}

int SettingsPage::handleEvent(std::int16_t code)
{
    switch (code) {
    case fName:
    case fWidth:
    case fHeight:
    case fBackgroundDivisions:
    case fNodeDivisions:
        fieldEdited(Field(code));
        return 1;
    case 409: orientationChosen(m_orientation->currentIndex()); return 1;
    case 411: sizeChosen(true, m_masterSize->currentIndex()); return 1;
    case 412: sizeChosen(false, m_playbackSize->currentIndex()); return 1;
    case 407: unitChosen(m_unit->currentIndex()); return 1;
    case 408: scaleChosen(m_scale->currentIndex()); return 1;
    case 414:
    case 416:
    case 419:
    case 421:
        gridClicked(code);
        return 1;
    default: break;
    }
    QLineEdit* edit = focusedEdit();
    if (!edit)
        return 1;
    switch (code) {
    case evCut: edit->cut(); break;
    case evCopy: edit->copy(); return 0;
    case evPaste: edit->paste(); break;
    case evDelete: edit->del(); break;
    case evSelectAll: edit->selectAll(); return 0;
    default: return 1;
    }
    // The field's own change notice arrives while the window is busy with this command and is
    // dropped; the change is read back here.
    fieldEdited(Field(edit->objectName().mid(4).toInt()));
    return 0;
}

} // namespace qm
