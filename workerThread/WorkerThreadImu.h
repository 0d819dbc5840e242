#ifndef WORKERTHREADIMU_H
#define WORKERTHREADIMU_H

#include <QByteArray>
#include <QMap>
#include <QSet>
#include <QVariant>

#include <cstdint>

#include "workerThread/PayloadTypes.h"
#include "workerThread/RawRecording.h"
#include "workerThread/WorkerThread.h"

#include "widgets/general/UpLoadData.h"

// The device worker: the receive side (frame parser, dispatcher onto the
// message bus, raw recordings, upgrade-reply capture) and the request side
// (bus requests turned into command frames, parameter get and set with
// acknowledgement, parameter table, hand-over to the upgrade engine).
class WorkerThreadImu : public WorkerThread
{
    Q_OBJECT
public:
    explicit WorkerThreadImu(WorkerThread* parent = nullptr);
    ~WorkerThreadImu() override;

    void ImuDataJointPack(unsigned char byte) override;
    unsigned int* GetParamIndexSendUpload() override;
    void PrintfPackStatus() override;

    // Feeds a chunk through the parser, dispatching each good frame before
    // the next byte is parsed (the same as ImuDataJointPack per byte).
    void ParseChunk(const uint8_t* data, size_t count);

    // Dispatch of the frame held by the parser.
    void DataExtraction();
    // Capture of the replies the upgrade engine waits for.
    void DataExtractionUploader();

    // Append one chunk to a recording.
    void WriteAhrsDataToFile(const QByteArray& bytes);
    void WritePeopleDataToFile(const QByteArray& bytes);
    void WriteSerialAssistantDataToFile(const QByteArray& bytes);
    void Write33IMUDataToFile(const QByteArray& bytes);

    // Last acknowledged value, as the waits see it.
    uint32_t LastAckValue() const { return m_last_ack_value; }

    // How long a parameter SET waits for its acknowledgement (10000 ms).
    // Tests of a device that refuses every SET shorten it; 0 restores it.
    static constexpr int kSetParamTimeoutMs = 10000;
    static void SetSetParamTimeoutForTest(int ms);

public slots:
    void slot_on_read_data() override;
    // Page-to-device requests (ImuMessageId).
    void SendMessageToIMU(int id, QVariant var1, QVariant var2);

private:
    // Start or stop of a recording; requestId names its kind, startId is the
    // identity a start carries (var2 of the request).
    void SwitchRecording(RawRecording& recording, int requestId, bool globalFlag, const QVariant& path,
                         const QVariant& startId);
    void AppendToRecording(RawRecording& recording, int requestId, const QByteArray& bytes);
    // Tells the log and the pages (PAGE_MSG_RECORDING_FAILED) that a
    // recording has failed and ended.
    void ReportRecordingFailure(const RawRecording& recording, int requestId);

    void HandleParamValue(const uint8_t* payload, uint32_t length);

    void OnLinkEnded() override;

    // Sends the command on the request's connection, then again every 5 ms,
    // until the device acknowledges the expected value, the time is up or
    // the connection has ended.
    bool SendUntilAcknowledged(quint64 link, const QList<QVariant>& list, uint32_t expected, int firstPauseMs,
                               qint64 timeoutMs);

    // Basic parameter requests, each on the connection it was made on.
    bool GetParam(quint64 link, uint32_t id);
    bool SetParam(quint64 link, float value, uint32_t id);
    bool SaveToFlash(quint64 link, int deadlineMs, int pollMs);
    void ReadParams(quint64 link);
    void WriteParams(quint64 link, const QVariant& var1);
    void ParamTableRequest(quint64 link, const QVariant& var1, const QVariant& var2);
    void WriteParamTable(quint64 link, const QVariant& var2);
    enum class TableWait { Acknowledged, TimedOut, Cancelled, LinkEnded };
    // Waits until the table acknowledgement equals expected.
    TableWait WaitTableAck(quint64 link, uint32_t expected, int deadlineMs);
    // Refuses a parameter request while another runs (one nests inside the
    // other's waits otherwise); true when refused.
    bool RefuseWhileParamRequestRuns(int id, int tableType);
    void SendCommandList(const QVariant& var1);
    void SendStatus(const char* text);
    void SendStatus(const QString& text, bool last);

    // Hand-over of the port to the upgrade engine (request 7).
    void SoftwareUpdata(UpLoadData data);

    VersionPayload m_version{};
    AhrsData m_ahrs_data{};
    RawRecording m_ahrs_recording;
    ImuParamData m_param_cache{};
    QSet<int> m_param_seen;
    qint64 m_param_deadline = 0;
    int m_param_expected = 6;
    uint32_t m_last_ack_value = 0;
    uint32_t m_get_failure_count = 0;
    AhrsArrayData m_array_data{};
    int m_table_read_mode = 0;
    QMap<unsigned int, float> m_table;
    uint32_t m_table_expected = 127;
    uint32_t m_table_ack = 0;
    UploadReplyBlock m_upload_reply{};
    // A basic read or write, or a table write, is running (in its waits).
    bool m_param_request_running = false;
    RawRecording m_people_recording;
    RawRecording m_assistant_recording;
    RawRecording m_imu33_recording;
};

#endif // WORKERTHREADIMU_H
