#include "mesktextedit.h"

#include <QLabel>
#include <QPainter>
#include <QTextDocument>
#include <QVBoxLayout>

CMeskTextEdit::CMeskTextEdit(QWidget* parent) : CQuorTextEdit(parent) {}

CMeskTextEdit::~CMeskTextEdit() = default;

void CMeskTextEdit::setPlaceholderText(const QString& text)
{
    m_placeholder = text;
    // The placeholder is drawn on the viewport, which the editor's own repaint leaves alone.
    viewport()->repaint();
}

bool CMeskTextEdit::isEmpty() const
{
    return document()->isEmpty();
}

QString CMeskTextEdit::plainText() const
{
    return document()->toPlainText();
}

void CMeskTextEdit::focusInEvent(QFocusEvent* event)
{
    CQuorTextEdit::focusInEvent(event);
    // A focus change repaints only the cursor: the placeholder's area needs its own paint.
    viewport()->update();
    emit focusIn();
}

void CMeskTextEdit::focusOutEvent(QFocusEvent* event)
{
    CQuorTextEdit::focusOutEvent(event);
    viewport()->update();
    emit focusOut();
}

void CMeskTextEdit::paintEvent(QPaintEvent* event)
{
    CQuorTextEdit::paintEvent(event);
    if (hasFocus() || m_placeholder.isEmpty() || !isEmpty())
        return;
    QPainter painter(viewport());
    QFont font = this->font();
    font.setItalic(true);
    painter.setFont(font);
    painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
    painter.drawText(rect().adjusted(3, 0, -3, 0), Qt::AlignLeft, m_placeholder);
}

CMeskTextEditWidget::CMeskTextEditWidget(QWidget* parent) : QWidget(parent)
{
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_editor = new CMeskTextEdit(this);
    m_layout->addWidget(m_editor, 0);
    m_errorLabel = new QLabel(this);
    m_errorLabel->setWordWrap(true);
    QFont font = this->font();
    font.setItalic(true);
    m_errorLabel->setFont(font);
    m_errorLabel->hide();
}

CMeskTextEditWidget::~CMeskTextEditWidget() = default;

void CMeskTextEditWidget::showError(const QString& text)
{
    m_editor->hide();
    m_errorLabel->setText(text);
    m_errorLabel->show();
    m_layout->removeWidget(m_editor);
    m_layout->removeWidget(m_errorLabel);
    m_layout->addWidget(m_errorLabel, 1, Qt::AlignTop);
}

void CMeskTextEditWidget::hideError()
{
    m_errorLabel->hide();
    m_editor->show();
    m_layout->removeWidget(m_errorLabel);
    m_layout->removeWidget(m_editor);
    m_layout->addWidget(m_editor, 0);
}
