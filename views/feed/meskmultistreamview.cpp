#include "feed/meskmultistreamview.h"

#include "feed/meskcolumnwidget.h"
#include "feed/mesksmscolumnwidget.h"
#include "imediaitemprovider.h"
#include "meskengine.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

CMeskMultiStreamView::CMeskMultiStreamView(int visibleCount, CMeskEngine* engine, QWidget* parent)
    : QWidget(parent), m_engine(engine), m_visibleCount(visibleCount)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_columnsRow = new QHBoxLayout;
    m_columnsRow->setContentsMargins(0, 0, 0, 0);
    m_columnsRow->setSpacing(0);
    m_bannerBox = new QVBoxLayout;
    m_bannerBox->setContentsMargins(5, 0, 15, 0);
    m_bannerBox->setSpacing(0);
    layout->addLayout(m_columnsRow, 1);
    layout->addLayout(m_bannerBox, 0);

    if (engine && engine->isSmsSupported()) {
        m_smsColumn = new CMeskSmsColumnWidget(engine, this);
        connect(m_smsColumn, &CMeskSmsColumnWidget::postUpdateAction, this,
                &CMeskMultiStreamView::postUpdateAction);
        connect(m_smsColumn, &CMeskSmsColumnWidget::postSmsAction, this,
                &CMeskMultiStreamView::postSmsAction);
        m_columnsRow->addWidget(m_smsColumn, 0);
        m_columns.append(m_smsColumn);
    }
    if (engine) {
        for (IMediaItemProvider* provider : engine->activeProviders()) {
            auto* column = new CMeskColumnWidget(engine, provider, this);
            connect(column, &CMeskColumnWidget::postUpdateAction, this,
                    &CMeskMultiStreamView::postUpdateAction);
            connect(column, &CMeskColumnWidget::postSmsAction, this, &CMeskMultiStreamView::postSmsAction);
            m_columnsRow->addWidget(column, 0);
            m_columns.append(column);
        }
    }
    m_emptyColumn = new CMeskEmptyColumnWidget(this);
    m_columnsRow->addWidget(m_emptyColumn, 1);

    updateEmptyColumn();
    updateVisibleColumns();
}

void CMeskMultiStreamView::updateEmptyColumn()
{
    if (m_columns.size() >= m_visibleCount) {
        m_emptyColumn->hide();
        return;
    }
    if (m_columns.isEmpty())
        m_emptyColumn->showNoActiveServices();
    else
        m_emptyColumn->showNoOtherServices();
    m_emptyColumn->show();
}

void CMeskMultiStreamView::updateVisibleColumns()
{
    for (int i = 0; i < m_columns.size(); ++i)
        m_columns.at(i)->setVisible(i >= m_firstColumn && i < m_firstColumn + m_visibleCount);
}

void CMeskMultiStreamView::reload()
{
    for (IMeskColumnWidget* column : std::as_const(m_columns))
        column->reload();
}

void CMeskMultiStreamView::insertTopWidget(mid_t serviceId, QWidget* widget)
{
    for (IMeskColumnWidget* column : std::as_const(m_columns)) {
        if (column->serviceId() == serviceId) {
            column->insertTopWidget(widget);
            return;
        }
    }
    m_bannerBox->insertWidget(0, widget, 0);
}

void CMeskMultiStreamView::scrollColumns(int index)
{
    const int count = int(m_columns.size());
    if (count <= m_visibleCount)
        return;
    m_firstColumn = qBound(0, index, count - m_visibleCount);
    updateVisibleColumns();
}

void CMeskMultiStreamView::setFilter(const QString& text)
{
    for (IMeskColumnWidget* column : std::as_const(m_columns))
        column->setFilter(text);
}

void CMeskMultiStreamView::clearFilter()
{
    for (IMeskColumnWidget* column : std::as_const(m_columns))
        column->clearFilter();
}
