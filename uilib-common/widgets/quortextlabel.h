#pragma once

#include <QWidget>

// A light text label whose text the style paints, with optional shadow and fade effects.
// Every new text reports whether it is empty.
class CQuorTextLabel : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString com_velto_qstyleRole READ qstyleRole)
    Q_PROPERTY(QString text READ text WRITE setText USER true)
    Q_PROPERTY(bool fade READ fade WRITE setFade)
    Q_PROPERTY(bool shadow READ shadow WRITE setShadow)
    Q_PROPERTY(Qt::Alignment alignment READ alignment WRITE setAlignment)

public:
    explicit CQuorTextLabel(QWidget* parent = nullptr);
    ~CQuorTextLabel() override;

    QString qstyleRole() const { return QStringLiteral("quor.commonuilibrary.custom.shadowlabel"); }

    QString text() const { return m_text; }
    void setText(const QString& text);
    bool fade() const { return m_fade; }
    bool shadow() const { return m_shadow; }
    Qt::Alignment alignment() const { return m_alignment; }
    void setAlignment(Qt::Alignment alignment);
    // The painter opacity of the whole label; takes effect with the next paint.
    qreal opacity() const { return m_opacity; }
    void setOpacity(qreal opacity);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    int heightForWidth(int width) const override;

public slots:
    void setShadow(bool bEnabled);
    void setFade(bool bEnabled);

signals:
    void textIsEmpty(bool empty);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int twoCharacterWidth() const;

    QString m_text;
    bool m_fade = false;
    bool m_shadow = false;
    Qt::Alignment m_alignment = Qt::AlignLeft | Qt::AlignVCenter;
    qreal m_opacity = 1.0;
};
