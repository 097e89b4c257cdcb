#include "core/forward/DiskQueue.h"

#include <algorithm>
#include <cinttypes>
#include <filesystem>
#include <system_error>

#include "core/platform/ProgramDir.h"

namespace {
namespace fs = std::filesystem;
// Numbers start far from 0 so that they sort by value as text of equal length.
constexpr std::uint64_t kFirstSegment = 1000000000;
constexpr std::uint64_t kMaxSegmentBytes = 8 * 1024 * 1024;
constexpr std::uint64_t kMinSegmentBytes = 64 * 1024;
constexpr std::uint32_t kMaxRecord = 64 * 1024 * 1024;
constexpr const char* kSegmentSuffix = ".seg";

void PutLength(unsigned char out[4], std::uint32_t length) {
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<unsigned char>(length >> (8 * i));
}

std::uint32_t GetLength(const unsigned char in[4]) {
    std::uint32_t length = 0;
    for (int i = 3; i >= 0; --i)
        length = length << 8 | in[i];
    return length;
}

// A record's length, or false at the end of the file or of what was written whole.
bool ReadLength(std::FILE* file, std::uint32_t& length) {
    unsigned char header[4];
    if (std::fread(header, 1, 4, file) != 4)
        return false;
    length = GetLength(header);
    return length <= kMaxRecord;
}

bool ParseSegmentName(const fs::path& path, std::uint64_t& number) {
    if (path.extension() != kSegmentSuffix)
        return false;
    const std::string stem = path.stem().string();
    if (stem.empty() ||
        !std::all_of(stem.begin(), stem.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    number = std::stoull(stem);
    return true;
}
} // namespace

DiskQueue::DiskQueue(std::string directory, std::uint64_t boundBytes)
    : m_directory(std::move(directory)), m_boundBytes(boundBytes),
      m_segmentBytes(std::clamp(boundBytes / 16, kMinSegmentBytes, kMaxSegmentBytes)) {
    if (!m_directory.empty() && m_directory.back() != DirectorySeparator())
        m_directory += DirectorySeparator();
}

DiskQueue::~DiskQueue() {
    SaveHead();
    CloseFiles();
}

std::string DiskQueue::SegmentPath(std::uint64_t number) const {
    return m_directory + std::to_string(number) + kSegmentSuffix;
}

std::string DiskQueue::HeadPath() const {
    return m_directory + "head";
}

bool DiskQueue::Open(std::string& error) {
    std::error_code failure;
    fs::create_directories(fs::path(m_directory), failure);
    if (failure || !fs::is_directory(fs::path(m_directory), failure)) {
        error = m_directory + ": " + (failure ? failure.message() : "not a directory");
        return false;
    }
    if (!LoadSegments(error))
        return false;
    LoadHead();
    return true;
}

bool DiskQueue::LoadSegments(std::string& error) {
    std::vector<std::uint64_t> numbers;
    std::error_code failure;
    for (const auto& entry : fs::directory_iterator(fs::path(m_directory), failure)) {
        std::uint64_t number = 0;
        if (ParseSegmentName(entry.path(), number))
            numbers.push_back(number);
    }
    if (failure) {
        error = m_directory + ": " + failure.message();
        return false;
    }
    std::sort(numbers.begin(), numbers.end());
    for (std::uint64_t number : numbers) {
        // Numbers are consecutive; a gap can only come from someone else's hand.
        if (!m_segments.empty() && number != m_segments.back().number + 1)
            m_segments.clear();
        m_segments.push_back(ScanSegment(number, UINT64_MAX, true));
    }
    return true;
}

DiskQueue::Segment DiskQueue::ScanSegment(std::uint64_t number, std::uint64_t limit, bool repair) {
    Segment segment{number, 0, 0};
    std::error_code failure;
    const std::uint64_t fileSize = fs::file_size(fs::path(SegmentPath(number)), failure);
    std::FILE* file = failure ? nullptr : std::fopen(SegmentPath(number).c_str(), "rb");
    if (!file)
        return segment;
    std::uint32_t length = 0;
    while (segment.size < limit && ReadLength(file, length) &&
           segment.size + 4 + length <= fileSize &&
           std::fseek(file, static_cast<long>(length), SEEK_CUR) == 0) {
        segment.size += 4 + length;
        ++segment.records;
    }
    std::fclose(file);
    if (repair && fileSize != segment.size)
        fs::resize_file(fs::path(SegmentPath(number)), segment.size, failure);
    return segment;
}

void DiskQueue::LoadHead() {
    std::uint64_t segment = 0;
    std::uint64_t offset = 0;
    if (std::FILE* file = std::fopen(HeadPath().c_str(), "rb")) {
        if (std::fscanf(file, "%" SCNu64 " %" SCNu64, &segment, &offset) != 2)
            segment = offset = 0;
        std::fclose(file);
    }
    if (m_segments.empty())
        return;
    segment = std::clamp(segment, m_segments.front().number, m_segments.back().number);
    while (m_segments.front().number < segment) {
        std::error_code ignored;
        fs::remove(fs::path(SegmentPath(m_segments.front().number)), ignored);
        m_segments.pop_front();
    }
    const Segment before = ScanSegment(segment, std::min(offset, m_segments.front().size), false);
    m_acknowledged = {segment, before.size};
    m_reader = {m_acknowledged, before.records};
    m_unread = 0;
    for (const Segment& s : m_segments)
        m_unread += s.records;
    m_unread -= before.records;
}

DiskQueue::Segment& DiskQueue::SegmentAt(std::uint64_t number) {
    return m_segments[static_cast<std::size_t>(number - m_segments.front().number)];
}

void DiskQueue::StartSegment() {
    if (m_tail)
        std::fclose(m_tail);
    const std::uint64_t number = m_segments.empty() ? kFirstSegment : m_segments.back().number + 1;
    m_tail = std::fopen(SegmentPath(number).c_str(), "wb");
    m_segments.push_back({number, 0, 0});
    if (m_segments.size() == 1) {
        m_acknowledged = {number, 0};
        m_reader = {m_acknowledged, 0};
    }
}

void DiskQueue::EnsureTail() {
    if (!m_segments.empty() && !m_tail)
        m_tail = std::fopen(SegmentPath(m_segments.back().number).c_str(), "ab");
    if (m_segments.empty() || m_segments.back().size >= m_segmentBytes)
        StartSegment();
}

bool DiskQueue::WriteRecord(const std::string& bytes, Position& end) {
    EnsureTail();
    Segment& tail = m_segments.back();
    unsigned char header[4];
    PutLength(header, static_cast<std::uint32_t>(bytes.size()));
    if (!m_tail || std::fwrite(header, 1, 4, m_tail) != 4 ||
        std::fwrite(bytes.data(), 1, bytes.size(), m_tail) != bytes.size())
        return false; // a full disk: the record is lost, as any that follow
    tail.size += 4 + bytes.size();
    ++tail.records;
    end = {tail.number, tail.size};
    return true;
}

void DiskQueue::Append(const std::vector<std::string>& records) {
    Position end;
    for (const std::string& bytes : records)
        m_unread += WriteRecord(bytes, end) ? 1 : 0;
    if (m_tail)
        std::fflush(m_tail);
    DropOldestPastBound();
}

std::vector<DiskQueue::Position> DiskQueue::AppendAsRead(const std::vector<std::string>& records) {
    std::vector<Position> ends(records.size());
    for (std::size_t i = 0; i < records.size(); ++i)
        WriteRecord(records[i], ends[i]);
    if (m_tail)
        std::fflush(m_tail);
    if (!m_segments.empty() && m_unread == 0)
        m_reader = {{m_segments.back().number, m_segments.back().size}, m_segments.back().records};
    DropOldestPastBound();
    return ends;
}

std::uint64_t DiskQueue::Bytes() const {
    std::uint64_t total = 0;
    for (const Segment& segment : m_segments)
        total += segment.size;
    if (!m_segments.empty() && m_acknowledged.segment == m_segments.front().number)
        total -= std::min(total, m_acknowledged.offset);
    return total;
}

void DiskQueue::DropOldestPastBound() {
    while (m_segments.size() > 1 && Bytes() > m_boundBytes) {
        const Segment& front = m_segments.front();
        std::uint64_t unread = 0;
        if (m_reader.at.segment == front.number)
            unread = front.records - m_reader.recordsRead;
        else if (m_reader.at.segment < front.number)
            unread = front.records;
        m_dropped += unread;
        m_unread -= std::min(m_unread, unread);
        RemoveFront();
    }
}

void DiskQueue::RemoveFront() {
    const std::uint64_t number = m_segments.front().number;
    if (m_read && m_readFileNumber == number) {
        std::fclose(m_read);
        m_read = nullptr;
    }
    std::error_code ignored;
    fs::remove(fs::path(SegmentPath(number)), ignored);
    m_segments.pop_front();
    const Position next{m_segments.front().number, 0};
    if (m_reader.at.segment <= number)
        m_reader = {next, 0};
    if (m_acknowledged.segment <= number) {
        m_acknowledged = next;
        m_headChanged = true;
    }
}

void DiskQueue::Acknowledge(const Position& end) {
    if (end <= m_acknowledged)
        return;
    m_acknowledged = end;
    m_headChanged = true;
    while (m_segments.size() > 1 && (m_segments.front().number < m_acknowledged.segment ||
                                     (m_segments.front().number == m_acknowledged.segment &&
                                      m_acknowledged.offset >= m_segments.front().size)))
        RemoveFront();
}

void DiskQueue::SaveHead() {
    if (!m_headChanged || m_directory.empty())
        return;
    const std::string temporary = HeadPath() + ".new";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file)
        return;
    std::fprintf(file, "%" PRIu64 " %" PRIu64 "\n", m_acknowledged.segment, m_acknowledged.offset);
    std::fclose(file);
    std::error_code failure;
    fs::rename(fs::path(temporary), fs::path(HeadPath()), failure);
    m_headChanged = failure.operator bool();
}

// Moves the reader to the next segment when it is at the end of one, and opens its file.
bool DiskQueue::PositionReader() {
    if (m_segments.empty() || m_unread == 0)
        return false;
    while (m_reader.at.offset >= SegmentAt(m_reader.at.segment).size) {
        if (m_reader.at.segment == m_segments.back().number)
            return false;
        m_reader = {{m_reader.at.segment + 1, 0}, 0};
    }
    if (m_read && m_readFileNumber != m_reader.at.segment) {
        std::fclose(m_read);
        m_read = nullptr;
    }
    if (!m_read) {
        m_read = std::fopen(SegmentPath(m_reader.at.segment).c_str(), "rb");
        m_readFileNumber = m_reader.at.segment;
        m_readFileOffset = UINT64_MAX;
    }
    if (!m_read)
        return false;
    std::clearerr(m_read); // the writer may have added to the file since its end was seen
    // Seeking empties stdio's buffer, so it is done only when the reader jumped.
    if (m_readFileOffset != m_reader.at.offset &&
        std::fseek(m_read, static_cast<long>(m_reader.at.offset), SEEK_SET) != 0)
        return false;
    m_readFileOffset = m_reader.at.offset;
    return true;
}

bool DiskQueue::ReadOne(Record& record) {
    if (!PositionReader())
        return false;
    std::uint32_t length = 0;
    record.bytes.resize(0);
    if (ReadLength(m_read, length)) {
        record.bytes.resize(length);
        if (length > 0 && std::fread(record.bytes.data(), 1, length, m_read) != length)
            length = 0;
    }
    // An unreadable record is skipped: the file was damaged under us.
    const Segment& segment = SegmentAt(m_reader.at.segment);
    m_reader.at.offset = std::min(m_reader.at.offset + 4 + length, segment.size);
    if (length == 0 && record.bytes.empty() && m_reader.at.offset < segment.size)
        m_reader.at.offset = segment.size;
    m_readFileOffset =
        m_reader.at.offset == m_readFileOffset + 4 + length ? m_reader.at.offset : UINT64_MAX;
    ++m_reader.recordsRead;
    --m_unread;
    record.end = m_reader.at;
    return true;
}

void DiskQueue::Read(std::vector<Record>& out, std::size_t maxBytes) {
    std::size_t taken = 0;
    Record record;
    while (taken < maxBytes && ReadOne(record)) {
        taken += record.bytes.size();
        out.push_back(std::move(record));
    }
}

void DiskQueue::CloseFiles() {
    if (m_tail)
        std::fclose(m_tail);
    if (m_read)
        std::fclose(m_read);
    m_tail = m_read = nullptr;
}
