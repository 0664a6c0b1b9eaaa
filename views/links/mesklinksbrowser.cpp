#include "links/mesklinksbrowser.h"

#include "imediaitemprovider.h"
#include "imediaobjects.h"
#include "meskengine.h"
#include "meskmessagebox.h"
#include "mesktexts.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QPixmap>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>

#include <unistd.h>

namespace {

struct SLinkPage
{
    IMediaLinkItem* link;
    IMediaUser* author;
    IMediaItemProvider* provider;
    QDateTime created;
};

// HTML-escaped for text and attribute values, the apostrophe included.
QString escapeHtml(const QString& text)
{
    QString out = text.toHtmlEscaped();
    return out.replace(QLatin1Char('\''), QLatin1String("&#39;"));
}

// A local file as an encoded file URL; empty for an empty path.
QString fileUrl(const QString& path)
{
    return path.isEmpty() ? QString() : QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
}

bool isWebUrl(const QString& text)
{
    // Tolerant: a service's link may hold characters a browser takes as they are (a quotation mark).
    const QUrl url(text, QUrl::TolerantMode);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
           !url.host().isEmpty();
}

// The folder "mesk" of the user's cache folder, made private to the user. Empty, after a debug
// message, when it cannot be made or is a link, not a folder or not the user's.
QString pageFolder()
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (cache.isEmpty()) {
        qDebug("sMeskShowLinksBrowser: no cache folder");
        return {};
    }
    const QString path = QDir(cache).absoluteFilePath(QStringLiteral("mesk"));
    const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    QFileInfo info(path);
    if (!info.isSymLink() && !info.exists()) {
        QDir().mkpath(cache);
        QDir().mkdir(path, ownerOnly);
    }
    info.refresh();
    if (info.isSymLink() || !info.isDir() || info.ownerId() != ::getuid()) {
        qDebug().noquote() << QStringLiteral("sMeskShowLinksBrowser: not a private folder: ") + path;
        return {};
    }
    QFile::setPermissions(path, ownerOnly);
    return path;
}

// A new file in place of whatever had its name; a link put there is removed, never followed.
bool createFile(QFile& file)
{
    QFile::remove(file.fileName());
    return file.open(QIODevice::WriteOnly | QIODevice::NewOnly);
}

QString saveCloseButton(const QDir& folder)
{
    QFile source(QStringLiteral(":/meskstyle/images/close_button.png"));
    QFile file(folder.filePath(QStringLiteral("close_button.png")));
    if (source.open(QIODevice::ReadOnly) && createFile(file)) {
        const QByteArray data = source.readAll();
        if (file.write(data) == data.size() && file.flush())
            return file.fileName();
        file.remove();
    }
    qDebug("sMeskShowLinksBrowser: Failed to save close button");
    return {};
}

QString saveProviderLogo(const QDir& folder, IMediaItemProvider* provider)
{
    QFile file(folder.filePath(QString::number(provider->providerId()) + QStringLiteral("_logo.png")));
    if (createFile(file)) {
        if (provider->icon().save(&file, "PNG") && file.flush())
            return file.fileName();
        file.remove();
    }
    qDebug().noquote() << QStringLiteral("sMeskShowLinksBrowser: Failed to save ") + provider->name() +
                              QStringLiteral(" provider logo");
    return {};
}

QString pagePath(const QDir& folder, int page)
{
    return folder.filePath(QString::number(page) + QStringLiteral(".html"));
}

QString navigation(const QDir& folder, int page, int total)
{
    const QString newerOff =
        QCoreApplication::translate("Browser window", "Newer", "disabled button or link");
    const QString olderOff =
        QCoreApplication::translate("Browser window", "Older", "disabled button or link");
    const QString newerOn = QCoreApplication::translate("Browser window", "Newer", "enabled button or link");
    const QString olderOn = QCoreApplication::translate("Browser window", "Older", "enabled button or link");
    const QString newer = escapeHtml(fileUrl(pagePath(folder, page - 1)));
    const QString older = escapeHtml(fileUrl(pagePath(folder, page + 1)));
    if (total == 1)
        return QStringLiteral("<p><b>&nbsp;") + newerOff +
               QStringLiteral("</b>&nbsp;&nbsp;|&nbsp;&nbsp;<b>") + olderOff +
               QStringLiteral("&nbsp;</b></p>");
    if (page == 1)
        return (QStringLiteral("<p><b>&nbsp;") + newerOff +
                QStringLiteral("</b>&nbsp;&nbsp;|&nbsp;&nbsp;<a href=\"%1\"><b>") + olderOn +
                QStringLiteral("&nbsp;"))
            .arg(older);
    if (page == total)
        return (QStringLiteral("<p><a href=\"%1\"><b>") + newerOn +
                QStringLiteral("</b></a>&nbsp;&nbsp;|&nbsp;&nbsp;<b>") + olderOff +
                QStringLiteral("&nbsp;</b></p>"))
            .arg(newer);
    return (QStringLiteral("<p><a href=\"%1\"><b>") + newerOn +
            QStringLiteral("</b></a>&nbsp;&nbsp;|&nbsp;&nbsp; <a href=\"%2\"><b>") + olderOn +
            QStringLiteral("&nbsp;"))
        .arg(newer, older);
}

QString pageHead()
{
    return QStringLiteral(
               "<head> <meta http-equiv=\"content-type\" content=\"text/html; charset=UTF-8\"><title>") +
           QCoreApplication::translate(
               "Browser window", "Velto Lumesk link browser",
               "Title for a web-page that displays all the links received, where the user can browse to "
               "the destinations of those links.") +
           QStringLiteral(
               "</title><style> html { height: 100%; }body { margin: 0; height: 100%; overflow: hidden; }"
               "a { color: white; }p { font-size: 12px; font-family: arial; color: white; }</style></head>");
}

// The body with its placeholders; the navigation stands in as "__NAVIGATION__". Without a web
// link the close image has no anchor.
QString bodyTemplate(bool withLink)
{
    const QString closeImage = QStringLiteral(
        "<img src=\"__CLOSE_BUTTON__\" alt=\"close frame\" style=\"margin: 0 10px 0; border: none\">");
    return QStringLiteral(
               "<table cellpadding=\"0\" cellspacing=\"0\" height=\"100%\" width=\"100%\"><tr style=\"top: "
               "0; "
               "height: 70; width: 100%; background: #505050\"><td style=\"top: 0; width: 100%\"><table "
               "cellpadding=\"0\" cellspacing=\"0\" width=\"100%\"><tr> <td valign=\"center\" "
               "width=\"50\"><img "
               "src=\"__USER_AVATAR__\" alt=\"__USER_NAME__\" width=\"50\" height=\"50\" style=\"float: "
               "left; "
               "margin: 0 10px 0; border: 1px solid\"></td> <td "
               "width=\"35%\"><p><b>__USER_NAME__</b><br><img "
               "src=\"__PROVIDER_LOGO__\" alt=\"__PROVIDER_NAME__\" width=\"17\" height=\"17\" "
               "valign=\"center\" "
               "style=\"float: left;\">__LINK_DESCRIPTION__</p></td><td width=\"10\"> </td><td "
               "align=\"center\"><p><b>") +
           QCoreApplication::translate("Browser window", "Page details",
                                       "Header for the web-page in the browser window") +
           QStringLiteral(
               "</b><br>__LINK_CAPTION__</p></td><td align=\"right\" valign=\"center\"> "
               "<p><b>__PAGE_INDEX__</b>&nbsp;/&nbsp;<b>__TOTAL_PAGES__</b></p> </td><td align=\"right\" "
               "valign=\"center\">__NAVIGATION__</td><td align=\"right\" valign=\"center\"><p "
               "style=\"color: white\">") +
           (withLink ? QStringLiteral("<a href=\"__LINK_URL__\">") + closeImage + QStringLiteral("</a>")
                     : closeImage) +
           QStringLiteral(" </p> </td> </tr> </table> </td> </tr> <tr> <td><iframe scrolling=\"auto\" "
                          "src=\"__LINK_URL__\" frameborder=\"0\" width=\"100%\"height=\"100%\"><p>") +
           QCoreApplication::translate("Browser window", "Your browser does not support iframes.",
                                       "Error message indicating that the browser is too old.") +
           QStringLiteral("</p> </iframe> </td> </tr> </table>");
}

// One pass over the template: each placeholder becomes its value, and no value is scanned again.
QString fillTemplate(const QString& text, const QHash<QString, QString>& values)
{
    static const QRegularExpression placeholder(QStringLiteral("__[A-Z]+(?:_[A-Z]+)*__"));
    QString out;
    qsizetype from = 0;
    for (QRegularExpressionMatchIterator it = placeholder.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const auto value = values.constFind(match.captured());
        if (value == values.constEnd())
            continue;
        out += QStringView(text).mid(from, match.capturedStart() - from);
        out += *value;
        from = match.capturedEnd();
    }
    out += QStringView(text).mid(from);
    return out;
}

bool writePage(const QDir& folder, int page, int total, const SLinkPage& entry, const QString& logoPath,
               const QString& closePath)
{
    QFile file(pagePath(folder, page));
    if (!createFile(file)) {
        qDebug("sMeskShowLinksBrowser: failed to created new file");
        return false;
    }
    const bool web = isWebUrl(entry.link->url());
    const QString description = CMeskTexts::linkToSiteCaption(escapeHtml(entry.link->description())) +
                                QStringLiteral(", ") +
                                escapeHtml(CMeskTexts::shortDateTimeText(entry.created));
    const QHash<QString, QString> values = {
        {QStringLiteral("__USER_AVATAR__"), escapeHtml(fileUrl(entry.author->avatarFile()))},
        {QStringLiteral("__USER_NAME__"), escapeHtml(entry.author->name())},
        {QStringLiteral("__PROVIDER_LOGO__"), escapeHtml(fileUrl(logoPath))},
        {QStringLiteral("__PROVIDER_NAME__"), escapeHtml(entry.provider->name())},
        {QStringLiteral("__LINK_DESCRIPTION__"), description},
        {QStringLiteral("__LINK_CAPTION__"), escapeHtml(entry.link->caption())},
        {QStringLiteral("__LINK_URL__"), web ? escapeHtml(entry.link->url()) : QStringLiteral("about:blank")},
        {QStringLiteral("__PAGE_INDEX__"), QString::number(page)},
        {QStringLiteral("__TOTAL_PAGES__"), QString::number(total)},
        {QStringLiteral("__CLOSE_BUTTON__"), escapeHtml(fileUrl(closePath))},
        {QStringLiteral("__NAVIGATION__"), navigation(folder, page, total)},
    };
    const QByteArray data = QByteArrayLiteral("<html>") + pageHead().toUtf8() + QByteArrayLiteral("<body>") +
                            fillTemplate(bodyTemplate(web), values).toUtf8() +
                            QByteArrayLiteral("</body></html>");
    if (file.write(data) != data.size() || !file.flush()) {
        file.remove();
        qDebug("sMeskShowLinksBrowser: failed to created new file");
        return false;
    }
    return true;
}

void removeStalePages(const QDir& folder)
{
    static const QRegularExpression pageName(QStringLiteral("^\\d+\\.html$"));
    const QStringList names = folder.entryList(QDir::Files | QDir::System | QDir::Hidden);
    for (const QString& name : names) {
        if (pageName.match(name).hasMatch())
            QFile::remove(folder.filePath(name));
    }
}

} // namespace

void sMeskShowLinksBrowser(CMeskEngine* engine, QWidget* parent)
{
    QList<SLinkPage> entries;
    const QList<IMediaLinkItem*> links = engine->loadMediaLinks();
    for (IMediaLinkItem* link : links) {
        IMediaUser* author = engine->linkItemUser(link);
        IMediaItemProvider* provider = engine->linkItemProvider(link);
        if (link && author && provider)
            entries.append({link, author, provider, link->mediaItem().created});
    }
    if (entries.isEmpty())
        return;
    std::stable_sort(entries.begin(), entries.end(),
                     [](const SLinkPage& a, const SLinkPage& b) { return a.created > b.created; });

    const QString path = pageFolder();
    if (path.isEmpty())
        return;
    const QDir folder(path);
    removeStalePages(folder);
    const QString closePath = saveCloseButton(folder);

    QMap<mid_t, QString> logos;
    bool firstWritten = false;
    const int total = int(entries.size());
    for (int i = 0; i < total; ++i) {
        const SLinkPage& entry = entries.at(i);
        const mid_t id = entry.provider->providerId();
        auto logo = logos.find(id);
        if (logo == logos.end())
            logo = logos.insert(id, saveProviderLogo(folder, entry.provider));
        const bool written = writePage(folder, i + 1, total, entry, *logo, closePath);
        if (i == 0)
            firstWritten = written;
    }
    if (firstWritten)
        CMeskMessageBox::openUrl(QUrl::fromLocalFile(pagePath(folder, 1)), parent);
}
