// Pixel metrics, sizes from contents and the rectangles of sub-elements and sub-controls.
// Every size that comes from the artwork is read from the loaded images, so redrawing an
// image moves the layout with it.

#include "style/quorcommonstyle.h"

#include <QFontMetrics>
#include <QMenu>
#include <QStyleOption>
#include <QVariant>
#include <QWidget>

namespace {

int halfWidth(const QPixmap& pixmap)
{
    return logicalWidth(pixmap) / 2;
}

bool propertyTrue(const QWidget* widget, const char* name)
{
    if (!widget)
        return false;
    const QVariant value = widget->property(name);
    return value.isValid() && value.toBool();
}

// A pixmap read from a widget property; null when the widget or the property is missing.
QPixmap propertyPixmap(const QWidget* widget, const char* name)
{
    if (!widget)
        return {};
    const QVariant value = widget->property(name);
    if (!value.isValid())
        return {};
    return value.value<QPixmap>();
}

} // namespace

int CQuorCommonStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    const QString role = styleRole(widget);
    const quint32 custom = static_cast<quint32>(metric);

    switch (custom) {
    case PM_QuorMainBottomBarHeight:
        return logicalHeight(m_mainFrameBottom[1]);
    case PM_QuorMainToolBarHeight:
        return logicalHeight(m_mainToolBar);
    case PM_QuorWaitFrameCount:
        return static_cast<int>(m_waitFrames.size());
    case PM_QuorSecondaryBottomBarHeight:
        return logicalHeight(m_secondaryBottom);
    case PM_QuorPhonePaneBallHeight:
        return logicalHeight(m_phonePaneBall);
    case PM_QuorActionToolTipPointerHeight:
        return logicalHeight(m_actionToolTipPointer);
    case PM_QuorActionToolTipMinWidth:
        return logicalWidth(m_actionToolTip[0]) + logicalWidth(m_actionToolTipPointer) +
               logicalWidth(m_actionToolTip[2]);
    case PM_QuorArrowTipOffset: {
        const auto* tip = qstyleoption_cast<const CQuorStyleOptionArrowTip*>(option);
        if (!tip)
            return pixelMetric(static_cast<PixelMetric>(PM_QuorPaneHeaderHeight), option, widget);
        if (tip->arrowAlignment & Qt::AlignHCenter)
            return 0;
        const SNinePatchMargins margins = ninePatchMargins(MarginsToolTipArrowed);
        const int offset = tip->rect.width() / 2 - halfWidth(m_toolTipArrowUp) - m_toolTipArrowOffset;
        if (tip->arrowAlignment & Qt::AlignLeft)
            return offset - margins.left;
        return -(offset - margins.right);
    }
    case PM_QuorPaneHeaderHeight:
        return logicalHeight(m_paneHeader);
    case PM_QuorPhasedProgressBarHeight:
        return logicalHeight(m_phased[0][1]);
    case PM_QuorProgressBarTextSpacing:
        return 7;
    case PM_QuorMetric11:
        return m_largeFonts ? 13 : 11;
    case PM_QuorMetric12:
        return m_largeFonts ? 12 : 10;
    case PM_QuorMetric13:
        return 41;
    case PM_QuorMetric14:
        return 7;
    case PM_QuorSplitterHandleWidth:
        return logicalWidth(m_hoverHandle);
    case PM_QuorMetric16:
        return 8;
    case PM_QuorFilterLineEditMargin:
        return 2;
    case PM_QuorArrowTipAboveOffset:
        return 7;
    default:
        break;
    }

    switch (metric) {
    case PM_MenuButtonIndicator:
        return 13;
    case PM_ButtonShiftHorizontal:
    case PM_ButtonShiftVertical:
        return 0;
    case PM_DefaultFrameWidth:
        return role == QLatin1String("textedit") && propertyTrue(widget, "backgroundVisible") ? 6 : 2;
    case PM_ScrollBarExtent:
        if (const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option))
            return slider->orientation == Qt::Horizontal ? logicalHeight(m_scrollBarGroove[0])
                                                         : logicalWidth(m_scrollBarGroove[4]);
        return pixelMetric(static_cast<PixelMetric>(PM_QuorActionToolTipPointerHeight), option, widget);
    case PM_ScrollBarSliderMin:
        // The art has one thickness: the vertical slider's width and the horizontal track's
        // height are the same number.
        if (const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option))
            return slider->orientation == Qt::Horizontal ? logicalWidth(m_scrollBarSlider[4])
                                                         : logicalHeight(m_scrollBarGroove[0]);
        return pixelMetric(static_cast<PixelMetric>(PM_QuorActionToolTipPointerHeight), option, widget);
    case PM_SliderLength:
        return logicalWidth(m_sliderHandle[0]);
    case PM_ProgressBarChunkWidth:
        return 1;
    case PM_TitleBarHeight:
        return role.contains(QLatin1String(".secondary")) ? logicalHeight(m_wizardTop)
                                                          : logicalHeight(m_mainFrameTop[1]);
    case PM_MenuPanelWidth:
    case PM_MenuBarVMargin:
    case PM_MdiSubWindowFrameWidth:
        return 0;
    case PM_IndicatorWidth:
        return logicalWidth(
            (role == QLatin1String("checkbox.special") ? m_checkBoxSpecial : m_checkBox)[IndicatorChecked]);
    case PM_IndicatorHeight:
        return logicalHeight(
            (role == QLatin1String("checkbox.special") ? m_checkBoxSpecial : m_checkBox)[IndicatorChecked]);
    case PM_ExclusiveIndicatorWidth:
        return logicalWidth(m_radioButton[IndicatorChecked]);
    case PM_ExclusiveIndicatorHeight:
        return logicalHeight(m_radioButton[IndicatorChecked]);
    case PM_SmallIconSize:
    case PM_ButtonIconSize:
        return 16;
    case PM_CheckBoxLabelSpacing:
        return 12;
    default:
        break;
    }
    return QProxyStyle::pixelMetric(metric, option, widget);
}

QSize CQuorCommonStyle::sizeFromContents(ContentsType type, const QStyleOption* option,
                                         const QSize& contentsSize, const QWidget* widget) const
{
    const QString role = styleRole(widget);

    switch (type) {
    case CT_PushButton:
    case CT_ToolButton:
        if (!option)
            break;
        if (role.startsWith(QLatin1String("button.gradient")))
            return contentsSize + QSize(30, 17);
        if (role.startsWith(QLatin1String("button.secondary")) ||
            role == QLatin1String("toolbutton.icononly"))
            return contentsSize;
        if (role.startsWith(QLatin1String("button.optiongroup"))) {
            // The image's size, widened (its middle stretches) to hold the label between the
            // segment's margins, and as tall as a line of the label's font.
            const QPixmap& image = role.endsWith(QLatin1String("first"))  ? m_optionGroup[0]
                                   : role.endsWith(QLatin1String("last")) ? m_optionGroup[4]
                                                                          : m_optionGroup[2];
            QSize size = logicalSize(image);
            if (const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option)) {
                const SNinePatchMargins m = ninePatchMargins(MarginsOptionGroup);
                const QString label = stripMnemonic(button->text);
                // The advance, or the laid-out or inked width where a glyph reaches beyond it.
                const int width = qMax(qMax(button->fontMetrics.horizontalAdvance(label),
                                            button->fontMetrics.size(0, label).width()),
                                       button->fontMetrics.boundingRect(label).width());
                size = size.expandedTo(QSize(width + m.left + m.right, button->fontMetrics.height()));
            }
            return size;
        }
        if (role == QLatin1String("button.bridge"))
            return contentsSize.expandedTo(logicalSize(m_bridgeSelection));
        if (role == QLatin1String("button.dashboard")) {
            const SNinePatchMargins m = ninePatchMargins(MarginsSyncButton);
            return contentsSize.expandedTo(
                QSize(contentsSize.width() + m.left + m.right, logicalHeight(m_syncButton[0])));
        }
        if (role == QLatin1String("button.syncall")) {
            const SNinePatchMargins m = ninePatchMargins(MarginsSmallSyncButton);
            return contentsSize.expandedTo(
                QSize(contentsSize.width() + m.left + m.right, logicalHeight(m_smallSyncButton[0])));
        }
        break;
    case CT_CheckBox: {
        const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
        if (!button)
            return {};
        QSize size = QProxyStyle::sizeFromContents(type, option, contentsSize, widget);
        if (!button->icon.isNull())
            size.rwidth() += 8;
        return size;
    }
    case CT_RadioButton:
        if (const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option)) {
            if (button->text.isEmpty())
                return logicalSize(m_radioButton[IndicatorUncheckedRollover]);
        }
        break;
    case CT_ComboBox:
        if (!option)
            break;
        // The image's height, or more when a line of the font and the edit field's insets
        // (3 above, 5 below) need it: the frame's middle band stretches.
        return QSize(QProxyStyle::sizeFromContents(type, option, contentsSize, widget).width(),
                     qMax(logicalHeight(m_comboBox[0]), option->fontMetrics.height() + 3 + 5));
    case CT_ProgressBar: {
        if (role == QLatin1String("progressbar.music.player"))
            return QSize(contentsSize.width(), logicalHeight(m_musicProgressBackground));
        const auto* bar = qstyleoption_cast<const QStyleOptionProgressBar*>(option);
        if (!bar)
            return {};
        QSize size = contentsSize;
        int needed = pixelMetric(static_cast<PixelMetric>(PM_QuorProgressBarTextSpacing), option, widget);
        if (role == QLatin1String("progressbar.phased"))
            needed += logicalHeight(m_phased[0][1]);
        else if (role == QLatin1String("progressbar"))
            needed += logicalHeight(m_progressBackground);
        if (bar->textVisible && !bar->text.isEmpty())
            needed += bar->fontMetrics.boundingRect(bar->text).height();
        if (size.height() < needed)
            size.setHeight(needed);
        return size;
    }
    case CT_MenuItem: {
        if (role != QLatin1String("menu.combobox"))
            break;
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        if (!item)
            return {};
        QSize size = QProxyStyle::sizeFromContents(type, option, contentsSize, widget);
        const QWidget* parent = widget ? widget->parentWidget() : nullptr;
        if (parent && !propertyTrue(widget, "subMenu"))
            size.setWidth(parent->width() - 14);
        if (item->menuItemType == QStyleOptionMenuItem::Separator)
            size.setHeight(1);
        return size;
    }
    case CT_LineEdit:
        if (role == QLatin1String("lineedit.textfield")) {
            // 21, or a line of the font inside the frame and the editor's own 1-pixel margins.
            const int frame = proxy()->pixelMetric(PM_DefaultFrameWidth, option, widget);
            const int line = option ? option->fontMetrics.height() : 0;
            return QSize(contentsSize.width(), qMax(21, line + 2 * frame + 2));
        }
        break;
    case CT_ItemViewItem:
        if (role == QLatin1String("itemlist.view") && option)
            return QProxyStyle::sizeFromContents(type, option, contentsSize, widget) + QSize(23, 8);
        break;
    default:
        break;
    }
    return QProxyStyle::sizeFromContents(type, option, contentsSize, widget);
}

QRect CQuorCommonStyle::subElementRect(SubElement element, const QStyleOption* option,
                                       const QWidget* widget) const
{
    const QString role = styleRole(widget);
    const quint32 custom = static_cast<quint32>(element);

    if (custom == SE_QuorListItemIcon) {
        const auto* item = qstyleoption_cast<const CQuorStyleOptionListItem*>(option);
        if (!item || !item->checkHovered)
            return {};
        QRect r(QPoint(0, 0),
                logicalSize(standardPixmap(static_cast<StandardPixmap>(SP_QuorDelete), option, widget)));
        r.moveCenter(item->rect.center());
        if (item->direction == Qt::RightToLeft)
            r.moveLeft(item->rect.left() + 10);
        else
            r.moveRight(item->rect.right() - 10);
        return r;
    }
    if (custom == SE_QuorInsetContents)
        return option ? option->rect.adjusted(11, 8, -11, -10) : QRect();

    switch (element) {
    case SE_PushButtonContents:
        if (option && role.startsWith(QLatin1String("button.optiongroup"))) {
            const SNinePatchMargins m = ninePatchMargins(MarginsOptionGroup);
            return option->rect.adjusted(m.left, 0, -m.right, 0);
        }
        if (option && role.startsWith(QLatin1String("button.gradient")))
            return option->rect.adjusted(15, 5, -15, -7);
        if (option && role.startsWith(QLatin1String("button.secondary")))
            return option->rect;
        break;
    case SE_PushButtonFocusRect:
        if (option && role.startsWith(QLatin1String("button.secondary")))
            return option->rect;
        if (option && role.startsWith(QLatin1String("button.gradient")))
            return option->rect.adjusted(6, 7, -6, -7);
        break;
    case SE_CheckBoxIndicator:
    case SE_RadioButtonIndicator: {
        if (!option)
            break;
        const QPixmap& indicator =
            element == SE_RadioButtonIndicator
                ? m_radioButton[IndicatorChecked]
                : (role == QLatin1String("checkbox.special") ? m_checkBoxSpecial
                                                             : m_checkBox)[IndicatorChecked];
        QRect r(QPoint(0, 0), logicalSize(indicator));
        r.moveCenter(option->rect.center());
        if (option->direction == Qt::RightToLeft)
            r.moveRight(option->rect.right());
        else
            r.moveLeft(option->rect.left());
        return r;
    }
    case SE_ProgressBarContents: {
        if (role == QLatin1String("progressbar.music.player"))
            return QRect(0, 0, 0, logicalHeight(m_musicProgressBackground));
        const auto* bar = qstyleoption_cast<const QStyleOptionProgressBar*>(option);
        if (role == QLatin1String("progressbar") && bar) {
            const int h = logicalHeight(m_progressV2Background);
            return QRect(bar->rect.x(), bar->rect.top() + bar->rect.height() / 2 - h / 2, bar->rect.width(),
                         h);
        }
        return {};
    }
    case SE_ItemViewItemCheckIndicator:
        if (role == QLatin1String("itemlist.view")) {
            const auto* item = qstyleoption_cast<const QStyleOptionViewItem*>(option);
            if (!item || !(item->features & QStyleOptionViewItem::HasCheckIndicator))
                return {};
            QRect r(QPoint(0, 0), logicalSize(m_checkBox[IndicatorChecked]));
            r.moveCenter(item->rect.center());
            // Right to left the indicator sits at the right edge, clear of the delete icon.
            if (item->direction == Qt::RightToLeft)
                r.moveRight(item->rect.right() - 10);
            else
                r.moveLeft(item->rect.left() + 10);
            return r;
        }
        break;
    case SE_FrameContents:
        return QProxyStyle::subElementRect(element, option, widget).adjusted(-1, -1, 1, 1);
    case SE_ItemViewItemText:
        if (role == QLatin1String("itemlist.view")) {
            QRect r = QProxyStyle::subElementRect(element, option, widget);
            if (const auto* item = qstyleoption_cast<const QStyleOptionViewItem*>(option)) {
                // The insets at the check indicator's side and at the far side, mirrored right
                // to left like the base rectangle.
                const int lead = item->features & QStyleOptionViewItem::HasCheckIndicator ? 20 : 10;
                if (item->direction == Qt::RightToLeft)
                    r.adjust(9, 0, -lead, 0);
                else
                    r.adjust(lead, 0, -9, 0);
                // Qt 6 sizes the base text rectangle to the text itself; the text, and the
                // selection drawn behind it, run to the item's far edge less the same inset.
                if (item->direction == Qt::RightToLeft)
                    r.setLeft(qMin(r.left(), item->rect.left() + 9));
                else
                    r.setRight(qMax(r.right(), item->rect.right() - 9));
            }
            return r;
        }
        if (role == QLatin1String("listpopup.view") && option)
            return option->rect.adjusted(3, 0, -3, 0);
        break;
    default:
        break;
    }
    return QProxyStyle::subElementRect(element, option, widget);
}

QRect CQuorCommonStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                                       SubControl subControl, const QWidget* widget) const
{
    // The common base, not the wrapped style: it calls back through proxy() for its metrics.
    QRect r = QCommonStyle::subControlRect(control, option, subControl, widget);
    if (!option)
        return r;

    switch (control) {
    case CC_ComboBox:
        switch (subControl) {
        case SC_ComboBoxListBoxPopup:
            return r.adjusted(7, 0, -7, -3);
        case SC_ComboBoxFrame:
            return option->rect;
        case SC_ComboBoxEditField:
            return visualRect(option->direction, option->rect, option->rect.adjusted(10, 3, -21, -5));
        default:
            break;
        }
        break;
    case CC_TitleBar:
        if (subControl == SC_TitleBarSysMenu)
            return r.adjusted(4, 2, 4, 2);
        break;
    case CC_Slider: {
        const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option);
        if (!slider)
            break;
        const int tick = QProxyStyle::pixelMetric(PM_SliderTickmarkOffset, option, widget);
        const int thickness = QProxyStyle::pixelMetric(PM_SliderControlThickness, option, widget);
        const int spacing = 2;
        const bool horizontal = slider->orientation == Qt::Horizontal;
        const QPixmap maxIcon = propertyPixmap(widget, "maximumIcon");
        const QPixmap minIcon = propertyPixmap(widget, "minimumIcon");
        const QRect& o = slider->rect;
        auto extent = [horizontal](const QPixmap& p) {
            return horizontal ? logicalWidth(p) : logicalHeight(p);
        };
        // The room at the start (left or top, before right-to-left mirroring) is for the icon of
        // the value found there: the minimum, or the maximum of a slider running upside down.
        const int minSpace = minIcon.isNull() ? 0 : extent(minIcon) + spacing;
        const int maxSpace = maxIcon.isNull() ? 0 : extent(maxIcon) + spacing;
        const int startSpace = slider->upsideDown ? maxSpace : minSpace;
        const int endSpace = slider->upsideDown ? minSpace : maxSpace;

        if (subControl == SC_SliderGroove) {
            if (horizontal)
                r = QRect(o.x(), o.y() + tick, o.width(), thickness).adjusted(startSpace, 0, -endSpace, 0);
            else
                r = QRect(o.x() + tick, o.y(), thickness, o.height()).adjusted(0, startSpace, 0, -endSpace);
        } else if (subControl == SC_SliderHandle) {
            const int span = (horizontal ? o.width() : o.height()) - startSpace - endSpace;
            const int length = pixelMetric(PM_SliderLength, option, widget);
            const int position = sliderPositionFromValue(
                slider->minimum, slider->maximum, slider->sliderPosition, span - length, slider->upsideDown);
            if (horizontal)
                r = QRect(o.x() + position + startSpace, o.y() + tick, length, thickness);
            else
                r = QRect(o.x() + tick, o.y() + position + startSpace, thickness, length);
        }
        return visualRect(slider->direction, o, r);
    }
    default:
        break;
    }
    return r;
}
