#include "feed/meskfeederrorwidget.h"

#include "mesktexts.h"
#include "meskuistyle.h"
#include "settings/mesksettings.h"
#include "style/quorcommonstyle.h"
#include "widgets/quorbuttons.h"

#include <QDebug>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QPixmap standardPixmap(const QWidget* widget, QStyle::StandardPixmap id)
{
    return widget->style()->standardIcon(id, nullptr, widget).pixmap(16, 16);
}

} // namespace

CMeskFeedErrorWidget::CMeskFeedErrorWidget(int id, CMeskSettings* settings, QWidget* parent)
    : QWidget(parent), m_id(id), m_settings(settings)
{
    auto* row = new QHBoxLayout(this);
    auto* textBox = new QVBoxLayout;
    textBox->setContentsMargins(0, 0, 0, 0);
    textBox->setSpacing(0);

    QFont small = font();
    small.setPointSize(8);
    m_iconLabel = new QLabel(this);
    m_textLabel = new QLabel(this);
    m_textLabel->setWordWrap(true);
    m_textLabel->setFont(small);
    m_ignoreCheckBox = new CQuorCheckBox(this);
    m_ignoreCheckBox->setFont(small);
    m_ignoreCheckBox->hide();

    m_closeButton = new QToolButton(this);
    m_closeButton->setProperty("com_velto_qstyleRole",
                               QStringLiteral("quor.commonuilibrary.toolbutton.icononly"));
    const auto closeId = QStyle::StandardPixmap(CQuorCommonStyle::SP_QuorCloseDark);
    m_closeButton->setIcon(style()->standardIcon(closeId, nullptr, m_closeButton));
    m_closeButton->setIconSize(
        style()->standardPixmap(closeId, nullptr, m_closeButton).deviceIndependentSize().toSize());
    connect(m_closeButton, &QToolButton::clicked, this, &CMeskFeedErrorWidget::_onClose);

    textBox->addWidget(m_textLabel, 1);
    textBox->addWidget(m_ignoreCheckBox, 0);
    row->addWidget(m_iconLabel, 0, Qt::AlignTop);
    row->addLayout(textBox, 1);
    row->addWidget(m_closeButton, 0, Qt::AlignTop);

    setIcon(standardPixmap(this, QStyle::SP_MessageBoxCritical));
}

void CMeskFeedErrorWidget::setError(const int& code)
{
    setIcon(standardPixmap(this, QStyle::SP_MessageBoxCritical));
    m_textLabel->setText(CMeskTexts::errorText(code));
}

void CMeskFeedErrorWidget::setServiceError(const QString& serviceName, const int& code)
{
    setIcon(standardPixmap(this, QStyle::SP_MessageBoxCritical));
    m_textLabel->setText(CMeskTexts::serviceErrorText(serviceName, code));
}

void CMeskFeedErrorWidget::setWarning(const int& code)
{
    setIcon(standardPixmap(this, QStyle::SP_MessageBoxWarning));
    m_warningCode = code;
    m_textLabel->setText(CMeskTexts::warningText(code));
    //: Checkbox label
    m_ignoreCheckBox->setText(tr("Ignore this warning"));
    m_ignoreCheckBox->show();
}

void CMeskFeedErrorWidget::setIcon(const QPixmap& pixmap)
{
    m_iconLabel->setPixmap(
        pixmap.isNull() ? pixmap : pixmap.scaled(16, 16, Qt::KeepAspectRatio, Qt::FastTransformation));
}

QString CMeskFeedErrorWidget::text() const
{
    return m_textLabel->text();
}

void CMeskFeedErrorWidget::_onClose()
{
    const bool ticked = m_ignoreCheckBox->isChecked();
    qDebug() << "CMeskFeedErrorWidget::_onClose()" << m_warningCode << ticked;
    // The box is shown by setWarning; the banner itself may be off screen (a hidden column).
    const bool ignore = !m_ignoreCheckBox->isHidden() && ticked;
    if (ignore && m_settings) {
        const int key = m_warningCode == WarningCellularNetwork ? SettingIgnoreCellularNetworkWarning
                        : m_warningCode == WarningLowSignal     ? SettingIgnoreLowSignalWarning
                                                                : -1;
        if (key >= 0) {
            m_settings->setValue(key, true);
            m_settings->commitValue(key);
        }
    }
    emit close(m_id, ignore);
}

void CMeskFeedErrorWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect area = rect();
    painter.fillRect(area, CMeskUiStyle::color(48));
    QPen pen(CMeskUiStyle::color(49));
    painter.setPen(pen);
    const int width = qMax(1, pen.width());
    painter.drawLine(area.left(), area.top() + width, area.right(), area.top() + width);
    painter.drawLine(area.left(), area.bottom() - width, area.right(), area.bottom() - width);
}
