#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/forward/Connection.h"
#include "core/forward/DiskQueue.h"
#include "core/forward/ForwardMessage.h"
#include "core/forward/ForwardTarget.h"

// Passes the messages offered for one target on to its collector, on a thread of its own, so
// that the thread that offers them never waits for the network or the disk. Messages wait in
// memory while the connection keeps up and go to the disk queue while it does not (and when
// the worker stops), and leave in the order they were offered.
class ForwardWorker {
public:
    struct Counts {
        std::uint64_t queued = 0;  // offered and not yet handed to the connection
        std::uint64_t dropped = 0; // dropped at the queue's bound
    };
    // Told on the worker thread, once each time something changes: a connection failed or
    // came back, the queue began dropping.
    using Reporter = std::function<void(const std::string&)>;

    ForwardWorker(ForwardTarget target, std::string queueDirectory, Reporter report);
    ~ForwardWorker() { Stop(); }
    // Ends the thread; what was not sent stays in the disk queue. Status() stays readable.
    void Stop();
    ForwardWorker(const ForwardWorker&) = delete;
    ForwardWorker& operator=(const ForwardWorker&) = delete;

    void Offer(ForwardMessage message);
    Counts Status() const;
    const ForwardTarget& Target() const { return m_target; }

private:
    using Clock = std::chrono::steady_clock;
    struct Pending {
        std::string frame;
        DiskQueue::Position end; // meaningful when the frame came from the disk queue
    };

    void Run();
    bool TakeIncoming(); // false once the worker is asked to stop
    std::string Frame(const ForwardMessage& message) const;
    void SendDatagrams();
    void TryConnect();
    void Spill();
    void Refill();
    void SendPending();
    void Acknowledge(std::size_t sentBytes);
    void LoseConnection(const std::string& reason);
    void SaveState();
    void Tell(const std::string& text);
    void PublishCounts();
    bool HasWorkReady() const;

    const ForwardTarget m_target;
    const Reporter m_report;
    const bool m_datagrams;

    // Shared with the offering thread.
    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::vector<ForwardMessage> m_incoming;
    std::size_t m_incomingBytes = 0;
    std::uint64_t m_droppedIncoming = 0;
    Counts m_counts;
    bool m_stop = false;

    // The worker thread's own.
    std::vector<ForwardMessage> m_taken;
    DiskQueue m_disk;
    bool m_diskUsable = false;
    std::deque<std::string> m_memory; // after everything in the disk queue
    std::size_t m_memoryBytes = 0;
    std::deque<Pending> m_pending; // on their way, before everything else
    bool m_pendingOnDisk = false;
    std::string m_out; // the pending frames as one run of bytes
    std::vector<std::size_t> m_outEnds;
    std::size_t m_outSent = 0;
    std::size_t m_outAcknowledged = 0; // records of m_out already acknowledged
    Connection m_connection;
    Clock::time_point m_nextAttempt{};
    std::chrono::seconds m_backoff{1};
    bool m_toldDown = false;
    bool m_toldDropping = false;
    std::uint64_t m_datagramsDropped = 0;
    Clock::time_point m_lastSave{};
    std::thread m_thread; // last: started once everything above is ready
};
