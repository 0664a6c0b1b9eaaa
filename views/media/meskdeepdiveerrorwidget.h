#pragma once

#include <QWidget>

class QLabel;
class CQuorGradientButton;

// The page the media viewers put in place of a picture or a video that failed to download or
// play: a title, an explanation and "Try again".
class CMeskDeepDiveErrorWidget : public QWidget
{
    Q_OBJECT
public:
    CMeskDeepDiveErrorWidget(const QString& title, const QString& text, QWidget* parent = nullptr);
    ~CMeskDeepDiveErrorWidget() override;

    QString title() const;
    QString text() const;
    CQuorGradientButton* tryAgainButton() const { return m_button; }

signals:
    void tryAgain();

private:
    QLabel* m_title = nullptr;
    QLabel* m_text = nullptr;
    CQuorGradientButton* m_button = nullptr;
};
