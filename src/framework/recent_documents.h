#pragma once
// The documents opened or saved lately: the program's own list (File > Open Recent, kept in
// the user's configuration folder) and the desktop's recently-used list
// ($XDG_DATA_HOME/recently-used.xbel), which file choosers and launchers of every program read.
#include <QString>
#include <QStringList>

namespace qm {

class RecentDocuments {
public:
    static constexpr int kMaximum = 10;

    // The program's settings file: <user configuration folder>/Quillmere.conf.
    static QString settingsFile();
    // The desktop's list: $XDG_DATA_HOME/recently-used.xbel (~/.local/share by default).
    static QString desktopListFile();

    // Newest first; files that no longer exist are dropped from the list.
    static QStringList files();
    // Puts the file at the top of both lists.
    static void add(const QString& path);
    static void clear();

    // The folder the last file chooser ended in, or empty.
    static QString lastFolder();
    static void setLastFolder(const QString& folder);

    // Adds or refreshes the file's entry in an XBEL recently-used list, keeping every entry
    // and application of other programs as it stands. False when the list cannot be written
    // (or is not an XBEL list: it is then left alone).
    static bool addToDesktopList(const QString& listFile, const QString& path,
                                 const QString& mimeType);
};

// The MIME types of the program's documents (installed with the program).
QString projectMimeType();
QString templateMimeType();

} // namespace qm
