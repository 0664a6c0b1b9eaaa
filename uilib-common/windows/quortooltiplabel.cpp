#include "windows/quortooltiplabel.h"

#include "effects/fadeeffect.h"
#include "windows/layeredwndsurface.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QStyleOption>
#include <QTextDocument>
#include <QTimer>
#include <QTimerEvent>

namespace {
CQuorToolTipLabel* s_instance = nullptr;
constexpr int kFadeMs = 300;
} // namespace

CQuorToolTipLabel::CQuorToolTipLabel(const QString& text, QWidget* parent) : QLabel(parent, Qt::ToolTip)
{
    delete s_instance;
    s_instance = this;

    setProperty("com_velto_qstyleRole", QStringLiteral("quor.commonuilibrary.tooltip"));
    setProperty("com_velto_fontRole", QStringLiteral("widgetlibrary.tooltip.normal.label"));

    CLayeredWndSurface::init(this);
    auto* surface = new CLayeredWndSurface(this);
    surface->setMaskSource([this] { return framePicture(); });
    m_fade = new CWindowFadeEffect(this);

    ensurePolished();
    setMargin(1 + style()->pixelMetric(QStyle::PM_ToolTipLabelFrameWidth, nullptr, this));
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setIndent(1);
    setWordWrap(Qt::mightBeRichText(text));

    qApp->installEventFilter(this);
    setMouseTracking(true);

    reuseTip(text);
}

CQuorToolTipLabel::~CQuorToolTipLabel()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
    // A newer label may have taken over already.
    if (s_instance == this)
        s_instance = nullptr;
}

CQuorToolTipLabel* CQuorToolTipLabel::instance()
{
    return s_instance;
}

void CQuorToolTipLabel::reuseTip(const QString& text)
{
    setText(text);
    const QFontMetrics metrics(font());
    QSize extra(1, 0);
    // Fonts with a descent of exactly 2 and a large ascent cut off descenders.
    if (metrics.descent() == 2 && metrics.ascent() >= 11)
        extra.rheight()++;
    resize(sizeHint() + extra);
    restartExpireTimer();
}

void CQuorToolTipLabel::restartExpireTimer()
{
    m_expireTimer.start(expiryTime(text()), this);
}

int CQuorToolTipLabel::expiryTime(const QString& text)
{
    return 10000 + 40 * qMax(0, int(text.length()) - 100);
}

bool CQuorToolTipLabel::tipChanged(const QPoint& pos, const QString& text, QObject* o) const
{
    if (!s_instance || s_instance->text() != text || o != m_tipWidget)
        return true;
    if (!m_tipRect.isNull())
        return !m_tipRect.contains(pos);
    return false;
}

void CQuorToolTipLabel::setTipRect(QWidget* widget, const QRect& rect)
{
    if (!m_tipRect.isNull() && !widget) {
        qWarning("CQuorToolTipLabel::setTipRect: Cannot pass null widget if rect is set");
        return;
    }
    m_tipWidget = widget;
    m_tipRect = rect;
}

QRect CQuorToolTipLabel::tipScreenGeometry(const QPoint& globalPos, const QWidget* widget)
{
    QScreen* const primary = QGuiApplication::primaryScreen();
    QScreen* screen = nullptr;
    if (primary && primary->virtualSiblings().size() > 1)
        screen = QGuiApplication::screenAt(globalPos);
    if (!screen && widget)
        screen = widget->screen();
    if (!screen)
        screen = primary;
    return screen ? screen->geometry() : QRect();
}

QPoint CQuorToolTipLabel::tipPosition(const QPoint& globalPos, const QSize& size, const QRect& screen,
                                      Qt::LayoutDirection direction)
{
    const int w = size.width();
    const int h = size.height();
    QPoint p = globalPos + QPoint(direction == Qt::RightToLeft ? -(w + 2) : 2, 21);
    const int right = screen.x() + screen.width();
    const int bottom = screen.y() + screen.height();
    if (p.x() + w > right)
        p.rx() -= 4 + w;
    if (p.y() + h > bottom)
        p.ry() -= 24 + h;
    if (p.y() < screen.y())
        p.setY(screen.y());
    if (p.x() + w > right)
        p.setX(right - w);
    if (p.x() < screen.x())
        p.setX(screen.x());
    if (p.y() + h > bottom)
        p.setY(bottom - h);
    return p;
}

void CQuorToolTipLabel::placeTip(const QPoint& globalPos, QWidget* widget)
{
    const Qt::LayoutDirection direction =
        widget ? widget->layoutDirection() : QGuiApplication::layoutDirection();
    move(tipPosition(globalPos, size(), tipScreenGeometry(globalPos, widget), direction));
}

bool CQuorToolTipLabel::isFadingIn() const
{
    return m_fade->isRunning() && !m_fade->isBackward();
}

bool CQuorToolTipLabel::isFadingOut() const
{
    return m_fade->isRunning() && m_fade->isBackward();
}

void CQuorToolTipLabel::onShowTip()
{
    if (QApplication::isEffectEnabled(Qt::UI_FadeTooltip)) {
        m_fade->setDirection(0);
        if (!m_fade->isRunning())
            m_fade->fade(kFadeMs);
    } else {
        show();
    }
}

void CQuorToolTipLabel::onHideTip()
{
    if (QApplication::isEffectEnabled(Qt::UI_FadeTooltip)) {
        // A label that is neither shown nor fading has nothing to fade out.
        if (!isVisible() && !m_fade->isRunning())
            return;
        m_fade->setDirection(1);
        if (!m_fade->isRunning())
            m_fade->fade(kFadeMs);
    } else {
        hide();
    }
}

void CQuorToolTipLabel::showTipAt(const QString& text, const QPoint& centre, int timeMs, bool faded)
{
    auto* label = new CQuorToolTipLabel(QString(), nullptr);
    label->setText(text);
    label->resize(label->sizeHint());
    QRect geometry(QPoint(), label->minimumSizeHint());
    geometry.moveCenter(centre);
    label->setGeometry(geometry);
    if (faded) {
        label->m_fade->setDirection(0);
        label->m_fade->fade(kFadeMs);
    } else {
        label->show();
    }
    QTimer::singleShot(timeMs, label, &CQuorToolTipLabel::onHideTip);
}

bool CQuorToolTipLabel::eventFilter(QObject* o, QEvent* e)
{
    switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::FocusIn:
    case QEvent::FocusOut:
    case QEvent::Leave:
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate:
    case QEvent::Wheel:
        onHideTip();
        break;
    case QEvent::MouseMove:
        if (o == m_tipWidget && !m_tipRect.isNull() &&
            !m_tipRect.contains(static_cast<QMouseEvent*>(e)->position().toPoint()))
            onHideTip();
        break;
    default:
        break;
    }
    return false;
}

void CQuorToolTipLabel::timerEvent(QTimerEvent* e)
{
    if (e->timerId() == m_expireTimer.timerId()) {
        m_expireTimer.stop();
        onHideTip();
        return;
    }
    QLabel::timerEvent(e);
}

void CQuorToolTipLabel::mousePressEvent(QMouseEvent* e)
{
    Q_UNUSED(e);
    onHideTip();
}

void CQuorToolTipLabel::drawFrame(QPainter* painter) const
{
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PrimitiveElement(QStyle::PE_CustomBase + 1), &option, painter, this);
}

QImage CQuorToolTipLabel::framePicture() const
{
    QImage picture(size(), QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    drawFrame(&painter);
    return picture;
}

void CQuorToolTipLabel::paintEvent(QPaintEvent* e)
{
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    // Without a compositor the frame goes over the window colour; the mask cuts the corners.
    const CLayeredWndSurface* surface = CLayeredWndSurface::of(this);
    painter.fillRect(rect(),
                     !surface || surface->isTranslucent() ? QBrush(Qt::transparent) : palette().window());
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    drawFrame(&painter);
    painter.end();
    QLabel::paintEvent(e);
}

void CQuorToolTipLabel::hideEvent(QHideEvent* e)
{
    QLabel::hideEvent(e);
    // Every hidden label goes away; the next tip builds a new one.
    scheduleDeletion();
}

void CQuorToolTipLabel::scheduleDeletion()
{
    if (s_instance == this)
        s_instance = nullptr;
    deleteLater();
}
