#pragma once

#include "style/quorimages.h"
#include "style/quorpainting.h"
#include "style/quorstyleoptions.h"

#include <QColor>
#include <QIcon>
#include <QList>
#include <QMap>
#include <QPixmap>
#include <QPoint>
#include <QPointer>
#include <QProgressBar>
#include <QProxyStyle>
#include <QSet>
#include <QSize>
#include <QString>

#include <array>

class QFont;
class QPainter;
class QPalette;
class QWidget;

// One face of a gradient button in one state: the frame drawn as a nine-patch over the body,
// and the colours of the vertical gradient that fills the body.
struct SGradientButtonImage
{
    QPixmap pixmap;
    QColor topColor;
    QColor bottomColor;
};

// The application style: draws the toolkit widgets from images compiled in under
// ":/QuorCommonStyle/Images/", chooses looks by a widget's style role and fonts by its font
// role. It wraps the built-in "Windows" style; whatever it does not answer itself goes there.
class CQuorCommonStyle : public QProxyStyle
{
    Q_OBJECT

public:
    // Custom standard pixmaps (QStyle::StandardPixmap values) and the keys of the icon,
    // icon-size and drag-and-drop tables.
    enum TQuorPixmap : unsigned int
    {
        SP_QuorShadow = QStyle::SP_CustomBase + 0,     // window, menu or list shadow image
        SP_QuorTitleClose = QStyle::SP_CustomBase + 1, // "MainWindow/title_close"
        SP_QuorWaitFrame = QStyle::SP_CustomBase + 2,  // wait animation frame
        SP_QuorCloseDark = QStyle::SP_CustomBase + 3,  // dark close cross
        SP_QuorTextLink = QStyle::SP_CustomBase + 4,   // text-link button icon
        SP_QuorSecondaryButton = QStyle::SP_CustomBase + 5,
        SP_QuorAdd = QStyle::SP_CustomBase + 6,
        SP_QuorCancel = QStyle::SP_CustomBase + 7,
        SP_QuorSave = QStyle::SP_CustomBase + 8,
        SP_QuorDelete = QStyle::SP_CustomBase + 9,
        SP_QuorCloseLight = QStyle::SP_CustomBase + 10, // light close cross (Normal, Active only)
        SP_QuorDndBubble = QStyle::SP_CustomBase + 11,
        SP_QuorDndCopy = QStyle::SP_CustomBase + 12,
        SP_QuorDndMove = QStyle::SP_CustomBase + 13,
        SP_QuorDndNotAllowed = QStyle::SP_CustomBase + 14,
        SP_QuorDndPaper = QStyle::SP_CustomBase + 15,
        SP_QuorDndMouseCursor = QStyle::SP_CustomBase + 16,
        SP_QuorSearch = QStyle::SP_CustomBase + 17,
        SP_QuorDndSemiBubble = QStyle::SP_CustomBase + 18,
        SP_QuorDndSemiMove = QStyle::SP_CustomBase + 19,
        SP_QuorDndSemiCopy = QStyle::SP_CustomBase + 20,
        SP_QuorDndSemiNotAllowed = QStyle::SP_CustomBase + 21,
        SP_QuorTextHighlightBubble = QStyle::SP_CustomBase + 22,
        SP_QuorApplicationIcon = QStyle::SP_CustomBase + 23,
    };

    // Index of a four-state image array (normal, pressed, hover, disabled).
    enum TImageState : int
    {
        ImageNormal = 0,
        ImagePressed = 1,
        ImageHover = 2,
        ImageDisabled = 3
    };
    // Index of a five-state indicator array (check boxes, radio buttons).
    enum TIndicatorImage : int
    {
        IndicatorUncheckedRollover = 0,
        IndicatorUnchecked = 1,
        IndicatorCheckedRollover = 2,
        IndicatorChecked = 3,
        IndicatorDisabled = 4
    };
    enum TGradientFace : int
    {
        FaceBlack = 0,
        FaceWhite = 1,
        FaceToolbar = 2
    };

    // Key of the margins table for each framed image.
    enum TMarginsKey : int
    {
        MarginsWindowShadow = 0,
        MarginsComboBox = 1,
        MarginsListShadow = 2,
        MarginsSyncButton = 3,
        MarginsRestoreArrow = 4,
        MarginsSmallSyncButton = 5,
        MarginsToolTip = 6,
        MarginsToolTipArrowed = 7,
        MarginsLineEdit = 8,
        MarginsOptionGroup = 9
    };

    CQuorCommonStyle();
    ~CQuorCommonStyle() override;

    // ":/QuorCommonStyle/Images/": the root of every image path of the style.
    static QString imageRoot();

    // The widget's role: its "com_velto_qstyleRole" property without the "quor.commonuilibrary."
    // prefix; empty for a null widget, no property or a value without the prefix.
    static QString styleRole(const QWidget* widget);
    // Applies a font role ("area.widget.part.element") to the font and palette. False, with
    // nothing changed, when the role has fewer than four components.
    bool resolveFontRole(const QString& fontRole, QPalette& palette, QFont& font) const;

    using QProxyStyle::polish;
    void polish(QPalette& palette) override;

    // Colour table.
    static QMap<int, QColor> defaultColors();
    QColor color(int index) const;
    void setColors(const QMap<int, QColor>& colors);

    // Nine-patch margins by key; all zero for an unknown key.
    SNinePatchMargins ninePatchMargins(int key) const;
    // The pixmap mirrored in a right-to-left application, else a copy.
    QPixmap directionalPixmap(const QPixmap& pixmap) const;
    // True when the user's language asks for larger fonts (12-point application font).
    bool largeFonts() const { return m_largeFonts; }
    // Turns the large-font mode on or off; takes effect at the next polish of the application
    // and its widgets. The constructor sets it from the user's language.
    void setLargeFonts(bool large) { m_largeFonts = large; }

    // ---- Metrics, rectangles, hints, pixmaps and primitive elements ----
    // Custom pixel metrics (QStyle::PixelMetric values).
    enum TQuorMetric : unsigned int
    {
        PM_QuorMainBottomBarHeight = QStyle::PM_CustomBase + 0,
        PM_QuorMainToolBarHeight = QStyle::PM_CustomBase + 1,
        PM_QuorWaitFrameCount = QStyle::PM_CustomBase + 2,
        PM_QuorSecondaryBottomBarHeight = QStyle::PM_CustomBase + 3,
        PM_QuorPhonePaneBallHeight = QStyle::PM_CustomBase + 4,
        PM_QuorActionToolTipPointerHeight = QStyle::PM_CustomBase + 5,
        PM_QuorActionToolTipMinWidth = QStyle::PM_CustomBase + 6,
        PM_QuorArrowTipOffset = QStyle::PM_CustomBase + 7, // with a CQuorStyleOptionArrowTip
        PM_QuorPaneHeaderHeight = QStyle::PM_CustomBase + 8,
        PM_QuorPhasedProgressBarHeight = QStyle::PM_CustomBase + 9,
        PM_QuorProgressBarTextSpacing = QStyle::PM_CustomBase + 10,
        PM_QuorMetric11 = QStyle::PM_CustomBase + 11, // 11, 13 with large fonts
        PM_QuorMetric12 = QStyle::PM_CustomBase + 12, // 10, 12 with large fonts
        PM_QuorMetric13 = QStyle::PM_CustomBase + 13, // 41
        PM_QuorMetric14 = QStyle::PM_CustomBase + 14, // 7
        PM_QuorSplitterHandleWidth = QStyle::PM_CustomBase + 15,
        PM_QuorMetric16 = QStyle::PM_CustomBase + 16, // 8
        PM_QuorFilterLineEditMargin = QStyle::PM_CustomBase + 17,
        PM_QuorArrowTipAboveOffset = QStyle::PM_CustomBase + 18,
    };
    // Custom style hints (QStyle::StyleHint values).
    enum TQuorHint : unsigned int
    {
        SH_QuorPixmapSize = QStyle::SH_CustomBase + 0,      // SQuorSizeHintReturn
        SH_QuorColor15 = QStyle::SH_CustomBase + 1,         // RGBA of colour 15
        SH_QuorGreenBackground = QStyle::SH_CustomBase + 2, // RGBA (218, 238, 214)
        SH_QuorGrayBackground = QStyle::SH_CustomBase + 3,  // RGBA (242, 242, 242)
        SH_QuorContentMargins = QStyle::SH_CustomBase + 4,  // SQuorMarginsHintReturn
        SH_QuorFontRole = QStyle::SH_CustomBase + 5,        // SQuorFontHintReturn
    };
    // Custom primitive elements (QStyle::PrimitiveElement values).
    enum TQuorPrimitive : unsigned int
    {
        PE_QuorMainBottomBar = QStyle::PE_CustomBase + 0,
        PE_QuorToolTipFrame = QStyle::PE_CustomBase + 1,
        PE_QuorPopupFrame = QStyle::PE_CustomBase + 2,  // CQuorStyleOptionPopupFrame
        PE_QuorPopupFrame2 = QStyle::PE_CustomBase + 3, // the same
        PE_QuorPanel = QStyle::PE_CustomBase + 4,
        PE_QuorPanel2 = QStyle::PE_CustomBase + 5, // the same
        PE_QuorSplitterHoverHandle = QStyle::PE_CustomBase + 6,
    };
    // Custom sub-elements (QStyle::SubElement values).
    enum TQuorSubElement : unsigned int
    {
        SE_QuorListItemIcon = QStyle::SE_CustomBase + 0, // CQuorStyleOptionListItem
        SE_QuorInsetContents = QStyle::SE_CustomBase + 1,
    };

    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& contentsSize,
                           const QWidget* widget = nullptr) const override;
    QRect subElementRect(SubElement element, const QStyleOption* option,
                         const QWidget* widget = nullptr) const override;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl subControl,
                         const QWidget* widget = nullptr) const override;
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
    QPixmap standardPixmap(StandardPixmap id, const QStyleOption* option = nullptr,
                           const QWidget* widget = nullptr) const override;
    QIcon standardIcon(StandardPixmap id, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;

    // Left, middle and right pixmaps across the rectangle: the ends at their size, the middle
    // stretched between them. The pointer addresses three consecutive pixmaps.
    static void drawThreePartPixmap(QPainter* painter, const QRect& rect, const QPixmap* pixmaps);
    static void drawThreePartPixmap(QPainter* painter, const QRect& rect,
                                    const std::array<CQuorLazyPixmap, 3>& pixmaps);
    // One face of a gradient button: the gradient body under the nine-patch frame.
    static void drawGradientButtonFace(QPainter* painter, const QStyleOption* option,
                                       const SGradientButtonImage& image);
    // Index into a four-state image set (TImageState) for the option's state.
    static int stateImageIndex(QStyle::State state);
    // True when the application has an active window.
    static bool hasActiveWindow();

protected:
    // Parts of drawPrimitive.
    bool drawFrame(const QStyleOption* option, QPainter* painter, const QWidget* widget,
                   const QString& role) const;
    void drawIndicator(bool radio, const QStyleOption* option, QPainter* painter, const QWidget* widget,
                       const QString& role) const;
    void drawToolTipFrame(const QStyleOption* option, QPainter* painter, const QString& role) const;
    void drawActionToolTip(const QStyleOption* option, QPainter* painter) const;
    void drawListPopupItemPanel(const QStyleOptionViewItem* item, QPainter* painter,
                                const QWidget* widget) const;

public:
    // ---- end of metrics, rectangles, hints, pixmaps and primitive elements ----

    // Read access to the icon and image tables; an icon's images load at its first request.
    // Keys are QStyle::StandardPixmap or TQuorPixmap values.
    bool hasTableIcon(quint32 key) const { return m_iconSources.contains(key); }
    QIcon tableIcon(quint32 key) const;
    QSize tableIconSize(quint32 key) const;
    QPixmap dragAndDropPixmap(quint32 key) const
    {
        const auto it = m_dragAndDrop.constFind(key);
        return it == m_dragAndDrop.cend() ? QPixmap() : it->get();
    }
    bool isTitleBarPixmap(quint32 key) const { return m_titleBarPixmaps.contains(key); }
    const SGradientButtonImage& gradientButtonImage(TGradientFace face, TImageState state) const;
    const QPixmap& submenuArrow(int index) const { return m_submenuArrow.at(static_cast<size_t>(index)); }
    int toolTipArrowOffset() const { return m_toolTipArrowOffset; }

protected:
    // Builds an icon from the "_normal", "_hover", "_pressed" and "_disabled" images of a base
    // name (modes Normal, Active, Selected, Disabled); with recordSize, the size of the last
    // image that loaded goes into the icon-size table under the key.
    QIcon loadStateIcon(const QString& baseName, bool recordSize, quint32 key) const;

    using Pixmaps3 = std::array<CQuorLazyPixmap, 3>;
    using Pixmaps4 = std::array<CQuorLazyPixmap, 4>;
    using Pixmaps5 = std::array<CQuorLazyPixmap, 5>;
    // One state of a gradient face: the colours are set at construction, the frame image loads
    // when the face is first drawn.
    struct SLazyGradientImage
    {
        CQuorLazyPixmap source;
        mutable SGradientButtonImage image;
        mutable bool loaded = false;
    };
    using GradientFace = std::array<SLazyGradientImage, 4>;
    // An icon of the table: its images' base name (or the application icon's pair), loaded into
    // m_icons and m_iconSizes at the icon's first request.
    struct SIconSource
    {
        QString baseName;
        bool applicationIcon = false;
    };
    // Loads the table icon of the key on its first request; false for a key the table lacks.
    bool ensureTableIcon(quint32 key) const;

    // Images, each loaded (or made) on its first use and kept. Four-state arrays are indexed by TImageState,
    // indicator arrays by TIndicatorImage.
    std::array<CQuorLazyPixmap, 8> m_scrollBarGroove;  // [0..3] horizontal, [4..7] vertical
    std::array<CQuorLazyPixmap, 8> m_scrollBarSlider;  // [0..3] horizontal, [4..7] vertical
    std::array<CQuorLazyPixmap, 16> m_scrollBarArrows; // left, right, up, down; four states each
    CQuorLazyPixmap m_titleBarIcon;
    CQuorLazyPixmap m_mainToolBar;
    CQuorLazyPixmap m_wizardTop;
    CQuorLazyPixmap m_tabViewTop;
    CQuorLazyPixmap m_secondaryBottom;
    CQuorLazyPixmap m_dialogTopYellow;
    CQuorLazyPixmap m_dialogTopGray;
    CQuorLazyPixmap m_dialogTopBlue;
    CQuorLazyPixmap m_dialogTopPurple;
    Pixmaps3 m_mainFrameTop;    // left, middle, right
    Pixmaps3 m_mainFrameBottom; // left, middle, right
    CQuorLazyPixmap m_sizeGrip;
    CQuorLazyPixmap m_phonePaneBall;
    Pixmaps3 m_comboBox; // normal, pressed, hover
    Pixmaps3 m_comboBoxMirrored;
    CQuorLazyPixmap m_listShadow;
    GradientFace m_gradientBlack;
    GradientFace m_gradientWhite;
    GradientFace m_gradientToolbar;
    QMap<quint32, SIconSource> m_iconSources;
    mutable QMap<quint32, QIcon> m_icons;
    mutable QMap<quint32, QSize> m_iconSizes;
    QMap<quint32, CQuorLazyPixmap> m_dragAndDrop;
    QSet<quint32> m_titleBarPixmaps; // icons returned mirrored in right-to-left layouts
    // Those icons mirrored, made at their first right-to-left use and kept with the cache key of
    // the icon and the device pixel ratio they were made from.
    struct SMirroredIcon
    {
        qint64 sourceKey = 0;
        qreal ratio = 0;
        QIcon icon;
    };
    mutable QMap<quint32, SMirroredIcon> m_mirroredIcons;
    CQuorLazyPixmap m_mainWindowShadow;
    CQuorLazyPixmap m_menuShadow;
    CQuorLazyPixmap m_menuHighlight;
    Pixmaps4 m_submenuArrow; // normal, selected, selected (copy), disabled
    Pixmaps4 m_submenuArrowMirrored;
    CQuorLazyPixmap m_menuButtonArrow;
    std::array<CQuorLazyPixmap, 8> m_waitFrames;
    std::array<CQuorLazyPixmap, 8> m_waitFramesMirrored;
    CQuorLazyPixmap m_lineEditBorder;
    CQuorLazyPixmap m_lineEditBorderFocus;
    CQuorLazyPixmap m_filterBorder;
    CQuorLazyPixmap m_progressBackground;
    CQuorLazyPixmap m_progressProgress;
    CQuorLazyPixmap m_progressBusyPattern;
    CQuorLazyPixmap m_progressV2Background;
    CQuorLazyPixmap m_progressV2Fill;
    CQuorLazyPixmap m_progressV2FillCap;
    CQuorLazyPixmap m_progressV2FillCapMirrored;
    CQuorLazyPixmap m_progressV2Busy;
    quint32 m_busyFrame = 0;                          // busy-animation ticks, wrapping
    QList<QPointer<QProgressBar>> m_busyProgressBars; // shown non-phased bars, no duplicates
    int m_busyTimerId = 0;
    std::array<Pixmaps3, 4> m_phased; // current dark, current light, past, future; left, middle, right
    Pixmaps5 m_checkBox;
    Pixmaps5 m_checkBoxSpecial;
    Pixmaps5 m_radioButton;
    Pixmaps3 m_actionToolTip; // left, middle, right
    CQuorLazyPixmap m_actionToolTipPointer;
    CQuorLazyPixmap m_restoreArrow;
    CQuorLazyPixmap m_restoreArrowMirrored;
    CQuorLazyPixmap m_toolTip;
    CQuorLazyPixmap m_toolTipBackground; // not in the image set: stays null
    CQuorLazyPixmap m_toolTipArrowUp;
    CQuorLazyPixmap m_toolTipArrowDown;
    CQuorLazyPixmap m_toolTipArrowed;
    int m_toolTipArrowOffset = 10;
    CQuorLazyPixmap m_musicProgressBackground;
    CQuorLazyPixmap m_musicProgressFill;
    CQuorLazyPixmap m_toastBackground;
    CQuorLazyPixmap m_paneHeader;
    std::array<CQuorLazyPixmap, 6> m_optionGroup; // left, middle, right; normal then pressed each
    CQuorLazyPixmap m_carouselHandle;
    CQuorLazyPixmap m_hoverHandle;
    CQuorLazyPixmap m_hoverHandleMirrored;
    CQuorLazyPixmap m_bridgeSelection;
    CQuorLazyPixmap m_verticalMakkara;
    CQuorLazyPixmap m_textHighlightBubble;
    CQuorLazyPixmap m_recipientPopup;
    CQuorLazyPixmap m_homeBackground;
    CQuorLazyPixmap m_homeBackgroundHover;
    CQuorLazyPixmap m_tabSelected;
    CQuorLazyPixmap m_tabUnselected;
    CQuorLazyPixmap m_tabSelectedMirrored;
    CQuorLazyPixmap m_tabUnselectedMirrored;
    Pixmaps4 m_sliderHandle;
    Pixmaps4 m_sliderGroove;
    // The grooves turned for vertical sliders.
    Pixmaps4 m_sliderGrooveVertical;
    Pixmaps3 m_syncButton;      // normal, pressed, hover
    Pixmaps3 m_smallSyncButton; // normal, pressed, hover

    // Mnemonic display and menu tracking.
    bool m_altKeyDown = false;
    bool m_mnemonicsShown = false;
    QSet<QWidget*> m_menuBars;
    QPoint m_lastMenuMousePos;

    QMap<int, QColor> m_colors;
    QMap<int, SNinePatchMargins> m_margins;
    bool m_largeFonts = false;

    // --- Polish, text drawing, mnemonics, busy animation and control drawing ---
public:
    void polish(QApplication* application) override;
    void unpolish(QApplication* application) override;
    void polish(QWidget* widget) override;
    void unpolish(QWidget* widget) override;
    void drawItemText(QPainter* painter, const QRect& rect, int flags, const QPalette& palette, bool enabled,
                      const QString& text, QPalette::ColorRole textRole = QPalette::NoRole) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget = nullptr) const override;
    // Text with an optional one-pixel shadow below it and, when it does not fit and fade is
    // asked, a fade to transparent over its last 10 pixels (towards the left in right-to-left
    // layouts). The fade shows only with textRole NoRole (a role replaces the pen).
    virtual void drawFadingText(QPainter* painter, const QRect& rect, int flags, const QPalette& palette,
                                bool enabled, const QString& text, bool fade, bool shadow,
                                QPalette::ColorRole textRole) const;
    // Gradient stop where the fade of a text 'overflow' pixels wider than a 'width' pixel
    // rectangle starts; 1.0 for no fade (text that fits, or a rectangle of 10 pixels or less).
    static qreal fadeStop(int overflow, int width);

    // Tracks the Alt key, the mouse over menus and shown progress bars; never consumes events.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // A bar with range 0..0, or one whose "isBusy" property is true.
    static bool isBusyProgressBar(const QProgressBar* bar);
    quint32 busyFrame() const { return m_busyFrame; }
    int busyTimerId() const { return m_busyTimerId; }
    bool showMnemonics() const { return m_altKeyDown; }
    bool popupMnemonics() const { return m_mnemonicsShown; }
    QPoint lastMenuMousePos() const { return m_lastMenuMousePos; }
    bool isTrackedMenuBar(QWidget* menuBar) const { return m_menuBars.contains(menuBar); }
    // Font ids this style registered with the font database (removed again at the next polish).
    QList<int> registeredFontIds() const { return m_fontIds; }

protected:
    void timerEvent(QTimerEvent* event) override;
    void setBusyFrame(quint32 frame) { m_busyFrame = frame; }
    // Parts of drawControl and drawComplexControl.
    void drawPushButtonBevel(const QStyleOption* option, QPainter* painter, const QWidget* widget,
                             const QString& role) const;
    void drawPushButtonLabel(const QStyleOption* option, QPainter* painter, const QWidget* widget,
                             const QString& role) const;
    void drawMenuItem(const QStyleOption* option, QPainter* painter, const QWidget* widget,
                      const QString& role) const;
    void drawMenuBarItem(const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
    void drawProgressBar(const QStyleOption* option, QPainter* painter, const QWidget* widget,
                         const QString& role) const;
    void drawPhasedProgressBar(const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
    void drawItemViewItem(const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
    void drawTextLabel(const QStyleOption* option, QPainter* painter) const;
    void drawScrollBar(const QStyleOptionComplex* option, QPainter* painter, const QWidget* widget) const;
    void drawSlider(const QStyleOptionComplex* option, QPainter* painter, const QWidget* widget) const;
    void drawToolButton(const QStyleOptionComplex* option, QPainter* painter, const QWidget* widget,
                        const QString& role) const;
    void drawTitleBar(const QStyleOptionComplex* option, QPainter* painter, const QWidget* widget,
                      const QString& role) const;
    // AlignVCenter and TextShowMnemonic, plus TextHideMnemonic while shortcuts are not underlined.
    int textFlags(const QStyleOption* option, const QWidget* widget) const;

private:
    void startBusyTimer();
    void stopBusyTimer();
    // Starts the busy animation when the widget is a shown busy bar and the timer is off.
    void busyBarDrawn(const QWidget* widget) const;

    QList<int> m_fontIds;
};
