#include "mesknotification.h"

#include "effects/fadeeffect.h"
#include "style/quorcommonstyle.h"
#include "style/quorpainting.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QStyle>
#include <QTimeLine>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

CMeskNotification::CMeskNotification()
    : CQuorPopupWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus)
{
    // A popup would grab the pointer and the keyboard; the toast only shows.
    setAttribute(Qt::WA_ShowWithoutActivating);

    m_fadeEffect = new CWindowFadeEffect(this);

    m_avatarLabel = new QLabel;
    m_logoLabel = new QLabel;
    m_textLabel = new QLabel;
    m_textLabel->setWordWrap(true);
    // The caller passes escaped markup; automatic detection would show its entities literally
    // whenever the first line holds no tag.
    m_textLabel->setTextFormat(Qt::RichText);
    QFont textFont = font();
    textFont.setPointSize(8);
    m_textLabel->setFont(textFont);

    m_closeButton = new QToolButton;
    m_closeButton->setProperty("com_velto_qstyleRole",
                               QStringLiteral("quor.commonuilibrary.toolbutton.icononly"));
    const auto closeId = QStyle::StandardPixmap(CQuorCommonStyle::SP_QuorCloseDark);
    m_closeButton->setIcon(style()->standardIcon(closeId, nullptr, m_closeButton));
    m_closeButton->setIconSize(logicalSize(style()->standardPixmap(closeId, nullptr, m_closeButton)));
    connect(m_closeButton, &QToolButton::clicked, this, &QWidget::close);

    auto* contentLayout = new QVBoxLayout(contentWidget());
    auto* row = new QHBoxLayout;
    row->addWidget(m_avatarLabel, 0, Qt::AlignTop);
    auto* column = new QVBoxLayout;
    column->addWidget(m_textLabel, 1, Qt::AlignTop);
    column->addWidget(m_logoLabel, 0, Qt::AlignLeft);
    row->addLayout(column, 1);
    row->addWidget(m_closeButton, 0, Qt::AlignTop);
    contentLayout->addLayout(row, 0);

    m_hideTimer = new QTimer(this);
    m_hideTimer->setSingleShot(true);
    m_hideTimer->setInterval(DefaultHideDelayMs);
    connect(m_hideTimer, &QTimer::timeout, this, &CMeskNotification::_onHideTimer);

    resize(350, 130);
}

CMeskNotification::~CMeskNotification() = default;

void CMeskNotification::showNotification(const QString& text, const QPixmap& avatar, const QPixmap& logo)
{
    // QRect::bottomRight is the last pixel inside, so the toast ends 1 px short of the corner.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect();
    const QPoint corner = area.bottomRight();
    move(corner.x() - width(), corner.y() - height());

    m_avatarLabel->setPixmap(avatar);
    m_logoLabel->setPixmap(logo);
    m_textLabel->setText(text);

    _fadeIn();
    // One timer, counted from the latest call: a toast shown again stays its whole time.
    m_hideTimer->start();
}

void CMeskNotification::setFadeDuration(int ms)
{
    m_fadeDurationMs = qMax(1, ms);
}

void CMeskNotification::setHideDelay(int ms)
{
    m_hideTimer->setInterval(qMax(0, ms));
}

int CMeskNotification::hideDelay() const
{
    return m_hideTimer->interval();
}

void CMeskNotification::_onHideTimer()
{
    _fadeOut();
}

void CMeskNotification::_fadeIn()
{
    // A hidden toast (closed by its button mid-fade) starts again from transparent.
    if (!isVisible())
        m_fadeEffect->timeLine()->stop();
    m_fadeEffect->setDirection(0);
    m_fadeEffect->fade(m_fadeDurationMs);
}

void CMeskNotification::_fadeOut()
{
    if (!isVisible())
        return;
    m_fadeEffect->setDirection(1);
    m_fadeEffect->fade(m_fadeDurationMs);
}
