#include "gallery.h"

#include "facebookgallery.h"
#include "flickrgallery.h"
#include "imediaposting.h"
#include "mainwindow/meskbottombar.h"
#include "mainwindow/meskmaintitlebar.h"
#include "mainwindow/mesktoolbar.h"
#include "meskdialogtitlebar.h"
#include "meskitemwidgets.h"
#include "meskmessagebox.h"
#include "meskpostcommentwidget.h"
#include "meskservicesetupwidget.h"
#include "mesksmallwidgets.h"
#include "mesktextedit.h"
#include "mesktexts.h"
#include "meskthumbnailwidget.h"
#include "meskuistyle.h"
#include "meskvscrollarea.h"
#include "style/quorcommonstyle.h"
#include "style/quorstyleoptions.h"
#include "twittersamples.h"
#include "ui/facebookeventwidget.h"
#include "ui/flickrphotowidget.h"
#include "ui/flickrsetupwidget.h"
#include "ui/twittersetupwidget.h"
#include "ui/twitterstatuswidget.h"
#include "widgets/quoranimationwidget.h"
#include "widgets/quorbuttons.h"
#include "widgets/quorcombobox.h"
#include "widgets/quorlineedit.h"
#include "widgets/quoroptiongroup.h"
#include "widgets/quortextedit.h"
#include "widgets/quortextlabel.h"
#include "windows/quorarrowtooltip.h"
#include "windows/quordialog.h"
#include "windows/quordialogtitlebar.h"
#include "windows/quorpopupwidget.h"
#include "windows/quorsystemmenu.h"
#include "windows/quortooltiplabel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QLinearGradient>
#include <QListView>
#include <QMenu>
#include <QMetaEnum>
#include <QPainter>
#include <QSlider>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStyleHintReturnMask>
#include <QStyleOption>
#include <QTextDocument>
#include <QVBoxLayout>

#include <functional>
#include <memory>

namespace {

// A comment poster that takes every comment and answers when told.
class CGalleryCommentPoster : public IMediaCommentPoster
{
public:
    bool canPost() const override { return true; }
    bool isBusy() const override { return false; }
    bool postComment(const QString&) override { return true; }
};

enum TLook
{
    LookNormal,
    LookHover,
    LookPressed,
    LookDisabled,
    LookRtl,
    LookCount
};
const char* const kLookNames[LookCount] = {"normal", "hover", "pressed", "disabled", "rtl"};

constexpr int kLabelWidth = 250;
constexpr int kCellWidth = 190;
constexpr int kFacebookItemWidth = 360; // a feed column
constexpr int kHeaderHeight = 28;

QStyle::State stateFor(TLook look)
{
    QStyle::State state = QStyle::State_Enabled | QStyle::State_Active;
    if (look == LookHover)
        state |= QStyle::State_MouseOver;
    else if (look == LookPressed)
        state |= QStyle::State_Sunken | QStyle::State_MouseOver;
    else if (look == LookDisabled)
        state &= ~QStyle::State_Enabled;
    return state;
}

Qt::LayoutDirection directionFor(TLook look)
{
    return look == LookRtl ? Qt::RightToLeft : Qt::LeftToRight;
}

using DrawCell = std::function<void(QPainter*, const QRect&, TLook)>;

struct SRow
{
    QString name;
    int height;
    DrawCell draw;
};

// Widgets that only carry a style role (or a class) for the style to read; never shown.
class CRoleWidgets
{
public:
    QWidget* get(const QString& role)
    {
        auto it = m_widgets.find(role);
        if (it != m_widgets.end())
            return it->second.get();
        auto widget = std::make_unique<QWidget>();
        setRole(widget.get(), role);
        QWidget* raw = widget.get();
        m_widgets.emplace(role, std::move(widget));
        return raw;
    }
    QWidget* splitter(const QString& role)
    {
        const QString key = QStringLiteral("splitter:") + role;
        auto it = m_widgets.find(key);
        if (it != m_widgets.end())
            return it->second.get();
        auto widget = std::make_unique<QSplitter>();
        setRole(widget.get(), role);
        QWidget* raw = widget.get();
        m_widgets.emplace(key, std::move(widget));
        return raw;
    }
    static void setRole(QWidget* widget, const QString& role)
    {
        if (!role.isEmpty())
            widget->setProperty("com_velto_qstyleRole", QStringLiteral("quor.commonuilibrary.") + role);
    }

private:
    std::map<QString, std::unique_ptr<QWidget>> m_widgets;
};

template <typename Option> void initOption(Option& option, const QRect& rect, TLook look)
{
    option.rect = rect;
    option.state = stateFor(look);
    option.direction = directionFor(look);
    option.palette = QApplication::palette();
    option.fontMetrics = QFontMetrics(QApplication::font());
}

} // namespace

QImage renderGallery(CMeskUiStyle* style, QStringList* cellNames, const QString& filter)
{
    CRoleWidgets widgets;
    QList<SRow> rows;
    const QIcon addIcon = style->standardIcon(QStyle::StandardPixmap(CQuorCommonStyle::SP_QuorAdd));
    const QIcon searchIcon = style->standardIcon(QStyle::StandardPixmap(CQuorCommonStyle::SP_QuorSearch));
    const QIcon closeIcon = style->standardIcon(QStyle::SP_TitleBarCloseButton);

    // Buttons of every role.
    const QStringList buttonRoles = {
        QStringLiteral("button.gradient.Positive"),
        QStringLiteral("button.gradient.Negative"),
        QStringLiteral("button.gradient.Tool"),
        QStringLiteral("button.gradient"),
        QStringLiteral("button.secondary"),
        QStringLiteral("button.dashboard"),
        QStringLiteral("button.syncall"),
        QStringLiteral("button.optiongroup.first"),
        QStringLiteral("button.optiongroup.middle"),
        QStringLiteral("button.optiongroup.last"),
        QString(),
    };
    for (const QString& role : buttonRoles) {
        rows.append({QStringLiteral("button ") + (role.isEmpty() ? QStringLiteral("(no role)") : role), 46,
                     [&, role](QPainter* p, const QRect& r, TLook look) {
                         QStyleOptionButton option;
                         initOption(option, r.adjusted(8, 6, -8, -6), look);
                         option.text = QStringLiteral("&Button");
                         if (role == QLatin1String("button.secondary")) {
                             option.icon = addIcon;
                             option.iconSize = QSize(17, 17);
                         }
                         if (role.startsWith(QLatin1String("button.optiongroup")) && look == LookPressed)
                             option.state |= QStyle::State_On;
                         QWidget* w = widgets.get(role);
                         style->drawControl(QStyle::CE_PushButtonBevel, &option, p, w);
                         style->drawControl(QStyle::CE_PushButtonLabel, &option, p, w);
                     }});
    }

    // Check boxes and radio buttons.
    for (const bool radio : {false, true}) {
        rows.append({radio ? QStringLiteral("radio button") : QStringLiteral("check box (checkbox)"), 34,
                     [&, radio](QPainter* p, const QRect& r, TLook look) {
                         QStyleOptionButton option;
                         initOption(option, r.adjusted(8, 4, -8, -4), look);
                         option.text = radio ? QStringLiteral("Radio") : QStringLiteral("Check me");
                         option.state |= look == LookPressed ? QStyle::State_On : QStyle::State_Off;
                         style->drawControl(radio ? QStyle::CE_RadioButton : QStyle::CE_CheckBox, &option, p,
                                            widgets.get(QStringLiteral("checkbox")));
                     }});
    }

    // Line edit.
    rows.append(
        {QStringLiteral("line edit (lineedit.textfield)"), 36, [&](QPainter* p, const QRect& r, TLook look) {
             QStyleOptionFrame option;
             initOption(option, r.adjusted(8, 5, -8, -5), look);
             option.lineWidth = 1;
             if (look == LookPressed)
                 option.state |= QStyle::State_HasFocus;
             QWidget* w = widgets.get(QStringLiteral("lineedit.textfield"));
             style->drawPrimitive(QStyle::PE_PanelLineEdit, &option, p, w);
             style->drawItemText(
                 p, option.rect.adjusted(6, 0, -6, 0),
                 int(QStyle::visualAlignment(option.direction, Qt::AlignLeft | Qt::AlignVCenter)),
                 option.palette, look != LookDisabled, QStringLiteral("Text"), QPalette::Text);
         }});

    // Combo box.
    rows.append({QStringLiteral("combo box"), 36, [&](QPainter* p, const QRect& r, TLook look) {
                     QStyleOptionComboBox option;
                     initOption(option, r.adjusted(8, 5, -8, -5), look);
                     option.currentText = QStringLiteral("A rather long choice");
                     option.subControls = QStyle::SC_All;
                     if (look == LookPressed)
                         option.state |= QStyle::State_Selected;
                     QWidget* w = widgets.get(QStringLiteral("combobox"));
                     style->drawComplexControl(QStyle::CC_ComboBox, &option, p, w);
                     style->drawControl(QStyle::CE_ComboBoxLabel, &option, p, w);
                 }});

    // Progress bars.
    struct SBar
    {
        const char* name;
        const char* role;
        int minimum, maximum, progress;
    };
    const SBar bars[] = {
        {"progress busy", "progressbar", 0, 0, 0},
        {"progress half", "progressbar", 0, 100, 50},
        {"progress full", "progressbar", 0, 100, 100},
        {"progress music", "progressbar.music.player", 50, 150, 100},
    };
    for (const SBar& bar : bars) {
        rows.append({QLatin1String(bar.name), 36, [&, bar](QPainter* p, const QRect& r, TLook look) {
                         QStyleOptionProgressBar option;
                         initOption(option, r.adjusted(8, 6, -8, -6), look);
                         option.minimum = bar.minimum;
                         option.maximum = bar.maximum;
                         option.progress = bar.progress;
                         option.state |= QStyle::State_Horizontal;
                         style->drawControl(QStyle::CE_ProgressBar, &option, p,
                                            widgets.get(QLatin1String(bar.role)));
                     }});
    }

    // Phased progress bar: four phases with labels, the second current.
    for (const bool dark : {false, true}) {
        rows.append({dark ? QStringLiteral("progress phased (dark)") : QStringLiteral("progress phased"), 50,
                     [&, dark](QPainter* p, const QRect& r, TLook look) {
                         CQuorStyleOptionPhasedProgressBar option;
                         initOption(option, r.adjusted(6, 4, -6, -6), look);
                         option.minimum = 0;
                         option.maximum = 4;
                         option.progress = 1;
                         option.textVisible = true;
                         option.dark = dark;
                         option.phaseLabels = {{0, QStringLiteral("Sign in")},
                                               {1, QStringLiteral("Pick")},
                                               {2, QStringLiteral("Sync")},
                                               {3, QStringLiteral("Done")}};
                         style->drawControl(QStyle::CE_ProgressBar, &option, p,
                                            widgets.get(QStringLiteral("progressbar.phased")));
                     }});
    }

    // Tabs.
    rows.append({QStringLiteral("tab (first; selected when pressed)"), 40,
                 [&](QPainter* p, const QRect& r, TLook look) {
                     QStyleOptionTab option;
                     initOption(option, r.adjusted(8, 4, -60, 0), look);
                     option.text = QStringLiteral("Tab");
                     option.icon = searchIcon;
                     option.iconSize = QSize(16, 16);
                     option.position = QStyleOptionTab::Beginning;
                     option.shape = QTabBar::RoundedNorth;
                     if (look == LookPressed)
                         option.state |= QStyle::State_Selected;
                     style->drawControl(QStyle::CE_TabBarTab, &option, p,
                                        widgets.get(QStringLiteral("default")));
                 }});

    // Splitters.
    for (const char* role : {"window.main.splitter", "navigation.splitter", "other.splitter"}) {
        rows.append({QStringLiteral("splitter ") + QLatin1String(role), 40,
                     [&, role](QPainter* p, const QRect& r, TLook look) {
                         QStyleOption option;
                         initOption(option, QRect(r.center().x() - 4, r.top() + 4, 9, r.height() - 8), look);
                         option.state |= QStyle::State_Horizontal;
                         style->drawControl(QStyle::CE_Splitter, &option, p,
                                            widgets.splitter(QLatin1String(role)));
                     }});
    }

    // Size grip.
    rows.append({QStringLiteral("size grip"), 30, [&](QPainter* p, const QRect& r, TLook look) {
                     QStyleOption option;
                     initOption(option, QRect(r.center() - QPoint(8, 8), QSize(16, 16)), look);
                     style->drawControl(QStyle::CE_SizeGrip, &option, p, nullptr);
                 }});

    // Scroll bars.
    for (const bool vertical : {false, true}) {
        rows.append(
            {vertical ? QStringLiteral("scroll bar vertical") : QStringLiteral("scroll bar horizontal"),
             vertical ? 110 : 30, [&, vertical](QPainter* p, const QRect& r, TLook look) {
                 QStyleOptionSlider option;
                 const QRect area = vertical ? QRect(r.center().x() - 8, r.top() + 4, 17, r.height() - 8)
                                             : QRect(r.left() + 8, r.center().y() - 8, r.width() - 16, 17);
                 // Scroll-bar parts are laid out from the bar's own origin, as in a widget.
                 initOption(option, QRect(QPoint(0, 0), area.size()), look);
                 p->translate(area.topLeft());
                 option.orientation = vertical ? Qt::Vertical : Qt::Horizontal;
                 if (!vertical)
                     option.state |= QStyle::State_Horizontal;
                 option.minimum = 0;
                 option.maximum = 100;
                 option.sliderPosition = option.sliderValue = 30;
                 option.pageStep = 30;
                 option.singleStep = 1;
                 option.upsideDown = !vertical && look == LookRtl;
                 option.subControls = QStyle::SC_All;
                 if (look == LookHover || look == LookPressed)
                     option.activeSubControls = QStyle::SC_ScrollBarSlider;
                 style->drawComplexControl(QStyle::CC_ScrollBar, &option, p,
                                           widgets.get(QStringLiteral("scrollbar")));
             }});
    }

    // Sliders with tick marks and end icons.
    {
        QWidget* sliderWidget = widgets.get(QStringLiteral("slider"));
        sliderWidget->setProperty("minimumIcon", QVariant::fromValue(closeIcon.pixmap(12, 12)));
        sliderWidget->setProperty("maximumIcon", QVariant::fromValue(addIcon.pixmap(12, 12)));
    }
    for (const bool vertical : {false, true}) {
        rows.append({vertical ? QStringLiteral("slider vertical, ticks, end icons")
                              : QStringLiteral("slider horizontal, ticks, end icons"),
                     vertical ? 120 : 44, [&, vertical](QPainter* p, const QRect& r, TLook look) {
                         QStyleOptionSlider option;
                         const QRect area = vertical
                                                ? QRect(r.center().x() - 16, r.top() + 4, 32, r.height() - 8)
                                                : QRect(r.left() + 8, r.top() + 4, r.width() - 16, 36);
                         initOption(option, area, look);
                         option.orientation = vertical ? Qt::Vertical : Qt::Horizontal;
                         if (!vertical)
                             option.state |= QStyle::State_Horizontal;
                         option.minimum = 0;
                         option.maximum = 100;
                         option.sliderPosition = option.sliderValue = 40;
                         option.tickPosition = QSlider::TicksBothSides;
                         option.tickInterval = 20;
                         // As QSlider sets it: a vertical slider has its maximum at the top.
                         option.upsideDown = vertical;
                         option.subControls =
                             QStyle::SC_SliderGroove | QStyle::SC_SliderHandle | QStyle::SC_SliderTickmarks;
                         if (look == LookHover || look == LookPressed)
                             option.activeSubControls = QStyle::SC_SliderHandle;
                         style->drawComplexControl(QStyle::CC_Slider, &option, p,
                                                   widgets.get(QStringLiteral("slider")));
                     }});
    }

    // Tool buttons.
    for (const char* role : {"toolbutton.icononly", "mainWindow.toolButton", "toolbutton.popup",
                             "toolbutton.infopane", "toolbutton"}) {
        rows.append({QStringLiteral("tool button ") + QLatin1String(role), 52,
                     [&, role](QPainter* p, const QRect& r, TLook look) {
                         QStyleOptionToolButton option;
                         initOption(option, QRect(r.left() + 8, r.top() + 4, 110, r.height() - 8), look);
                         option.text = QStringLiteral("Tool");
                         option.icon = QLatin1String(role) == QLatin1String("mainWindow.toolButton")
                                           ? closeIcon
                                           : searchIcon;
                         option.iconSize = QSize(16, 16);
                         option.toolButtonStyle = Qt::ToolButtonTextUnderIcon;
                         option.subControls = QStyle::SC_ToolButton;
                         style->drawComplexControl(QStyle::CC_ToolButton, &option, p,
                                                   widgets.get(QLatin1String(role)));
                     }});
    }

    // Menu items.
    struct SMenuItem
    {
        const char* name;
        const char* text;
        QStyleOptionMenuItem::MenuItemType type;
        bool checked;
    };
    const SMenuItem items[] = {
        {"menu item with shortcut", "&Open\tCtrl+O", QStyleOptionMenuItem::Normal, false},
        {"menu item checked", "&Wrap lines", QStyleOptionMenuItem::Normal, true},
        {"menu item submenu", "&More", QStyleOptionMenuItem::SubMenu, false},
        {"menu separator", "", QStyleOptionMenuItem::Separator, false},
    };
    for (const SMenuItem& item : items) {
        rows.append({QLatin1String(item.name), 30, [&, item](QPainter* p, const QRect& r, TLook look) {
                         QStyleOptionMenuItem option;
                         initOption(option, QRect(r.left() + 8, r.top() + 4, r.width() - 16, 22), look);
                         option.text = QLatin1String(item.text);
                         option.menuItemType = item.type;
                         option.menuHasCheckableItems = true;
                         option.checkType = QStyleOptionMenuItem::NonExclusive;
                         option.checked = item.checked;
                         option.state &= ~(QStyle::State_MouseOver | QStyle::State_Sunken);
                         if (look == LookHover || look == LookPressed)
                             option.state |= QStyle::State_Selected;
                         style->drawControl(QStyle::CE_MenuItem, &option, p,
                                            widgets.get(QStringLiteral("menu")));
                     }});
    }

    // Menu bar item.
    rows.append({QStringLiteral("menu bar item"), 30, [&](QPainter* p, const QRect& r, TLook look) {
                     QStyleOptionMenuItem option;
                     initOption(option, QRect(r.left() + 8, r.top() + 3, 60, 24), look);
                     option.text = QStringLiteral("&File");
                     option.menuItemType = QStyleOptionMenuItem::Normal;
                     option.state &= ~(QStyle::State_MouseOver | QStyle::State_Sunken);
                     if (look == LookHover)
                         option.state |= QStyle::State_Selected;
                     if (look == LookPressed)
                         option.state |= QStyle::State_Selected | QStyle::State_Sunken;
                     style->drawControl(QStyle::CE_MenuBarItem, &option, p,
                                        widgets.get(QStringLiteral("menubar")));
                 }});

    // Title bars of every colour.
    for (const char* role :
         {"window.dialog.titleBar.Blue", "window.dialog.titleBar.Purple", "window.dialog.titleBar.Gray",
          "window.dialog.titleBar.Yellow", "window.secondary.titleBar.Wizard",
          "window.secondary.titleBar.Settings", "window.main.titleBar"}) {
        rows.append({QStringLiteral("title bar ") + QLatin1String(role), 44,
                     [&, role](QPainter* p, const QRect& r, TLook look) {
                         QStyleOptionTitleBar option;
                         initOption(option, r.adjusted(4, 4, -4, -4), look);
                         option.text = QStringLiteral("Title");
                         option.titleBarFlags = Qt::Window | Qt::WindowSystemMenuHint;
                         option.subControls = QStyle::SC_TitleBarSysMenu;
                         style->drawComplexControl(QStyle::CC_TitleBar, &option, p,
                                                   widgets.get(QLatin1String(role)));
                     }});
    }

    // Frames, lines and panels.
    for (const char* role : {"line", "line.yellow", "line.purple", "line.green", "itemlist.hline", "itemlist",
                             "frame.pane.header", "frame.alternatebackground", "frame.vertical.makkara",
                             "textedit", "window.main.contentFrame", "window.secondary.bottomFrame",
                             "window.main.bottomFrame", "window.main.toolBar"}) {
        rows.append({QStringLiteral("frame ") + QLatin1String(role), 44,
                     [&, role](QPainter* p, const QRect& r, TLook look) {
                         QStyleOptionFrame option;
                         initOption(option, r.adjusted(8, 6, -8, -6), look);
                         option.lineWidth = 1;
                         option.frameShape = QFrame::StyledPanel;
                         style->drawPrimitive(QStyle::PE_Frame, &option, p, widgets.get(QLatin1String(role)));
                     }});
    }
    for (const char* role : {"placeholder.homewidget", "placeholder.notifywidget"}) {
        rows.append({QStringLiteral("panel ") + QLatin1String(role), 60,
                     [&, role](QPainter* p, const QRect& r, TLook look) {
                         QStyleOption option;
                         initOption(option, r.adjusted(6, 4, -6, -4), look);
                         style->drawPrimitive(QStyle::PrimitiveElement(CQuorCommonStyle::PE_QuorPanel),
                                              &option, p, widgets.get(QLatin1String(role)));
                     }});
    }
    for (const char* role : {"popup.message.toast", "popup.itemlist"}) {
        rows.append({QStringLiteral("popup frame ") + QLatin1String(role), 70,
                     [&, role](QPainter* p, const QRect& r, TLook look) {
                         CQuorStyleOptionPopupFrame option;
                         initOption(option, r.adjusted(4, 2, -4, -2), look);
                         style->drawPrimitive(QStyle::PrimitiveElement(CQuorCommonStyle::PE_QuorPopupFrame),
                                              &option, p, widgets.get(QLatin1String(role)));
                     }});
    }
    rows.append({QStringLiteral("main window bottom bar"), 40, [&](QPainter* p, const QRect& r, TLook look) {
                     QStyleOption option;
                     initOption(option, r.adjusted(4, 4, -4, -4), look);
                     style->drawPrimitive(QStyle::PrimitiveElement(CQuorCommonStyle::PE_QuorMainBottomBar),
                                          &option, p, nullptr);
                 }});

    // Tooltip frames, the arrowed one in every arrow position.
    for (const char* role : {"tooltip", "tooltip.restore"}) {
        rows.append({QStringLiteral("tooltip frame ") + QLatin1String(role), 50,
                     [&, role](QPainter* p, const QRect& r, TLook look) {
                         QStyleOption option;
                         initOption(option, r.adjusted(6, 4, -6, -4), look);
                         style->drawPrimitive(QStyle::PE_PanelTipLabel, &option, p,
                                              widgets.get(QLatin1String(role)));
                     }});
    }
    const struct
    {
        const char* name;
        Qt::Alignment alignment;
    } arrows[] = {
        {"top left", Qt::AlignTop | Qt::AlignLeft},
        {"top centre", Qt::AlignTop | Qt::AlignHCenter},
        {"top right", Qt::AlignTop | Qt::AlignRight},
        {"bottom left", Qt::AlignBottom | Qt::AlignLeft},
        {"bottom centre", Qt::AlignBottom | Qt::AlignHCenter},
        {"bottom right", Qt::AlignBottom | Qt::AlignRight},
    };
    for (const auto& arrow : arrows) {
        rows.append({QStringLiteral("tooltip frame tooltip.textfield, arrow ") + QLatin1String(arrow.name),
                     84, [&, arrow](QPainter* p, const QRect& r, TLook look) {
                         CQuorStyleOptionArrowTip option;
                         initOption(option, r.adjusted(6, 3, -6, -3), look);
                         option.arrowAlignment = arrow.alignment;
                         style->drawPrimitive(QStyle::PE_PanelTipLabel, &option, p,
                                              widgets.get(QStringLiteral("tooltip.textfield")));
                     }});
    }
    rows.append(
        {QStringLiteral("action tooltip (tooltip.action)"), 44, [&](QPainter* p, const QRect& r, TLook look) {
             QStyleOption option;
             initOption(option, QRect(0, 0, 150, 32), look);
             p->save();
             p->translate(r.topLeft() + QPoint(8, 6));
             style->drawPrimitive(QStyle::PE_Widget, &option, p,
                                  widgets.get(QStringLiteral("tooltip.action")));
             p->restore();
         }});

    // The floating windows themselves, built for each cell (in the cell's layout direction) and
    // rendered with their translucent edges over the cell.
    const auto renderWidget = [](QWidget* w, QPainter* p, const QRect& r, TLook look) {
        w->setEnabled(look != LookDisabled);
        w->ensurePolished();
        if (w->layout())
            w->layout()->activate();
        const QPoint at(r.x() + qMax(4, (r.width() - w->width()) / 2),
                        r.y() + qMax(2, (r.height() - w->height()) / 2));
        w->render(p, at, QRegion(), QWidget::DrawChildren);
    };
    rows.append(
        {QStringLiteral("popup widget (popup.itemlist)"), 100, [&](QPainter* p, const QRect& r, TLook look) {
             CQuorPopupWidget popup(nullptr, Qt::Tool);
             auto* layout = new QVBoxLayout(popup.contentWidget());
             layout->setContentsMargins(24, 20, 24, 24);
             layout->addWidget(new QLabel(QStringLiteral("Popup content")));
             popup.resize(r.width() - 12, r.height() - 8);
             renderWidget(&popup, p, r, look);
         }});
    rows.append({QStringLiteral("tooltip label (tooltip)"), 50, [&](QPainter* p, const QRect& r, TLook look) {
                     auto* label = new CQuorToolTipLabel(QStringLiteral("A tooltip label"));
                     renderWidget(label, p, r, look);
                     delete label;
                 }});
    const struct
    {
        const char* name;
        Qt::Alignment alignment;
    } bubbles[] = {
        {"top left", Qt::AlignTop | Qt::AlignLeft},
        {"top right", Qt::AlignTop | Qt::AlignRight},
        {"bottom left", Qt::AlignBottom | Qt::AlignLeft},
        {"bottom right", Qt::AlignBottom | Qt::AlignRight},
    };
    for (const auto& bubble : bubbles) {
        rows.append({QStringLiteral("arrow tooltip, arrow ") + QLatin1String(bubble.name), 84,
                     [&, bubble](QPainter* p, const QRect& r, TLook look) {
                         CQuorArrowToolTip tip;
                         tip.setText(QStringLiteral("Arrow tooltip"));
                         tip.setPixmap(addIcon.pixmap(16, 16));
                         tip.setAlignment(bubble.alignment);
                         renderWidget(&tip, p, r, look);
                     }});
    }

    // List items: the first row has no separator above it; the pressed look is selected.
    static QStandardItemModel model(3, 1);
    for (int row = 0; row < 3; ++row)
        model.setData(model.index(row, 0), QStringLiteral("Item %1").arg(row + 1));
    for (int row = 0; row < 2; ++row) {
        rows.append({QStringLiteral("list item (itemlist.view), row %1").arg(row), 36,
                     [&, row](QPainter* p, const QRect& r, TLook look) {
                         CQuorStyleOptionListItem option;
                         initOption(option, r.adjusted(4, 2, -4, -2), look);
                         option.index = model.index(row, 0);
                         option.text = option.index.data().toString();
                         option.features =
                             QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasCheckIndicator;
                         option.checkState = row == 0 ? Qt::Checked : Qt::Unchecked;
                         option.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
                         option.separator = true;
                         option.iconActive = look == LookHover;
                         option.checkHovered = look == LookHover;
                         if (look == LookPressed)
                             option.state |= QStyle::State_Selected;
                         style->drawControl(QStyle::CE_ItemViewItem, &option, p,
                                            widgets.get(QStringLiteral("itemlist.view")));
                     }});
    }

    // Drop shadows as the shadow frame builds them: the role's shadow image nine-patched with each
    // margin + 10 around the window, the window itself drawn white on top.
    const struct
    {
        const char* role;
        CQuorCommonStyle::TMarginsKey key;
    } shadows[] = {
        {"window.main", CQuorCommonStyle::MarginsWindowShadow},
        {"menu", CQuorCommonStyle::MarginsWindowShadow},
        {"listpopup.view.frame", CQuorCommonStyle::MarginsListShadow},
    };
    for (const auto& shadow : shadows) {
        rows.append({QStringLiteral("drop shadow ") + QLatin1String(shadow.role), 110,
                     [&, shadow](QPainter* p, const QRect& r, TLook) {
                         const SNinePatchMargins m = style->ninePatchMargins(shadow.key);
                         const QRect window = r.adjusted(30, 18, -30, -40);
                         const QRect area = window.adjusted(-m.left, -m.top, m.right, m.bottom);
                         const QPixmap image = style->standardPixmap(QStyle::SP_CustomBase, nullptr,
                                                                     widgets.get(QLatin1String(shadow.role)));
                         drawNinePatchPixmap(p, image, area, m.left + 10, m.top + 10, m.right + 10,
                                             m.bottom + 10);
                         p->fillRect(window, Qt::white);
                         p->setPen(QColor(200, 200, 200));
                         p->drawRect(window.adjusted(0, 0, -1, -1));
                     }});
    }

    // The toolkit widgets, built for each cell. Hover marks the widget as under the mouse and
    // pressed holds its buttons down, so the style sees the state without a pointer.
    const auto applyLook = [](QWidget* w, TLook look) {
        QList<QWidget*> all = w->findChildren<QWidget*>();
        all.prepend(w);
        for (QWidget* child : std::as_const(all)) {
            if (look == LookHover || look == LookPressed)
                child->setAttribute(Qt::WA_UnderMouse);
            if (auto* button = qobject_cast<QAbstractButton*>(child); button && look == LookPressed)
                button->setDown(true);
        }
    };
    const auto renderToolkitWidget = [&](QWidget* w, QPainter* p, const QRect& r, TLook look) {
        w->setLayoutDirection(directionFor(look));
        applyLook(w, look);
        renderWidget(w, p, r, look);
    };
    const CQuorDialogTitleBar::Color colors[] = {CQuorDialogTitleBar::Gray, CQuorDialogTitleBar::Purple,
                                                 CQuorDialogTitleBar::Blue, CQuorDialogTitleBar::Yellow};
    for (const CQuorDialogTitleBar::Color color : colors) {
        const QString key =
            QString::fromLatin1(QMetaEnum::fromType<CQuorDialogTitleBar::Color>().valueToKey(color));
        rows.append({QStringLiteral("dialog (CQuorDialog), title bar ") + key, 150,
                     [&, color](QPainter* p, const QRect& r, TLook look) {
                         CQuorDialog dialog;
                         auto* layout = new QVBoxLayout(&dialog);
                         layout->setContentsMargins(0, 0, 0, 0);
                         layout->setSpacing(0);
                         auto* bar = new CQuorDialogTitleBar(&dialog);
                         bar->setColor(color);
                         layout->addWidget(bar);
                         auto* content = new QFrame;
                         content->setObjectName(QStringLiteral("contentFrame"));
                         auto* contentLayout = new QVBoxLayout(content);
                         contentLayout->addWidget(new QLabel(QStringLiteral("Content frame")));
                         layout->addWidget(content, 1);
                         auto* bottom = new QFrame;
                         bottom->setObjectName(QStringLiteral("bottomFrame"));
                         bottom->setProperty(
                             "com_velto_qstyleRole",
                             QStringLiteral("quor.commonuilibrary.window.dialog.bottomFrame"));
                         auto* bottomLayout = new QHBoxLayout(bottom);
                         bottomLayout->addStretch();
                         auto* ok = new CQuorGradientButton(nullptr, CQuorGradientButton::Positive);
                         ok->setText(QStringLiteral("OK"));
                         bottomLayout->addWidget(ok);
                         auto* cancel = new CQuorGradientButton(nullptr, CQuorGradientButton::Negative);
                         cancel->setText(QStringLiteral("Cancel"));
                         bottomLayout->addWidget(cancel);
                         layout->addWidget(bottom);
                         dialog.resize(r.width() - 10, r.height() - 6);
                         renderToolkitWidget(&dialog, p, r, look);
                     }});
    }
    rows.append({QStringLiteral("system menu icon (CQuorSystemMenu)"), 30,
                 [&](QPainter* p, const QRect& r, TLook look) {
                     CQuorSystemMenu icon;
                     renderToolkitWidget(&icon, p, r, look);
                 }});
    const struct
    {
        const char* name;
        int kind;
    } lineEdits[] = {{"guide text", 0}, {"text and icon button", 1}, {"filter look", 2}};
    for (const auto& edit : lineEdits) {
        rows.append({QStringLiteral("line edit (CQuorLineEdit), ") + QLatin1String(edit.name), 40,
                     [&, edit](QPainter* p, const QRect& r, TLook look) {
                         CQuorLineEdit field;
                         if (edit.kind == 0)
                             field.setGuideText(QStringLiteral("Type to search"));
                         if (edit.kind == 1) {
                             field.setText(QStringLiteral("Some text"));
                             field.setIcon(closeIcon);
                         }
                         if (edit.kind == 2) {
                             field.setFilterLook(true);
                             field.setGuideText(QStringLiteral("Filter"));
                         }
                         field.resize(r.width() - 16, field.sizeHint().height());
                         renderToolkitWidget(&field, p, r, look);
                     }});
    }
    for (const bool fade : {false, true}) {
        rows.append({fade ? QStringLiteral("text label (CQuorTextLabel), fade")
                          : QStringLiteral("text label (CQuorTextLabel), shadow"),
                     30, [&, fade](QPainter* p, const QRect& r, TLook look) {
                         CQuorTextLabel label;
                         label.setText(QStringLiteral("A caption that is too long for its cell"));
                         label.setShadow(!fade);
                         label.setFade(fade);
                         label.resize(r.width() - 16, label.sizeHint().height() + 4);
                         renderToolkitWidget(&label, p, r, look);
                     }});
    }
    rows.append(
        {QStringLiteral("option group (CQuorOptionGroup)"), 36, [&](QPainter* p, const QRect& r, TLook look) {
             CQuorOptionGroup group(nullptr, 3);
             const QStringList texts = {QStringLiteral("Day"), QStringLiteral("Week"),
                                        QStringLiteral("Month")};
             for (int i = 0; i < 3; ++i)
                 group.button(i)->setText(texts.at(i));
             group.setSelected(1);
             renderToolkitWidget(&group, p, r, look);
         }});
    const CQuorGradientButton::ButtonType buttonTypes[] = {
        CQuorGradientButton::Positive, CQuorGradientButton::Negative, CQuorGradientButton::Tool};
    for (const CQuorGradientButton::ButtonType type : buttonTypes) {
        const QString key =
            QString::fromLatin1(QMetaEnum::fromType<CQuorGradientButton::ButtonType>().valueToKey(type));
        rows.append({QStringLiteral("gradient button (CQuorGradientButton) ") + key, 44,
                     [&, type](QPainter* p, const QRect& r, TLook look) {
                         CQuorGradientButton button(nullptr, type);
                         button.setText(QStringLiteral("&Save"));
                         button.resize(button.sizeHint());
                         renderToolkitWidget(&button, p, r, look);
                     }});
    }
    rows.append({QStringLiteral("gradient button (CQuorGradientButton), icon only"), 44,
                 [&](QPainter* p, const QRect& r, TLook look) {
                     CQuorGradientButton button;
                     button.setIcon(addIcon);
                     button.resize(button.sizeHint());
                     renderToolkitWidget(&button, p, r, look);
                 }});
    rows.append(
        {QStringLiteral("tool button (CQuorToolButton)"), 44, [&](QPainter* p, const QRect& r, TLook look) {
             CQuorToolButton button;
             button.setText(QStringLiteral("Tool"));
             button.setIcon(searchIcon);
             button.setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
             button.resize(button.sizeHint());
             renderToolkitWidget(&button, p, r, look);
         }});
    for (const bool readOnly : {false, true}) {
        rows.append({readOnly ? QStringLiteral("check box (CQuorCheckBox), read-only")
                              : QStringLiteral("check box (CQuorCheckBox)"),
                     30, [&, readOnly](QPainter* p, const QRect& r, TLook look) {
                         CQuorCheckBox box;
                         box.setText(readOnly ? QStringLiteral("Read-only") : QStringLiteral("Remember me"));
                         box.setChecked(true);
                         box.resize(box.sizeHint());
                         box.setLayoutDirection(directionFor(look));
                         applyLook(&box, look);
                         box.setEnabled(look != LookDisabled);
                         // Read-only after the enabled state: enabling from outside ends the mode.
                         if (readOnly && look != LookDisabled)
                             box.setReadOnly(true);
                         box.ensurePolished();
                         box.render(p,
                                    QPoint(r.x() + qMax(4, (r.width() - box.width()) / 2),
                                           r.y() + qMax(2, (r.height() - box.height()) / 2)),
                                    QRegion(), QWidget::DrawChildren);
                     }});
    }
    rows.append({QStringLiteral("animation (CQuorAnimationWidget), frames 0 to 7"), 30,
                 [&](QPainter* p, const QRect& r, TLook look) {
                     CQuorAnimationWidget animation;
                     animation.resize(animation.sizeHint());
                     const int step = animation.width() + 6;
                     for (int i = 0; i < animation.frameCount(); ++i) {
                         renderWidget(&animation, p,
                                      QRect(r.left() + 4 + i * step, r.top(), step, r.height()), look);
                         QMetaObject::invokeMethod(&animation, "onFrameChange");
                     }
                 }});
    rows.append({QStringLiteral("text edit (CQuorTextEdit), auto resize"), 70,
                 [&](QPainter* p, const QRect& r, TLook look) {
                     CQuorTextEdit edit;
                     edit.resize(r.width() - 16, 40);
                     edit.setAutoResize(true);
                     edit.setPlainText(QStringLiteral("Two lines\nof text"));
                     renderToolkitWidget(&edit, p, r, look);
                 }});
    for (const bool current : {false, true}) {
        rows.append({current ? QStringLiteral("combo box (CQuorComboBox), current item")
                             : QStringLiteral("combo box (CQuorComboBox), hint text"),
                     36, [&, current](QPainter* p, const QRect& r, TLook look) {
                         CQuorComboBox combo;
                         combo.addItems({QStringLiteral("Alpha"), QStringLiteral("Beta")});
                         combo.setHintText(QStringLiteral("Pick a contact"));
                         combo.setCurrentIndex(current ? 0 : -1);
                         combo.resize(r.width() - 16, combo.sizeHint().height());
                         renderToolkitWidget(&combo, p, r, look);
                     }});
    }
    rows.append({QStringLiteral("list popup (CQuorListPopupDelegate), second row selected"), 70,
                 [&](QPainter* p, const QRect& r, TLook look) {
                     CQuorComboBox combo;
                     combo.addItems({QStringLiteral("Alpha"), QStringLiteral("Beta"),
                                     QStringLiteral("A very long entry that does not fit")});
                     auto* view = qobject_cast<QListView*>(combo.view());
                     QAbstractItemDelegate* delegate = view->itemDelegate();
                     int y = r.top() + 4;
                     for (int row = 0; row < 3; ++row) {
                         QStyleOptionViewItem option;
                         option.initFrom(view);
                         option.direction = directionFor(look);
                         option.state = stateFor(look);
                         if (row == 1)
                             option.state |= QStyle::State_Selected;
                         option.font = view->font();
                         option.fontMetrics = view->fontMetrics();
                         option.rect = QRect(r.left() + 8, y, r.width() - 16, 19);
                         const QModelIndex index = combo.model()->index(row, 0);
                         option.rect.setHeight(delegate->sizeHint(option, index).height());
                         delegate->paint(p, option, index);
                         y += option.rect.height();
                     }
                 }});

    // The product style: its icon and picture shadows, colour roles, post-dialog mask and texts.
    // Each shadow around a photo frame that covers all of it but its outer ring.
    const auto drawShadowed = [&](QPainter* p, const QPoint& at, quint32 id, int ring) {
        const QPixmap pixmap = style->standardPixmap(QStyle::StandardPixmap(id));
        const QRect area(at, pixmap.deviceIndependentSize().toSize());
        p->drawPixmap(area.topLeft(), pixmap);
        const QRect frame = area.adjusted(ring, ring, -ring, -ring);
        p->fillRect(frame, Qt::white);
        p->fillRect(frame.adjusted(ring, ring, -ring, -ring), QColor(150, 180, 210));
    };
    rows.append({QStringLiteral("product icon and avatar shadows (CMeskUiStyle)"), 76,
                 [&](QPainter* p, const QRect& r, TLook) {
                     p->drawPixmap(r.left() + 8, r.top() + 8,
                                   style->standardPixmap(QStyle::SP_TitleBarMenuButton));
                     drawShadowed(p, r.topLeft() + QPoint(40, 30), CMeskUiStyle::SP_MeskSmallAvatarShadow, 2);
                     drawShadowed(p, r.topLeft() + QPoint(96, 8), CMeskUiStyle::SP_MeskNormalAvatarShadow, 3);
                 }});
    rows.append({QStringLiteral("product thumbnail shadow (CMeskUiStyle)"), 99,
                 [&](QPainter* p, const QRect& r, TLook) {
                     drawShadowed(p, r.topLeft() + QPoint(50, 7), CMeskUiStyle::SP_MeskThumbnailShadow, 3);
                 }});
    rows.append({QStringLiteral("product colour roles 0 to 50 (CMeskUiStyle::color)"), 46,
                 [&](QPainter* p, const QRect& r, TLook) {
                     const int size = 10;
                     for (int role = 0; role < CMeskUiStyle::ColorRoleCount; ++role) {
                         const QRect swatch(r.left() + 6 + (role % 17) * size,
                                            r.top() + 6 + (role / 17) * (size + 2), size - 1, size);
                         p->fillRect(swatch, CMeskUiStyle::color(role));
                         p->setPen(QColor(120, 120, 120));
                         p->drawRect(swatch.adjusted(0, 0, -1, -1));
                     }
                 }});
    rows.append(
        {QStringLiteral("post dialog mask (mesk.uilibrary.postupdatewidget)"), 90,
         [&](QPainter* p, const QRect& r, TLook) {
             QWidget dialog;
             dialog.setProperty("com_velto_mesk_qstyleRole",
                                QStringLiteral("mesk.uilibrary.postupdatewidget"));
             dialog.setProperty("tabWidth", 64);
             dialog.setProperty("tabHeight", 18);
             QStyleOption option;
             option.rect = QRect(0, 0, r.width() - 20, r.height() - 14);
             QStyleHintReturnMask mask;
             if (style->styleHint(QStyle::SH_WindowFrame_Mask, &option, &dialog, &mask)) {
                 p->setClipRegion(mask.region.translated(r.topLeft() + QPoint(10, 7)), Qt::IntersectClip);
                 p->fillRect(r, CMeskUiStyle::color(6));
                 p->fillRect(
                     QRect(r.topLeft() + QPoint(10, 7 + 18), option.rect.size()).adjusted(3, 0, -3, -3),
                     CMeskUiStyle::color(0));
             }
         }});
    rows.append({QStringLiteral("post dialog shadow (postdialog_shadow.png, one per rectangle)"), 110,
                 [&](QPainter* p, const QRect& r, TLook) {
                     QWidget dialog;
                     dialog.setProperty("com_velto_mesk_qstyleRole",
                                        QStringLiteral("mesk.uilibrary.postupdatewidget"));
                     const QPixmap shadow = style->standardPixmap(QStyle::SP_CustomBase, nullptr, &dialog);
                     const QRect tab(r.left() + 20, r.top() + 12, 64, 30);
                     const QRect body(tab.left(), tab.bottom() + 1, r.width() - 40, r.height() - 64);
                     for (const QRect& rect : {tab, body})
                         drawNinePatchPixmap(p, shadow, rect.adjusted(-14, -10, 14, 18), 24, 20, 24, 28);
                     p->fillRect(tab, CMeskUiStyle::color(6));
                     p->fillRect(body, CMeskUiStyle::color(6));
                 }});
    rows.append(
        {QStringLiteral("shared texts (CMeskTexts), link and filter mark"), 70,
         [&](QPainter* p, const QRect& r, TLook look) {
             QTextDocument doc;
             doc.setDefaultFont(QApplication::font());
             doc.setTextWidth(r.width() - 12);
             const QString text = CMeskTexts::linkifyText(QStringLiteral("Bob <3 www.velto.example and bob"));
             doc.setHtml(CMeskTexts::smsAddressLabel(
                 QStringLiteral("Bob"),
                 look == LookPressed ? CMeskTexts::highlightText(text, QStringLiteral("bob"), true) : text,
                 false));
             p->translate(r.topLeft() + QPoint(6, 4));
             doc.drawContents(p);
         }});

    // The feed-item building blocks and the product's small widgets, built for each cell.
    const auto samplePicture = [](const QSize& size) {
        const qreal ratio = qApp->devicePixelRatio();
        QPixmap pixmap((QSizeF(size) * ratio).toSize());
        pixmap.setDevicePixelRatio(ratio);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        QLinearGradient sky(0, 0, 0, size.height());
        sky.setColorAt(0, QColor(120, 170, 220));
        sky.setColorAt(1, QColor(230, 240, 250));
        painter.fillRect(QRect(QPoint(), size), sky);
        painter.setBrush(QColor(240, 190, 60));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(
            QRectF(size.width() * 0.55, size.height() * 0.15, size.height() * 0.35, size.height() * 0.35));
        painter.setBrush(QColor(90, 140, 70));
        painter.drawRect(QRectF(0, size.height() * 0.7, size.width(), size.height() * 0.3));
        return pixmap;
    };
    const struct
    {
        int type;
        int height;
        QSize picture;
    } thumbnails[] = {{0, 70, {80, 80}}, {1, 48, {64, 64}}, {2, 95, {200, 100}}, {3, 95, {90, 120}},
                      {4, 40, {34, 34}}, {5, 40, {34, 34}}, {6, 40, {12, 12}}};
    for (const auto& thumb : thumbnails) {
        rows.append({QStringLiteral("thumbnail type %1 (CMeskThumbnailWidget), empty and with picture")
                         .arg(thumb.type),
                     thumb.height, [&, thumb](QPainter* p, const QRect& r, TLook look) {
                         QWidget strip;
                         auto* layout = new QHBoxLayout(&strip);
                         layout->setContentsMargins(0, 0, 0, 0);
                         layout->setSpacing(12);
                         layout->addWidget(new CMeskThumbnailWidget(thumb.type), 0, Qt::AlignTop);
                         auto* shown = new CMeskThumbnailWidget(thumb.type);
                         shown->setPixmap(samplePicture(thumb.picture));
                         layout->addWidget(shown, 0, Qt::AlignTop);
                         strip.adjustSize();
                         renderToolkitWidget(&strip, p, r, look);
                     }});
    }
    rows.append({QStringLiteral("date label and link group (CMeskItemDateLabel, CMeskItemLinkGroup)"), 44,
                 [&](QPainter* p, const QRect& r, TLook look) {
                     QWidget item;
                     auto* layout = new QVBoxLayout(&item);
                     layout->setContentsMargins(0, 0, 0, 0);
                     layout->setSpacing(2);
                     layout->addWidget(new CMeskItemDateLabel(QDateTime::currentDateTime().addSecs(-300),
                                                              QStringLiteral("https://velto.example/p")));
                     auto* links = new CMeskItemLinkGroup;
                     links->addLink(QStringLiteral("Comment"), 1);
                     links->addLink(QStringLiteral("Like"), 2);
                     links->addLink(QStringLiteral("Share"), 3);
                     layout->addWidget(links);
                     item.adjustSize();
                     renderToolkitWidget(&item, p, r, look);
                 }});
    rows.append({QStringLiteral("separator and label combo (CMeskSeparatorWidget, CMeskLabelCombo)"), 44,
                 [&](QPainter* p, const QRect& r, TLook look) {
                     QWidget page;
                     auto* layout = new QVBoxLayout(&page);
                     layout->setContentsMargins(0, 0, 0, 0);
                     layout->setSpacing(0);
                     auto* combo = new CMeskLabelCombo;
                     combo->setText(QStringLiteral("History: one week"));
                     layout->addWidget(combo);
                     layout->addWidget(new CMeskSeparatorWidget);
                     page.resize(r.width() - 16, page.sizeHint().height());
                     renderToolkitWidget(&page, p, r, look);
                 }});
    rows.append({QStringLiteral("add and delete buttons, filter box (CMeskAddToolButton, "
                                "CMeskDeleteToolButton, CMeskFilterBox)"),
                 40, [&](QPainter* p, const QRect& r, TLook look) {
                     QWidget bar;
                     auto* layout = new QHBoxLayout(&bar);
                     layout->setContentsMargins(0, 0, 0, 0);
                     layout->addWidget(new CMeskAddToolButton);
                     layout->addWidget(new CMeskDeleteToolButton);
                     auto* filter = new CMeskFilterBox;
                     if (look == LookPressed)
                         filter->setText(QStringLiteral("velto"));
                     layout->addWidget(filter, 1);
                     bar.resize(r.width() - 16, bar.sizeHint().height());
                     renderToolkitWidget(&bar, p, r, look);
                 }});
    rows.append({QStringLiteral("scroll area at its top, middle and end (CMeskVScrollArea)"), 130,
                 [&](QPainter* p, const QRect& r, TLook look) {
                     QWidget areas;
                     auto* layout = new QHBoxLayout(&areas);
                     layout->setContentsMargins(0, 0, 0, 0);
                     layout->setSpacing(6);
                     for (int place = 0; place < 3; ++place) {
                         auto* area = new CMeskVScrollArea;
                         area->setFixedSize(56, 120);
                         auto* content = new QWidget;
                         auto* lines = new QVBoxLayout(content);
                         lines->setContentsMargins(3, 2, 3, 2);
                         for (int line = 1; line <= 12; ++line)
                             lines->addWidget(new QLabel(QStringLiteral("#%1").arg(line)));
                         area->setWidget(content);
                         layout->addWidget(area);
                         areas.layout()->activate();
                         if (place == 1)
                             area->scrollBar()->pageDown(1);
                         else if (place == 2)
                             area->scrollBar()->lineDown(1000);
                     }
                     areas.adjustSize();
                     renderToolkitWidget(&areas, p, r, look);
                 }});

    // The product's dialogs and editors; in these rows the cells show states, not looks.
    const auto renderScaled = [](QWidget* w, QPainter* p, const QRect& r, qreal scale) {
        w->ensurePolished();
        if (w->layout())
            w->layout()->activate();
        p->save();
        p->translate(r.x() + qMax(2.0, (r.width() - w->width() * scale) / 2), r.y() + 3);
        p->scale(scale, scale);
        w->render(p, QPoint(), QRegion(), QWidget::DrawChildren);
        p->restore();
    };
    rows.append({QStringLiteral("product dialog title bar (CMeskDialogTitleBar): Gray, Purple, Blue, Yellow; "
                                "Purple right to left"),
                 48, [&](QPainter* p, const QRect& r, TLook look) {
                     QWidget window;
                     window.setLayoutDirection(directionFor(look));
                     CMeskDialogTitleBar bar(&window, QStringLiteral("Caption"), false);
                     bar.setColor(look < 4 ? CMeskDialogTitleBar::Color(look) : CMeskDialogTitleBar::Purple);
                     bar.resize(r.width() - 8, bar.height());
                     renderScaled(&bar, p, r, 1.0);
                 }});
    rows.append({QStringLiteral("product message box (CMeskMessageBox): error, warning, information, "
                                "type 7; half size"),
                 96, [&](QPainter* p, const QRect& r, TLook look) {
                     if (look == LookRtl)
                         return;
                     const int type = look < 3 ? int(look) : 7;
                     CMeskMessageBox box(type, QStringLiteral("The account could not be removed. Try again?"),
                                         QStringLiteral("Title"));
                     box.resize(360, 180);
                     renderScaled(&box, p, r, 0.5);
                 }});
    rows.append({QStringLiteral(
                     "product comment editor (CMeskPostCommentWidget): collapsed, expanded, sending, failed"),
                 124, [&](QPainter* p, const QRect& r, TLook look) {
                     if (look == LookRtl)
                         return;
                     CGalleryCommentPoster poster;
                     CMeskPostCommentWidget widget(&poster);
                     if (look != LookNormal) {
                         QMetaObject::invokeMethod(&widget, "_onEditorFocusIn");
                         widget.editor()->setPlainText(QStringLiteral("Nice photo!"));
                     }
                     if (look == LookPressed || look == LookDisabled)
                         widget.sendButton()->click();
                     if (look == LookDisabled)
                         emit poster.failed();
                     widget.resize(r.width() - 8, widget.sizeHint().height());
                     renderScaled(&widget, p, r, 1.0);
                 }});
    rows.append({QStringLiteral("product setup wizard (CMeskServiceSetupWidget): welcome with the connecting "
                                "line, error, done, web page (no browser here), waiting; 0.28 size"),
                 146, [&](QPainter* p, const QRect& r, TLook look) {
                     CMeskServiceSetupWidget wizard;
                     wizard.setTitle(CMeskServiceSetupWidget::wizardTitleText(QStringLiteral("Facebook")));
                     const QString name = QStringLiteral("Facebook");
                     if (look == LookNormal) {
                         wizard.showWelcomePage(CMeskServiceSetupWidget::welcomeText(name));
                         wizard.showConnectingPage(name);
                     } else if (look == LookHover) {
                         wizard.showErrorPage(CMeskServiceSetupWidget::networkErrorText(name));
                     } else if (look == LookPressed) {
                         wizard.showDonePage(CMeskServiceSetupWidget::doneText(name));
                     } else if (look == LookDisabled) {
                         wizard.showWebPage(QStringLiteral("http://127.0.0.1/"));
                     } else {
                         wizard.showWaitingPage(QString());
                     }
                     wizard.resize(640, 480);
                     renderScaled(&wizard, p, r, 0.28);
                 }});

    // The main window's chrome; in these rows the cells show forms and states, not looks.
    rows.append({QStringLiteral("main title bar (CMeskMainTitleBar)"), 36,
                 [&](QPainter* p, const QRect& r, TLook look) {
                     QWidget window;
                     window.setLayoutDirection(directionFor(look));
                     CMeskMainTitleBar bar(&window);
                     bar.setTitle(QStringLiteral("Velto Lumesk"));
                     bar.setEnabled(look != LookDisabled);
                     bar.resize(r.width() - 8, bar.height());
                     renderScaled(&bar, p, r, 1.0);
                 }});
    rows.append({QStringLiteral("main toolbar (CMeskToolBar): single column, multi column, single disabled, "
                                "multi disabled; 0.42 size"),
                 48, [&](QPainter* p, const QRect& r, TLook look) {
                     if (look == LookRtl)
                         return;
                     CMeskToolBar bar(look == LookHover || look == LookDisabled);
                     bar.setEnabled(look == LookNormal || look == LookHover);
                     bar.resize(430, bar.height());
                     renderScaled(&bar, p, r, 0.42);
                 }});
    rows.append({QStringLiteral("bottom bar (CMeskBottomBar): feeds single, feeds multi, settings single, "
                                "settings multi; 0.42 size"),
                 48, [&](QPainter* p, const QRect& r, TLook look) {
                     if (look == LookRtl)
                         return;
                     CMeskBottomBar bar(look == LookHover || look == LookDisabled);
                     if (look == LookPressed || look == LookDisabled)
                         bar.showSettingsMode();
                     bar.resize(430, bar.height());
                     renderScaled(&bar, p, r, 0.42);
                 }});
    rows.append({QStringLiteral("column scroller (CMeskColumnHScroll), 3 of 5 columns: column 0, 1, 2; "
                                "3 of 3 (empty)"),
                 36, [&](QPainter* p, const QRect& r, TLook look) {
                     if (look == LookRtl)
                         return;
                     CMeskColumnHScroll scroller;
                     scroller.resize(r.width() - 8, scroller.height());
                     scroller.setColumns(3, look == LookDisabled ? 3 : 5);
                     scroller.setCurrentColumn(look == LookDisabled ? 0 : int(look));
                     renderScaled(&scroller, p, r, 1.0);
                 }});

    // Flickr: the photo-post widget at the feed column's width, half size (pressed: the filter
    // "bob" marked; disabled: the logo hidden, as the service columns show it), and the setup page
    // with its "Ready" bar.
    auto flickr = std::make_shared<CFlickrGallerySamples>();
    for (const int photos : {1, 5}) {
        rows.append(
            {QStringLiteral("Flickr photo post (CFlickrPhotoWidget), %1 photo%2, 360 px wide; pressed: "
                            "filter marked, disabled: logo hidden; half size")
                 .arg(photos)
                 .arg(photos == 1 ? QString() : QStringLiteral("s")),
             photos == 1 ? 84 : 76, [&, flickr, photos](QPainter* p, const QRect& r, TLook look) {
                 std::unique_ptr<CFlickrPhotoWidget> item(flickr->makePostWidget(photos));
                 if (!item)
                     return;
                 if (look == LookPressed)
                     item->applyFilter(QStringLiteral("bob"), true);
                 if (look == LookDisabled)
                     item->setThumbnailVisible(false);
                 item->setLayoutDirection(directionFor(look));
                 item->ensurePolished();
                 const int height = item->heightForWidth(360);
                 item->resize(360, height > 0 ? height : item->sizeHint().height());
                 renderScaled(item.get(), p, r, 0.5);
             }});
    }
    rows.append({QStringLiteral("Flickr setup page (CFlickrSetupWidget) with the \"Ready\" bar over the "
                                "(empty) web page; 0.19 size"),
                 130, [&, flickr](QPainter* p, const QRect& r, TLook look) {
                     if (look != LookNormal)
                         return;
                     std::unique_ptr<CFlickrSetupWidget> wizard(flickr->makeSetupWidget());
                     wizard->resize(950, 650);
                     renderScaled(wizard.get(), p, r, 0.19);
                 }});

    // The Twitter feed widgets on stored sample items: hover highlights "lake", pressed hides the
    // service logo; and the Twitter setup page with its PIN bar.
    const CTwitterGallerySamples twitter;
    for (const bool own : {false, true}) {
        rows.append({own ? QStringLiteral("Twitter own update (CTwitterUpdateWidget)")
                         : QStringLiteral("Twitter status with a link (CTwitterStatusWidget)"),
                     100, [&, own](QPainter* p, const QRect& r, TLook look) {
                         if (!twitter.isValid())
                             return;
                         std::unique_ptr<IMediaItemWidget> item(own ? twitter.updateWidget()
                                                                    : twitter.statusWidget());
                         if (look == LookHover)
                             item->applyFilter(own ? QStringLiteral("fun") : QStringLiteral("lake"), true);
                         if (look == LookPressed)
                             item->setThumbnailVisible(false);
                         item->setEnabled(look != LookDisabled);
                         item->setLayoutDirection(directionFor(look));
                         // As wide as its bottom row needs, scaled down to the cell when wider.
                         const int width = qMax(r.width() - 8, item->minimumSizeHint().width());
                         item->resize(width, item->heightForWidth(width));
                         renderScaled(item.get(), p, r, qMin(1.0, qreal(r.width() - 8) / width));
                     }});
    }
    rows.append({QStringLiteral("Twitter setup wizard with the PIN bar (CTwitterSetupWidget); 0.22 size"),
                 120, [&](QPainter* p, const QRect& r, TLook look) {
                     if (look != LookNormal || !twitter.isValid())
                         return;
                     std::unique_ptr<CTwitterSetupWidget> wizard(twitter.wizardWithPinBar());
                     wizard->resize(800, 500);
                     renderScaled(wizard.get(), p, r, 0.22);
                 }});

    // The Facebook feed item in its eight kinds, from a canned store; half size. Cells: Bob's,
    // the user's own, Bob's with the comments unfolded, Bob's in a column (no service icon),
    // Bob's right to left.
    std::shared_ptr<CFacebookGalleryStore> facebookStore;
    const auto facebookItem = [&facebookStore](int kind, TLook look) {
        if (!facebookStore)
            facebookStore = std::make_shared<CFacebookGalleryStore>();
        std::unique_ptr<CFacebookEventWidget> item = facebookStore->makeItem(kind, look == LookHover);
        if (!item)
            return item;
        if (look == LookPressed && item->links()) // messages and friend requests have no comments link
            QMetaObject::invokeMethod(item.get(), "_onComments");
        if (look == LookDisabled)
            item->setThumbnailVisible(false);
        item->resize(kFacebookItemWidth, item->heightForWidth(kFacebookItemWidth));
        return item;
    };
    for (int kind = 0; kind < 8; ++kind) {
        int height = 0;
        for (TLook look : {LookNormal, LookHover, LookPressed}) {
            if (const auto item = facebookItem(kind, look))
                height = qMax(height, item->height());
        }
        rows.append(
            {QStringLiteral("facebook item, %1 (CFacebookEventWidget): Bob's, own, comments unfolded, "
                            "in a column, right to left; half size")
                 .arg(CFacebookGalleryStore::kindName(kind)),
             height / 2 + 10, [&, kind](QPainter* p, const QRect& r, TLook look) {
                 if (const auto item = facebookItem(kind, look))
                     renderScaled(item.get(), p, r, 0.5);
             }});
    }

    // The sheet.
    if (!filter.isEmpty())
        rows.removeIf([&](const SRow& row) { return !row.name.contains(filter); });
    int height = kHeaderHeight;
    for (const SRow& row : std::as_const(rows))
        height += row.height;
    // At a scale factor above 1 the sheet has the screen's pixel ratio, so every cell is drawn
    // (and saved) at device resolution.
    const qreal ratio = qApp->devicePixelRatio();
    QImage sheet((QSizeF(kLabelWidth + LookCount * kCellWidth, height) * ratio).toSize(),
                 QImage::Format_ARGB32_Premultiplied);
    sheet.setDevicePixelRatio(ratio);
    sheet.fill(QColor(236, 236, 236));
    QPainter painter(&sheet);
    QFont labelFont(QStringLiteral("DejaVu Sans"));
    labelFont.setPixelSize(11);
    painter.setFont(labelFont);
    painter.setPen(Qt::black);
    for (int look = 0; look < LookCount; ++look)
        painter.drawText(QRect(kLabelWidth + look * kCellWidth, 0, kCellWidth, kHeaderHeight),
                         Qt::AlignCenter, QLatin1String(kLookNames[look]));
    int y = kHeaderHeight;
    const Qt::LayoutDirection direction = QApplication::layoutDirection();
    for (const SRow& row : std::as_const(rows)) {
        painter.setPen(QColor(200, 200, 200));
        painter.drawLine(0, y, sheet.width(), y);
        painter.setPen(Qt::black);
        painter.setFont(labelFont);
        painter.drawText(QRect(6, y, kLabelWidth - 12, row.height),
                         Qt::AlignVCenter | Qt::AlignLeft | Qt::TextWordWrap, row.name);
        for (int look = 0; look < LookCount; ++look) {
            const QRect cell(kLabelWidth + look * kCellWidth, y, kCellWidth, row.height);
            painter.fillRect(cell.adjusted(2, 1, -2, -1), Qt::white);
            painter.save();
            painter.setClipRect(cell.adjusted(2, 1, -2, -1));
            painter.setFont(QApplication::font());
            painter.setPen(QApplication::palette().color(QPalette::WindowText));
            QApplication::setLayoutDirection(directionFor(TLook(look)));
            painter.setLayoutDirection(directionFor(TLook(look)));
            row.draw(&painter, cell, TLook(look));
            QApplication::setLayoutDirection(direction);
            painter.restore();
            if (cellNames)
                cellNames->append(row.name + QLatin1Char('/') + QLatin1String(kLookNames[look]));
        }
        y += row.height;
    }
    return sheet;
}
