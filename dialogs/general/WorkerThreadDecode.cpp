#include "dialogs/general/WorkerThreadDecode.h"

#include "commom/Global.h"
#include "commom/Logger.h"
#include "dialogs/general/DecodeTables.h"
#include "workerThread/DeviceFrames.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QMetaType>
#include <QTextCodec>
#include <QTextStream>
#include <QThread>

#include <cstring>

uint16_t decode_data_type = 0;
uint32_t decode_reset_index = 0;
uint32_t decode_success_count = 0;
uint32_t decode_failed_count = 0;
uint32_t crcAccum_decode = 0;

namespace {

std::atomic<bool> s_decodeRunning{false};

constexpr int kReportEvery = 1000;
constexpr qint64 kReadChunk = 64 * 1024;

// Tables are UTF-8 whatever the locale of the process happens to be.
void PrepareStream(QTextStream& out)
{
    out.setCodec("UTF-8");
}

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
int PercentOf(float done, float total)
{
    if (!(total > 0.0f)) {
        return 100;
    }
    const float percent = done / total * 100.0f;
    return percent >= 100.0f ? 100 : static_cast<int>(percent);
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
    std::memset(m_gnssUwbRecord, 0, sizeof m_gnssUwbRecord);
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

    QFile source(file_to_Name);
    // Decoding only reads the recording; a read-only recording is fine.
    if (!source.open(QIODevice::ReadOnly)) {
        qDebug() << "打不开文件";
        // Free before the final status: the dialog may start again as soon
        // as it reads it.
        s_decodeRunning = false;
        Log(1, QString::fromUtf8("打不开文件"));
        emit SignalExitThread();
        return;
    }

    decode_reset_index = 0;
    decode_failed_count = 0;
    decode_success_count = 0;
    m_outputFailed = false;

    if (decode_type == DECODE_WAIST_FEET) {
        m_waistPath = destination + "/腰部_output_" + baseName + ".txt";
        m_rightFootPath = destination + "/右足_output_" + baseName + ".txt";
        m_leftFootPath = destination + "/左足_output_" + baseName + ".txt";
    } else {
        m_outFile.reset(new QFile(m_outPath));
    }

    decode_data_type = static_cast<uint16_t>(decode_type);
    LOG_INFO() << "decode_data_type: " << decode_data_type;

    if (decode_type == DECODE_CAN_LOG) {
        if (!OpenMainOutput()) {
            // Nothing was decoded: the run ends like an unreadable source.
            source.close();
            s_decodeRunning = false;
            Log(1, QString::fromUtf8("打不开文件"));
            emit SignalExitThread();
            return;
        }
        DecodeLines(source);
    } else {
        DecodeBytes(source);
    }

    ReportProgress(100);
    source.close();
    CloseOutputs();

    QString finalStatus;
    if (decode_success_count == 0) {
        finalStatus = QString::fromUtf8("没有解出对应帧，请确认数据文件是否正确");
    } else if (m_outputFailed) {
        // Frames were found but their table could not be written: that is
        // not a finished decoding.
        finalStatus = CountsText("打不开文件，解码误码数：");
    } else {
        finalStatus = CountsText("解码完成，解码误码数：");
    }
    // Free before the final status (the dialog may start again as soon as
    // it reads it) but after the shared counts were read.
    s_decodeRunning = false;
    Log(1, finalStatus);
    emit SignalExitThread();
}

void WorkerThreadDecode::DecodeBytes(QFile& source)
{
    // 64-bit counts: recordings of 4 GiB and more still show true progress.
    const quint64 size = static_cast<quint64>(source.size());
    const bool bdDb = decode_data_type == DECODE_BDDB_SENSOR;
    quint64 n = 0;
    QByteArray chunk;
    while (!g_decode_exit.load(std::memory_order_relaxed)) {
        chunk = source.read(kReadChunk);
        if (chunk.isEmpty()) {
            // End of file; a read error ends the decoding the same way.
            return;
        }
        const uint8_t* data = reinterpret_cast<const uint8_t*>(chunk.constData());
        for (int i = 0; i < chunk.size(); ++i) {
            if (g_decode_exit.load(std::memory_order_relaxed)) {
                return;
            }
            ++n;
            if (bdDb) {
                ImuArrayDecodeQXV(data[i]);
            } else {
                ImuArrayDecode(data[i]);
            }
            if (n % kReportEvery == 0) {
                FlushOutputs();
                Log(0, CountsText("正在解码中..，解码误码数："));
                ReportProgress(PercentOf(static_cast<float>(n), static_cast<float>(size)));
            }
        }
    }
}

void WorkerThreadDecode::DecodeLines(QFile& source)
{
    {
        QTextStream out(m_outFile.get());
        PrepareStream(out);
        DecodeTables::CanHeader(out);
    }
    const uint32_t size = static_cast<uint32_t>(source.size());
    uint32_t k = 0;
    if (g_decode_exit) {
        return;
    }
    for (;;) {
        const QByteArray line = source.readLine();
        if (line.isEmpty()) {
            return;
        }
        CanDecode(line);
        if (k % kReportEvery == 0) {
            FlushOutputs();
            Log(0, CountsText("正在解码中..，解码误码数："));
            // Progress guesses 45 bytes per line, so it may run ahead of
            // the file; it never shows more than done.
            ReportProgress(PercentOf(static_cast<float>(k + 1) * 45.0f, static_cast<float>(size)));
        }
        ++k;
        if (g_decode_exit) {
            return;
        }
    }
}

void WorkerThreadDecode::ReportProgress(int percent)
{
    emit SignalDecodeProgressChanged(percent);
}

void WorkerThreadDecode::FlushOutputs()
{
    for (QFile* f : {m_outFile.get(), m_waistFile.get(), m_rightFootFile.get(), m_leftFootFile.get()}) {
        if (f && f->isOpen()) {
            f->flush();
        }
    }
}

void WorkerThreadDecode::CloseOutputs()
{
    for (QFile* f : {m_outFile.get(), m_waistFile.get(), m_rightFootFile.get(), m_leftFootFile.get()}) {
        if (f) {
            f->close();
        }
    }
}

bool WorkerThreadDecode::OpenMainOutput()
{
    if (!m_outFile) {
        return false;
    }
    if (m_outFile->isOpen()) {
        return true;
    }
    // A table of the same name from an earlier run is replaced whole, so no
    // tail of a longer old table survives behind the new rows.
    if (!m_outFile->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qDebug() << "打不开文件";
        return false;
    }
    return true;
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

void WorkerThreadDecode::ImuArrayDecode(unsigned char byte)
{
    const uint32_t failuresBefore = m_parser.FailureCount();
    const uint8_t stateBefore = m_parser.State();
    const bool good = m_parser.PushByte(byte);
    crcAccum_decode = m_parser.LastComputedCrc();
    if (stateBefore == 1 && m_parser.State() == 0) {
        qDebug() << "sync failed";
    } else if (stateBefore == 5 && m_parser.State() == 0) {
        qDebug() << "length failed";
    }
    if (good) {
        m_frameId = m_parser.Id();
        TakePayload(m_parser.Payload(), m_parser.Length());
        DataExtractionDecode();
        ++decode_success_count;
    } else if (m_parser.FailureCount() != failuresBefore) {
        ++decode_failed_count;
        qDebug() << "失败" << m_parser.LastReceivedCrc() << m_parser.LastComputedCrc() << m_parser.Length();
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
            if (m_bdState == WaitDb) {
                qDebug() << "sync failed";
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
            qDebug() << "失败" << byte << m_bdCheck;
        }
        break;
    }
    crcAccum_decode = m_bdCheck;
}

void WorkerThreadDecode::DataExtractionDecode()
{
    const int type = decode_data_type;
    if (decode_reset_index == 0) {
        if (type != DECODE_WAIST_FEET && type != DECODE_CAN_LOG && type <= DECODE_SYNC_ATTITUDE) {
            if (!OpenMainOutput()) {
                // Tried again at the next good frame.
                m_outputFailed = true;
                return;
            }
            m_outputFailed = false;
            QTextStream out(m_outFile.get());
            PrepareStream(out);
            WriteHeader(out);
        }
        ++decode_reset_index;
        // The frame that starts the table is a sample like every other:
        // it gets its row below the header.
    }
    WriteRow();
}

void WorkerThreadDecode::WriteHeader(QTextStream& out)
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
        case FRAME_WAIST_NAV: WriteFootRow(m_waistFile, m_waistPath); break;
        case FRAME_LEFT_FOOT_NAV: WriteFootRow(m_leftFootFile, m_leftFootPath); break;
        case FRAME_RIGHT_FOOT_NAV: WriteFootRow(m_rightFootFile, m_rightFootPath); break;
        default: break;
        }
        return;
    }
    if (!m_outFile || !m_outFile->isOpen()) {
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

    QTextStream out(m_outFile.get());
    PrepareStream(out);
    switch (type) {
    case DECODE_SYNC_ATTITUDE: DecodeTables::SyncAttitudeRow(out, m_payload); return;
    case DECODE_BDDB_SENSOR: DecodeTables::SensorRow(out, m_payload); return;
    default: break;
    }
    switch (m_frameId) {
    case FRAME_IMU33_DATA:
        if (type == DECODE_IMU33) {
            DecodeTables::Imu33Row(out, m_payload);
        }
        break;
    case FRAME_AHRS_DATA:
    case FRAME_AHRS_MAG_DATA:
        if (type == DECODE_AHRS) {
            DecodeTables::AhrsRow(out, m_payload, m_frameId == FRAME_AHRS_MAG_DATA);
        }
        break;
    case FRAME_GNSS_UWB_DATA:
        if (type == DECODE_AHRS) {
            std::memcpy(m_gnssUwbRecord, m_payload, sizeof m_gnssUwbRecord);
            DecodeTables::GnssUwbRow(out, m_gnssUwbRecord);
        }
        break;
    case FRAME_CALIB_PUBLISH_ALT:
    case FRAME_CALIB_PUBLISH:
        if (type == DECODE_ARRAY4) {
            DecodeTables::ArrayRow(out, m_payload, type);
        }
        break;
    case FRAME_ARRAY8_RECORDS:
        if (type == DECODE_ARRAY8) {
            DecodeTables::ArrayRow(out, m_payload, type);
        }
        break;
    case FRAME_ARRAY32_RECORDS:
        if (type == DECODE_ARRAY32) {
            DecodeTables::ArrayRow(out, m_payload, type);
        }
        break;
    default: break;
    }
}

void WorkerThreadDecode::WriteFootRow(std::unique_ptr<QFile>& file, const QString& path)
{
    if (!file) {
        file.reset(new QFile(path));
        if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            LOG_DEBUG() << "打不开文件";
            m_outputFailed = true;
            return;
        }
        QTextStream out(file.get());
        PrepareStream(out);
        DecodeTables::FootHeader(out);
    }
    if (!file->isOpen()) {
        return;
    }
    QTextStream out(file.get());
    PrepareStream(out);
    DecodeTables::FootRow(out, m_payload);
}

void WorkerThreadDecode::DataHandleAndOut()
{
    if (!m_outFile || !m_outFile->isOpen()) {
        return;
    }
    QTextStream out(m_outFile.get());
    PrepareStream(out);
    DecodeTables::InsRtkRow(out, m_insRecord, m_rtkRecord, m_headingRecord);
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
    if (m_outFile && m_outFile->isOpen()) {
        QTextStream out(m_outFile.get());
        PrepareStream(out);
        out << m_canValues.value("index");
        for (const char* name : {"ax", "ay", "az", "gx", "gy", "gz", "roll", "pitch", "yaw"}) {
            out << ',' << QString::number(static_cast<double>(m_canValues.value(name)), 'f', 8);
        }
        out << ',' << m_canValues.value("temp") << '\n';
    }
    m_canValues.clear();
    m_canState = 0;
}
