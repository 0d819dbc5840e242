#include <QtTest>

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QComboBox>
#include <QScreen>
#include <QTableWidget>
#include <QTextEdit>
#include <QHeaderView>

#include <cmath>

#include "controls/AutoResizer.h"

namespace {

// Point size as the resizer reads it on this screen: recorded size times
// 96 / logical dpi, truncated.
int ScreenPt(int pt)
{
    const int dpi = static_cast<int>(QGuiApplication::primaryScreen()->logicalDotsPerInch());
    return static_cast<int>(pt * (96.0f / static_cast<float>(dpi)));
}

QLabel* MakeLabel(QWidget* parent, const QRect& r, int pt, const QString& name)
{
    auto* label = new QLabel(name, parent);
    label->setObjectName(name);
    label->setGeometry(r);
    QFont f = label->font();
    f.setPointSize(pt);
    label->setFont(f);
    return label;
}

} // namespace

class TestAutoResizer : public QObject
{
    Q_OBJECT
private slots:
    void scalesGeometryAndFontAtDoubleSize();
    void scalesGeometryAndFontAtHalfSize();
    void halvingOnlyWidthUsesSmallerRatioForFonts();
    void allFourKindsAreRecorded();
    void styleSheetFontWithBlankIsRewritten();
    void styleSheetFontWithoutBlankFallsBackToFont();
    void styleSheetOnlyFontIsRecordedAsPolished();
    void tableSheetRewriteKeepsLaterBlocksIntact();
    void tableRowsAreEvenlyReheightened();
    void tableWithoutRowsIsSafe();
    void tableNotNamedIsNotScaled();
    void zeroDesignSizeLeavesWidgetsUnscaled();
    void tinyRootKeepsDesignTextInEveryBranch();
    void tinyDesignFontGivesOnePointInEveryBranch();
    void layoutPlacesItsWidgetsWhateverTheWay();
    void ownersPlaceTheirTextFieldsAndDeletedWidgetsAreLeft();
    void pixelSizedFontIsNeverChanged();
    void resizeBeforeRecordingMovesNothing();
    void noResizeItemWinsOverResizeItem();
    void repeatedResizesDoNotCompound();
    void customLayoutContainerScalesOnlyFontsOfDirectChildren();
    void heightLimitsScaleWithTheFonts();
};

void TestAutoResizer::scalesGeometryAndFontAtDoubleSize()
{
    QWidget root;
    root.resize(400, 300);
    QLabel* label = MakeLabel(&root, QRect(10, 20, 100, 30), 12, "label");
    AutoResizer resizer(&root, 400, 300);
    resizer.setAutoResizeFlag(15);
    resizer.doneAllResizeItem();

    root.resize(800, 600);
    resizer.doAutoResize();
    QCOMPARE(resizer.getHorResizeRatio(), 2.0f);
    QCOMPARE(resizer.getVerResizeRatio(), 2.0f);
    QCOMPARE(resizer.getFontResizeRatio(), 2.0f);
    QCOMPARE(label->geometry(), QRect(20, 40, 200, 60));
    QCOMPARE(label->font().pointSizeF(), ScreenPt(12) * 2.0 - 1.0);
}

void TestAutoResizer::scalesGeometryAndFontAtHalfSize()
{
    QWidget root;
    root.resize(400, 300);
    QLabel* label = MakeLabel(&root, QRect(11, 21, 101, 31), 12, "label");
    AutoResizer resizer(&root, 400, 300);
    resizer.setAutoResizeFlag(15);
    resizer.doneAllResizeItem();

    root.resize(200, 150);
    resizer.doAutoResize();
    // Products are truncated toward zero.
    QCOMPARE(label->geometry(), QRect(5, 10, 50, 15));
    // Text never gets smaller than at the design size.
    QCOMPARE(resizer.getFontResizeRatio(), 1.0f);
    QCOMPARE(label->font().pointSizeF(), ScreenPt(12) - 1.0);
}

void TestAutoResizer::halvingOnlyWidthUsesSmallerRatioForFonts()
{
    QWidget root;
    root.resize(400, 300);
    QLabel* label = MakeLabel(&root, QRect(10, 20, 100, 30), 12, "label");
    AutoResizer resizer(&root, 400, 300);
    resizer.setAutoResizeFlag(15);
    resizer.doneAllResizeItem();

    root.resize(200, 300);
    resizer.doAutoResize();
    QCOMPARE(resizer.getHorResizeRatio(), 0.5f);
    QCOMPARE(resizer.getVerResizeRatio(), 1.0f);
    QCOMPARE(resizer.getFontResizeRatio(), 1.0f); // never below 1
    QCOMPARE(label->geometry(), QRect(5, 20, 50, 30));
    QCOMPARE(label->font().pointSizeF(), ScreenPt(12) - 1.0);

    // Growing: the smaller of the two ratios.
    root.resize(1200, 450);
    resizer.doAutoResize();
    QCOMPARE(resizer.getFontResizeRatio(), 1.5f);
    QCOMPARE(label->font().pointSizeF(), ScreenPt(12) * 1.5 - 1.0);
}

void TestAutoResizer::allFourKindsAreRecorded()
{
    QWidget root;
    root.resize(400, 300);
    auto* button = new QPushButton("b", &root);
    button->setGeometry(0, 0, 80, 20);
    auto* edit = new QLineEdit(&root);
    edit->setGeometry(100, 0, 80, 20);
    auto* combo = new QComboBox(&root);
    combo->setGeometry(200, 0, 80, 20);
    auto* plain = new QWidget(&root);
    plain->setGeometry(300, 0, 80, 20);

    AutoResizer resizer(&root, 400, 300);
    resizer.setAutoResizeFlag(2 | 4); // buttons and line edits only
    resizer.doneAllResizeItem();
    root.resize(800, 600);
    resizer.doAutoResize();
    QCOMPARE(button->geometry(), QRect(0, 0, 160, 40));
    QCOMPARE(edit->geometry(), QRect(200, 0, 160, 40));
    QCOMPARE(combo->geometry(), QRect(200, 0, 80, 20));
    QCOMPARE(plain->geometry(), QRect(300, 0, 80, 20));
}

void TestAutoResizer::styleSheetFontWithBlankIsRewritten()
{
    QWidget root;
    root.resize(400, 300);
    QLabel* label = MakeLabel(&root, QRect(0, 0, 100, 30), 12, "label");
    label->setStyleSheet("QLabel{font: 12pt; color: red;} QLabel:hover{font:  12pt;}");
    AutoResizer resizer(&root, 400, 300);
    resizer.setAutoResizeFlag(15);
    resizer.doneAllResizeItem();

    resizer.doAutoResize(); // design size
    const int atDesign = ScreenPt(12) - 1;
    QCOMPARE(label->styleSheet(),
             QString("QLabel{font: %1pt; color: red;} QLabel:hover{font: %1pt;}").arg(atDesign));
    // The sheet, not a font set beside it, decides what the label shows.
    QCOMPARE(label->font().pointSizeF(), qreal(atDesign));

    root.resize(800, 600);
    resizer.doAutoResize();
    QCOMPARE(label->styleSheet(),
             QString("QLabel{font: %1pt; color: red;} QLabel:hover{font: %1pt;}").arg(ScreenPt(12) * 2 - 1));
}

void TestAutoResizer::styleSheetFontWithoutBlankFallsBackToFont()
{
    QWidget root;
    root.resize(400, 300);
    QLabel* label = MakeLabel(&root, QRect(0, 0, 100, 30), 12, "label");
    const QString sheet = "QLabel{font:12pt;}";
    label->setStyleSheet(sheet);
    AutoResizer resizer(&root, 400, 300);
    resizer.setAutoResizeFlag(15);
    resizer.doneAllResizeItem();
    root.resize(800, 600);
    resizer.doAutoResize();
    QCOMPARE(label->styleSheet(), sheet);
}

void TestAutoResizer::styleSheetOnlyFontIsRecordedAsPolished()
{
    QWidget root;
    root.resize(400, 300);
    auto* label = new QLabel("label", &root);
    label->setGeometry(0, 0, 100, 30);
    label->setStyleSheet("font: 12pt;");
    AutoResizer resizer(&root, 400, 300);
    resizer.setAutoResizeFlag(15);
    resizer.doneAllResizeItem();
    resizer.doAutoResize();
    QCOMPARE(label->styleSheet(), QString("font: %1pt;").arg(ScreenPt(12) - 1));
}

void TestAutoResizer::tableSheetRewriteKeepsLaterBlocksIntact()
{
    QWidget root;
    root.resize(400, 300);
    auto* table = new QTableWidget(2, 2, &root);
    table->setGeometry(0, 0, 200, 100);
    QFont f = table->font();
    f.setPointSize(8);
    table->setFont(f);
    // The first rewrite lengthens the number (one digit to two): every later
    // block must still be found and rewritten whole.
    table->setStyleSheet("QTableWidget::item { font: 8pt; color: red; }\n"
                         "QHeaderView::section { font: 8pt; }\n"
                         "QTableWidget::item { font: 8pt; background: blue; }");
    AutoResizer resizer(&root, 400, 300);
    resizer.setAutoResizeFlag(15);
    resizer.addAutoResizeItem(table);
    resizer.doneAllResizeItem();

    root.resize(800, 600);
    resizer.doAutoResize();
    const int n = ScreenPt(8) * 2; // the table branch writes the scaled size itself
    QVERIFY(n >= 10);
    QCOMPARE(table->styleSheet(),
             QString("QTableWidget::item { font: %1pt; color: red; }\n"
                     "QHeaderView::section { font: %1pt; }\n"
                     "QTableWidget::item { font: %1pt; background: blue; }").arg(n));
    QCOMPARE(table->font().pointSize(), 8);

    // Back to a smaller size: the numbers go back to the design size, never
    // below it, and to one digit.
    root.resize(200, 150);
    resizer.doAutoResize();
    const int m = ScreenPt(8);
    QCOMPARE(table->styleSheet(),
             QString("QTableWidget::item { font: %1pt; color: red; }\n"
                     "QHeaderView::section { font: %1pt; }\n"
                     "QTableWidget::item { font: %1pt; background: blue; }").arg(m));
}

void TestAutoResizer::tableRowsAreEvenlyReheightened()
{
    QWidget root;
    root.resize(400, 300);
    auto* table = new QTableWidget(4, 2, &root);
    table->setGeometry(0, 0, 200, 160);
    AutoResizer resizer(&root, 400, 300);
    resizer.setAutoResizeFlag(15);
    resizer.addAutoResizeItem(table);
    resizer.doneAllResizeItem();

    root.show();
    root.resize(800, 600);
    resizer.doAutoResize();
    QCOMPARE(table->geometry(), QRect(0, 0, 400, 320));
    QCoreApplication::processEvents();
    resizer.doAutoResize();
    const int expected = table->viewport()->height() / 4;
    QVERIFY(expected > 0);
    for (int row = 0; row < 4; ++row) {
        QCOMPARE(table->rowHeight(row), expected);
    }
}

void TestAutoResizer::tableWithoutRowsIsSafe()
{
    QWidget root;
    root.resize(400, 300);
    auto* table = new QTableWidget(0, 3, &root);
    table->setGeometry(10, 10, 200, 100);
    AutoResizer resizer(&root, 400, 300);
    resizer.setAutoResizeFlag(15);
    resizer.addAutoResizeItem(table);
    resizer.doneAllResizeItem();
    root.resize(800, 600);
    resizer.doAutoResize();
    QCOMPARE(table->geometry(), QRect(20, 20, 400, 200));
    QCOMPARE(table->rowCount(), 0);
}

void TestAutoResizer::tableNotNamedIsNotScaled()
{
    QWidget root;
    root.resize(400, 300);
    auto* table = new QTableWidget(3, 3, &root);
    table->setGeometry(10, 10, 200, 100);
    AutoResizer resizer(&root, 400, 300);
    resizer.setAutoResizeFlag(15);
    resizer.doneAllResizeItem();
    root.resize(800, 600);
    resizer.doAutoResize();
    QCOMPARE(table->geometry(), QRect(10, 10, 200, 100));
}

void TestAutoResizer::zeroDesignSizeLeavesWidgetsUnscaled()
{
    QWidget root;
    root.resize(400, 300);
    QLabel* label = MakeLabel(&root, QRect(10, 20, 100, 30), 12, "label");
    AutoResizer resizer(&root, 0, 0);
    resizer.setAutoResizeFlag(15);
    resizer.doneAllResizeItem();
    resizer.doAutoResize();
    QVERIFY(std::isfinite(resizer.getHorResizeRatio()));
    QVERIFY(std::isfinite(resizer.getVerResizeRatio()));
    QCOMPARE(resizer.getHorResizeRatio(), 1.0f);
    QCOMPARE(resizer.getVerResizeRatio(), 1.0f);
    QCOMPARE(label->geometry(), QRect(10, 20, 100, 30));

    // Only one direction unknown: the other still scales.
    AutoResizer widthOnly(&root, 200, 0);
    widthOnly.setAutoResizeFlag(15);
    widthOnly.doneAllResizeItem();
    widthOnly.doAutoResize();
    QCOMPARE(widthOnly.getHorResizeRatio(), 2.0f);
    QCOMPARE(widthOnly.getVerResizeRatio(), 1.0f);
    QCOMPARE(label->geometry(), QRect(20, 20, 200, 30));
}

void TestAutoResizer::tinyRootKeepsDesignTextInEveryBranch()
{
    QWidget root;
    root.resize(400, 300);
    QLabel* plain = MakeLabel(&root, QRect(0, 0, 100, 30), 12, "plain");
    QLabel* sheet = MakeLabel(&root, QRect(0, 40, 100, 30), 12, "sheet");
    sheet->setStyleSheet("QLabel{font: 12pt;}");
    auto* table = new QTableWidget(1, 1, &root);
    QFont f = table->font();
    f.setPointSize(12);
    table->setFont(f);
    table->setStyleSheet("QHeaderView::section{font: 12pt;}");
    AutoResizer resizer(&root, 400, 300);
    resizer.setAutoResizeFlag(15);
    resizer.addAutoResizeItem(table);
    resizer.doneAllResizeItem();

    root.resize(40, 30); // ratio 0.1: the geometry shrinks, the text does not
    resizer.doAutoResize();
    QCOMPARE(plain->geometry(), QRect(0, 0, 10, 3));
    QCOMPARE(plain->font().pointSizeF(), ScreenPt(12) - 1.0);
    QCOMPARE(sheet->styleSheet(), QString("QLabel{font: %1pt;}").arg(ScreenPt(12) - 1));
    QCOMPARE(table->styleSheet(), QString("QHeaderView::section{font: %1pt;}").arg(ScreenPt(12)));

    root.resize(0, 0);
    resizer.doAutoResize();
    QCOMPARE(plain->font().pointSizeF(), ScreenPt(12) - 1.0);
    QCOMPARE(plain->geometry(), QRect(0, 0, 0, 0));
}

void TestAutoResizer::tinyDesignFontGivesOnePointInEveryBranch()
{
    QWidget root;
    root.resize(400, 300);
    QLabel* plain = MakeLabel(&root, QRect(0, 0, 100, 30), 2, "plain");
    QLabel* sheet = MakeLabel(&root, QRect(0, 40, 100, 30), 2, "sheet");
    sheet->setStyleSheet("QLabel{font: 2pt;}");
    AutoResizer resizer(&root, 400, 300);
    resizer.setAutoResizeFlag(15);
    resizer.doneAllResizeItem();
    resizer.doAutoResize();
    if (ScreenPt(2) < 1 || ScreenPt(2) > 2) {
        QSKIP("a 2 pt font is not one or two points on this screen");
    }
    QCOMPARE(plain->font().pointSizeF(), 1.0);
    QCOMPARE(sheet->styleSheet(), QString("QLabel{font: 1pt;}"));
}

void TestAutoResizer::layoutPlacesItsWidgetsWhateverTheWay()
{
    QWidget root;
    root.resize(400, 300);
    auto* box = new QWidget(&root);
    box->setGeometry(0, 0, 400, 100);
    box->setMinimumSize(400, 100);
    auto* edit = new QTextEdit;
    QFont f = edit->font();
    f.setPointSize(12);
    edit->setFont(f);
    (new QVBoxLayout(box))->addWidget(edit);
    root.show();
    QVERIFY(QTest::qWaitForWindowExposed(&root));
    AutoResizer resizer(&root, 400, 300);
    resizer.setAutoResizeFlag(15);
    resizer.addAutoResizeItem(box);
    resizer.addAutoResizeItem(edit);
    resizer.doneAllResizeItem();

    // The last step leaves the box at its minimum, as it was, so its layout
    // does not run again.
    for (const QSize& size : {QSize(800, 300), QSize(200, 150), QSize(300, 150)}) {
        root.resize(size);
        resizer.doAutoResize();
        QCoreApplication::sendPostedEvents();
        QCOMPARE(edit->geometry(), box->layout()->contentsRect());
    }
    QCOMPARE(box->size(), QSize(400, 100));
    QCOMPARE(edit->font().pointSizeF(), ScreenPt(12) * 1.0 - 1.0); // its font is still scaled
}

void TestAutoResizer::ownersPlaceTheirTextFieldsAndDeletedWidgetsAreLeft()
{
    QWidget root;
    root.resize(400, 300);
    auto* combo = new QComboBox(&root);
    combo->setEditable(true);
    combo->setGeometry(10, 10, 200, 30);
    QLabel* gone = MakeLabel(&root, QRect(10, 60, 100, 30), 12, "gone");
    root.show();
    QVERIFY(QTest::qWaitForWindowExposed(&root));
    AutoResizer resizer(&root, 400, 300);
    resizer.setAutoResizeFlag(15);
    resizer.doneAllResizeItem();

    root.resize(800, 600);
    resizer.doAutoResize();
    QCOMPARE(combo->geometry(), QRect(20, 20, 400, 60));
    QVERIFY(combo->rect().contains(combo->lineEdit()->geometry()));

    // A field dropped by its combo box and a label deleted by its page are
    // no longer reached by a resize.
    combo->setEditable(false);
    delete gone;
    root.resize(300, 200);
    resizer.doAutoResize();
    QCOMPARE(combo->geometry(), QRect(7, 6, 150, 20));
}

void TestAutoResizer::pixelSizedFontIsNeverChanged()
{
    QWidget root;
    root.resize(400, 300);
    auto* label = new QLabel("px", &root);
    QFont f = label->font();
    f.setPixelSize(20);
    label->setFont(f);
    label->setGeometry(10, 10, 50, 20);
    AutoResizer resizer(&root, 400, 300);
    resizer.setAutoResizeFlag(15);
    resizer.doneAllResizeItem();
    root.resize(800, 600);
    resizer.doAutoResize();
    QCOMPARE(label->font().pixelSize(), 20);
    QCOMPARE(label->font().pointSize(), -1);
    QCOMPARE(label->geometry(), QRect(20, 20, 100, 40));
}

void TestAutoResizer::resizeBeforeRecordingMovesNothing()
{
    QWidget root;
    root.resize(400, 300);
    QLabel* label = MakeLabel(&root, QRect(10, 20, 100, 30), 12, "label");
    AutoResizer resizer(&root, 400, 300);
    resizer.setAutoResizeFlag(15);
    root.resize(800, 600);
    resizer.doAutoResize();
    QCOMPARE(resizer.getHorResizeRatio(), 2.0f);
    QCOMPARE(label->geometry(), QRect(10, 20, 100, 30));
    QCOMPARE(label->font().pointSize(), 12);
}

void TestAutoResizer::noResizeItemWinsOverResizeItem()
{
    QWidget root;
    root.resize(400, 300);
    QLabel* label = MakeLabel(&root, QRect(10, 20, 100, 30), 12, "label");
    auto* box = new QWidget(&root);
    box->setGeometry(50, 50, 100, 100);
    AutoResizer resizer(&root, 400, 300);
    resizer.setAutoResizeFlag(15);
    resizer.addAutoResizeItem(box);
    resizer.addAutoResizeItem(label);
    resizer.addNoAutoResizeItem(label);
    resizer.doneAllResizeItem();
    for (int i = 0; i < 2; ++i) {
        root.resize(i == 0 ? 800 : 200, i == 0 ? 600 : 150);
        resizer.doAutoResize();
        QCOMPARE(label->geometry(), QRect(10, 20, 100, 30));
        QCOMPARE(label->font().pointSize(), 12);
    }
    QCOMPARE(box->geometry(), QRect(25, 25, 50, 50));
}

void TestAutoResizer::repeatedResizesDoNotCompound()
{
    QWidget root;
    root.resize(400, 300);
    QLabel* label = MakeLabel(&root, QRect(10, 20, 100, 30), 12, "label");
    AutoResizer resizer(&root, 400, 300);
    resizer.setAutoResizeFlag(15);
    resizer.doneAllResizeItem();
    for (int i = 0; i < 3; ++i) {
        root.resize(800, 600);
        resizer.doAutoResize();
    }
    QCOMPARE(label->geometry(), QRect(20, 40, 200, 60));
    QCOMPARE(label->font().pointSizeF(), ScreenPt(12) * 2.0 - 1.0);
}

void TestAutoResizer::customLayoutContainerScalesOnlyFontsOfDirectChildren()
{
    QWidget root;
    root.resize(400, 300);
    auto* container = new QWidget(&root);
    container->setObjectName("widget_customLayout");
    container->setGeometry(10, 10, 200, 100);
    auto* box = new QHBoxLayout(container);
    auto* direct = new QLabel("direct");
    QFont f = direct->font();
    f.setPointSize(12);
    direct->setFont(f);
    auto* inner = new QWidget;
    box->addWidget(direct);
    box->addWidget(inner);
    // Deeper than a direct child: recorded by kind and moved like any other.
    QLabel* deep = MakeLabel(inner, QRect(4, 6, 40, 20), 12, "deep");

    // A container without the marker in its name is not treated specially.
    auto* other = new QWidget(&root);
    other->setObjectName("widgetLayout");
    other->setGeometry(250, 10, 100, 100);
    auto* otherBox = new QVBoxLayout(other);
    auto* otherLabel = new QLabel("other");
    otherBox->addWidget(otherLabel);

    AutoResizer resizer(&root, 400, 300);
    resizer.setAutoResizeFlag(15);
    resizer.doneAllResizeItem();

    const QRect directBefore = direct->geometry();
    root.resize(800, 600);
    resizer.doAutoResize();
    QCOMPARE(container->geometry(), QRect(20, 20, 400, 200));
    QCOMPARE(direct->font().pointSizeF(), ScreenPt(12) * 2.0 - 1.0);
    QCOMPARE(direct->geometry(), directBefore); // left to the layout
    QCOMPARE(deep->geometry(), QRect(8, 12, 80, 40));
    QCOMPARE(deep->font().pointSizeF(), ScreenPt(12) * 2.0 - 1.0);
    QCOMPARE(other->geometry(), QRect(250, 10, 100, 100)); // not recorded: not a kind, not named
}

void TestAutoResizer::heightLimitsScaleWithTheFonts()
{
    QWidget root;
    root.resize(400, 300);
    auto* button = new QPushButton("button", &root);
    button->setGeometry(10, 20, 100, 30);
    button->setMaximumHeight(30);
    auto* container = new QWidget(&root);
    container->setObjectName("widget_customLayout");
    container->setGeometry(10, 100, 200, 100);
    auto* combo = new QComboBox;
    combo->setMaximumHeight(30);
    (new QHBoxLayout(container))->addWidget(combo);
    QLabel* kept = MakeLabel(&root, QRect(10, 250, 100, 30), 12, "kept");
    kept->setMaximumHeight(30);
    AutoResizer resizer(&root, 400, 300);
    resizer.setAutoResizeFlag(15);
    resizer.addNoAutoResizeItem(kept);
    resizer.doneAllResizeItem();

    root.resize(800, 600);
    resizer.doAutoResize();
    QCOMPARE(button->geometry(), QRect(20, 40, 200, 60));
    QCOMPARE(combo->maximumHeight(), 60);
    QCOMPARE(kept->maximumHeight(), 30);
    // The limit follows the text, which grows by the smaller ratio.
    root.resize(400, 900);
    resizer.doAutoResize();
    QCOMPARE(button->geometry(), QRect(10, 60, 100, 30));
    QCOMPARE(combo->maximumHeight(), 30);
    // Nor does it go below the design limit: the text keeps its design size.
    root.resize(200, 150);
    resizer.doAutoResize();
    QCOMPARE(button->geometry(), QRect(5, 10, 50, 15));
    QCOMPARE(combo->maximumHeight(), 30);
}

QTEST_MAIN(TestAutoResizer)
#include "tst_auto_resizer.moc"
