#include <QStorageInfo>
#include <QTemporaryDir>
#include <QtTest>

#include "widgets/singleTools/AhrsSeries.h"
#include "widgets/singleTools/PacketLossChecker.h"
#include "widgets/singleTools/RecordSpaceCheck.h"
#include "widgets/singleTools/TimeSyncReadout.h"

class TestAhrsLogic : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { RecordSpaceCheck::SetQuery({}); }

    // --- packet loss -------------------------------------------------------

    void lossBounds_data()
    {
        QTest::addColumn<uint32_t>("step");
        QTest::addColumn<bool>("lost");
        QTest::newRow("9799") << 9799u << true;
        QTest::newRow("9800") << 9800u << false;
        QTest::newRow("10000") << 10000u << false;
        QTest::newRow("10200") << 10200u << false;
        QTest::newRow("10201") << 10201u << true;
        QTest::newRow("0 (repeat)") << 0u << true;
        QTest::newRow("backwards") << uint32_t(-10000) << true;
    }
    void lossBounds()
    {
        QFETCH(uint32_t, step);
        QFETCH(bool, lost);
        // Once in the middle of the range and once straddling the 32-bit wrap.
        for (uint32_t start : {uint32_t(5000000), uint32_t(0xFFFFFFFFu - 3000)}) {
            PacketLossChecker checker;
            checker.SetEnabled(true);
            checker.SetFrameIntervalMs(10);
            QVERIFY(!checker.Feed(start));
            QCOMPARE(checker.Feed(start + step), lost);
            QCOMPARE(checker.Count(), lost ? 1u : 0u);
        }
    }

    void lossFirstSampleAndDisabled()
    {
        PacketLossChecker checker;
        checker.SetFrameIntervalMs(10);
        // Off: nothing is counted but the stamp is still followed.
        QVERIFY(!checker.Feed(100000));
        QVERIFY(!checker.Feed(999999));
        QCOMPARE(checker.LastMcuTime(), 999999u);
        checker.SetEnabled(true);
        QVERIFY(!checker.Feed(999999 + 10000));
        QVERIFY(checker.Feed(999999 + 10000 + 30000)); // three samples missing: one count
        QCOMPARE(checker.Count(), 1u);
        checker.ResetCount();
        QCOMPARE(checker.Count(), 0u);

        PacketLossChecker fresh;
        fresh.SetEnabled(true);
        QVERIFY(!fresh.Feed(123456789)); // the first sample after building is never counted
    }

    void lossIntervalClamped()
    {
        PacketLossChecker checker;
        checker.SetEnabled(true);
        checker.SetFrameIntervalMs(0);
        QCOMPARE(checker.FrameIntervalMs(), 1);
        checker.SetFrameIntervalMs(5000000);
        QCOMPARE(checker.FrameIntervalMs(), 1000);
        checker.Feed(1);
        QVERIFY(!checker.Feed(1 + 1000000));
    }

    // --- TIME_SYNC ---------------------------------------------------------

    void beijingTime()
    {
        QCOMPARE(TimeSyncReadout::MsToBeijingTimeString(0), QString("1970-01-01 08:00:00.000 (UTC+8)"));
        QCOMPARE(TimeSyncReadout::MsToBeijingTimeString(86400000ul - 1),
                 QString("1970-01-02 07:59:59.999 (UTC+8)"));
        QCOMPARE(TimeSyncReadout::MsToBeijingTimeString(4294967295ul),
                 QString("1970-02-20 01:02:47.295 (UTC+8)"));
    }

    void timeSyncSteps()
    {
        TimeSyncReadout readout;
        QCOMPARE(readout.Update(0), QString("TIME_SYNC：1970-01-01 08:00:00.000 (UTC+8)"));
        QCOMPARE(readout.Update(1000), QString("TIME_SYNC：1970-01-01 08:00:01.000 (UTC+8)"));
        QCOMPARE(readout.Update(2001), QString("TIME_SYNC：N/A"));
        QCOMPARE(readout.Update(2201), QString("TIME_SYNC：1970-01-01 08:00:02.201 (UTC+8)"));
        QCOMPARE(readout.Update(2200), QString("TIME_SYNC：N/A")); // backwards
        QCOMPARE(readout.LastSyncTime(), uint64_t(2200));
        TimeSyncReadout late;
        QCOMPARE(late.Update(5000000), QString("TIME_SYNC：N/A"));
    }

    // --- series ------------------------------------------------------------

    void seriesCap()
    {
        AhrsSeries s;
        for (int i = 0; i < 600; ++i) {
            s.DropOldestWhenFull();
            s.Append(i, i * 2.0);
        }
        QCOMPARE(s.count, SERIES_POINTS_MAX);
        QCOMPARE(s.keys.size(), int(SERIES_POINTS_MAX));
        QCOMPARE(s.keys.first(), 100.0);
        QCOMPARE(s.values.last(), 1198.0);
        s.DropOldestWhenFull(); // full but not growing: one point fewer
        QCOMPARE(s.count, SERIES_POINTS_MAX - 1);
        QCOMPARE(s.keys.size(), int(SERIES_POINTS_MAX - 1));
        s.Clear();
        QCOMPARE(s.count, 0u);
        QVERIFY(s.keys.isEmpty() && s.values.isEmpty());
    }

    // --- free space ----------------------------------------------------------

    void spaceLimitExact()
    {
        QString askedFolder;
        int64_t available = RecordSpaceCheck::kMinFreeBytes;
        RecordSpaceCheck::SetQuery([&](const QString& folder) {
            askedFolder = folder;
            VolumeSpace v;
            v.valid = true;
            v.rootPath = "/data";
            v.availableBytes = available;
            return v;
        });
        auto r = RecordSpaceCheck::Check("/data/run/rec.dat");
        QCOMPARE(askedFolder, QString("/data/run"));
        QVERIFY(r.allowed);
        QVERIFY(r.message.isEmpty());

        available = RecordSpaceCheck::kMinFreeBytes - 1;
        r = RecordSpaceCheck::Check("/data/run/rec.dat");
        QVERIFY(!r.allowed);
        QCOMPARE(r.volumeRoot, QString("/data"));
        QCOMPARE(r.message, QString("当前磁盘/data剩余可用容量小于20GB，请清理磁盘"));
        QCOMPARE(RecordSpaceCheck::kMinFreeBytes, int64_t(21474836480));
    }

    void spaceInvalidVolumeAllows()
    {
        RecordSpaceCheck::SetQuery([](const QString&) { return VolumeSpace(); });
        const auto r = RecordSpaceCheck::Check("/nowhere/x.dat");
        QVERIFY(r.allowed);
        QVERIFY(!r.volumeValid);
    }

    void spaceRealVolumeIsTheFoldersVolume()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const VolumeSpace v = RecordSpaceCheck::QueryVolume(dir.path());
        QVERIFY(v.valid);
        QCOMPARE(v.rootPath, QStorageInfo(dir.path()).rootPath());
        QVERIFY(dir.path().startsWith(v.rootPath));
        const auto r = RecordSpaceCheck::Check(dir.path() + "/a.dat");
        QVERIFY(r.volumeValid);
        QCOMPARE(r.volumeRoot, v.rootPath);
    }
};

QTEST_GUILESS_MAIN(TestAhrsLogic)
#include "tst_ahrs_logic.moc"
