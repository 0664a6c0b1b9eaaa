#include "style/quorcommonstyle.h"

#include "style/quorimages.h"

#include <QApplication>
#include <QFont>
#include <QPalette>
#include <QSettings>
#include <QStyleFactory>
#include <QTransform>
#include <QVariant>
#include <QWidget>

namespace {

const QString kImageRoot = QStringLiteral(":/QuorCommonStyle/Images/");
const QLatin1String kRolePrefix("quor.commonuilibrary.");
const char* const kRoleProperty = "com_velto_qstyleRole";
const QString kStyleFamily = QStringLiteral("Velto Standard Multiscript");

const char* const kStateSuffixes[4] = {"_normal.png", "_pressed.png", "_hover.png", "_disabled.png"};
const char* const kIndicatorSuffixes[5] = {"_unchecked_rollover.png", "_unchecked.png",
                                           "_checked_rollover.png", "_checked.png", "_disabled.png"};

// The built-in "Windows" style, or "Fusion" where a build of Qt lacks it.
QStyle* createBaseStyle()
{
    QStyle* base = QStyleFactory::create(QStringLiteral("Windows"));
    if (!base)
        base = QStyleFactory::create(QStringLiteral("Fusion"));
    return base;
}

// Loaded on first use.
CQuorLazyPixmap image(const QString& relativePath)
{
    return CQuorLazyPixmap::fromPath(kImageRoot + relativePath);
}

// The source mirrored left to right, made on first use.
CQuorLazyPixmap mirroredLater(const CQuorLazyPixmap& source)
{
    return CQuorLazyPixmap::fromFunction([&source] { return mirroredPixmap(source); });
}

// Fills consecutive slots of an image array with "base" + each suffix.
template <typename Array, size_t N>
void loadStates(Array& target, size_t first, const QString& base, const char* const (&suffixes)[N])
{
    for (size_t i = 0; i < N; ++i)
        target.at(first + i) = image(base + QLatin1String(suffixes[i]));
}

} // namespace

CQuorCommonStyle::CQuorCommonStyle() : QProxyStyle(createBaseStyle())
{
    // The style's font family is drawn with DejaVu Sans; QFont::family() keeps the requested name.
    QFont::insertSubstitution(kStyleFamily, QStringLiteral("DejaVu Sans"));

    loadStates(m_scrollBarGroove, 0, QStringLiteral("ScrollBar/Horizontal/Horizontal_Background"),
               kStateSuffixes);
    loadStates(m_scrollBarGroove, 4, QStringLiteral("ScrollBar/Vertical/Vertical_Background"),
               kStateSuffixes);
    loadStates(m_scrollBarSlider, 0, QStringLiteral("ScrollBar/Horizontal/Horizontal_Slider"),
               kStateSuffixes);
    loadStates(m_scrollBarSlider, 4, QStringLiteral("ScrollBar/Vertical/Vertical_Slider"), kStateSuffixes);
    loadStates(m_scrollBarArrows, 0, QStringLiteral("ScrollBar/Horizontal/Horizontal_Button_Left"),
               kStateSuffixes);
    loadStates(m_scrollBarArrows, 4, QStringLiteral("ScrollBar/Horizontal/Horizontal_Button_Right"),
               kStateSuffixes);
    loadStates(m_scrollBarArrows, 8, QStringLiteral("ScrollBar/Vertical/Vertical_Button_Up"), kStateSuffixes);
    loadStates(m_scrollBarArrows, 12, QStringLiteral("ScrollBar/Vertical/Vertical_Button_Down"),
               kStateSuffixes);

    m_titleBarIcon = image(QStringLiteral("MainWindow/titleBarIcon.png"));
    m_mainToolBar = image(QStringLiteral("MainWindow/toolBar.png"));
    m_wizardTop = image(QStringLiteral("SecondaryWindow/WizardTop.png"));
    m_tabViewTop = image(QStringLiteral("SecondaryWindow/TabViewTop.png"));
    m_secondaryBottom = image(QStringLiteral("SecondaryWindow/Bottom.png"));
    m_dialogTopYellow = image(QStringLiteral("Dialog/yellow_top.png"));
    m_dialogTopGray = image(QStringLiteral("Dialog/gray_top.png"));
    m_dialogTopBlue = image(QStringLiteral("Dialog/blue_top.png"));
    m_dialogTopPurple = image(QStringLiteral("Dialog/purple_top.png"));
    const char* const lmr[3] = {"L.png", "M.png", "R.png"};
    loadStates(m_mainFrameTop, 0, QStringLiteral("MainWindow/mainframeTop"), lmr);
    loadStates(m_mainFrameBottom, 0, QStringLiteral("MainWindow/mainframeBottom"), lmr);
    m_sizeGrip = image(QStringLiteral("MainWindow/sizeGrip.png"));
    m_phonePaneBall = image(QStringLiteral("Carousel/phonepaneBall.png"));
    const char* const npd[3] = {"_normal.png", "_pressed.png", "_hover.png"};
    loadStates(m_comboBox, 0, QStringLiteral("ComboBox/ComboBox"), npd);
    m_listShadow = image(QStringLiteral("ComboBox/ListShadow.png"));

    // Application icon: both sizes in mode Normal, state Off (loaded at its first request).
    m_iconSources.insert(SP_QuorApplicationIcon, {QString(), true});

    const char* const stateNames[4] = {"normal", "pressed", "hover", "disabled"};
    const QColor black(138, 138, 138), blackLow(67, 67, 67), white(255, 255, 255), whiteLow(225, 225, 225);
    auto loadFace = [&](GradientFace& face, const QString& name, const QColor& top, const QColor& bottom) {
        for (int s = 0; s < 4; ++s) {
            QColor t = s == ImagePressed ? bottom : top;
            QColor b = s == ImagePressed ? top : bottom;
            if (s == ImageDisabled) {
                t.setAlpha(102);
                b.setAlpha(102);
            }
            SLazyGradientImage& slot = face.at(static_cast<size_t>(s));
            slot.image = {QPixmap(), t, b};
            slot.source =
                image(QStringLiteral("GradientButton/%1_%2.png").arg(name, QLatin1String(stateNames[s])));
        }
    };
    loadFace(m_gradientBlack, QStringLiteral("Black"), black, blackLow);
    loadFace(m_gradientWhite, QStringLiteral("White"), white, whiteLow);
    loadFace(m_gradientToolbar, QStringLiteral("Toolbar"), white, whiteLow);

    const struct
    {
        quint32 key;
        const char* base;
    } stateIcons[] = {
        {SP_QuorTitleClose, "MainWindow/title_close"},
        {SP_TitleBarCloseButton, "MainWindow/title_close"},
        {SP_TitleBarMinButton, "MainWindow/title_min"},
        {SP_TitleBarMaxButton, "MainWindow/title_max"},
        {SP_TitleBarNormalButton, "MainWindow/title_rst"},
        {SP_QuorCloseDark, "SecondaryWindow/close_alone_dark"},
        {SP_QuorCloseLight, "CommonIcons/close_alone_light"},
        {SP_QuorTextLink, "SecondaryButton/TextLink/textlink"},
        {SP_QuorSecondaryButton, "SecondaryButton/Default/SecondaryButton"},
        {SP_QuorAdd, "CommonIcons/add_17x17"},
        {SP_QuorSave, "CommonIcons/Save"},
        {SP_QuorDelete, "CommonIcons/Delete"},
        {SP_QuorCancel, "CommonIcons/Cancel"},
        {SP_TrashIcon, "CommonIcons/trash_16x16"},
        {SP_QuorSearch, "CommonIcons/Search"},
    };
    for (const auto& entry : stateIcons)
        m_iconSources.insert(entry.key, {QLatin1String(entry.base), false});
    m_titleBarPixmaps = {SP_TitleBarCloseButton, SP_TitleBarMinButton, SP_TitleBarMaxButton,
                         SP_TitleBarNormalButton};

    const struct
    {
        quint32 key;
        const char* path;
    } dndImages[] = {
        {SP_QuorDndBubble, "DnD/DnD_Bubble.png"},
        {SP_QuorDndCopy, "DnD/DnD_Copy.png"},
        {SP_QuorDndMove, "DnD/DnD_Move.png"},
        {SP_QuorDndNotAllowed, "DnD/DnD_NotAllowed.png"},
        {SP_QuorDndPaper, "DnD/DnD_Paper.png"},
        {SP_QuorDndMouseCursor, "DnD/MouseCursor.png"},
        {SP_QuorDndSemiBubble, "DnD/DnD_semitrans_bubble.png"},
        {SP_QuorDndSemiMove, "DnD/DnD_semitrans_Move.png"},
        {SP_QuorDndSemiCopy, "DnD/DnD_semitrans_Copy.png"},
        {SP_QuorDndSemiNotAllowed, "DnD/DnD_semitrans_NotAllowed.png"},
    };
    for (const auto& entry : dndImages)
        m_dragAndDrop.insert(entry.key, image(QLatin1String(entry.path)));

    m_mainWindowShadow = image(QStringLiteral("MainWindow/mainframe-shadow.png"));
    m_menuShadow = image(QStringLiteral("Menu/menu.png"));
    m_menuHighlight = image(QStringLiteral("Menu/menu_highlight.png"));
    m_submenuArrow[0] = image(QStringLiteral("Menu/arrow_to_right_normal.png"));
    m_submenuArrow[1] = image(QStringLiteral("Menu/arrow_to_right_selected.png"));
    m_submenuArrow[2] = m_submenuArrow[1];
    m_submenuArrow[3] = image(QStringLiteral("Menu/arrow_to_right_disabled.png"));
    m_menuButtonArrow = image(QStringLiteral("MenuButton/arrow_down.png"));
    for (size_t i = 0; i < m_waitFrames.size(); ++i)
        m_waitFrames.at(i) = image(QStringLiteral("WaitAnimation/progress%1.png").arg(i));
    m_lineEditBorder = image(QStringLiteral("LineEdit/border_active.png"));
    m_lineEditBorderFocus = image(QStringLiteral("LineEdit/border_active_in.png"));
    m_filterBorder = image(QStringLiteral("LineEdit/filterBorder.png"));
    m_progressBackground = image(QStringLiteral("ProgressBar/progbar_bg.png"));
    m_progressProgress = image(QStringLiteral("ProgressBar/progbar_progress.png"));
    m_progressBusyPattern = image(QStringLiteral("ProgressBar/progbar_busy_pattern.png"));
    m_progressV2Background = image(QStringLiteral("ProgressBar/ProgressBarV2_bg.png"));
    m_progressV2Fill = image(QStringLiteral("ProgressBar/ProgressBarV2_fill.png"));
    m_progressV2FillCap = image(QStringLiteral("ProgressBar/ProgressBarV2_fillcap.png"));
    m_progressV2Busy = image(QStringLiteral("ProgressBar/ProgressBarV2_busy.png"));

    const char* const phases[4] = {"CurrentDark", "CurrentLight", "Past", "Future"};
    const char* const phaseParts[3] = {"_left.png", "_middle.png", "_right.png"};
    for (size_t i = 0; i < m_phased.size(); ++i)
        loadStates(m_phased.at(i), 0, QStringLiteral("PhasedProgressBar/") + QLatin1String(phases[i]),
                   phaseParts);
    loadStates(m_checkBox, 0, QStringLiteral("CheckBox/checkbox"), kIndicatorSuffixes);
    loadStates(m_checkBoxSpecial, 0, QStringLiteral("CheckBoxSpecial/checkboxspecial"), kIndicatorSuffixes);
    loadStates(m_radioButton, 0, QStringLiteral("RadioButton/radiobutton"), kIndicatorSuffixes);
    const char* const tipParts[3] = {"_Left.png", "_Middle.png", "_Right.png"};
    loadStates(m_actionToolTip, 0, QStringLiteral("ActionToolTip/ActionToolTip"), tipParts);
    m_actionToolTipPointer = image(QStringLiteral("ActionToolTip/ActionToolTip_Pointer.png"));
    m_restoreArrow = image(QStringLiteral("RestoreToolTip/restore_arrow.png"));
    m_toolTip = image(QStringLiteral("ToolTip/ToolTip.png"));
    m_toolTipBackground = image(QStringLiteral("ToolTip/ToolTip_bg.png"));
    m_toolTipArrowUp = image(QStringLiteral("ToolTip/ToolTip_Arrow_Up.png"));
    m_toolTipArrowDown = image(QStringLiteral("ToolTip/ToolTip_Arrow_Down.png"));
    m_toolTipArrowed = image(QStringLiteral("ToolTip/ToolTip_Arrowed.png"));
    m_musicProgressBackground = image(QStringLiteral("Music/music_player_progress_bg.png"));
    m_musicProgressFill = image(QStringLiteral("Music/music_player_progress_fill.png"));
    m_toastBackground = image(QStringLiteral("Toast/Background.png"));
    m_paneHeader = image(QStringLiteral("Backgrounds/pane_header_bg.png"));
    const char* const segmentStates[2] = {"_normal.png", "_pressed.png"};
    loadStates(m_optionGroup, 0, QStringLiteral("OptionGroup/toggle_left"), segmentStates);
    loadStates(m_optionGroup, 2, QStringLiteral("OptionGroup/toggle_middle"), segmentStates);
    loadStates(m_optionGroup, 4, QStringLiteral("OptionGroup/toggle_right"), segmentStates);
    m_carouselHandle = image(QStringLiteral("Splitters/carouselHandle.png"));
    m_hoverHandle = image(QStringLiteral("Splitters/hoverHandle.png"));
    m_bridgeSelection = image(QStringLiteral("Bridge/Bridge_mouseover_and_selected_bg.png"));
    m_verticalMakkara = image(QStringLiteral("Backgrounds/vertical_makkara.png"));
    m_textHighlightBubble = image(QStringLiteral("Backgrounds/textHighlightBubble.png"));
    m_recipientPopup = image(QStringLiteral("Backgrounds/recipient_popup.png"));
    m_homeBackground = image(QStringLiteral("Backgrounds/home_bg.png"));
    m_homeBackgroundHover = image(QStringLiteral("Backgrounds/home_bg_mouseover.png"));
    m_tabSelected = image(QStringLiteral("TabWidget/tab_selected.png"));
    m_tabUnselected = image(QStringLiteral("TabWidget/tab_unselected.png"));
    loadStates(m_sliderHandle, 0, QStringLiteral("Slider/Handle"), kStateSuffixes);
    loadStates(m_sliderGroove, 0, QStringLiteral("Slider/Groove"), kStateSuffixes);
    loadStates(m_syncButton, 0, QStringLiteral("SyncButton/sync"), npd);
    loadStates(m_smallSyncButton, 0, QStringLiteral("SyncButton/smallsync"), npd);

    // Images drawn mirrored or turned are made once, at their first use (the sources are members
    // of this style and stay put).
    for (size_t i = 0; i < m_comboBox.size(); ++i)
        m_comboBoxMirrored.at(i) = mirroredLater(m_comboBox.at(i));
    for (size_t i = 0; i < m_submenuArrow.size(); ++i)
        m_submenuArrowMirrored.at(i) = mirroredLater(m_submenuArrow.at(i));
    for (size_t i = 0; i < m_waitFrames.size(); ++i)
        m_waitFramesMirrored.at(i) = mirroredLater(m_waitFrames.at(i));
    for (size_t i = 0; i < m_sliderGroove.size(); ++i) {
        const CQuorLazyPixmap& groove = m_sliderGroove.at(i);
        m_sliderGrooveVertical.at(i) = CQuorLazyPixmap::fromFunction(
            [&groove] { return transformedPixmap(groove, QTransform().rotate(90)); });
    }
    m_progressV2FillCapMirrored = mirroredLater(m_progressV2FillCap);
    m_restoreArrowMirrored = mirroredLater(m_restoreArrow);
    m_hoverHandleMirrored = mirroredLater(m_hoverHandle);
    m_tabSelectedMirrored = mirroredLater(m_tabSelected);
    m_tabUnselectedMirrored = mirroredLater(m_tabUnselected);

    m_margins = {
        {MarginsWindowShadow, {18, 10, 18, 32}}, {MarginsComboBox, {12, 5, 25, 5}},
        {MarginsListShadow, {7, 6, 7, 11}},      {MarginsSyncButton, {16, 0, 16, 0}},
        {MarginsRestoreArrow, {35, 0, 20, 0}},   {MarginsSmallSyncButton, {14, 0, 14, 0}},
        {MarginsToolTip, {9, 5, 8, 11}},         {MarginsToolTipArrowed, {11, 18, 13, 22}},
        {MarginsLineEdit, {10, 6, 10, 8}},       {MarginsOptionGroup, {6, 0, 6, 0}},
    };
    m_toolTipArrowOffset = 10;

    m_colors = defaultColors();

    // Languages with large glyphs get larger fonts. The setting is only read here.
    const QSettings settings(QStringLiteral("Velto"), QStringLiteral("Velto Lumesk"));
    const QVariant language = settings.value(QStringLiteral("Current Language"));
    if (language.isValid()) {
        const QString code = language.toString();
        m_largeFonts = code == QLatin1String("chi-hk") || code == QLatin1String("chi-sc") ||
                       code == QLatin1String("chi-tc") || code == QLatin1String("jpn");
    }
}

CQuorCommonStyle::~CQuorCommonStyle() = default;

QString CQuorCommonStyle::imageRoot()
{
    return kImageRoot;
}

const SGradientButtonImage& CQuorCommonStyle::gradientButtonImage(TGradientFace face, TImageState state) const
{
    const GradientFace& images = face == FaceBlack   ? m_gradientBlack
                                 : face == FaceWhite ? m_gradientWhite
                                                     : m_gradientToolbar;
    const SLazyGradientImage& slot = images.at(static_cast<size_t>(state));
    if (!slot.loaded) {
        slot.image.pixmap = slot.source.get();
        slot.loaded = true;
    }
    return slot.image;
}

bool CQuorCommonStyle::ensureTableIcon(quint32 key) const
{
    if (m_icons.contains(key))
        return true;
    const auto source = m_iconSources.constFind(key);
    if (source == m_iconSources.cend())
        return false;
    if (source->applicationIcon) {
        QIcon appIcon;
        appIcon.addPixmap(QuorImages::pixmap(kImageRoot + QStringLiteral("MainWindow/quor_16x16.png")));
        appIcon.addPixmap(QuorImages::pixmap(kImageRoot + QStringLiteral("MainWindow/quor_48x48.png")));
        m_icons.insert(key, appIcon);
        m_iconSizes.insert(key, QSize(48, 48));
    } else {
        m_icons.insert(key, loadStateIcon(source->baseName, true, key));
    }
    return true;
}

QIcon CQuorCommonStyle::tableIcon(quint32 key) const
{
    return ensureTableIcon(key) ? m_icons.value(key) : QIcon();
}

QSize CQuorCommonStyle::tableIconSize(quint32 key) const
{
    return ensureTableIcon(key) ? m_iconSizes.value(key) : QSize();
}

QIcon CQuorCommonStyle::loadStateIcon(const QString& baseName, bool recordSize, quint32 key) const
{
    static const struct
    {
        const char* suffix;
        QIcon::Mode mode;
    } states[] = {
        {"_normal.png", QIcon::Normal},
        {"_hover.png", QIcon::Active},
        {"_pressed.png", QIcon::Selected},
        {"_disabled.png", QIcon::Disabled},
    };
    QIcon icon;
    QSize lastLoaded;
    for (const auto& state : states) {
        // The recorded size is the logical size of the last image that loaded.
        const QPixmap pixmap = QuorImages::pixmap(kImageRoot + baseName + QLatin1String(state.suffix));
        if (!pixmap.isNull()) {
            icon.addPixmap(pixmap, state.mode, QIcon::Off);
            lastLoaded = logicalSize(pixmap);
        }
    }
    if (recordSize)
        m_iconSizes.insert(key, lastLoaded);
    return icon;
}

QString CQuorCommonStyle::styleRole(const QWidget* widget)
{
    if (!widget)
        return {};
    const QString role = widget->property(kRoleProperty).toString();
    if (role.isEmpty() || !role.startsWith(kRolePrefix))
        return {};
    return role.right(role.size() - kRolePrefix.size());
}

QMap<int, QColor> CQuorCommonStyle::defaultColors()
{
    return {
        {0, QColor(255, 255, 255)},  {1, QColor(187, 188, 186)},  {2, QColor(248, 248, 248)},
        {3, QColor(156, 156, 156)},  {4, QColor(170, 221, 255)},  {5, QColor(255, 238, 17)},
        {6, QColor(68, 170, 51)},    {7, QColor(187, 0, 136)},    {8, QColor(0, 0, 119)},
        {9, QColor(221, 221, 221)},  {10, QColor(186, 186, 186)}, {11, QColor(99, 99, 99)},
        {12, QColor(92, 156, 42)},   {13, QColor(222, 222, 223)}, {14, QColor(247, 247, 247)},
        {15, QColor(131, 131, 131)}, {16, QColor(51, 51, 51)},    {17, QColor(167, 167, 167)},
        {18, QColor(235, 235, 236)},
    };
}

QColor CQuorCommonStyle::color(int index) const
{
    return m_colors.value(index);
}

void CQuorCommonStyle::setColors(const QMap<int, QColor>& colors)
{
    m_colors.insert(colors);
}

SNinePatchMargins CQuorCommonStyle::ninePatchMargins(int key) const
{
    return m_margins.value(key);
}

QPixmap CQuorCommonStyle::directionalPixmap(const QPixmap& pixmap) const
{
    return QApplication::layoutDirection() == Qt::RightToLeft ? mirroredPixmap(pixmap) : pixmap;
}

void CQuorCommonStyle::polish(QPalette& palette)
{
    QProxyStyle::polish(palette);
    palette.setColor(QPalette::Base, color(0));
    palette.setColor(QPalette::Window, color(0));
    palette.setColor(QPalette::Active, QPalette::Highlight, color(6));
    palette.setColor(QPalette::Inactive, QPalette::Highlight, QColor(124, 195, 112));
    palette.setColor(QPalette::Active, QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::AlternateBase, color(14));
    palette.setColor(QPalette::Active, QPalette::Text, color(16));
    palette.setColor(QPalette::Inactive, QPalette::Text, color(16));
    palette.setColor(QPalette::Active, QPalette::WindowText, color(16));
    palette.setColor(QPalette::Inactive, QPalette::WindowText, color(16));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, color(9));
    palette.setColor(QPalette::ButtonText, color(16));
    palette.setColor(QPalette::Mid, color(1));
}
