#pragma once

#include <QIcon>
#include <QWidget>

class QHBoxLayout;
class QLabel;
class QLineEdit;
class QToolButton;

// The toolkit's single-line text field: an outer panel that the style paints, a frameless
// inner QLineEdit that edits, an optional icon button at either end (optionally shown only
// while there is text), a filter look with a search icon at the left, and a guide text
// painted while the field is empty.
class CQuorLineEdit : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString com_velto_qstyleRole READ qstyleRole)
    Q_PROPERTY(Qt::Alignment iconAlignment READ iconAlignment WRITE setIconAlignment)
    Q_PROPERTY(bool iconAutoHide READ iconAutoHide WRITE setIconAutoHide)
    Q_PROPERTY(QIcon icon READ icon WRITE setIcon)
    Q_PROPERTY(QSize iconSize READ iconSize WRITE setIconSize)
    Q_PROPERTY(QString guideText READ guideText WRITE setGuideText)
    Q_PROPERTY(QString text READ text WRITE setText USER true)
    Q_PROPERTY(QString inputMask READ inputMask WRITE setInputMask)
    Q_PROPERTY(bool readOnly READ isReadOnly WRITE setReadOnly)
    Q_PROPERTY(Qt::Alignment alignment READ alignment WRITE setAlignment)
    Q_PROPERTY(bool filterLook READ filterLook WRITE setFilterLook)

public:
    explicit CQuorLineEdit(QWidget* parent = nullptr);
    ~CQuorLineEdit() override;

    QString qstyleRole() const { return QStringLiteral("quor.commonuilibrary.lineedit.iconized"); }

    QLineEdit* lineEdit() const { return m_lineEdit; }
    QToolButton* button() const { return m_button; }
    QLabel* filterIcon() const { return m_filterIcon; }

    // Only Qt::AlignLeft and Qt::AlignRight count; the button goes before the text exactly
    // when the value is Qt::AlignLeft alone.
    Qt::Alignment iconAlignment() const;
    void setIconAlignment(Qt::Alignment alignment);

    bool iconAutoHide() const { return m_iconAutoHide; }
    void setIconAutoHide(bool on);

    QIcon icon() const;
    void setIcon(const QIcon& icon);
    QSize iconSize() const;
    void setIconSize(const QSize& size);

    QString guideText() const { return m_guideText; }
    void setGuideText(const QString& text);

    QString text() const;
    void setText(const QString& text);
    QString inputMask() const;
    void setInputMask(const QString& mask);
    bool isReadOnly() const;
    void setReadOnly(bool readOnly);
    Qt::Alignment alignment() const;
    void setAlignment(Qt::Alignment alignment);

    bool filterLook() const { return m_filterLook; }
    void setFilterLook(bool on);

    bool eventFilter(QObject* watched, QEvent* event) override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private slots:
    void onButtonAutoHide(const QString& text);

private:
    void fixLineEditHeight();

    QHBoxLayout* m_layout = nullptr;
    QLineEdit* m_lineEdit = nullptr;
    QLabel* m_filterIcon = nullptr;
    QToolButton* m_button = nullptr;
    bool m_iconAutoHide = false;
    QString m_guideText;
    bool m_filterLook = false;
    int m_verticalMargin = 4;
    int m_horizontalMargin = 7;
};
