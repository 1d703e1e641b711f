#pragma once
// "Preferences": four panels on a working copy of the preferences record. OK copies the
// working copy into the live record; Cancel drops it. The file is written at the end of the run.
#include <QDialog>

#include "appcore/preferences_record.h"

class QListWidget;
class QVBoxLayout;

namespace qm {

class PreferencesDialog : public QDialog {
    Q_OBJECT
public:
    PreferencesDialog(PreferencesRecord& live, QWidget* owner = nullptr);

    // Runs the dialog modally; true when OK was pressed.
    bool run();

    const PreferencesRecord& workingCopy() const { return m_working; }
    // 1-based panel number in list order: App. Startup, Scratch Disk, Annotations, Hot Spots.
    void choosePanel(int number);
    QWidget* panel() const { return m_panel; }

protected:
    void accept() override;

private:
    PreferencesRecord& m_live;
    PreferencesRecord m_working;
    QListWidget* m_list;
    QVBoxLayout* m_panelArea;
    QWidget* m_panel = nullptr;
};

} // namespace qm
