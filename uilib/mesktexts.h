#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

// The feed area's warnings, by code (warningText, CMeskFeedErrorWidget::setWarning).
enum TMeskWarning
{
    WarningCellularNetwork = 1, // the Internet connection runs over the 3G network
    WarningLowSignal = 2,
};

// The feed's shared texts: captions, error and warning banners, relative times, date headers,
// linkified and highlighted text. Every text is translated in the context "QObject" with its
// translator comment. Captions are rich-text fragments; the names, titles and sites that go into
// them have "<" written as "&lt;" (as the item texts themselves), so a service's text cannot add
// markup. Message arguments (smsAddressLabel, messageCaption) go in as the caller passes them.
class CMeskTexts
{
public:
    CMeskTexts() = delete;

    // Captions.
    static QString smsAddressLabel(const QString& party, const QString& message, bool outgoing);
    // The text a view shows for a text message: its own, or a short note for a data message (a WAP
    // push, an MMS notice) that the program cannot show. Plain text.
    static QString smsMessageText(const QString& message, bool dataMessage);
    static QString photosPostedCaption(const QString& who, int count);
    static QString photoPostedCaption(const QString& who, const QString& title);
    static QString linkPostedCaption(const QString& who);
    static QString linkToSiteCaption(const QString& site);
    // A whole HTML document with the link style sheet; only an http or https url becomes the link.
    static QString linkPostedHtml(const QString& who, const QString& url, const QString& site);
    static QString eventPostedCaption(const QString& who);
    static QString eventPostedHtml(const QString& who, const QString& url, const QString& title);
    static QString videoPostedCaption(const QString& who);
    static QString videoPostedTitleCaption(const QString& who, const QString& title);
    static QString friendRequestCaption(const QString& who);
    static QString messageCaption(const QString& who, const QString& message);
    // "<b>title</b> by <b>person</b>".
    static QString eventByCaption(const QString& person, const QString& title);
    static QString welcomeText();
    static QString getStartedText();
    static QString moreButtonText();

    // The text with "<" escaped and every web address (http://, https://, www.) turned into a
    // bold link; with the link style sheet in front when there is at least one. Only a valid
    // http or https address with a host, of at most MaxLinkLength characters, becomes a link.
    static QString linkifyText(const QString& text);

    // What an item widget shows of a text from a service (the full text stays in storage): at most
    // maxLength characters, cut between two code points and ended with "…" when cut. Cut before
    // escaping and linking.
    static constexpr qsizetype MaxTextLength = 2000;
    static constexpr qsizetype MaxNameLength = 200;
    static constexpr qsizetype MaxLinkLength = 2048;
    static QString shownText(const QString& text, qsizetype maxLength = MaxTextLength);
    static QString shownName(const QString& name);
    // A word-wrapped label never breaks a word, so one long word would widen its item: a
    // zero-width space after every BreakEvery characters of a word lets it break. With richText,
    // tags are left alone and an entity counts as one character. Applied last, to what the label
    // shows; withoutBreaks() takes them out again.
    static constexpr int BreakEvery = 20;
    static constexpr char16_t ZeroWidthSpace = 0x200B;
    static QString breakableText(const QString& text, bool richText);
    static QString withoutBreaks(const QString& text);
    // Every case-insensitive occurrence of the filter outside tags, entities and style blocks
    // marked with the highlight colour. With escapeFilter, "<" in the filter is taken as "&lt;".
    static QString highlightText(const QString& text, const QString& filter, bool escapeFilter);

    // Banner texts by code (TMediaError, the modem's conditions included; TMeskWarning).
    static QString errorText(int code);
    static QString serviceErrorText(const QString& serviceName, int code);
    static QString warningText(int code);

    // "Today, December 7", "Yesterday, December 6" or "December 1" (default locale).
    static QString dateHeaderText(const QDate& date);
    static QString dateHeaderText(const QDate& date, const QDate& today);
    // "Right now", "20 seconds ago", "5 minutes ago", "one day ago", "2 months ago"...
    static QString relativeTimeText(const QDateTime& time);
    static QString relativeTimeText(const QDateTime& time, const QDateTime& now);
    // "Today, 9:05", "Yesterday, 9:05" or "December 1, 9:05", in local time.
    static QString shortDateTimeText(const QDateTime& time);
    static QString shortDateTimeText(const QDateTime& time, const QDateTime& now);

    // "rgb(R, G, B)" of a colour role of the product style.
    static QString colorText(int role);
    // "<style> a { color: <link colour>; text-decoration: none;} </style>".
    static QString linkStyleSheet();
};
