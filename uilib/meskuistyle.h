#pragma once

#include "style/quorcommonstyle.h"

#include <QColor>
#include <QPixmap>
#include <QString>

// The product's application style: the common image-drawn style plus the product's layout
// sizes (custom pixel metrics), the tab-shaped window mask of the two post dialogs, the
// application icon and the three shadow images, and the product colour-role table.
// Everything else is the common style's.
class CMeskUiStyle : public CQuorCommonStyle
{
    Q_OBJECT

public:
    // Custom pixel metrics (QStyle::PixelMetric values), in px.
    enum TMeskMetric : unsigned int
    {
        PM_MeskColumnWidth = QStyle::PM_CustomBase + 0x65,               // 360: one feed column
        PM_MeskFeedSideMargin = QStyle::PM_CustomBase + 0x66,            // 4: side margin of the feed area
        PM_MeskColumnHeaderHeight = QStyle::PM_CustomBase + 0x67,        // 20: header of a column
        PM_MeskMainWindowMinHeight = QStyle::PM_CustomBase + 0x68,       // 500: main window's minimum height
        PM_MeskSettingsMargin = QStyle::PM_CustomBase + 0x6A,            // 12: settings pages' margins
        PM_MeskToolBarHeight = QStyle::PM_CustomBase + 0x6E,             // 40: main toolbar
        PM_MeskMainWindowBand = QStyle::PM_CustomBase + 0x6F,            // 3: main window painting
        PM_MeskBottomBarHeight = QStyle::PM_CustomBase + 0x78,           // 35: bottom bar
        PM_MeskThumbnailInnerMargin = QStyle::PM_CustomBase + 0x8C,      // 2: thumbnail frame, inner
        PM_MeskThumbnailOuterMargin = QStyle::PM_CustomBase + 0x8D,      // 3: thumbnail frame, outer
        PM_MeskSmallThumbnailInnerMargin = QStyle::PM_CustomBase + 0x8E, // 1: small avatar frame, inner
        PM_MeskSmallThumbnailOuterMargin = QStyle::PM_CustomBase + 0x8F, // 2: small avatar frame, outer
        PM_MeskPostDialogOffsetX = QStyle::PM_CustomBase + 0x96,     // 10: post dialogs from the main window
        PM_MeskPostDialogOffsetY = QStyle::PM_CustomBase + 0x97,     // 5
        PM_MeskPostDialogHeight = QStyle::PM_CustomBase + 0x98,      // 250: post dialogs when they open
        PM_MeskPostDialogMargin = QStyle::PM_CustomBase + 0x99,      // 10: post dialogs' contents margins
        PM_MeskPostDialogSpacing = QStyle::PM_CustomBase + 0x9A,     // 8: their inner margins and spacing
        PM_MeskItemFrameMargin = QStyle::PM_CustomBase + 0xA0,       // 5: date header and item frame layouts
        PM_MeskItemBandHeight = QStyle::PM_CustomBase + 0xA1,        // 7: band below each feed item
        PM_MeskScrollLineStep = QStyle::PM_CustomBase + 0xAA,        // 20: scroll bar line step
        PM_MeskScrollBarWidth = QStyle::PM_CustomBase + 0xAB,        // 10: scroll bar width, column scroller
        PM_MeskScrollHandleMinLength = QStyle::PM_CustomBase + 0xAC, // 50: shortest scroll bar handle
        PM_MeskSettingsPointSize = QStyle::PM_CustomBase + 0xB5,     // 11: settings pages' texts
        PM_MeskCommentSpacing = QStyle::PM_CustomBase + 0xBE,        // 30: Facebook comment widget
        PM_MeskCommentPointSize = QStyle::PM_CustomBase + 0xBF,      // 8: Facebook comment texts
        PM_MeskCommentEditorHeight = QStyle::PM_CustomBase + 0xC0,   // 28: comment editor, collapsed
        PM_MeskCommentEditorExpandedHeight = QStyle::PM_CustomBase + 0xC1, // 70: expanded
        PM_MeskStripThumbnailWidth = QStyle::PM_CustomBase + 0xC8,  // 78: media browser strip thumbnail
        PM_MeskStripThumbnailHeight = QStyle::PM_CustomBase + 0xC9, // 78
        PM_MeskStripBorder = QStyle::PM_CustomBase + 0xCA,          // 1: strip thumbnails and buttons
        PM_MeskStripThumbnailFrame = QStyle::PM_CustomBase + 0xCB,  // 3: strip thumbnails
        PM_MeskStripSpacing = QStyle::PM_CustomBase + 0xCC,         // 5: strip margins and spacing
        PM_MeskStripMargin = QStyle::PM_CustomBase + 0xCD,          // 15: strip contents margins
        PM_MeskStripButtonWidth = QStyle::PM_CustomBase + 0xCE,     // 15: strip scroll buttons
        PM_MeskStripPixmapSize = QStyle::PM_CustomBase + 0xD0,      // 25: a strip thumbnail's pixmap
        PM_MeskSeparatorHeight = QStyle::PM_CustomBase + 0x12C,     // 15: separator widget
    };

    // Custom standard pixmaps (QStyle::StandardPixmap values); SP_TitleBarMenuButton is the
    // application icon. The common shadow id (SP_QuorShadow) answers the post dialogs' own
    // shadow for the two post-dialog roles.
    enum TMeskPixmap : unsigned int
    {
        SP_MeskSmallAvatarShadow = QStyle::SP_CustomBase + 0x65,  // 38 x 38
        SP_MeskNormalAvatarShadow = QStyle::SP_CustomBase + 0x66, // 60 x 60
        SP_MeskThumbnailShadow = QStyle::SP_CustomBase + 0x67,    // 85 x 85
    };

    // Number of colour roles: color() answers 0 to ColorRoleCount - 1.
    static constexpr int ColorRoleCount = 51;

    // ":/meskstyle/images/": the root of the product images.
    static QString imageRoot();

    CMeskUiStyle();
    ~CMeskUiStyle() override;

    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
    QPixmap standardPixmap(StandardPixmap id, const QStyleOption* option = nullptr,
                           const QWidget* widget = nullptr) const override;

    // The product colour role (0 to 50), opaque; an invalid colour for any other number.
    // Hides the common style's colour table, which the common widgets keep using.
    static QColor color(int role);

private:
    // The widget's "com_velto_mesk_qstyleRole" without the "mesk.uilibrary." prefix; empty for a
    // null widget, no property or a value without the (case-sensitive) prefix.
    static QString productRole(const QWidget* widget);

    CQuorLazyPixmap m_appIcon;
    CQuorLazyPixmap m_smallAvatarShadow;
    CQuorLazyPixmap m_normalAvatarShadow;
    CQuorLazyPixmap m_thumbnailShadow;
    CQuorLazyPixmap m_postDialogShadow;
};
