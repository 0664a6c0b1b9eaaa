#include "mainwindow/meskwelcomeview.h"

#include "mesktexts.h"
#include "style/quorimages.h"
#include "widgets/quorbuttons.h"

#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QPainter>
#include <QResizeEvent>
#include <QTextDocument>
#include <QTextFrame>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

// The welcome message: a word-wrapped rich-text label that answers size questions from one layout
// per width. QLabel lays a rich text out six times or more for each size question (at its preferred,
// zero and unbounded widths, each followed by a layout back at the old width), and the first-run
// window asks several of them before its first frame. The text is still painted by QLabel.
class CWelcomeText : public QLabel
{
public:
    explicit CWelcomeText(const QString& html, QWidget* parent) : QLabel(parent)
    {
        setWordWrap(true);
        setText(html);
    }

    bool hasHeightForWidth() const override { return true; }

    int heightForWidth(int width) const override { return sizeForWidth(width).height(); }

    // As QLabel: the document's own choice of a reasonable width.
    QSize sizeHint() const override
    {
        if (!m_hint.isValid()) {
            document()->adjustSize();
            const QSizeF size = document()->size();
            m_hint = withMargins({int(std::ceil(size.width())), int(std::ceil(size.height()))});
        }
        return m_hint;
    }

    // A word-wrapped text fits any width; its height comes from heightForWidth.
    QSize minimumSizeHint() const override
    {
        const QMargins m = contentsMargins();
        return {2 * margin() + m.left() + m.right(),
                fontMetrics().lineSpacing() + 2 * margin() + m.top() + m.bottom()};
    }

protected:
    void changeEvent(QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::FontChange:
        case QEvent::StyleChange:
        case QEvent::ContentsRectChange:
            m_sizes.clear();
            m_hint = QSize();
            m_document.reset();
            break;
        default:
            break;
        }
        QLabel::changeEvent(event);
    }

private:
    // The size of the text laid out at the given width with the label's margins, as QLabel gives it.
    QSize sizeForWidth(int width) const
    {
        const QMargins m = contentsMargins();
        const int textWidth = std::max(0, width - 2 * margin() - m.left() - m.right());
        auto cached = m_sizes.constFind(textWidth);
        if (cached == m_sizes.cend()) {
            if (m_sizes.size() >= 8)
                m_sizes.clear();
            document()->setTextWidth(textWidth);
            const QSizeF size = document()->size();
            cached = m_sizes.insert(textWidth, {int(std::ceil(size.width())), int(std::ceil(size.height()))});
        }
        return withMargins(*cached);
    }

    QSize withMargins(const QSize& text) const
    {
        const QMargins m = contentsMargins();
        const int extra = 2 * margin();
        return (text + QSize(extra + m.left() + m.right(), extra + m.top() + m.bottom()))
            .expandedTo(minimumSize());
    }

    // The text as QLabel lays it out: its font and alignment, no frame margin.
    QTextDocument* document() const
    {
        if (!m_document) {
            m_document = std::make_unique<QTextDocument>();
            m_document->setUndoRedoEnabled(false);
            m_document->setDefaultFont(font());
            m_document->setHtml(text());
            QTextOption option = m_document->defaultTextOption();
            option.setAlignment(alignment());
            option.setWrapMode(QTextOption::WordWrap);
            m_document->setDefaultTextOption(option);
            QTextFrameFormat frame = m_document->rootFrame()->frameFormat();
            frame.setMargin(0);
            m_document->rootFrame()->setFrameFormat(frame);
        }
        return m_document.get();
    }

    mutable std::unique_ptr<QTextDocument> m_document;
    mutable QHash<int, QSize> m_sizes;
    mutable QSize m_hint;
};

} // namespace

namespace {
const QString kPicture = QStringLiteral(":/meskstyle/images/welcomescreen.png");
}

std::future<QImage> CMeskWelcomeView::readPicture()
{
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    return std::async(std::launch::async, [ratio] { return QuorImages::image(kPicture, ratio); });
}

CMeskWelcomeView::CMeskWelcomeView(QWidget* parent) : CMeskWelcomeView(readPicture(), parent) {}

CMeskWelcomeView::CMeskWelcomeView(std::future<QImage> picture, QWidget* parent) : QWidget(parent)
{

    auto* outer = new QHBoxLayout(this);
    auto* column = new QVBoxLayout;

    const QString style = QStringLiteral(
        "<style type=\"text/css\">"
        "p.header { color: rgb(146, 168, 38); font-family: \"Verdana\", \"Times New Roman\", Serif; "
        "font-size: 37px; text-decoration: none; } "
        "p.body { color: rgb(9, 32, 100); font-family: \"Verdana\", \"Times New Roman\", Serif; "
        "font-size: 20px; text-decoration: none; }"
        "</style>");
    auto* label = new CWelcomeText(
        QStringLiteral("<html>%1<body>%2</body></html>").arg(style, CMeskTexts::welcomeText()), this);

    auto* button = new CQuorGradientButton(this, CQuorGradientButton::Positive);
    button->setText(CMeskTexts::getStartedText());
    button->setFixedHeight(40);

    column->addSpacing(20);
    column->addWidget(label, 1);
    column->addWidget(button, 0, Qt::AlignCenter);
    column->addSpacing(10);
    outer->addSpacing(25);
    outer->addLayout(column);
    outer->addSpacing(25);

    connect(button, &CQuorGradientButton::clicked, this, &CMeskWelcomeView::openServiceSettings);

    if (picture.valid())
        m_original = QPixmap::fromImage(picture.get());
    m_background = m_original;
}

void CMeskWelcomeView::paintEvent(QPaintEvent*)
{
    if (m_background.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.drawPixmap(QPoint(0, 0), m_background);
}

void CMeskWelcomeView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_original.isNull() || event->size().isEmpty())
        return;
    const qreal ratio = m_original.devicePixelRatio();
    m_background =
        m_original.scaled(event->size() * ratio, Qt::KeepAspectRatioByExpanding, Qt::FastTransformation);
    m_background.setDevicePixelRatio(ratio);
}
