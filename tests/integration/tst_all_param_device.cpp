// The full parameter-table page against a pseudo-terminal that plays the
// device, with the device worker on its own thread: read, write, the
// watchdog that abandons a write, and restore.
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

#include "DeviceLinkHarness.h"

#include "commom/DialogSeam.h"
#include "widgets/singleTools/parameterConfigPage/AllParameterWidget.h"

class TestAllParamDevice : public QObject
{
    Q_OBJECT

private:
    LinkHarness m_link;
    std::unique_ptr<AllParameterWidget> m_page;
    QVariant m_questionAnswer;

    QTableWidget* Grid() { return m_page->findChild<QTableWidget*>("tableWidget"); }
    QString Status() { return m_page->findChild<QLabel*>("label_inner_param_transfer_status_2")->text(); }
    QString Value(int row) { return Grid()->item(row, 1)->text(); }
    void Click(const char* name) { m_page->findChild<QPushButton*>(name)->click(); }

    // The device's table: values that need more than five decimals, and the
    // checksum over ids 0..125 in the last entry.
    static void DeviceTable(float* values)
    {
        for (int i = 0; i < 126; ++i) {
            values[i] = float(i) * 0.25f;
        }
        values[99] = 1.25e-7f;
        values[100] = 0.123456789f;
        values[40] = -3.5f;
    }

    // Reads the device's table into the page.
    void ReadIntoPage(FakeDevice& device)
    {
        float values[126];
        DeviceTable(values);
        const uint32_t crc = crc_crc32(1, reinterpret_cast<const unsigned char*>(values), sizeof values);
        device.onFrame = [&](const HostFrame& f) {
            if (f.IsLong() && f.Cmd() == CMD_READ_PARAM_TABLE && device.Count(CMD_READ_PARAM_TABLE) == 1) {
                QByteArray all;
                for (int i = 0; i < 126; ++i) {
                    all += ParamValueFrame(values[i], static_cast<uint32_t>(i));
                }
                all += ParamValueFrameBits(crc, 126);
                device.Pty().Write(all);
            }
        };
        Click("get_normal_param");
        device.Pump(5000, [this]() { return !g_param_table_req_running.load(); });
        device.onFrame = nullptr;
    }

private slots:
    void initTestCase()
    {
        m_link.Start();
        DialogSeam::SetScripted(true);
        DialogSeam::SetHandler([this](const DialogSeam::Request& r) -> QVariant {
            return r.kind == DialogSeam::Question ? m_questionAnswer : QVariant();
        });
        g_current_action_name = QString("参数表");
    }

    void cleanupTestCase() { m_link.Stop(); }

    void init()
    {
        m_link.Clear();
        g_param_table_req_running = false;
        g_param_table_req_timeout = false;
        m_questionAnswer = QVariant();
        DialogSeam::ClearRequests();
        m_page.reset(new AllParameterWidget(nullptr));
    }

    void cleanup()
    {
        m_page.reset();
        // A failed step may leave a write running or the line open: end both
        // so that the next test starts from a closed port.
        g_param_table_req_timeout = true;
        m_link.OnWorker([this]() {
            m_link.worker->slot_close_serial_port();
            return true;
        });
        // A write the close ran inside reports its end once its wait
        // returns: wait until the worker is back in its own loop, then take
        // what it sent before the next test starts counting.
        QTRY_VERIFY_WITH_TIMEOUT(m_link.OnWorker([]() { return NonBlockWaitDepth() == 0; }), 10000);
        QCoreApplication::processEvents();
    }

    void readFillsTheGrid()
    {
        FakeDevice device;
        QVERIFY(m_link.Connect(device, "115200"));
        m_link.StopPolling(device);
        QVERIFY(g_communicate_with_serial_flag.load());
        ReadIntoPage(device);
        QCOMPARE(device.Count(CMD_READ_PARAM_TABLE), 3);
        QVERIFY(DialogSeam::Requests().isEmpty());
        QCOMPARE(Status(), QString("已收到参数:127/127,CRC校验通过"));
        QVERIFY(!g_param_table_req_running.load());
        QVERIFY(!m_page->IsWatchdogActive());
        QCOMPARE(m_page->TableReadFlag(), 1);
        QCOMPARE(Value(0), QString("0.00000"));
        QCOMPARE(Value(3), QString("0.75000"));
        QCOMPARE(Value(40), QString("-3.50000"));
        QCOMPARE(Value(99), QString("0.00000"));
        QCOMPARE(Value(100), QString("0.12346"));
        QCOMPARE(Value(125), QString("31.25000"));
        QVERIFY(Grid()->item(127, 1) == nullptr);
        QVERIFY(m_link.Disconnect(device));
    }

    void writeSendsTheEditedTable()
    {
        FakeDevice device;
        QVERIFY(m_link.Connect(device, "115200"));
        m_link.StopPolling(device);
        ReadIntoPage(device);
        QCOMPARE(m_page->TableReadFlag(), 1);
        Grid()->item(3, 1)->setText("9600");
        Grid()->item(7, 1)->setText("0");
        device.frames.clear();
        device.onFrame = [&](const HostFrame& f) {
            if (!f.IsLong()) {
                return;
            }
            if (f.Cmd() == CMD_WRITE_PARAM_TABLE_ENTRY) {
                device.Pty().Write(CmdAckFrame(static_cast<uint16_t>(f.U1())));
            } else if (f.Cmd() == CMD_VERIFY_PARAM_TABLE) {
                device.Pty().Write(CmdAckFrame(100));
            } else if (f.Cmd() == CMD_SAVE_PARAM_TABLE) {
                device.Pty().Write(CmdAckFrame(300));
            }
        };
        Click("set_normal_param");
        QCOMPARE(Status(), QString("正在设置参数....,若无响应,则重启设备"));
        device.Pump(25000, [this]() { return !g_param_table_req_running.load(); });
        QCOMPARE(Status(), QString("发送参数完毕，写入flash成功，已通过CRC校验并保存完毕"));
        QVERIFY(!m_page->IsWatchdogActive());
        QCOMPARE(m_page->TableReadFlag(), 0);

        QMap<uint32_t, HostFrame> entries;
        for (const HostFrame& f : device.frames) {
            if (f.IsLong() && f.Cmd() == CMD_WRITE_PARAM_TABLE_ENTRY && !entries.contains(f.U1())) {
                entries.insert(f.U1(), f);
            }
        }
        QCOMPARE(entries.size(), 127);
        float expected[126];
        DeviceTable(expected);
        expected[3] = 9600.0f;
        expected[7] = 0.0f;
        for (int i = 0; i < 126; ++i) {
            QCOMPARE(entries[uint32_t(i)].F1(), expected[i]);
        }
        // Untouched cells go back exactly as read, not as their five decimals.
        QCOMPARE(entries[99].F1(), 1.25e-7f);
        QCOMPARE(entries[100].F1(), 0.123456789f);
        QCOMPARE(entries[126].U32(6),
                 crc_crc32(1, reinterpret_cast<const unsigned char*>(expected), sizeof expected));
        QCOMPARE(device.Count(CMD_SAVE_PARAM_TABLE), 1);
        device.onFrame = nullptr;
        QVERIFY(m_link.Disconnect(device));
    }

    // The device acknowledges the first entries and then falls silent: the
    // watchdog ends the request 3000 ms after the last answer, and the
    // worker abandons the write without a message of its own.
    void silentDeviceTimesTheWriteOut()
    {
        FakeDevice device;
        QVERIFY(m_link.Connect(device, "115200"));
        m_link.StopPolling(device);
        ReadIntoPage(device);
        device.frames.clear();
        device.onFrame = [&](const HostFrame& f) {
            if (f.IsLong() && f.Cmd() == CMD_WRITE_PARAM_TABLE_ENTRY && f.U1() < 3) {
                device.Pty().Write(CmdAckFrame(static_cast<uint16_t>(f.U1())));
            }
        };
        Click("set_normal_param");
        device.Pump(3000, [this]() { return Status() == QString("已发送参数2/127"); });
        QCOMPARE(Status(), QString("已发送参数2/127"));
        const qint64 lastAnswer = TestClock();
        device.Pump(6000, [this]() { return Status() == QString("请求超时"); });
        QCOMPARE(Status(), QString("请求超时"));
        const qint64 waited = TestClock() - lastAnswer;
        QVERIFY2(waited >= 2900 && waited < 5500, qPrintable(QString::number(waited)));
        QVERIFY(g_param_table_req_timeout.load());
        QVERIFY(!g_param_table_req_running.load());

        // The worker gives the entry up within a resend or two and hands
        // the line back to its read handler.
        device.Pump(300);
        const int sent = device.Count(CMD_WRITE_PARAM_TABLE_ENTRY);
        device.Pump(400);
        QCOMPARE(device.Count(CMD_WRITE_PARAM_TABLE_ENTRY), sent);
        QCOMPARE(m_link.OnWorker([this]() { return m_link.worker->IsReadHandlerConnected(); }), true);
        QCOMPARE(device.Count(CMD_VERIFY_PARAM_TABLE), 0);
        for (const PageMessage& m : m_link.Messages(PAGE_MSG_PARAM_TABLE_WRITE)) {
            QCOMPARE(m.var1.toInt(), 1);
        }
        QCOMPARE(Status(), QString("请求超时"));
        device.onFrame = nullptr;
        QVERIFY(m_link.Disconnect(device));
    }

    void restoreAsksThenSends()
    {
        FakeDevice device;
        QVERIFY(m_link.Connect(device, "115200"));
        m_link.StopPolling(device);
        m_questionAnswer = int(QMessageBox::No);
        Click("set_normal_param_default");
        device.Pump(300);
        QCOMPARE(device.Count(CMD_RESTORE_DEFAULTS), 0);
        QCOMPARE(DialogSeam::Requests().size(), 1);
        QCOMPARE(DialogSeam::Requests()[0].text, QString("确定恢复默认参数吗？"));

        m_questionAnswer = int(QMessageBox::Yes);
        Click("set_normal_param_default");
        device.Pump(1000, [&]() { return device.Count(CMD_RESTORE_DEFAULTS) >= 2; });
        device.Pump(100);
        QCOMPARE(device.Count(CMD_RESTORE_DEFAULTS), 2);
        QCOMPARE(device.frames.size(), 2);
        QCOMPARE(device.frames[0].bytes, BuildLongCommandFrame(CMD_RESTORE_DEFAULTS, 0, 0, 0, 0, 0, 0));
        QCOMPARE(Status(), QString("命令发送成功"));
        QVERIFY(!g_param_table_req_running.load());
        QVERIFY(m_link.Disconnect(device));
    }
};

QTEST_MAIN(TestAllParamDevice)
#include "tst_all_param_device.moc"
