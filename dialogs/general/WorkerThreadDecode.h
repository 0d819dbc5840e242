#ifndef WORKERTHREADDECODE_H
#define WORKERTHREADDECODE_H

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>

#include "commom/ThrottledLog.h"
#include "dialogs/general/DecodeOutput.h"
#include "dialogs/general/ParallelRows.h"
#include "workerThread/FrameParser.h"

class QIODevice;

// Decoder state shared by the synchronisers and the table writer. One
// decoding runs at a time in the whole process (see IsDecodeRunning).
extern uint16_t decode_data_type;
extern uint32_t decode_reset_index;
extern uint32_t decode_success_count;
extern uint32_t decode_failed_count;
extern uint32_t crcAccum_decode;

// Decode types: which synchroniser reads the source and which table is written.
enum DecodeType : int
{
    DECODE_AHRS = 0,
    DECODE_INS_RTK = 1,
    DECODE_ARRAY4 = 2,
    DECODE_ARRAY8 = 3,
    DECODE_ARRAY32 = 4,
    DECODE_IMU33 = 5,
    DECODE_WAIST_FEET = 6,
    DECODE_BDDB_SENSOR = 7,
    DECODE_SYNC_ATTITUDE = 8,
    DECODE_CAN_LOG = 9,
};

// Frame ids that only recordings carry; the live link does not handle them.
enum DecodeFrameId : uint32_t
{
    FRAME_AHRS_MAG_DATA = 3,
    FRAME_INS_DATA = 81,
    FRAME_RTK_DATA = 82,
    FRAME_RTK_HEADING = 83,
    FRAME_GNSS_UWB_DATA = 265,
    FRAME_WAIST_NAV = 768,
    FRAME_LEFT_FOOT_NAV = 769,
    FRAME_RIGHT_FOOT_NAV = 770,
    FRAME_ARRAY32_RECORDS = 46772,
    FRAME_ARRAY8_RECORDS = 46773,
};

// Turns one recorded file into text tables. Lives on a thread of its own;
// slot_do_file_decode runs the whole decoding in one go and then asks the
// thread to quit. Tests may call the slot directly.
class WorkerThreadDecode : public QObject
{
    Q_OBJECT
public:
    static constexpr uint32_t kPayloadBufferSize = 100000;
    static constexpr int kBdDbPayloadSize = 30;
    // A CAN log line longer than this (line end included) is no log line:
    // it is skipped without being held whole.
    static constexpr int kLongestCanLine = 4096;

    explicit WorkerThreadDecode(QObject* parent = nullptr);
    ~WorkerThreadDecode() override;

    // A worker on a started thread of its own that goes away with
    // SignalDeleteObjAndNewNext.
    static WorkerThreadDecode* SetWorkerInThread();

    // True from the start of a decoding to its final status.
    static bool IsDecodeRunning();

    // Threads that format rows beside the decoding thread (-1: one less
    // than the cores) and the payload bytes of one batch of frames.
    static void SetRowThreads(int threads, int batchBytes = kRowBatchBytes);
    static constexpr int kRowBatchBytes = 256 * 1024;

    // The row of one frame for the decode types whose rows stand on their
    // own (0, 2, 3, 4, 5, 7, 8); the payload reads as zero past its length.
    static void FormatRow(TableTextBuffer& out, int decodeType, uint32_t id, const uint8_t* payload);

    void Log(uint8_t label, QString str);

    // Byte synchronisers: device frames and the short BD DB frame.
    void ImuArrayDecode(unsigned char byte);
    void ImuArrayDecodeQXV(unsigned char byte);
    // The synchroniser of the decode type over a run of bytes; the same
    // frames, counts and rows as one call per byte.
    void DecodeChunk(const uint8_t* data, size_t count);
    // One line of a CAN text log.
    void CanDecode(const QByteArray& line);
    // Table writer, once per frame whose check passed.
    void DataExtractionDecode();
    // INS/RTK row from the three stored records.
    void DataHandleAndOut();
    // Writes what the tables still hold and closes them; false when any
    // table could not be written whole.
    bool FinishOutputs();
    // True once the source could not be read or a table could not be
    // opened or written: the decoding stops.
    bool Failed() const { return m_failed; }

    // The next decoding reads its source from this device instead of
    // opening the file by its path, which still names the source in the
    // status. Lets a test hand over a source whose reads fail part-way.
    void SetSourceDevice(std::unique_ptr<QIODevice> device);

public slots:
    void slot_do_file_decode(QString file_to_Name, QString destination, int decode_type);

signals:
    void SignalDecodeProgressChanged(int percent);
    void SignalLog(uint8_t label, QString str);
    void SignalExitThread();
    void SignalDeleteObjAndNewNext();

private:
    void DecodeBytes(QIODevice& source);
    void DecodeLines(QIODevice& source);
    bool Stopped() const;
    void ReportProgress(int percent);
    void ReportInterim();
    bool OpenMainOutput();
    // Record the first failure, of the source or of a table; the decoding
    // stops and its status is the failure's text.
    void Fail(const QString& text);
    void FailOutput(const DecodeOutput& output);
    // A read gave nothing: the end of the source, or a failure that must
    // not pass for it.
    void CheckReadFailure(const QIODevice& source);
    void RemoveOpenedOutputs();
    void WriteHeader(TableTextBuffer& out);
    void WriteRow();
    void WriteFootRow(std::unique_ptr<DecodeOutput>& output, const QString& path);
    void RowWritten(DecodeOutput& output);
    void TakeFrame();
    void CountParserFailures(uint32_t failuresBefore);
    // Takes the payload of a good frame into m_payload; bytes past its
    // length read as zero, never as what an earlier frame left there.
    void TakePayload(const uint8_t* data, uint32_t length);

    std::unique_ptr<DecodeOutput> m_out;
    std::unique_ptr<ParallelRows> m_rows;
    QString m_outPath;
    std::unique_ptr<DecodeOutput> m_waistOut;
    std::unique_ptr<DecodeOutput> m_rightFootOut;
    std::unique_ptr<DecodeOutput> m_leftFootOut;
    QString m_waistPath;
    QString m_rightFootPath;
    QString m_leftFootPath;
    std::unique_ptr<QIODevice> m_sourceDevice;
    QString m_sourcePath;
    bool m_failed = false;
    QString m_failureText;
    quint64 m_skippedLines = 0;
    // Diagnostics of broken frames, at most one line a second each.
    ThrottledLog m_crcFailureLog;
    ThrottledLog m_bdSyncLog;
    ThrottledLog m_bdFailureLog;

    FrameParser m_parser;
    uint32_t m_frameId = 0;
    uint32_t m_frameLength = 0;
    uint32_t m_payloadHighWater = 0;
    uint8_t m_payload[kPayloadBufferSize];

    uint8_t m_bdState = 0;
    uint32_t m_bdIndex = 0;
    uint8_t m_bdCheck = 0;
    uint8_t m_bdPayload[kBdDbPayloadSize];

    uint32_t m_canState = 0;
    QMap<QString, float> m_canValues;

    uint8_t m_insRecord[86];
    uint8_t m_rtkRecord[59];
    uint8_t m_headingRecord[24];
};

#endif // WORKERTHREADDECODE_H
