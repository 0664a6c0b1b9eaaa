#pragma once

#include "meskrecords.h"

#include <QHash>
#include <QPushButton>
#include <QString>
#include <QWidget>

class CMeskComplexShadow;
class CMeskTextEditWidget;
class CQuorAnimationWidget;
class CQuorGradientButton;
class IMediaUpdateManager;
class QLabel;

// The title tab of the post dialogs: a bold title and a close button.
class CMeskPostDialogTab : public QWidget
{
    Q_OBJECT
public:
    CMeskPostDialogTab(const QString& title, QWidget* parent);
    ~CMeskPostDialogTab() override;

signals:
    // The close button was clicked.
    void close();
};

// A checkable, pill-shaped service toggle.
class CMeskSelectButton : public QPushButton
{
    Q_OBJECT
public:
    CMeskSelectButton(const QString& text, QWidget* parent);
    ~CMeskSelectButton() override;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// Gives a tab-shaped post dialog its window mask from the style and one shadow for the tab and
// one for the body below it.
void meskShapePostDialog(QWidget* dialog, CMeskComplexShadow* shadow, int tabWidth, int tabHeight);

// The post dialogs' hidden status line for failures: bold 8 pt in the product's error colour.
QLabel* meskPostDialogErrorLabel(QWidget* dialog, bool italic);

// The "New Update" window: one status text posted at once to every chosen, activated service
// through the update manager. The service choice lives in the manager, so a caller may preselect
// services before showing the window.
class CMeskPostUpdateWidget : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int tabWidth READ tabWidth)
    Q_PROPERTY(int tabHeight READ tabHeight)

public:
    CMeskPostUpdateWidget(IMediaUpdateManager* manager, QWidget* parent);
    ~CMeskPostUpdateWidget() override;

    int tabWidth() const { return m_tabWidth; }
    int tabHeight() const { return m_tabHeight; }

    // Replaces the editor's text.
    void setText(const QString& text);
    QString text() const;

    // A post of this dialog runs (from Send until the manager's updateDone()).
    bool isSending() const { return m_sending; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private slots:
    void _onProviderChecked(bool checked);
    void _onTextChanged();
    void _sendUpdates();
    void _onUpdateDone();
    void _onProviderFailed(const QString& provider);

private:
    void recount();
    void refreshState();
    void setBusyLook();
    void setIdleLook();
    void clearFailure();
    void updateSendEnabled();

    int m_tabWidth = 0;
    int m_tabHeight = 0;
    int m_activeCount = 0;
    int m_selectedCount = 0;
    bool m_failed = false;
    // Set with the text being sent before the manager is asked, since it may answer at once.
    bool m_sending = false;
    QString m_sentText;
    IMediaUpdateManager* m_manager = nullptr;
    CMeskTextEditWidget* m_editor = nullptr;
    CQuorGradientButton* m_sendButton = nullptr;
    CQuorAnimationWidget* m_waitAnimation = nullptr;
    QLabel* m_statusLabel = nullptr;
    QLabel* m_errorLabel = nullptr;
    QLabel* m_errorIcon = nullptr;
    CMeskComplexShadow* m_shadow = nullptr;
    QHash<mid_t, CMeskSelectButton*> m_buttons;
    QString m_failureText;
};
