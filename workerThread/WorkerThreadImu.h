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

public slots:
    void slot_on_read_data() override;
    // Page-to-device requests (ImuMessageId).
    void SendMessageToIMU(int id, QVariant var1, QVariant var2);

private:
    // Start or stop of a recording; requestId names its kind.
    void SwitchRecording(RawRecording& recording, int requestId, bool globalFlag, const QVariant& path);
    void AppendToRecording(RawRecording& recording, int requestId, const QByteArray& bytes);
    // Tells the log and the pages (PAGE_MSG_RECORDING_FAILED) that a
    // recording has failed and ended.
    void ReportRecordingFailure(const RawRecording& recording, int requestId);

    void HandleParamValue(const uint8_t* payload, uint32_t length);

    // Sends the command, then again every 5 ms, until the device acknowledges
    // the expected value or the time is up.
    bool SendUntilAcknowledged(const QList<QVariant>& list, uint32_t expected, int firstPauseMs,
                               qint64 timeoutMs);

    // Basic parameter requests.
    bool GetParam(uint32_t id);
    bool SetParam(float value, uint32_t id);
    bool SaveToFlash(int deadlineMs, int pollMs);
    void ReadParams();
    void WriteParams(const QVariant& var1);
    void ParamTableRequest(const QVariant& var1, const QVariant& var2);
    void WriteParamTable(const QVariant& var2);
    // Waits until the table acknowledgement equals expected. Returns 1 when
    // it did, 0 when the deadline passed, -1 when the page timed the request
    // out.
    int WaitTableAck(uint32_t expected, int deadlineMs);
    void SendCommandList(const QVariant& var1);
    void SendStatus(const char* text);

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
    RawRecording m_people_recording;
    RawRecording m_assistant_recording;
    RawRecording m_imu33_recording;
};

#endif // WORKERTHREADIMU_H
