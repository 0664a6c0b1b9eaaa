#include "windows/quordialog.h"

#include "windows/quordialogtitlebar.h"
#include "windows/quorscreenfit.h"

#include <QFrame>
#include <QResizeEvent>
#include <QStyle>
#include <QStyleHintReturnMask>
#include <QStyleOptionFrame>
#include <QWindow>

CQuorDialog::CQuorDialog(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint)
{
    setProperty("com_velto_qstyleRole", QStringLiteral("quor.commonuilibrary.window.dialog"));
    // Every dialog stays on its screen, however small the screen or large its minimum.
    CQuorScreenFit::watch(this);
}

CQuorDialog::~CQuorDialog() = default;

QFrame* CQuorDialog::findFrame(QPointer<QFrame>& cache, const QString& name)
{
    // The cache empties itself when the frame is deleted; the next call searches again.
    if (!cache) {
        const QList<QFrame*> frames = findChildren<QFrame*>(name, Qt::FindChildrenRecursively);
        if (!frames.isEmpty())
            cache = frames.first();
    }
    return cache;
}

QFrame* CQuorDialog::contentFrame()
{
    return findFrame(m_contentFrame, QStringLiteral("contentFrame"));
}

QFrame* CQuorDialog::bottomFrame()
{
    return findFrame(m_bottomFrame, QStringLiteral("bottomFrame"));
}

CQuorDialogTitleBar* CQuorDialog::titleBar()
{
    if (!m_titleBar) {
        const QList<CQuorDialogTitleBar*> bars = findChildren<CQuorDialogTitleBar*>();
        if (!bars.isEmpty())
            m_titleBar = bars.first();
    }
    return m_titleBar;
}

bool CQuorDialog::event(QEvent* event)
{
    // QDialog forgets that it placed itself (it clears WA_Moved after centring), so a native
    // window made anew while the dialog shows would get no position and land in the corner of
    // the screen, while pos() still reports the old place. Give the new window that place.
    if (event->type() == QEvent::WinIdChange && isVisible() && internalWinId()) {
        if (QWindow* window = windowHandle(); window && window->position() != geometry().topLeft())
            window->setPosition(geometry().topLeft());
    }
    return QDialog::event(event);
}

void CQuorDialog::resizeEvent(QResizeEvent* event)
{
    QStyleOptionFrame option;
    option.initFrom(this);
    QStyleHintReturnMask mask;
    if (style()->styleHint(QStyle::SH_WindowFrame_Mask, &option, this, &mask))
        setMask(mask.region);
    QDialog::resizeEvent(event);
}
