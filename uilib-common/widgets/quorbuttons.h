#pragma once

#include <QCheckBox>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

// The toolkit's push button, drawn by the style from its role in a positive, a negative or a
// tool-bar face. Return and Enter click it.
class CQuorGradientButton : public QPushButton
{
    Q_OBJECT
    Q_PROPERTY(ButtonType buttonType READ buttonType WRITE setButtonType)
    Q_PROPERTY(QString com_velto_qstyleRole READ qstyleRole)

public:
    enum ButtonType
    {
        Positive = 0,
        Negative = 1,
        Tool = 2
    };
    Q_ENUM(ButtonType)

    explicit CQuorGradientButton(QWidget* parent = nullptr, ButtonType type = Positive);
    ~CQuorGradientButton() override;

    ButtonType buttonType() const { return m_buttonType; }
    void setButtonType(ButtonType type);

    // "quor.commonuilibrary.button.gradient." followed by the key of the button type.
    QString qstyleRole() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    ButtonType m_buttonType;
};

// The tool button of the same family. Return and Enter click it.
class CQuorToolButton : public QToolButton
{
    Q_OBJECT
    Q_PROPERTY(QString com_velto_qstyleRole READ qstyleRole)

public:
    explicit CQuorToolButton(QWidget* parent = nullptr);
    ~CQuorToolButton() override;

    QString qstyleRole() const { return QStringLiteral("quor.commonuilibrary.button.gradient.Tool"); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// A check box with a read-only mode: the box ignores the mouse and the keyboard, yet is
// drawn in the colours of an enabled one. Enabling it from outside ends the read-only mode.
class CQuorCheckBox : public QCheckBox
{
    Q_OBJECT
    Q_PROPERTY(QString com_velto_qstyleRole READ qstyleRole)
    Q_PROPERTY(bool readOnly READ readOnly WRITE setReadOnly)

public:
    explicit CQuorCheckBox(QWidget* parent = nullptr);
    ~CQuorCheckBox() override;

    QString qstyleRole() const { return QStringLiteral("quor.commonuilibrary.checkbox"); }

    bool readOnly() const { return m_readOnly; }
    void setReadOnly(bool on);

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_readOnly = false;
};

// The popup menu of the toolkit, with hover tracking for the style.
class CQuorMenu : public QMenu
{
    Q_OBJECT

public:
    explicit CQuorMenu(QWidget* parent = nullptr);
    ~CQuorMenu() override;
};
