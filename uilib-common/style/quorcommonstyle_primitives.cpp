// Primitive elements: frames, panels, indicators, arrows, tooltip frames and the style's own
// primitives, drawn from the style's images.

#include "style/quorcommonstyle.h"

#include <QApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPolygonF>
#include <QStyleOption>
#include <QVariant>
#include <QWidget>

namespace {

bool propertyTrue(const QWidget* widget, const char* name)
{
    if (!widget)
        return false;
    const QVariant value = widget->property(name);
    return value.isValid() && value.toBool();
}

void fillTriangle(QPainter* painter, const QStyleOption* option, const QPolygonF& points)
{
    painter->save();
    painter->translate(option->rect.x() + option->rect.width() / 2.0,
                       option->rect.y() + option->rect.height() / 2.0);
    const QPen pen(option->palette.color(QPalette::ButtonText));
    painter->setPen(pen);
    painter->setBrush(pen.brush());
    painter->drawPolygon(points, Qt::OddEvenFill);
    painter->restore();
}

} // namespace

void CQuorCommonStyle::drawThreePartPixmap(QPainter* painter, const QRect& rect, const QPixmap* pixmaps)
{
    if (!painter || !pixmaps)
        return;
    const QPixmap& left = pixmaps[0];
    const QPixmap& middle = pixmaps[1];
    const QPixmap& right = pixmaps[2];
    painter->drawPixmap(QRect(rect.topLeft(), logicalSize(left)), left);
    const QRect middleRect = rect.adjusted(logicalWidth(left), 0, -logicalWidth(right), 0);
    painter->drawPixmap(middleRect, middle);
    painter->drawPixmap(QRect(middleRect.topRight() + QPoint(1, 0), logicalSize(right)), right);
}

void CQuorCommonStyle::drawThreePartPixmap(QPainter* painter, const QRect& rect,
                                           const std::array<CQuorLazyPixmap, 3>& pixmaps)
{
    const QPixmap parts[3] = {pixmaps[0], pixmaps[1], pixmaps[2]};
    drawThreePartPixmap(painter, rect, parts);
}

void CQuorCommonStyle::drawGradientButtonFace(QPainter* painter, const QStyleOption* option,
                                              const SGradientButtonImage& image)
{
    if (!painter || !option)
        return;
    const QRect r = option->rect.adjusted(0, 1, 0, 0);
    const QRect body = r.adjusted(5, 5, -5, -6);
    QLinearGradient gradient(body.topLeft(), body.bottomLeft());
    gradient.setColorAt(0.0, image.topColor);
    gradient.setColorAt(1.0, image.bottomColor);
    painter->fillRect(body, gradient);
    drawNinePatchPixmap(painter, image.pixmap, r, 10, 10, 10, 10);
}

int CQuorCommonStyle::stateImageIndex(QStyle::State state)
{
    if (!(state & QStyle::State_Enabled))
        return ImageDisabled;
    if (state & QStyle::State_Sunken)
        return ImagePressed;
    if (state & QStyle::State_MouseOver)
        return ImageHover;
    return ImageNormal;
}

bool CQuorCommonStyle::hasActiveWindow()
{
    return QApplication::activeWindow() != nullptr;
}

void CQuorCommonStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                     const QWidget* widget) const
{
    // Every element reads its option (Qt's own styles as well): without one, or without a
    // painter, nothing is drawn.
    if (!painter || !option)
        return;
    const QString role = styleRole(widget);
    const QRect& rect = option->rect;

    switch (static_cast<quint32>(element)) {
    case PE_QuorMainBottomBar:
        drawThreePartPixmap(painter, rect, m_mainFrameBottom);
        return;
    case PE_QuorToolTipFrame:
        drawPrimitive(PE_PanelTipLabel, option, painter, widget);
        return;
    case PE_QuorPopupFrame:
    case PE_QuorPopupFrame2:
        if (role.endsWith(QLatin1String("toast"))) {
            drawNinePatchPixmap(painter, m_toastBackground, rect, 40, 46, 40, 46);
        } else if (const auto* popup = qstyleoption_cast<const CQuorStyleOptionPopupFrame*>(option)) {
            if (popup->backgroundPixmap.isNull())
                drawNinePatchPixmap(painter, m_recipientPopup, rect, 28, 28, 28, 28);
            else
                drawNinePatchPixmap(painter, popup->backgroundPixmap, rect, popup->backgroundMargins);
        }
        return;
    case PE_QuorPanel:
    case PE_QuorPanel2:
        if (role.endsWith(QLatin1String("homewidget"))) {
            drawNinePatchPixmap(painter, m_homeBackground, rect, 18, 20, 18, 22);
            if (option->state & State_MouseOver)
                drawNinePatchPixmap(painter, m_homeBackgroundHover, rect, 18, 20, 18, 22);
        } else if (role.endsWith(QLatin1String("notifywidget"))) {
            const QRect r = rect.adjusted(1, 1, -1, -1);
            painter->save();
            painter->setClipRegion(QRegion(r.adjusted(0, 2, 0, -2)) + QRegion(r.adjusted(2, 0, -2, 0)));
            const QRect fill = r.adjusted(1, 1, -1, -1);
            QLinearGradient gradient(fill.topLeft(), fill.bottomLeft());
            gradient.setColorAt(0.0, Qt::white);
            gradient.setColorAt(0.649, QColor(252, 254, 255));
            gradient.setColorAt(0.65, QColor(251, 254, 255));
            gradient.setColorAt(1.0, QColor(243, 250, 255));
            painter->fillRect(fill, gradient);
            painter->setClipping(false);
            painter->setPen(QPen(QColor(194, 231, 255), 1));
            painter->setBrush(Qt::NoBrush);
            painter->drawRoundedRect(r.adjusted(0, 0, -1, -1), 5.0, 5.0);
            painter->restore();
        }
        return;
    case PE_QuorSplitterHoverHandle:
        painter->drawPixmap(rect, QApplication::layoutDirection() == Qt::RightToLeft ? m_hoverHandleMirrored
                                                                                     : m_hoverHandle);
        return;
    default:
        break;
    }

    switch (element) {
    case PE_Frame:
        if (drawFrame(option, painter, widget, role))
            return;
        break;
    case PE_FrameGroupBox:
        painter->save();
        painter->setPen(QColor(214, 213, 211));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(rect.adjusted(0, 0, -1, -1), 3.0, 3.0);
        painter->restore();
        return;
    case PE_FrameMenu:
        painter->save();
        painter->setPen(QColor(186, 186, 186));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(rect.adjusted(0, 0, -1, -1));
        painter->restore();
        return;
    case PE_FrameTabWidget:
        if (const auto* tabs = qstyleoption_cast<const QStyleOptionTabWidgetFrame*>(option)) {
            painter->fillRect(rect, Qt::white);
            if (tabs->tabBarSize != QSize(0, 0)) {
                painter->save();
                painter->setPen(QColor(190, 190, 190));
                painter->setBrush(Qt::NoBrush);
                const QRect r = rect.adjusted(0, 2, -1, -1);
                painter->setClipRect(r.adjusted(0, r.height() / 2, 1, 1));
                painter->drawRoundedRect(r, 5.0, 5.0);
                painter->setClipRect(r.adjusted(0, 0, 1, -r.height() / 2));
                painter->drawRect(r);
                painter->restore();
            }
            return;
        }
        break;
    case PE_PanelButtonTool:
        if (role == QLatin1String("button.bridge")) {
            if (option->state & State_On)
                painter->drawPixmap(rect, m_bridgeSelection);
            return;
        }
        break;
    case PE_PanelLineEdit: {
        const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
        if (!frame || frame->lineWidth <= 0)
            return;
        if (propertyTrue(widget, "filterLook"))
            drawNinePatchPixmap(painter, m_filterBorder, rect, 8, 8, 8, 8);
        else
            drawNinePatchPixmap(painter,
                                (option->state & State_HasFocus) ? m_lineEditBorderFocus : m_lineEditBorder,
                                rect, ninePatchMargins(MarginsLineEdit));
        return;
    }
    case PE_IndicatorArrowDown: {
        QRect r(QPoint(0, 0), logicalSize(m_menuButtonArrow));
        r.moveCenter(rect.center());
        r.translate(0, 3);
        painter->drawPixmap(r, m_menuButtonArrow);
        return;
    }
    case PE_IndicatorArrowLeft: {
        static const QPolygonF points({QPointF(1, -2), QPointF(1, 2), QPointF(-1, 0)});
        fillTriangle(painter, option, points);
        return;
    }
    case PE_IndicatorArrowRight: {
        static const QPolygonF points({QPointF(-1, -2), QPointF(1, 0), QPointF(-1, 2)});
        fillTriangle(painter, option, points);
        return;
    }
    case PE_IndicatorArrowUp: {
        static const QPolygonF points({QPointF(-2, 1), QPointF(2, 1), QPointF(0, -1)});
        fillTriangle(painter, option, points);
        return;
    }
    case PE_IndicatorItemViewItemCheck:
    case PE_IndicatorCheckBox:
    case PE_IndicatorRadioButton:
        drawIndicator(element == PE_IndicatorRadioButton, option, painter, widget, role);
        return;
    case PE_PanelTipLabel:
        drawToolTipFrame(option, painter, role);
        return;
    case PE_Widget:
        if (role == QLatin1String("tooltip.action"))
            drawActionToolTip(option, painter);
        return;
    case PE_PanelItemViewItem:
        // The base style would size the selection by its own text rectangle, not this style's.
        if (role == QLatin1String("listpopup.view") || role == QLatin1String("listpopup.view.frame") ||
            role == QLatin1String("itemlist.view")) {
            if (const auto* item = qstyleoption_cast<const QStyleOptionViewItem*>(option)) {
                drawListPopupItemPanel(item, painter, widget);
                return;
            }
        }
        break;
    case PE_PanelItemViewRow:
        if (role == QLatin1String("itemlist.view"))
            return;
        break;
    default:
        break;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

bool CQuorCommonStyle::drawFrame(const QStyleOption* option, QPainter* painter, const QWidget* widget,
                                 const QString& role) const
{
    const QRect& rect = option->rect;
    const QColor line = color(1);

    if (role == QLatin1String("textedit")) {
        if (propertyTrue(widget, "backgroundVisible")) {
            QStyleOptionFrame frame;
            if (const auto* given = qstyleoption_cast<const QStyleOptionFrame*>(option))
                frame = *given;
            else
                static_cast<QStyleOption&>(frame) = *option;
            frame.type = QStyleOptionFrame::Type;
            frame.version = QStyleOptionFrame::Version;
            frame.lineWidth = 1;
            drawPrimitive(PE_PanelLineEdit, &frame, painter, widget);
        }
        return true;
    }
    if (role == QLatin1String("itemlist.hline")) {
        painter->fillRect(rect, line);
        return true;
    }
    if (role.startsWith(QLatin1String("window."))) {
        if (role.endsWith(QLatin1String(".bottomFrame"))) {
            if (role.contains(QLatin1String(".secondary.")) || role.contains(QLatin1String(".dialog.")))
                drawNinePatchPixmap(painter, m_secondaryBottom, rect, 18, 0, 18, 0);
            else if (role.contains(QLatin1String(".main.")))
                drawThreePartPixmap(painter, rect, m_mainFrameBottom);
            return true;
        }
        if (role.contains(QLatin1String(".main.toolBar"))) {
            painter->save();
            painter->setPen(line);
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(rect.adjusted(0, -1, -1, 1));
            painter->restore();
            painter->drawPixmap(rect.adjusted(1, 0, -1, 0), m_mainToolBar);
            return true;
        }
    }
    if ((role.startsWith(QLatin1String("window.")) && role.endsWith(QLatin1String(".contentFrame"))) ||
        role == QLatin1String("window.main")) {
        painter->fillRect(rect, option->palette.window());
        if (role.contains(QLatin1String(".main"))) {
            painter->save();
            painter->setPen(line);
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(rect.adjusted(0, -1, -1, 1));
            painter->restore();
        }
        return true;
    }
    if (role.startsWith(QLatin1String("window.")))
        return true;
    if (role.endsWith(QLatin1String("frame.alternatebackground"))) {
        painter->fillRect(rect, color(2));
        return true;
    }
    if (role == QLatin1String("frame.pane.header")) {
        drawNinePatchPixmap(painter, m_paneHeader, rect, 0, 0, 0, 0);
        return true;
    }
    if (role == QLatin1String("line") || role == QLatin1String("messages.contentpane.hline")) {
        painter->fillRect(rect, color(18));
        return true;
    }
    if (role.startsWith(QLatin1String("line."))) {
        // A colour name the style does not know leaves the band undrawn rather than black.
        QColor band;
        if (role.endsWith(QLatin1String("yellow")))
            band = QColor(254, 238, 18);
        else if (role.endsWith(QLatin1String("purple")))
            band = QColor(187, 1, 136);
        else if (role.endsWith(QLatin1String("green")))
            band = color(6);
        if (band.isValid())
            painter->fillRect(QRect(rect.x(), rect.y(), rect.width(), 3), band);
        painter->save();
        painter->setPen(QColor(235, 235, 235));
        painter->drawLine(rect.bottomLeft(), rect.bottomRight());
        painter->restore();
        return true;
    }
    if (role == QLatin1String("itemlist")) {
        if (widget && widget->objectName() == QLatin1String("widgetLibrary.itemList")) {
            drawNinePatchPixmap(painter, m_recipientPopup, rect, 28, 28, 28, 28);
        } else {
            painter->save();
            painter->setPen(line);
            painter->setBrush(Qt::NoBrush);
            painter->drawRoundedRect(rect.adjusted(0, 0, -1, -1), 5.0, 5.0);
            painter->restore();
        }
        return true;
    }
    if (role == QLatin1String("custom.shadowlabel") && widget &&
        styleRole(widget->parentWidget()) == QLatin1String("frame.pane.header")) {
        painter->save();
        QPen pen(QColor(235, 235, 235));
        pen.setJoinStyle(Qt::RoundJoin);
        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(rect, 10, 10, Qt::RelativeSize);
        pen.setColor(QColor(198, 198, 198));
        painter->setPen(pen);
        painter->drawRoundedRect(rect.adjusted(0, 0, 0, -1), 10, 10, Qt::RelativeSize);
        painter->restore();
        return true;
    }
    if (role == QLatin1String("frame.vertical.makkara")) {
        painter->drawPixmap(
            QRect(rect.x() + rect.width() / 2, rect.y(), logicalWidth(m_verticalMakkara), rect.height()),
            m_verticalMakkara);
        return true;
    }
    if (role.endsWith(QLatin1String("testFrame"))) {
        painter->fillRect(rect, Qt::red);
        return true;
    }
    return false;
}

void CQuorCommonStyle::drawIndicator(bool radio, const QStyleOption* option, QPainter* painter,
                                     const QWidget* widget, const QString& role) const
{
    const auto* given = qstyleoption_cast<const QStyleOptionButton*>(option);
    if (!given)
        return;
    QStyleOptionButton button = *given;
    const Pixmaps5& images = radio                                       ? m_radioButton
                             : role == QLatin1String("checkbox.special") ? m_checkBoxSpecial
                                                                         : m_checkBox;
    bool readOnly = false;
    if (!radio && role == QLatin1String("checkbox") && propertyTrue(widget, "readOnly")) {
        // A read-only box looks enabled and never reacts to the mouse, at reduced opacity.
        readOnly = true;
        button.state |= State_Enabled;
        button.state &= ~State_MouseOver;
    }
    TIndicatorImage index = IndicatorDisabled;
    if (button.state & State_Enabled) {
        const bool hover = button.state & State_MouseOver;
        if (button.state & State_On)
            index = hover ? IndicatorCheckedRollover : IndicatorChecked;
        else
            index = hover ? IndicatorUncheckedRollover : IndicatorUnchecked;
    }
    const qreal opacity = painter->opacity();
    if (readOnly)
        painter->setOpacity(0.4);
    painter->drawPixmap(button.rect, images.at(static_cast<size_t>(index)));
    painter->setOpacity(opacity);
}

void CQuorCommonStyle::drawToolTipFrame(const QStyleOption* option, QPainter* painter,
                                        const QString& role) const
{
    const QRect& rect = option->rect;
    if (role == QLatin1String("tooltip")) {
        drawNinePatchPixmap(painter, m_toolTip, rect, ninePatchMargins(MarginsToolTip));
    } else if (role == QLatin1String("tooltip.restore")) {
        // Image and margins both follow the option's direction, so they always match.
        SNinePatchMargins margins = ninePatchMargins(MarginsRestoreArrow);
        const bool rtl = option->direction == Qt::RightToLeft;
        if (rtl)
            std::swap(margins.left, margins.right);
        drawNinePatchPixmap(painter, rtl ? m_restoreArrowMirrored : m_restoreArrow, rect, margins);
    } else if (role == QLatin1String("tooltip.textfield")) {
        const auto* tip = qstyleoption_cast<const CQuorStyleOptionArrowTip*>(option);
        if (!tip)
            return;
        const SNinePatchMargins margins = ninePatchMargins(MarginsToolTipArrowed);
        const bool top = tip->arrowAlignment & Qt::AlignTop;
        const QPixmap& arrow = top ? m_toolTipArrowUp : m_toolTipArrowDown;
        QRect a(QPoint(0, 0), logicalSize(m_toolTipArrowUp));
        if (tip->arrowAlignment & Qt::AlignHCenter)
            a.moveCenter(rect.center());
        else if (tip->arrowAlignment & Qt::AlignLeft)
            a.moveLeft(rect.left() + m_toolTipArrowOffset + margins.left);
        else
            a.moveRight(rect.right() - m_toolTipArrowOffset - margins.right);
        if (top)
            a.moveTop(rect.top());
        else
            a.moveBottom(rect.bottom());
        drawNinePatchPixmap(painter, m_toolTipArrowed, rect, margins);
        painter->drawPixmap(a, arrow);
    }
}

void CQuorCommonStyle::drawActionToolTip(const QStyleOption* option, QPainter* painter) const
{
    const QPixmap& left = m_actionToolTip[0];
    const QPixmap& middle = m_actionToolTip[1];
    const QPixmap& right = m_actionToolTip[2];
    QRect pointer(QPoint(0, 0), logicalSize(m_actionToolTipPointer));
    pointer.moveCenter(option->rect.center());
    QRect m(QPoint(0, 0), logicalSize(middle));
    m.setLeft(logicalWidth(left));
    m.setRight(pointer.left() - 1);
    painter->drawPixmap(QPoint(0, 0), left);
    painter->drawPixmap(m, middle);
    painter->drawPixmap(pointer, m_actionToolTipPointer);
    m.moveLeft(pointer.right() + 1);
    painter->drawPixmap(m, middle);
    painter->drawPixmap(QPoint(m.right() + 1, 0), right);
}

void CQuorCommonStyle::drawListPopupItemPanel(const QStyleOptionViewItem* item, QPainter* painter,
                                              const QWidget* widget) const
{
    QPalette::ColorGroup group = (item->state & State_Enabled) ? QPalette::Normal : QPalette::Disabled;
    if (group == QPalette::Normal && !(item->state & State_Active))
        group = QPalette::Inactive;
    if (item->showDecorationSelected && (item->state & (State_Selected | State_HasFocus))) {
        painter->fillRect(item->rect, item->palette.brush(group, QPalette::Highlight));
        return;
    }
    if (item->backgroundBrush.style() != Qt::NoBrush) {
        const QPointF origin = painter->brushOrigin();
        painter->setBrushOrigin(item->rect.topLeft());
        painter->fillRect(item->rect, item->backgroundBrush);
        painter->setBrushOrigin(origin);
    }
    if (item->state & State_Selected)
        painter->fillRect(subElementRect(SE_ItemViewItemText, item, widget),
                          item->palette.brush(group, QPalette::Highlight));
}
