#include "widgets/quoroptiongroup.h"

#include "style/quorwidgetstyle.h"

#include <QFocusEvent>
#include <QHBoxLayout>
#include <QPushButton>

namespace {

const char* const kRoleProperty = "com_velto_qstyleRole";

QString segmentRole(const char* position)
{
    return QStringLiteral("quor.commonuilibrary.button.optiongroup.") + QLatin1String(position);
}

} // namespace

CQuorOptionGroup::CQuorOptionGroup(QWidget* parent, int count) : QWidget(parent)
{
    m_layout = new QHBoxLayout;
    m_layout->setSpacing(0);
    m_layout->setContentsMargins(0, 0, 0, 0);
    setOptionCount(count);
    // Not yet connected to selected(): building the group reports no selection.
    setSelected(0);
    if (QPushButton* first = button(0))
        first->setProperty(kRoleProperty, segmentRole("first"));
    connect(&m_mapper, &QSignalMapper::mappedInt, this, qOverload<int>(&CQuorOptionGroup::selected));
    setLayout(m_layout);
    m_layout->setSizeConstraint(QLayout::SetFixedSize);
    setFocusPolicy(Qt::StrongFocus);
}

CQuorOptionGroup::~CQuorOptionGroup()
{
    m_mapper.disconnect(this);
}

int CQuorOptionGroup::optionCount() const
{
    return m_layout->count();
}

QPushButton* CQuorOptionGroup::button(int index) const
{
    QLayoutItem* item = index >= 0 ? m_layout->itemAt(index) : nullptr;
    return item ? qobject_cast<QPushButton*>(item->widget()) : nullptr;
}

void CQuorOptionGroup::setOptionCount(int count)
{
    if (count == optionCount() || count < 2)
        return;
    if (count > optionCount()) {
        if (QPushButton* last = button(optionCount() - 1))
            last->setProperty(kRoleProperty, segmentRole("middle"));
        while (optionCount() < count) {
            auto* segment = new QPushButton(this);
            segment->setProperty(kRoleProperty, segmentRole("middle"));
            segment->setCheckable(true);
            segment->setAutoExclusive(true);
            m_layout->addWidget(segment);
            m_mapper.setMapping(segment, optionCount() - 1);
            connect(segment, &QPushButton::clicked, &m_mapper, qOverload<>(&QSignalMapper::map));
        }
    } else {
        while (optionCount() > count) {
            QLayoutItem* item = m_layout->takeAt(optionCount() - 1);
            delete item->widget();
            delete item;
        }
    }
    if (QPushButton* last = button(optionCount() - 1))
        last->setProperty(kRoleProperty, segmentRole("last"));
}

void CQuorOptionGroup::setSelected(int index)
{
    if (QPushButton* segment = button(index))
        segment->click();
}

int CQuorOptionGroup::selected() const
{
    for (int index = 0; index < optionCount(); ++index) {
        QPushButton* segment = button(index);
        if (segment && segment->isChecked())
            return index;
    }
    return -1;
}

bool CQuorOptionGroup::event(QEvent* event)
{
    QuorWidgetStyle::handOnStyle(this, event);
    if (event->type() == QEvent::FocusIn) {
        if (QPushButton* segment = button(selected()))
            segment->setFocus(static_cast<QFocusEvent*>(event)->reason());
    }
    return QWidget::event(event);
}
