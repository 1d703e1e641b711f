#pragma once
// Preferences panel "App. Startup": what the program does when it starts without documents.
#include <QWidget>

namespace qm {

class PreferencesRecord;

class PrefsStartupPanel : public QWidget {
    Q_OBJECT
public:
    PrefsStartupPanel(PreferencesRecord& working, QWidget* parent = nullptr);
};

} // namespace qm
