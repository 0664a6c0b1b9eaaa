#include "widgets/quorcombobox.h"

#include <QApplication>
#include <QFrame>
#include <QListView>
#include <QPainter>
#include <QStyleOptionComboBox>
#include <QStylePainter>

CQuorComboBox::CQuorComboBox(QWidget* parent) : QComboBox(parent)
{
    setProperty("com_velto_fontRole", QStringLiteral("widgetlibrary.combobox.frame.text"));
    setAttribute(Qt::WA_Hover);
    if (auto* list = qobject_cast<QListView*>(view())) {
        list->setProperty("com_velto_qstyleRole", QStringLiteral("quor.commonuilibrary.listpopup.view"));
        list->setItemDelegate(new CQuorListPopupDelegate(list));
        list->setProperty("com_velto_fontRole", QStringLiteral("widgetlibrary.listpopup.view.text"));
        if (auto* container = qobject_cast<QFrame*>(list->parentWidget()))
            container->setProperty("com_velto_qstyleRole",
                                   QStringLiteral("quor.commonuilibrary.listpopup.view.frame"));
    }
    m_hintText.clear();
}

CQuorComboBox::~CQuorComboBox() = default;

void CQuorComboBox::setHintText(const QString& text)
{
    m_hintText = text;
    update();
}

void CQuorComboBox::paintEvent(QPaintEvent* /*event*/)
{
    QStylePainter painter(this);
    painter.setPen(palette().color(QPalette::Text));
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    if (currentIndex() < 0) {
        option.currentText = m_hintText;
        painter.drawControl(QStyle::CE_ComboBoxLabel, option);
    } else if (!isEditable()) {
        // An editable combo box shows its current text in its line edit.
        painter.drawControl(QStyle::CE_ComboBoxLabel, option);
    }
}

CQuorListPopupDelegate::CQuorListPopupDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

CQuorListPopupDelegate::~CQuorListPopupDelegate() = default;

QSize CQuorListPopupDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (!index.isValid())
        return QSize(0, 0);
    return QSize(option.rect.width(), qMax(19, QFontMetrics(option.font).height()));
}

void CQuorListPopupDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const
{
    if (!index.isValid())
        return;
    const QPen pen = painter->pen();
    const QBrush brush = painter->brush();
    auto* widget = qobject_cast<QWidget*>(parent());
    QStyle* style = widget ? widget->style() : QApplication::style();

    if (index.row() != 0) {
        painter->setPen(separatorColor());
        painter->drawLine(option.rect.topLeft(), option.rect.topRight());
        painter->setPen(pen);
    }

    // The item's own features (text, decoration) let the style lay the text rectangle out;
    // the text itself is drawn below, elided.
    QStyleOptionViewItem item(option);
    initStyleOption(&item, index);
    item.text.clear();
    style->drawPrimitive(QStyle::PE_PanelItemViewRow, &item, painter, widget);
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &item, painter, widget);

    QStyleOptionViewItem layout(option);
    initStyleOption(&layout, index);
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &layout, widget);
    QString text = index.data(Qt::DisplayRole).toString();
    if (widget)
        text = widget->fontMetrics().elidedText(text, Qt::ElideRight, textRect.width());
    const bool highlighted = option.state & (QStyle::State_Selected | QStyle::State_HasFocus);
    style->drawItemText(painter, textRect, Qt::AlignLeft | Qt::AlignVCenter, option.palette,
                        option.state & QStyle::State_Enabled, text,
                        highlighted ? QPalette::HighlightedText : QPalette::WindowText);

    painter->setPen(pen);
    painter->setBrush(brush);
}
