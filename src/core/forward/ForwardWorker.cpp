#include "core/forward/ForwardWorker.h"

#include "core/forward/Rfc5424Writer.h"

namespace {
using namespace std::chrono_literals;
constexpr std::size_t kMemoryBytes = 4 * 1024 * 1024;    // beyond this the backlog goes to disk
constexpr std::size_t kIncomingBytes = 64 * 1024 * 1024; // a stalled worker's safety bound
constexpr std::size_t kBatchBytes = 256 * 1024;
constexpr int kConnectTimeoutMs = 3000;
constexpr int kSendWaitMs = 100;
constexpr auto kIdleWait = 200ms;
constexpr auto kLongestBackoff = 60s;
constexpr auto kSaveInterval = 1s;
} // namespace

ForwardWorker::ForwardWorker(ForwardTarget target, std::string queueDirectory, Reporter report)
    : m_target(std::move(target)), m_report(std::move(report)),
      m_datagrams(m_target.transport == ForwardTarget::Transport::Udp),
      m_disk(m_datagrams ? std::string() : std::move(queueDirectory), m_target.queueBytes),
      m_connection(m_target), m_thread([this] { Run(); }) {}

void ForwardWorker::Stop() {
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_stop = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void ForwardWorker::Offer(ForwardMessage message) {
    bool wasEmpty = false;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        wasEmpty = m_incoming.empty();
        m_incomingBytes += message.received.size();
        m_incoming.push_back(std::move(message));
        if (m_incomingBytes > kIncomingBytes) {
            m_incomingBytes -= m_incoming.front().received.size();
            m_incoming.erase(m_incoming.begin());
            ++m_droppedIncoming;
        }
    }
    if (wasEmpty)
        m_wake.notify_one();
}

ForwardWorker::Counts ForwardWorker::Status() const {
    std::lock_guard<std::mutex> hold(m_lock);
    Counts counts = m_counts;
    counts.queued += m_incoming.size();
    counts.dropped += m_droppedIncoming;
    return counts;
}

void ForwardWorker::Tell(const std::string& text) {
    if (m_report)
        m_report("Forward " + m_target.Address() + ": " + text);
}

std::string ForwardWorker::Frame(const ForwardMessage& message) const {
    std::string text =
        m_target.format == ForwardTarget::Format::Rfc5424 ? Rfc5424Text(message) : message.received;
    if (m_datagrams)
        return text;
    // Octet counting: the length, a blank, the message.
    return std::to_string(text.size()) + ' ' + text;
}

bool ForwardWorker::HasWorkReady() const {
    return m_connection.IsOpen() &&
           (!m_pending.empty() || !m_memory.empty() || (m_diskUsable && m_disk.Unread() > 0));
}

bool ForwardWorker::TakeIncoming() {
    m_taken.clear();
    {
        std::unique_lock<std::mutex> hold(m_lock);
        if (m_incoming.empty() && !m_stop && !HasWorkReady())
            m_wake.wait_for(hold, kIdleWait);
        m_taken.swap(m_incoming);
        m_incomingBytes = 0;
    }
    for (const ForwardMessage& message : m_taken) {
        if (!m_target.Sends(message.severity))
            continue;
        m_memory.push_back(Frame(message));
        m_memoryBytes += m_memory.back().size();
    }
    std::lock_guard<std::mutex> hold(m_lock);
    return !m_stop;
}

void ForwardWorker::Run() {
    std::string error;
    if (!m_datagrams) {
        m_diskUsable = m_disk.Open(error);
        if (!m_diskUsable)
            Tell("the disk queue cannot be used, messages wait in memory only: " + error);
    }
    while (TakeIncoming()) {
        if (!m_connection.IsOpen())
            TryConnect();
        if (m_datagrams)
            SendDatagrams();
        else {
            if (!m_connection.IsOpen() || m_memoryBytes > kMemoryBytes)
                Spill();
            if (m_connection.IsOpen())
                SendPending();
        }
        PublishCounts();
        if (Clock::now() - m_lastSave >= kSaveInterval)
            SaveState();
    }
    if (!m_datagrams)
        Spill();
    SaveState();
    PublishCounts();
}

void ForwardWorker::TryConnect() {
    if (Clock::now() < m_nextAttempt)
        return;
    std::string error;
    if (m_connection.Open(kConnectTimeoutMs, error)) {
        m_backoff = 1s;
        if (m_toldDown)
            Tell("connected again");
        m_toldDown = false;
        return;
    }
    if (!m_toldDown)
        Tell("cannot connect, retrying (" + error + ")");
    m_toldDown = true;
    m_nextAttempt = Clock::now() + m_backoff;
    m_backoff = std::min<std::chrono::seconds>(m_backoff * 2, kLongestBackoff);
}

void ForwardWorker::SendDatagrams() {
    std::string error;
    for (const std::string& datagram : m_memory)
        if (m_connection.Send(datagram.data(), datagram.size(), kSendWaitMs, error) <= 0)
            ++m_datagramsDropped; // UDP: a datagram there is no room for is lost
    m_memory.clear();
    m_memoryBytes = 0;
}

// Moves the memory backlog to the end of the disk queue; frames on their way that came from
// memory go first, as already read, so they stay ahead of it.
void ForwardWorker::Spill() {
    if (!m_diskUsable)
        return;
    if (!m_pendingOnDisk && !m_pending.empty()) {
        std::vector<std::string> frames;
        for (const Pending& pending : m_pending)
            frames.push_back(pending.frame);
        const std::vector<DiskQueue::Position> ends = m_disk.AppendAsRead(frames);
        for (std::size_t i = 0; i < m_pending.size(); ++i)
            m_pending[i].end = ends[i];
        m_pendingOnDisk = true;
    }
    if (m_memory.empty())
        return;
    m_disk.Append(std::vector<std::string>(std::make_move_iterator(m_memory.begin()),
                                           std::make_move_iterator(m_memory.end())));
    m_memory.clear();
    m_memoryBytes = 0;
}

void ForwardWorker::Refill() {
    if (m_diskUsable && m_disk.Unread() > 0) {
        std::vector<DiskQueue::Record> records;
        m_disk.Read(records, kBatchBytes);
        for (DiskQueue::Record& record : records)
            m_pending.push_back({std::move(record.bytes), record.end});
        m_pendingOnDisk = true;
        return;
    }
    std::size_t taken = 0;
    while (!m_memory.empty() && taken < kBatchBytes) {
        taken += m_memory.front().size();
        m_memoryBytes -= m_memory.front().size();
        m_pending.push_back({std::move(m_memory.front()), {}});
        m_memory.pop_front();
    }
    m_pendingOnDisk = false;
}

void ForwardWorker::SendPending() {
    if (m_pending.empty())
        Refill();
    if (m_pending.empty())
        return;
    if (m_out.empty()) {
        // A collector that closed while we had nothing to say is noticed before the bytes go
        // out, so none of them fall into a closed connection.
        if (!m_connection.StillOpen()) {
            LoseConnection("closed by the collector");
            return;
        }
        for (const Pending& pending : m_pending) {
            m_out += pending.frame;
            m_outEnds.push_back(m_out.size());
        }
    }
    std::string error;
    const long sent =
        m_connection.Send(m_out.data() + m_outSent, m_out.size() - m_outSent, kSendWaitMs, error);
    if (sent < 0) {
        LoseConnection(error);
        return;
    }
    m_outSent += static_cast<std::size_t>(sent);
    Acknowledge(m_outSent);
}

void ForwardWorker::Acknowledge(std::size_t sentBytes) {
    while (m_outAcknowledged < m_outEnds.size() && m_outEnds[m_outAcknowledged] <= sentBytes) {
        if (m_pendingOnDisk)
            m_disk.Acknowledge(m_pending.front().end);
        m_pending.pop_front();
        ++m_outAcknowledged;
    }
    if (m_outAcknowledged == m_outEnds.size()) {
        m_out.clear();
        m_outEnds.clear();
        m_outSent = m_outAcknowledged = 0;
    }
}

// The frames on their way are sent again, whole, on the next connection.
void ForwardWorker::LoseConnection(const std::string& reason) {
    m_connection.Close();
    m_out.clear();
    m_outEnds.clear();
    m_outSent = m_outAcknowledged = 0;
    m_backoff = 1s;
    m_nextAttempt = Clock::now() + m_backoff;
    if (!m_toldDown)
        Tell("connection lost, retrying (" + reason + ")");
    m_toldDown = true;
}

void ForwardWorker::SaveState() {
    if (m_diskUsable)
        m_disk.SaveHead();
    m_lastSave = Clock::now();
}

void ForwardWorker::PublishCounts() {
    Counts counts;
    counts.queued = m_memory.size() + m_pending.size() + (m_diskUsable ? m_disk.Unread() : 0);
    const std::uint64_t diskDropped = m_diskUsable ? m_disk.Dropped() : 0;
    if (diskDropped > 0 && !m_toldDropping) {
        Tell("the disk queue is full (" + std::to_string(m_target.queueBytes >> 20) +
             " MB): the oldest queued messages are dropped");
        m_toldDropping = true;
    }
    counts.dropped = diskDropped + m_datagramsDropped;
    std::lock_guard<std::mutex> hold(m_lock);
    m_counts = counts;
}
