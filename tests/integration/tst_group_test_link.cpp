#include <QFile>
#include <QLabel>
#include <QTemporaryDir>

#include <cstring>

#include "DeviceLinkHarness.h"
#include "commom/DialogSeam.h"
#include "manager/SettingManager.h"
#include "widgets/singleTools/ahrsGroupPage/AHRSGroupWidget.h"

namespace {

const QByteArray kConfig = "{\"Board_Version\": \"AB12\", \"Temp\": 25.0, \"Firmware_Version\": 1001,"
                           " \"Hardware_Version\": 7, \"Success_Count\": 0, \"Test_Count\": 0,"
                           " \"Config_Code\": 1, \"Imu_Code\": 2, \"Param_Code\": 4}";

QByteArray VersionFrame()
{
    QByteArray payload(78, '\0');
    payload.replace(22, 4, QByteArray("AB12", 4));
    payload[8] = 0x34; // board code 0x1234: no model board
    payload[9] = 0x12;
    return BuildDeviceFrame(FRAME_VERSION, payload);
}

QByteArray AhrsFrame(float temperature)
{
    AhrsData d{};
    d.acc_x = 0.5f;
    d.acc_y = -0.25f;
    d.acc_z = 1.0f;
    d.gyro_x = 10.0f;
    d.gyro_y = -20.0f;
    d.gyro_z = 30.0f;
    d.temperature = temperature;
    return BuildDeviceFrame(FRAME_AHRS_DATA, QByteArray(reinterpret_cast<const char*>(&d), sizeof d));
}

// One calibration record as the device publishes it; the fields the test
// reads sit at their record offset + 104 inside record 0.
QByteArray CalibFrame(uint8_t configCode)
{
    QByteArray payload(8 + 256 + 2, '\0');
    auto put = [&payload](int recordOffset, const void* data, int size) {
        std::memcpy(payload.data() + 8 + 104 + recordOffset, data, size);
    };
    const uint32_t calibFlag = 3, calibFlagH = 9;
    const uint8_t codes[3] = {2, configCode, 4};
    const uint8_t filter = 'F', hardware = 7;
    const uint64_t software = 1001;
    const uint8_t sn[12] = {0xC0, 0xFF, 0xEE, 0, 1, 2, 3, 4, 5, 6, 7, 8};
    put(44, &calibFlag, 4);
    put(48, &calibFlagH, 4);
    put(56, codes, 3);
    put(60, &filter, 1);
    put(65, &hardware, 1);
    put(104, &software, 8);
    put(112, sn, 12);
    return BuildDeviceFrame(FRAME_CALIB_PUBLISH, payload);
}

const QString kSn = "c0ffee000102030405060708";

bool IsMode(const HostFrame& f, float mode)
{
    return f.IsLong() && f.Cmd() == CMD_SET_MODE && f.F1() == mode;
}

} // namespace

class TestGroupTestLink : public QObject
{
    Q_OBJECT

    LinkHarness m_link;
    QTemporaryDir m_dir;
    QString m_oldPath;

    int CountMode(FakeDevice& device, float mode)
    {
        int n = 0;
        for (const HostFrame& f : device.frames) {
            n += IsMode(f, mode) ? 1 : 0;
        }
        return n;
    }

private slots:
    void initTestCase()
    {
        InitCorvantaResources();
        DialogSeam::SetScripted(true);
        m_link.Start();
        QVERIFY(m_dir.isValid());
        QFile f(m_dir.filePath("config.json"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(kConfig);
        f.close();
        m_oldPath = SettingManager::GetInstance()->GetAhrsGroupConfigPath();
        SettingManager::GetInstance()->SetAhrsGroupConfigPath(f.fileName());
        g_ahrsGroupOneFlag.store(1);
    }

    void cleanupTestCase()
    {
        m_link.Stop();
        SettingManager::GetInstance()->SetAhrsGroupConfigPath(m_oldPath);
        QTRY_COMPARE(AHRSGroupWidget::WaitingTasks(), 0);
    }

    void oneDeviceIsStartedJudgedAndStreamsAgain()
    {
        FakeDevice device;
        QVERIFY(m_link.Connect(device, "115200"));
        m_link.StopPolling(device);
        device.Pty().Write(VersionFrame());
        device.Pump(2000, [this]() { return !m_link.Messages(PAGE_MSG_VERSION).isEmpty(); });

        AHRSGroupWidget page;
        const QString csvPath = page.DataFolder() + "/" + kSn + ".csv";
        QFile::remove(csvPath);
        bool streaming = false;
        device.onFrame = [&](const HostFrame& f) {
            if (IsMode(f, 3)) {
                streaming = false;
                device.Pty().Write(CalibFrame(1));
            } else if (IsMode(f, 1)) {
                streaming = true;
            }
        };
        RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(PAGE_MSG_AHRS_GROUP_STARTED);
        QElapsedTimer timer;
        timer.start();
        while (CountMode(device, 1) < 2 && timer.elapsed() < 5000) {
            if (streaming) {
                device.Pty().Write(AhrsFrame(27.5f));
            }
            device.Pump(10);
        }
        QCOMPARE(CountMode(device, 1), 2);
        QCOMPARE(CountMode(device, 3), 1);
        const QByteArray streamCmd = BuildLongCommandFrame(CMD_SET_MODE, 1, 0, 0x1234, 0xABCD, 100, 200);
        const QByteArray recordCmd = BuildLongCommandFrame(CMD_SET_MODE, 3, 0, 0, 0, 0, 0);
        QCOMPARE(device.raw, streamCmd + recordCmd + streamCmd);
        QTRY_VERIFY(QFile::exists(csvPath));
        QFile csv(csvPath);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readAll(),
                 QByteArray("ax,ay,az,gx,gy,gz,calib_flag_h,calib_flag,config_fcode,ip_filter,temp,imu_fcode,"
                            "software_ver,hardware_ver,board_ver,calibparam_fcode,SN,flag\n"
                            "0.500,-0.250,1.000,10.000,-20.000,30.000,9,3,1,F,27.50,2,1001,7,AB12,4,")
                     + kSn.toLatin1() + ",\xb3\xc9\xb9\xa6\n");
        QCOMPARE(page.FailureCount(), 0);
        QFile::remove(csvPath);
        QVERIFY(m_link.Disconnect(device));
    }

    void silentDeviceGetsNoRecordRequestAndUnplugDoesNotHang()
    {
        FakeDevice device;
        QVERIFY(m_link.Connect(device, "115200"));
        m_link.StopPolling(device);
        {
            AHRSGroupWidget page;
            RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(PAGE_MSG_AHRS_GROUP_STARTED);
            device.Pump(400);
            QCOMPARE(device.raw, BuildLongCommandFrame(CMD_SET_MODE, 1, 0, 0x1234, 0xABCD, 100, 200));
            QCOMPARE(AHRSGroupWidget::WaitingTasks(), 1);
            device.Pty().CloseMaster();
            device.Pump(200);
            QCOMPARE(page.ImuTemp(), 0.0);
        }
        QTRY_COMPARE(AHRSGroupWidget::WaitingTasks(), 0);
        m_link.Disconnect(device);
    }
};

QTEST_MAIN(TestGroupTestLink)
#include "tst_group_test_link.moc"
