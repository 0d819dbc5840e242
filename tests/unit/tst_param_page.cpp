#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "commom/DialogSeam.h"
#include "commom/Global.h"
#include "manager/NotifyMsgManager.h"
#include "manager/RecvDataHandleManager.h"
#include "manager/SendDataHandleManager.h"
#include "widgets/singleTools/parameterConfigPage/CoordParamsSet.h"
#include "widgets/singleTools/parameterConfigPage/ImuParameterConfigWidget.h"
#include "widgets/singleTools/parameterConfigPage/ParamCsv.h"
#include "widgets/singleTools/parameterConfigPage/SetPromptDialog.h"
#include "workerThread/MessageIds.h"
#include "workerThread/PayloadTypes.h"

namespace {

qint64 g_fakeNow = 100000;
qint64 FakeClock() { return g_fakeNow; }

struct Sent
{
    int id;
    QVariant var1;
    QVariant var2;
};

QStringList Items(QComboBox* box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i) {
        items << box->itemText(i);
    }
    return items;
}

} // namespace

class TestParamPage : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ImuParameterConfigWidget> m_page;
    QList<Sent> m_sent;
    QMetaObject::Connection m_sendConnection;

    template <typename T>
    T* Child(const char* name) { return m_page->findChild<T*>(name); }
    QComboBox* Box(const char* name) { return Child<QComboBox>(name); }

    void Answer(int id, const QVariant& v1, const QVariant& v2 = QVariant())
    {
        RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(id, v1, v2);
        QCoreApplication::processEvents();
    }

    void AnswerParams(const ImuParamData& data) { Answer(PAGE_MSG_PARAM_DATA, QVariant::fromValue(data)); }

    static ImuParamData GoodData()
    {
        ImuParamData d{};
        d.BAUD_RATE = 115200;
        d.auto_gyro_bias_delete = 10;
        d.IMU_ODR = 100;
        d.STREAM_MODE1 = 1;
        d.LP_CONFIG_REG = 0x3A;
        d.imu_orientation = 118;
        d.INSTALL_ERR_ALPHA = 1.25f;
        return d;
    }

    QStringList Warnings()
    {
        QStringList texts;
        for (const DialogSeam::Request& r : DialogSeam::Requests()) {
            if (r.kind == DialogSeam::Warning) {
                texts << (r.title == QString("警告") ? r.text : QString("wrong title: ") + r.title);
            }
        }
        return texts;
    }

    static void Rewrite(const QString& path, const QByteArray& bytes)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(f.write(bytes), qint64(bytes.size()));
    }

    // A write click at a fresh moment, so the click filter lets it through.
    void ClickWrite()
    {
        g_fakeNow += 1000;
        DialogSeam::ClearRequests();
        m_sent.clear();
        QMetaObject::invokeMethod(m_page.get(), "on_button_write_clicked", Qt::DirectConnection);
    }

private slots:
    void initTestCase()
    {
        DialogSeam::SetScripted(true);
        ImuParameterConfigWidget::SetClockForTest(&FakeClock);
        m_sendConnection = connect(SendDataHandleManager::GetInstance(), &SendDataHandleManager::SignalSendMessageToIMU,
                                   this, [this](int id, QVariant v1, QVariant v2) { m_sent.append({id, v1, v2}); });
    }

    void init()
    {
        g_current_action_name = QString("参数设置");
        g_communicate_with_serial_flag = true;
        ImuParameterConfigWidget::ResetClickFilterForTest();
        m_page.reset(new ImuParameterConfigWidget(nullptr));
        DialogSeam::ClearRequests();
        m_sent.clear();
    }

    void cleanup() { m_page.reset(); }

    void builtControls()
    {
        QCOMPARE(m_page->size(), QSize(898, 446));
        for (QComboBox* box : m_page->findChildren<QComboBox*>()) {
            QVERIFY2(box->maximumHeight() <= 30, qPrintable(box->objectName()));
        }
        QCOMPARE(Child<QPushButton>("button_read")->text(), QString("读取参数"));
        QCOMPARE(Child<QPushButton>("button_write")->text(), QString("设置参数"));
        QCOMPARE(Child<QPushButton>("btn_export_param")->text(), QString("导出参数"));
        QCOMPARE(Items(Box("comboBoxBaud")),
                 QStringList({"N/A", "9600", "115200", "230400", "460800", "921600", "1500000", "Custom"}));
        QCOMPARE(Items(Box("comboBoxUpdate")),
                 QStringList({"N/A", "1", "10", "50", "100", "200", "500", "1000", "Custom"}));
        QCOMPARE(Box("comboBoxGyroLpy")->count(), 13);
        QCOMPARE(Box("comboBoxAccelLpf")->itemText(12), QString("no filter"));
        QCOMPARE(Items(Box("combo_box_stream_status")),
                 QStringList({"N/A", "命令模式", "AHRS数据流", "其它", "Custom"}));
        QVERIFY(!Box("comboBoxBaud")->isEditable());
        QVERIFY(!Box("combo_box_stream_status")->isEditable());
        m_page->show();
        QVERIFY(Child<QWidget>("groupBox_customLayout_2")->isHidden());
        QVERIFY(Child<QWidget>("lineEditGyroBias_x")->isHidden());
        QVERIFY(Child<QWidget>("btn_import_config")->isHidden());
        QVERIFY(Child<QWidget>("lineEdit_config_path")->isHidden());
        QVERIFY(!Child<QWidget>("btn_export_param")->isHidden());
        QCOMPARE(Child<QLabel>("label_status")->text(), QString());
        QVERIFY(Child<QLabel>("label_status")->textInteractionFlags() & Qt::TextSelectableByMouse);
        QCOMPARE(Child<QWidget>("groupBox_customLayout_3")->y(), Child<QWidget>("groupBox_customLayout_2")->y());
        QCOMPARE(Child<QWidget>("groupBox_customLayout_3")->height(),
                 Child<QWidget>("groupBox_customLayout_1")->height());
        QVERIFY(m_page->BatchDialog() && m_page->BatchDialog()->isHidden());
    }

    void answerFillsForm()
    {
        AnswerParams(GoodData());
        QCOMPARE(Box("combo_box_stream_status")->currentText(), QString("AHRS数据流"));
        QCOMPARE(Box("comboBoxBaud")->currentText(), QString("115200"));
        QCOMPARE(Box("comboBoxUpdate")->currentText(), QString("100"));
        QCOMPARE(Box("comboBoxAccelLpf")->currentIndex(), 4);
        QCOMPARE(Box("comboBoxAccelLpf")->currentText(), QString("LPF_IIR_5Hz"));
        QCOMPARE(Box("comboBoxGyroLpy")->currentIndex(), 11);
        QCOMPARE(Box("comboBoxGyroLpy")->currentText(), QString("LPF_IIR_40Hz"));
        QCOMPARE(Box("comboBoxGyroBias")->currentText(), QString("开启"));
        QCOMPARE(Child<QLineEdit>("lineEditInstallAngle_x")->text(), QString("1.25"));
        QCOMPARE(m_page->findChild<CoordParamsSet*>()->getCode(), 118.0f);

        ImuParamData d = GoodData();
        d.LP_CONFIG_REG = 0xBB;
        d.STREAM_MODE1 = 100;
        d.auto_gyro_bias_delete = 0;
        AnswerParams(d);
        QCOMPARE(Box("comboBoxAccelLpf")->currentText(), QString("no filter"));
        QCOMPARE(Box("comboBoxGyroLpy")->currentText(), QString("no filter"));
        QCOMPARE(Box("combo_box_stream_status")->currentText(), QString("命令模式"));
        QCOMPARE(Box("comboBoxGyroBias")->currentText(), QString("关闭"));
        d.STREAM_MODE1 = 2;
        AnswerParams(d);
        QCOMPARE(Box("combo_box_stream_status")->currentText(), QString("其它"));

        // not an ImuParamData: zeros, "其它"
        Answer(PAGE_MSG_PARAM_DATA, QVariant(QString("x")));
        QCOMPARE(Box("combo_box_stream_status")->currentText(), QString("其它"));
        QCOMPARE(Box("comboBoxBaud")->currentIndex(), 0);
        QCOMPARE(Box("comboBoxAccelLpf")->currentIndex(), 1);
    }

    void baudListRebuilds()
    {
        ImuParamData d = GoodData();
        d.BAUD_RATE = 57600;
        AnswerParams(d);
        QCOMPARE(Items(Box("comboBoxBaud")),
                 QStringList({"N/A", "9600", "115200", "230400", "460800", "921600", "1500000", "57600", "Custom"}));
        QCOMPARE(Box("comboBoxBaud")->currentIndex(), 7);
        QVERIFY(!Box("comboBoxBaud")->isEditable());
        d.BAUD_RATE = 115200;
        AnswerParams(d);
        QCOMPARE(Box("comboBoxBaud")->currentText(), QString("115200"));
        QCOMPARE(Box("comboBoxBaud")->itemText(7), QString("57600"));
        d.BAUD_RATE = 38400;
        AnswerParams(d);
        QCOMPARE(Items(Box("comboBoxBaud")),
                 QStringList({"N/A", "9600", "115200", "230400", "460800", "921600", "1500000", "38400", "Custom"}));
        QCOMPARE(Box("comboBoxBaud")->currentIndex(), 7);

        d.IMU_ODR = 400;
        AnswerParams(d);
        QCOMPARE(Box("comboBoxUpdate")->itemText(8), QString("400"));
        QCOMPARE(Box("comboBoxUpdate")->currentIndex(), 8);
        QCOMPARE(Box("comboBoxUpdate")->count(), 10);
    }

    void largeBaudRoundTrips()
    {
        // A baud the list lacks must go back to the device as it came.
        ImuParamData d = GoodData();
        d.BAUD_RATE = 2000000;
        d.IMU_ODR = 50;
        AnswerParams(d);
        QCOMPARE(Box("comboBoxBaud")->currentText(), QString("2000000"));
        ClickWrite();
        QCOMPARE(m_sent.size(), 1);
        QCOMPARE(m_sent[0].var1.value<ImuParamData>().BAUD_RATE, 2000000.0f);
    }

    void oddDeviceValuesAreGuarded()
    {
        ImuParamData d = GoodData();
        d.BAUD_RATE = std::numeric_limits<float>::quiet_NaN();
        d.IMU_ODR = 1e30f;
        d.LP_CONFIG_REG = std::numeric_limits<float>::infinity();
        d.STREAM_MODE1 = std::numeric_limits<float>::quiet_NaN();
        d.auto_gyro_bias_delete = -1e20f;
        d.imu_orientation = std::numeric_limits<float>::quiet_NaN();
        AnswerParams(d);
        QCOMPARE(Box("comboBoxBaud")->currentIndex(), 0);
        QCOMPARE(Box("comboBoxBaud")->count(), 8);
        QCOMPARE(Box("comboBoxUpdate")->currentIndex(), 0);
        QCOMPARE(Box("comboBoxAccelLpf")->currentIndex(), 0);
        QCOMPARE(Box("combo_box_stream_status")->currentText(), QString("其它"));
        QCOMPARE(Box("comboBoxGyroBias")->currentIndex(), 0);
        QCOMPARE(m_page->findChild<CoordParamsSet*>()->getCode(), 101.0f);
    }

    void filterOutsideListFailsWriteCheck()
    {
        ImuParamData d = GoodData();
        d.LP_CONFIG_REG = 0xDC; // accel index 14, gyro index 13: past the list
        AnswerParams(d);
        QCOMPARE(Box("comboBoxAccelLpf")->currentIndex(), -1);
        QCOMPARE(Box("comboBoxGyroLpy")->currentIndex(), -1);
        ClickWrite();
        QCOMPARE(Warnings(), QStringList({"请选择滤波器"}));
        QVERIFY(m_sent.isEmpty());
    }

    void writeSendsRecord()
    {
        AnswerParams(GoodData());
        Child<QLineEdit>("lineEditCanId")->setText("12.5");
        Child<QLineEdit>("lineEditGyroBias_y")->setText("bad");
        ClickWrite();
        QVERIFY(Warnings().isEmpty());
        QCOMPARE(m_sent.size(), 1);
        QCOMPARE(m_sent[0].id, int(IMU_MSG_WRITE_PARAMS));
        QCOMPARE(m_sent[0].var2, QVariant(QString("")));
        QCOMPARE(m_sent[0].var1.userType(), qMetaTypeId<ImuParamData>());
        const ImuParamData w = m_sent[0].var1.value<ImuParamData>();
        QCOMPARE(w.BAUD_RATE, 115200.0f);
        QCOMPARE(w.auto_gyro_bias_delete, 10.0f);
        QCOMPARE(w.IMU_ODR, 100.0f);
        QCOMPARE(w.STREAM_MODE1, 1.0f);
        QCOMPARE(w.LP_CONFIG_REG, 58.0f);
        QCOMPARE(w.imu_orientation, 118.0f);
        QCOMPARE(w.INSTALL_ERR_ALPHA, 1.25f);
        QCOMPARE(w.GYRO_BIAS_Y, 0.0f);
        QCOMPARE(w.CAN_ID, 12.5f);
    }

    void writeChecksInOrder()
    {
        // Everything unselected: the stream check comes first.
        ClickWrite();
        QCOMPARE(Warnings(), QStringList({"请选择初始数据流模式"}));
        QVERIFY(m_sent.isEmpty());

        Box("combo_box_stream_status")->setCurrentIndex(1);
        ClickWrite();
        QCOMPARE(Warnings(), QStringList({"请选择波特率"}));

        QComboBox* baud = Box("comboBoxBaud");
        baud->setCurrentIndex(baud->count() - 1);
        QVERIFY(baud->isEditable());
        baud->setEditText("12a");
        ClickWrite();
        QCOMPARE(Warnings(), QStringList({"请保证输入自定义波特率为纯数字"}));
        baud->setEditText("-5");
        ClickWrite();
        QCOMPARE(Warnings(), QStringList({"请保证输入自定义波特率为纯数字"}));
        baud->setEditText("99999999999");
        ClickWrite();
        QCOMPARE(Warnings(), QStringList({"请保证输入自定义波特率为纯数字"}));
        baud->setEditText("115200");
        ClickWrite();
        QCOMPARE(Warnings(), QStringList({"请选自动扣陀螺零偏开关值"}));

        Box("comboBoxGyroBias")->setCurrentIndex(1);
        QComboBox* rate = Box("comboBoxUpdate");
        rate->setCurrentIndex(rate->count() - 1);
        rate->setEditText("2O0");
        ClickWrite();
        QCOMPARE(Warnings(), QStringList({"请保证输入自定义更新率为纯数字"}));
        rate->setEditText("200");
        ClickWrite();
        QCOMPARE(Warnings(), QStringList({"115200最大ODR只支持100Hz"}));
        rate->setCurrentIndex(4); // 100
        QVERIFY(!rate->isEditable());
        ClickWrite();
        QCOMPARE(Warnings(), QStringList({"请选择滤波器"}));
        Box("comboBoxAccelLpf")->setCurrentIndex(3);
        ClickWrite();
        QCOMPARE(Warnings(), QStringList({"请选择滤波器"}));
        Box("comboBoxGyroLpy")->setCurrentIndex(12);
        ClickWrite();
        QVERIFY(Warnings().isEmpty());
        QCOMPARE(m_sent.size(), 1);
        const ImuParamData w = m_sent[0].var1.value<ImuParamData>();
        QCOMPARE(w.STREAM_MODE1, 100.0f);
        QCOMPARE(w.BAUD_RATE, 115200.0f);
        QCOMPARE(w.IMU_ODR, 100.0f);
        QCOMPARE(w.auto_gyro_bias_delete, 0.0f);
        QCOMPARE(w.LP_CONFIG_REG, float(0x2B));
        QCOMPARE(w.imu_orientation, 101.0f);

        // typed 0 goes out as baud 0; rate "N/A" goes out as 0
        baud->setCurrentIndex(baud->count() - 1);
        baud->setEditText("0");
        rate->setCurrentIndex(0);
        Box("combo_box_stream_status")->setCurrentIndex(4);
        Box("combo_box_stream_status")->setEditText("7");
        ClickWrite();
        QVERIFY(Warnings().isEmpty());
        QCOMPARE(m_sent.size(), 1);
        QCOMPARE(m_sent[0].var1.value<ImuParamData>().BAUD_RATE, 0.0f);
        QCOMPARE(m_sent[0].var1.value<ImuParamData>().IMU_ODR, 0.0f);
        QCOMPARE(m_sent[0].var1.value<ImuParamData>().STREAM_MODE1, 7.0f);
    }

    // X picked, Y not yet: the chooser holds no orientation, so nothing is
    // written until Y is picked too.
    void orientationWithOnlyXRefuses()
    {
        AnswerParams(GoodData());
        QComboBox* x = Box("comboBoxXAxis");
        x->setCurrentIndex(x->findText("-Uz"));
        ClickWrite();
        QCOMPARE(Warnings(), QStringList({"请先选择X轴和Y轴的朝向"}));
        QVERIFY(m_sent.isEmpty());
        Box("comboBoxYAxis")->setCurrentIndex(Box("comboBoxYAxis")->findText("+Ux"));
        ClickWrite();
        QVERIFY(Warnings().isEmpty());
        QCOMPARE(m_sent.size(), 1);
        QCOMPARE(m_sent[0].var1.value<ImuParamData>().imu_orientation, 123.0f);
    }

    void clickFilter499Against500()
    {
        g_fakeNow = 500000;
        QMetaObject::invokeMethod(m_page.get(), "on_button_read_clicked", Qt::DirectConnection);
        QCOMPARE(m_sent.size(), 1);
        QCOMPARE(m_sent[0].id, int(IMU_MSG_READ_PARAMS));
        QCOMPARE(m_sent[0].var1, QVariant(QString("")));
        g_fakeNow += 499;
        QMetaObject::invokeMethod(m_page.get(), "on_button_read_clicked", Qt::DirectConnection);
        QCOMPARE(m_sent.size(), 1);
        g_fakeNow += 1; // 500 after the accepted click
        QMetaObject::invokeMethod(m_page.get(), "on_button_read_clicked", Qt::DirectConnection);
        QCOMPARE(m_sent.size(), 2);
        // the filter is shared by every page
        ImuParameterConfigWidget other(nullptr);
        g_fakeNow += 100;
        QMetaObject::invokeMethod(&other, "on_button_read_clicked", Qt::DirectConnection);
        QCOMPARE(m_sent.size(), 2);
    }

    void readResetsForm()
    {
        AnswerParams(GoodData());
        g_communicate_with_serial_flag = false;
        g_fakeNow += 1000;
        QMetaObject::invokeMethod(m_page.get(), "on_button_read_clicked", Qt::DirectConnection);
        // warned, and read all the same
        QCOMPARE(DialogSeam::Requests().size(), 1);
        QCOMPARE(DialogSeam::Requests()[0].kind, DialogSeam::Critical);
        QCOMPARE(DialogSeam::Requests()[0].title, QString("错误"));
        QCOMPARE(DialogSeam::Requests()[0].text, QString("未成功连接设备"));
        QCOMPARE(m_sent.size(), 1);
        // No device worker exists: nothing can answer.
        QCOMPARE(Child<QLabel>("label_status")->text(), QString("状态：读取数据失败（设备未连接）"));
        QCOMPARE(Box("comboBoxBaud")->currentIndex(), 0);
        QCOMPARE(Box("combo_box_stream_status")->currentIndex(), 0);
        QCOMPARE(Box("comboBoxAccelLpf")->currentIndex(), 0);
        QCOMPARE(Child<QLineEdit>("lineEditInstallAngle_x")->text(), QString());
        QCOMPARE(m_page->findChild<CoordParamsSet*>()->getCode(), 118.0f);
    }

    void answersIgnoredWhileAnotherToolIsCurrent()
    {
        g_current_action_name = QString("AHRS数据");
        AnswerParams(GoodData());
        QCOMPARE(Box("comboBoxBaud")->currentIndex(), 0);
        QCOMPARE(Box("combo_box_stream_status")->currentIndex(), 0);
        Answer(PAGE_MSG_PARAM_TABLE_READ, 2, QString("已收到参数:3/127"));
        QCOMPARE(Child<QLabel>("label_status")->text(), QString());
        g_current_action_name = QString("参数设置");
        Answer(PAGE_MSG_PARAM_TABLE_READ, 2, QString("已收到参数:3/127"));
        QCOMPARE(Child<QLabel>("label_status")->text(), QString("状态：已收到参数:3/127"));
        Answer(PAGE_MSG_PARAM_TABLE_READ, QString("x"), QString("zzz"));
        Answer(PAGE_MSG_PARAM_TABLE_READ, 3, QString("zzz"));
        QCOMPARE(Child<QLabel>("label_status")->text(), QString("状态：已收到参数:3/127"));
    }

    void statusTextsShowFirstString()
    {
        NotifyMsgManager::GetInstance()->SendLogMsg("ImuParameterConfigWidget", NotifyMsgManager::PAGE_TYPE_STATUS,
                                                    "状态：获取波特率成功");
        QCoreApplication::processEvents();
        QCOMPARE(Child<QLabel>("label_status")->text(), QString("状态：获取波特率成功"));
    }

    void exportWritesTable()
    {
        QTemporaryDir dir;
        DialogSeam::SetHandler([&dir](const DialogSeam::Request& r) -> QVariant {
            return r.kind == DialogSeam::ExistingDirectory ? QVariant(dir.path()) : QVariant();
        });
        QMetaObject::invokeMethod(m_page.get(), "on_btn_export_param_clicked", Qt::DirectConnection);
        DialogSeam::SetHandler(nullptr);
        QCOMPARE(DialogSeam::Requests().last().title, QString("选择保存路径"));
        QCOMPARE(m_sent.size(), 1);
        QCOMPARE(m_sent[0].id, int(IMU_MSG_PARAM_TABLE));
        QCOMPARE(m_sent[0].var1.toInt(), 0);
        const QStringList files = QDir(dir.path()).entryList(QDir::Files);
        QCOMPARE(files.size(), 1);
        QVERIFY(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d-\\d\\d-\\d\\d-\\d\\d-参数表\\.csv$").match(files[0]).hasMatch());

        QMap<unsigned int, float> table;
        table.insert(5, 10.0f);
        table.insert(100, 0.123456f);
        Answer(PAGE_MSG_PARAM_TABLE_READ, 9, QVariant::fromValue(table));
        const QString path = dir.filePath(files[0]);
        QCOMPARE(Child<QLabel>("label_status")->text(), QString("状态：文件导出成功,导出路径") + path);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().split('\n');
        QCOMPARE(lines.size(), 128);
        QCOMPARE(lines[5], QByteArray("5,10"));
        QCOMPARE(lines[100], QByteArray("100,0.12346"));
        QCOMPARE(lines[86], QByteArray("86,0"));
        QCOMPARE(lines[87], QByteArray("87,0.00000"));
        QCOMPARE(lines[126], QByteArray("126,0.00000"));
    }

    void exportCancelledOrUnwritable()
    {
        QMetaObject::invokeMethod(m_page.get(), "on_btn_export_param_clicked", Qt::DirectConnection);
        QVERIFY(m_sent.isEmpty()); // no folder chosen

        DialogSeam::SetHandler([](const DialogSeam::Request& r) -> QVariant {
            return r.kind == DialogSeam::ExistingDirectory ? QVariant(QString("/nonexistent/folder")) : QVariant();
        });
        QMetaObject::invokeMethod(m_page.get(), "on_btn_export_param_clicked", Qt::DirectConnection);
        DialogSeam::SetHandler(nullptr);
        QCOMPARE(m_sent.size(), 1);
        Answer(PAGE_MSG_PARAM_TABLE_READ, 9, QVariant::fromValue(QMap<unsigned int, float>()));
        const QString status = Child<QLabel>("label_status")->text();
        QVERIFY2(QRegularExpression("^状态：文件导出失败,请检查保存路径，文件打开失败：/nonexistent/folder/"
                                    "\\d{4}(-\\d\\d){5}-参数表\\.csv（No such file or directory）$")
                     .match(status)
                     .hasMatch(),
                 qPrintable(status));
    }

    // An export that gets no table leaves no file and says why: the
    // table's checksum failed, or nothing answered within the watchdog.
    void exportWithoutTableLeavesNoFile_data()
    {
        QTest::addColumn<bool>("answered");
        QTest::addColumn<QString>("status");
        QTest::newRow("checksum failed") << true << "状态：已收到参数:127/127,CRC校验不通过,文件导出失败";
        QTest::newRow("no answer") << false << "状态：文件导出失败,设备无应答";
    }

    void exportWithoutTableLeavesNoFile()
    {
        QFETCH(bool, answered);
        QFETCH(QString, status);
        QTemporaryDir dir;
        DialogSeam::SetHandler([&dir](const DialogSeam::Request& r) -> QVariant {
            return r.kind == DialogSeam::ExistingDirectory ? QVariant(dir.path()) : QVariant();
        });
        m_page->SetExportWatchdogInterval(200);
        QMetaObject::invokeMethod(m_page.get(), "on_btn_export_param_clicked", Qt::DirectConnection);
        DialogSeam::SetHandler(nullptr);
        QCOMPARE(m_sent.size(), 1);
        QVERIFY(!Child<QPushButton>("btn_export_param")->isEnabled());
        if (answered) {
            Answer(PAGE_MSG_PARAM_TABLE_READ, 2, QString("已收到参数:127/127"));
            Answer(PAGE_MSG_PARAM_TABLE_READ, 4, QString("已收到参数:127/127,CRC校验不通过"));
        }
        QTRY_COMPARE_WITH_TIMEOUT(Child<QLabel>("label_status")->text(), status, 3000);
        QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
        QVERIFY(Child<QPushButton>("btn_export_param")->isEnabled());
        // A table that comes after all finds no export waiting for it.
        Answer(PAGE_MSG_PARAM_TABLE_READ, 9, QVariant::fromValue(QMap<unsigned int, float>()));
        QCOMPARE(Child<QLabel>("label_status")->text(), status);
        QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    }

    void importHandsSetToBatchDialog()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("set.txt");
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("BAUD_RATE:115200\nNOT_A_NAME:3\nimu_orientation: 118\nLX:2\n");
        }
        QMetaObject::invokeMethod(m_page.get(), "on_btn_import_config_clicked", Qt::DirectConnection);
        QCOMPARE(DialogSeam::Requests().last().text, QString("配置文件路径不能为空！！！"));
        QCOMPARE(DialogSeam::Requests().last().title, QString("错误"));

        DialogSeam::SetHandler([&path](const DialogSeam::Request& r) -> QVariant {
            return r.kind == DialogSeam::OpenFile ? QVariant(path) : QVariant();
        });
        QMetaObject::invokeMethod(m_page.get(), "on_btn_open_config_path_clicked", Qt::DirectConnection);
        DialogSeam::SetHandler(nullptr);
        QCOMPARE(DialogSeam::Requests().last().title, QString("选择配置文件"));
        QCOMPARE(DialogSeam::Requests().last().filter, QString("文件(*.txt *.csv);;All files(*.*)"));
        QCOMPARE(Child<QLineEdit>("lineEdit_config_path")->text(), path);

        // Unknown names refuse the whole file, naming them.
        DialogSeam::ClearRequests();
        QMetaObject::invokeMethod(m_page.get(), "on_btn_import_config_clicked", Qt::DirectConnection);
        QCOMPARE(Warnings(), QStringList({"配置文件中有未知的参数名：NOT_A_NAME、LX"}));
        QVERIFY(!m_page->BatchDialog()->isVisible());
        QVERIFY(m_page->BatchDialog()->Params().isEmpty());

        // A line that is not NAME:value is named by its number.
        Rewrite(path, "BAUD_RATE:115200\n\nimu_orientation:1:2\nCAN_ID:3\n");
        DialogSeam::ClearRequests();
        QMetaObject::invokeMethod(m_page.get(), "on_btn_import_config_clicked", Qt::DirectConnection);
        QCOMPARE(Warnings(), QStringList({"配置文件格式不正确，第3行应为 参数名:数值：imu_orientation:1:2"}));

        // A file far larger than any parameter set is not read.
        Rewrite(path, QByteArray(ParamCsv::kMaxImportBytes + 1, '\n'));
        DialogSeam::ClearRequests();
        QMetaObject::invokeMethod(m_page.get(), "on_btn_import_config_clicked", Qt::DirectConnection);
        QCOMPARE(Warnings(), QStringList({"配置文件过大（超过1MB），不是参数配置文件：" + path}));
        QVERIFY(m_page->BatchDialog()->Params().isEmpty());

        // A file that cannot be read says why.
        Child<QLineEdit>("lineEdit_config_path")->setText(path + ".gone");
        DialogSeam::ClearRequests();
        QMetaObject::invokeMethod(m_page.get(), "on_btn_import_config_clicked", Qt::DirectConnection);
        QCOMPARE(Warnings(), QStringList({"配置文件无法打开：" + path + ".gone（No such file or directory）"}));
        Child<QLineEdit>("lineEdit_config_path")->setText(path);

        Rewrite(path, "BAUD_RATE:115200\nimu_orientation: 118\n");
        DialogSeam::ClearRequests();
        QMetaObject::invokeMethod(m_page.get(), "on_btn_import_config_clicked", Qt::DirectConnection);
        QVERIFY(DialogSeam::Requests().isEmpty());
        SetPromptDialog* dlg = m_page->BatchDialog();
        QVERIFY(dlg->isVisible());
        QCOMPARE(dlg->Params().keys(), QList<int>({3, 4}));
        QCOMPARE(dlg->Params().value(4), 118.0f);
        dlg->close();

        // a file of the export format has no NAME:value line
        Rewrite(path, "0,0\n1,0\n");
        QMetaObject::invokeMethod(m_page.get(), "on_btn_import_config_clicked", Qt::DirectConnection);
        QCOMPARE(DialogSeam::Requests().last().kind, DialogSeam::Warning);
        QCOMPARE(DialogSeam::Requests().last().text, QString("配置文件格式不正确，第1行应为 参数名:数值：0,0"));
    }

    void batchDialogForm()
    {
        SetPromptDialog* dlg = m_page->BatchDialog();
        QCOMPARE(dlg->objectName(), QString("SetPromptDialog"));
        QCOMPARE(dlg->windowTitle(), QString("Dialog"));
        QCOMPARE(dlg->size(), QSize(400, 300));
        QVERIFY(!dlg->parentWidget());
        auto* bar = dlg->findChild<QProgressBar*>("progressBar");
        QCOMPARE(bar->geometry(), QRect(70, 90, 281, 23));
        QCOMPARE(bar->value(), 0);
        QCOMPARE(dlg->findChild<QLabel*>("label_status")->geometry(), QRect(70, 130, 251, 16));
        QCOMPARE(dlg->findChild<QLabel*>("label_status")->text(), QString("状态：N/A"));
        QCOMPARE(dlg->findChild<QPushButton*>("btn_set")->geometry(), QRect(130, 240, 81, 23));
        QCOMPARE(dlg->findChild<QPushButton*>("btn_set")->text(), QString("设置"));
    }

    void batchDialogEscapeEndsRun()
    {
        // Escape hides the dialog; the run behind it must end too.
        SetPromptDialog* dlg = m_page->BatchDialog();
        dlg->SetParams({{"BAUD_RATE", 115200.0f}});
        dlg->show();
        QTimer::singleShot(300, dlg, [dlg] { QTest::keyClick(dlg, Qt::Key_Escape); });
        // Safety net, so that a run that survives Escape cannot hang the test.
        QTimer::singleShot(6000, dlg, [dlg] { dlg->close(); });
        QElapsedTimer clock;
        clock.start();
        QMetaObject::invokeMethod(dlg, "on_btn_set_clicked", Qt::DirectConnection);
        QVERIFY2(clock.elapsed() < 2500, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(dlg->isHidden());
        QCOMPARE(dlg->findChild<QPushButton*>("btn_set")->text(), QString("设置"));
        QCOMPARE(dlg->findChild<QLabel*>("label_status")->text(), QString("状态：N/A"));
        QCOMPARE(dlg->DeviceNumber(), 1u);
    }

    void rendersOffscreen()
    {
        AnswerParams(GoodData());
        m_page->resize(898, 446);
        m_page->show();
        const QPixmap shot = m_page->grab();
        QVERIFY(!shot.isNull());
        const QString dir = qEnvironmentVariable("CORVANTA_GRAB_DIR");
        if (!dir.isEmpty()) {
            shot.save(dir + "/param_page.png");
        }
    }

    void comboMouseMoveSwallowed()
    {
        QMouseEvent move(QEvent::MouseMove, QPointF(1, 1), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QObject* filter = m_page.get();
        QVERIFY(filter->eventFilter(Box("comboBoxBaud"), &move));
        QVERIFY(!filter->eventFilter(Child<QWidget>("button_read"), &move));
    }
};

QTEST_MAIN(TestParamPage)
#include "tst_param_page.moc"
