#include "meskpostcommentwidget.h"

#include "imediaposting.h"
#include "mesktextedit.h"
#include "meskuistyle.h"
#include "widgets/quoranimationwidget.h"
#include "widgets/quorbuttons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

CMeskPostCommentWidget::CMeskPostCommentWidget(IMediaCommentPoster* poster, QWidget* parent)
    : QWidget(parent), m_poster(poster)
{
    auto* layout = new QVBoxLayout(this);
    m_editor = new CMeskTextEdit(this);
    layout->addWidget(m_editor, 0);

    auto* row = new QHBoxLayout;
    layout->addLayout(row);
    const Qt::Alignment centre = Qt::AlignHCenter | Qt::AlignVCenter;

    m_busyAnimation = new CQuorAnimationWidget(this);
    m_busyAnimation->setFixedSize(m_busyAnimation->sizeHint());
    m_busyAnimation->hide();
    row->addWidget(m_busyAnimation, 0, centre);

    //: Status text
    m_sendingLabel = new QLabel(tr("Sending your comment..."), this);
    m_sendingLabel->setWordWrap(true);
    m_sendingLabel->hide();
    row->addWidget(m_sendingLabel, 0, centre);

    m_failedIcon = new QLabel(this);
    m_failedIcon->setPixmap(style()
                                ->standardPixmap(QStyle::SP_MessageBoxCritical, nullptr, this)
                                .scaled(16, 16, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    m_failedIcon->hide();
    row->addWidget(m_failedIcon, 0, centre);

    //: Status text for operations
    m_failedLabel = new QLabel(tr("Failed") + QLatin1Char(' '), this);
    QFont failedFont = font();
    failedFont.setPointSize(8);
    failedFont.setBold(true);
    failedFont.setItalic(true);
    m_failedLabel->setFont(failedFont);
    QPalette failedPalette = m_failedLabel->palette();
    failedPalette.setColor(QPalette::WindowText, CMeskUiStyle::color(50));
    m_failedLabel->setPalette(failedPalette);
    m_failedLabel->hide();
    row->addWidget(m_failedLabel, 1, Qt::AlignLeft | Qt::AlignVCenter);
    row->addStretch(1);

    m_sendButton = new CQuorGradientButton(this, CQuorGradientButton::Positive);
    //: Button label
    m_sendButton->setText(tr("Send"));
    row->addWidget(m_sendButton, 0, centre);
    m_clearButton = new CQuorGradientButton(this, CQuorGradientButton::Negative);
    //: Button label
    m_clearButton->setText(tr("Clear"));
    row->addWidget(m_clearButton, 0, centre);

    connect(m_sendButton, &QAbstractButton::clicked, this, &CMeskPostCommentWidget::_onSendComment);
    connect(m_clearButton, &QAbstractButton::clicked, this, &CMeskPostCommentWidget::_onClearText);
    connect(m_editor, &CMeskTextEdit::focusIn, this, &CMeskPostCommentWidget::_onEditorFocusIn);
    connect(m_editor, &CMeskTextEdit::focusOut, this, &CMeskPostCommentWidget::_onEditorFocusOut);
    connect(m_editor, &QTextEdit::textChanged, this, &CMeskPostCommentWidget::_onTextChanged);
    if (m_poster) {
        connect(m_poster, &IMediaCommentPoster::posted, this, &CMeskPostCommentWidget::_onCommentSent);
        connect(m_poster, &IMediaCommentPoster::failed, this, &CMeskPostCommentWidget::_onSendingFailed);
        // A poster that goes while a comment is on its way never answers: that send failed.
        connect(m_poster, &QObject::destroyed, this, [this] {
            if (m_sending)
                _onSendingFailed();
        });
    }
    collapse();
}

CMeskPostCommentWidget::~CMeskPostCommentWidget()
{
    // The editor loses the focus while the children go; this widget is no longer there to hear it.
    m_editor->disconnect(this);
}

void CMeskPostCommentWidget::collapse()
{
    m_editor->setFixedHeight(
        style()->pixelMetric(QStyle::PixelMetric(CMeskUiStyle::PM_MeskCommentEditorHeight), nullptr, this));
    //: Guidance text for textboxes
    m_editor->setPlaceholderText(tr("Write a comment..."));
    m_editor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_sendButton->hide();
    m_clearButton->hide();
}

void CMeskPostCommentWidget::expand()
{
    m_editor->setFixedHeight(style()->pixelMetric(
        QStyle::PixelMetric(CMeskUiStyle::PM_MeskCommentEditorExpandedHeight), nullptr, this));
    m_editor->setPlaceholderText(QString());
    m_editor->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_sendButton->show();
    m_clearButton->show();
}

void CMeskPostCommentWidget::_onEditorFocusIn()
{
    expand();
}

void CMeskPostCommentWidget::_onEditorFocusOut()
{
    if (m_editor->isEmpty() && !m_sendButton->hasFocus() && !m_clearButton->hasFocus())
        collapse();
}

void CMeskPostCommentWidget::_onTextChanged()
{
    m_failedIcon->hide();
    m_failedLabel->hide();
}

void CMeskPostCommentWidget::_onSendComment()
{
    if (!m_poster || m_editor->isEmpty() || !m_poster->canPost())
        return;
    m_answered = false;
    if (!m_poster->postComment(m_editor->plainText()))
        return;
    // A poster that answered inside postComment (or went) leaves nothing to wait for.
    if (m_answered || !m_poster)
        return;
    m_sending = true;
    m_failedIcon->hide();
    m_failedLabel->hide();
    m_busyAnimation->show();
    m_sendingLabel->show();
    m_busyAnimation->start();
    m_editor->setEnabled(false);
    m_sendButton->setEnabled(false);
    m_clearButton->setEnabled(false);
}

void CMeskPostCommentWidget::_onClearText()
{
    m_editor->clear();
}

void CMeskPostCommentWidget::endSending()
{
    m_answered = true;
    m_sending = false;
    m_busyAnimation->stop();
    m_busyAnimation->hide();
    m_sendingLabel->hide();
    m_editor->setEnabled(true);
    m_sendButton->setEnabled(true);
    m_clearButton->setEnabled(true);
}

void CMeskPostCommentWidget::_onCommentSent()
{
    endSending();
    m_editor->clear();
    m_editor->setFocus(Qt::OtherFocusReason);
}

void CMeskPostCommentWidget::_onSendingFailed()
{
    endSending();
    m_failedIcon->show();
    m_failedLabel->show();
    m_editor->setFocus(Qt::OtherFocusReason);
}
