#pragma once

#include "widgets/quortextedit.h"

#include <QWidget>

class QLabel;
class QVBoxLayout;

// The product's multi-line editor: a grey italic placeholder shows while it is empty and
// unfocused, and it reports gaining and losing the keyboard focus.
class CMeskTextEdit : public CQuorTextEdit
{
    Q_OBJECT
public:
    explicit CMeskTextEdit(QWidget* parent = nullptr);
    ~CMeskTextEdit() override;

    // Hides QTextEdit's own placeholder, which stays empty so nothing is drawn twice.
    void setPlaceholderText(const QString& text);
    QString placeholderText() const { return m_placeholder; }
    bool isEmpty() const;
    QString plainText() const;

signals:
    void focusIn();
    void focusOut();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_placeholder;
};

// An editor with an error text that can take its place.
class CMeskTextEditWidget : public QWidget
{
    Q_OBJECT
public:
    explicit CMeskTextEditWidget(QWidget* parent = nullptr);
    ~CMeskTextEditWidget() override;

    CMeskTextEdit* textEdit() const { return m_editor; }
    QLabel* errorLabel() const { return m_errorLabel; }

    // The label with the text replaces the editor, which keeps its text.
    void showError(const QString& text);
    // The editor comes back in the label's place.
    void hideError();

private:
    CMeskTextEdit* m_editor = nullptr;
    QLabel* m_errorLabel = nullptr;
    QVBoxLayout* m_layout = nullptr;
};
