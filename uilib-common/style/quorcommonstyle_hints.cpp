// Style hints (window masks, custom colours, margins, sizes and fonts), standard pixmaps and
// standard icons.

#include "style/quorcommonstyle.h"

#include <QApplication>
#include <QRegion>
#include <QStyleOption>
#include <QWidget>

namespace {

// Rows of a rounded corner band: (inset from the left, inset from the right, first row, rows).
struct SMaskRow
{
    int left;
    int right;
    int y;
    int height;
};

void addRows(QRegion& region, const QRect& band, std::initializer_list<SMaskRow> rows)
{
    for (const SMaskRow& row : rows)
        region +=
            QRect(band.x() + row.left, band.y() + row.y, band.width() - row.left - row.right, row.height);
}

// The last n rows of the rectangle.
QRect bottomRows(const QRect& r, int n)
{
    return r.adjusted(0, r.height() - n, 0, 0);
}

} // namespace

int CQuorCommonStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                                QStyleHintReturn* returnData) const
{
    const QString role = styleRole(widget);

    switch (static_cast<quint32>(hint)) {
    case SH_QuorPixmapSize:
        if (auto* size = qstyleoption_cast<SQuorSizeHintReturn*>(returnData)) {
            const quint32 id = static_cast<quint32>(size->pixmapId);
            if (ensureTableIcon(id)) {
                size->size = m_iconSizes.value(id);
                return 1;
            }
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    case SH_QuorColor15:
        return static_cast<int>(color(15).rgba());
    case SH_QuorGreenBackground:
        return static_cast<int>(qRgb(218, 238, 214));
    case SH_QuorGrayBackground:
        return static_cast<int>(qRgb(242, 242, 242));
    case SH_QuorContentMargins:
        if (auto* margins = qstyleoption_cast<SQuorMarginsHintReturn*>(returnData)) {
            if (role == QLatin1String("lineedit.iconized")) {
                margins->left = margins->top = margins->right = margins->bottom = 3;
                return 1;
            }
        }
        return 0;
    case SH_QuorFontRole:
        if (auto* font = qstyleoption_cast<SQuorFontHintReturn*>(returnData))
            return resolveFontRole(font->fontRole, font->palette, font->font) ? 1 : 0;
        return 0;
    default:
        break;
    }

    switch (hint) {
    case SH_EtchDisabledText:
        return 0;
    case SH_UnderlineShortcut:
        if (m_altKeyDown || m_mnemonicsShown)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, returnData) == 1 ? 1 : 0;
    case SH_ToolTipLabel_Opacity:
        return 235;
    case SH_WindowFrame_Mask: {
        if (!widget || !returnData)
            break;
        auto* mask = qstyleoption_cast<QStyleHintReturnMask*>(returnData);
        if (!mask)
            return 0;
        QRegion region;
        if (role == QLatin1String("window.main")) {
            const QRect r = widget->rect();
            addRows(region, r, {{4, 0, 0, 1}, {2, 0, 1, 1}, {1, 0, 2, 2}});
            region += r.adjusted(0, 4, 0, -4);
            addRows(region, bottomRows(r, 4), {{1, 1, 0, 2}, {2, 2, 2, 1}, {4, 4, 3, 1}});
        } else if (role == QLatin1String("window.secondary") || role == QLatin1String("window.dialog")) {
            if (!option)
                break;
            const QRect r = option->rect;
            // The frame's artwork rounds all four corners alike (radius 6): each is cut the same way.
            addRows(region, r, {{6, 6, 0, 1}, {4, 4, 1, 1}, {3, 3, 2, 1}, {2, 2, 3, 1}, {1, 1, 4, 2}});
            region += r.adjusted(0, 6, 0, -6);
            addRows(region, bottomRows(r, 6),
                    {{1, 1, 0, 2}, {2, 2, 2, 1}, {3, 3, 3, 1}, {4, 4, 4, 1}, {6, 6, 5, 1}});
        } else if (role == QLatin1String("itemlist")) {
            if (!option)
                break;
            const QRect r = option->rect;
            addRows(region, r, {{3, 3, 0, 2}, {2, 2, 1, 1}, {1, 1, 2, 1}});
            addRows(region, bottomRows(r, 3), {{1, 1, 0, 1}, {2, 2, 1, 1}, {3, 3, 2, 1}});
            region += r.adjusted(3, 0, -3, 0);
            region += r.adjusted(0, 3, 0, -3);
        } else if (role == QLatin1String("gradient.dynamic")) {
            if (!option)
                break;
            const QRect r = option->rect;
            region += r.adjusted(0, 0, 0, -9);
            addRows(region, bottomRows(r, 9),
                    {{1, 1, 0, 3},
                     {2, 2, 3, 1},
                     {3, 3, 4, 1},
                     {4, 4, 5, 1},
                     {5, 5, 6, 1},
                     {6, 6, 7, 1},
                     {9, 9, 8, 1}});
        } else if (role == QLatin1String("menu") || role == QLatin1String("listpopup.view.frame")) {
            if (!option)
                break;
            region = QRegion(option->rect);
        } else {
            break;
        }
        mask->region = region;
        return 1;
    }
    default:
        break;
    }
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

QPixmap CQuorCommonStyle::standardPixmap(StandardPixmap id, const QStyleOption* option,
                                         const QWidget* widget) const
{
    const QString role = styleRole(widget);
    const quint32 key = static_cast<quint32>(id);

    if (ensureTableIcon(key))
        return m_icons.value(key).pixmap(m_iconSizes.value(key), QIcon::Normal, QIcon::Off);
    if (m_dragAndDrop.contains(key))
        return m_dragAndDrop.value(key);
    switch (key) {
    case SP_QuorTextHighlightBubble:
        return m_textHighlightBubble;
    case SP_QuorShadow:
        if (role == QLatin1String("menu"))
            return m_menuShadow;
        if (role == QLatin1String("listpopup.view.frame") || role == QLatin1String("menu.combobox"))
            return m_listShadow;
        return m_mainWindowShadow;
    case SP_QuorWaitFrame:
        if (const auto* frame = qstyleoption_cast<const CQuorStyleOptionAnimationFrame*>(option)) {
            if (frame->frame >= 0 && frame->frame < static_cast<int>(m_waitFrames.size())) {
                const QPixmap& pixmap = m_waitFrames.at(static_cast<size_t>(frame->frame));
                return frame->direction == Qt::RightToLeft
                           ? m_waitFramesMirrored.at(static_cast<size_t>(frame->frame))
                           : pixmap;
            }
        }
        break;
    default:
        break;
    }
    if (id == SP_TitleBarMenuButton)
        return m_titleBarIcon;
    return QProxyStyle::standardPixmap(id, option, widget);
}

QIcon CQuorCommonStyle::standardIcon(StandardPixmap id, const QStyleOption* option,
                                     const QWidget* widget) const
{
    const quint32 key = static_cast<quint32>(id);
    const QIcon icon =
        ensureTableIcon(key) ? m_icons.value(key) : QProxyStyle::standardIcon(id, option, widget);
    if (QApplication::layoutDirection() == Qt::RightToLeft && m_titleBarPixmaps.contains(key)) {
        const qreal ratio = qApp->devicePixelRatio();
        SMirroredIcon& cached = m_mirroredIcons[key];
        if (cached.icon.isNull() || cached.sourceKey != icon.cacheKey() || cached.ratio != ratio)
            cached = {icon.cacheKey(), ratio, mirroredIcon(icon, QSize())};
        return cached.icon;
    }
    return icon;
}
