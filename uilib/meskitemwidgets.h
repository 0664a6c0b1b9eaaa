#pragma once

#include <QDateTime>
#include <QLabel>
#include <QMap>
#include <QString>
#include <QWidget>

class QHBoxLayout;

// The small parts every feed item widget shares: the relative-time label, the text link, the
// row of links, the common filter rule and the opening of web addresses.

// Whether the address is an http or https address, the only kind the feed opens.
bool meskIsWebAddress(const QString& url);
// Opens an http or https address with the desktop's browser; any other address is refused.
// Returns whether the address was a web address (when no browser could be started, an error
// box over the parent has said so).
bool meskOpenWebAddress(const QString& url, QWidget* parent = nullptr);

// The filter rule of the text-message and Facebook item widgets. The displayed text (rich
// text) is read as the user sees it: a <style> block is dropped whole, tags are removed and
// the entities &lt; &gt; &amp; &quot; &#39; and numeric ones are decoded. The filter, as typed,
// matches when that text contains it, in any case. An empty filter always matches.
// To mark the matches, an item calls CMeskTexts::highlightText with the filter escaped the way
// its text is: filter.toHtmlEscaped() with escapeFilter false for a fully escaped text, the
// filter as typed with escapeFilter true for a text with only "<" escaped. With an empty filter
// it makes no highlight call and shows its text unmarked.
bool meskFilterMatches(const QString& displayedText, const QString& filter);
// The displayed text as the filter rule reads it (style block, tags and entities resolved).
QString meskFilterPlainText(const QString& displayedText);

// A word-wrapped label (an item's caption) that remembers its height at the last few widths.
// The layouts around it ask the same width several times in one pass, and each answer of a
// plain label lays the whole text out again. What is remembered is dropped whenever the text,
// its format, the wrapping, margins, indent, alignment, font or style change.
class CMeskCaptionLabel : public QLabel
{
public:
    explicit CMeskCaptionLabel(QWidget* parent = nullptr) : QLabel(parent) {}

    int heightForWidth(int width) const override;

protected:
    bool event(QEvent* event) override;

private:
    struct SKnownHeight
    {
        int width = -1;
        int height = 0;
    };
    bool sameShape() const;
    void forget() const;

    static constexpr int KnownWidths = 4;
    mutable SKnownHeight m_known[KnownWidths];
    mutable int m_nextKnown = 0;
    mutable QString m_knownText;
    mutable int m_knownShape[5] = {};
};

// The relative time of an item ("5 minutes ago"), in small light-grey text. When it has a web
// address (http or https), it shows the pointing hand and a press opens the address.
class CMeskItemDateLabel : public QLabel
{
    Q_OBJECT

public:
    // An invalid time is replaced by the current time.
    CMeskItemDateLabel(const QDateTime& time, const QString& url, QWidget* parent = nullptr);
    explicit CMeskItemDateLabel(const QDateTime& time, QWidget* parent = nullptr);

    QDateTime time() const { return m_time; }
    QString url() const { return m_url; }
    // Stores the address; the pointing hand shows only for an http or https address.
    void setUrl(const QString& url);

public slots:
    // Sets the text to the relative time of the stored time.
    void updateText();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    QDateTime m_time;
    QString m_url;
};

// A text link of an item (comment, like, reply...): bold 8 pt in the link colour; a left press
// emits clicked().
class CMeskItemLinkButton : public QLabel
{
    Q_OBJECT

public:
    explicit CMeskItemLinkButton(const QString& text, QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

// A row of text links separated by "-"; each link has an id, which clicked() reports.
class CMeskItemLinkGroup : public QWidget
{
    Q_OBJECT

public:
    explicit CMeskItemLinkGroup(QWidget* parent = nullptr);

    // Appends a link at the right end of the row. An id already in the group is taken over by
    // the new link; the old one stays in the row.
    void addLink(const QString& text, int id);
    // Changes the text of the link with that id; an unknown id does nothing.
    void setLinkText(int id, const QString& text);
    // The link with that id, or null.
    CMeskItemLinkButton* link(int id) const { return m_links.value(id); }

signals:
    void clicked(int id);

private:
    QMap<int, CMeskItemLinkButton*> m_links;
    QHBoxLayout* m_layout = nullptr;
};
