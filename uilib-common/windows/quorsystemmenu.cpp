#include "windows/quorsystemmenu.h"

#include "style/quorpainting.h"

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

CQuorSystemMenu::CQuorSystemMenu(QWidget* parent) : QWidget(parent)
{
    setProperty("com_velto_qstyleRole", QStringLiteral("quor.commonuilibrary.mainWindow.systemMenu"));
    setFixedSize(logicalSize(style()->standardPixmap(QStyle::SP_TitleBarMenuButton, nullptr, this)));
}

CQuorSystemMenu::~CQuorSystemMenu() = default;

void CQuorSystemMenu::setMenu(QMenu* menu)
{
    m_menu = menu;
}

QMenu* CQuorSystemMenu::menu() const
{
    return m_menu;
}

QPoint CQuorSystemMenu::menuPosition() const
{
    QPoint position = mapToGlobal(rect().bottomLeft());
    if (layoutDirection() == Qt::RightToLeft && m_menu)
        position.setX(mapToGlobal(rect().bottomRight()).x() - m_menu->sizeHint().width() + 1);
    position.ry() += 1;
    return position;
}

void CQuorSystemMenu::mousePressEvent(QMouseEvent* event)
{
    if (!m_menu)
        return;
    if (m_lastPress.isValid() && m_lastPress.elapsed() <= QApplication::doubleClickInterval()) {
        emit doubleClicked();
        return;
    }
    m_lastPress.start();
    // The menu runs modally; it may delete this widget's window before it returns.
    QPointer<QMenu> menu = m_menu;
    menu->exec(menuPosition());
    event->accept();
}

void CQuorSystemMenu::mouseDoubleClickEvent(QMouseEvent* event)
{
    emit doubleClicked();
    event->accept();
}

void CQuorSystemMenu::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, style()->standardPixmap(QStyle::SP_TitleBarMenuButton, nullptr, this));
}
