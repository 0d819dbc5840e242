// The full parameter-table page on the bus without a device: its grid, the
// request guard, the answers, the watchdog, restore and the CSV export.
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QTimer>
#include <QDir>
#include <QRegularExpression>
#include <QtTest>

#include <cmath>
#include <functional>
#include <limits>

#include "commom/DialogSeam.h"
#include "commom/Global.h"
#include "commom/StartUp.h"
#include "manager/RecvDataHandleManager.h"
#include "manager/SendDataHandleManager.h"
#include "widgets/singleTools/parameterConfigPage/AllParameterWidget.h"
#include "widgets/singleTools/parameterConfigPage/ParamTableSheet.h"
#include "workerThread/MessageIds.h"
#include "workerThread/PayloadTypes.h"

namespace {

struct Sent
{
    int id;
    QVariant var1;
    QVariant var2;
};

using Answer = ParamTableSheet::Answer;

// Runs a check when a timer fires, before the timer's owner acts on it.
class FireWatch : public QObject
{
public:
    std::function<void()> onFire;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Timer && onFire) {
            onFire();
        }
        return false;
    }
};

} // namespace

Q_DECLARE_METATYPE(ParamTableSheet::Answer)

class TestAllParamPage : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<AllParameterWidget> m_page;
    QList<Sent> m_sent;
    QVariant m_questionAnswer;
    QString m_folderAnswer;

    QTableWidget* Grid() { return m_page->findChild<QTableWidget*>("tableWidget"); }
    QString Status() { return m_page->findChild<QLabel*>("label_inner_param_transfer_status_2")->text(); }
    QString Value(int row) { return Grid()->item(row, 1)->text(); }
    void Click(const char* name) { m_page->findChild<QPushButton*>(name)->click(); }
    // The page's request watchdog: its one single-shot precise timer.
    QTimer* Watchdog()
    {
        for (QTimer* timer : m_page->findChildren<QTimer*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (timer->isSingleShot() && timer->timerType() == Qt::PreciseTimer) {
                return timer;
            }
        }
        return nullptr;
    }

    // No whole table is shown: "设置参数" sends nothing and says why.
    void ExpectWriteRefusedUnread()
    {
        m_sent.clear();
        DialogSeam::ClearRequests();
        Click("set_normal_param");
        QVERIFY(m_sent.isEmpty());
        QCOMPARE(Boxes().size(), 1);
        QCOMPARE(Boxes()[0].text, QString("请先刷新参数"));
    }

    void Post(int id, const QVariant& v1, const QVariant& v2 = QVariant())
    {
        RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(id, v1, v2);
        QCoreApplication::processEvents();
    }

    static QMap<unsigned int, float> Table()
    {
        QMap<unsigned int, float> table;
        for (unsigned int id = 0; id < 127; ++id) {
            table.insert(id, float(id) * 1.5f);
        }
        return table;
    }

    void ReadTable(const QMap<unsigned int, float>& table)
    {
        Click("get_normal_param");
        Post(PAGE_MSG_PARAM_TABLE_READ, 5, QString("已收到参数:127/127,CRC校验通过"));
        Post(PAGE_MSG_PARAM_TABLE_READ, 9, QVariant::fromValue(table));
        m_sent.clear();
        DialogSeam::ClearRequests();
    }

    QList<DialogSeam::Request> Boxes() { return DialogSeam::Requests(); }

private slots:
    void initTestCase()
    {
        RegsiterMetaType();
        DialogSeam::SetScripted(true);
        DialogSeam::SetHandler([this](const DialogSeam::Request& r) -> QVariant {
            if (r.kind == DialogSeam::Question) {
                return m_questionAnswer;
            }
            if (r.kind == DialogSeam::ExistingDirectory) {
                return m_folderAnswer;
            }
            return QVariant();
        });
        connect(SendDataHandleManager::GetInstance(), &SendDataHandleManager::SignalSendMessageToIMU, this,
                [this](int id, QVariant v1, QVariant v2) { m_sent.append({id, v1, v2}); });
    }

    void init()
    {
        g_current_action_name = QString("参数表");
        g_communicate_with_serial_flag = true;
        g_param_table_req_running = false;
        g_param_table_req_timeout = false;
        m_questionAnswer = QVariant();
        m_folderAnswer.clear();
        m_page.reset(new AllParameterWidget(nullptr));
        m_sent.clear();
        DialogSeam::ClearRequests();
    }

    void cleanup() { m_page.reset(); }

    void fixedTextsOfTheGrid()
    {
        QCOMPARE(ParamTableSheet::HorizontalHeaderLabels(),
                 QStringList({"参数名        ", "参数     ", "注释      "}));
        QCOMPARE(ParamTableSheet::NameOf(0), QString("SoftwareVersion"));
        QCOMPARE(ParamTableSheet::CommentOf(19), QString("加速度计量程：0~3"));
        QCOMPARE(ParamTableSheet::NameOf(31), QString("FLTER_CTRL"));
        QCOMPARE(ParamTableSheet::NameOf(35), QString("AXIS_PARAM"));
        QCOMPARE(ParamTableSheet::CommentOf(35), QString("坐标系"));
        QCOMPARE(ParamTableSheet::NameOf(36), QString("rev_param"));
        QCOMPARE(ParamTableSheet::CommentOf(126), QString("保留"));
        QCOMPARE(ParamTableSheet::NameOf(127), QString());
        QCOMPARE(ParamTableSheet::NameOf(-1), QString());
    }

    void pageIsBuiltAsDesigned()
    {
        QCOMPARE(m_page->windowTitle(), QString("系统参数"));
        QCOMPARE(m_page->size(), QSize(635, 660));
        QVERIFY(m_page->findChild<QPushButton*>("btn_export_csv")->isHidden());
        QCOMPARE(Status(), QString("状态：N/A"));
        QTableWidget* grid = Grid();
        QCOMPARE(grid->rowCount(), 200);
        QCOMPARE(grid->columnCount(), 3);
        QCOMPARE(grid->horizontalHeaderItem(0)->text(), QString("参数名        "));
        QCOMPARE(grid->verticalHeaderItem(0)->text(), QString("0"));
        QCOMPARE(grid->verticalHeaderItem(199)->text(), QString("199"));
        QCOMPARE(grid->horizontalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
        QCOMPARE(grid->columnWidth(0), 120);
        QCOMPARE(grid->columnWidth(2), 220);
        QCOMPARE(grid->item(17, 0)->text(), QString("INSTALL_ERR_BEAT"));
        QCOMPARE(grid->item(17, 2)->text(), QString("安装误差Y轴"));
        for (int row = 0; row < 127; ++row) {
            QCOMPARE(Value(row), QString("N/A"));
            QVERIFY(grid->item(row, 1)->flags() & Qt::ItemIsEditable);
        }
        for (int row = 127; row < 200; ++row) {
            for (int column = 0; column < 3; ++column) {
                QVERIFY(grid->item(row, column) == nullptr);
            }
        }
        // Widths follow the page.
        m_page->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
        m_page->resize(1270, 660);
        QTRY_COMPARE(grid->columnWidth(1), 200);
        QCOMPARE(grid->columnWidth(2), 440);
    }

    void valueTexts()
    {
        QCOMPARE(ParamTableSheet::FormatValue(10.0f), QString("10.00000"));
        QCOMPARE(ParamTableSheet::FormatValue(-0.123456f), QString("-0.12346"));
        QCOMPARE(ParamTableSheet::ParseValue(" 2.5 "), 2.5f);
        QCOMPARE(ParamTableSheet::ParseValue("abc"), 0.0f);
        QCOMPARE(ParamTableSheet::ParseValue(""), 0.0f);
        QCOMPARE(ParamTableSheet::ParseValue("N/A"), 0.0f);
        QCOMPARE(ParamTableSheet::ParseValue("nan"), 0.0f);
        QCOMPARE(ParamTableSheet::ParseValue("inf"), 0.0f);
        QCOMPARE(ParamTableSheet::ParseValue("1e39"), 0.0f);
    }

    void writeMapKeepsUntouchedValuesExact()
    {
        QMap<unsigned int, float> table;
        table.insert(99, 1.25e-7f);
        table.insert(100, 0.123456789f);
        const ParamTableSheet::ShownTable shown = ParamTableSheet::FromDeviceTable(table);
        QCOMPARE(shown.texts.value(99), QString("0.00000"));
        QCOMPARE(shown.texts.value(40), QString("0.00000"));
        QStringList cells = shown.texts;
        cells[3] = "9600";
        cells[5] = "x";
        QList<int> bad;
        const QMap<int, float> map = ParamTableSheet::BuildWriteMap(cells, shown, &bad);
        QCOMPARE(map.size(), 126);
        QCOMPARE(map.firstKey(), 0);
        QCOMPARE(map.lastKey(), 126);
        QCOMPARE(map.value(99), 1.25e-7f);
        QCOMPARE(map.value(100), 0.123456789f);
        QCOMPARE(map.value(3), 9600.0f);
        // A cell holding no number is never taken for 0.
        QCOMPARE(bad, QList<int>{5});
        QVERIFY(!map.contains(5));
        // Without a table shown every text is parsed; "N/A", "1,5" and
        // missing texts are no numbers.
        bad.clear();
        const QMap<int, float> parsed = ParamTableSheet::BuildWriteMap({"1.5", "N/A", "1,5"}, {}, &bad);
        QCOMPARE(parsed.size(), 1);
        QCOMPARE(parsed.value(0), 1.5f);
        QCOMPARE(bad.size(), 126);
        QCOMPARE(bad.first(), 1);
        const QString named = ParamTableSheet::BadCellsText(bad, {"1.5", "N/A", "1,5"});
        QVERIFY(named.contains("第1行 HardwareVersion：“N/A”"));
        QVERIFY(named.contains("第2行 Param_Version：“1,5”"));
        QVERIFY(named.endsWith("……共126个"));
    }

    void answerMeaning_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QVariant>("code");
        QTest::addColumn<Answer>("meaning");
        QTest::newRow("806 progress") << 806 << QVariant(2) << Answer::StatusContinue;
        QTest::newRow("806 crc failed") << 806 << QVariant(4) << Answer::StatusEnd;
        QTest::newRow("806 crc passed") << 806 << QVariant(5) << Answer::ChecksumPassed;
        QTest::newRow("806 table") << 806 << QVariant(9) << Answer::Table;
        QTest::newRow("806 other") << 806 << QVariant(3) << Answer::Ignore;
        QTest::newRow("806 not int") << 806 << QVariant(QString("x")) << Answer::Ignore;
        QTest::newRow("806 invalid") << 806 << QVariant() << Answer::Ignore;
        QTest::newRow("807 interrupted") << 807 << QVariant(0) << Answer::StatusEnd;
        QTest::newRow("807 progress") << 807 << QVariant(1) << Answer::StatusContinue;
        QTest::newRow("807 2") << 807 << QVariant(2) << Answer::Ignore;
        QTest::newRow("807 verifying") << 807 << QVariant(3) << Answer::StatusContinue;
        QTest::newRow("807 crc failed") << 807 << QVariant(4) << Answer::StatusEnd;
        QTest::newRow("807 5") << 807 << QVariant(5) << Answer::Ignore;
        QTest::newRow("807 storing") << 807 << QVariant(6) << Answer::StatusContinue;
        QTest::newRow("807 store failed") << 807 << QVariant(7) << Answer::StatusEnd;
        QTest::newRow("807 finished") << 807 << QVariant(8) << Answer::StatusEnd;
        QTest::newRow("807 9") << 807 << QVariant(9) << Answer::Ignore;
        QTest::newRow("807 not int") << 807 << QVariant(QString("x")) << Answer::StatusEnd;
        QTest::newRow("804") << 804 << QVariant(9) << Answer::Ignore;
    }

    void answerMeaning()
    {
        QFETCH(int, id);
        QFETCH(QVariant, code);
        QFETCH(Answer, meaning);
        QCOMPARE(ParamTableSheet::Classify(id, code), meaning);
    }

    void readSendsRequestAndFillsTable()
    {
        g_communicate_with_serial_flag = false;
        g_param_table_req_timeout = true;
        Click("get_normal_param");
        // Warned, but the read goes on.
        QCOMPARE(Boxes().size(), 1);
        QCOMPARE(Boxes()[0].kind, DialogSeam::Critical);
        QCOMPARE(Boxes()[0].title, QString("错误"));
        QCOMPARE(Boxes()[0].text, QString("未成功连接设备"));
        QCOMPARE(m_sent.size(), 1);
        QCOMPARE(m_sent[0].id, int(IMU_MSG_PARAM_TABLE));
        QCOMPARE(m_sent[0].var1.userType(), int(QMetaType::Int));
        QCOMPARE(m_sent[0].var1.toInt(), 0);
        QCOMPARE(m_sent[0].var2.userType(), int(QMetaType::QString));
        QCOMPARE(m_sent[0].var2.toString(), QString(""));
        QCOMPARE(Status(), QString("正在请求当中.....,若无响应,则重启设备"));
        QVERIFY(g_param_table_req_running.load());
        QVERIFY(!g_param_table_req_timeout.load());
        QVERIFY(m_page->IsWatchdogActive());

        Post(PAGE_MSG_PARAM_TABLE_READ, 2, QString("已收到参数:1/127"));
        QCOMPARE(Status(), QString("已收到参数:1/127"));
        QVERIFY(g_param_table_req_running.load());

        QMap<unsigned int, float> table = Table();
        table.remove(40);
        table.insert(100, 0.123456f);
        Post(PAGE_MSG_PARAM_TABLE_READ, 9, QVariant::fromValue(table));
        QCOMPARE(Value(0), QString("0.00000"));
        QCOMPARE(Value(3), QString("4.50000"));
        QCOMPARE(Value(40), QString("0.00000"));
        QCOMPARE(Value(100), QString("0.12346"));
        QCOMPARE(Value(126), QString("189.00000"));
        QCOMPARE(Status(), QString("已收到参数:1/127"));
        QCOMPARE(m_page->TableReadFlag(), 1);
        QVERIFY(!g_param_table_req_running.load());
        QVERIFY(!m_page->IsWatchdogActive());
        QVERIFY(Grid()->item(127, 1) == nullptr);

        // A new read blanks the values again.
        Click("get_normal_param");
        QCOMPARE(Value(3), QString("N/A"));
    }

    void tableAnswerWithoutATableIsNotShown()
    {
        Click("get_normal_param");
        Post(PAGE_MSG_PARAM_TABLE_READ, 5, QString("已收到参数:127/127,CRC校验通过"));
        Post(PAGE_MSG_PARAM_TABLE_READ, 9, QString("not a table"));
        QCOMPARE(Value(0), QString("N/A"));
        QCOMPARE(Value(126), QString("N/A"));
        QCOMPARE(m_page->TableReadFlag(), 0);
        QVERIFY(!g_param_table_req_running.load());
        QVERIFY(!m_page->IsWatchdogActive());
        // Nothing was read, so nothing may be written back.
        ExpectWriteRefusedUnread();
    }

    // A re-read that fails after a good one: the grid holds "N/A" and the
    // page no longer counts as read, so a write sends nothing.
    void checksumFailureEndsTheRead()
    {
        ReadTable(Table());
        Click("get_normal_param");
        Post(PAGE_MSG_PARAM_TABLE_READ, 4, QString("已收到参数:127/127,CRC校验不通过"));
        QCOMPARE(Status(), QString("已收到参数:127/127,CRC校验不通过"));
        QVERIFY(!g_param_table_req_running.load());
        QVERIFY(!m_page->IsWatchdogActive());
        QCOMPARE(m_page->TableReadFlag(), 0);
        QCOMPARE(Value(3), QString("N/A"));
        ExpectWriteRefusedUnread();
    }

    void requestInProgressRefusesEveryButton()
    {
        Click("get_normal_param");
        m_sent.clear();
        DialogSeam::ClearRequests();
        for (const char* button : {"get_normal_param", "set_normal_param", "set_normal_param_default"}) {
            Click(button);
        }
        QVERIFY(m_sent.isEmpty());
        QCOMPARE(Boxes().size(), 3);
        for (const DialogSeam::Request& r : Boxes()) {
            QCOMPARE(r.kind, DialogSeam::Warning);
            QCOMPARE(r.title, QString("警告"));
            QCOMPARE(r.text, QString("当前请求未完成，不能进行其他操作"));
        }
        QVERIFY(g_param_table_req_running.load());
    }

    void writeNeedsAFreshRead()
    {
        Click("set_normal_param");
        QVERIFY(m_sent.isEmpty());
        QCOMPARE(Boxes().size(), 1);
        QCOMPARE(Boxes()[0].title, QString("警告"));
        QCOMPARE(Boxes()[0].text, QString("请先刷新参数"));
        QVERIFY(!g_param_table_req_running.load());
        QVERIFY(!m_page->IsWatchdogActive());

        ReadTable(Table());
        Click("set_normal_param");
        QCOMPARE(m_sent.size(), 1);
        Post(PAGE_MSG_PARAM_TABLE_WRITE, 8, QString("发送参数完毕，写入flash成功，已通过CRC校验并保存完毕"));
        // The flag went back with the write: the next one needs a read.
        ExpectWriteRefusedUnread();

        // A disconnect takes the table read from the gone device off the
        // grid, shown or not, and a write needs a read again.
        ReadTable(Table());
        g_current_action_name = QString("参数设置");
        Post(PAGE_MSG_CONNECTION, false, 115200);
        g_current_action_name = QString("参数表");
        QCOMPARE(Value(5), ParamTableSheet::PlaceholderValue());
        ExpectWriteRefusedUnread();
    }

    void writeSendsTheGrid()
    {
        QMap<unsigned int, float> table = Table();
        table.insert(99, 3.0e-6f);
        ReadTable(table);
        g_param_table_req_timeout = true;
        Grid()->item(3, 1)->setText("9600");
        Grid()->item(7, 1)->setText("not a number");
        Grid()->item(8, 1)->setText("");
        // Cells without a number are named and nothing is sent.
        Click("set_normal_param");
        QVERIFY(m_sent.isEmpty());
        QCOMPARE(Boxes().size(), 1);
        QCOMPARE(Boxes()[0].kind, DialogSeam::Warning);
        QCOMPARE(Boxes()[0].text, QString("以下参数值不是有效数字，参数未发送：\n第7行 Static_Check：“not a number”\n"
                                          "第8行 GYRO_BIAS_X：“”"));
        QCOMPARE(m_page->TableReadFlag(), 1);
        QVERIFY(!g_param_table_req_running.load());
        DialogSeam::ClearRequests();
        Grid()->item(7, 1)->setText("0");
        Grid()->item(8, 1)->setText("-0.5");
        Click("set_normal_param");
        QVERIFY(Boxes().isEmpty());
        QCOMPARE(m_sent.size(), 1);
        QCOMPARE(m_sent[0].id, int(IMU_MSG_PARAM_TABLE));
        QCOMPARE(m_sent[0].var1.userType(), int(QMetaType::Int));
        QCOMPARE(m_sent[0].var1.toInt(), 1);
        QVERIFY((m_sent[0].var2.canConvert<QMap<int, float>>()));
        const QMap<int, float> map = m_sent[0].var2.value<QMap<int, float>>();
        QCOMPARE(map.size(), 127);
        QCOMPARE(map.value(3), 9600.0f);
        QCOMPARE(map.value(7), 0.0f);
        QCOMPARE(map.value(8), -0.5f);
        QCOMPARE(map.value(99), 3.0e-6f);
        QCOMPARE(map.value(126), 189.0f);
        QCOMPARE(Status(), QString("正在设置参数....,若无响应,则重启设备"));
        QCOMPARE(m_page->TableReadFlag(), 0);
        QVERIFY(g_param_table_req_running.load());
        QVERIFY(!g_param_table_req_timeout.load());
        QVERIFY(m_page->IsWatchdogActive());

        Post(PAGE_MSG_PARAM_TABLE_WRITE, 1, QString("已发送参数0/127"));
        QCOMPARE(Status(), QString("已发送参数0/127"));
        QVERIFY(g_param_table_req_running.load());
        Post(PAGE_MSG_PARAM_TABLE_WRITE, 5, QString("ignored"));
        QCOMPARE(Status(), QString("已发送参数0/127"));
        Post(PAGE_MSG_PARAM_TABLE_WRITE, 7, QString("参数写入flash失败"));
        QCOMPARE(Status(), QString("参数写入flash失败"));
        QVERIFY(!g_param_table_req_running.load());
        QVERIFY(!m_page->IsWatchdogActive());
    }

    void answersForAnotherToolChangeNothing()
    {
        Click("get_normal_param");
        g_current_action_name = QString("参数设置");
        Post(PAGE_MSG_PARAM_TABLE_READ, 9, QVariant::fromValue(Table()));
        Post(PAGE_MSG_PARAM_TABLE_WRITE, 8, QString("done"));
        QCOMPARE(Value(3), QString("N/A"));
        QCOMPARE(Status(), QString("正在请求当中.....,若无响应,则重启设备"));
        QCOMPARE(m_page->TableReadFlag(), 0);
        QVERIFY(g_param_table_req_running.load());
    }

    void restoreAsksFirst()
    {
        m_questionAnswer = int(QMessageBox::No);
        Click("set_normal_param_default");
        QCOMPARE(Boxes().size(), 1);
        QCOMPARE(Boxes()[0].kind, DialogSeam::Question);
        QCOMPARE(Boxes()[0].title, QString("警告"));
        QCOMPARE(Boxes()[0].text, QString("确定恢复默认参数吗？"));
        QCOMPARE(Boxes()[0].icon, int(QMessageBox::Warning));
        QCOMPARE(Boxes()[0].buttons, int(QMessageBox::Yes | QMessageBox::No));
        QVERIFY(m_sent.isEmpty());
        QVERIFY(!g_param_table_req_running.load());
        QVERIFY(!m_page->IsWatchdogActive());
        QCOMPARE(Status(), QString("状态：N/A"));

        m_questionAnswer = QVariant(); // the default button: Yes
        Click("set_normal_param_default");
        QCOMPARE(m_sent.size(), 1);
        QCOMPARE(m_sent[0].id, int(IMU_MSG_PARAM_TABLE));
        QCOMPARE(m_sent[0].var1.toInt(), 2);
        QVERIFY(!m_sent[0].var2.isValid());
        QCOMPARE(Status(), QString("命令发送成功"));
        QVERIFY(!g_param_table_req_running.load());
        QVERIFY(m_page->IsWatchdogActive());
    }

    // The watchdog at its real interval: after a restore nothing answers, so
    // the status turns to the time-out 3000 ms later, not before.
    void restoreTimesOutAfterThreeSeconds()
    {
        QElapsedTimer clock;
        FireWatch watch;
        qint64 firedAt = -1;
        QString statusAtFire;
        bool timeoutAtFire = true;
        watch.onFire = [&]() {
            firedAt = clock.elapsed();
            statusAtFire = Status();
            timeoutAtFire = g_param_table_req_timeout.load();
        };
        QVERIFY(Watchdog());
        Watchdog()->installEventFilter(&watch);
        Click("set_normal_param_default");
        clock.start();
        QTRY_COMPARE_WITH_TIMEOUT(Status(), QString("请求超时"), 10000);
        QVERIFY2(firedAt >= 3000, qPrintable(QString::number(firedAt)));
        QCOMPARE(statusAtFire, QString("命令发送成功"));
        QVERIFY(!timeoutAtFire);
        QVERIFY(g_param_table_req_timeout.load());
        QVERIFY(!g_param_table_req_running.load());
    }

    void everyAnswerRestartsTheWatchdog()
    {
        m_page->SetWatchdogInterval(1000);
        Click("get_normal_param");
        for (int i = 0; i < 4; ++i) {
            // Some of the watchdog's time has run, then an answer winds it up again.
            QTRY_VERIFY_WITH_TIMEOUT(Watchdog()->remainingTime() < 700, 5000);
            // Not acted on beyond the restart.
            Post(PAGE_MSG_PARAM_TABLE_READ, QString("x"), QString("ignored"));
            QVERIFY(Watchdog()->remainingTime() > 700);
        }
        QVERIFY(g_param_table_req_running.load());
        QCOMPARE(Status(), QString("正在请求当中.....,若无响应,则重启设备"));
        QTRY_COMPARE_WITH_TIMEOUT(Status(), QString("请求超时"), 2000);
        QVERIFY(!g_param_table_req_running.load());
        QVERIFY(g_param_table_req_timeout.load());
        // Free again.
        Click("get_normal_param");
        QCOMPARE(m_sent.size(), 2);
        QVERIFY(!g_param_table_req_timeout.load());
    }

    // A checksum pass whose table never comes must not leave the page
    // refusing every request: the watchdog still ends it.
    void checksumPassWithoutTableStillTimesOut()
    {
        m_page->SetWatchdogInterval(300);
        Click("get_normal_param");
        Post(PAGE_MSG_PARAM_TABLE_READ, 5, QString("已收到参数:127/127,CRC校验通过"));
        QCOMPARE(Status(), QString("已收到参数:127/127,CRC校验通过"));
        QVERIFY(g_param_table_req_running.load());
        QVERIFY(m_page->IsWatchdogActive());
        QTRY_COMPARE_WITH_TIMEOUT(Status(), QString("请求超时"), 2000);
        QVERIFY(!g_param_table_req_running.load());
        QCOMPARE(m_page->TableReadFlag(), 0);
    }

    void exportWritesTheGrid()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QMap<unsigned int, float> table = Table();
        ReadTable(table);
        Grid()->item(5, 0)->setText("Gyro,Bias");
        m_folderAnswer = dir.path();
        Click("btn_export_csv");
        QCOMPARE(Boxes().size(), 2);
        QCOMPARE(Boxes()[0].kind, DialogSeam::ExistingDirectory);
        QCOMPARE(Boxes()[0].title, QString("选择保存路径"));
        QCOMPARE(Boxes()[0].text, QDir::homePath());
        QCOMPARE(Boxes()[1].kind, DialogSeam::Information);
        QCOMPARE(Boxes()[1].title, QString("提示"));
        QCOMPARE(Boxes()[1].text, QString("文件导出成功"));
        QVERIFY(m_sent.isEmpty());

        const QStringList files = QDir(dir.path()).entryList(QDir::Files);
        QCOMPARE(files.size(), 1);
        QVERIFY(QRegularExpression("^\\d{4}-\\d{2}-\\d{2}-\\d{2}-\\d{2}-\\d{2}-参数表\\.csv$")
                    .match(files[0]).hasMatch());
        QFile file(dir.filePath(files[0]));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const QString text = QTextCodec::codecForName("GBK")->toUnicode(bytes);
        const QStringList lines = text.split('\n');
        QCOMPARE(lines.size(), 128);
        QCOMPARE(lines.last(), QString());
        QCOMPARE(lines[0], QString("SoftwareVersion,0.00000,软件版本号"));
        QCOMPARE(lines[5], QString("\"Gyro,Bias\",7.50000,设置静态校准时长阈值"));
        QCOMPARE(lines[19], QString("Acc_Range,28.50000,加速度计量程：0~3"));
        QCOMPARE(lines[126], QString("rev_param,189.00000,保留"));
        // GBK on disk, not UTF-8.
        QVERIFY(bytes.contains(QTextCodec::codecForName("GBK")->fromUnicode(QString("保留"))));
        QVERIFY(!bytes.contains(QString("保留").toUtf8()));
    }

    void exportCancelledOrFailing()
    {
        Click("btn_export_csv");
        QCOMPARE(Boxes().size(), 1);
        QCOMPARE(Boxes()[0].kind, DialogSeam::ExistingDirectory);

        DialogSeam::ClearRequests();
        m_folderAnswer = "/nonexistent/corvanta-folder";
        Click("btn_export_csv");
        QCOMPARE(Boxes().size(), 2);
        QCOMPARE(Boxes()[1].kind, DialogSeam::Critical);
        QCOMPARE(Boxes()[1].title, QString("提示"));
        QVERIFY2(QRegularExpression("^文件导出失败,请检查保存路径，文件打开失败：/nonexistent/corvanta-folder/"
                                    "\\d{4}(-\\d\\d){5}-参数表\\.csv（No such file or directory）$")
                     .match(Boxes()[1].text)
                     .hasMatch(),
                 qPrintable(Boxes()[1].text));
    }

    void destroyedPageFreesItsRequest()
    {
        Click("get_normal_param");
        QVERIFY(g_param_table_req_running.load());
        m_page.reset();
        QVERIFY(!g_param_table_req_running.load());
        // A page whose request already ended leaves another's flag alone.
        m_page.reset(new AllParameterWidget(nullptr));
        g_param_table_req_running = true;
        m_page.reset();
        QVERIFY(g_param_table_req_running.load());
    }
};

QTEST_MAIN(TestAllParamPage)
#include "tst_all_param_page.moc"
