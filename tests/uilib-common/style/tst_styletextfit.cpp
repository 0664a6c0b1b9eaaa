#include "style/quorcommonstyle.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOption>
#include <QTest>

// Every control keeps its whole label inside the text rectangle the style gives it, at the
// default font and with the large-font setting (its 12-point application font).

namespace {

const QString kLabel = QStringLiteral("Month (gjpqy)");

QString role(const QString& name)
{
    return QStringLiteral("quor.commonuilibrary.") + name;
}

class ComboBox : public QComboBox
{
public:
    using QComboBox::initStyleOption;
};

class LineEdit : public QLineEdit
{
public:
    using QLineEdit::initStyleOption;
};

class PushButton : public QPushButton
{
public:
    using QPushButton::initStyleOption;
};

// The label's line (ascent and descent) fits the area's height, and its ink, placed as a line
// centred in the area (at its left edge or centred across it), lies whole inside the area.
bool fits(const QFontMetrics& metrics, const QRect& area, int flags, const QString& text, QString* why)
{
    const int advance = metrics.horizontalAdvance(text);
    const int left = (flags & Qt::AlignHCenter) ? area.x() + (area.width() - advance) / 2 : area.x();
    const int top = area.y() + (area.height() - metrics.height() + 1) / 2;
    const QRect ink = metrics.boundingRect(text).translated(left, top + metrics.ascent());
    if (area.height() >= metrics.height() && area.contains(ink))
        return true;
    *why = QStringLiteral("ink %1,%2 %3x%4 (line height %5) outside %6,%7 %8x%9")
               .arg(ink.x())
               .arg(ink.y())
               .arg(ink.width())
               .arg(ink.height())
               .arg(metrics.height())
               .arg(area.x())
               .arg(area.y())
               .arg(area.width())
               .arg(area.height());
    return false;
}

} // namespace

class TestStyleTextFit : public QObject
{
    Q_OBJECT

private slots:
    void labelFits_data();
    void labelFits();
    void segmentGrowsWithItsLabel_data();
    void segmentGrowsWithItsLabel();

private:
    CQuorCommonStyle* useStyle(bool large);
};

CQuorCommonStyle* TestStyleTextFit::useStyle(bool large)
{
    auto* style = new CQuorCommonStyle;
    style->setLargeFonts(large);
    QApplication::setStyle(style); // polishes the application: its font follows the setting
    return style;
}

void TestStyleTextFit::labelFits_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<bool>("large");
    QTest::addColumn<int>("partHeight"); // the height at the default font; 0 when none is given
    for (const bool large : {false, true}) {
        const char* font = large ? "large fonts" : "default font";
        QTest::addRow("combo box, %s", font) << QStringLiteral("combobox") << large << (large ? 0 : 24);
        QTest::addRow("line edit, %s", font)
            << QStringLiteral("lineedit.textfield") << large << (large ? 0 : 21);
        QTest::addRow("gradient button, %s", font)
            << QStringLiteral("button.gradient.Positive") << large << 0;
        for (const char* position : {"first", "middle", "last"})
            QTest::addRow("option group %s, %s", position, font)
                << QStringLiteral("button.optiongroup.") + QLatin1String(position) << large << 0;
    }
}

void TestStyleTextFit::labelFits()
{
    QFETCH(QString, control);
    QFETCH(bool, large);
    QFETCH(int, partHeight);
    QStyle* style = useStyle(large);
    QCOMPARE(QApplication::font().pointSize(), large ? 12 : 10);

    QRect area;
    int flags = Qt::AlignVCenter;
    QFont font;
    QSize size;
    if (control == QLatin1String("combobox")) {
        ComboBox combo;
        combo.addItem(kLabel);
        combo.ensurePolished();
        size = combo.sizeHint();
        combo.resize(size);
        QStyleOptionComboBox option;
        combo.initStyleOption(&option);
        area = style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, &combo);
        flags |= Qt::AlignLeft;
        font = combo.font();
    } else if (control.startsWith(QLatin1String("lineedit"))) {
        // The frameless editor of CQuorLineEdit: the style fixes its height to a line of its font.
        LineEdit edit;
        edit.setProperty("com_velto_qstyleRole", role(control));
        edit.setFrame(false);
        edit.setText(kLabel);
        edit.ensurePolished();
        size = edit.sizeHint();
        edit.resize(size.width(), edit.maximumHeight());
        QStyleOptionFrame option;
        edit.initStyleOption(&option);
        // The editor centres the line in its contents and keeps 2 pixels at each side.
        area = style->subElementRect(QStyle::SE_LineEditContents, &option, &edit).adjusted(2, 0, -2, 0);
        flags |= Qt::AlignLeft;
        font = edit.font();
    } else {
        PushButton button;
        button.setProperty("com_velto_qstyleRole", role(control));
        button.setText(kLabel);
        button.ensurePolished();
        size = button.sizeHint();
        button.resize(size);
        QStyleOptionButton option;
        button.initStyleOption(&option);
        area = style->subElementRect(QStyle::SE_PushButtonContents, &option, &button);
        flags |= Qt::AlignHCenter;
        font = button.font();
    }
    if (partHeight > 0)
        QCOMPARE(size.height(), partHeight);
    QString why;
    QVERIFY2(fits(QFontMetrics(font), area, flags, kLabel, &why), qPrintable(why));
}

void TestStyleTextFit::segmentGrowsWithItsLabel_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("large");
    for (const bool large : {false, true}) {
        for (const char* label : {"Day", "Week", "Month", "A"})
            QTest::addRow("%s, %s", label, large ? "large fonts" : "default font")
                << QString::fromLatin1(label) << large;
    }
}

void TestStyleTextFit::segmentGrowsWithItsLabel()
{
    QFETCH(QString, label);
    QFETCH(bool, large);
    const CQuorCommonStyle* style = useStyle(large);
    PushButton button;
    button.setProperty("com_velto_qstyleRole", role(QStringLiteral("button.optiongroup.middle")));
    button.setText(label);
    button.ensurePolished();
    const SNinePatchMargins m = style->ninePatchMargins(CQuorCommonStyle::MarginsOptionGroup);
    const int advance = button.fontMetrics().horizontalAdvance(label);
    // Never narrower than the 32 x 22 image, and wide enough for the label between the margins.
    const QSize hint = button.sizeHint();
    const QFontMetrics metrics = button.fontMetrics();
    const int width =
        qMax(qMax(advance, metrics.size(0, label).width()), metrics.boundingRect(label).width());
    QCOMPARE(hint.width(), qMax(32, width + m.left + m.right));
    QVERIFY(hint.height() >= 22);
}

QTEST_MAIN(TestStyleTextFit)
#include "tst_styletextfit.moc"
