#pragma once

#include <QPixmap>
#include <QString>
#include <QWidget>

// A picture (avatar, photo thumbnail or service icon) at one of the product's nominal sizes,
// scaled down to fit it, with the product's drop shadow and a white photo frame behind it.
// A left press emits clicked() and opens the widget's web address (http or https only).
//
// Types: 0 normal avatar (50 x 50), 1 small avatar (32 x 32), 2 and 3 photo thumbnail
// (75 x 75), 4 to 6 icons (17 x 17, no shadow or frame). Types 2, 3 and 6 always show the
// pointing hand; the others only while they have an address.
class CMeskThumbnailWidget : public QWidget
{
    Q_OBJECT

public:
    explicit CMeskThumbnailWidget(int type, QWidget* parent = nullptr);

    int type() const { return m_type; }
    // Stores the picture scaled down to the nominal size; the widget takes its size.
    void setPixmap(const QPixmap& pixmap);
    // Loads the picture with loadPixmapAnyFormat; on failure keeps the old one.
    bool loadPixmap(const QString& path);
    bool hasPixmap() const { return !m_pixmap.isNull(); }
    QPixmap pixmap() const { return m_pixmap; }

    QString url() const { return m_url; }
    void setUrl(const QString& url);

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void setType(int type);
    void setShadow(bool on);
    void rescale();
    void updateFixedSize();
    QSize nominalSize() const;
    bool alwaysPointing() const;

    int m_type = 0;
    QPixmap m_pixmap;
    QPixmap m_shadowPixmap;
    QString m_url;
    bool m_shadow = false;
    int m_innerMargin = 0;
    int m_outerMargin = 0;
};
