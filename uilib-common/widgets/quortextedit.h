#pragma once

#include <QSizeF>
#include <QTextEdit>

// A multi-line editor in the toolkit's look: it can grow and shrink with its text, and the
// style may draw its background behind a transparent base.
class CQuorTextEdit : public QTextEdit
{
    Q_OBJECT
    Q_PROPERTY(QString com_velto_qstyleRole READ qstyleRole)
    Q_PROPERTY(bool backgroundVisible READ backgroundVisible WRITE setBackgroundVisible)
    Q_PROPERTY(bool autoResize READ autoResize WRITE setAutoResize)

public:
    explicit CQuorTextEdit(QWidget* parent = nullptr);
    ~CQuorTextEdit() override;

    QString qstyleRole() const { return QStringLiteral("quor.commonuilibrary.textedit"); }

    bool backgroundVisible() const { return m_backgroundVisible; }
    // On: the base is transparent so the background the style draws shows through; off: the
    // editor takes the application palette.
    void setBackgroundVisible(bool visible);

    bool autoResize() const { return m_autoResize; }
    // On: the editor's height follows its document.
    void setAutoResize(bool on);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private slots:
    void onAutoResize(const QSizeF& size);

private:
    bool m_backgroundVisible = true;
    bool m_autoResize = false;
};
