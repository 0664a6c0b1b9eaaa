// Polishing of the application and of widgets by class and style role.

#include "style/quorcommonstyle.h"
#include "windows/quorshadowframe.h"
#include "windows/quorwindowedge.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFrame>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>

namespace {

const char* const kRoleProperty = "com_velto_qstyleRole";
const char* const kFontRoleProperty = "com_velto_fontRole";

const char* const kFontFiles[] = {
    ":/QuorCommonStyle/Fonts/VeltoStandardMS/Velto Standard Multi v2.1.ttf",
    ":/QuorCommonStyle/Fonts/VeltoStandardMS/Velto Standard Multi Bold Italic v1.1.ttf",
    ":/QuorCommonStyle/Fonts/VeltoStandardMS/Velto Standard Multi Bold v2.1.ttf",
    ":/QuorCommonStyle/Fonts/VeltoStandardMS/Velto Standard Multi Italic v1.1.ttf",
    ":/QuorCommonStyle/Fonts/VeltoStandardMS/Velto Standard Multi Light Italic v1.1.ttf",
    ":/QuorCommonStyle/Fonts/VeltoStandardMS/Velto Standard Multi Light v1.1.ttf",
};

void setRole(QWidget* widget, const char* role)
{
    widget->setProperty(kRoleProperty, QString::fromLatin1(role));
}

void setLayoutMargins(QWidget* widget, int left, int top, int right, int bottom)
{
    if (QLayout* layout = widget->layout())
        layout->setContentsMargins(left, top, right, bottom);
}

} // namespace

void CQuorCommonStyle::polish(QApplication* application)
{
    QProxyStyle::polish(application);

    // Only the fonts this style added earlier go; fonts other code registered stay.
    for (int id : std::as_const(m_fontIds))
        QFontDatabase::removeApplicationFont(id);
    m_fontIds.clear();
    for (const char* path : kFontFiles) {
        QFile file(QString::fromUtf8(path));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const int id = QFontDatabase::addApplicationFontFromData(file.readAll());
        if (id >= 0)
            m_fontIds.append(id);
    }

    QFont font = QApplication::font();
    font.setPointSize(m_largeFonts ? 12 : 10);
    font.setStyle(QFont::StyleNormal);
    font.setStyleStrategy(static_cast<QFont::StyleStrategy>(QFont::PreferDevice | QFont::PreferQuality));
    QApplication::setFont(font);

    if (application)
        application->installEventFilter(this);
}

void CQuorCommonStyle::unpolish(QApplication* application)
{
    QProxyStyle::unpolish(application);
    if (application)
        application->removeEventFilter(this);
}

void CQuorCommonStyle::polish(QWidget* w)
{
    QProxyStyle::polish(w);
    if (!w)
        return;
    const QString role = styleRole(w);

    if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QAbstractSlider*>(w)) {
        w->setAttribute(Qt::WA_Hover);
    } else if (auto* view = qobject_cast<QAbstractItemView*>(w)) {
        if (QWidget* viewport = view->viewport())
            viewport->setAttribute(Qt::WA_Hover);
        else
            w->setAttribute(Qt::WA_Hover);
    }

    auto trackMenuBar = [this](QWidget* menuBar) {
        if (m_menuBars.contains(menuBar))
            return;
        m_menuBars.insert(menuBar);
        // A menu bar destroyed without being unpolished must not stay in the set.
        connect(menuBar, &QObject::destroyed, this,
                [this](QObject* object) { m_menuBars.remove(static_cast<QWidget*>(object)); });
    };
    if (qobject_cast<QMenuBar*>(w))
        trackMenuBar(w);
    else if (qobject_cast<QMenu*>(w))
        w->setMouseTracking(true);

    const bool rtl = w->isRightToLeft();
    bool removeShadow = false;
    bool attachShadow = false;
    SNinePatchMargins shadowMargins{14, 10, 14, 18};
    bool customMargins = false;
    bool edge = false; // a line along the window's outline while there is no shadow
    auto shadowWithKey = [&](int key) {
        attachShadow = true;
        shadowMargins = ninePatchMargins(key);
        customMargins = true;
    };
    auto* frame = qobject_cast<QFrame*>(w);

    if (role.isEmpty()) {
        // Table 1: widgets without a role, by class.
        if (qobject_cast<QMenuBar*>(w)) {
            w->setProperty(kFontRoleProperty, QStringLiteral("widgetlibrary.menu.item.text"));
            setRole(w, "quor.commonuilibrary.menubar");
            trackMenuBar(w);
        } else if (qobject_cast<QMenu*>(w)) {
            w->setProperty(kFontRoleProperty, QStringLiteral("widgetlibrary.menu.item.text"));
            setRole(w, "quor.commonuilibrary.menu");
            w->setContentsMargins(0, 0, 1, 0);
            removeShadow = true;
            shadowWithKey(MarginsWindowShadow);
            edge = true;
        } else if (qobject_cast<QScrollBar*>(w)) {
            setRole(w, "quor.commonuilibrary.scrollbar");
        } else if (qobject_cast<QTabWidget*>(w) || qobject_cast<QTabBar*>(w)) {
            setRole(w, "quor.commonuilibrary.default");
        }
        if (w->objectName() == QLatin1String("popupButton")) {
            setRole(w, "quor.commonuilibrary.toolbutton.popup");
            w->setFixedWidth(logicalWidth(m_phonePaneBall));
        }
        if (frame && (frame->frameShape() == QFrame::HLine || frame->frameShape() == QFrame::VLine)) {
            if (frame->frameShape() == QFrame::HLine)
                frame->setFixedHeight(1);
            else
                frame->setFixedWidth(1);
            frame->setFrameShape(QFrame::StyledPanel);
            setRole(w, "quor.commonuilibrary.line");
        }
    } else {
        // Table 2: the first matching role.
        if (role.startsWith(QLatin1String("placeholder"))) {
            if (w->layout()) {
                if (role.endsWith(QLatin1String("homewidget")))
                    setLayoutMargins(w, 12, 12, 12, 12);
                else if (role.endsWith(QLatin1String("notifywidget")))
                    setLayoutMargins(w, 1, 1, 1, 1);
            }
        } else if (role.startsWith(QLatin1String("popup"))) {
            if (role.endsWith(QLatin1String("toast")))
                w->setContentsMargins(4, 3, 8, 11);
            else if (role.endsWith(QLatin1String("itemlist")))
                setLayoutMargins(w, 14, 9, 14, 18);
        } else if (role == QLatin1String("dashboard")) {
            QPalette palette = w->palette();
            palette.setColor(QPalette::Base, QColor(235, 235, 235));
            w->setPalette(palette);
        } else if (role == QLatin1String("frame.sendmessage") || role == QLatin1String("frame.editcontact")) {
            QPalette palette = w->palette();
            palette.setColor(QPalette::Window, QColor(247, 247, 248));
            w->setPalette(palette);
        } else if (role == QLatin1String("tooltip")) {
            const SNinePatchMargins m = ninePatchMargins(MarginsToolTip);
            w->setContentsMargins(m.left - 3, m.top - 2, m.right - 2, m.bottom - 2);
        } else if (role == QLatin1String("tooltip.textfield")) {
            const SNinePatchMargins m = ninePatchMargins(MarginsToolTipArrowed);
            setLayoutMargins(w, m.left + 10, m.top + 9, m.right + 10, m.bottom + 11);
        } else if (role == QLatin1String("tooltip.restore")) {
            if (w->layout()) {
                if (rtl)
                    setLayoutMargins(w, 20, 12, 35, 16);
                else
                    setLayoutMargins(w, 35, 12, 20, 16);
                w->setFixedHeight(logicalHeight(m_restoreArrow));
            }
        }

        // Table 3: the first matching condition.
        if (role.startsWith(QLatin1String("window")) &&
            (role.endsWith(QLatin1String("main")) || role.endsWith(QLatin1String("secondary")) ||
             role.endsWith(QLatin1String("dialog"))) &&
            w->isWindow()) {
            shadowWithKey(MarginsWindowShadow);
        } else if (role == QLatin1String("itemlist") && w->isWindow()) {
            if (w->objectName() == QLatin1String("widgetLibrary.itemList"))
                removeShadow = true;
            else
                attachShadow = true; // the shadow frame's own margins (14, 10, 14, 18)
        } else if (role == QLatin1String("listpopup.view.frame")) {
            if (frame) {
                frame->setFrameStyle(QFrame::NoFrame | QFrame::Plain);
                frame->setLineWidth(0);
                frame->setMidLineWidth(0);
                removeShadow = true;
                shadowWithKey(MarginsListShadow);
                edge = true;
            }
        } else if (role == QLatin1String("menu.combobox")) {
            w->setContentsMargins(0, 0, 5, 0);
            shadowWithKey(MarginsListShadow);
            edge = true;
        } else if (auto* splitter = qobject_cast<QSplitter*>(w)) {
            splitter->setHandleWidth(
                role == QLatin1String("navigation.splitter") ? logicalHeight(m_carouselHandle) : 1);
        } else if (role == QLatin1String("textedit")) {
            if (frame)
                frame->setLineWidth(0);
        } else if (frame && (role.endsWith(QLatin1String(".secondary.bottomFrame")) ||
                             role.endsWith(QLatin1String(".dialog.bottomFrame")))) {
            frame->setFixedHeight(logicalHeight(m_secondaryBottom));
        } else if (frame && role.startsWith(QLatin1String("line"))) {
            frame->setFixedHeight(5);
            frame->setFrameShape(QFrame::StyledPanel);
        } else if (frame && (role == QLatin1String("itemlist.hline") ||
                             role == QLatin1String("messages.contentpane.hline"))) {
            frame->setFrameShape(QFrame::StyledPanel);
            frame->setFixedHeight(1);
        } else if (frame && role == QLatin1String("frame.vertical.makkara")) {
            frame->setMinimumWidth(2 * logicalWidth(m_verticalMakkara));
            frame->setFrameShape(QFrame::StyledPanel);
        } else if (!frame && role == QLatin1String("button.dashboard")) {
            w->setProperty(kFontRoleProperty, QStringLiteral("common.dashboard.button.label"));
        } else if (!frame && role == QLatin1String("button.syncall")) {
            w->setProperty(kFontRoleProperty, QStringLiteral("common.mainframe.button.syncall"));
        }
    }

    // The window system's own shadow would double ours. The hint only counts before the native
    // window exists, so a window that has one already keeps what it has.
    if (removeShadow && w->isWindow() && !w->testAttribute(Qt::WA_WState_Created) &&
        !w->testAttribute(Qt::WA_WState_Visible) && !(w->windowFlags() & Qt::NoDropShadowWindowHint)) {
        w->setWindowFlag(Qt::NoDropShadowWindowHint);
    }

    if (attachShadow) {
        // Polishing again (a style or role change) keeps the one shadow the widget has.
        CQuorShadowFrame* shadow = nullptr;
        const auto frames = w->findChildren<CQuorShadowFrame*>(Qt::FindDirectChildrenOnly);
        for (CQuorShadowFrame* candidate : frames) {
            if (candidate->isActive()) {
                shadow = candidate;
                break;
            }
        }
        if (!shadow)
            shadow = new CQuorShadowFrame(w);
        if (customMargins)
            shadow->setMargins(shadowMargins);
    }

    if (edge && w->isWindow())
        CQuorWindowEdge::attach(w);

    const QString fontRole = w->property(kFontRoleProperty).toString();
    if (!fontRole.isEmpty()) {
        QPalette palette = w->palette();
        QFont font = w->font();
        if (resolveFontRole(fontRole, palette, font)) {
            w->setPalette(palette);
            w->setFont(font);
        }
    }

    if (role == QLatin1String("lineedit.textfield"))
        w->setFixedHeight(QFontMetrics(w->font()).height());
}

void CQuorCommonStyle::unpolish(QWidget* w)
{
    if (qobject_cast<QMenuBar*>(w)) {
        m_menuBars.remove(w);
        disconnect(w, &QObject::destroyed, this, nullptr);
    }
    QProxyStyle::unpolish(w);
}
