#include "meskmessagebox.h"

#include "meskdialogtitlebar.h"
#include "style/quorcommonstyle.h"
#include "widgets/quorbuttons.h"

#include <QDesktopServices>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QUrl>
#include <QVBoxLayout>

CMeskMessageBox::CMeskMessageBox(int type, const QString& text, const QString& title, QWidget* parent)
    : CQuorDialog(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    m_titleBar = new CMeskDialogTitleBar(this, QString(), true);
    m_titleBar->setTitle(title);

    m_contentFrame = new QFrame;
    m_contentFrame->setObjectName(QStringLiteral("contentFrame"));
    auto* contentLayout = new QHBoxLayout(m_contentFrame);
    m_textLabel = new QLabel(text);
    m_textLabel->setWordWrap(true);
    contentLayout->addWidget(m_textLabel);

    m_bottomFrame = new QFrame;
    m_bottomFrame->setObjectName(QStringLiteral("bottomFrame"));
    m_bottomFrame->setFrameShape(QFrame::StyledPanel);
    m_bottomFrame->setFixedHeight(
        style()->pixelMetric(QStyle::PixelMetric(CQuorCommonStyle::PM_QuorSecondaryBottomBarHeight)));
    m_bottomFrame->setProperty("com_velto_qstyleRole",
                               QStringLiteral("quor.commonuilibrary.window.dialog.bottomFrame"));
    m_buttonLayout = new QHBoxLayout(m_bottomFrame);
    m_buttonLayout->setContentsMargins(0, 0, 0, 0);
    m_buttonLayout->addStretch(1);
    auto* ok = new CQuorGradientButton(this, CQuorGradientButton::Positive);
    //: Button label
    ok->setText(tr("Ok"));
    m_buttonLayout->addWidget(ok);
    auto* cancel = new CQuorGradientButton(this, CQuorGradientButton::Negative);
    //: Button label
    cancel->setText(tr("Cancel"));
    m_buttonLayout->addWidget(cancel);
    connect(ok, &QAbstractButton::clicked, this, &QDialog::accept);
    connect(cancel, &QAbstractButton::clicked, this, &QDialog::reject);

    if (type == 0)
        m_titleBar->setColor(CMeskDialogTitleBar::Purple);
    else if (type == 1 || type == 2)
        m_titleBar->setColor(CMeskDialogTitleBar::Yellow);

    layout->addWidget(m_titleBar, 0);
    layout->addWidget(m_contentFrame, 1);
    layout->addWidget(m_bottomFrame, 0);
}

CMeskMessageBox::~CMeskMessageBox() = default;

bool CMeskMessageBox::error(const QString& text, QWidget* parent)
{
    //: Type of dialog - error, warning, or information
    CMeskMessageBox box(0, text, tr("Error"), parent);
    return box.exec() != 0;
}

bool CMeskMessageBox::warning(const QString& text, QWidget* parent)
{
    //: Type of dialog - error, warning, or information
    CMeskMessageBox box(1, text, tr("Warning"), parent);
    return box.exec() != 0;
}

bool CMeskMessageBox::information(const QString& text, QWidget* parent, Qt::TextFormat format)
{
    //: Type of dialog - error, warning, or information
    CMeskMessageBox box(2, text, tr("Information"), parent);
    box.textLabel()->setTextFormat(format);
    return box.exec() != 0;
}

bool CMeskMessageBox::openUrl(const QUrl& url, QWidget* parent)
{
    if (QDesktopServices::openUrl(url))
        return true;
    // Without a launcher (no xdg-open, no $BROWSER) a click would otherwise do nothing at all.
    //: Message when no program could be started to show an address; the address follows on the next line
    const QString text =
        tr("No web browser could be started to open") + QLatin1Char('\n') + url.toDisplayString();
    //: Type of dialog - error, warning, or information
    CMeskMessageBox box(0, text, tr("Error"), parent);
    box.textLabel()->setTextFormat(Qt::PlainText); // the address is shown as it is
    box.exec();
    return false;
}
