// The bus between pages and the device worker: queued across threads,
// direct on the GUI thread, and the status-text routing.
#include "commom/StartUp.h"
#include "manager/NotifyMsgManager.h"
#include "manager/RecvDataHandleManager.h"
#include "manager/SendDataHandleManager.h"
#include "widgets/general/UpLoadData.h"
#include "workerThread/PayloadTypes.h"

#include <QSemaphore>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <cstddef>
#include <vector>

namespace {

// Stands for the device worker: records what reaches it and on which thread.
class BusReceiver : public QObject
{
    Q_OBJECT
public:
    std::atomic<int> count{0};
    QList<QVariant> received;
    QThread* thread = nullptr;

public slots:
    void slot_request(int id, QVariant var1, QVariant var2)
    {
        Q_UNUSED(id);
        received.append(var1);
        received.append(var2);
        thread = QThread::currentThread();
        ++count;
        // Answer from the worker thread, as the device worker does.
        RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(id + 1000, var1, var2);
    }
};

// Stands for the device worker: sends every request straight back as an
// answer from its own thread.
class EchoWorker : public QObject
{
    Q_OBJECT
public slots:
    void slot_request(int id, QVariant var1, QVariant var2)
    {
        RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(id, var1, var2);
    }
};

// A thread standing for the device worker: what is posted to it runs there.
// Stops (after the work posted) when it goes out of scope.
class SenderThread
{
public:
    SenderThread()
    {
        m_sender->moveToThread(&m_thread);
        QObject::connect(&m_thread, &QThread::finished, m_sender, &QObject::deleteLater);
        m_thread.start();
    }
    ~SenderThread()
    {
        m_thread.quit();
        m_thread.wait();
    }
    template <typename Work>
    void Post(Work work)
    {
        QMetaObject::invokeMethod(m_sender, std::move(work));
    }

private:
    QThread m_thread;
    QObject* m_sender = new QObject;
};

} // namespace

class TestMessageBus : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        RegsiterMetaType();
        SendDataHandleManager::GetInstance();
        RecvDataHandleManager::GetInstance();
        NotifyMsgManager::GetInstance();
    }

    void requestsRunQueuedOnWorkerAndAnswersComeBackQueued()
    {
        QThread thread;
        auto* receiver = new BusReceiver;
        receiver->moveToThread(&thread);
        connect(&thread, &QThread::finished, receiver, &QObject::deleteLater);
        connect(SendDataHandleManager::GetInstance(), &SendDataHandleManager::SignalSendMessageToIMU,
                receiver, &BusReceiver::slot_request);
        thread.start();

        QList<int> answers;
        QThread* answerThread = nullptr;
        auto connection = connect(RecvDataHandleManager::GetInstance(),
                                  &RecvDataHandleManager::SignalSendMessageToPage, this,
                                  [&](int id, QVariant, QVariant) {
                                      answers.append(id);
                                      answerThread = QThread::currentThread();
                                  });

        QVariantList list{5, 0, 0, 0, 0, 0, 0};
        SendDataHandleManager::GetInstance()->SendMessageToIMU(9, list, QVariant());
        SendDataHandleManager::GetInstance()->SendMessageToIMU(4, QString("/tmp/a.dat"), QVariant());
        // The caller never waits: nothing has run yet on this thread.
        QVERIFY(answers.isEmpty());
        QTRY_COMPARE(answers, (QList<int>{1009, 1004}));
        QCOMPARE(answerThread, QThread::currentThread());
        QCOMPARE(receiver->received.at(0).toList(), list);
        QCOMPARE(receiver->received.at(2).toString(), QString("/tmp/a.dat"));
        QVERIFY(receiver->thread == &thread);

        disconnect(connection);
        thread.quit();
        thread.wait();
    }

    void everyPayloadTypeCrossesThreads()
    {
        const QList<QByteArray> names = {
            "AhrsData", "ImuParamData", "RecvOneParameterPayload", "AhrsArrayData", "ImuParamPayload",
            "CmdAckPayload", "ImuTestParamUart", "RetestParamData", "UpLoadData",
            "UpgradeProcessInformation", "ArrayImuI2cPayloadCalibPublish", "PeopleNavPayload",
            "FirmwareInfoPayload", "SerialState", "ParamTableReqType"};

        QThread thread;
        auto* worker = new EchoWorker;
        worker->moveToThread(&thread);
        connect(&thread, &QThread::finished, worker, &QObject::deleteLater);
        auto toWorker = connect(SendDataHandleManager::GetInstance(), &SendDataHandleManager::SignalSendMessageToIMU,
                                worker, &EchoWorker::slot_request);
        thread.start();

        QList<QVariant> answers;
        auto toPage = connect(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalSendMessageToPage,
                              this, [&](int, QVariant var1, QVariant) { answers.append(var1); });

        for (int i = 0; i < names.size(); ++i) {
            const int type = QMetaType::type(names.at(i));
            QVERIFY2(type != QMetaType::UnknownType, names.at(i).constData());
            // Built in zeroed storage: a default-constructed plain record or
            // enum would otherwise hold indeterminate bytes.
            std::vector<std::max_align_t> storage(
                static_cast<size_t>(QMetaType::sizeOf(type)) / sizeof(std::max_align_t) + 1);
            void* value = QMetaType::construct(type, storage.data(), nullptr);
            SendDataHandleManager::GetInstance()->SendMessageToIMU(i, QVariant(type, value));
            QMetaType::destruct(type, value);
        }
        // Values with content come back equal, not just of the right type.
        AhrsData sample{};
        sample.MCU_TIME = 123456;
        sample.yaw = -91.25f;
        sample.temperature = 36.5f;
        SendDataHandleManager::GetInstance()->SendMessageToIMU(100, QVariant::fromValue(sample));
        UpLoadData upload;
        upload.mode = 1;
        upload.baud = 921600;
        upload.path = QString("/tmp/固件.firmware");
        SendDataHandleManager::GetInstance()->SendMessageToIMU(101, QVariant::fromValue(upload));
        SendDataHandleManager::GetInstance()->SendMessageToIMU(102, QVariant::fromValue(SerialState(2)));

        QTRY_COMPARE(answers.size(), names.size() + 3);
        for (int i = 0; i < names.size(); ++i) {
            QCOMPARE(QByteArray(answers.at(i).typeName()), names.at(i));
        }
        const AhrsData back = answers.at(names.size()).value<AhrsData>();
        QCOMPARE(back.MCU_TIME, 123456u);
        QCOMPARE(back.yaw, -91.25f);
        QCOMPARE(back.temperature, 36.5f);
        const UpLoadData uploadBack = answers.at(names.size() + 1).value<UpLoadData>();
        QCOMPARE(uploadBack.mode, 1u);
        QCOMPARE(uploadBack.baud, 921600u);
        QCOMPARE(uploadBack.path, QString("/tmp/固件.firmware"));
        QCOMPARE(static_cast<int>(answers.at(names.size() + 2).value<SerialState>()), 2);

        disconnect(toWorker);
        disconnect(toPage);
        thread.quit();
        thread.wait();
    }

    void pageToPageMessagesAreHandledBeforeSendReturns()
    {
        int seen = 0;
        auto connection = connect(RecvDataHandleManager::GetInstance(),
                                  &RecvDataHandleManager::SignalSendMessageToPage, this,
                                  [&](int id, QVariant, QVariant) { seen = id; });
        RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(812);
        QCOMPARE(seen, 812);
        disconnect(connection);
    }

    void resetAndCloseAreRelayed()
    {
        QSignalSpy reset(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalResetPage);
        QSignalSpy close(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalCloseApp);
        RecvDataHandleManager::GetInstance()->ResetPage();
        RecvDataHandleManager::GetInstance()->CloseApp();
        QCOMPARE(reset.count(), 1);
        QCOMPARE(close.count(), 1);
    }

    // A stream of samples with other answers among them, and, after each
    // of those answers, a status sent by another road (as the worker ends a
    // parameter read): every answer arrives, in order, and no status
    // overtakes the answer sent before it, while samples come in runs.
    void samplesComeInRunsAndAnswersKeepTheirTurn()
    {
        QList<int> seen; // GUI thread only
        QSemaphore batchSeen; // the worker goes on once the pages have its last batch
        QObject listener; // ends the connection with this frame
        connect(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalSendMessageToPage, &listener,
                [&seen, &batchSeen](int id, QVariant var1, QVariant) {
                    seen.append(id == 802 ? var1.toInt() : -id);
                    if (id == 802 && var1.toInt() % 50 == 49) {
                        batchSeen.release();
                    }
                });
        QObject statusRoad;
        SenderThread worker; // declared last: stops before the lists go
        QList<int> expected;
        for (int i = 0; i < 3000; ++i) {
            expected.append(i);
            if (i % 500 == 499) {
                expected << -804 << -1;
            }
        }
        // Batches of 50 samples, each sent while the runs of the one before
        // are going on, so the answers land in the middle of a run.
        worker.Post([&statusRoad, &seen, &batchSeen] {
            for (int i = 0; i < 3000; ++i) {
                RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(802, i);
                if (i % 500 == 499) {
                    RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(804, QVariant());
                    QMetaObject::invokeMethod(&statusRoad, [&seen] { seen.append(-1); }, Qt::QueuedConnection);
                }
                if (i % 50 == 49 && !batchSeen.tryAcquire(1, 10000)) {
                    return; // the pages never got it: the comparison below fails
                }
            }
        });
        QTRY_COMPARE_WITH_TIMEOUT(seen.size(), expected.size(), 10000);
        QCOMPARE(seen, expected);
    }

    // Samples waiting for their run reach the pages at once when a page
    // asks (the terminal shows what came before its echo).
    void waitingSamplesAreDeliveredOnRequest()
    {
        int seen = 0;
        QObject listener;
        connect(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalSendMessageToPage, &listener,
                [&seen](int id, QVariant, QVariant) { seen += id == 817 ? 1 : 0; });
        SenderThread worker;
        auto send = [&worker](int count) {
            QSemaphore done;
            worker.Post([count, &done] {
                for (int i = 0; i < count; ++i) {
                    RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(817, QByteArray("x"));
                }
                done.release();
            });
            done.acquire(); // this thread runs no events meanwhile
        };
        send(1); // the first after a quiet spell goes at once and starts the runs
        QTRY_COMPARE(seen, 1);
        send(10);
        QCOMPARE(seen, 1); // waiting for their run
        RecvDataHandleManager::GetInstance()->DeliverWaitingSamples();
        QCOMPARE(seen, 11);
    }

    void statusTextsGoOnlyToTheirPage()
    {
        NotifyMsgManager* notify = NotifyMsgManager::GetInstance();
        QSignalSpy config(notify, &NotifyMsgManager::LogMsgParamConfig);
        QSignalSpy table(notify, &NotifyMsgManager::LogMsgParamTable);
        notify->SendLogMsg("ImuParameterConfigWidget", NotifyMsgManager::PAGE_TYPE_STATUS, "状态：设置滤波器成功");
        notify->SendLogMsg("AllParameterWidget", NotifyMsgManager::PAGE_TYPE_STATUS, "x");
        notify->SendLogMsg("imuParameterConfigWidget", NotifyMsgManager::PAGE_TYPE_STATUS, "y");
        notify->SendLogMsg("ImuParameterConfigWidget", NotifyMsgManager::PAGE_TYPE_STATUS,
                           static_cast<const char*>(nullptr));
        QCOMPARE(config.count(), 2);
        QCOMPARE(table.count(), 1);
        QCOMPARE(config.at(0).at(1).toStringList(), QStringList{"状态：设置滤波器成功"});
        QCOMPARE(config.at(1).at(1).toStringList(), QStringList{QString()});
        QCOMPARE(config.at(0).at(0).toInt(), 0);
    }
};

QTEST_MAIN(TestMessageBus)
#include "tst_message_bus.moc"
