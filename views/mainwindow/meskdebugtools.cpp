#include "mainwindow/meskdebugtools.h"

#include "meskengine.h"
#include "windows/quorscreenfit.h"

#include <QPushButton>
#include <QVBoxLayout>

CMeskDebugToolsWidget::CMeskDebugToolsWidget(CMeskEngine* engine, QWidget* parent)
    : QWidget(parent), m_engine(engine)
{
    setWindowTitle(QStringLiteral("MESK Debug tools"));
    setWindowFlags(Qt::Tool);
    CQuorScreenFit::watch(this);
    auto* layout = new QVBoxLayout(this);
    auto* updates = new QPushButton(tr("Get updates"), this);
    auto* deleteItems = new QPushButton(tr("Delete Items"), this);
    layout->addWidget(updates);
    layout->addWidget(deleteItems);
    connect(updates, &QPushButton::clicked, this, &CMeskDebugToolsWidget::_onDoUpdates);
    connect(deleteItems, &QPushButton::clicked, this, &CMeskDebugToolsWidget::_onDeleteItems);
}

void CMeskDebugToolsWidget::_onDoUpdates()
{
    if (m_engine)
        m_engine->doUpdates();
}

void CMeskDebugToolsWidget::_onDeleteItems()
{
    if (m_engine)
        m_engine->deleteAllItems();
}
