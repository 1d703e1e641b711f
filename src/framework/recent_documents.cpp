#include "framework/recent_documents.h"

#include <QDateTime>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QUrl>

#include "appcore/app_paths.h"
#include "project/scene_defaults.h"

namespace qm {

namespace {

const QString kRecentKey = QStringLiteral("recent/files");
const QString kFolderKey = QStringLiteral("dialogs/lastFolder");
const QString kBookmarkNs = QStringLiteral("http://www.freedesktop.org/standards/desktop-bookmarks");
const QString kMimeNs = QStringLiteral("http://www.freedesktop.org/standards/shared-mime-info");
const QString kAppName = QStringLiteral("Quillmere");

QString dataHome()
{
    const QByteArray v = qgetenv("XDG_DATA_HOME");
    if (v.startsWith('/'))
        return QString::fromLocal8Bit(v);
    return QDir::homePath() + QStringLiteral("/.local/share");
}

QString now() { return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs); }

QDomElement child(const QDomElement& parent, const QString& name)
{
    return parent.firstChildElement(name);
}

QDomElement ensureChild(QDomDocument& doc, QDomElement parent, const QString& name)
{
    QDomElement e = child(parent, name);
    if (e.isNull())
        e = parent.appendChild(doc.createElement(name)).toElement();
    return e;
}

} // namespace

QString projectMimeType() { return QStringLiteral("application/x-quillmere-project"); }
QString templateMimeType() { return QStringLiteral("application/x-quillmere-template"); }

QString RecentDocuments::settingsFile()
{
    return QString::fromStdString((userConfigDirectory() / "Quillmere.conf").string());
}

QString RecentDocuments::desktopListFile() { return dataHome() + QStringLiteral("/recently-used.xbel"); }

QStringList RecentDocuments::files()
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    const QStringList stored = settings.value(kRecentKey).toStringList();
    QStringList present;
    for (const QString& f : stored)
        if (QFileInfo(f).isFile() && !present.contains(f))
            present << f;
    if (present != stored)
        settings.setValue(kRecentKey, present);
    return present;
}

void RecentDocuments::add(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    {
        QSettings settings(settingsFile(), QSettings::IniFormat);
        QStringList list = settings.value(kRecentKey).toStringList();
        list.removeAll(absolute);
        list.prepend(absolute);
        while (list.size() > kMaximum)
            list.removeLast();
        settings.setValue(kRecentKey, list);
    }
    const bool isTemplate = isTemplatePath(std::filesystem::path(absolute.toStdString()));
    addToDesktopList(desktopListFile(), absolute, isTemplate ? templateMimeType() : projectMimeType());
}

void RecentDocuments::clear()
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    settings.remove(kRecentKey);
}

QString RecentDocuments::lastFolder()
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    const QString folder = settings.value(kFolderKey).toString();
    return QFileInfo(folder).isDir() ? folder : QString();
}

void RecentDocuments::setLastFolder(const QString& folder)
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    settings.setValue(kFolderKey, folder);
}

bool RecentDocuments::addToDesktopList(const QString& listFile, const QString& path,
                                       const QString& mimeType)
{
    QDomDocument doc;
    QFile in(listFile);
    if (in.exists()) {
        if (!in.open(QIODevice::ReadOnly))
            return false;
        // A list that does not parse belongs to someone else's bug: leave it as it is.
        if (!doc.setContent(&in) || doc.documentElement().tagName() != QStringLiteral("xbel"))
            return false;
        in.close();
    } else {
        doc.appendChild(doc.createProcessingInstruction(
            QStringLiteral("xml"), QStringLiteral("version=\"1.0\" encoding=\"UTF-8\"")));
        QDomElement root = doc.createElement(QStringLiteral("xbel"));
        root.setAttribute(QStringLiteral("version"), QStringLiteral("1.0"));
        doc.appendChild(root);
    }
    QDomElement root = doc.documentElement();
    if (!root.hasAttribute(QStringLiteral("xmlns:bookmark")))
        root.setAttribute(QStringLiteral("xmlns:bookmark"), kBookmarkNs);
    if (!root.hasAttribute(QStringLiteral("xmlns:mime")))
        root.setAttribute(QStringLiteral("xmlns:mime"), kMimeNs);

    const QString href = QString::fromUtf8(QUrl::fromLocalFile(path).toEncoded());
    const QString stamp = now();
    QDomElement bookmark;
    for (QDomElement b = root.firstChildElement(QStringLiteral("bookmark")); !b.isNull();
         b = b.nextSiblingElement(QStringLiteral("bookmark")))
        if (b.attribute(QStringLiteral("href")) == href) {
            bookmark = b;
            break;
        }
    if (bookmark.isNull()) {
        bookmark = root.appendChild(doc.createElement(QStringLiteral("bookmark"))).toElement();
        bookmark.setAttribute(QStringLiteral("href"), href);
        bookmark.setAttribute(QStringLiteral("added"), stamp);
    }
    bookmark.setAttribute(QStringLiteral("modified"), stamp);
    bookmark.setAttribute(QStringLiteral("visited"), stamp);

    QDomElement info = ensureChild(doc, bookmark, QStringLiteral("info"));
    QDomElement metadata;
    for (QDomElement m = info.firstChildElement(QStringLiteral("metadata")); !m.isNull();
         m = m.nextSiblingElement(QStringLiteral("metadata")))
        if (m.attribute(QStringLiteral("owner")) == QStringLiteral("http://freedesktop.org")) {
            metadata = m;
            break;
        }
    if (metadata.isNull()) {
        metadata = info.appendChild(doc.createElement(QStringLiteral("metadata"))).toElement();
        metadata.setAttribute(QStringLiteral("owner"), QStringLiteral("http://freedesktop.org"));
    }
    QDomElement mime = ensureChild(doc, metadata, QStringLiteral("mime:mime-type"));
    mime.setAttribute(QStringLiteral("type"), mimeType);
    QDomElement apps = ensureChild(doc, metadata, QStringLiteral("bookmark:applications"));
    QDomElement app;
    for (QDomElement a = apps.firstChildElement(QStringLiteral("bookmark:application")); !a.isNull();
         a = a.nextSiblingElement(QStringLiteral("bookmark:application")))
        if (a.attribute(QStringLiteral("name")) == kAppName) {
            app = a;
            break;
        }
    if (app.isNull()) {
        app = apps.appendChild(doc.createElement(QStringLiteral("bookmark:application"))).toElement();
        app.setAttribute(QStringLiteral("name"), kAppName);
        app.setAttribute(QStringLiteral("exec"), QStringLiteral("'quillmere %u'"));
        app.setAttribute(QStringLiteral("count"), 0);
    }
    app.setAttribute(QStringLiteral("modified"), stamp);
    app.setAttribute(QStringLiteral("count"), app.attribute(QStringLiteral("count")).toInt() + 1);

    QDir().mkpath(QFileInfo(listFile).absolutePath());
    // Written beside and renamed over: a reader never sees half a list.
    QSaveFile out(listFile);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write(doc.toByteArray(2));
    return out.commit();
}

} // namespace qm
