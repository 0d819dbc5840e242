#include "dialogs/general/WorkerThreadDecode.h"

#include "commom/CheckedFile.h"
#include "commom/Global.h"
#include "commom/Logger.h"
#include "dialogs/general/DecodeTables.h"
#include "workerThread/DeviceFrames.h"

#include <QDebug>
#include <QFile>
#include <QFileDevice>
#include <QFileInfo>
#include <QList>
#include <QMetaType>
#include <QThread>

#include <algorithm>
#include <cstring>

uint16_t decode_data_type = 0;
uint32_t decode_reset_index = 0;
uint32_t decode_success_count = 0;
uint32_t decode_failed_count = 0;
uint32_t crcAccum_decode = 0;

namespace {

std::atomic<bool> s_decodeRunning{false};
std::atomic<int> s_rowThreads{-1};
std::atomic<int> s_rowBatchBytes{WorkerThreadDecode::kRowBatchBytes};

constexpr int kReportEvery = 1000;
constexpr qint64 kReadChunk = 1 << 20;

QString CountsText(const char* prefix)
{
    return QString::fromUtf8(prefix) + QString::number(decode_failed_count) + QString::fromUtf8(",解码成功数：")
           + QString::number(decode_success_count);
}

// The hexadecimal text as one big-endian number, taken two digits at a time
// from its end; the lowest four bytes become a little-endian float.
float hexBytesToFloat(const QString& hex)
{
    uint8_t bytes[4] = {0, 0, 0, 0};
    int count = 0;
    for (int end = hex.size(); end >= 2 && count < 4; end -= 2) {
        bool ok = false;
        const uint value = hex.mid(end - 2, 2).toUInt(&ok, 16);
        bytes[count++] = ok ? static_cast<uint8_t>(value) : 0;
    }
    float f;
    std::memcpy(&f, bytes, sizeof f);
    return f;
}

// Percent done, truncated. A source whose size reads as 0 (a pipe) or that
// grew while it was read shows 100 rather than an out-of-range value.
int PercentOf(double done, double total)
{
    if (!(total > 0.0)) {
        return 100;
    }
    const double percent = done / total * 100.0;
    return percent >= 100.0 ? 100 : static_cast<int>(percent);
}

// A debug line that first says how many lines of its kind were held back.
QDebug DebugLine(int heldBack)
{
    QDebug line = qDebug();
    if (heldBack > 0) {
        line << QString::fromUtf8("（此前%1条同类日志未写）").arg(heldBack);
    }
    return line;
}

// A read that gave nothing is the end only when nothing went wrong. A file
// keeps the system's error; another device (a test's) that cannot read on
// before its end has failed.
bool ReadFailed(const QIODevice& source)
{
    if (const auto* file = qobject_cast<const QFileDevice*>(&source)) {
        return file->error() != QFileDevice::NoError;
    }
    return !source.atEnd();
}

uint HexNumber(const QString& hex)
{
    bool ok = false;
    const uint value = hex.toUInt(&ok, 16);
    return ok ? value : 0;
}

} // namespace

WorkerThreadDecode::WorkerThreadDecode(QObject* parent)
    : QObject(parent)
{
    qRegisterMetaType<uint8_t>("uint8_t");
    std::memset(m_payload, 0, sizeof m_payload);
    std::memset(m_bdPayload, 0, sizeof m_bdPayload);
    std::memset(m_insRecord, 0, sizeof m_insRecord);
    std::memset(m_rtkRecord, 0, sizeof m_rtkRecord);
    std::memset(m_headingRecord, 0, sizeof m_headingRecord);
}

WorkerThreadDecode::~WorkerThreadDecode() = default;

WorkerThreadDecode* WorkerThreadDecode::SetWorkerInThread()
{
    QThread* thread = new QThread();
    WorkerThreadDecode* worker = new WorkerThreadDecode();
    worker->moveToThread(thread);
    QObject::connect(thread, &QThread::finished, thread, &QThread::quit);
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    QObject::connect(worker, &WorkerThreadDecode::SignalDeleteObjAndNewNext, thread, &QThread::quit);
    QObject::connect(worker, &WorkerThreadDecode::SignalDeleteObjAndNewNext, worker, &QObject::deleteLater);
    thread->start(QThread::InheritPriority);
    return worker;
}

bool WorkerThreadDecode::IsDecodeRunning()
{
    return s_decodeRunning.load();
}

void WorkerThreadDecode::SetRowThreads(int threads, int batchBytes)
{
    s_rowThreads = threads;
    s_rowBatchBytes = batchBytes;
}

void WorkerThreadDecode::SetSourceDevice(std::unique_ptr<QIODevice> device)
{
    m_sourceDevice = std::move(device);
}

void WorkerThreadDecode::Log(uint8_t label, QString str)
{
    emit SignalLog(label, str);
}

void WorkerThreadDecode::slot_do_file_decode(QString file_to_Name, QString destination, int decode_type)
{
    bool expected = false;
    if (!s_decodeRunning.compare_exchange_strong(expected, true)) {
        // The decoder state is process-wide: a second decoding would mix
        // its counts and tables into the running one.
        Log(1, QString::fromUtf8("已有解码正在进行，请稍后再试"));
        emit SignalExitThread();
        return;
    }

    const QString fileName = QFileInfo(file_to_Name).fileName();
    const int dot = fileName.lastIndexOf('.');
    const QString baseName = dot < 0 ? fileName : fileName.left(dot);
    m_outPath = destination + "/output_" + baseName + ".txt";

    m_sourcePath = file_to_Name;
    std::unique_ptr<QIODevice> source = std::move(m_sourceDevice);
    if (!source) {
        source.reset(new QFile(file_to_Name));
    }
    // Decoding only reads the recording; a read-only recording is fine.
    if (!source->isOpen() && !source->open(QIODevice::ReadOnly)) {
        qDebug() << "打不开文件";
        // Free before the final status: the dialog may start again as soon
        // as it reads it.
        s_decodeRunning = false;
        Log(1, QString::fromUtf8("打不开文件，") + CheckedFile::OpenErrorText(file_to_Name, source->errorString()));
        emit SignalExitThread();
        return;
    }

    decode_reset_index = 0;
    decode_failed_count = 0;
    decode_success_count = 0;
    m_failed = false;
    m_failureText.clear();
    m_skippedLines = 0;

    m_out.reset();
    m_waistOut.reset();
    m_rightFootOut.reset();
    m_leftFootOut.reset();
    if (decode_type == DECODE_WAIST_FEET) {
        m_waistPath = destination + "/腰部_output_" + baseName + ".txt";
        m_rightFootPath = destination + "/右足_output_" + baseName + ".txt";
        m_leftFootPath = destination + "/左足_output_" + baseName + ".txt";
    } else {
        m_out.reset(new DecodeOutput(m_outPath));
    }
    const int threads = s_rowThreads < 0 ? ParallelRows::UsefulThreads() : s_rowThreads.load();
    const bool rowsStandAlone = decode_type == DECODE_AHRS
                                || (decode_type >= DECODE_ARRAY4 && decode_type <= DECODE_IMU33)
                                || decode_type == DECODE_BDDB_SENSOR || decode_type == DECODE_SYNC_ATTITUDE;
    m_rows.reset();
    if (rowsStandAlone && threads > 0) {
        m_rows.reset(new ParallelRows(
            &FormatRow, decode_type, [this](const QByteArray& text) { return m_out->WriteBlock(text); }, threads,
            s_rowBatchBytes));
    }

    decode_data_type = static_cast<uint16_t>(decode_type);
    LOG_INFO() << "decode_data_type: " << decode_data_type;

    if (decode_type == DECODE_CAN_LOG) {
        if (!OpenMainOutput()) {
            // Nothing was decoded: the run ends like an unreadable source.
            source->close();
            s_decodeRunning = false;
            Log(1, m_failureText);
            emit SignalExitThread();
            return;
        }
        DecodeLines(*source);
    } else {
        DecodeBytes(*source);
    }

    source->close();
    FinishOutputs();

    QString finalStatus;
    if (m_failed) {
        // A table that could not be written whole, or that holds only the
        // part of a source read before its failure, is no result: what was
        // written of it goes, and the status names the failure.
        RemoveOpenedOutputs();
        finalStatus = m_failureText;
    } else {
        ReportProgress(100);
        if (decode_success_count == 0) {
            finalStatus = QString::fromUtf8("没有解出对应帧，请确认数据文件是否正确");
        } else {
            finalStatus = CountsText("解码完成，解码误码数：");
            if (m_skippedLines > 0) {
                finalStatus += QString::fromUtf8(",跳过过长行数：") + QString::number(m_skippedLines);
            }
        }
    }
    // Free before the final status (the dialog may start again as soon as
    // it reads it) but after the shared counts were read.
    s_decodeRunning = false;
    Log(1, finalStatus);
    emit SignalExitThread();
}

bool WorkerThreadDecode::Stopped() const
{
    return m_failed || g_decode_exit.load(std::memory_order_relaxed);
}

void WorkerThreadDecode::ReportInterim()
{
    Log(0, CountsText("正在解码中..，解码误码数："));
}

void WorkerThreadDecode::DecodeBytes(QIODevice& source)
{
    // 64-bit counts: recordings of 4 GiB and more still show true progress.
    const quint64 size = static_cast<quint64>(source.size());
    quint64 n = 0;
    std::unique_ptr<char[]> buffer(new char[kReadChunk]);
    const uint8_t* data = reinterpret_cast<const uint8_t*>(buffer.get());
    while (!Stopped()) {
        const qint64 got = source.read(buffer.get(), kReadChunk);
        if (got <= 0) {
            CheckReadFailure(source);
            return;
        }
        // The bytes up to each report go to the synchroniser in one run.
        qint64 at = 0;
        while (at < got) {
            const qint64 take = std::min<qint64>(got - at, kReportEvery - static_cast<qint64>(n % kReportEvery));
            DecodeChunk(data + at, static_cast<size_t>(take));
            at += take;
            n += static_cast<quint64>(take);
            if (Stopped()) {
                return;
            }
            if (n % kReportEvery == 0) {
                ReportInterim();
                ReportProgress(PercentOf(static_cast<double>(n), static_cast<double>(size)));
                if (Stopped()) {
                    return;
                }
            }
        }
    }
}

void WorkerThreadDecode::DecodeLines(QIODevice& source)
{
    DecodeTables::CanHeader(m_out->Text());
    const quint64 size = static_cast<quint64>(source.size());
    quint64 done = 0;
    quint64 k = 0;
    if (Stopped()) {
        return;
    }
    // One line at a time, never more than the longest valid line: a longer
    // one is passed over in pieces of that size.
    std::unique_ptr<char[]> line(new char[kLongestCanLine + 1]);
    for (;;) {
        qint64 got = source.readLine(line.get(), kLongestCanLine + 1);
        if (got <= 0) {
            CheckReadFailure(source);
            return;
        }
        done += static_cast<quint64>(got);
        if (got == kLongestCanLine && line[got - 1] != '\n') {
            ++m_skippedLines;
            do {
                got = source.readLine(line.get(), kLongestCanLine + 1);
                if (got <= 0) {
                    CheckReadFailure(source);
                    return;
                }
                done += static_cast<quint64>(got);
            } while (got == kLongestCanLine && line[got - 1] != '\n');
        } else {
            CanDecode(QByteArray::fromRawData(line.get(), static_cast<int>(got)));
        }
        if (k % kReportEvery == 0) {
            ReportInterim();
            ReportProgress(PercentOf(static_cast<double>(done), static_cast<double>(size)));
        }
        ++k;
        if (Stopped()) {
            return;
        }
    }
}

void WorkerThreadDecode::ReportProgress(int percent)
{
    emit SignalDecodeProgressChanged(percent);
}

bool WorkerThreadDecode::OpenMainOutput()
{
    if (!m_out) {
        return false;
    }
    if (m_out->IsOpen()) {
        return true;
    }
    // A table of the same name from an earlier run is replaced whole, so no
    // tail of a longer old table survives behind the new rows.
    if (!m_out->Open()) {
        qDebug() << "打不开文件";
        FailOutput(*m_out);
        return false;
    }
    return true;
}

void WorkerThreadDecode::Fail(const QString& text)
{
    if (m_failed) {
        return;
    }
    m_failed = true;
    m_failureText = text;
}

void WorkerThreadDecode::FailOutput(const DecodeOutput& output)
{
    // An output that never opened keeps the decoder's own words in front;
    // either way the file and the system's reason follow.
    Fail((output.IsOpened() ? QString::fromUtf8("解码失败，") : QString::fromUtf8("打不开文件，"))
         + output.ErrorText());
}

void WorkerThreadDecode::CheckReadFailure(const QIODevice& source)
{
    if (ReadFailed(source)) {
        // A pulled stick or a bad sector: the rows so far are only a part
        // of the recording, not its table.
        Fail(QString::fromUtf8("解码失败，") + CheckedFile::ReadErrorText(m_sourcePath, source.errorString()));
    }
}

bool WorkerThreadDecode::FinishOutputs()
{
    if (m_rows) {
        // The rows still being formatted belong before the end of the table
        // (after a cancel too); after a failure they go unwritten.
        if (m_failed) {
            m_rows->Abandon();
        } else if (!m_rows->Finish()) {
            FailOutput(*m_out);
        }
        m_rows.reset();
    }
    bool ok = true;
    for (DecodeOutput* out : {m_out.get(), m_waistOut.get(), m_rightFootOut.get(), m_leftFootOut.get()}) {
        if (out && !out->Finish()) {
            FailOutput(*out);
            ok = false;
        }
    }
    return ok;
}

void WorkerThreadDecode::RemoveOpenedOutputs()
{
    for (DecodeOutput* out : {m_out.get(), m_waistOut.get(), m_rightFootOut.get(), m_leftFootOut.get()}) {
        if (out) {
            out->RemoveIfOpened();
        }
    }
}

void WorkerThreadDecode::RowWritten(DecodeOutput& output)
{
    if (!output.WriteIfFull()) {
        FailOutput(output);
    }
}

void WorkerThreadDecode::TakePayload(const uint8_t* data, uint32_t length)
{
    if (length > kPayloadBufferSize) {
        length = kPayloadBufferSize;
    }
    std::memcpy(m_payload, data, length);
    if (m_payloadHighWater > length) {
        std::memset(m_payload + length, 0, m_payloadHighWater - length);
    }
    m_payloadHighWater = length;
    m_frameLength = length;
}

void WorkerThreadDecode::TakeFrame()
{
    m_frameId = m_parser.Id();
    TakePayload(m_parser.Payload(), m_parser.Length());
    DataExtractionDecode();
    ++decode_success_count;
}

void WorkerThreadDecode::CountParserFailures(uint32_t failuresBefore)
{
    const uint32_t failures = m_parser.FailureCount() - failuresBefore;
    if (failures == 0) {
        return;
    }
    decode_failed_count += failures;
    int heldBack = 0;
    if (m_crcFailureLog.Allow(&heldBack)) {
        DebugLine(heldBack) << "失败" << m_parser.LastReceivedCrc() << m_parser.LastComputedCrc()
                            << m_parser.Length();
    }
}

void WorkerThreadDecode::ImuArrayDecode(unsigned char byte)
{
    const uint32_t failuresBefore = m_parser.FailureCount();
    const bool good = m_parser.PushByte(byte);
    crcAccum_decode = m_parser.LastComputedCrc();
    if (good) {
        TakeFrame();
    } else {
        CountParserFailures(failuresBefore);
    }
}

void WorkerThreadDecode::DecodeChunk(const uint8_t* data, size_t count)
{
    if (decode_data_type == DECODE_BDDB_SENSOR) {
        for (size_t i = 0; i < count; ++i) {
            ImuArrayDecodeQXV(data[i]);
        }
        return;
    }
    size_t used = 0;
    while (used < count) {
        const uint32_t failuresBefore = m_parser.FailureCount();
        bool ready = false;
        used += m_parser.Feed(data + used, count - used, &ready);
        crcAccum_decode = m_parser.LastComputedCrc();
        CountParserFailures(failuresBefore);
        if (ready) {
            TakeFrame();
        }
    }
}

void WorkerThreadDecode::ImuArrayDecodeQXV(unsigned char byte)
{
    enum { WaitStart, WaitDb, DbRun, Payload, CheckByte };
    switch (m_bdState) {
    case WaitStart:
        if (byte == 0xBD) {
            m_bdCheck = 0xBD;
            m_bdState = WaitDb;
        }
        break;
    case WaitDb:
    case DbRun:
        if (byte == 0xDB) {
            m_bdCheck ^= 0xDB;
            m_bdState = DbRun;
        } else if (byte == 0x0A && m_bdState == DbRun) {
            m_bdCheck ^= 0x0A;
            m_bdIndex = 0;
            m_bdState = Payload;
        } else if (byte == 0xBD) {
            // A start byte before the payload begins a new frame rather than
            // hiding the frame it starts.
            m_bdCheck = 0xBD;
            m_bdState = WaitDb;
        } else {
            int heldBack = 0;
            if (m_bdState == WaitDb && m_bdSyncLog.Allow(&heldBack)) {
                DebugLine(heldBack) << "sync failed";
            }
            m_bdState = WaitStart;
        }
        break;
    case Payload:
        m_bdPayload[m_bdIndex++] = byte;
        m_bdCheck ^= byte;
        if (m_bdIndex == kBdDbPayloadSize) {
            m_bdIndex = 0;
            m_bdState = CheckByte;
        }
        break;
    case CheckByte:
    default:
        m_bdState = WaitStart;
        if (byte == m_bdCheck) {
            TakePayload(m_bdPayload, kBdDbPayloadSize);
            DataExtractionDecode();
            ++decode_success_count;
        } else {
            ++decode_failed_count;
            int heldBack = 0;
            if (m_bdFailureLog.Allow(&heldBack)) {
                DebugLine(heldBack) << "失败" << byte << m_bdCheck;
            }
        }
        break;
    }
    crcAccum_decode = m_bdCheck;
}

void WorkerThreadDecode::DataExtractionDecode()
{
    if (m_failed) {
        return;
    }
    const int type = decode_data_type;
    if (decode_reset_index == 0) {
        if (type != DECODE_WAIST_FEET && type != DECODE_CAN_LOG && type <= DECODE_SYNC_ATTITUDE) {
            if (!OpenMainOutput()) {
                return;
            }
            WriteHeader(m_out->Text());
        }
        ++decode_reset_index;
        // The frame that starts the table is a sample like every other:
        // it gets its row below the header.
    }
    WriteRow();
}

void WorkerThreadDecode::WriteHeader(TableTextBuffer& out)
{
    switch (decode_data_type) {
    case DECODE_AHRS:
        if (m_frameId == FRAME_GNSS_UWB_DATA) {
            DecodeTables::GnssUwbHeader(out);
        } else {
            DecodeTables::AhrsHeader(out);
        }
        break;
    case DECODE_INS_RTK: DecodeTables::InsRtkHeader(out); break;
    case DECODE_ARRAY4:
    case DECODE_ARRAY8:
    case DECODE_ARRAY32: DecodeTables::ArrayHeader(out, decode_data_type); break;
    case DECODE_IMU33: DecodeTables::Imu33Header(out); break;
    case DECODE_BDDB_SENSOR: DecodeTables::SensorHeader(out); break;
    case DECODE_SYNC_ATTITUDE: DecodeTables::SyncAttitudeHeader(out); break;
    default: break;
    }
}

void WorkerThreadDecode::WriteRow()
{
    const int type = decode_data_type;
    if (type == DECODE_WAIST_FEET) {
        switch (m_frameId) {
        case FRAME_WAIST_NAV: WriteFootRow(m_waistOut, m_waistPath); break;
        case FRAME_LEFT_FOOT_NAV: WriteFootRow(m_leftFootOut, m_leftFootPath); break;
        case FRAME_RIGHT_FOOT_NAV: WriteFootRow(m_rightFootOut, m_rightFootPath); break;
        default: break;
        }
        return;
    }
    if (m_rows) {
        // The table is open: a failed open stops the decoding before rows.
        if (!m_rows->Add(m_frameId, m_payload, m_frameLength)) {
            // The error text is complete: the failed write set it before
            // it raised the flag that Add returned.
            FailOutput(*m_out);
        }
        return;
    }
    if (!m_out || !m_out->IsOpen()) {
        return;
    }
    if (type == DECODE_INS_RTK) {
        switch (m_frameId) {
        case FRAME_INS_DATA: std::memcpy(m_insRecord, m_payload, sizeof m_insRecord); break;
        case FRAME_RTK_DATA: std::memcpy(m_rtkRecord, m_payload, sizeof m_rtkRecord); break;
        case FRAME_RTK_HEADING: std::memcpy(m_headingRecord, m_payload, sizeof m_headingRecord); break;
        default: return;
        }
        DataHandleAndOut();
        return;
    }

    FormatRow(m_out->Text(), type, m_frameId, m_payload);
    RowWritten(*m_out);
}

void WorkerThreadDecode::FormatRow(TableTextBuffer& out, int decodeType, uint32_t id, const uint8_t* payload)
{
    switch (decodeType) {
    case DECODE_SYNC_ATTITUDE: DecodeTables::SyncAttitudeRow(out, payload); return;
    case DECODE_BDDB_SENSOR: DecodeTables::SensorRow(out, payload); return;
    default: break;
    }
    switch (id) {
    case FRAME_IMU33_DATA:
        if (decodeType == DECODE_IMU33) {
            DecodeTables::Imu33Row(out, payload);
        }
        break;
    case FRAME_AHRS_DATA:
    case FRAME_AHRS_MAG_DATA:
        if (decodeType == DECODE_AHRS) {
            DecodeTables::AhrsRow(out, payload, id == FRAME_AHRS_MAG_DATA);
        }
        break;
    case FRAME_GNSS_UWB_DATA:
        if (decodeType == DECODE_AHRS) {
            DecodeTables::GnssUwbRow(out, payload);
        }
        break;
    case FRAME_CALIB_PUBLISH_ALT:
    case FRAME_CALIB_PUBLISH:
        if (decodeType == DECODE_ARRAY4) {
            DecodeTables::ArrayRow(out, payload, decodeType);
        }
        break;
    case FRAME_ARRAY8_RECORDS:
        if (decodeType == DECODE_ARRAY8) {
            DecodeTables::ArrayRow(out, payload, decodeType);
        }
        break;
    case FRAME_ARRAY32_RECORDS:
        if (decodeType == DECODE_ARRAY32) {
            DecodeTables::ArrayRow(out, payload, decodeType);
        }
        break;
    default: break;
    }
}

void WorkerThreadDecode::WriteFootRow(std::unique_ptr<DecodeOutput>& output, const QString& path)
{
    if (!output) {
        output.reset(new DecodeOutput(path));
        if (!output->Open()) {
            LOG_DEBUG() << "打不开文件";
            FailOutput(*output);
            return;
        }
        DecodeTables::FootHeader(output->Text());
    }
    if (!output->IsOpen()) {
        return;
    }
    DecodeTables::FootRow(output->Text(), m_payload);
    RowWritten(*output);
}

void WorkerThreadDecode::DataHandleAndOut()
{
    if (!m_out || !m_out->IsOpen()) {
        return;
    }
    DecodeTables::InsRtkRow(m_out->Text(), m_insRecord, m_rtkRecord, m_headingRecord);
    RowWritten(*m_out);
}

void WorkerThreadDecode::CanDecode(const QByteArray& line)
{
    // The line end belongs to no field; left on, it would spoil the last
    // data byte of a line that ends right after it.
    QByteArray trimmed = line;
    while (trimmed.endsWith('\n') || trimmed.endsWith('\r')) {
        trimmed.chop(1);
    }
    const QList<QByteArray> tokens = trimmed.split(' ');
    if (tokens.size() < 14) {
        return;
    }
    bool ok = false;
    int id = tokens[2].toInt(&ok, 10);
    if (!ok) {
        id = 0;
    }
    auto tok = [&tokens](int i) { return QString::fromLatin1(tokens[i]); };
    const float f1 = hexBytesToFloat(tok(9) + tok(8) + tok(7) + tok(6));
    const float f2 = hexBytesToFloat(tok(13) + tok(12) + tok(11) + tok(10));
    const double t = HexNumber(tok(11) + tok(10)) / 100.0;
    const uint index = HexNumber(tok(13) + tok(12));

    const bool inSequenceIds = id >= 65 && id <= 69;
    if (m_canState == 0) {
        m_canValues.clear();
        if (id == 65) {
            m_canValues["roll"] = f1;
            m_canValues["pitch"] = f2;
            m_canState = 1;
        }
        return;
    }
    if (!inSequenceIds) {
        return;
    }
    if (id != 65 + static_cast<int>(m_canState)) {
        ++decode_failed_count;
        m_canState = 0;
        return;
    }
    switch (m_canState) {
    case 1:
        m_canValues["yaw"] = f1;
        m_canValues["gx"] = f2;
        m_canState = 2;
        return;
    case 2:
        m_canValues["gy"] = f1;
        m_canValues["gz"] = f2;
        m_canState = 3;
        return;
    case 3:
        m_canValues["ax"] = f1;
        m_canValues["ay"] = f2;
        m_canState = 4;
        return;
    default:
        break;
    }
    ++decode_success_count;
    m_canValues["az"] = f1;
    m_canValues["temp"] = static_cast<float>(t);
    m_canValues["index"] = static_cast<float>(index);
    if (m_out && m_out->IsOpen()) {
        TableTextBuffer& out = m_out->Text();
        out << m_canValues.value("index");
        for (const char* name : {"ax", "ay", "az", "gx", "gy", "gz", "roll", "pitch", "yaw"}) {
            out << ',' << QString::number(static_cast<double>(m_canValues.value(name)), 'f', 8);
        }
        out << ',' << m_canValues.value("temp") << '\n';
        RowWritten(*m_out);
    }
    m_canValues.clear();
    m_canState = 0;
}
