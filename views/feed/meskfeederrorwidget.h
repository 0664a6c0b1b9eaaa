#pragma once

#include <QWidget>

class CMeskSettings;
class CQuorCheckBox;
class QLabel;
class QToolButton;

// A banner of the feed area: an icon, a wrapped 8-pt text and a close button; a warning banner
// also offers "Ignore this warning". Closing with the tick stores the warning's ignore key
// (SettingIgnoreCellularNetworkWarning, SettingIgnoreLowSignalWarning) at once on the
// given store before close(id, true) is emitted. The banner never hides or deletes itself.
class CMeskFeedErrorWidget : public QWidget
{
    Q_OBJECT

public:
    CMeskFeedErrorWidget(int id, CMeskSettings* settings, QWidget* parent = nullptr);

    void setError(const int& code);
    void setServiceError(const QString& serviceName, const int& code);
    void setWarning(const int& code);
    // Shows the pixmap at 16 x 16 in place of the icon.
    void setIcon(const QPixmap& pixmap);

    int id() const { return m_id; }
    QString text() const;
    QLabel* iconLabel() const { return m_iconLabel; }
    QLabel* textLabel() const { return m_textLabel; }
    CQuorCheckBox* ignoreCheckBox() const { return m_ignoreCheckBox; }
    QToolButton* closeButton() const { return m_closeButton; }

signals:
    void close(int id, bool ignore);

private slots:
    void _onClose();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_id = 0;
    int m_warningCode = 0;
    CMeskSettings* m_settings = nullptr;
    QLabel* m_iconLabel = nullptr;
    QLabel* m_textLabel = nullptr;
    CQuorCheckBox* m_ignoreCheckBox = nullptr;
    QToolButton* m_closeButton = nullptr;
};
