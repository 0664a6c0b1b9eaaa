#pragma once

#include "meskrecords.h"

#include <QList>
#include <QWidget>

class CMeskEmptyColumnWidget;
class CMeskEngine;
class CMeskSmsColumnWidget;
class IMeskColumnWidget;
class QHBoxLayout;
class QVBoxLayout;

// The feed area's multi-column mode: the text-message column (when SMS is supported), then one
// column per activated provider in the engine's order, then an empty column taking the rest of
// the row. Of the columns, visibleCount stand side by side from the first visible one on;
// scrollColumns moves that window. Banners go to the column of their service, or into the
// view's own banner box below the row when no column has it.
class CMeskMultiStreamView : public QWidget
{
    Q_OBJECT

public:
    CMeskMultiStreamView(int visibleCount, CMeskEngine* engine, QWidget* parent = nullptr);

    // The number of columns shown at once.
    int columnCount() const { return m_visibleCount; }
    void reload();
    void insertTopWidget(mid_t serviceId, QWidget* widget);

    const QList<IMeskColumnWidget*>& columns() const { return m_columns; }
    CMeskSmsColumnWidget* smsColumn() const { return m_smsColumn; }
    CMeskEmptyColumnWidget* emptyColumn() const { return m_emptyColumn; }
    QVBoxLayout* bannerBox() const { return m_bannerBox; }
    int firstColumn() const { return m_firstColumn; }

signals:
    void postUpdateAction(mid_t providerId, QString text);
    void postSmsAction(QString phone, QString text);

public slots:
    void scrollColumns(int index);
    void setFilter(const QString& text);
    void clearFilter();

private:
    void updateEmptyColumn();
    void updateVisibleColumns();

    CMeskEngine* m_engine = nullptr;
    QHBoxLayout* m_columnsRow = nullptr;
    QVBoxLayout* m_bannerBox = nullptr;
    QList<IMeskColumnWidget*> m_columns;
    CMeskSmsColumnWidget* m_smsColumn = nullptr;
    CMeskEmptyColumnWidget* m_emptyColumn = nullptr;
    int m_firstColumn = 0;
    int m_visibleCount = 0;
};
