#pragma once

#include <QComboBox>
#include <QStyledItemDelegate>

// A combo box in the toolkit's look, with a hint text shown while no item is current and a
// styled drop-down list.
class CQuorComboBox : public QComboBox
{
    Q_OBJECT
    Q_PROPERTY(QString com_velto_qstyleRole READ qstyleRole)
    Q_PROPERTY(QString hintText READ hintText WRITE setHintText)

public:
    explicit CQuorComboBox(QWidget* parent = nullptr);
    ~CQuorComboBox() override;

    QString qstyleRole() const { return QStringLiteral("quor.commonuilibrary.combobox"); }

    QString hintText() const { return m_hintText; }
    void setHintText(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_hintText;
};

// Paints the rows of the combo box's drop-down list: a thin separator along the top of every
// row but the first, the style's row and item panels, and the text elided at the right.
class CQuorListPopupDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit CQuorListPopupDelegate(QObject* parent = nullptr);
    ~CQuorListPopupDelegate() override;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    static QColor separatorColor() { return QColor(223, 222, 222, 255); }
};
