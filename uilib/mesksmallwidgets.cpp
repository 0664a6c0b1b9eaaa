#include "mesksmallwidgets.h"

#include "mesktexts.h"
#include "meskuistyle.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

namespace {

const QLatin1String kIconOnlyRole("quor.commonuilibrary.toolbutton.icononly");

void setUpIconButton(QToolButton* button, unsigned int pixmapId)
{
    const auto id = QStyle::StandardPixmap(pixmapId);
    button->setIcon(button->style()->standardIcon(id, nullptr, button));
    button->setIconSize(
        button->style()->standardPixmap(id, nullptr, button).deviceIndependentSize().toSize());
    button->setCursor(Qt::PointingHandCursor);
}

} // namespace

// ---- CMeskSelectableTextLabel ----

CMeskSelectableTextLabel::CMeskSelectableTextLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
    setWordWrap(true);
    setAlignment(Qt::AlignLeft);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
}

void CMeskSelectableTextLabel::copySelection() const
{
    if (hasSelectedText())
        QGuiApplication::clipboard()->setText(CMeskTexts::withoutBreaks(selectedText()));
}

void CMeskSelectableTextLabel::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy)) {
        copySelection();
        event->accept();
        return;
    }
    QLabel::keyPressEvent(event);
}

void CMeskSelectableTextLabel::contextMenuEvent(QContextMenuEvent* event)
{
    if (!hasSelectedText()) {
        event->ignore();
        return;
    }
    QMenu menu(this);
    //: Context menu entry copying the selected text
    menu.addAction(tr("Copy"), this, &CMeskSelectableTextLabel::copySelection);
    menu.exec(event->globalPos());
}

// ---- CMeskLabelCombo ----

CMeskLabelCombo::CMeskLabelCombo(QWidget* parent) : QWidget(parent), m_label(new QLabel(this))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_label);
    layout->addStretch(1);
}

void CMeskLabelCombo::setText(const QString& text)
{
    m_label->setText(text);
}

QString CMeskLabelCombo::text() const
{
    return m_label->text();
}

void CMeskLabelCombo::addItem(int id, const QString& text)
{
    auto* action = new QAction(text, this);
    action->setCheckable(true);
    action->setData(id);
    m_actions.append(action);
}

void CMeskLabelCombo::setCurrentItem(int id)
{
    for (QAction* action : std::as_const(m_actions))
        action->setChecked(action->data().toInt() == id);
}

void CMeskLabelCombo::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    // The menu toggles the taken action itself; setCurrentItem settles every check mark.
    QAction* taken = QMenu::exec(m_actions, event->globalPosition().toPoint(), nullptr, this);
    if (!taken || !m_actions.contains(taken))
        return;
    const int id = taken->data().toInt();
    setCurrentItem(id);
    emit selectionChanged(id);
}

// ---- CMeskSeparatorWidget ----

CMeskSeparatorWidget::CMeskSeparatorWidget(QWidget* parent) : QWidget(parent)
{
    setFixedHeight(
        style()->pixelMetric(QStyle::PixelMetric(CMeskUiStyle::PM_MeskSeparatorHeight), nullptr, this));
}

void CMeskSeparatorWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(QPen(CMeskUiStyle::color(15), 1, Qt::DotLine));
    const QRect r = rect();
    const int y = r.top() + r.height() / 2;
    painter.drawLine(r.left(), y, r.left() + r.width(), y);
}

// ---- Tool buttons ----

CMeskDeleteToolButton::CMeskDeleteToolButton(QWidget* parent) : QToolButton(parent)
{
    setUpIconButton(this, CQuorCommonStyle::SP_QuorCloseDark);
}

QString CMeskDeleteToolButton::qstyleRole() const
{
    return kIconOnlyRole;
}

CMeskAddToolButton::CMeskAddToolButton(QWidget* parent) : QToolButton(parent)
{
    setUpIconButton(this, CQuorCommonStyle::SP_QuorAdd);
}

QString CMeskAddToolButton::qstyleRole() const
{
    return kIconOnlyRole;
}

// ---- CMeskColorAnimation ----

CMeskColorAnimation::CMeskColorAnimation(const QColor& from, const QColor& to, int steps, QObject* parent)
    : QObject(parent), m_timer(new QTimer(this)), m_from(from.toRgb()), m_steps(qMax(1, steps))
{
    const QColor end = to.toRgb();
    m_red = float(end.red() - m_from.red()) / float(m_steps);
    m_green = float(end.green() - m_from.green()) / float(m_steps);
    m_blue = float(end.blue() - m_from.blue()) / float(m_steps);
    connect(m_timer, &QTimer::timeout, this, &CMeskColorAnimation::_onTimer);
}

void CMeskColorAnimation::start(int intervalMs)
{
    m_current = 0;
    m_timer->start(intervalMs);
}

bool CMeskColorAnimation::isRunning() const
{
    return m_timer->isActive();
}

QColor CMeskColorAnimation::currentColor() const
{
    // After done() the step count is one past the last step; the colour stays at the end.
    const float n = float(qMin(m_current, m_steps));
    const auto component = [n](int start, float increment) {
        return qBound(0, int(float(start) + n * increment), 255);
    };
    return QColor(component(m_from.red(), m_red), component(m_from.green(), m_green),
                  component(m_from.blue(), m_blue), 255);
}

void CMeskColorAnimation::_onTimer()
{
    if (m_current >= m_steps) {
        m_timer->stop();
        ++m_current;
        emit done();
        return;
    }
    // The step is counted before it is announced, so a receiver of step() paints its colour.
    ++m_current;
    emit step();
}

// ---- CMeskFilterBox ----

CMeskFilterBox::CMeskFilterBox(QWidget* parent) : CQuorLineEdit(parent)
{
    setIcon(QIcon(
        style()->standardPixmap(QStyle::StandardPixmap(CQuorCommonStyle::SP_QuorSearch), nullptr, this)));
    setIconAlignment(Qt::AlignLeft);
    connect(lineEdit(), &QLineEdit::returnPressed, this, &CMeskFilterBox::_onReturnPressed);
    connect(lineEdit(), &QLineEdit::textEdited, this, &CMeskFilterBox::_onTextEdited);
}

void CMeskFilterBox::clear()
{
    lineEdit()->clear();
}

void CMeskFilterBox::_onReturnPressed()
{
    const QString current = text();
    if (current.isEmpty())
        emit clearFilter();
    else
        emit filterText(current);
}

void CMeskFilterBox::_onTextEdited(const QString& text)
{
    if (text.isEmpty())
        emit clearFilter();
}
