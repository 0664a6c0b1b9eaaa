#include "windowgallery.h"

#include "flickrgallery.h"
#include "imediaposting.h"
#include "mainwindow/meskbottombar.h"
#include "mainwindow/meskmaintitlebar.h"
#include "mainwindow/mesktoolbar.h"
#include "meskmessagebox.h"
#include "mesknotification.h"
#include "meskpostcommentwidget.h"
#include "meskservicesetupwidget.h"
#include "meskshadow.h"
#include "mesktextedit.h"
#include "twittersamples.h"
#include "ui/flickrphotowidget.h"
#include "ui/flickrsetupwidget.h"
#include "ui/twittersetupwidget.h"
#include "ui/twitterstatuswidget.h"
#include "widgets/quorbuttons.h"
#include "widgets/quorcombobox.h"
#include "widgets/quorlineedit.h"
#include "widgets/quoroptiongroup.h"
#include "widgets/quortextedit.h"
#include "windows/quorarrowtooltip.h"
#include "windows/quordialog.h"
#include "windows/quordialogtitlebar.h"
#include "windows/quorpopupwidget.h"
#include "windows/quortooltiplabel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QStyleHintReturnMask>
#include <QStyleOption>
#include <QTextStream>
#include <QTimer>
#include <QVBoxLayout>

#include <functional>
#include <memory>

namespace {

// A comment poster that takes every comment and never answers.
class CWindowCommentPoster : public IMediaCommentPoster
{
public:
    using IMediaCommentPoster::IMediaCommentPoster;
    bool canPost() const override { return true; }
    bool isBusy() const override { return false; }
    bool postComment(const QString&) override { return true; }
};

struct SWindowRow
{
    QString name;
    std::function<void()> show;
};

QWidget* makeBackdrop(const QRect& screen)
{
    auto* backdrop = new QWidget(nullptr, Qt::FramelessWindowHint);
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(96, 144, 200));
    backdrop->setPalette(palette);
    backdrop->setAutoFillBackground(true);
    backdrop->setGeometry(screen);
    auto* layout = new QVBoxLayout(backdrop);
    auto* caption = new QLabel(QStringLiteral("gallery --window: %1").arg(QGuiApplication::platformName()));
    layout->addWidget(caption, 0, Qt::AlignBottom | Qt::AlignRight);
    return backdrop;
}

CQuorDialog* makeDialog(const QRect& geometry)
{
    auto* dialog = new CQuorDialog;
    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* bar = new CQuorDialogTitleBar(dialog);
    bar->setColor(CQuorDialogTitleBar::Blue);
    bar->setWindowTitle(QStringLiteral("Dialog"));
    layout->addWidget(bar);
    auto* content = new QFrame;
    content->setObjectName(QStringLiteral("contentFrame"));
    auto* contentLayout = new QVBoxLayout(content);
    contentLayout->addWidget(new QLabel(QStringLiteral("Pick a contact:")));
    auto* combo = new CQuorComboBox;
    combo->addItems({QStringLiteral("Alpha"), QStringLiteral("Beta"), QStringLiteral("Gamma"),
                     QStringLiteral("A very long entry that does not fit")});
    contentLayout->addWidget(combo);
    contentLayout->addStretch();
    layout->addWidget(content, 1);
    auto* bottom = new QFrame;
    bottom->setObjectName(QStringLiteral("bottomFrame"));
    bottom->setProperty("com_velto_qstyleRole",
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
    dialog->setGeometry(geometry);
    return dialog;
}

QWidget* makeToolkitWindow(const QRect& geometry)
{
    auto* window = new QWidget;
    window->setWindowTitle(QStringLiteral("Toolkit widgets"));
    auto* layout = new QVBoxLayout(window);
    auto* edit = new CQuorLineEdit;
    edit->setGuideText(QStringLiteral("Type to search"));
    layout->addWidget(edit);
    auto* group = new CQuorOptionGroup(nullptr, 3);
    const QStringList texts = {QStringLiteral("Day"), QStringLiteral("Week"), QStringLiteral("All")};
    for (int i = 0; i < 3; ++i)
        group->button(i)->setText(texts.at(i));
    group->setSelected(1);
    layout->addWidget(group);
    auto* box = new CQuorCheckBox;
    box->setText(QStringLiteral("Remember me"));
    box->setChecked(true);
    layout->addWidget(box);
    auto* text = new CQuorTextEdit;
    text->setPlainText(QStringLiteral("Two lines\nof text"));
    layout->addWidget(text);
    auto* save = new CQuorGradientButton(nullptr, CQuorGradientButton::Positive);
    save->setText(QStringLiteral("&Save"));
    layout->addWidget(save, 0, Qt::AlignRight);
    window->setGeometry(geometry);
    return window;
}

CQuorArrowToolTip* makeBubble(Qt::LayoutDirection direction, const QString& text)
{
    const Qt::LayoutDirection before = QApplication::layoutDirection();
    QApplication::setLayoutDirection(direction);
    auto* bubble = new CQuorArrowToolTip;
    bubble->setLayoutDirection(direction);
    bubble->setText(text);
    bubble->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QApplication::setLayoutDirection(before);
    return bubble;
}

} // namespace

int runWindowGallery(const QString& outFile, const QString& filter)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        QTextStream(stderr) << "gallery: no screen\n";
        return 1;
    }
    const QRect area = screen->availableGeometry();
    // Every window is owned here and goes when the program ends.
    std::vector<std::unique_ptr<QWidget>> windows;
    const auto keep = [&](auto* w) {
        windows.emplace_back(w);
        return w;
    };
    QWidget* backdrop = keep(makeBackdrop(screen->geometry()));
    backdrop->show();

    const int left = area.left() + 60;
    const int top = area.top() + 40;
    QList<SWindowRow> rows;
    rows.append({QStringLiteral("dialog (CQuorDialog), combo list open"), [&] {
                     CQuorDialog* dialog = keep(makeDialog(QRect(left, top, 380, 260)));
                     dialog->show();
                     // Opened once the dialog is on screen, like a click would.
                     QTimer::singleShot(300, dialog, [dialog] {
                         if (auto* combo = dialog->findChild<CQuorComboBox*>())
                             combo->showPopup();
                     });
                 }});
    rows.append({QStringLiteral("toolkit widgets"),
                 [&] { keep(makeToolkitWindow(QRect(left + 460, top, 320, 260)))->show(); }});
    rows.append({QStringLiteral("popup widget (popup.itemlist)"), [&] {
                     auto* popup = keep(new CQuorPopupWidget(nullptr, Qt::Tool));
                     auto* layout = new QVBoxLayout(popup->contentWidget());
                     layout->setContentsMargins(24, 20, 24, 24);
                     layout->addWidget(new QLabel(QStringLiteral("Popup content")));
                     popup->setGeometry(left + 860, top, 220, 150);
                     popup->show();
                 }});
    rows.append({QStringLiteral("arrow tooltip near the left edge, right to left"), [&] {
                     CQuorArrowToolTip* bubble =
                         makeBubble(Qt::RightToLeft, QStringLiteral("An arrow tooltip near the left edge"));
                     keep(bubble);
                     bubble->showAt(QPoint(area.left() + 40, top + 360));
                 }});
    rows.append({QStringLiteral("arrow tooltip near the right edge, left to right"), [&] {
                     CQuorArrowToolTip* bubble =
                         makeBubble(Qt::LeftToRight, QStringLiteral("An arrow tooltip near the right edge"));
                     keep(bubble);
                     bubble->showAt(QPoint(area.right() - 40, top + 360));
                 }});
    rows.append({QStringLiteral("arrow tooltip near the bottom edge"), [&] {
                     CQuorArrowToolTip* bubble =
                         makeBubble(Qt::LeftToRight, QStringLiteral("An arrow tooltip near the bottom edge"));
                     keep(bubble);
                     bubble->showAt(QPoint(area.center().x(), area.bottom() - 10));
                 }});
    // The product's dialogs and the comment editor.
    rows.append({QStringLiteral("product message box (CMeskMessageBox), warning"), [&] {
                     auto* box = keep(new CMeskMessageBox(
                         1, QStringLiteral("Remove the Facebook account and everything fetched from it?"),
                         QStringLiteral("Warning")));
                     box->setGeometry(left, top, 380, 200);
                     box->show();
                 }});
    rows.append(
        {QStringLiteral("product setup wizard (CMeskServiceSetupWidget), welcome page, connecting"), [&] {
             auto* wizard = keep(new CMeskServiceSetupWidget);
             const QString name = QStringLiteral("Facebook");
             wizard->setTitle(CMeskServiceSetupWidget::wizardTitleText(name));
             wizard->showWelcomePage(CMeskServiceSetupWidget::welcomeText(name));
             wizard->showConnectingPage(name);
             auto* strip = new QLabel(QStringLiteral("  Log in, then come back here."));
             wizard->insertCustomPage(strip);
             wizard->setGeometry(left + 420, top, 640, 480);
             wizard->show();
         }});
    rows.append(
        {QStringLiteral("product comment editor (CMeskPostCommentWidget), collapsed and failed"), [&] {
             auto* window = keep(new QWidget);
             window->setWindowTitle(QStringLiteral("Comment editors"));
             auto* layout = new QVBoxLayout(window);
             layout->addWidget(new CMeskPostCommentWidget(new CWindowCommentPoster(window)));
             auto* poster = new CWindowCommentPoster(window);
             auto* failed = new CMeskPostCommentWidget(poster);
             layout->addWidget(failed);
             layout->addStretch();
             QMetaObject::invokeMethod(failed, "_onEditorFocusIn");
             failed->editor()->setPlainText(QStringLiteral("Nice photo!"));
             failed->sendButton()->click();
             emit poster->failed();
             window->setGeometry(left, top + 240, 360, 260);
             window->show();
         }});
    // The Twitter feed widgets on stored sample items, and the Twitter setup page with its PIN bar.
    const CTwitterGallerySamples twitter;
    rows.append(
        {QStringLiteral("Twitter status and own update (CTwitterStatusWidget, CTwitterUpdateWidget)"), [&] {
             if (!twitter.isValid())
                 return;
             auto* window = keep(new QWidget);
             window->setWindowTitle(QStringLiteral("Twitter items"));
             auto* layout = new QVBoxLayout(window);
             layout->addWidget(twitter.statusWidget());
             layout->addWidget(twitter.updateWidget());
             layout->addStretch();
             window->setGeometry(left + 860, top + 200, 380, 260);
             window->show();
         }});
    rows.append({QStringLiteral("Twitter setup wizard (CTwitterSetupWidget), PIN bar"), [&] {
                     if (!twitter.isValid())
                         return;
                     CTwitterSetupWidget* wizard = keep(twitter.wizardWithPinBar());
                     wizard->setGeometry(left + 60, top + 300, 800, 500);
                     wizard->show();
                 }});
    // The product's floating windows: a tab-shaped post dialog with one shadow per rectangle, and
    // the toast in the corner of the work area.
    rows.append({QStringLiteral("post dialog shadows (CMeskComplexShadow)"), [&] {
                     auto* dialog = keep(new QWidget(nullptr, Qt::FramelessWindowHint));
                     dialog->setProperty("com_velto_mesk_qstyleRole",
                                         QStringLiteral("mesk.uilibrary.postupdatewidget"));
                     dialog->setProperty("tabWidth", 120);
                     dialog->setProperty("tabHeight", 30);
                     dialog->setAutoFillBackground(true);
                     dialog->setGeometry(left + 460, top + 440, 360, 250);
                     QStyleOption option(1);
                     option.initFrom(dialog);
                     QStyleHintReturnMask mask;
                     if (dialog->style()->styleHint(QStyle::SH_WindowFrame_Mask, &option, dialog, &mask))
                         dialog->setMask(mask.region);
                     auto* shadow = new CMeskComplexShadow(dialog);
                     shadow->addShadow(QRect(0, 0, 120, 30));
                     shadow->addShadow(QRect(0, 30, 360, 220));
                     dialog->show();
                 }});
    rows.append({QStringLiteral("toast (CMeskNotification)"), [&] {
                     auto* toast = keep(new CMeskNotification);
                     toast->setFadeDuration(200);
                     toast->setHideDelay(600000);
                     QPixmap avatar(48, 48);
                     avatar.fill(QColor(129, 193, 25));
                     toast->showNotification(
                         QStringLiteral("<b>Ann Example</b><br>Tom &amp; Ann are at the lake"
                                        " this weekend, are you coming?"),
                         avatar, toast->style()->standardPixmap(QStyle::SP_TitleBarMenuButton));
                 }});
    // The main window's chrome stacked in a frameless window, the menu of the View button closed.
    rows.append({QStringLiteral("main window chrome (CMeskMainTitleBar, CMeskToolBar, CMeskColumnHScroll, "
                                "CMeskBottomBar), single and multi column"),
                 [&] {
                     for (int multi = 0; multi < 2; ++multi) {
                         auto* window = keep(new QWidget);
                         auto* layout = new QVBoxLayout(window);
                         layout->setContentsMargins(0, 0, 0, 0);
                         layout->setSpacing(0);
                         auto* bar = new CMeskMainTitleBar(window);
                         bar->setTitle(QStringLiteral("Velto Lumesk"));
                         layout->addWidget(bar);
                         layout->addWidget(new CMeskToolBar(multi == 1));
                         auto* scroller = new CMeskColumnHScroll;
                         layout->addWidget(scroller);
                         scroller->setVisible(multi == 1);
                         auto* feeds = new QLabel(QStringLiteral("  (feeds)"));
                         feeds->setAutoFillBackground(true);
                         layout->addWidget(feeds, 1);
                         auto* bottom = new CMeskBottomBar(multi == 1);
                         if (multi == 1)
                             bottom->showSettingsMode();
                         layout->addWidget(bottom);
                         window->setGeometry(left - 40 + multi * 650, top + 300, 620, 260);
                         window->show();
                         scroller->setColumns(3, 5);
                         scroller->setCurrentColumn(1);
                         // The single-column window's system menu, as a right click in its bar opens it.
                         if (multi == 0) {
                             QTimer::singleShot(400, bar, [bar] {
                                 QCursor::setPos(bar->mapToGlobal(QPoint(200, bar->height() / 2)));
                                 bar->showSystemMenu();
                             });
                         }
                     }
                 }});
    // Flickr: a service column's two photo posts, and the setup page with its "Ready" bar.
    std::unique_ptr<CFlickrGallerySamples> flickr;
    const auto flickrSamples = [&] {
        if (!flickr)
            flickr = std::make_unique<CFlickrGallerySamples>();
        return flickr.get();
    };
    rows.append({QStringLiteral("Flickr photo posts (CFlickrPhotoWidget), one photo and five photos"), [&] {
                     auto* column = keep(new QWidget);
                     column->setWindowTitle(QStringLiteral("Flickr posts"));
                     column->setAutoFillBackground(true);
                     column->setPalette(QPalette(Qt::white));
                     auto* layout = new QVBoxLayout(column);
                     for (const int photos : {1, 5}) {
                         if (CFlickrPhotoWidget* item = flickrSamples()->makePostWidget(photos))
                             layout->addWidget(item);
                     }
                     layout->addStretch();
                     column->setGeometry(left, top, 360, 330);
                     column->show();
                 }});
    rows.append({QStringLiteral("Flickr setup page (CFlickrSetupWidget) with the \"Ready\" bar"), [&] {
                     CFlickrSetupWidget* wizard = keep(flickrSamples()->makeSetupWidget());
                     wizard->move(left + 380, top);
                     wizard->show();
                 }});
    // Last: a tooltip label goes (and deletes itself) at the next activation or focus change anywhere.
    QPointer<CQuorToolTipLabel> label;
    rows.append({QStringLiteral("tooltip label (tooltip)"), [&] {
                     // After the combo list opened and took the focus.
                     QTimer::singleShot(700, qApp, [&] {
                         label = new CQuorToolTipLabel(QStringLiteral("A tooltip label"));
                         label->move(left + 860, top + 200);
                         label->show();
                     });
                 }});

    QApplication::setEffectEnabled(Qt::UI_FadeTooltip, false);
    QApplication::setEffectEnabled(Qt::UI_AnimateCombo, false);
    int shown = 0;
    for (const SWindowRow& row : std::as_const(rows)) {
        if (!filter.isEmpty() && !row.name.contains(filter))
            continue;
        row.show();
        ++shown;
    }
    if (shown == 0) {
        QTextStream(stderr) << "gallery: no window row matches " << filter << "\n";
        return 2;
    }

    int result = 0;
    if (!outFile.isEmpty()) {
        // The fades take 300 ms; the combo list opens after 300 ms.
        QTimer::singleShot(1500, qApp, [&] {
            const QImage shot = screen->grabWindow(0).toImage();
            if (shot.isNull() || !shot.save(outFile, "PNG")) {
                QTextStream(stderr) << "gallery: cannot write " << outFile << "\n";
                result = 1;
            }
            QApplication::quit();
        });
    }
    const int loop = QApplication::exec();
    delete label;
    windows.clear();
    return result ? result : loop;
}
