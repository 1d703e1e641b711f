#include "app/prefs_startup_panel.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

#include "appcore/preferences_record.h"
#include "framework/dialog_items.h"

namespace qm {

PrefsStartupPanel::PrefsStartupPanel(PreferencesRecord& working, QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("dialog5804"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* group = new QGroupBox(tr("Upon application startup:"), this);
    auto* groupLayout = new QVBoxLayout(group);
    auto* buttons = new QButtonGroup(this);
    const char* texts[] = {"Create a new untitled document.", "Open a document from disk.",
                           "Start with no document open."};
    for (int i = 0; i < 3; ++i) {
        auto* radio = new QRadioButton(tr(texts[i]), group);
        items::setItemId(radio, 1004 + i);
        buttons->addButton(radio, i);
        groupLayout->addWidget(radio);
    }
    if (QAbstractButton* current = buttons->button(int(working.startupAction())))
        current->setChecked(true);
    connect(buttons, &QButtonGroup::idClicked, this,
            [&working](int id) { working.setStartupAction(StartupAction(id)); });
    layout->addWidget(group);
    layout->addStretch(1);
}

} // namespace qm
