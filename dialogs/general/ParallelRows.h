#ifndef PARALLELROWS_H
#define PARALLELROWS_H

#include <QByteArray>
#include <QFuture>
#include <QThreadPool>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

class TableTextBuffer;

// Formats the rows of frames whose row depends on nothing but the frame
// itself on threads of its own, a batch of frames per task, and writes the
// texts in frame order from those threads. Formatting and writing are most
// of a decoding's work; the synchroniser stays on the decoding thread.
class ParallelRows
{
public:
    // Appends the row of one frame (nothing for a frame without a row). The
    // payload reads as zero past the frame's length.
    using RowFunction = void (*)(TableTextBuffer& out, int decodeType, uint32_t id, const uint8_t* payload);
    // Writes one batch's text; called in frame order, one call at a time,
    // from the formatting threads. False stops all further writing.
    using Writer = std::function<bool(const QByteArray& text)>;

    static constexpr uint32_t kPayloadBufferSize = 100000;

    ParallelRows(RowFunction row, int decodeType, Writer write, int threads, int batchBytes);
    ~ParallelRows();
    ParallelRows(const ParallelRows&) = delete;
    ParallelRows& operator=(const ParallelRows&) = delete;

    // Threads worth using beside the decoding thread: none on one core.
    static int UsefulThreads();

    // Queues a frame; waits while every thread has a batch. False once a
    // write has failed.
    bool Add(uint32_t id, const uint8_t* payload, uint32_t length);
    // Formats and writes what is queued; false when any write failed.
    bool Finish();
    // Drops what is queued and waits for the batches under way.
    void Abandon();

private:
    void Submit();
    void FormatAndWrite(uint64_t turn, const QByteArray& batch);

    RowFunction m_row;
    int m_decodeType;
    Writer m_write;
    int m_threads;
    int m_batchBytes;
    QThreadPool m_pool;
    QByteArray m_batch; // records: u32 id, u32 length, payload
    std::deque<QFuture<void>> m_inFlight;
    uint64_t m_submitted = 0;
    // Batches write in the order they were queued: each waits for its turn.
    std::mutex m_turnMutex;
    std::condition_variable m_turnChanged;
    uint64_t m_turn = 0;
    std::atomic<bool> m_failed{false};
};

#endif // PARALLELROWS_H
