#pragma once

#include "widgets/quorlineedit.h"

#include <QColor>
#include <QLabel>
#include <QList>
#include <QObject>
#include <QToolButton>
#include <QWidget>

class QAction;
class QTimer;

// Small widgets of the settings pages and the feed: a label that opens a menu of choices, a
// dotted separator, the icon-only add and delete buttons, the colour fader of highlighted feed
// items and the filter box of the main window.

// A word-wrapped, mouse-selectable label for a service text given through
// CMeskTexts::breakableText: a copied selection leaves the zero-width spaces out again.
class CMeskSelectableTextLabel : public QLabel
{
    Q_OBJECT
public:
    explicit CMeskSelectableTextLabel(const QString& text, QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void copySelection() const;
};

// A label that opens its choices as a pop-up menu on a left press; the taken choice becomes
// the checked one and is reported by selectionChanged(id).
class CMeskLabelCombo : public QWidget
{
    Q_OBJECT

public:
    explicit CMeskLabelCombo(QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const;
    // Appends a choice (checkable) with the id as its data.
    void addItem(int id, const QString& text);
    // Checks the choice with that id and unchecks all others.
    void setCurrentItem(int id);
    QList<QAction*> actions() const { return m_actions; }

signals:
    void selectionChanged(int id);

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    QList<QAction*> m_actions;
    QLabel* m_label = nullptr;
};

// A dotted horizontal line across the full width, at half the widget's fixed height.
class CMeskSeparatorWidget : public QWidget
{
    Q_OBJECT

public:
    explicit CMeskSeparatorWidget(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// An icon-only tool button with the common style's dark close cross.
class CMeskDeleteToolButton : public QToolButton
{
    Q_OBJECT
    Q_PROPERTY(QString com_velto_qstyleRole READ qstyleRole)

public:
    explicit CMeskDeleteToolButton(QWidget* parent = nullptr);
    QString qstyleRole() const;
};

// An icon-only tool button with the common style's add icon.
class CMeskAddToolButton : public QToolButton
{
    Q_OBJECT
    Q_PROPERTY(QString com_velto_qstyleRole READ qstyleRole)

public:
    explicit CMeskAddToolButton(QWidget* parent = nullptr);
    QString qstyleRole() const;
};

// Fades a colour from one value to another in a number of steps, one per timer tick: step()
// once per step, then done() one tick after the last. currentColor() is the colour reached.
class CMeskColorAnimation : public QObject
{
    Q_OBJECT

public:
    // Fewer than one step counts as one.
    CMeskColorAnimation(const QColor& from, const QColor& to, int steps, QObject* parent = nullptr);

    void start(int intervalMs);
    QColor currentColor() const;
    bool isRunning() const;
    QTimer* timer() const { return m_timer; }

signals:
    void step();
    void done();

private slots:
    void _onTimer();

private:
    QTimer* m_timer = nullptr;
    QColor m_from;
    int m_steps = 1;
    int m_current = 0;
    float m_red = 0;
    float m_green = 0;
    float m_blue = 0;
};

// The filter box: a line edit with the search icon at the left. Return emits filterText with a
// non-empty text and clearFilter in an empty box; editing the text away emits clearFilter.
class CMeskFilterBox : public CQuorLineEdit
{
    Q_OBJECT

public:
    explicit CMeskFilterBox(QWidget* parent = nullptr);

    // Empties the box without emitting filterText or clearFilter.
    void clear();

signals:
    void filterText(const QString& text);
    void clearFilter();

private slots:
    void _onReturnPressed();
    void _onTextEdited(const QString& text);
};
