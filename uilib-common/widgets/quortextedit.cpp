#include "widgets/quortextedit.h"

#include "style/quorwidgetstyle.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPointer>
#include <QStyle>
#include <QStyleOptionFrame>

CQuorTextEdit::CQuorTextEdit(QWidget* parent) : QTextEdit(parent)
{
    viewport()->setAutoFillBackground(false);
    setProperty("com_velto_fontRole", QStringLiteral("widgetlibrary.textedit.textfield.text"));
}

CQuorTextEdit::~CQuorTextEdit() = default;

void CQuorTextEdit::setBackgroundVisible(bool visible)
{
    m_backgroundVisible = visible;
    if (visible) {
        QPalette transparentBase = palette();
        transparentBase.setColor(QPalette::Base, Qt::transparent);
        setPalette(transparentBase);
    } else {
        setPalette(QApplication::palette());
    }
    update();
}

void CQuorTextEdit::setAutoResize(bool on)
{
    if (on == m_autoResize)
        return;
    m_autoResize = on;
    QAbstractTextDocumentLayout* layout = document()->documentLayout();
    if (on) {
        connect(layout, &QAbstractTextDocumentLayout::documentSizeChanged, this,
                &CQuorTextEdit::onAutoResize);
        // The layout reports only changes of the size; fit the text there is now.
        onAutoResize(layout->documentSize());
    } else
        disconnect(layout, &QAbstractTextDocumentLayout::documentSizeChanged, this,
                   &CQuorTextEdit::onAutoResize);
}

void CQuorTextEdit::onAutoResize(const QSizeF& size)
{
    QStyleOptionFrame option;
    option.initFrom(this);
    option.lineWidth = lineWidth();
    option.midLineWidth = midLineWidth();
    const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this);
    setFixedHeight(int(size.height()) + 2 * frame);
}

void CQuorTextEdit::contextMenuEvent(QContextMenuEvent* event)
{
    QPointer<QMenu> menu = createStandardContextMenu();
    QuorWidgetStyle::removeUnicodeControlMenu(menu);
    menu->exec(event->globalPos());
    delete menu.data();
}
