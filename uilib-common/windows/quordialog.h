#pragma once

#include <QDialog>
#include <QPointer>

class CQuorDialogTitleBar;
class QFrame;

// The frameless dialog window of the toolkit. A concrete dialog builds, as its descendants,
// one CQuorDialogTitleBar, one QFrame named "contentFrame" and, with buttons, one QFrame
// named "bottomFrame"; the dialog finds them by type and name. Its window mask follows the
// frame the style paints. A shown dialog whose native window is made anew (a web view turns
// it into an OpenGL surface) keeps its place on the screen. Each time it shows, its frame is
// fitted into its screen's available area (CQuorScreenFit).
class CQuorDialog : public QDialog
{
    Q_OBJECT

public:
    explicit CQuorDialog(QWidget* parent = nullptr);
    ~CQuorDialog() override;

    // The first descendant frame named "contentFrame" (child order, depth first); null when
    // there is none. Found once and remembered while it lives.
    QFrame* contentFrame();
    // The same for "bottomFrame".
    QFrame* bottomFrame();
    // The first descendant dialog title bar.
    CQuorDialogTitleBar* titleBar();

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QFrame* findFrame(QPointer<QFrame>& cache, const QString& name);

    QPointer<QFrame> m_contentFrame;
    QPointer<QFrame> m_bottomFrame;
    QPointer<CQuorDialogTitleBar> m_titleBar;
};
