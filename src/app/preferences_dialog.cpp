#include "app/preferences_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/prefs_annotations_panel.h"
#include "app/prefs_hot_spots_panel.h"
#include "app/prefs_scratch_disk_panel.h"
#include "app/prefs_startup_panel.h"
#include "framework/centre_window.h"
#include "framework/dialog_items.h"
#include "framework/modal_dialog.h"
#include "framework/resource_images.h"

namespace qm {

PreferencesDialog::PreferencesDialog(PreferencesRecord& live, QWidget* owner)
    : QDialog(owner), m_live(live), m_working(live)
{
    setObjectName(QStringLiteral("dialog5800"));
    setWindowTitle(tr("Preferences"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* outer = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    outer->addLayout(row);

    m_list = new QListWidget(this);
    items::setItemId(m_list, 5850);
    m_list->setViewMode(QListView::IconMode);
    m_list->setFlow(QListView::TopToBottom);
    m_list->setMovement(QListView::Static);
    m_list->setWrapping(false);
    m_list->setIconSize(QSize(32, 32));
    m_list->setGridSize(QSize(92, 66));
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setFixedSize(100, 4 * 66 + 2 * m_list->frameWidth() + 4);
    m_list->setSpacing(0);
    const struct {
        const char* text;
        int icon;
    } entries[] = {{"App. Startup", imgPrefsStartup},
                   {"Scratch Disk", imgPrefsScratchDisk},
                   {"Annotations", imgPrefsAnnotations},
                   {"Hot Spots", imgPrefsHotSpots}};
    for (const auto& e : entries)
        m_list->addItem(new QListWidgetItem(resourceIcon(e.icon), tr(e.text)));
    row->addWidget(m_list);

    auto* area = new QWidget(this);
    area->setMinimumSize(330, 230);
    m_panelArea = new QVBoxLayout(area);
    m_panelArea->setContentsMargins(8, 0, 0, 0);
    row->addWidget(area, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    items::setItemId(buttons->button(QDialogButtonBox::Ok), 1);
    items::setItemId(buttons->button(QDialogButtonBox::Cancel), 2);
    outer->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    connect(m_list, &QListWidget::currentRowChanged, this,
            [this](int chosen) { choosePanel(chosen + 1); });
    m_list->setCurrentRow(0);
    m_list->setFocus();
}

void PreferencesDialog::choosePanel(int number)
{
    if (m_list->currentRow() != number - 1) {
        m_list->setCurrentRow(number - 1); // comes back here through currentRowChanged
        return;
    }
    if (m_panel) {
        // A panel may hold text it stores on leaving (the annotations edit).
        m_panel->hide();
        m_panelArea->removeWidget(m_panel);
        delete m_panel;
        m_panel = nullptr;
    }
    switch (number) {
    case 1: m_panel = new PrefsStartupPanel(m_working, this); break;
    case 2: m_panel = new PrefsScratchDiskPanel(m_working, this); break;
    case 3: m_panel = new PrefsAnnotationsPanel(m_working, this); break;
    case 4: m_panel = new PrefsHotSpotsPanel(m_working, this); break;
    default: return;
    }
    m_panelArea->addWidget(m_panel);
    m_panel->show();
}

bool PreferencesDialog::run()
{
    if (auto* buttons = findChild<QDialogButtonBox*>(QString(), Qt::FindDirectChildrenOnly))
        ModalDialog::prepareFocus(this, buttons);
    adjustSize();
    centreWindow(this, parentWidget() ? parentWidget()->window() : nullptr);
    return exec() == QDialog::Accepted;
}

void PreferencesDialog::accept()
{
    // A hot spot size being typed is taken as it stands.
    if (auto* hotSpots = qobject_cast<PrefsHotSpotsPanel*>(m_panel))
        hotSpots->commitSize();
    m_live = m_working;
    QDialog::accept();
}

} // namespace qm
