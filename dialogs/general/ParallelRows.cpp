#include "dialogs/general/ParallelRows.h"

#include "dialogs/general/TableTextBuffer.h"

#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

#include <cstring>
#include <memory>

ParallelRows::ParallelRows(RowFunction row, int decodeType, Writer write, int threads, int batchBytes)
    : m_row(row)
    , m_decodeType(decodeType)
    , m_write(std::move(write))
    , m_threads(threads > 0 ? threads : 1)
    , m_batchBytes(batchBytes)
{
    m_pool.setMaxThreadCount(m_threads);
    m_batch.reserve(batchBytes + 1024);
}

ParallelRows::~ParallelRows()
{
    Abandon();
}

int ParallelRows::UsefulThreads()
{
    return QThread::idealThreadCount() - 1;
}

bool ParallelRows::Add(uint32_t id, const uint8_t* payload, uint32_t length)
{
    if (length > kPayloadBufferSize) {
        length = kPayloadBufferSize;
    }
    char head[8];
    std::memcpy(head, &id, 4);
    std::memcpy(head + 4, &length, 4);
    m_batch.append(head, 8);
    m_batch.append(reinterpret_cast<const char*>(payload), static_cast<int>(length));
    if (m_batch.size() >= m_batchBytes) {
        Submit();
    }
    return !m_failed;
}

void ParallelRows::Submit()
{
    if (m_batch.isEmpty()) {
        return;
    }
    // No more batches under way than threads: every queued batch then runs
    // at once, and one waiting for its turn never blocks an earlier one.
    while (static_cast<int>(m_inFlight.size()) >= m_threads) {
        m_inFlight.front().waitForFinished();
        m_inFlight.pop_front();
    }
    m_inFlight.push_back(QtConcurrent::run(&m_pool, [this, turn = m_submitted++, batch = m_batch] {
        FormatAndWrite(turn, batch);
    }));
    m_batch = QByteArray();
    m_batch.reserve(m_batchBytes + 1024);
}

void ParallelRows::FormatAndWrite(uint64_t turn, const QByteArray& batch)
{
    // Zeroed like the decoder's own payload buffer, one for each thread;
    // each frame's bytes past its length are zeroed again before the row
    // reads them.
    thread_local std::unique_ptr<uint8_t[]> payload(new uint8_t[kPayloadBufferSize]());
    thread_local uint32_t highWater = 0;
    TableTextBuffer text;
    // Rows take two to three times the bytes of their frames.
    text.Reserve(3 * static_cast<qint64>(batch.size()));
    const char* at = batch.constData();
    const char* end = at + batch.size();
    while (at < end && !m_failed) {
        uint32_t id = 0;
        uint32_t length = 0;
        std::memcpy(&id, at, 4);
        std::memcpy(&length, at + 4, 4);
        at += 8;
        std::memcpy(payload.get(), at, length);
        at += length;
        if (highWater > length) {
            std::memset(payload.get() + length, 0, highWater - length);
        }
        highWater = length;
        m_row(text, m_decodeType, id, payload.get());
    }

    std::unique_lock<std::mutex> lock(m_turnMutex);
    m_turnChanged.wait(lock, [this, turn] { return m_turn == turn; });
    if (!m_failed && text.Size() > 0 && !m_write(QByteArray::fromRawData(text.Data(), static_cast<int>(text.Size())))) {
        m_failed = true;
    }
    ++m_turn;
    m_turnChanged.notify_all();
}

bool ParallelRows::Finish()
{
    Submit();
    for (QFuture<void>& running : m_inFlight) {
        running.waitForFinished();
    }
    m_inFlight.clear();
    return !m_failed;
}

void ParallelRows::Abandon()
{
    m_batch.clear();
    m_failed = true;
    Finish();
    m_pool.waitForDone();
}
