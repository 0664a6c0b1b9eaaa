#include "windows/quorscreenfit.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

CQuorScreenFit::CQuorScreenFit(QWidget* window) : QObject(window), m_window(window)
{
    setObjectName(QStringLiteral("quorScreenFit"));
    window->installEventFilter(this);
}

CQuorScreenFit* CQuorScreenFit::watch(QWidget* window)
{
    if (!window)
        return nullptr;
    if (auto* existing = window->findChild<CQuorScreenFit*>(QString(), Qt::FindDirectChildrenOnly))
        return existing;
    return new CQuorScreenFit(window);
}

QScreen* CQuorScreenFit::screenOf(const QWidget* window)
{
    QScreen* screen = nullptr;
    if (window->testAttribute(Qt::WA_Moved)) {
        const QRect frame = window->frameGeometry();
        screen = QGuiApplication::screenAt(frame.center());
        if (!screen)
            screen = QGuiApplication::screenAt(frame.topLeft());
    } else if (const QWidget* parent = window->parentWidget()) {
        // Where a dialog centres itself: over its parent's window.
        const QWidget* parentWindow = parent->window();
        screen = QGuiApplication::screenAt(parentWindow->frameGeometry().center());
        if (!screen)
            screen = parentWindow->screen();
    }
    if (!screen)
        screen = window->screen();
    return screen ? screen : QGuiApplication::primaryScreen();
}

QRect CQuorScreenFit::area(const QWidget* window)
{
    const QScreen* screen = screenOf(window);
    if (!screen)
        return QRect();
    return window->isFullScreen() ? screen->geometry() : screen->availableGeometry();
}

void CQuorScreenFit::moveInside(QWidget* window, const QRect& area)
{
    if (area.isEmpty())
        return;
    const QRect frame = window->frameGeometry();
    const QPoint inside(std::max(area.left(), std::min(frame.left(), area.right() + 1 - frame.width())),
                        std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - frame.height())));
    if (inside != frame.topLeft())
        window->move(window->pos() + inside - frame.topLeft());
}

QSize CQuorScreenFit::designMinimumSize() const
{
    const QSize current = m_window->minimumSize();
    return m_appliedMinimum.isValid() && current == m_appliedMinimum ? m_designMinimum : current;
}

void CQuorScreenFit::fit()
{
    const QRect where = area(m_window);
    if (where.isEmpty())
        return;
    // A minimum other than the one this watcher set is the code's (or its layout's) own.
    const QSize current = m_window->minimumSize();
    if (!m_appliedMinimum.isValid() || current != m_appliedMinimum)
        m_designMinimum = current;

    // The window system's frame around the window takes its share of the area; a full-screen
    // window shows none.
    const bool fullScreen = m_window->isFullScreen();
    const QSize frameExtra =
        fullScreen ? QSize(0, 0) : m_window->frameGeometry().size() - m_window->geometry().size();
    const QSize room = (where.size() - frameExtra).expandedTo(QSize(1, 1));
    const QSize minimum = m_designMinimum.boundedTo(room);
    if (minimum != current)
        m_window->setMinimumSize(minimum);
    m_appliedMinimum = minimum;
    // The window system puts a full-screen window on its screen, at the screen's size.
    if (fullScreen)
        return;
    if (m_window->width() > room.width() || m_window->height() > room.height())
        m_window->resize(m_window->size().boundedTo(room));
    moveInside(m_window, where);
}

bool CQuorScreenFit::eventFilter(QObject* watched, QEvent* event)
{
    // The show event comes before the native window appears: fitted here, the window never
    // shows off its screen.
    if (watched == m_window && event->type() == QEvent::Show)
        fit();
    return QObject::eventFilter(watched, event);
}
