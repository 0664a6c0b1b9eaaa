#include "facebookcommentswidget.h"

#include "facebookitems.h"
#include "facebookobjects.h"
#include "meskitemwidgets.h"
#include "meskpostcommentwidget.h"
#include "mesksmallwidgets.h"
#include "mesktexts.h"
#include "meskthumbnailwidget.h"
#include "meskuistyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QSet>
#include <QVBoxLayout>

namespace {

int productMetric(const QWidget* widget, CMeskUiStyle::TMeskMetric metric)
{
    return widget->style()->pixelMetric(QStyle::PixelMetric(metric), nullptr, widget);
}

void setPointSize(QLabel* label, int size)
{
    QFont font = label->font();
    if (size > 0)
        font.setPointSize(size);
    label->setFont(font);
}

} // namespace

// ---- One comment ----

CFacebookCommentWidget::CFacebookCommentWidget(CFacebookUser* commenter, CFacebookComment* comment,
                                               const QString& ownUserId, QWidget* parent)
    : QWidget(parent), m_comment(comment), m_commenter(commenter),
      m_item(comment ? comment->mediaItem() : SMediaItem()),
      m_own(commenter && !ownUserId.isEmpty() && commenter->mediaId() == ownUserId)
{
    const int pointSize = productMetric(this, CMeskUiStyle::PM_MeskCommentPointSize);
    auto* layout = new QHBoxLayout(this);
    layout->addSpacing(productMetric(this, CMeskUiStyle::PM_MeskCommentSpacing));
    if (commenter)
        connect(commenter, &CFacebookUser::avatarUpdated, this,
                &CFacebookCommentWidget::_onUserThumbnailUpdated);

    auto* avatarBox = new QHBoxLayout;
    m_avatar = new CMeskThumbnailWidget(1);
    if (commenter)
        m_avatar->loadPixmap(commenter->avatarFile());
    if (!m_avatar->hasPixmap() && commenter) {
        m_avatar->setPixmap(commenter->defaultAvatar());
        commenter->updateAvatar();
    }
    avatarBox->addWidget(m_avatar, 0, Qt::AlignTop);
    avatarBox->addStretch(1);

    auto* textBox = new QVBoxLayout;
    textBox->setContentsMargins(0, 0, 0, 0);
    const QString who =
        m_own ? tr("Me", "Pronoun - action executed by the user himself")
              : (commenter ? CMeskTexts::shownName(commenter->name()).toHtmlEscaped() : QString());
    auto* header = new QHBoxLayout;
    auto* name = new QLabel(QStringLiteral("<b>%1</b>").arg(who));
    name->setTextFormat(Qt::RichText);
    setPointSize(name, pointSize);
    header->addWidget(name);
    m_dateLabel = new CMeskItemDateLabel(m_item.created, QString());
    header->addWidget(m_dateLabel);
    header->addStretch(1);
    textBox->addLayout(header);
    // At most the first 2,000 characters; the full comment stays in storage.
    auto* text =
        new CMeskSelectableTextLabel(CMeskTexts::breakableText(CMeskTexts::shownText(m_item.content), false));
    text->setTextFormat(Qt::PlainText);
    setPointSize(text, pointSize);
    textBox->addWidget(text);
    textBox->addStretch(1);

    if (m_own) {
        layout->addLayout(textBox, 1);
        layout->addLayout(avatarBox, 0);
    } else {
        layout->addLayout(avatarBox, 0);
        layout->addLayout(textBox, 1);
    }
}

CFacebookCommentWidget::~CFacebookCommentWidget() = default;

void CFacebookCommentWidget::updateTime()
{
    m_dateLabel->updateText();
}

void CFacebookCommentWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(CMeskUiStyle::color(38));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(rect(), 5, 5, Qt::AbsoluteSize);
}

void CFacebookCommentWidget::_onUserThumbnailUpdated()
{
    if (m_commenter)
        m_avatar->loadPixmap(m_commenter->avatarFile());
}

// ---- The comments block ----

CFacebookCommentsWidget::CFacebookCommentsWidget(CFacebookUser* poster, CFacebookEvent* event,
                                                 CFacebookObjectManager* objects, const QString& ownUserId,
                                                 QWidget* parent)
    : QWidget(parent), m_event(event), m_poster(poster), m_objects(objects), m_ownUserId(ownUserId)
{
    auto* main = new QVBoxLayout(this);
    main->setContentsMargins(0, 0, 0, 0);
    m_list = new QVBoxLayout;
    m_list->setContentsMargins(0, 0, 0, 0);
    main->addLayout(m_list, 0);
    m_showAllLink = new CMeskItemLinkButton(
        tr("View all comments...", "Label text that links to the dialog showing all comments"));
    m_showAllLink->hide();
    main->addWidget(m_showAllLink, 0, Qt::AlignCenter);
    m_editor = new CMeskPostCommentWidget(event ? event->commentPoster(ownUserId) : nullptr);
    main->addWidget(m_editor, 0);
    reload();
    connect(m_showAllLink, &CMeskItemLinkButton::clicked, this, &CFacebookCommentsWidget::_onShowAllComments);
}

CFacebookCommentsWidget::~CFacebookCommentsWidget() = default;

void CFacebookCommentsWidget::updateTime()
{
    for (CFacebookCommentWidget* row : std::as_const(m_rows))
        row->updateTime();
}

void CFacebookCommentsWidget::reload()
{
    if (!m_event || !m_objects)
        return;
    const QList<SMediaItem> comments = m_event->comments();
    const qsizetype count = (m_showAll || comments.size() < 3) ? comments.size() : 3;
    QSet<QString> shown;
    for (qsizetype i = 0; i < count; ++i) {
        const SMediaItem& item = comments.at(i);
        shown.insert(item.mediaId);
        if (m_rows.contains(item.id))
            continue;
        CFacebookComment* comment = m_objects->comment(item.id);
        CFacebookUser* commenter = m_objects->user(item.user);
        if (comment && commenter)
            addRow(commenter, comment);
    }
    for (auto it = m_rows.begin(); it != m_rows.end();) {
        if (shown.contains(it.value()->mediaItem().mediaId)) {
            ++it;
            continue;
        }
        delete it.value();
        it = m_rows.erase(it);
    }
    updateLink();
}

void CFacebookCommentsWidget::addComment(const QString& commentId, const QString&)
{
    if (!m_objects)
        return;
    CFacebookComment* comment = m_objects->commentByMediaId(commentId);
    if (!comment || m_rows.contains(comment->mediaItem().id))
        return;
    if (CFacebookUser* commenter = m_objects->user(comment->userId()))
        addRow(commenter, comment);
    updateLink();
}

void CFacebookCommentsWidget::addRow(CFacebookUser* commenter, CFacebookComment* comment)
{
    // Oldest first: just below the last row that is strictly older, else at the top, so of two
    // comments with one time the later-added stands above.
    const QDateTime created = comment->created();
    int place = 0;
    for (int i = 0; i < m_list->count(); ++i) {
        auto* row = qobject_cast<CFacebookCommentWidget*>(m_list->itemAt(i)->widget());
        if (row && row->created() < created)
            place = i + 1;
    }
    auto* row = new CFacebookCommentWidget(commenter, comment, m_ownUserId, nullptr);
    m_list->insertWidget(place, row, 0);
    m_rows.insert(comment->mediaItem().id, row);
}

void CFacebookCommentsWidget::updateLink()
{
    const bool hide = m_showAll || !m_event || m_event->commentsCount() == m_rows.size();
    m_showAllLink->setVisible(!hide);
}

void CFacebookCommentsWidget::_onShowAllComments()
{
    m_showAllLink->hide();
    m_showAll = true;
    reload();
}
