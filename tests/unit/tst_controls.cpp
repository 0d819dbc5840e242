#include <QtTest>

#include <QAbstractButton>
#include <QApplication>
#include <QBoxLayout>
#include <QButtonGroup>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPropertyAnimation>
#include <QPushButton>

#include "controls/CloseAbleButton.h"
#include "controls/CustomTabbar.h"
#include "controls/EditAbleCustomTabbar.h"
#include "controls/LockerButton.h"

namespace {

QList<QPushButton*> AddButtons(CustomTabbar& bar, int count, int w = 100, int h = 30)
{
    QList<QPushButton*> buttons;
    for (int i = 0; i < count; ++i) {
        auto* b = new QPushButton(QString("页%1").arg(i), &bar);
        b->setFixedSize(w, h);
        bar.AddButton(b, i);
        buttons.append(b);
    }
    return buttons;
}

void FinishAnimation(CustomTabbar& bar)
{
    QTRY_COMPARE_WITH_TIMEOUT(bar.GetAnimation()->state(), QAbstractAnimation::Stopped, 5000);
}

QAbstractButton* Checked(CustomTabbar& bar)
{
    return bar.GetButtonGroup()->checkedButton();
}

} // namespace

class TestControls : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void defaults();
    void positionsGiveMarginsForTheLine();
    void changingPositionDeletesOldButtons();
    void clickingCurrentButtonEmitsNothing();
    void clickingAnotherButtonSlidesTheLine();
    void codeSetCurrentIndexEmitsNothing();
    void removingBeforeCurrentKeepsSamePageHighlighted();
    void removingCurrentSelectsPrevious();
    void removingAfterCurrentOnlyRenumbers();
    void removingFirstWhileCurrentKeepsIndexZero();
    void removingLastButtonAndStrangers();
    void indicatorIsPaintedUnderCurrentButton();
    void columnIndicatorUsesButtonHeight();
    void closeButtonOnlyInEditMode();
    void editableBarRemovesClosedButton();
    void lockerButtonShowsImageAndText();
    void grabTabBarToPng();
};

void TestControls::initTestCase()
{
    Q_INIT_RESOURCE(resources);
    QFile skin(":/skin/resources/skin/skin.qss");
    QVERIFY(skin.open(QIODevice::ReadOnly));
    qApp->setStyleSheet(QString::fromUtf8(skin.readAll()));
}

void TestControls::defaults()
{
    CustomTabbar bar;
    QCOMPARE(bar.GetButtonPosition(), 1);
    QCOMPARE(bar.GetCurrentIndex(), 0);
    QCOMPARE(bar.GetLineHeight(), 2);
    QCOMPARE(bar.GetButtonColor(), QColor(21, 156, 119));
    QCOMPARE(bar.GetAnimation()->duration(), 200);
    QCOMPARE(bar.ButtonCounts(), 0);
    QCOMPARE(bar.sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
    QCOMPARE(bar.sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
}

void TestControls::positionsGiveMarginsForTheLine()
{
    CustomTabbar bar;
    bar.SetLineHeight(5);
    const QMargins expected[] = {QMargins(0, 5, 0, 0), QMargins(0, 0, 0, 5),
                                 QMargins(5, 0, 0, 0), QMargins(0, 0, 5, 0)};
    for (int p = 0; p < 4; ++p) {
        bar.SetButtonPosition(p);
        auto* box = qobject_cast<QBoxLayout*>(bar.layout());
        QVERIFY(box != nullptr);
        QCOMPARE(box->contentsMargins(), expected[p]);
        QCOMPARE(box->spacing(), 0);
        QCOMPARE(box->direction() == QBoxLayout::LeftToRight, p < 2);
    }
    bar.SetButtonPosition(7);
    QVERIFY(bar.layout() == nullptr);
    QCOMPARE(bar.GetButtonPosition(), 7);
}

void TestControls::changingPositionDeletesOldButtons()
{
    CustomTabbar bar;
    QList<QPushButton*> buttons = AddButtons(bar, 2);
    QPointer<QPushButton> first = buttons.at(0);
    bar.SetButtonPosition(3);
    QVERIFY(first.isNull());
    QCOMPARE(bar.ButtonCounts(), 0);
}

void TestControls::clickingCurrentButtonEmitsNothing()
{
    CustomTabbar bar;
    QList<QPushButton*> buttons = AddButtons(bar, 3);
    QSignalSpy clicks(&bar, &CustomTabbar::SignalClickBtn);
    buttons.at(0)->click();
    QCOMPARE(clicks.count(), 0);
    QCOMPARE(bar.GetAnimation()->state(), QAbstractAnimation::Stopped);
    QCOMPARE(bar.GetCurrentIndex(), 0);
}

void TestControls::clickingAnotherButtonSlidesTheLine()
{
    CustomTabbar bar;
    QList<QPushButton*> buttons = AddButtons(bar, 3);
    QSignalSpy clicks(&bar, &CustomTabbar::SignalClickBtn);
    buttons.at(2)->click();
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(clicks.at(0).at(0).toInt(), 2);
    QCOMPARE(bar.GetCurrentIndex(), 2);
    QCOMPARE(bar.GetPreviousIndex(), 0);
    QVERIFY(buttons.at(2)->isChecked());
    QCOMPARE(bar.GetAnimation()->state(), QAbstractAnimation::Running);
    QCOMPARE(bar.GetAnimation()->startValue().toInt(), 0);
    QCOMPARE(bar.GetAnimation()->endValue().toInt(), 200);
    FinishAnimation(bar);
    QCOMPARE(bar.GetIndicatorOffset(), 200);

    buttons.at(1)->click();
    QCOMPARE(bar.GetAnimation()->startValue().toInt(), 200);
    QCOMPARE(bar.GetAnimation()->endValue().toInt(), 100);
    FinishAnimation(bar);
    QCOMPARE(bar.GetIndicatorOffset(), 100);
    QCOMPARE(clicks.count(), 2);
}

void TestControls::codeSetCurrentIndexEmitsNothing()
{
    CustomTabbar bar;
    QList<QPushButton*> buttons = AddButtons(bar, 3);
    QSignalSpy clicks(&bar, &CustomTabbar::SignalClickBtn);
    bar.SetCurrentIndex(1);
    QCOMPARE(clicks.count(), 0);
    QCOMPARE(Checked(bar), buttons.at(1));
    QCOMPARE(bar.GetCurrentIndex(), 1);
}

void TestControls::removingBeforeCurrentKeepsSamePageHighlighted()
{
    CustomTabbar bar;
    QList<QPushButton*> buttons = AddButtons(bar, 3);
    bar.SetCurrentIndex(2);
    QSignalSpy removed(&bar, &CustomTabbar::SignalRemoveOne);
    QSignalSpy clicks(&bar, &CustomTabbar::SignalClickBtn);

    bar.RemoveBtn(buttons.at(0));
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.at(0).at(0).toInt(), 0);
    QCOMPARE(clicks.count(), 0);
    QCOMPARE(bar.ButtonCounts(), 2);
    QCOMPARE(bar.GetButtonGroup()->id(buttons.at(1)), 0);
    QCOMPARE(bar.GetButtonGroup()->id(buttons.at(2)), 1);
    // The page that was current is still the highlighted one.
    QCOMPARE(bar.GetCurrentIndex(), 1);
    QCOMPARE(Checked(bar), buttons.at(2));
    QVERIFY(!buttons.at(1)->isChecked());
    FinishAnimation(bar);
    QCOMPARE(bar.GetIndicatorOffset(), 100);
    delete buttons.at(0);
}

void TestControls::removingCurrentSelectsPrevious()
{
    CustomTabbar bar;
    QList<QPushButton*> buttons = AddButtons(bar, 3);
    bar.SetCurrentIndex(2);
    bar.RemoveBtn(buttons.at(2));
    QCOMPARE(bar.GetCurrentIndex(), 1);
    QCOMPARE(Checked(bar), buttons.at(1));
    QCOMPARE(bar.ButtonCounts(), 2);
    delete buttons.at(2);
}

void TestControls::removingAfterCurrentOnlyRenumbers()
{
    CustomTabbar bar;
    QList<QPushButton*> buttons = AddButtons(bar, 4);
    bar.SetCurrentIndex(1);
    FinishAnimation(bar);
    bar.RemoveBtn(buttons.at(2));
    QCOMPARE(bar.GetCurrentIndex(), 1);
    QCOMPARE(Checked(bar), buttons.at(1));
    QCOMPARE(bar.GetButtonGroup()->id(buttons.at(3)), 2);
    QCOMPARE(bar.GetAnimation()->state(), QAbstractAnimation::Stopped);
    delete buttons.at(2);
}

void TestControls::removingFirstWhileCurrentKeepsIndexZero()
{
    CustomTabbar bar;
    QList<QPushButton*> buttons = AddButtons(bar, 3);
    bar.SetCurrentIndex(0);
    QSignalSpy removed(&bar, &CustomTabbar::SignalRemoveOne);
    bar.RemoveBtn(buttons.at(0));
    QCOMPARE(removed.count(), 1);
    QCOMPARE(bar.GetCurrentIndex(), 0);
    QCOMPARE(Checked(bar), buttons.at(1));
    QCOMPARE(bar.GetButtonGroup()->id(buttons.at(1)), 0);
    delete buttons.at(0);
}

void TestControls::removingLastButtonAndStrangers()
{
    CustomTabbar bar;
    QList<QPushButton*> buttons = AddButtons(bar, 1);
    QSignalSpy removed(&bar, &CustomTabbar::SignalRemoveOne);

    QPushButton stranger;
    bar.RemoveBtn(&stranger);
    bar.RemoveBtn(nullptr);
    QCOMPARE(removed.count(), 0);
    QCOMPARE(bar.ButtonCounts(), 1);

    bar.RemoveBtn(buttons.at(0));
    QCOMPARE(removed.count(), 1);
    QCOMPARE(bar.ButtonCounts(), 0);
    QCOMPARE(bar.GetCurrentIndex(), 0);
    QVERIFY(Checked(bar) == nullptr);
    delete buttons.at(0);
}

void TestControls::indicatorIsPaintedUnderCurrentButton()
{
    CustomTabbar bar;
    QList<QPushButton*> buttons = AddButtons(bar, 3);
    bar.show();
    bar.SetCurrentIndex(1);
    FinishAnimation(bar);
    const QImage img = bar.grab().toImage();
    const int y = img.height() - 1;
    QCOMPARE(QColor(img.pixel(150, y)), QColor(21, 156, 119));
    QVERIFY(QColor(img.pixel(50, y)) != QColor(21, 156, 119));
    QVERIFY(QColor(img.pixel(250, y)) != QColor(21, 156, 119));
}

void TestControls::columnIndicatorUsesButtonHeight()
{
    CustomTabbar bar;
    bar.SetLineHeight(3);
    bar.SetButtonColor(QColor("#4169E1"));
    bar.SetButtonPosition(3);
    QList<QPushButton*> buttons = AddButtons(bar, 3, 120, 30);
    bar.show();
    bar.SetCurrentIndex(2);
    QCOMPARE(bar.GetAnimation()->endValue().toInt(), 60);
    FinishAnimation(bar);
    const QImage img = bar.grab().toImage();
    const int x = img.width() - 1;
    QCOMPARE(QColor(img.pixel(x, 75)), QColor("#4169E1"));
    QVERIFY(QColor(img.pixel(x, 15)) != QColor("#4169E1"));
}

void TestControls::closeButtonOnlyInEditMode()
{
    QWidget host;
    auto* button = new CloseAbleButton(&host);
    button->setGeometry(0, 0, 100, 30);
    host.show();
    QPushButton* close = button->GetCloseButton();
    QCOMPARE(close->objectName(), QString("closeBtn"));
    QCOMPARE(close->size(), QSize(16, 16));
    QVERIFY(button->IsCloseAble());
    QVERIFY(!button->IsEdit());
    QVERIFY(!close->isVisible());

    button->SetIsEdit(true);
    QVERIFY(close->isVisible());
    QCOMPARE(close->pos(), QPoint(80, 7));
    button->resize(140, 40);
    QCOMPARE(close->pos(), QPoint(120, 12));

    button->SetCloseAble(false);
    QVERIFY(close->isVisible()); // takes effect at the next resize or edit change
    button->resize(150, 40);
    QVERIFY(!close->isVisible());
    button->SetCloseAble(true);
    button->SetIsEdit(true);
    QVERIFY(close->isVisible());
    button->SetIsEdit(false);
    QVERIFY(!close->isVisible());

    QSignalSpy closed(button, &CloseAbleButton::SignalClose);
    close->click();
    QCOMPARE(closed.count(), 1);
}

void TestControls::editableBarRemovesClosedButton()
{
    EditAbleCustomTabbar bar;
    QList<QPointer<CloseAbleButton>> buttons;
    for (int i = 0; i < 3; ++i) {
        auto* b = new CloseAbleButton(&bar);
        b->setFixedSize(100, 30);
        b->setText(QString::number(i));
        bar.AppendButton(b);
        buttons.append(b);
    }
    bar.show();
    bar.SetEdit(true);
    bar.SetCurrentIndex(2);
    QSignalSpy removed(&bar, &CustomTabbar::SignalRemoveOne);

    QTest::mouseClick(buttons.at(0)->GetCloseButton(), Qt::LeftButton);
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.at(0).at(0).toInt(), 0);
    QCOMPARE(bar.Buttons().size(), 2);
    QCOMPARE(bar.ButtonCounts(), 2);
    QCOMPARE(bar.GetCurrentIndex(), 1);
    QCOMPARE(Checked(bar), buttons.at(2).data());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(buttons.at(0).isNull());

    // A new button takes the next free id after the renumbering.
    auto* extra = new CloseAbleButton(&bar);
    extra->setFixedSize(100, 30);
    bar.AppendButton(extra);
    QCOMPARE(bar.GetButtonGroup()->id(extra), 2);

    // Not editing: close buttons stay hidden.
    bar.SetEdit(false);
    for (CloseAbleButton* b : bar.Buttons()) {
        QVERIFY(!b->GetCloseButton()->isVisible());
    }
}

void TestControls::lockerButtonShowsImageAndText()
{
    LockerButton button;
    QPixmap big(100, 50);
    big.fill(Qt::red);
    button.SetImageLabel(big);
    button.SetTextLabel("设置");
    button.resize(80, 24);
    button.show();
    QCoreApplication::processEvents();
    QLabel* image = button.GetImageHandle();
    QLabel* text = button.GetTextHandle();
    QCOMPARE(image->size(), QSize(12, 12));
    QVERIFY(image->hasScaledContents());
    QCOMPARE(text->text(), QString("设置"));
    QCOMPARE(button.text(), QString());
    QCOMPARE(image->styleSheet(), QString("QLabel{background-color:transparent;}"));
    QCOMPARE(text->styleSheet(), QString("QLabel{background-color:transparent;}"));
    auto* box = qobject_cast<QHBoxLayout*>(button.layout());
    QVERIFY(box != nullptr);
    QCOMPARE(box->indexOf(image), 0);
    QCOMPARE(box->indexOf(text), 1);
    QCOMPARE(box->spacing(), 0);
    QCOMPARE(box->contentsMargins(), QMargins(0, 0, 0, 0));
    // The pixmap is shown scaled into the 12 x 12 label.
    const QImage img = image->grab().toImage();
    QCOMPARE(img.size(), QSize(12, 12));
    QCOMPARE(QColor(img.pixel(6, 6)), QColor(Qt::red));
}

void TestControls::grabTabBarToPng()
{
    CustomTabbar bar;
    AddButtons(bar, 3);
    bar.show();
    bar.SetCurrentIndex(1);
    FinishAnimation(bar);
    const QPixmap shot = bar.grab();
    QVERIFY(!shot.isNull());
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath("tabbar.png");
    QVERIFY(shot.save(path, "PNG"));
    // Checked button is drawn in the stronger tint of the skin.
    const QImage img = shot.toImage();
    QVERIFY(QColor(img.pixel(150, 10)) != QColor(img.pixel(50, 10)));
}

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
