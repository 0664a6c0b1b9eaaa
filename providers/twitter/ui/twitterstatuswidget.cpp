#include "twitterstatuswidget.h"

#include "meskitemwidgets.h"
#include "mesktexts.h"
#include "meskthumbnailwidget.h"
#include "style/quorimages.h"
#include "twitteritems.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

const char kLogoPath[] = ":/images/twitter/twitter_logo_small.png";

QLabel* makeTextLabel()
{
    auto* label = new QLabel;
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft);
    // The label opens its links itself; linkifyText makes only http and https links.
    label->setOpenExternalLinks(true);
    return label;
}

// The avatar column: the picture at the top, a stretch below it.
QVBoxLayout* avatarColumn(CMeskThumbnailWidget* avatar)
{
    auto* column = new QVBoxLayout;
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(avatar, 0, Qt::AlignTop);
    column->addStretch(1);
    return column;
}

// The text column: the text, then the bottom row (logo, time and the given links), then a stretch.
QVBoxLayout* textColumn(const CTwitterItemParts& parts, QWidget* links)
{
    auto* column = new QVBoxLayout;
    column->addWidget(parts.label, 0);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(parts.logo, 0, Qt::AlignCenter);
    bottom->addWidget(parts.date, 0, Qt::AlignCenter);
    if (links)
        bottom->addWidget(links, 0, Qt::AlignCenter);
    bottom->addStretch(1);
    column->addLayout(bottom, 0);
    column->addStretch(1);
    return column;
}

} // namespace

// ---- CTwitterItemParts ---------------------------------------------------------------------

CTwitterItemParts::CTwitterItemParts(CTwitterUser* author, CTwitterStatus* shown)
    : user(author), status(shown)
{
    if (status) {
        item = status->mediaItem();
        text = status->text();
    }
    if (user) {
        name = user->name();
        profileUrl = user->profileUrl();
    }
    if (status)
        statusUrl = status->statusUrl(name);
    avatar = new CMeskThumbnailWidget(0);
    logo = new CMeskThumbnailWidget(5);
    logo->setPixmap(QuorImages::pixmap(QLatin1String(kLogoPath)));
    logo->setUrl(statusUrl);
    date = new CMeskItemDateLabel(item.created);
    label = makeTextLabel();
}

QString CTwitterItemParts::renderedText() const
{
    QString body = CMeskTexts::linkifyText(CMeskTexts::shownText(text));
    body.replace(QStringLiteral("\n"), QStringLiteral("<br/>"));
    QString shownName = CMeskTexts::shownName(name);
    shownName.replace(QLatin1Char('<'), QStringLiteral("&lt;"));
    return QStringLiteral("<b>%1</b> %2").arg(shownName, body);
}

bool CTwitterItemParts::applyFilter(const QString& filterText, bool highlight)
{
    QString f = filterText;
    f.replace(QLatin1Char('<'), QStringLiteral("&lt;"));
    f.replace(QLatin1Char('>'), QStringLiteral("&gt;"));
    const bool matches = name.contains(f, Qt::CaseInsensitive) || text.contains(f, Qt::CaseInsensitive);
    if (matches && highlight)
        label->setText(CMeskTexts::breakableText(CMeskTexts::highlightText(renderedText(), f, true), true));
    return matches;
}

void CTwitterItemParts::clearFilter()
{
    label->setText(CMeskTexts::breakableText(renderedText(), true));
}

void CTwitterItemParts::refreshAvatar()
{
    if (user)
        avatar->setPixmap(user->avatar());
}

// ---- CTwitterStatusWidget ------------------------------------------------------------------

CTwitterStatusWidget::CTwitterStatusWidget(CTwitterUser* user, CTwitterStatus* status, QWidget* parent)
    : IMediaItemWidget(parent), m_parts(user, status)
{
    m_parts.avatar->setUrl(m_parts.profileUrl);
    m_parts.refreshAvatar();

    m_links = new CMeskItemLinkGroup;
    //: Button label
    m_links->addLink(tr("Reply"), 0);
    //: Button label
    m_links->addLink(tr("Retweet"), 1);

    auto* outer = new QHBoxLayout;
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addLayout(avatarColumn(m_parts.avatar), 0);
    outer->addLayout(textColumn(m_parts, m_links), 1);
    setLayout(outer);

    m_parts.clearFilter();
    setThumbnailVisible(m_parts.logoVisible);
    connect(m_links, &CMeskItemLinkGroup::clicked, this, &CTwitterStatusWidget::_onItemButtonClicked);
    if (user)
        connect(user, &IMediaUser::avatarUpdated, this, &CTwitterStatusWidget::_onAvatarUpdated);
}

CTwitterStatusWidget::~CTwitterStatusWidget() = default;

void CTwitterStatusWidget::setThumbnailVisible(bool visible)
{
    m_parts.logoVisible = visible;
    m_parts.logo->setVisible(visible);
}

void CTwitterStatusWidget::updateTime()
{
    m_parts.date->updateText();
}

bool CTwitterStatusWidget::applyFilter(const QString& text, bool highlight)
{
    return m_parts.applyFilter(text, highlight);
}

void CTwitterStatusWidget::clearFilter()
{
    m_parts.clearFilter();
}

SMediaItem CTwitterStatusWidget::mediaItem()
{
    return m_parts.item;
}

void CTwitterStatusWidget::_onReply()
{
    emit postUpdateAction(m_parts.item.provider, QStringLiteral("@") + m_parts.name + QStringLiteral(" "));
}

void CTwitterStatusWidget::_onRetweet()
{
    emit postUpdateAction(m_parts.item.provider,
                          QStringLiteral("RT @") + m_parts.name + QStringLiteral(" ") + m_parts.text);
}

void CTwitterStatusWidget::_onFavorite() {}

void CTwitterStatusWidget::_onItemButtonClicked(int id)
{
    switch (id) {
    case 0:
        _onReply();
        break;
    case 1:
        _onRetweet();
        break;
    case 2:
        _onFavorite();
        break;
    default:
        break;
    }
}

void CTwitterStatusWidget::_onAvatarUpdated()
{
    m_parts.refreshAvatar();
}

// ---- CTwitterUpdateWidget ------------------------------------------------------------------

CTwitterUpdateWidget::CTwitterUpdateWidget(CTwitterUser* user, CTwitterStatus* status, QWidget* parent)
    : IMediaItemWidget(parent), m_parts(user, status)
{
    m_parts.refreshAvatar();
    m_parts.avatar->setUrl(m_parts.profileUrl);

    auto* outer = new QHBoxLayout;
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addLayout(textColumn(m_parts, nullptr), 1);
    outer->addLayout(avatarColumn(m_parts.avatar), 0);
    setLayout(outer);

    m_parts.clearFilter();
    setThumbnailVisible(m_parts.logoVisible);
    if (user)
        connect(user, &IMediaUser::avatarUpdated, this, &CTwitterUpdateWidget::_onAvatarUpdated);
}

CTwitterUpdateWidget::~CTwitterUpdateWidget() = default;

void CTwitterUpdateWidget::setThumbnailVisible(bool visible)
{
    m_parts.logoVisible = visible;
    m_parts.logo->setVisible(visible);
}

void CTwitterUpdateWidget::updateTime()
{
    m_parts.date->updateText();
}

bool CTwitterUpdateWidget::applyFilter(const QString& text, bool highlight)
{
    return m_parts.applyFilter(text, highlight);
}

void CTwitterUpdateWidget::clearFilter()
{
    m_parts.clearFilter();
}

SMediaItem CTwitterUpdateWidget::mediaItem()
{
    return m_parts.item;
}

void CTwitterUpdateWidget::_onAvatarUpdated()
{
    m_parts.refreshAvatar();
}
