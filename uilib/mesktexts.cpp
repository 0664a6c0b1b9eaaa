#include "mesktexts.h"

#include "meskclock.h"
#include "meskrecords.h"
#include "meskuistyle.h"

#include <QCoreApplication>
#include <QList>
#include <QLocale>
#include <QRegularExpression>
#include <QUrl>

namespace {

// A name, title or site from a service, made safe for a rich-text caption: "<" as "&lt;",
// the item texts' own convention (applying it twice changes nothing).
QString escaped(const QString& text)
{
    QString out = text;
    return out.replace(QLatin1Char('<'), QLatin1String("&lt;"));
}

// The link target of an address: only http and https addresses open anything; a '"' cannot
// leave the attribute.
QString hrefOf(const QString& url)
{
    if (!url.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) &&
        !url.startsWith(QLatin1String("https://"), Qt::CaseInsensitive))
        return {};
    QString out = url;
    return out.replace(QLatin1Char('"'), QLatin1String("%22"));
}

QString htmlDocument(const QString& caption)
{
    return QStringLiteral("<html>%1<body>%2</body></html>").arg(CMeskTexts::linkStyleSheet(), caption);
}

struct SSpan
{
    qsizetype begin;
    qsizetype end; // one past the last character
};

// Character entities of the text ("&lt;", "&#39;", "&#x27;"); a bare "&" is none.
QList<SSpan> entitySpans(const QString& text)
{
    static const QRegularExpression entity(
        QStringLiteral("&(#\\d+|#[xX][0-9A-Fa-f]+|[A-Za-z][A-Za-z0-9]*);"));
    QList<SSpan> spans;
    auto it = entity.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        spans.append({m.capturedStart(), m.capturedEnd()});
    }
    return spans;
}

bool strictlyInside(const QList<SSpan>& spans, qsizetype pos)
{
    for (const SSpan& span : spans) {
        if (span.begin < pos && pos < span.end)
            return true;
    }
    return false;
}

// True when the position lies inside a tag: the last '<' before it comes after the last '>'.
bool insideTag(const QString& text, qsizetype pos)
{
    if (pos == 0)
        return false;
    return text.lastIndexOf(QLatin1Char('<'), pos - 1) > text.lastIndexOf(QLatin1Char('>'), pos - 1);
}

// True when the position lies inside a <style>...</style> block.
bool insideStyle(const QString& text, qsizetype pos)
{
    if (pos == 0)
        return false;
    return text.lastIndexOf(QLatin1String("<style"), pos - 1, Qt::CaseInsensitive) >
           text.lastIndexOf(QLatin1String("</style"), pos - 1, Qt::CaseInsensitive);
}

QDateTime localNow()
{
    return MeskClock::now().toLocalTime();
}

} // namespace

QString CMeskTexts::colorText(int role)
{
    const QColor c = CMeskUiStyle::color(role);
    return QStringLiteral("rgb(%1, %2, %3)")
        .arg(QString::number(c.red()), QString::number(c.green()), QString::number(c.blue()));
}

QString CMeskTexts::linkStyleSheet()
{
    return QStringLiteral("<style> a { color: %1; text-decoration: none;} </style>").arg(colorText(12));
}

// ---- Captions ----

QString CMeskTexts::smsAddressLabel(const QString& party, const QString& message, bool outgoing)
{
    QString text = outgoing ? QCoreApplication::translate("QObject", "<b>To: %1</b> %2",
                                                          "Label text - translate only the \"To:\" text")
                            : QCoreApplication::translate("QObject", "<b>From: %1</b> %2",
                                                          "Label text - translate only the \"From:\" text");
    text = text.arg(escaped(party), message);
    text.replace(QLatin1String("\r\n"), QLatin1String("<br/>"));
    text.replace(QLatin1String("\n"), QLatin1String("<br/>"));
    return text;
}

QString CMeskTexts::smsMessageText(const QString& message, bool dataMessage)
{
    if (!dataMessage)
        return message;
    return QCoreApplication::translate("QObject",
                                       "[A data message (such as a multimedia message notice) "
                                       "that this program cannot show]",
                                       "Shown in place of the text of an SMS that carries data, not text");
}

QString CMeskTexts::photosPostedCaption(const QString& who, int count)
{
    return QCoreApplication::translate("QObject", "<b>%1</b> posted %2 photos",
                                       "Caption for a new event - #Who# posted N photos")
        .arg(escaped(who), QString::number(count));
}

QString CMeskTexts::photoPostedCaption(const QString& who, const QString& title)
{
    if (title.isEmpty())
        return QCoreApplication::translate("QObject", "<b>%1</b> posted a new photo",
                                           "Caption for a photo event - #Who# posted a new photo")
            .arg(escaped(who));
    return QCoreApplication::translate("QObject", "<b>%1</b> posted a new photo: \"%2\"",
                                       "Caption for a photo event - #Who# posted a new photo: #PHOTO_TITLE#")
        .arg(escaped(who), escaped(title));
}

QString CMeskTexts::linkPostedCaption(const QString& who)
{
    return QCoreApplication::translate("QObject", "<b>%1</b> posted a link",
                                       "Caption for a link text - #Who# posted a link")
        .arg(escaped(who));
}

QString CMeskTexts::linkToSiteCaption(const QString& site)
{
    return QCoreApplication::translate("QObject", "posted a link to %1",
                                       "Caption for a link text - posted a link to #WEBSITE#")
        .arg(escaped(site));
}

QString CMeskTexts::linkPostedHtml(const QString& who, const QString& url, const QString& site)
{
    const QString caption =
        QCoreApplication::translate("QObject", "<b>%1</b> posted a link to <a href=\"%2\"><b>%3</b></a>",
                                    "Caption for a link text - <b>#Who#</b> posted a link to <a "
                                    "href=\"#WEBADDRESS#\"><b>#WEBSITE#</b></a>")
            .arg(escaped(who), hrefOf(url), escaped(site));
    return htmlDocument(caption);
}

QString CMeskTexts::eventPostedCaption(const QString& who)
{
    return QCoreApplication::translate("QObject", "<b>%1</b> posted an event",
                                       "Caption for a calendar_event event - #Who# posted an event")
        .arg(escaped(who));
}

QString CMeskTexts::eventPostedHtml(const QString& who, const QString& url, const QString& title)
{
    const QString caption =
        QCoreApplication::translate("QObject", "<b>%1</b> posted an event <a href=\"%2\"><b>%3</b></a>",
                                    "Caption for a calendar_event event - #Who# posted an event #link#")
            .arg(escaped(who), hrefOf(url), escaped(title));
    return htmlDocument(caption);
}

QString CMeskTexts::videoPostedCaption(const QString& who)
{
    return QCoreApplication::translate("QObject", "<b>%1</b> posted a video",
                                       "Label text - #SOMEBODY# posted a video")
        .arg(escaped(who));
}

QString CMeskTexts::videoPostedTitleCaption(const QString& who, const QString& title)
{
    return QCoreApplication::translate("QObject", "<b>%1</b> posted a video \"%2\"",
                                       "Label text - #SOMEBODY# posted a video: #TITLE#")
        .arg(escaped(who), escaped(title));
}

QString CMeskTexts::friendRequestCaption(const QString& who)
{
    return QCoreApplication::translate("QObject", "<b>%1</b> sent you a friend request",
                                       "Label text - #SOMEBODY# sent you a friend request")
        .arg(escaped(who));
}

QString CMeskTexts::messageCaption(const QString& who, const QString& message)
{
    return QCoreApplication::translate("QObject", "<b>%1</b> sent you a message: \"%2\"",
                                       "Label text - #SOMEBODY# sent you a message: #MESSAGE#")
        .arg(escaped(who), message);
}

QString CMeskTexts::eventByCaption(const QString& person, const QString& title)
{
    return QCoreApplication::translate("QObject", "<b>%1</b> by <b>%2</b>",
                                       "Label text for an event - #EVENT_TITLE# by #PERSON#")
        .arg(escaped(title), escaped(person));
}

QString CMeskTexts::welcomeText()
{
    return QCoreApplication::translate(
        "QObject",
        "<p class=\"header\">Welcome<br> to Velto Lumesk,</p> <p class=\"body\">the simple way to stay in "
        "touch "
        "with your friends.</p> <p class=\"body\">Send and receive text messages, update your status on "
        "Facebook, tweet and see what's new from your friends online.</p>",
        "Welcome text formatted with HTML. Translate only this: Welcome to Velto Mesk,the simple way to stay "
        "in "
        "touch with your friends. Send and receive text messages, update your status on Facebook, tweet and "
        "see "
        "what's new from your friends online.");
}

QString CMeskTexts::getStartedText()
{
    return QCoreApplication::translate("QObject", "Click here to get started!", "Label for button");
}

QString CMeskTexts::moreButtonText()
{
    return QCoreApplication::translate("QObject", "More",
                                       "Action button text in feed stream to show older content");
}

// ---- Linkified and highlighted text ----

QString CMeskTexts::linkifyText(const QString& text)
{
    const QString source = escaped(text);
    // The dot after "www" matches any character, as it always has; the target is plain http.
    static const QRegularExpression link(QStringLiteral("\\b(http://|https://|www.)\\S+\\b"),
                                         QRegularExpression::UseUnicodePropertiesOption);
    QString out;
    qsizetype from = 0;
    bool found = false;
    auto it = link.globalMatch(source);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const QString shown = m.captured(0);
        QString href = shown;
        href.replace(QLatin1Char('"'), QLatin1String("%22"));
        if (href.startsWith(QLatin1String("www")))
            href.prepend(QLatin1String("http://"));
        // Only a usable address becomes a link; anything else stays text.
        QString address = href;
        address.replace(QLatin1String("&lt;"), QLatin1String("<"));
        const QUrl url(address);
        if (href.size() > MaxLinkLength || !url.isValid() || url.host().isEmpty() ||
            (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
            continue;
        found = true;
        out += QStringView(source).mid(from, m.capturedStart() - from);
        out += QStringLiteral("<a href=\"%1\"><b>%2</b></a>").arg(href, shown);
        from = m.capturedEnd();
    }
    if (!found)
        return source;
    out += QStringView(source).mid(from);
    return linkStyleSheet() + out;
}

QString CMeskTexts::shownText(const QString& text, qsizetype maxLength)
{
    if (text.size() <= maxLength)
        return text;
    qsizetype cut = maxLength;
    // Never half a surrogate pair.
    if (cut > 0 && text.at(cut - 1).isHighSurrogate() && text.at(cut).isLowSurrogate())
        --cut;
    return text.left(cut) + QChar(0x2026);
}

QString CMeskTexts::shownName(const QString& name)
{
    return shownText(name, MaxNameLength);
}

QString CMeskTexts::breakableText(const QString& text, bool richText)
{
    static const QRegularExpression entity(QStringLiteral("&#?[A-Za-z0-9]{1,10};"));
    QString out;
    out.reserve(text.size() + text.size() / BreakEvery);
    int run = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (richText && c == QLatin1Char('<')) {
            const qsizetype end = text.indexOf(QLatin1Char('>'), i);
            const qsizetype next = end < 0 ? text.size() : end + 1;
            out += QStringView(text).mid(i, next - i);
            i = next - 1;
            continue;
        }
        qsizetype length = c.isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        if (richText && c == QLatin1Char('&')) {
            const QRegularExpressionMatch m = entity.match(text, i, QRegularExpression::NormalMatch,
                                                           QRegularExpression::AnchorAtOffsetMatchOption);
            if (m.hasMatch())
                length = m.capturedLength();
        }
        out += QStringView(text).mid(i, length);
        i += length - 1;
        if (c.isSpace() || c == QChar(ZeroWidthSpace)) {
            run = 0;
            continue;
        }
        if (++run >= BreakEvery && i + 1 < text.size() && !text.at(i + 1).isSpace() &&
            text.at(i + 1) != QLatin1Char('<')) {
            out += QChar(ZeroWidthSpace);
            run = 0;
        }
    }
    return out;
}

QString CMeskTexts::withoutBreaks(const QString& text)
{
    QString out = text;
    return out.remove(QChar(ZeroWidthSpace));
}

QString CMeskTexts::highlightText(const QString& text, const QString& filter, bool escapeFilter)
{
    const QString needle = escapeFilter ? escaped(filter) : filter;
    if (needle.isEmpty())
        return text;
    const QString open = QStringLiteral("<font style=\"BACKGROUND-COLOR: %1\">").arg(colorText(18));
    const QString close = QStringLiteral("</font>");
    const QList<SSpan> entities = entitySpans(text);

    QString out;
    qsizetype from = 0;
    qsizetype p = text.indexOf(needle, 0, Qt::CaseInsensitive);
    while (p >= 0) {
        const qsizetype end = p + needle.size();
        out += QStringView(text).mid(from, p - from);
        const QStringView match = QStringView(text).mid(p, needle.size());
        // A mark inside a tag, a style block or half an entity would break the markup.
        const bool bare = insideTag(text, p) || insideStyle(text, p) || strictlyInside(entities, p) ||
                          strictlyInside(entities, end);
        if (bare) {
            out += match;
        } else {
            out += open;
            out += match;
            out += close;
        }
        from = end;
        p = text.indexOf(needle, end, Qt::CaseInsensitive);
    }
    out += QStringView(text).mid(from);
    return out;
}

// ---- Banner texts ----

QString CMeskTexts::errorText(int code)
{
    switch (code) {
    case MediaErrorNetwork:
        return QCoreApplication::translate(
            "QObject", "There is no active Internet connection, please check your network settings",
            "General warning stating that there is no Internet connection available.");
    case MediaErrorServiceUnavailable:
        return QCoreApplication::translate(
            "QObject", "Service is not available",
            "something is preventing Mesk from accessing a Social-Networking web-site's infra.");
    case MediaErrorGeneral:
        return QCoreApplication::translate(
            "QObject", "Service provider returned error",
            "Unidentified error has happened in some Social-Networking infra-structure.");
    case MediaErrorRequestRefused:
        return QCoreApplication::translate(
            "QObject", "Service update rate limit has been reached",
            "The usage-limit for some Social-Networking web-site(s) has been reached. ");
    case MediaErrorAuthorization:
    case MediaErrorApiKey:
    case MediaErrorPermissionDenied:
        return QCoreApplication::translate(
            "QObject", "Velto Lumesk is no longer authorized to use your account",
            "The user or the SocialNetworkingService has revoked Mesk's permission to access data");
    case MediaErrorAccountBlocked:
        return QCoreApplication::translate(
            "QObject", "Your account is blocked",
            "Mesk was denied access to the user's account on a SocialNetworkingService");
    case MediaErrorModemMissing:
        return QCoreApplication::translate(
            "QObject",
            "The 3G device is not available. Please try reinstalling the device "
            "drivers and restarting the computer.",
            "It appears that the GSM hardware has been removed from the computer. ");
    case MediaErrorModemPoweredOff:
        return QCoreApplication::translate("QObject", "The 3G device is powered off",
                                           "Error message stating that the GSM hardware is off");
    case MediaErrorSimMissing:
        return QCoreApplication::translate("QObject", "There is no SIM card in the device, please insert it",
                                           "The GSM SIM card must be inserted to enable 3G and SMS. ");
    case MediaErrorSimLocked:
        return QCoreApplication::translate(
            "QObject", "The SIM card is locked. Enter the PIN code via the system's network settings",
            "The GSM SIM card is inserted but the user needs to enter the PIN code to enable 3G and SMS. ");
    default:
        return QCoreApplication::translate(
            "QObject", "Velto Lumesk internal error, please contact application support", "Error message");
    }
}

QString CMeskTexts::serviceErrorText(const QString& serviceName, int code)
{
    switch (code) {
    case MediaErrorNetwork:
        return QCoreApplication::translate("QObject", "There seems to be some network problems accessing %1",
                                           "A SocialNetworkingService could not be contacted")
            .arg(serviceName);
    case MediaErrorServiceUnavailable:
        return QCoreApplication::translate("QObject", "%1 is temporarily not available",
                                           "A SocialNetworkingService was not available")
            .arg(serviceName);
    case MediaErrorGeneral:
        return QCoreApplication::translate(
                   "QObject", "There seems to be some internal problems while trying to access %1",
                   "A SocialNetworkingService reported internal error")
            .arg(serviceName);
    case MediaErrorRequestRefused:
        return QCoreApplication::translate("QObject", "%1 update rate limit has been reached",
                                           "There were too many requests to a SocialNetworkingService")
            .arg(serviceName);
    case MediaErrorAuthorization:
    case MediaErrorApiKey:
    case MediaErrorPermissionDenied:
        return QCoreApplication::translate(
                   "QObject", "Velto Lumesk is no longer authorized to use your %1 account",
                   "The user or the SocialNetworkingService has revoked Mesk's permission to access data")
            .arg(serviceName);
    case MediaErrorAccountBlocked:
        return QCoreApplication::translate("QObject", "Your %1 account is blocked",
                                           "The user's account to SocialNetworkingService was blocked")
            .arg(serviceName);
    default:
        return errorText(code);
    }
}

QString CMeskTexts::warningText(int code)
{
    switch (code) {
    case WarningCellularNetwork:
        return QCoreApplication::translate(
            "QObject",
            "Please note that Velto Lumesk is using the 3G network for Internet "
            "connections, operator rates may apply",
            "Warning dialog informing about possible operator charges");
    case WarningLowSignal:
        return QCoreApplication::translate("QObject", "The 3G network signal is very low",
                                           "Warning - cellular network signal is low");
    default:
        return QCoreApplication::translate(
            "QObject", "Velto Lumesk detected internal problems, please contact application support");
    }
}

// ---- Dates and times ----

QString CMeskTexts::dateHeaderText(const QDate& date)
{
    return dateHeaderText(date, localNow().date());
}

QString CMeskTexts::dateHeaderText(const QDate& date, const QDate& today)
{
    const QString shown = QLocale().toString(date, QStringLiteral("MMMM d"));
    if (date == today)
        return QCoreApplication::translate("QObject", "Today, ", "Label text") + shown;
    if (date == today.addDays(-1))
        return QCoreApplication::translate("QObject", "Yesterday, ", "Label text") + shown;
    return shown;
}

QString CMeskTexts::relativeTimeText(const QDateTime& time)
{
    return relativeTimeText(time, localNow());
}

QString CMeskTexts::relativeTimeText(const QDateTime& time, const QDateTime& now)
{
    // Elapsed time, not field differences; an unknown or future time reads as just now.
    const qint64 s = time.isValid() ? time.secsTo(now) : 0;
    if (s <= 0)
        return QCoreApplication::translate("QObject", "Right now",
                                           "Label text for something that just happened");
    const QDate day = time.toLocalTime().date();
    const QDate today = now.toLocalTime().date();
    if (day == today) {
        if (s >= 3600) {
            const qint64 h = s / 3600;
            return (h == 1
                        ? QCoreApplication::translate("QObject", "%1 hour ago",
                                                      "Label text for time information")
                        : QCoreApplication::translate("QObject", "%1 hours ago",
                                                      "Label text for time information - #NUMBER# hours ago"))
                .arg(QString::number(h));
        }
        if (s >= 60) {
            const qint64 m = s / 60;
            return (m == 1 ? QCoreApplication::translate("QObject", "%1 minute ago",
                                                         "Label text for time information")
                           : QCoreApplication::translate(
                                 "QObject", "%1 minutes ago",
                                 "Label text for time information - #NUMBER# minutes ago"))
                .arg(QString::number(m));
        }
        if (s > 30)
            return QCoreApplication::translate("QObject", "half a minute ago",
                                               "Label text for time information");
        return (s == 1
                    ? QCoreApplication::translate("QObject", "%1 second ago",
                                                  "Label text for time information")
                    : QCoreApplication::translate("QObject", "%1 seconds ago",
                                                  "Label text for time information - #NUMBER# seconds ago"))
            .arg(QString::number(s));
    }
    const qint64 d = day.daysTo(today);
    if (d >= 30) {
        const qint64 months = d / 30;
        if (months == 1)
            return QCoreApplication::translate("QObject", "one month ago", "Label text for time information");
        return QCoreApplication::translate("QObject", "%1 months ago",
                                           "Label text for time information - #NUMBER# months ago")
            .arg(QString::number(months));
    }
    if (d == 1)
        return QCoreApplication::translate("QObject", "one day ago", "Label text for time information");
    return QCoreApplication::translate("QObject", "%1 days ago",
                                       "Label text for time information - #NUMBER# days ago")
        .arg(QString::number(d));
}

QString CMeskTexts::shortDateTimeText(const QDateTime& time)
{
    return shortDateTimeText(time, localNow());
}

QString CMeskTexts::shortDateTimeText(const QDateTime& time, const QDateTime& now)
{
    const QDateTime local = time.toLocalTime();
    const QDate today = now.toLocalTime().date();
    const QLocale locale;
    if (local.date() == today)
        return QCoreApplication::translate("QObject", "Today, ",
                                           "Label text for time information - Today, hour:minute") +
               locale.toString(local.time(), QStringLiteral("h:mm"));
    if (local.date() == today.addDays(-1))
        return QCoreApplication::translate("QObject", "Yesterday, ",
                                           "Label text for time information - Yesterday, hour:minute") +
               locale.toString(local.time(), QStringLiteral("h:mm"));
    return locale.toString(local, QStringLiteral("MMMM d, h:mm"));
}
