#pragma once

#include <QSignalMapper>
#include <QWidget>

class QHBoxLayout;
class QPushButton;

// A segmented control: a row of checkable push buttons joined edge to edge, of which one is
// on. The style draws the first, middle and last segments from their roles. Selecting a
// segment emits selected() with its index.
class CQuorOptionGroup : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString com_velto_qstyleRole READ qstyleRole)

public:
    explicit CQuorOptionGroup(QWidget* parent = nullptr, int count = 2);
    ~CQuorOptionGroup() override;

    QString qstyleRole() const { return QStringLiteral("quor.commonuilibrary.optiongroup"); }

    // Grows or shrinks the row; counts below two and the current count change nothing.
    void setOptionCount(int count);
    int optionCount() const;
    // The segment at the index, or null.
    QPushButton* button(int index) const;
    // Clicks the segment at the index (which emits selected()); nothing without one.
    void setSelected(int index);
    // Index of the segment that is on, or -1.
    int selected() const;

signals:
    void selected(int buttonId);

protected:
    bool event(QEvent* event) override;

private:
    QHBoxLayout* m_layout = nullptr;
    QSignalMapper m_mapper;
};
