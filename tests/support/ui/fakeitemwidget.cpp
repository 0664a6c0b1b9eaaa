#include "fakeitemwidget.h"

#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

FakeItemWidget::FakeItemWidget(const SMediaItem& item, QWidget* parent)
    : IMediaItemWidget(parent), m_label(new QLabel(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_label->setWordWrap(true);
    layout->addWidget(m_label);
    setMinimumHeight(20);
    setMediaItem(item);
}

void FakeItemWidget::setMediaItem(const SMediaItem& item)
{
    m_item = item;
    m_label->setText(item.content.toHtmlEscaped());
}

void FakeItemWidget::setThumbnailVisible(bool visible)
{
    calls << QStringLiteral("setThumbnailVisible %1").arg(int(visible));
}

void FakeItemWidget::updateTime()
{
    ++updateTimeCalls;
    calls << QStringLiteral("updateTime");
}

bool FakeItemWidget::applyFilter(const QString& text, bool highlight)
{
    calls << QStringLiteral("applyFilter %1 %2").arg(text).arg(int(highlight));
    return m_item.content.contains(text, Qt::CaseInsensitive);
}

void FakeItemWidget::clearFilter()
{
    calls << QStringLiteral("clearFilter");
}

void FakeItemWidget::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (onMousePress)
        onMousePress();
}

std::function<IMediaItemWidget*(const SMediaItem&)> FakeItemWidget::factory(const QSet<mid_t>& nullIds)
{
    return [nullIds](const SMediaItem& item) -> IMediaItemWidget* {
        if (nullIds.contains(item.id))
            return nullptr;
        return new FakeItemWidget(item);
    };
}
