#pragma once

#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

class CMeskEngine;
class CQuorArrowToolTip;
class IMediaObject;
class IMediaUser;
class QHBoxLayout;

// One square thumbnail of the media browser's strip. It shows the object's thumbnail picture
// (downloaded on demand), a frame when current or hovered, and a bubble with the caption, the
// author and the author's avatar when the mouse rests on it.
class CMeskObjectThumbnail : public QWidget
{
    Q_OBJECT
public:
    explicit CMeskObjectThumbnail(QWidget* parent = nullptr);
    ~CMeskObjectThumbnail() override;

    // Shows another object; its author may be null (unknown). The old picture stays until a
    // new one loads.
    void setObject(IMediaObject* object, IMediaUser* author, int index);
    void setCurrent(bool current);

    bool isCurrent() const { return m_current; }
    int index() const { return m_index; }
    IMediaObject* object() const { return m_object; }
    QPixmap picture() const { return m_picture; }
    // Where the picture is drawn, inside the frame.
    QRect pictureRect() const;
    CQuorArrowToolTip* toolTipBubble() const { return m_toolTip; }

    // The bubble's text: "<b>caption</b> by <b>name</b>", or the caption alone without an
    // author; both escaped.
    static QString toolTipText(const QString& caption, const IMediaUser* author);

signals:
    void clicked(int index);

private slots:
    void _onDownloaded();
    void _onDownloadFailed();
    void _onImageError();

protected:
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int frameWidth() const;
    QRect innerRect() const;
    bool loadPicture();
    void showToolTip();

    QPointer<IMediaObject> m_object;
    QPointer<IMediaUser> m_author;
    QPixmap m_picture;
    bool m_current = false;
    bool m_hovered = false;
    int m_index = 0;
    CQuorArrowToolTip* m_toolTip = nullptr;
};

// An arrow at either end of the strip that pages it; paints nothing while disabled.
class CMeskStripScrollButton : public QWidget
{
    Q_OBJECT
public:
    // 0: left, 1: right; any other direction has no arrow.
    explicit CMeskStripScrollButton(int direction, QWidget* parent = nullptr);
    ~CMeskStripScrollButton() override;

    QPixmap arrow() const { return m_arrow; }

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_hovered = false;
    QPixmap m_arrow;
};

// The bottom band of the media browser: as many thumbnails as fit its width, one of them
// current. The arrow buttons page (keeping the current object where it can), the Left and Right
// keys, a click and moveActiveLeft()/moveActiveRight() move the current mark.
class CMeskThumbnailStrip : public QWidget
{
    Q_OBJECT
public:
    explicit CMeskThumbnailStrip(CMeskEngine* engine, QWidget* parent = nullptr);
    ~CMeskThumbnailStrip() override;

    // Replaces the objects (not owned); built at once while visible, otherwise on the next resize.
    void setObjects(const QList<IMediaObject*>& objects);

    // The current object; null while no thumbnail is built.
    IMediaObject* currentObject() const;
    bool hasPrevious() const;
    bool hasNext() const;

    // The thumbnails on show, the leftmost one's object index and the current slot.
    QList<CMeskObjectThumbnail*> thumbnails() const { return m_thumbnails; }
    int firstIndex() const { return m_first; }
    int activeSlot() const { return m_active; }
    CMeskStripScrollButton* leftButton() const { return m_leftButton; }
    CMeskStripScrollButton* rightButton() const { return m_rightButton; }

signals:
    void currentChanged();

public slots:
    void moveActiveLeft();
    void moveActiveRight();

private slots:
    void _scrollLeft();
    void _scrollRight();
    void _onThumbnailClicked(int index);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildThumbnails();
    void clearThumbnails();
    void refreshThumbnails();
    // Turn a page as the arrow buttons do; the slot that they then make current.
    int pageLeft();
    int pageRight();
    void updateScrollButtons();
    void setActive(int slot);
    IMediaUser* authorOf(IMediaObject* object) const;

    CMeskEngine* m_engine;
    QList<IMediaObject*> m_objects;
    QList<CMeskObjectThumbnail*> m_thumbnails;
    int m_first = 0;
    int m_active = 0;
    bool m_scrollable = false;
    CMeskStripScrollButton* m_leftButton;
    CMeskStripScrollButton* m_rightButton;
    QHBoxLayout* m_thumbLayout;
};
