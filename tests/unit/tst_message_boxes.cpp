#include <QtTest>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QBoxLayout>

#include "commom/StartUp.h"
#include "controls/CMessageBox.h"
#include "controls/CToastBox.h"

namespace {

// What the running modal box showed, read before the box is answered.
struct Seen
{
    QString text;
    QString left;
    QString right;
    bool leftVisible = false;
    bool rightVisible = false;
    bool frameless = false;
    bool translucent = false;
    bool wordWrap = false;
};

// Answers the next modal box with the given action once it runs.
void AnswerNextBox(Seen* seen, const std::function<void(CMessageBox*)>& answer)
{
    QTimer::singleShot(0, [seen, answer]() {
        auto* box = qobject_cast<CMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            QFAIL("no modal message box");
        }
        seen->text = box->findChild<QLabel*>("label")->text();
        seen->left = box->findChild<QPushButton*>("btn_reject")->text();
        seen->right = box->findChild<QPushButton*>("btn_accept")->text();
        seen->leftVisible = box->findChild<QPushButton*>("btn_reject")->isVisible();
        seen->rightVisible = box->findChild<QPushButton*>("btn_accept")->isVisible();
        seen->frameless = box->windowFlags() & Qt::FramelessWindowHint;
        seen->translucent = box->testAttribute(Qt::WA_TranslucentBackground);
        seen->wordWrap = box->findChild<QLabel*>("label")->wordWrap();
        answer(box);
    });
}

QString IconOf(CToastBox* box)
{
    return box->findChild<QLabel*>("labelIcon")->styleSheet();
}

} // namespace

class TestMessageBoxes : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void acceptAnswersTrue();
    void rejectAndEscapeAnswerFalse();
    void onlyRightButtonWhenLeftHidden();
    void givenButtonTextsReplaceDefaults();
    void messageBoxForm();
    void toastForm();
    void toastWidthFollowsText();
    void toastIconByType();
    void toastGoesAfterItsTime();
    void toastCloseButtonDeletesIt();
};

void TestMessageBoxes::initTestCase()
{
    InitCorvantaResources();
}

void TestMessageBoxes::acceptAnswersTrue()
{
    Seen seen;
    AnswerNextBox(&seen, [](CMessageBox* box) { QTest::mouseClick(box->findChild<QPushButton*>("btn_accept"), Qt::LeftButton); });
    QVERIFY(CMessageBox::ShowInfomation(nullptr, "是否保存参数"));
    QCOMPARE(seen.text, QString("是否保存参数"));
    QCOMPARE(seen.left, QString("取消"));
    QCOMPARE(seen.right, QString("确定"));
    QVERIFY(seen.leftVisible);
    QVERIFY(seen.rightVisible);
    QVERIFY(seen.frameless);
    QVERIFY(seen.translucent);
    QVERIFY(seen.wordWrap);
    QCOMPARE(QApplication::topLevelWidgets().size(), 0); // destroyed before returning
}

void TestMessageBoxes::rejectAndEscapeAnswerFalse()
{
    Seen seen;
    AnswerNextBox(&seen, [](CMessageBox* box) { QTest::mouseClick(box->findChild<QPushButton*>("btn_reject"), Qt::LeftButton); });
    QVERIFY(!CMessageBox::ShowInfomation(nullptr, "a"));

    AnswerNextBox(&seen, [](CMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
    QVERIFY(!CMessageBox::ShowInfomation(nullptr, "b", false));
    QCOMPARE(seen.text, QString("b"));
}

void TestMessageBoxes::onlyRightButtonWhenLeftHidden()
{
    Seen seen;
    AnswerNextBox(&seen, [](CMessageBox* box) { box->findChild<QPushButton*>("btn_accept")->click(); });
    QVERIFY(CMessageBox::ShowInfomation(nullptr, "完成", false));
    QVERIFY(!seen.leftVisible);
    QVERIFY(seen.rightVisible);
    QCOMPARE(seen.right, QString("确定"));
}

void TestMessageBoxes::givenButtonTextsReplaceDefaults()
{
    Seen seen;
    AnswerNextBox(&seen, [](CMessageBox* box) { box->findChild<QPushButton*>("btn_reject")->click(); });
    QVERIFY(!CMessageBox::ShowInfomation(nullptr, "x", true, "否", "是"));
    QCOMPARE(seen.left, QString("否"));
    QCOMPARE(seen.right, QString("是"));

    AnswerNextBox(&seen, [](CMessageBox* box) { box->findChild<QPushButton*>("btn_reject")->click(); });
    CMessageBox::ShowInfomation(nullptr, "x", true, "", "重试");
    QCOMPARE(seen.left, QString("取消"));
    QCOMPARE(seen.right, QString("重试"));

    CMessageBox box(nullptr);
    box.SetLabelText("t");
    box.SetLeftBtnText("l");
    box.SetRightBtnText("r");
    QCOMPARE(box.findChild<QLabel*>("label")->text(), QString("t"));
    QCOMPARE(box.findChild<QPushButton*>("btn_reject")->text(), QString("l"));
    QCOMPARE(box.findChild<QPushButton*>("btn_accept")->text(), QString("r"));
    QCOMPARE(box.maximumWidth(), 395);
}

void TestMessageBoxes::messageBoxForm()
{
    CMessageBox box(nullptr);
    QCOMPARE(box.size(), QSize(392, 170));
    QCOMPARE(box.maximumWidth(), 395);
    QCOMPARE(box.windowTitle(), QString("Dialog"));
    QVERIFY(box.windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(box.testAttribute(Qt::WA_TranslucentBackground));

    auto* outer = box.findChild<QVBoxLayout*>("verticalLayout");
    QCOMPARE(outer->spacing(), 0);
    QCOMPARE(outer->contentsMargins(), QMargins(0, 0, 0, 0));
    QCOMPARE(outer->itemAt(0)->widget()->objectName(), QString("contentWidget"));
    auto* inner = box.findChild<QVBoxLayout*>("verticalLayout_2");
    QCOMPARE(inner->contentsMargins().bottom(), 16);

    auto* label = box.findChild<QLabel*>("label");
    QVERIFY(label->text().isEmpty());
    QVERIFY(label->wordWrap());
    QCOMPARE(label->alignment() & (Qt::AlignHorizontal_Mask | Qt::AlignVertical_Mask), Qt::AlignCenter);

    QCOMPARE(box.findChild<QWidget*>("widget")->maximumHeight(), 60);
    auto* row = box.findChild<QHBoxLayout*>("horizontalLayout");
    QCOMPARE(row->spacing(), 9);
    QCOMPARE(row->contentsMargins().left(), 50);
    QCOMPARE(row->contentsMargins().right(), 50);
    QCOMPARE(row->contentsMargins().bottom(), 9);
    // Reject on the left, accept on the right.
    QCOMPARE(row->itemAt(0)->widget()->objectName(), QString("btn_reject"));
    QCOMPARE(row->itemAt(1)->widget()->objectName(), QString("btn_accept"));
    for (const char* name : {"btn_reject", "btn_accept"}) {
        auto* button = box.findChild<QPushButton*>(name);
        QCOMPARE(button->minimumSize(), QSize(128, 40));
        QCOMPARE(button->maximumSize(), QSize(128, 40));
        QCOMPARE(button->font().family(), QString("微软雅黑"));
        QCOMPARE(button->font().pointSize(), 12);
        QCOMPARE(button->cursor().shape(), Qt::PointingHandCursor);
    }
}

void TestMessageBoxes::toastForm()
{
    CToastBox box(nullptr);
    QCOMPARE(box.size(), QSize(265, 60));
    QCOMPARE(box.minimumHeight(), 60);
    QCOMPARE(box.maximumSize(), QSize(395, 60));
    QCOMPARE(box.windowTitle(), QString("Dialog"));
    QVERIFY(box.windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(box.testAttribute(Qt::WA_TranslucentBackground));
    QVERIFY(!box.GetTimer()->isActive());

    auto* outer = box.findChild<QHBoxLayout*>("horizontalLayout");
    QCOMPARE(outer->spacing(), 0);
    QCOMPARE(outer->contentsMargins(), QMargins(0, 0, 0, 0));
    auto* inner = box.findChild<QHBoxLayout*>("horizontalLayout_2");
    QCOMPARE(inner->spacing(), 16);
    QCOMPARE(inner->contentsMargins(), QMargins(10, 2, 10, 2));
    QStringList order;
    for (int i = 0; i < inner->count(); ++i) {
        order << inner->itemAt(i)->widget()->objectName();
    }
    QCOMPARE(order, (QStringList{"labelIcon", "labelText", "btn_close"}));
    QCOMPARE(box.findChild<QLabel*>("labelIcon")->minimumSize(), QSize(30, 30));
    QCOMPARE(box.findChild<QLabel*>("labelIcon")->maximumSize(), QSize(30, 30));
    QCOMPARE(box.findChild<QLabel*>("labelText")->text(), QString("text"));
    QCOMPARE(box.findChild<QPushButton*>("btn_close")->minimumSize(), QSize(20, 20));
    QCOMPARE(box.findChild<QPushButton*>("btn_close")->maximumSize(), QSize(20, 20));
    QVERIFY(box.findChild<QPushButton*>("btn_close")->text().isEmpty());

    box.SetIcon("/x/y.png");
    QCOMPARE(box.findChild<QLabel*>("labelIcon")->styleSheet(), QString("border-image:url(/x/y.png);"));
    box.SetLabelText("已保存");
    QCOMPARE(box.findChild<QLabel*>("labelText")->text(), QString("已保存"));
}

void TestMessageBoxes::toastWidthFollowsText()
{
    QFont font;
    font.setPixelSize(14);
    const QString shortText = "参数已保存到设备闪存中请稍候";
    QPointer<CToastBox> small = CToastBox::ShowToast(nullptr, shortText, 0, 10000);
    // The text's width plus 40, though never below what the layout needs.
    const int wanted = QFontMetrics(font).horizontalAdvance(shortText) + 40;
    QCOMPARE(small->width(), qMax(small->sizeHint().width(), wanted));
    QVERIFY(small->width() >= wanted);
    QVERIFY(small->width() < 395);
    // The whole text fits its label.
    auto* label = small->findChild<QLabel*>("labelText");
    QTRY_VERIFY(label->width() >= label->fontMetrics().horizontalAdvance(shortText));
    QCOMPARE(small->height(), 60);
    QCOMPARE(small->findChild<QLabel*>("labelText")->text(), shortText);
    QVERIFY(small->isVisible());
    QVERIFY(!small->isModal());
    QVERIFY(small->windowFlags() & Qt::FramelessWindowHint);

    const QString longText(200, QChar(0x6587));
    QVERIFY(QFontMetrics(font).horizontalAdvance(longText) > 355);
    QPointer<CToastBox> wide = CToastBox::ShowToast(nullptr, longText, 0, 10000);
    QCOMPARE(wide->width(), 395);
    delete small.data();
    delete wide.data();
}

void TestMessageBoxes::toastIconByType()
{
    QPointer<CToastBox> info = CToastBox::ShowToast(nullptr, "i", 0, 10000);
    QPointer<CToastBox> warn = CToastBox::ShowToast(nullptr, "w", 1, 10000);
    QPointer<CToastBox> error = CToastBox::ShowToast(nullptr, "e", 7, 10000);
    QPointer<CToastBox> negative = CToastBox::ShowToast(nullptr, "e", -1, 10000);
    QPointer<CToastBox> own = CToastBox::ShowToast(nullptr, "o", 0, 10000, ":/images/resources/images/toolBox/warn.png");
    QCOMPARE(IconOf(info), QString("border-image:url(:/images/resources/images/toolBox/info.png);"));
    QCOMPARE(IconOf(warn), QString("border-image:url(:/images/resources/images/toolBox/warn.png);"));
    QCOMPARE(IconOf(error), QString("border-image:url(:/images/resources/images/toolBox/error.png);"));
    QCOMPARE(IconOf(negative), QString("border-image:url(:/images/resources/images/toolBox/error.png);"));
    QCOMPARE(IconOf(own), QString("border-image:url(:/images/resources/images/toolBox/warn.png);"));
    QVERIFY(QFile::exists(":/images/resources/images/toolBox/error.png"));
    for (CToastBox* box : {info.data(), warn.data(), error.data(), negative.data(), own.data()}) {
        delete box;
    }
}

void TestMessageBoxes::toastGoesAfterItsTime()
{
    QPointer<CToastBox> toast = CToastBox::ShowToast(nullptr, "稍后消失", 0, 150);
    QVERIFY(toast->GetTimer()->isActive());
    QCOMPARE(toast->GetTimer()->interval(), 150);
    QVERIFY(toast->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(toast.isNull(), 3000);
}

void TestMessageBoxes::toastCloseButtonDeletesIt()
{
    QPointer<CToastBox> toast = CToastBox::ShowToast(nullptr, "x", 0, 60000);
    QTest::mouseClick(toast->findChild<QPushButton*>("btn_close"), Qt::LeftButton);
    QVERIFY(!toast->isVisible());
    QTRY_VERIFY(toast.isNull());
}

QTEST_MAIN(TestMessageBoxes)
#include "tst_message_boxes.moc"
