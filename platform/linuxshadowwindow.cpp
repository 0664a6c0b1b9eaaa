#include "linuxshadowwindow.h"

#include "compositingwatch.h"

#include <QEvent>
#include <QPainter>

namespace {

IShadowWindow::Factory& factoryRef()
{
    static IShadowWindow::Factory factory;
    return factory;
}

} // namespace

std::unique_ptr<IShadowWindow> IShadowWindow::create(QWidget* owner)
{
    if (const Factory& factory = factoryRef())
        return factory(owner);
    // Without a compositor the translucent window would be an opaque black band around its owner.
    if (!CCompositingWatch::instance()->isActive())
        return nullptr;
    return std::make_unique<CLinuxShadowWindow>(owner);
}

IShadowWindow::Factory IShadowWindow::setFactory(Factory factory)
{
    Factory previous = std::move(factoryRef());
    factoryRef() = std::move(factory);
    return previous;
}

CLinuxShadowWindow::CLinuxShadowWindow(QWidget* owner)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus |
                           Qt::WindowTransparentForInput | Qt::NoDropShadowWindowHint),
      m_owner(owner)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setObjectName(QStringLiteral("ShadowWnd"));
    if (owner)
        owner->installEventFilter(this);
}

CLinuxShadowWindow::~CLinuxShadowWindow()
{
    if (m_owner)
        m_owner->removeEventFilter(this);
}

void CLinuxShadowWindow::show()
{
    QWidget::show();
    restack();
}

void CLinuxShadowWindow::hide()
{
    QWidget::hide();
}

bool CLinuxShadowWindow::isVisible() const
{
    return QWidget::isVisible();
}

void CLinuxShadowWindow::setGeometry(const QRect& geometry)
{
    QWidget::setGeometry(geometry);
}

QRect CLinuxShadowWindow::geometry() const
{
    return QWidget::geometry();
}

void CLinuxShadowWindow::setRegion(const QRegion& region)
{
    if (region.isEmpty())
        clearMask();
    else
        setMask(region);
}

void CLinuxShadowWindow::setAlpha(int alpha)
{
    const int clamped = qBound(0, alpha, 255);
    if (clamped == m_alpha)
        return;
    m_alpha = clamped;
    update();
}

void CLinuxShadowWindow::setImage(const QImage& image)
{
    m_pixmap = QPixmap::fromImage(image);
    update();
}

void CLinuxShadowWindow::restack()
{
    // Raising the owner stacks it above the shadow without activating anything.
    if (m_owner && QWidget::isVisible() && m_owner->isVisible())
        m_owner->raise();
}

void CLinuxShadowWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    if (m_pixmap.isNull() || m_alpha == 0)
        return;
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setOpacity(m_alpha / 255.0);
    painter.drawPixmap(0, 0, m_pixmap);
}

bool CLinuxShadowWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_owner && event->type() == QEvent::WindowActivate)
        restack();
    return QWidget::eventFilter(watched, event);
}
