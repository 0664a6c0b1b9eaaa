#include "windows/quorwindowedge.h"

#include "compositingwatch.h"
#include "style/quorcommonstyle.h"

#include <QEvent>
#include <QPainter>

namespace {

// The colour of the menu's frame in the common style's table.
constexpr int kFrameColor = 10;

} // namespace

CQuorWindowEdge::CQuorWindowEdge(QWidget* window) : QWidget(window)
{
    setObjectName(QStringLiteral("windowEdge"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    window->installEventFilter(this);
    connect(CCompositingWatch::instance(), &CCompositingWatch::changed, this,
            &CQuorWindowEdge::_onCompositingChanged);
    follow();
    setVisible(!CCompositingWatch::instance()->isActive());
}

CQuorWindowEdge::~CQuorWindowEdge() = default;

CQuorWindowEdge* CQuorWindowEdge::attach(QWidget* window)
{
    if (!window)
        return nullptr;
    if (auto* edge = window->findChild<CQuorWindowEdge*>(QString(), Qt::FindDirectChildrenOnly))
        return edge;
    return new CQuorWindowEdge(window);
}

QColor CQuorWindowEdge::color() const
{
    if (const auto* common = qobject_cast<const CQuorCommonStyle*>(style()))
        return common->color(kFrameColor);
    return palette().color(QPalette::Mid);
}

void CQuorWindowEdge::follow()
{
    if (QWidget* window = parentWidget())
        setGeometry(window->rect());
    raise();
    update();
}

void CQuorWindowEdge::_onCompositingChanged(bool active)
{
    setVisible(!active);
    if (!active)
        follow();
}

bool CQuorWindowEdge::eventFilter(QObject* watched, QEvent* event)
{
    // Children made later would cover the edge; a new mask changes its outline.
    switch (event->type()) {
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::ChildAdded:
        if (watched == parentWidget())
            follow();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void CQuorWindowEdge::paintEvent(QPaintEvent*)
{
    // The outermost pixels of the window's shape: those with a neighbour outside it.
    const QWidget* window = parentWidget();
    const QRegion shape = window && !window->mask().isEmpty() ? window->mask() : QRegion(rect());
    const QRegion inner = shape & shape.translated(1, 0) & shape.translated(-1, 0) & shape.translated(0, 1) &
                          shape.translated(0, -1);
    QPainter painter(this);
    const QColor line = color();
    for (const QRect& r : shape - inner)
        painter.fillRect(r, line);
}
