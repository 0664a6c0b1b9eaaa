#include "meskuistyle.h"

#include "style/quorimages.h"

#include <QRegion>
#include <QStyleHintReturnMask>
#include <QStyleOption>
#include <QVariant>
#include <QWidget>

#include <array>

namespace {

const char kRoleProperty[] = "com_velto_mesk_qstyleRole";
const QLatin1String kRolePrefix("mesk.uilibrary.");

// The colour roles, as 0xRRGGBB, indexed by role.
constexpr std::array<QRgb, CMeskUiStyle::ColorRoleCount> kColorRoles = {
    0xF9F9F9, 0xF5F5F5, 0xC0C0C0, 0xF9F9F9, 0xEBEBEB, // 0-4
    0xD2D2D2, 0x81C119, 0xC0C0C0, 0x808080, 0xC0C0C0, // 5-9
    0xF9F9F9, 0xE1E1E1, 0x81C119, 0xC0C0C0, 0xC0C0C0, // 10-14: 12 links
    0xC0C0C0, 0xFAF8D4, 0xF9F9F9, 0xD6F3A3, 0x808080, // 15-19: 18 filter matches
    0xC0C0C0, 0x81C119, 0xC0C0C0, 0x008000, 0x808080, // 20-24
    0x81C119, 0xC0C0C0, 0xFFFFFF, 0x000000, 0xFFFFFF, // 25-29
    0xC0C0C0, 0xD2D2D2, 0xF9F9F9, 0xE1E1E1, 0xF9F9F9, // 30-34
    0xE1E1E1, 0x000000, 0xC0C0C0, 0xECEFF5, 0x000000, // 35-39
    0x787878, 0xFFFFFF, 0xFFFFFF, 0xC0C0C0, 0xFFFFFF, // 40-44
    0xFFFFFF, 0xFFFFFF, 0xC0C0C0, 0xFFFFCC, 0xC0C0C0, // 45-49
    0xFF0000,                                         // 50
};

} // namespace

QString CMeskUiStyle::imageRoot()
{
    return QStringLiteral(":/meskstyle/images/");
}

CMeskUiStyle::CMeskUiStyle()
    : m_appIcon(CQuorLazyPixmap::fromPath(imageRoot() + QStringLiteral("lumesk.ico"))),
      m_smallAvatarShadow(CQuorLazyPixmap::fromPath(imageRoot() + QStringLiteral("avatar_shadow_small.png"))),
      m_normalAvatarShadow(
          CQuorLazyPixmap::fromPath(imageRoot() + QStringLiteral("avatar_shadow_normal.png"))),
      m_thumbnailShadow(CQuorLazyPixmap::fromPath(imageRoot() + QStringLiteral("thumbnail_shadow.png"))),
      m_postDialogShadow(CQuorLazyPixmap::fromPath(imageRoot() + QStringLiteral("postdialog_shadow.png")))
{
}

CMeskUiStyle::~CMeskUiStyle() = default;

int CMeskUiStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    switch (static_cast<quint32>(metric)) {
    case PM_MeskColumnWidth:
        return 360;
    case PM_MeskFeedSideMargin:
        return 4;
    case PM_MeskColumnHeaderHeight:
        return 20;
    case PM_MeskMainWindowMinHeight:
        return 500;
    case PM_MeskSettingsMargin:
        return 12;
    case PM_MeskToolBarHeight:
        return 40;
    case PM_MeskMainWindowBand:
        return 3;
    case PM_MeskBottomBarHeight:
        return 35;
    case PM_MeskThumbnailInnerMargin:
        return 2;
    case PM_MeskThumbnailOuterMargin:
        return 3;
    case PM_MeskSmallThumbnailInnerMargin:
        return 1;
    case PM_MeskSmallThumbnailOuterMargin:
        return 2;
    case PM_MeskPostDialogOffsetX:
        return 10;
    case PM_MeskPostDialogOffsetY:
        return 5;
    case PM_MeskPostDialogHeight:
        return 250;
    case PM_MeskPostDialogMargin:
        return 10;
    case PM_MeskPostDialogSpacing:
        return 8;
    case PM_MeskItemFrameMargin:
        return 5;
    case PM_MeskItemBandHeight:
        return 7;
    case PM_MeskScrollLineStep:
        return 20;
    case PM_MeskScrollBarWidth:
        return 10;
    case PM_MeskScrollHandleMinLength:
        return 50;
    case PM_MeskSettingsPointSize:
        return 11;
    case PM_MeskCommentSpacing:
        return 30;
    case PM_MeskCommentPointSize:
        return 8;
    case PM_MeskCommentEditorHeight:
        return 28;
    case PM_MeskCommentEditorExpandedHeight:
        return 70;
    case PM_MeskStripThumbnailWidth:
    case PM_MeskStripThumbnailHeight:
        return 78;
    case PM_MeskStripBorder:
        return 1;
    case PM_MeskStripThumbnailFrame:
        return 3;
    case PM_MeskStripSpacing:
        return 5;
    case PM_MeskStripMargin:
    case PM_MeskStripButtonWidth:
        return 15;
    case PM_MeskStripPixmapSize:
        return 25;
    case PM_MeskSeparatorHeight:
        return 15;
    default:
        return CQuorCommonStyle::pixelMetric(metric, option, widget);
    }
}

int CMeskUiStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                            QStyleHintReturn* returnData) const
{
    if (hint != SH_WindowFrame_Mask)
        return CQuorCommonStyle::styleHint(hint, option, widget, returnData);
    const QString role = productRole(widget);
    if (role != QLatin1String("postupdatewidget") && role != QLatin1String("postsmswidget"))
        return CQuorCommonStyle::styleHint(hint, option, widget, returnData);

    auto* mask = qstyleoption_cast<QStyleHintReturnMask*>(returnData);
    if (!mask || !option)
        return 0;

    // A tab of tabWidth x tabHeight at the top-left with rounded upper corners over a body with
    // rounded lower corners; the body's upper-right corner stays square.
    const int tw = widget->property("tabWidth").toInt();
    const int th = widget->property("tabHeight").toInt();
    const QRect r = option->rect;
    const int x = r.left();
    const int w = r.width();
    const int b = r.bottom();
    QRegion region;
    region += QRect(x + 6, r.top() + 0, tw - 12, 1);
    region += QRect(x + 4, r.top() + 1, tw - 8, 1);
    region += QRect(x + 3, r.top() + 2, tw - 6, 1);
    region += QRect(x + 2, r.top() + 3, tw - 4, 1);
    region += QRect(x + 1, r.top() + 4, tw - 2, 2);
    region += QRect(x + 0, r.top() + 6, tw, th - 6);
    region += r.adjusted(0, th, 0, -6);
    region += QRect(x + 1, b - 5, w - 2, 2);
    region += QRect(x + 2, b - 3, w - 4, 1);
    region += QRect(x + 3, b - 2, w - 6, 1);
    region += QRect(x + 4, b - 1, w - 8, 1);
    region += QRect(x + 6, b, w - 12, 1);
    mask->region = region;
    return 1;
}

QPixmap CMeskUiStyle::standardPixmap(StandardPixmap id, const QStyleOption* option,
                                     const QWidget* widget) const
{
    switch (static_cast<quint32>(id)) {
    case SP_TitleBarMenuButton:
        return m_appIcon;
    case SP_MeskSmallAvatarShadow:
        return m_smallAvatarShadow;
    case SP_MeskNormalAvatarShadow:
        return m_normalAvatarShadow;
    case SP_MeskThumbnailShadow:
        return m_thumbnailShadow;
    case SP_QuorShadow: {
        // The post dialogs' shadows lie around each rectangle of their shape, drawn for their
        // own margins; every other window keeps the common shadow.
        const QString role = productRole(widget);
        if (role == QLatin1String("postupdatewidget") || role == QLatin1String("postsmswidget"))
            return m_postDialogShadow;
        return CQuorCommonStyle::standardPixmap(id, option, widget);
    }
    default:
        return CQuorCommonStyle::standardPixmap(id, option, widget);
    }
}

QColor CMeskUiStyle::color(int role)
{
    if (role < 0 || role >= ColorRoleCount)
        return {};
    return QColor::fromRgb(kColorRoles[static_cast<size_t>(role)]);
}

QString CMeskUiStyle::productRole(const QWidget* widget)
{
    if (!widget)
        return {};
    const QString value = widget->property(kRoleProperty).toString();
    if (!value.startsWith(kRolePrefix, Qt::CaseSensitive))
        return {};
    return value.mid(kRolePrefix.size());
}
