#pragma once

#include "windows/quordialog.h"

class CMeskDialogTitleBar;
class QFrame;
class QHBoxLayout;
class QLabel;
class QUrl;

// The product's modal message: a caption bar coloured by the type, a word-wrapped text, and
// "Ok" and "Cancel". Ok accepts; Cancel, the caption's Close and the window's close reject.
class CMeskMessageBox : public CQuorDialog
{
    Q_OBJECT
public:
    // Type 0: error (purple caption); 1 and 2: warning and information (yellow); any other
    // value keeps the purple caption.
    CMeskMessageBox(int type, const QString& text, const QString& title, QWidget* parent = nullptr);
    ~CMeskMessageBox() override;

    CMeskDialogTitleBar* messageTitleBar() const { return m_titleBar; }
    QLabel* textLabel() const { return m_textLabel; }

    // Each runs a box of its type modally; true when it was accepted. information() shows the text in
    // the format given (plain text for a text that may hold anything, such as a path).
    static bool error(const QString& text, QWidget* parent = nullptr);
    static bool warning(const QString& text, QWidget* parent = nullptr);
    static bool information(const QString& text, QWidget* parent = nullptr,
                            Qt::TextFormat format = Qt::AutoText);

    // Hands the address to the desktop's program for it; when none could be started, says so
    // in an error box. Returns whether the desktop took the address.
    static bool openUrl(const QUrl& url, QWidget* parent = nullptr);

private:
    CMeskDialogTitleBar* m_titleBar = nullptr;
    QFrame* m_bottomFrame = nullptr;
    QFrame* m_contentFrame = nullptr;
    QLabel* m_textLabel = nullptr;
    QHBoxLayout* m_buttonLayout = nullptr;
};
