#include "meskthumbnailwidget.h"

#include "meskitemwidgets.h"
#include "meskpictures.h"
#include "meskuistyle.h"
#include "style/quorpainting.h"

#include <QMouseEvent>
#include <QPainter>

CMeskThumbnailWidget::CMeskThumbnailWidget(int type, QWidget* parent) : QWidget(parent)
{
    setProperty("com_velto_mesk_qstyleRole", QStringLiteral("mesk.uilibrary.thumbnailwidget"));
    setType(type);
}

QSize CMeskThumbnailWidget::nominalSize() const
{
    switch (m_type) {
    case 0:
        return {50, 50};
    case 1:
        return {32, 32};
    case 2:
    case 3:
        return {75, 75};
    default:
        return {17, 17};
    }
}

bool CMeskThumbnailWidget::alwaysPointing() const
{
    return m_type == 2 || m_type == 3 || m_type == 6;
}

void CMeskThumbnailWidget::setType(int type)
{
    m_type = type;
    const auto metric = [this](unsigned int id) {
        return style()->pixelMetric(QStyle::PixelMetric(id), nullptr, this);
    };
    if (m_type == 1) {
        m_innerMargin = metric(CMeskUiStyle::PM_MeskSmallThumbnailInnerMargin);
        m_outerMargin = metric(CMeskUiStyle::PM_MeskSmallThumbnailOuterMargin);
    } else {
        m_innerMargin = metric(CMeskUiStyle::PM_MeskThumbnailInnerMargin);
        m_outerMargin = metric(CMeskUiStyle::PM_MeskThumbnailOuterMargin);
    }
    setShadow(m_type < 4 || m_type > 6);
    setCursor(alwaysPointing() || !m_url.isEmpty() ? Qt::PointingHandCursor : Qt::ArrowCursor);
    rescale();
    update();
}

void CMeskThumbnailWidget::setShadow(bool on)
{
    m_shadow = on;
    updateFixedSize();
    if (!on) {
        m_shadowPixmap = QPixmap();
    } else {
        unsigned int id = CMeskUiStyle::SP_MeskThumbnailShadow;
        if (m_type == 0)
            id = CMeskUiStyle::SP_MeskNormalAvatarShadow;
        else if (m_type == 1)
            id = CMeskUiStyle::SP_MeskSmallAvatarShadow;
        m_shadowPixmap = style()->standardPixmap(QStyle::StandardPixmap(id), nullptr, this);
    }
    update();
}

void CMeskThumbnailWidget::rescale()
{
    m_pixmap = meskScaleDownPicture(m_pixmap, nominalSize());
    updateFixedSize();
}

void CMeskThumbnailWidget::updateFixedSize()
{
    QSize size = m_pixmap.isNull() ? nominalSize() : meskPictureSize(m_pixmap);
    if (m_shadow) {
        const int frame = 2 * (m_innerMargin + m_outerMargin);
        size += QSize(frame, frame);
    }
    setFixedSize(size);
}

void CMeskThumbnailWidget::setPixmap(const QPixmap& pixmap)
{
    m_pixmap = pixmap;
    rescale();
    update();
}

bool CMeskThumbnailWidget::loadPixmap(const QString& path)
{
    QPixmap loaded;
    if (!loadPixmapAnyFormat(path, loaded))
        return false;
    setPixmap(loaded);
    return true;
}

void CMeskThumbnailWidget::setUrl(const QString& url)
{
    m_url = url;
    if (!m_url.isEmpty())
        setCursor(Qt::PointingHandCursor);
    else if (!alwaysPointing())
        setCursor(Qt::ArrowCursor);
}

void CMeskThumbnailWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QRect r = rect();
    if (m_shadow && !m_shadowPixmap.isNull()) {
        // The shadow image is drawn for the nominal size; a picture of another aspect (or a
        // smaller one) gets it stretched along its edges, corners kept.
        drawNinePatchPixmap(&painter, m_shadowPixmap, r, m_outerMargin, m_outerMargin, m_outerMargin,
                            m_outerMargin);
        r.adjust(m_outerMargin, m_outerMargin, -m_outerMargin, -m_outerMargin);
        painter.fillRect(r, Qt::white);
        r.adjust(m_innerMargin, m_innerMargin, -m_innerMargin, -m_innerMargin);
    }
    if (!m_pixmap.isNull()) {
        const QSize size = meskPictureSize(m_pixmap);
        QPoint at = r.topLeft();
        if (size.width() < r.width())
            at.rx() += (r.width() - size.width()) / 2;
        if (size.height() < r.height())
            at.ry() += (r.height() - size.height()) / 2;
        painter.drawPixmap(at, m_pixmap);
    }
}

void CMeskThumbnailWidget::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    meskOpenWebAddress(m_url, this);
    event->accept();
    emit clicked();
}
