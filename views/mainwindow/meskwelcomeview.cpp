#include "mainwindow/meskwelcomeview.h"

#include "mesktexts.h"
#include "style/quorimages.h"
#include "widgets/quorbuttons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QResizeEvent>
#include <QVBoxLayout>

CMeskWelcomeView::CMeskWelcomeView(QWidget* parent) : QWidget(parent)
{
    m_original = QuorImages::pixmap(QStringLiteral(":/meskstyle/images/welcomescreen.png"));
    m_background = m_original;

    auto* outer = new QHBoxLayout(this);
    auto* column = new QVBoxLayout;

    const QString style = QStringLiteral(
        "<style type=\"text/css\">"
        "p.header { color: rgb(146, 168, 38); font-family: \"Verdana\", \"Times New Roman\", Serif; "
        "font-size: 37px; text-decoration: none; } "
        "p.body { color: rgb(9, 32, 100); font-family: \"Verdana\", \"Times New Roman\", Serif; "
        "font-size: 20px; text-decoration: none; }"
        "</style>");
    auto* label = new QLabel(this);
    label->setWordWrap(true);
    label->setText(QStringLiteral("<html>%1<body>%2</body></html>").arg(style, CMeskTexts::welcomeText()));

    auto* button = new CQuorGradientButton(this, CQuorGradientButton::Positive);
    button->setText(CMeskTexts::getStartedText());
    button->setFixedHeight(40);

    column->addSpacing(20);
    column->addWidget(label, 1);
    column->addWidget(button, 0, Qt::AlignCenter);
    column->addSpacing(10);
    outer->addSpacing(25);
    outer->addLayout(column);
    outer->addSpacing(25);

    connect(button, &CQuorGradientButton::clicked, this, &CMeskWelcomeView::openServiceSettings);
}

void CMeskWelcomeView::paintEvent(QPaintEvent*)
{
    if (m_background.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.drawPixmap(QPoint(0, 0), m_background);
}

void CMeskWelcomeView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_original.isNull() || event->size().isEmpty())
        return;
    const qreal ratio = m_original.devicePixelRatio();
    m_background =
        m_original.scaled(event->size() * ratio, Qt::KeepAspectRatioByExpanding, Qt::FastTransformation);
    m_background.setDevicePixelRatio(ratio);
}
