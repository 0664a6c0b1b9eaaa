#include "media/meskdeepdiveview.h"

#include "imediaitemprovider.h"
#include "imediaobjects.h"
#include "media/meskmediaviewer.h"
#include "media/meskthumbnailstrip.h"
#include "meskengine.h"
#include "meskuistyle.h"
#include "settings/mesksettings.h"
#include "style/quorcommonstyle.h"
#include "widgets/quorbuttons.h"
#include "windows/quorscreenfit.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSet>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The network type of a mobile-broadband connection.
constexpr int kMobileBroadbandNetwork = 3;

void setTextColours(QWidget* widget, int active, int disabled, int inactive)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Active, QPalette::WindowText, CMeskUiStyle::color(active));
    if (disabled >= 0)
        palette.setColor(QPalette::Disabled, QPalette::WindowText, CMeskUiStyle::color(disabled));
    palette.setColor(QPalette::Inactive, QPalette::WindowText, CMeskUiStyle::color(inactive));
    widget->setPalette(palette);
}

QFont arialFont(int points, bool bold)
{
    // "Arial" falls back to the style's font substitution (DejaVu Sans) where it is missing.
    QFont font(QStringLiteral("Arial"), points);
    font.setBold(bold);
    return font;
}

} // namespace

// ---- CMeskDeepDiveWarningWidget ----

CMeskDeepDiveWarningWidget::CMeskDeepDiveWarningWidget(const QString& title, const QString& text,
                                                       QWidget* parent)
    : QWidget(parent), m_title(new QLabel(title, this)), m_text(new QLabel(text, this)),
      m_checkBox(new CQuorCheckBox(this)), m_ok(new CQuorGradientButton(this, CQuorGradientButton::Positive)),
      m_close(new CQuorGradientButton(this, CQuorGradientButton::Negative))
{
    m_title->setFont(arialFont(15, true));
    m_text->setFont(arialFont(12, false));
    m_text->setWordWrap(true);
    for (QWidget* widget :
         {static_cast<QWidget*>(m_title), static_cast<QWidget*>(m_text), static_cast<QWidget*>(m_checkBox)})
        setTextColours(widget, 45, 45, 45);
    m_checkBox->hide();

    m_ok->setText(tr("Ok", "button label"));
    m_close->setText(tr("Close", "button label"));
    connect(m_ok, &QPushButton::clicked, this, &CMeskDeepDiveWarningWidget::ignore);
    connect(m_close, &QPushButton::clicked, this, &CMeskDeepDiveWarningWidget::cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_title);
    layout->addSpacing(25);
    layout->addWidget(m_text);
    layout->addSpacing(25);
    layout->addWidget(m_checkBox);
    layout->addSpacing(35);
    auto* row = new QHBoxLayout;
    row->addWidget(m_ok);
    row->addWidget(m_close);
    row->addStretch(1);
    layout->addLayout(row);
    layout->addStretch(1);

    setFixedWidth(400);
}

CMeskDeepDiveWarningWidget::~CMeskDeepDiveWarningWidget() = default;

void CMeskDeepDiveWarningWidget::setTitle(const QString& title)
{
    m_title->setText(title);
}

void CMeskDeepDiveWarningWidget::setText(const QString& text)
{
    m_text->setText(text);
}

void CMeskDeepDiveWarningWidget::setCheckBoxText(const QString& text)
{
    m_checkBox->setText(text);
    m_checkBox->show();
}

bool CMeskDeepDiveWarningWidget::isChecked() const
{
    return m_checkBox->isChecked();
}

QString CMeskDeepDiveWarningWidget::title() const
{
    return m_title->text();
}

QString CMeskDeepDiveWarningWidget::text() const
{
    return m_text->text();
}

// ---- CMeskDeepDiveLinkButton ----

CMeskDeepDiveLinkButton::CMeskDeepDiveLinkButton(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    setProperty("com_velto_mesk_qstyleRole", QStringLiteral("mesk.uilibrary.itemlinkbutton"));
    setFont(arialFont(9, true));
    setTextColours(this, 46, 47, 46);
    setCursor(Qt::PointingHandCursor);
}

CMeskDeepDiveLinkButton::~CMeskDeepDiveLinkButton() = default;

void CMeskDeepDiveLinkButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();
    emit clicked();
}

// ---- CMeskDeepDiveView ----

CMeskDeepDiveView::CMeskDeepDiveView(CMeskEngine* engine, CMeskSettings* settings, QWidget* parent)
    : QWidget(parent, Qt::Window), m_engine(engine), m_settings(settings)
{
    setWindowModality(Qt::ApplicationModal);
    // On a screen smaller than the browser's layout wants, it still covers the screen, no more.
    CQuorScreenFit::watch(this);

    m_infoWidget = new CMeskMediaInfoWidget(this);
    // Empty until the strip has a current object (no frame of an empty avatar on a warning page).
    QSizePolicy infoPolicy = m_infoWidget->sizePolicy();
    infoPolicy.setRetainSizeWhenHidden(true);
    m_infoWidget->setSizePolicy(infoPolicy);
    m_infoWidget->hide();
    m_previousButton = new CMeskDeepDiveLinkButton(tr("« Previous", "button label"), this);
    auto* separator = new QLabel(QStringLiteral("|"), this);
    separator->setFont(m_previousButton->font());
    setTextColours(separator, 46, 47, 46);
    m_nextButton = new CMeskDeepDiveLinkButton(tr("Next »", "button label"), this);
    auto* exitLabel = new QLabel(tr("Exit", "button label"), this);
    exitLabel->setFont(arialFont(11, true));
    setTextColours(exitLabel, 40, -1, 40);

    m_exitButton = new QToolButton(this);
    m_exitButton->setProperty("com_velto_qstyleRole",
                              QStringLiteral("quor.commonuilibrary.toolbutton.icononly"));
    const auto closeIcon = QStyle::StandardPixmap(CQuorCommonStyle::SP_QuorCloseLight);
    m_exitButton->setIcon(style()->standardIcon(closeIcon, nullptr, this));
    m_exitButton->setIconSize(
        style()->standardPixmap(closeIcon, nullptr, this).deviceIndependentSize().toSize());
    m_exitButton->setCursor(Qt::PointingHandCursor);

    auto* topRow = new QHBoxLayout;
    topRow->addWidget(m_infoWidget, 1);
    topRow->addWidget(m_previousButton);
    topRow->addWidget(separator);
    topRow->addWidget(m_nextButton);
    topRow->addSpacing(20);
    topRow->addWidget(exitLabel);
    topRow->addWidget(m_exitButton);

    m_viewer = new CMeskMediaViewer(this);
    m_warning = new CMeskDeepDiveWarningWidget(QString(), QString(), this);
    m_warning->hide();
    m_strip = new CMeskThumbnailStrip(engine, this);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(topRow);
    layout->addWidget(m_viewer, 1);
    layout->addWidget(m_warning, 1, Qt::AlignCenter);
    layout->addWidget(m_strip, 0);

    loadContent();

    // The links stay disabled until the strip has a current object.
    m_previousButton->setEnabled(false);
    m_nextButton->setEnabled(false);
    connect(m_previousButton, &CMeskDeepDiveLinkButton::clicked, m_strip,
            &CMeskThumbnailStrip::moveActiveLeft);
    connect(m_nextButton, &CMeskDeepDiveLinkButton::clicked, m_strip, &CMeskThumbnailStrip::moveActiveRight);
    connect(m_strip, &CMeskThumbnailStrip::currentChanged, this, &CMeskDeepDiveView::_onCurrentChanged);

    if (m_objects.isEmpty()) {
        showWarning(NoContentPage, tr("No content", "Warning dialog title"),
                    tr("There is nothing yet to show, try this when you have posts with image or video "
                       "attachments."));
        return;
    }
    const bool ignoreNoInternet =
        m_settings && m_settings->value(SettingMediaIgnoreNoInternetWarning).toBool();
    const bool ignoreCell = m_settings && m_settings->value(SettingMediaIgnoreCellularWarning).toBool();
    if (!m_engine->isInternetConnected() && !ignoreNoInternet) {
        showWarning(
            NoNetworkPage, tr("No network connection", "Warning dialog title"),
            tr("Velto Lumesk cannot download new images or videos without a working Internet connection, "
               "but you can still browse content that you already downloaded."));
    } else if (m_engine->networkType() == kMobileBroadbandNetwork && !ignoreCell) {
        showWarning(
            CellWarningPage, tr("You are on 3G connection", "Warning dialog title"),
            tr("Fullscreen mode downloads larger versions of images and videos. This can consume your "
               "bandwidth limit and increase costs, unless you have unlimited bandwidth plan."));
    } else {
        showContent();
    }
}

CMeskDeepDiveView::~CMeskDeepDiveView() = default;

// Every stored image and video of the activated services but the user's own, newest first.
void CMeskDeepDiveView::loadContent()
{
    // What cannot be read leaves the content as it was.
    bool read = false;
    const QList<SServiceUser> users = m_engine->serviceUsers(&read);
    if (!read)
        return;
    QSet<mid_t> ownAccounts;
    for (const SServiceUser& user : users) {
        if (user.type == MeskUserType::OwnAccount)
            ownAccounts.insert(user.id);
    }
    QList<IMediaObject*> objects = m_engine->loadMediaContent(&read);
    if (!read)
        return;
    for (qsizetype i = objects.size() - 1; i >= 0; --i) {
        if (!objects.at(i) || ownAccounts.contains(objects.at(i)->mediaItem().user))
            objects.removeAt(i);
    }
    std::stable_sort(objects.begin(), objects.end(), [](IMediaObject* a, IMediaObject* b) {
        return a->mediaItem().created > b->mediaItem().created;
    });
    m_objects = objects;
}

void CMeskDeepDiveView::showContent()
{
    m_page = ContentPage;
    disconnect(m_warning, nullptr, this, nullptr);
    m_warning->hide();
    m_viewer->show();
    m_strip->setObjects(m_objects);
}

void CMeskDeepDiveView::showWarning(Page page, const QString& title, const QString& text)
{
    m_page = page;
    disconnect(m_warning, nullptr, this, nullptr);
    m_warning->setTitle(title);
    m_warning->setText(text);
    if (page == NoContentPage) {
        connect(m_warning, &CMeskDeepDiveWarningWidget::ignore, this, &CMeskDeepDiveView::closeView);
    } else {
        m_warning->setCheckBoxText(tr("Don't show again", "Checkbox label"));
        connect(m_warning, &CMeskDeepDiveWarningWidget::ignore, this,
                page == NoNetworkPage ? &CMeskDeepDiveView::_onIgnoreNoInternet
                                      : &CMeskDeepDiveView::_onIgnoreCellWarning);
    }
    connect(m_warning, &CMeskDeepDiveWarningWidget::cancel, this, &CMeskDeepDiveView::closeView);
    m_viewer->hide();
    m_warning->show();
}

void CMeskDeepDiveView::_onIgnoreNoInternet()
{
    if (m_warning->isChecked() && m_settings) {
        m_settings->setValue(SettingMediaIgnoreNoInternetWarning, true);
        m_settings->commitValue(SettingMediaIgnoreNoInternetWarning);
    }
    showContent();
}

void CMeskDeepDiveView::_onIgnoreCellWarning()
{
    if (m_warning->isChecked() && m_settings) {
        m_settings->setValue(SettingMediaIgnoreCellularWarning, true);
        m_settings->commitValue(SettingMediaIgnoreCellularWarning);
    }
    showContent();
}

// The viewer and the information row always follow the current object, also when its author
// or provider is unknown: nothing of the previous object stays on show.
void CMeskDeepDiveView::_onCurrentChanged()
{
    m_previousButton->setEnabled(m_strip->hasPrevious());
    m_nextButton->setEnabled(m_strip->hasNext());
    IMediaObject* object = m_strip->currentObject();
    if (!object)
        return;
    IMediaUser* author = m_engine->mediaObjectUser(object);
    IMediaItemProvider* provider = m_engine->mediaObjectProvider(object);
    m_infoWidget->setMedia(object, author, provider ? provider->icon() : QPixmap());
    m_infoWidget->show();
    m_viewer->setMediaObject(object);
}

void CMeskDeepDiveView::exec()
{
    if (m_loop)
        return; // already running: a second visit would nest loops
    // Where no window manager acts on the full-screen request, the window keeps its own size.
    // On the main window's screen, not on whichever screen a new window would land.
    if (QScreen* where = CQuorScreenFit::screenOf(this))
        setGeometry(where->geometry());
    showFullScreen();
    m_strip->setFocus();
    m_engine->stopUpdates();

    QEventLoop loop;
    m_loop = &loop;
    const auto exitConnection = connect(m_exitButton, &QToolButton::clicked, &loop, &QEventLoop::quit);
    const auto closeConnection = connect(this, &CMeskDeepDiveView::closeView, &loop, &QEventLoop::quit);
    loop.exec();
    disconnect(exitConnection);
    disconnect(closeConnection);
    m_loop = nullptr;

    hide();
    m_engine->startUpdates();
}

void CMeskDeepDiveView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), CMeskUiStyle::color(39));
}

// The window manager closing the window (Alt+F4, its window menu) ends the visit like Exit.
void CMeskDeepDiveView::closeEvent(QCloseEvent* event)
{
    event->accept();
    emit closeView();
}
