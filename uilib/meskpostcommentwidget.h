#pragma once

#include <QPointer>
#include <QWidget>

class CMeskTextEdit;
class CQuorAnimationWidget;
class CQuorGradientButton;
class IMediaCommentPoster;
class QLabel;

// The small editor under a feed item's comments: one line high until it gets the focus, then
// taller with Send and Clear. A sent comment locks the controls behind a busy animation until
// the poster reports posted() (the editor empties) or failed() (a "Failed" mark; the text
// stays). Without a poster (none given, or gone) Send does nothing.
class CMeskPostCommentWidget : public QWidget
{
    Q_OBJECT
public:
    // The poster stays the caller's.
    explicit CMeskPostCommentWidget(IMediaCommentPoster* poster, QWidget* parent = nullptr);
    ~CMeskPostCommentWidget() override;

    CMeskTextEdit* editor() const { return m_editor; }
    CQuorGradientButton* sendButton() const { return m_sendButton; }
    CQuorGradientButton* clearButton() const { return m_clearButton; }
    CQuorAnimationWidget* busyAnimation() const { return m_busyAnimation; }
    QLabel* sendingLabel() const { return m_sendingLabel; }
    QLabel* failedLabel() const { return m_failedLabel; }
    QLabel* failedIcon() const { return m_failedIcon; }

private slots:
    void _onEditorFocusIn();
    void _onEditorFocusOut();
    void _onTextChanged();
    void _onSendComment();
    void _onClearText();
    void _onCommentSent();
    void _onSendingFailed();

private:
    void collapse();
    void expand();
    // Ends the sending state: animation and status gone, controls enabled, editor focused.
    void endSending();

    CMeskTextEdit* m_editor = nullptr;
    CQuorGradientButton* m_sendButton = nullptr;
    CQuorGradientButton* m_clearButton = nullptr;
    CQuorAnimationWidget* m_busyAnimation = nullptr;
    QLabel* m_sendingLabel = nullptr;
    QLabel* m_failedLabel = nullptr;
    QLabel* m_failedIcon = nullptr;
    QPointer<IMediaCommentPoster> m_poster;
    // A comment is on its way; the poster answered since the last postComment call.
    bool m_sending = false;
    bool m_answered = false;
};
