// Control elements and complex controls drawn from the style's images.

#include "style/quorcommonstyle.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmapCache>
#include <QSplitter>
#include <QStyleOption>

namespace {

// Index into a four-state image set for an option state.
size_t stateIndex(QStyle::State state)
{
    return size_t(CQuorCommonStyle::stateImageIndex(state));
}

QIcon::Mode iconMode(QStyle::State state)
{
    if (!(state & QStyle::State_Enabled))
        return QIcon::Disabled;
    return (state & QStyle::State_MouseOver) ? QIcon::Active : QIcon::Normal;
}

QIcon::State iconState(QStyle::State state)
{
    return (state & QStyle::State_On) ? QIcon::On : QIcon::Off;
}

// The pixmap's size centred in the rectangle.
QRect centred(const QSize& size, const QRect& rect)
{
    return QRect(rect.x() + (rect.width() - size.width()) / 2, rect.y() + (rect.height() - size.height()) / 2,
                 size.width(), size.height());
}

SNinePatchMargins swapped(const SNinePatchMargins& m)
{
    return {m.right, m.top, m.left, m.bottom};
}

// A tab's icon with its reflection 3 pixels below it, made once per icon, mode and device pixel
// ratio and then taken from the pixmap cache.
QPixmap reflectedTabIcon(const QIcon& icon, int extent, QIcon::Mode mode)
{
    const QString key = QStringLiteral("quor-tab-icon-%1-%2-%3-%4")
                            .arg(icon.cacheKey())
                            .arg(extent)
                            .arg(int(mode))
                            .arg(qApp->devicePixelRatio());
    QPixmap combined;
    if (QPixmapCache::find(key, &combined))
        return combined;
    const QPixmap pixmap = icon.pixmap(QSize(extent, extent), mode, QIcon::Off);
    const QPixmap reflection = reflectionPixmap(pixmap, 5);
    const qreal ratio = pixmap.devicePixelRatio();
    const QSize size(logicalWidth(pixmap), logicalHeight(pixmap) + logicalHeight(reflection) + 3);
    combined = QPixmap((QSizeF(size) * ratio).toSize());
    combined.setDevicePixelRatio(ratio);
    combined.fill(Qt::transparent);
    {
        QPainter p(&combined);
        p.drawPixmap(0, 0, pixmap);
        p.drawPixmap(0, size.height() - logicalHeight(reflection), reflection);
    }
    QPixmapCache::insert(key, combined);
    return combined;
}

} // namespace

int CQuorCommonStyle::textFlags(const QStyleOption* option, const QWidget* widget) const
{
    int flags = Qt::AlignVCenter | Qt::TextShowMnemonic;
    if (proxy()->styleHint(SH_UnderlineShortcut, option, widget) == 0)
        flags |= Qt::TextHideMnemonic;
    return flags;
}

void CQuorCommonStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                                   const QWidget* widget) const
{
    const QString role = styleRole(widget);
    switch (element) {
    case CE_PushButton:
        if (const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option)) {
            // Every push button looks disabled while the application is in the background.
            QStyleOptionButton copy(*button);
            if (widget && !hasActiveWindow())
                copy.state &= ~State_Enabled;
            QCommonStyle::drawControl(CE_PushButton, &copy, painter, widget);
        } else {
            QProxyStyle::drawControl(element, option, painter, widget);
        }
        return;
    case CE_PushButtonBevel:
        drawPushButtonBevel(option, painter, widget, role);
        return;
    case CE_PushButtonLabel:
        drawPushButtonLabel(option, painter, widget, role);
        return;
    case CE_CheckBoxLabel:
        if (const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option)) {
            const Qt::Alignment alignment =
                QStyle::visualAlignment(button->direction, Qt::AlignLeft | Qt::AlignVCenter);
            int flags = int(alignment);
            if (proxy()->styleHint(SH_UnderlineShortcut, option, widget) == 0)
                flags |= Qt::TextHideMnemonic;
            const QVariant readOnly = widget ? widget->property("readOnly") : QVariant();
            const bool enabled = (button->state & State_Enabled) || (role == QLatin1String("checkbox") &&
                                                                     readOnly.isValid() && readOnly.toBool());
            QRect textRect = button->rect;
            if (!button->icon.isNull()) {
                const QPixmap pixmap = button->icon.pixmap(
                    button->iconSize, enabled ? QIcon::Normal : QIcon::Disabled, QIcon::Off);
                proxy()->drawItemPixmap(painter, button->rect, int(alignment), pixmap);
                const int iconWidth = button->iconSize.width();
                if (button->direction == Qt::RightToLeft)
                    textRect.setRight(button->rect.right() - iconWidth - 12);
                else
                    textRect.setLeft(button->rect.left() + iconWidth + 12);
            }
            // A read-only check box is disabled but its label keeps the enabled colours.
            QPalette palette = button->palette;
            if (enabled && !(button->state & State_Enabled))
                palette.setCurrentColorGroup(QPalette::Active);
            if (!button->text.isEmpty())
                proxy()->drawItemText(painter, textRect, flags | Qt::TextShowMnemonic, palette, enabled,
                                      button->text, QPalette::WindowText);
        }
        return;
    case CE_ToolButtonLabel:
        if (role == QLatin1String("button.bridge")) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        if (const auto* tool = qstyleoption_cast<const QStyleOptionToolButton*>(option)) {
            // An icon-only button keeps no text line: its icon sits in the middle of the button.
            if (tool->toolButtonStyle == Qt::ToolButtonIconOnly) {
                if (!tool->icon.isNull()) {
                    const QPixmap pixmap = tool->icon.pixmap(tool->rect.size().boundedTo(tool->iconSize),
                                                             iconMode(tool->state), iconState(tool->state));
                    const QSize size = pixmap.deviceIndependentSize().toSize();
                    painter->drawPixmap(centred(size, tool->rect).topLeft(), pixmap);
                }
                return;
            }
            const int lineHeight = tool->fontMetrics.height();
            const QRect shrunk = tool->rect.adjusted(0, 2, 0, -3);
            QRect textRect = shrunk;
            textRect.setHeight(lineHeight);
            textRect.moveBottom(shrunk.bottom());
            if (!tool->icon.isNull()) {
                const QPixmap pixmap = tool->icon.pixmap(tool->rect.size().boundedTo(tool->iconSize),
                                                         iconMode(tool->state), iconState(tool->state));
                const QRect area = shrunk.adjusted(0, 0, 0, -lineHeight);
                const QSize size = pixmap.deviceIndependentSize().toSize();
                painter->drawPixmap(centred(size, area).topLeft(), pixmap);
            }
            const QPen pen = painter->pen();
            const qreal opacity = painter->opacity();
            if (!(tool->state & State_On))
                painter->setPen(tool->palette.color(QPalette::Inactive, QPalette::WindowText));
            painter->setOpacity(1.0);
            drawFadingText(painter, textRect, Qt::AlignCenter, tool->palette, tool->state & State_Enabled,
                           tool->text, true, true, QPalette::NoRole);
            painter->setOpacity(opacity);
            painter->setPen(pen);
        }
        return;
    case CE_ComboBoxLabel:
        if (const auto* combo = qstyleoption_cast<const QStyleOptionComboBox*>(option)) {
            const QRect field = proxy()->subControlRect(CC_ComboBox, combo, SC_ComboBoxEditField, widget);
            const QString text =
                combo->fontMetrics.elidedText(combo->currentText, Qt::ElideRight, field.width());
            const QPen pen = painter->pen();
            const bool enabled = combo->state & State_Enabled;
            painter->setPen(
                combo->palette.color(enabled ? QPalette::Active : QPalette::Disabled, QPalette::Text));
            proxy()->drawItemText(painter, field, Qt::AlignLeft | Qt::AlignVCenter, combo->palette, enabled,
                                  text, QPalette::NoRole);
            painter->setPen(pen);
        }
        return;
    case CE_MenuItem:
        drawMenuItem(option, painter, widget, role);
        return;
    case CE_MenuBarItem:
        drawMenuBarItem(option, painter, widget);
        return;
    case CE_ProgressBar:
        drawProgressBar(option, painter, widget, role);
        return;
    case CE_TabBarTab:
        if (const auto* tab = qstyleoption_cast<const QStyleOptionTab*>(option)) {
            QStyleOptionTab copy(*tab);
            proxy()->drawControl(CE_TabBarTabShape, &copy, painter, widget);
            if (!tab->icon.isNull()) {
                const QIcon::Mode mode = (tab->state & State_Enabled) ? QIcon::Normal : QIcon::Disabled;
                const int extent = proxy()->pixelMetric(PM_SmallIconSize, tab, widget);
                const QPixmap combined = reflectedTabIcon(tab->icon, extent, mode);
                // The reflected pixmap is the only one, so the label draws it at its full size.
                QIcon icon;
                icon.addPixmap(combined, mode, QIcon::Off);
                copy.icon = icon;
                copy.iconSize = logicalSize(combined);
            }
            proxy()->drawControl(CE_TabBarTabLabel, &copy, painter, widget);
        }
        return;
    case CE_TabBarTabShape:
        if (const auto* tab = qstyleoption_cast<const QStyleOptionTab*>(option)) {
            const bool selected = tab->state & State_Selected;
            const QPixmap& pixmap = tab->direction == Qt::RightToLeft
                                        ? (selected ? m_tabSelectedMirrored : m_tabUnselectedMirrored)
                                        : (selected ? m_tabSelected : m_tabUnselected);
            QRect target = tab->rect;
            if (tab->position == QStyleOptionTab::Beginning && tab->direction != Qt::RightToLeft)
                target.adjust(-1, 0, 0, 0);
            drawNinePatchPixmap(painter, pixmap, target, 9, 9, 9, 0);
        }
        return;
    case CE_Splitter:
        if (qobject_cast<const QSplitter*>(widget)) {
            const QPen pen = painter->pen();
            if (role == QLatin1String("window.main.splitter") || role == QLatin1String("splitter")) {
                painter->setPen(color(1));
                const int x = (option->rect.left() + option->rect.right()) / 2;
                painter->drawLine(x, option->rect.top(), x, option->rect.bottom());
            } else if (role == QLatin1String("navigation.splitter")) {
                painter->drawPixmap(option->rect, m_carouselHandle);
            } else {
                painter->setPen((option->state & State_Horizontal) ? color(1) : QColor(235, 235, 236));
                QProxyStyle::drawControl(element, option, painter, widget);
            }
            painter->setPen(pen);
        }
        return;
    case CE_SizeGrip:
        painter->drawPixmap(option->rect.topLeft(), m_sizeGrip);
        return;
    case CE_ItemViewItem:
        if (role == QLatin1String("itemlist.view"))
            drawItemViewItem(option, painter, widget);
        else
            QProxyStyle::drawControl(element, option, painter, widget);
        return;
    default:
        break;
    }
    if (element == CE_CustomBase) {
        drawTextLabel(option, painter);
        return;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

void CQuorCommonStyle::drawPushButtonBevel(const QStyleOption* option, QPainter* painter,
                                           const QWidget* widget, const QString& role) const
{
    const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
    if (!button)
        return;
    if (role.startsWith(QLatin1String("button.gradient"))) {
        TGradientFace face;
        if (role.endsWith(QLatin1String("Positive")))
            face = FaceBlack;
        else if (role.endsWith(QLatin1String("Negative")))
            face = FaceWhite;
        else if (role.endsWith(QLatin1String("Tool")))
            face = FaceToolbar;
        else
            return;
        drawGradientButtonFace(painter, button,
                               gradientButtonImage(face, TImageState(stateIndex(button->state))));
    } else if (role.startsWith(QLatin1String("button.optiongroup"))) {
        const bool on = button->state & State_On;
        size_t position = 1; // middle
        if (role.endsWith(QLatin1String("first")))
            position = 0;
        else if (role.endsWith(QLatin1String("last")))
            position = 2;
        if (button->direction == Qt::RightToLeft && position != 1)
            position = 2 - position;
        drawNinePatchPixmap(painter, m_optionGroup.at(position * 2 + (on ? 1 : 0)), button->rect,
                            ninePatchMargins(MarginsOptionGroup));
    } else if (role == QLatin1String("button.dashboard") || role == QLatin1String("button.syncall")) {
        const bool dashboard = role == QLatin1String("button.dashboard");
        const Pixmaps3& images = dashboard ? m_syncButton : m_smallSyncButton;
        const SNinePatchMargins margins =
            ninePatchMargins(dashboard ? MarginsSyncButton : MarginsSmallSyncButton);
        drawNinePatchPixmap(painter, images.at((button->state & State_Sunken) ? 1 : 0), button->rect,
                            margins);
        if (button->state & State_MouseOver)
            drawNinePatchPixmap(painter, images.at(2), button->rect, margins);
    } else if (!role.contains(QLatin1String(".secondary"))) {
        QProxyStyle::drawControl(CE_PushButtonBevel, option, painter, widget);
    }
}

void CQuorCommonStyle::drawPushButtonLabel(const QStyleOption* option, QPainter* painter,
                                           const QWidget* widget, const QString& role) const
{
    const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
    if (!button)
        return;
    QStyleOptionButton copy(*button);
    const bool enabled = copy.state & State_Enabled;
    QPalette::ColorRole textRole = QPalette::ButtonText;
    const bool dashboard = role == QLatin1String("button.dashboard");
    const bool secondary = role.contains(QLatin1String("button.secondary"));
    const bool actionToolTip = role == QLatin1String("toolbutton.actiontooltip");
    if (role.endsWith(QLatin1String("button.gradient.Positive"))) {
        textRole = QPalette::Light;
    } else if (secondary || actionToolTip) {
        if (actionToolTip && enabled && (copy.state & State_MouseOver))
            copy.palette.setColor(QPalette::ButtonText, button->palette.color(QPalette::HighlightedText));
        if (secondary && enabled && (copy.state & (State_MouseOver | State_Sunken)))
            copy.palette.setColor(QPalette::ButtonText, color(6));
        copy.state &= ~State_HasFocus;
    }

    const QPen pen = painter->pen();
    painter->setPen(copy.palette.color(enabled ? QPalette::Active : QPalette::Disabled, textRole));
    QRect textRect = copy.rect;
    int flags = textFlags(option, widget);
    if (!copy.icon.isNull()) {
        const QPixmap pixmap = copy.icon.pixmap(copy.iconSize, iconMode(copy.state), iconState(copy.state));
        const QSize pixmapSize = pixmap.deviceIndependentSize().toSize();
        const int spacing = secondary ? 4 : 10;
        int blockWidth = pixmapSize.width();
        if (!copy.text.isEmpty())
            blockWidth += copy.fontMetrics.boundingRect(copy.rect, flags, copy.text).width() + spacing;
        QRect iconRect(textRect.left() + (textRect.width() - blockWidth) / 2,
                       textRect.top() + (textRect.height() - pixmapSize.height()) / 2, pixmapSize.width(),
                       pixmapSize.height());
        iconRect = QStyle::visualRect(copy.direction, textRect, iconRect);
        flags |= Qt::AlignLeft;
        if (copy.direction == Qt::RightToLeft)
            textRect.setRight(iconRect.left() - spacing);
        else
            textRect.setLeft(iconRect.left() + iconRect.width() + spacing);
        if (copy.state & (State_On | State_Sunken))
            iconRect.translate(proxy()->pixelMetric(PM_ButtonShiftHorizontal, option, widget),
                               proxy()->pixelMetric(PM_ButtonShiftVertical, option, widget));
        painter->drawPixmap(iconRect, pixmap);
    } else {
        flags |= Qt::AlignHCenter;
    }
    if (copy.state & (State_On | State_Sunken))
        textRect.translate(proxy()->pixelMetric(PM_ButtonShiftHorizontal, option, widget),
                           proxy()->pixelMetric(PM_ButtonShiftVertical, option, widget));
    if ((copy.features & QStyleOptionButton::HasMenu) && !secondary) {
        const int indicator = proxy()->pixelMetric(PM_MenuButtonIndicator, option, widget);
        if (copy.direction == Qt::RightToLeft)
            textRect.setLeft(textRect.left() + indicator);
        else
            textRect.setRight(textRect.right() - indicator);
    }
    drawFadingText(painter, textRect, flags, copy.palette, enabled, copy.text, false, dashboard, textRole);
    painter->setPen(pen);
}

void CQuorCommonStyle::drawMenuItem(const QStyleOption* option, QPainter* painter, const QWidget* widget,
                                    const QString& role) const
{
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (!item)
        return;
    painter->save();
    if (item->menuItemType == QStyleOptionMenuItem::Separator) {
        painter->fillRect(item->rect, Qt::white);
        painter->setPen(color(10));
        const int y = item->rect.center().y();
        painter->drawLine(item->rect.left(), y, item->rect.right(), y);
        painter->restore();
        return;
    }

    const bool enabled = item->state & State_Enabled;
    const bool selected = item->state & State_Selected;
    bool restsOnDisabled = false;
    if (!enabled && widget && m_lastMenuMousePos != QPoint(0, 0))
        restsOnDisabled = item->rect.contains(widget->mapFromGlobal(m_lastMenuMousePos));
    if (selected && !restsOnDisabled) {
        painter->setPen(color(6));
        painter->setBrush(color(6));
        painter->drawRect(item->rect.adjusted(0, 0, -1, -1));
        painter->setPen(item->palette.color(QPalette::Active, QPalette::HighlightedText));
    } else {
        painter->fillRect(item->rect, item->palette.color(QPalette::Inactive, QPalette::Window));
    }

    QRect textRect = item->rect;
    const bool rtl = item->direction == Qt::RightToLeft;
    if (item->menuHasCheckableItems) {
        QRect checkArea = item->rect;
        if (rtl) {
            checkArea.setWidth(12);
            textRect.setLeft(textRect.left() + 12);
        } else {
            checkArea.setLeft(checkArea.right() - 11);
            textRect.setRight(textRect.right() - 12);
        }
        if (item->checked) {
            QStyleOption check(*item);
            check.rect = checkArea;
            if (selected)
                check.state &= (State_On | State_Enabled);
            const QPen pen = painter->pen();
            proxy()->drawPrimitive(PE_IndicatorMenuCheckMark, &check, painter, widget);
            painter->setPen(pen);
        }
    }

    QRect arrowRect;
    if (item->menuItemType == QStyleOptionMenuItem::SubMenu) {
        const QPixmap& arrow = !enabled   ? m_submenuArrow.at(3)
                               : selected ? m_submenuArrow.at(1)
                                          : m_submenuArrow.at(0);
        const size_t arrowIndex = !enabled ? 3 : selected ? 1 : 0;
        arrowRect = centred(logicalSize(arrow), item->rect);
        if (rtl)
            arrowRect.moveLeft(item->rect.left());
        else
            arrowRect.moveRight(item->rect.right());
        painter->drawPixmap(arrowRect.topLeft(), rtl ? m_submenuArrowMirrored.at(arrowIndex) : arrow);
    }

    const QStringList parts = item->text.split(QLatin1Char('\t'));
    QString label = parts.value(0);
    const QString shortcut = parts.size() >= 2 ? parts.at(1) : QString();
    if (role == QLatin1String("menu.combobox") && !(widget && widget->property("subMenu").toBool())) {
        if (arrowRect.isValid()) {
            if (rtl)
                textRect.setLeft(arrowRect.right());
            else
                textRect.setRight(arrowRect.left());
        }
        label = item->fontMetrics.elidedText(label, Qt::ElideRight, textRect.width());
    }
    const QRect labelRect = textRect.adjusted(5, 0, -5, 0);
    const int flags = textFlags(option, widget);
    proxy()->drawItemText(painter, labelRect, Qt::AlignLeft | flags, item->palette, enabled, label,
                          QPalette::NoRole);
    if (!shortcut.isEmpty()) {
        const QPen pen = painter->pen();
        proxy()->drawItemText(painter, labelRect, Qt::AlignRight | flags, item->palette, enabled, shortcut,
                              QPalette::NoRole);
        painter->setPen(pen);
    }
    painter->restore();
}

void CQuorCommonStyle::drawMenuBarItem(const QStyleOption* option, QPainter* painter,
                                       const QWidget* widget) const
{
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (!item)
        return;
    QStyleOptionMenuItem copy(*item);
    copy.rect.setTop(copy.rect.top() + 1);
    painter->save();
    const bool highlighted =
        ((copy.state & State_Selected) && hasActiveWindow()) || (copy.state & State_Sunken);
    if (highlighted) {
        const QRect r = copy.rect.adjusted(0, 0, -1, -1);
        painter->setPen(color(6));
        painter->setBrush(color(6));
        painter->fillRect(r.adjusted(0, 1, 0, 0), color(6));
        painter->drawLine(r.topLeft() + QPoint(1, 0), r.topRight() - QPoint(1, 0));
        painter->setPen(Qt::white);
    } else {
        painter->setPen(color(11));
    }
    proxy()->drawItemText(painter, copy.rect, Qt::AlignCenter | textFlags(option, widget), copy.palette,
                          copy.state & State_Enabled, copy.text, QPalette::NoRole);
    painter->restore();
}

void CQuorCommonStyle::drawProgressBar(const QStyleOption* option, QPainter* painter, const QWidget* widget,
                                       const QString& role) const
{
    const auto* bar = qstyleoption_cast<const QStyleOptionProgressBar*>(option);
    if (!bar)
        return;
    busyBarDrawn(widget);
    const bool rtl = bar->direction == Qt::RightToLeft;
    if (role == QLatin1String("progressbar")) {
        const QRect contents = proxy()->subElementRect(SE_ProgressBarContents, bar, widget);
        painter->save();
        if (!(bar->state & State_Enabled))
            painter->setOpacity(0.5);
        drawNinePatchPixmap(painter, m_progressV2Background, contents, 8, 0, 8, 0);

        const bool busy = bar->minimum == 0 && bar->maximum == 0;
        qreal fraction = 1.0;
        if (!busy && bar->maximum != bar->minimum) {
            fraction = (qreal(bar->progress) - bar->minimum) / (qreal(bar->maximum) - bar->minimum);
            fraction = qBound(0.0, fraction, 1.0);
        }
        QRect fill(contents.left(), contents.top(), int(contents.width() * fraction), contents.height());
        if (rtl)
            fill.moveRight(contents.right());

        painter->setClipRect(fill);
        drawNinePatchPixmap(painter, m_progressV2Fill, contents, 8, 0, 8, 0);
        painter->setClipping(false);

        QRegion rounded;
        rounded += contents.adjusted(3, 7, -3, -7);
        rounded += contents.adjusted(4, 6, -4, -6);
        rounded += contents.adjusted(5, 5, -5, -5);
        rounded += contents.adjusted(6, 4, -6, -4);
        rounded += contents.adjusted(7, 0, -7, 0);
        painter->setClipRegion(rounded);

        // The cap is turned with the bar's direction, which also puts it at the fill's left end.
        const QPixmap& cap = rtl ? m_progressV2FillCapMirrored : m_progressV2FillCap;
        if (rtl)
            painter->drawPixmap(fill.left() - logicalWidth(cap), fill.top(), cap);
        else
            painter->drawPixmap(fill.left() + fill.width(), fill.top(), cap);

        // Every option counts as a second-version one: the shine runs below a full fill.
        const int busyWidth = logicalWidth(m_progressV2Busy);
        if ((busy || fraction < 1.0) && busyWidth > 0 && !fill.isEmpty()) {
            painter->setClipRegion(rounded.intersected(fill));
            QRect shine = fill.adjusted(0, 5, 0, -5);
            const int offset = int(m_busyFrame % quint32(busyWidth));
            if (rtl)
                shine.setLeft(shine.left() - offset);
            else
                shine.setLeft(shine.left() - busyWidth + offset);
            // Tiles only the visible part, starting at the matching place of the pattern. The
            // tiles are drawn one by one at their logical size, sharp at any device pixel ratio.
            const QRect visible = shine.intersected(fill);
            if (!visible.isEmpty()) {
                painter->setClipRect(visible, Qt::IntersectClip);
                const int first = shine.left() + (visible.left() - shine.left()) / busyWidth * busyWidth;
                for (int x = first; x <= visible.right(); x += busyWidth)
                    painter->drawPixmap(QPoint(x, visible.top()), m_progressV2Busy);
            }
        }
        painter->restore();
    } else if (role == QLatin1String("progressbar.music.player")) {
        QRect r = bar->rect;
        r.setHeight(logicalHeight(m_musicProgressBackground));
        painter->drawPixmap(r, m_musicProgressBackground);
        qreal fraction = 0.0;
        if (bar->maximum != bar->minimum) {
            fraction = (qreal(bar->progress) - bar->minimum) / (qreal(bar->maximum) - bar->minimum);
            fraction = qBound(0.0, fraction, 1.0);
        }
        r.setWidth(int(r.width() * fraction));
        if (rtl)
            r.moveRight(bar->rect.right());
        if (r.width() > 0)
            painter->drawPixmap(r, m_musicProgressFill);
    } else if (role == QLatin1String("progressbar.phased")) {
        drawPhasedProgressBar(option, painter, widget);
    }
}

void CQuorCommonStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                          QPainter* painter, const QWidget* widget) const
{
    const QString role = styleRole(widget);
    switch (control) {
    case CC_ComboBox:
        if (const auto* combo = qstyleoption_cast<const QStyleOptionComboBox*>(option)) {
            const QRect frame = proxy()->subControlRect(CC_ComboBox, combo, SC_ComboBoxFrame, widget);
            size_t index = 0;
            if (combo->state & State_Selected)
                index = 1;
            else if (combo->state & State_MouseOver)
                index = 2;
            SNinePatchMargins margins = ninePatchMargins(MarginsComboBox);
            // Image and margins follow the combo box's own direction, so they always match.
            const bool rtl = combo->direction == Qt::RightToLeft;
            if (rtl)
                margins = swapped(margins);
            drawNinePatchPixmap(painter, (rtl ? m_comboBoxMirrored : m_comboBox).at(index), frame, margins);
        }
        return;
    case CC_ScrollBar:
        drawScrollBar(option, painter, widget);
        return;
    case CC_Slider:
        drawSlider(option, painter, widget);
        return;
    case CC_ToolButton:
        drawToolButton(option, painter, widget, role);
        return;
    case CC_TitleBar:
        drawTitleBar(option, painter, widget, role);
        return;
    default:
        break;
    }
    QProxyStyle::drawComplexControl(control, option, painter, widget);
}

void CQuorCommonStyle::drawScrollBar(const QStyleOptionComplex* option, QPainter* painter,
                                     const QWidget* widget) const
{
    const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (!bar)
        return;
    const bool horizontal = bar->orientation == Qt::Horizontal;
    const size_t base = horizontal ? 0 : 4;
    const SNinePatchMargins margins =
        horizontal ? SNinePatchMargins{9, 0, 9, 0} : SNinePatchMargins{0, 9, 0, 9};
    const size_t state = stateIndex(bar->state);
    auto indexFor = [&](SubControl sub) {
        return (bar->activeSubControls & sub) ? state : size_t(ImageNormal);
    };

    painter->fillRect(bar->rect, Qt::white);
    drawNinePatchPixmap(painter, m_scrollBarGroove.at(base + state), bar->rect, margins);

    QRect slider = proxy()->subControlRect(CC_ScrollBar, bar, SC_ScrollBarSlider, widget);
    if (horizontal)
        slider.adjust(-8, 0, 8, 0);
    else
        slider.adjust(0, -8, 0, 8);
    drawNinePatchPixmap(painter, m_scrollBarSlider.at(base + indexFor(SC_ScrollBarSlider)), slider, margins);

    const QRect subLine = proxy()->subControlRect(CC_ScrollBar, bar, SC_ScrollBarSubLine, widget);
    const QRect addLine = proxy()->subControlRect(CC_ScrollBar, bar, SC_ScrollBarAddLine, widget);
    // Right to left, the sub-line button sits at the right end and the add-line button at the
    // left end: each keeps the arrow that points out of the bar.
    const bool rtl = horizontal && bar->direction == Qt::RightToLeft;
    const size_t subBase = horizontal ? (rtl ? 4 : 0) : 8;
    const size_t addBase = horizontal ? (rtl ? 0 : 4) : 12;
    painter->drawPixmap(subLine, m_scrollBarArrows.at(subBase + indexFor(SC_ScrollBarSubLine)));
    painter->drawPixmap(addLine, m_scrollBarArrows.at(addBase + indexFor(SC_ScrollBarAddLine)));
}

void CQuorCommonStyle::drawSlider(const QStyleOptionComplex* option, QPainter* painter,
                                  const QWidget* widget) const
{
    const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (!slider)
        return;
    const bool horizontal = slider->orientation == Qt::Horizontal;
    const bool enabled = slider->state & State_Enabled;
    const size_t grooveIndex = enabled ? ImageNormal : ImageDisabled;
    const QPixmap& groove = (horizontal ? m_sliderGroove : m_sliderGrooveVertical).at(grooveIndex);
    SNinePatchMargins margins{5, 0, 5, 0};
    QRect grooveRect = proxy()->subControlRect(CC_Slider, slider, SC_SliderGroove, widget);
    if (!horizontal) {
        margins = {0, 5, 0, 5};
        const int d = (grooveRect.width() - logicalWidth(groove)) / 2;
        grooveRect.adjust(d, 0, -d, 0);
    } else {
        const int d = (grooveRect.height() - logicalHeight(groove)) / 2;
        grooveRect.adjust(0, d, 0, -d);
    }
    drawNinePatchPixmap(painter, groove, grooveRect, margins);

    if (slider->subControls & SC_SliderTickmarks) {
        const QPen pen = painter->pen();
        painter->setPen(slider->palette.color(QPalette::Dark));
        const int offset = proxy()->pixelMetric(PM_SliderTickmarkOffset, slider, widget);
        const int thickness = proxy()->pixelMetric(PM_SliderControlThickness, slider, widget);
        const int half = proxy()->pixelMetric(PM_SliderLength, slider, widget) / 2;
        const int available = proxy()->pixelMetric(PM_SliderSpaceAvailable, slider, widget);
        const int ticks = slider->tickPosition;
        const int both = (ticks & QSlider::TicksAbove) && (ticks & QSlider::TicksBelow) ? 1 : 0;
        qint64 interval = slider->tickInterval;
        if (interval <= 0) {
            interval = slider->singleStep;
            if (QStyle::sliderPositionFromValue(slider->minimum, slider->maximum, slider->singleStep,
                                                available) -
                    QStyle::sliderPositionFromValue(slider->minimum, slider->maximum, 0, available) <
                3)
                interval = slider->pageStep;
        }
        if (interval <= 0)
            interval = 1;
        // 64-bit steps: a maximum near INT_MAX neither overflows nor loops for ever.
        for (qint64 v = slider->minimum; v <= slider->maximum; v += interval) {
            const int value = int(v);
            const int length = (value == slider->minimum || value >= slider->maximum) ? 4 : 3;
            const int pos =
                QStyle::sliderPositionFromValue(slider->minimum, slider->maximum, value, available) + half;
            if (horizontal) {
                if (ticks & QSlider::TicksAbove)
                    painter->drawLine(pos, offset - 1 - both, pos, offset - 1 - both - length);
                if (ticks & QSlider::TicksBelow)
                    painter->drawLine(pos, offset + thickness + both, pos,
                                      offset + thickness + both + length);
            } else {
                if (ticks & QSlider::TicksAbove)
                    painter->drawLine(offset - 1 - both, pos, offset - 1 - both - length, pos);
                if (ticks & QSlider::TicksBelow)
                    painter->drawLine(offset + thickness + both, pos, offset + thickness + both + length,
                                      pos);
            }
        }
        painter->setPen(pen);
    }

    size_t handleIndex = enabled ? size_t(ImageNormal) : size_t(ImageDisabled);
    if (slider->activeSubControls & SC_SliderHandle)
        handleIndex = stateIndex(slider->state);
    const QPixmap& handle = m_sliderHandle.at(handleIndex);
    const QRect handleRect = proxy()->subControlRect(CC_Slider, slider, SC_SliderHandle, widget);
    painter->drawPixmap(centred(logicalSize(handle), handleRect).topLeft(), handle);

    if (slider->state & State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(*slider);
        focus.rect = proxy()->subElementRect(SE_SliderFocusRect, slider, widget);
        proxy()->drawPrimitive(PE_FrameFocusRect, &focus, painter, widget);
    }

    if (widget) {
        const QVariant maximumIcon = widget->property("maximumIcon");
        const QVariant minimumIcon = widget->property("minimumIcon");
        // Each icon goes to the end its value lies at, where the groove leaves room for it: the
        // start (left or top) holds the minimum unless the slider runs upside down, and right to
        // left the horizontal start is the right end.
        auto drawEndIcon = [&](const QVariant& value, bool atStart) {
            if (!value.isValid())
                return;
            const QPixmap pixmap = value.value<QPixmap>();
            if (pixmap.isNull())
                return;
            QRect r = centred(logicalSize(pixmap), slider->rect);
            if (horizontal) {
                if (atStart != (slider->direction == Qt::RightToLeft))
                    r.moveLeft(slider->rect.left());
                else
                    r.moveRight(slider->rect.right());
            } else {
                if (atStart)
                    r.moveTop(slider->rect.top());
                else
                    r.moveBottom(slider->rect.bottom());
            }
            painter->drawPixmap(r.topLeft(), pixmap);
        };
        drawEndIcon(maximumIcon, slider->upsideDown);
        drawEndIcon(minimumIcon, !slider->upsideDown);
    }
}

void CQuorCommonStyle::drawToolButton(const QStyleOptionComplex* option, QPainter* painter,
                                      const QWidget* widget, const QString& role) const
{
    const auto* tool = qstyleoption_cast<const QStyleOptionToolButton*>(option);
    if (!tool)
        return;
    if (role.endsWith(QLatin1String("Window.toolButton"))) {
        QStyleOptionToolButton copy(*tool);
        if (copy.state & State_MouseOver) {
            const bool sunken = copy.state & State_Sunken;
            const QPixmap pixmap =
                tool->icon.pixmap(tool->iconSize, sunken ? QIcon::Selected : QIcon::Active, QIcon::Off);
            QIcon icon;
            icon.addPixmap(pixmap, QIcon::Normal, QIcon::Off);
            copy.icon = icon;
            copy.state &= ~State_Sunken;
        }
        proxy()->drawControl(CE_ToolButtonLabel, &copy, painter, widget);
        return;
    }
    if (role == QLatin1String("toolbutton.popup") || role == QLatin1String("toolbutton.infopane")) {
        const bool popup = role.endsWith(QLatin1String("popup"));
        if (popup)
            painter->drawPixmap(tool->rect.topLeft(), m_phonePaneBall);
        const QPixmap pixmap =
            tool->icon.pixmap(tool->iconSize, iconMode(tool->state), iconState(tool->state));
        const QSize size = pixmap.deviceIndependentSize().toSize();
        QRect r = centred(size, tool->rect);
        if (popup)
            r.moveBottom(tool->rect.bottom());
        painter->drawPixmap(r.topLeft(), pixmap);
        return;
    }
    if (role == QLatin1String("button.bridge")) {
        QProxyStyle::drawComplexControl(CC_ToolButton, option, painter, widget);
        return;
    }

    QStyleOptionButton button;
    if (widget)
        button.initFrom(widget);
    else
        button.QStyleOption::operator=(*tool);
    button.rect = tool->rect;
    button.icon = tool->icon;
    button.iconSize = tool->iconSize;
    if (tool->toolButtonStyle != Qt::ToolButtonIconOnly)
        button.text = tool->text;
    button.state |= tool->state & (State_MouseOver | State_Sunken | State_On);
    if (role == QLatin1String("toolbutton.icononly") || role == QLatin1String("toolbutton.actiontooltip")) {
        button.state &= ~State_Sunken;
        proxy()->drawControl(CE_PushButtonLabel, &button, painter, widget);
    } else {
        proxy()->drawControl(CE_PushButtonBevel, &button, painter, widget);
        const QRect focusBase = button.rect;
        button.rect = proxy()->subElementRect(SE_PushButtonContents, &button, widget).translated(0, 1);
        proxy()->drawControl(CE_PushButtonLabel, &button, painter, widget);
        if (button.state & State_HasFocus) {
            QStyleOptionFocusRect focus;
            focus.QStyleOption::operator=(button);
            QStyleOptionButton taller(button);
            taller.rect = focusBase.adjusted(0, 0, 0, 1);
            focus.rect = proxy()->subElementRect(SE_PushButtonFocusRect, &taller, widget);
            proxy()->drawPrimitive(PE_FrameFocusRect, &focus, painter, widget);
        }
    }
    if (tool->features & QStyleOptionToolButton::Arrow) {
        QStyleOptionToolButton arrow(*tool);
        arrow.rect = proxy()->subControlRect(CC_ToolButton, tool, SC_ToolButton, widget);
        PrimitiveElement pe = PE_IndicatorArrowDown;
        if (tool->arrowType == Qt::RightArrow)
            pe = PE_IndicatorArrowRight;
        else if (tool->arrowType == Qt::LeftArrow)
            pe = PE_IndicatorArrowLeft;
        else if (tool->arrowType == Qt::UpArrow)
            pe = PE_IndicatorArrowUp;
        proxy()->drawPrimitive(pe, &arrow, painter, widget);
    }
    if (tool->subControls & SC_ToolButtonMenu) {
        QStyleOptionToolButton menu(*tool);
        menu.rect = proxy()->subControlRect(CC_ToolButton, tool, SC_ToolButtonMenu, widget);
        proxy()->drawPrimitive(PE_IndicatorButtonDropDown, &menu, painter, widget);
    }
}

void CQuorCommonStyle::drawTitleBar(const QStyleOptionComplex* option, QPainter* painter,
                                    const QWidget* widget, const QString& role) const
{
    const auto* title = qstyleoption_cast<const QStyleOptionTitleBar*>(option);
    if (!title)
        return;
    if (role.contains(QLatin1String("window.secondary.titleBar"))) {
        const QPixmap* image = nullptr;
        if (role.endsWith(QLatin1String("Wizard")))
            image = &m_wizardTop.get();
        else if (role.endsWith(QLatin1String("Settings")))
            image = &m_tabViewTop.get();
        if (image)
            drawNinePatchPixmap(painter, *image, title->rect, 18, 0, 18, 0);
    } else if (role.contains(QLatin1String("window.dialog.titleBar"))) {
        const QPixmap* image = &m_dialogTopYellow.get();
        if (role.endsWith(QLatin1String("Blue")))
            image = &m_dialogTopBlue.get();
        else if (role.endsWith(QLatin1String("Purple")))
            image = &m_dialogTopPurple.get();
        else if (role.endsWith(QLatin1String("Gray")))
            image = &m_dialogTopGray.get();
        drawNinePatchPixmap(painter, *image, title->rect, 18, 0, 18, 0);
    } else if (role == QLatin1String("window.main.titleBar")) {
        drawThreePartPixmap(painter, title->rect, m_mainFrameTop);
        if ((title->subControls & SC_TitleBarSysMenu) && (title->titleBarFlags & Qt::WindowSystemMenuHint)) {
            const QRect r = proxy()->subControlRect(CC_TitleBar, title, SC_TitleBarSysMenu, widget);
            painter->drawPixmap(r.topLeft(), m_titleBarIcon);
        }
    }
}

// Parts that read the style's own option records.

void CQuorCommonStyle::drawTextLabel(const QStyleOption* option, QPainter* painter) const
{
    const auto* label = qstyleoption_cast<const CQuorTextLabelOption*>(option);
    if (!label)
        return;
    QString text = label->text;
    if (!label->fade)
        text = label->fontMetrics.elidedText(text, Qt::ElideRight, label->rect.width());
    drawFadingText(painter, label->rect, int(label->alignment), label->palette, label->state & State_Enabled,
                   text, label->fade, label->shadow, QPalette::NoRole);
}

void CQuorCommonStyle::drawPhasedProgressBar(const QStyleOption* option, QPainter* painter,
                                             const QWidget*) const
{
    // Only the typed option carries the labels: a plain progress-bar option draws nothing.
    const auto* bar = qstyleoption_cast<const CQuorStyleOptionPhasedProgressBar*>(option);
    if (!bar)
        return;
    const qint64 span = qint64(bar->maximum) - bar->minimum;
    if (span <= 0 || span > bar->rect.width())
        return;
    const int n = int(span);
    const bool rtl = bar->direction == Qt::RightToLeft;
    const int cellWidth = bar->rect.width() / n;
    const int remainder = bar->rect.width() % n;
    QRect cell(0, bar->rect.top(), cellWidth, bar->rect.height());
    if (rtl)
        cell.moveRight(bar->rect.right() - remainder / 2);
    else
        cell.moveLeft(bar->rect.left() + remainder / 2);

    QRect barRect(0, 0, cellWidth, proxy()->pixelMetric(PixelMetric(PM_CustomBase + 9), bar, nullptr));
    barRect.moveBottomLeft(cell.bottomLeft());
    QRect labelRect = cell;
    if (bar->textVisible)
        labelRect.setBottom(barRect.top() - 7);

    const int current = bar->progress - bar->minimum;
    for (int i = 0; i < n; ++i) {
        const Pixmaps3& images = i < current    ? m_phased.at(2)
                                 : i == current ? m_phased.at(bar->dark ? 0 : 1)
                                                : m_phased.at(3);
        // The bar's own direction picks the cap that is rounded on its outer side; mirroring it
        // again for a right-to-left application would turn the rounding inward.
        const QPixmap& lead = rtl ? images.at(2) : images.at(0);
        QRect middle = barRect;
        if (rtl) {
            painter->drawPixmap(barRect.right() - logicalWidth(lead) + 1, barRect.top(), lead);
            middle.setRight(barRect.right() - logicalWidth(lead));
        } else {
            painter->drawPixmap(barRect.topLeft(), lead);
            middle.setLeft(barRect.left() + logicalWidth(lead));
        }
        if (middle.width() > 0)
            painter->drawPixmap(middle, images.at(1));

        const int width = barRect.width();
        if (rtl) {
            barRect.setRight(barRect.left());
            barRect.setLeft(barRect.right() - width + 1);
        } else {
            barRect.moveLeft(barRect.right() + 1);
        }
        if (i == n - 1) {
            const QPixmap& closing = rtl ? images.at(0) : images.at(2);
            if (rtl)
                painter->drawPixmap(barRect.right() - logicalWidth(closing) + 1, barRect.top(), closing);
            else
                painter->drawPixmap(barRect.left() - 1, barRect.top(), closing);
        }

        if (bar->textVisible && bar->phaseLabels.contains(i))
            proxy()->drawItemText(painter, labelRect, Qt::AlignHCenter | Qt::AlignBottom, bar->palette,
                                  i == current, bar->phaseLabels.value(i), QPalette::NoRole);
        const int labelWidth = labelRect.width();
        if (rtl) {
            labelRect.setRight(labelRect.left());
            labelRect.setLeft(labelRect.right() - labelWidth + 1);
        } else {
            labelRect.moveLeft(labelRect.right() + 1);
        }
    }
}

void CQuorCommonStyle::drawItemViewItem(const QStyleOption* option, QPainter* painter,
                                        const QWidget* widget) const
{
    // Only the typed option carries the three flags: a plain item option draws nothing.
    const auto* item = qstyleoption_cast<const CQuorStyleOptionListItem*>(option);
    if (!item)
        return;
    painter->save();
    painter->setClipRect(item->rect);

    const QRect checkRect = proxy()->subElementRect(SE_ItemViewItemCheckIndicator, item, widget);
    const QRect iconRect = proxy()->subElementRect(SE_CustomBase, item, widget);
    QRect textRect = proxy()->subElementRect(SE_ItemViewItemText, item, widget);
    textRect.adjust(4, 0, -4, 0);
    const int row = item->index.isValid() ? item->index.row() : 0;

    const auto* view = qobject_cast<const QAbstractItemView*>(widget);
    if (view && view->alternatingRowColors() && row % 2 == 0)
        painter->fillRect(item->rect, item->palette.color(QPalette::AlternateBase));
    if (item->separator && row != 0) {
        const QPen pen = painter->pen();
        painter->setPen(color(9));
        painter->drawLine(item->rect.topLeft() + QPoint(3, 0), item->rect.topRight() - QPoint(3, 0));
        painter->setPen(pen);
    }
    proxy()->drawPrimitive(PE_PanelItemViewItem, item, painter, widget);

    const bool enabled = item->state & State_Enabled;
    if (checkRect.isValid()) {
        QStyleOptionButton check;
        check.QStyleOption::operator=(*item);
        check.rect = checkRect;
        check.state = item->state & ~(State_HasFocus | State_MouseOver);
        if (item->checkHovered)
            check.state |= State_MouseOver;
        check.state |= item->checkState == Qt::Unchecked ? State_Off : State_On;
        proxy()->drawPrimitive(PE_IndicatorItemViewItemCheck, &check, painter, widget);
    }
    if (iconRect.isValid()) {
        const QIcon icon = proxy()->standardIcon(StandardPixmap(SP_CustomBase + 9), item, widget);
        const QIcon::Mode mode = !enabled           ? QIcon::Disabled
                                 : item->iconActive ? QIcon::Active
                                                    : QIcon::Normal;
        icon.paint(painter, iconRect, Qt::AlignCenter, mode, iconState(item->state));
    }

    QPalette::ColorGroup group = enabled ? QPalette::Normal : QPalette::Disabled;
    if (group == QPalette::Normal && !(item->state & State_Active))
        group = QPalette::Inactive;
    const bool selected = (item->state & State_Selected) && !(item->state & State_Editing);
    painter->setPen(item->palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    const QString text =
        item->fontMetrics.elidedText(item->text, Qt::ElideRight, textRect.width() - iconRect.width());
    proxy()->drawItemText(painter, textRect, int(item->displayAlignment), item->palette, enabled, text,
                          QPalette::NoRole);

    if (item->state & State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(*item);
        focus.rect = proxy()->subElementRect(SE_ItemViewItemFocusRect, item, widget);
        focus.state |= State_KeyboardFocusChange | State_Item;
        const QPalette::ColorGroup focusGroup = enabled ? QPalette::Normal : QPalette::Disabled;
        focus.backgroundColor = item->palette.color(
            focusGroup, (item->state & State_Selected) ? QPalette::Highlight : QPalette::Window);
        proxy()->drawPrimitive(PE_FrameFocusRect, &focus, painter, widget);
    }
    painter->restore();
}
