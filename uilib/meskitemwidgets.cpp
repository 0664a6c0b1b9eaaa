#include "meskitemwidgets.h"

#include "meskclock.h"
#include "meskmessagebox.h"
#include "mesktexts.h"
#include "meskuistyle.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QUrl>

#include <algorithm>
#include <iterator>

namespace {

const char kRoleProperty[] = "com_velto_mesk_qstyleRole";

void setProductRole(QWidget* widget, const char* role)
{
    widget->setProperty(kRoleProperty, QString(QLatin1String("mesk.uilibrary.") + QLatin1String(role)));
}

QString decodeEntities(const QString& text)
{
    static const QRegularExpression entity(
        QStringLiteral("&(lt|gt|amp|quot|#39|#[0-9]{1,7}|#[xX][0-9a-fA-F]{1,6});"));
    QString out;
    out.reserve(text.size());
    qsizetype from = 0;
    for (auto it = entity.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        out += QStringView(text).mid(from, match.capturedStart() - from);
        from = match.capturedEnd();
        const QString name = match.captured(1);
        if (name == QLatin1String("lt")) {
            out += QLatin1Char('<');
        } else if (name == QLatin1String("gt")) {
            out += QLatin1Char('>');
        } else if (name == QLatin1String("amp")) {
            out += QLatin1Char('&');
        } else if (name == QLatin1String("quot")) {
            out += QLatin1Char('"');
        } else {
            const bool hex =
                name.size() > 1 && (name.at(1) == QLatin1Char('x') || name.at(1) == QLatin1Char('X'));
            bool ok = false;
            const uint code = hex ? name.mid(2).toUInt(&ok, 16) : name.mid(1).toUInt(&ok, 10);
            // Code points no text can hold stay as they were written.
            if (ok && code > 0 && code <= 0x10FFFF && !QChar::isSurrogate(code)) {
                const char32_t c = code;
                out += QString::fromUcs4(&c, 1);
            } else {
                out += match.captured(0);
            }
        }
    }
    out += QStringView(text).mid(from);
    return out;
}

} // namespace

bool meskIsWebAddress(const QString& url)
{
    const QUrl parsed(url.trimmed(), QUrl::TolerantMode);
    if (!parsed.isValid() || parsed.host().isEmpty())
        return false;
    const QString scheme = parsed.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

bool meskOpenWebAddress(const QString& url, QWidget* parent)
{
    if (!meskIsWebAddress(url))
        return false;
    CMeskMessageBox::openUrl(QUrl(url.trimmed(), QUrl::TolerantMode), parent);
    return true;
}

QString meskFilterPlainText(const QString& displayedText)
{
    static const QRegularExpression style(QStringLiteral("<style\\b[^>]*>.*?</style\\s*>"),
                                          QRegularExpression::CaseInsensitiveOption |
                                              QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression tag(QStringLiteral("</?([a-zA-Z][a-zA-Z0-9]*)[^>]*>"),
                                        QRegularExpression::CaseInsensitiveOption);
    QString text = displayedText;
    text.remove(style);
    text.remove(tag);
    return decodeEntities(text);
}

bool meskFilterMatches(const QString& displayedText, const QString& filter)
{
    if (filter.isEmpty())
        return true;
    return meskFilterPlainText(displayedText).contains(filter, Qt::CaseInsensitive);
}

// ---- CMeskItemDateLabel ----

bool CMeskCaptionLabel::sameShape() const
{
    const int shape[5] = {int(textFormat()), wordWrap() ? 1 : 0, margin(), indent(), int(alignment())};
    if (text() == m_knownText && std::equal(std::begin(shape), std::end(shape), std::begin(m_knownShape)))
        return true;
    forget();
    m_knownText = text();
    std::copy(std::begin(shape), std::end(shape), std::begin(m_knownShape));
    return false;
}

void CMeskCaptionLabel::forget() const
{
    for (SKnownHeight& known : m_known)
        known = SKnownHeight();
    m_nextKnown = 0;
}

int CMeskCaptionLabel::heightForWidth(int width) const
{
    if (sameShape()) {
        for (const SKnownHeight& known : m_known) {
            if (known.width == width)
                return known.height;
        }
    }
    const int height = QLabel::heightForWidth(width);
    m_known[m_nextKnown] = {width, height};
    m_nextKnown = (m_nextKnown + 1) % KnownWidths;
    return height;
}

bool CMeskCaptionLabel::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::StyleChange:
    case QEvent::ContentsRectChange:
    case QEvent::LayoutDirectionChange:
    case QEvent::Polish:
        forget();
        break;
    default:
        break;
    }
    return QLabel::event(event);
}

CMeskItemDateLabel::CMeskItemDateLabel(const QDateTime& time, const QString& url, QWidget* parent)
    : QLabel(parent), m_time(time.isValid() ? time : MeskClock::now())
{
    setProductRole(this, "itemdatelabel");
    // As wide as its text, so only the text takes presses.
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    QPalette pal = palette();
    const QBrush brush(CMeskUiStyle::color(14), Qt::SolidPattern);
    pal.setBrush(QPalette::Active, QPalette::WindowText, brush);
    pal.setBrush(QPalette::Inactive, QPalette::WindowText, brush);
    setPalette(pal);
    QFont small = font();
    small.setPointSize(8);
    setFont(small);
    setUrl(url);
    updateText();
}

CMeskItemDateLabel::CMeskItemDateLabel(const QDateTime& time, QWidget* parent)
    : CMeskItemDateLabel(time, QString(), parent)
{
}

void CMeskItemDateLabel::setUrl(const QString& url)
{
    m_url = url;
    setCursor(meskIsWebAddress(m_url) ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void CMeskItemDateLabel::updateText()
{
    setText(CMeskTexts::relativeTimeText(m_time));
}

void CMeskItemDateLabel::mousePressEvent(QMouseEvent* event)
{
    if (!meskOpenWebAddress(m_url, this)) {
        QLabel::mousePressEvent(event);
        return;
    }
    event->accept();
}

// ---- CMeskItemLinkButton ----

CMeskItemLinkButton::CMeskItemLinkButton(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    setProductRole(this, "itemlinkbutton");
    QFont link(QStringLiteral("Arial"), 8, QFont::Bold);
    setFont(link);
    QPalette pal = palette();
    pal.setColor(QPalette::Active, QPalette::WindowText, CMeskUiStyle::color(12));
    pal.setColor(QPalette::Inactive, QPalette::WindowText, CMeskUiStyle::color(12));
    pal.setColor(QPalette::Disabled, QPalette::WindowText, CMeskUiStyle::color(13));
    setPalette(pal);
    setCursor(Qt::PointingHandCursor);
}

void CMeskItemLinkButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QLabel::mousePressEvent(event);
        return;
    }
    event->accept();
    emit clicked();
}

// ---- CMeskItemLinkGroup ----

CMeskItemLinkGroup::CMeskItemLinkGroup(QWidget* parent) : QWidget(parent)
{
    setProductRole(this, "itemlinkgroup");
    // The links sit side by side at their own width, never spread across a wider row.
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    m_layout = new QHBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(3);
}

void CMeskItemLinkGroup::addLink(const QString& text, int id)
{
    auto* button = new CMeskItemLinkButton(text);
    m_links.insert(id, button);
    connect(button, &CMeskItemLinkButton::clicked, this, [this, id] { emit clicked(id); });
    if (m_layout->count() > 0) {
        auto* separator = new QLabel(QStringLiteral("-"));
        separator->setPalette(button->palette());
        m_layout->addWidget(separator);
    }
    m_layout->addWidget(button);
}

void CMeskItemLinkGroup::setLinkText(int id, const QString& text)
{
    if (CMeskItemLinkButton* button = m_links.value(id))
        button->setText(text);
}
