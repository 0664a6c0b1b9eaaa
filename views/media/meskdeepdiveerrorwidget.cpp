#include "media/meskdeepdiveerrorwidget.h"

#include "meskuistyle.h"
#include "widgets/quorbuttons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

void setWhiteText(QLabel* label)
{
    QPalette palette = label->palette();
    const QColor white = CMeskUiStyle::color(45);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Disabled, QPalette::Inactive})
        palette.setColor(group, QPalette::WindowText, white);
    label->setPalette(palette);
}

} // namespace

CMeskDeepDiveErrorWidget::CMeskDeepDiveErrorWidget(const QString& title, const QString& text, QWidget* parent)
    : QWidget(parent), m_title(new QLabel(title, this)), m_text(new QLabel(text, this)),
      m_button(new CQuorGradientButton(this, CQuorGradientButton::Positive))
{
    // "Arial" falls back to the style's font substitution (DejaVu Sans) where it is missing.
    QFont titleFont(QStringLiteral("Arial"), 15);
    titleFont.setBold(true);
    m_title->setFont(titleFont);
    setWhiteText(m_title);

    m_text->setFont(QFont(QStringLiteral("Arial"), 12));
    m_text->setWordWrap(true);
    setWhiteText(m_text);

    m_button->setText(tr("Try again", "button label"));
    connect(m_button, &QPushButton::clicked, this, &CMeskDeepDiveErrorWidget::tryAgain);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_title);
    layout->addSpacing(25);
    layout->addWidget(m_text);
    layout->addSpacing(35);
    auto* row = new QHBoxLayout;
    row->addWidget(m_button);
    row->addStretch(1);
    layout->addLayout(row);

    setFixedWidth(400);
    // The page is placed by its viewer right after it is made: its height must already be known.
    adjustSize();
}

CMeskDeepDiveErrorWidget::~CMeskDeepDiveErrorWidget() = default;

QString CMeskDeepDiveErrorWidget::title() const
{
    return m_title->text();
}

QString CMeskDeepDiveErrorWidget::text() const
{
    return m_text->text();
}
