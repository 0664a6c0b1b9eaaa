#pragma once

#include <QWidget>

class CMeskFilterBox;
class CMeskItemLinkButton;
class QLabel;
class QMenu;

// A posting button of the main toolbar: a bold text with a small arrow; a left press reports
// clicked().
class CMeskToolBarButton : public QWidget
{
    Q_OBJECT

public:
    explicit CMeskToolBarButton(const QString& text, QWidget* parent = nullptr);

    QLabel* label() const { return m_label; }

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    QLabel* m_label = nullptr;
};

// The View button of the main toolbar. In single-column form a press opens a menu leading to
// the media browser or the links pages; in multi-column form the two choices are links beside
// the label.
class CMeskViewToolButton : public QWidget
{
    Q_OBJECT

public:
    explicit CMeskViewToolButton(QWidget* parent = nullptr);

    void setSingleColumnMode();
    void setMultiColumnMode();

    bool menuMode() const { return m_menuMode; }
    // How wide the multi-column form (the label and both links) wants to be, in either form.
    int linksFormWidth() const;
    QLabel* label() const { return m_label; }
    QMenu* menu() const { return m_menu; }
    CMeskItemLinkButton* imagesLink() const { return m_imagesLink; }
    CMeskItemLinkButton* linksLink() const { return m_linksLink; }

signals:
    void showDeepDiveView();
    void showLinksView();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    QLabel* m_label = nullptr;
    QMenu* m_menu = nullptr;
    CMeskItemLinkButton* m_imagesLink = nullptr;
    CMeskItemLinkButton* m_linksLink = nullptr;
    bool m_menuMode = false;
};

// The strip under the main window's title bar: "New Update", "New Text Message", the View
// button and, in multi-column mode, the filter box. It only emits signals. The filter box has
// one width whatever the window's width; where the View button's links do not fit beside it,
// the View button takes its menu form.
class CMeskToolBar : public QWidget
{
    Q_OBJECT

public:
    explicit CMeskToolBar(bool multiColumn, QWidget* parent = nullptr);

    void setSingleColumnMode();
    void setMultiColumnMode();
    // Empties the filter box and reports it with clearFilter(), so the feeds drop the filter too.
    void resetFilter();

    CMeskToolBarButton* newUpdateButton() const { return m_newUpdate; }
    CMeskToolBarButton* newTextMessageButton() const { return m_newTextMessage; }
    CMeskViewToolButton* viewButton() const { return m_viewButton; }
    CMeskFilterBox* filterBox() const { return m_filterBox; }

    // The width of the filter box's text field: what it has in a three-column window.
    static constexpr int FilterFieldWidth = 127;

signals:
    void newUpdate();
    void newTextMessage();
    void showDeepDiveView();
    void showLinksView();
    void filterText(const QString& text);
    void clearFilter();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // The View button's form for multi-column mode: links where the strip has room for them.
    void updateViewForm();

    bool m_multiColumn = false;
    CMeskToolBarButton* m_newUpdate = nullptr;
    CMeskToolBarButton* m_newTextMessage = nullptr;
    CMeskViewToolButton* m_viewButton = nullptr;
    CMeskFilterBox* m_filterBox = nullptr;
};
