#pragma once
#include <cstdint>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

// A first-in first-out queue of byte records in segment files of one directory, for one
// thread. Records are appended at the tail and read from the head; a record counts as gone
// only once it is acknowledged, and the acknowledged position is kept in a small file, so a
// restart resends everything not acknowledged before it. Past its bound the oldest segment is
// dropped whole and its unread records counted.
class DiskQueue {
public:
    struct Position {
        std::uint64_t segment = 0;
        std::uint64_t offset = 0;
        friend auto operator<=>(const Position&, const Position&) = default;
    };
    struct Record {
        std::string bytes;
        Position end; // acknowledging this position acknowledges the record
    };

    DiskQueue(std::string directory, std::uint64_t boundBytes);
    ~DiskQueue();
    DiskQueue(const DiskQueue&) = delete;
    DiskQueue& operator=(const DiskQueue&) = delete;

    // Creates the directory when missing and takes over the segments found there. False, with
    // `error` set, when the directory cannot be used.
    bool Open(std::string& error);
    void Append(const std::vector<std::string>& records);
    // Appends records that are already on their way, as if read: only while nothing is unread.
    // Gives the position that acknowledges each.
    std::vector<Position> AppendAsRead(const std::vector<std::string>& records);
    // Takes out unread records, oldest first, until about `maxBytes` are read.
    void Read(std::vector<Record>& out, std::size_t maxBytes);
    void Acknowledge(const Position& end);
    // Writes the acknowledged position to disk; the caller decides how often.
    void SaveHead();

    std::uint64_t Unread() const { return m_unread; }
    std::uint64_t Dropped() const { return m_dropped; }
    std::uint64_t Bytes() const;

private:
    struct Segment {
        std::uint64_t number = 0;
        std::uint64_t size = 0;
        std::uint64_t records = 0;
    };
    struct Reader {
        Position at;
        std::uint64_t recordsRead = 0; // in the segment `at` is in
    };

    std::string SegmentPath(std::uint64_t number) const;
    std::string HeadPath() const;
    bool LoadSegments(std::string& error);
    void LoadHead();
    // The records of a segment file up to `limit` bytes; a record cut short by a crash is cut off.
    Segment ScanSegment(std::uint64_t number, std::uint64_t limit, bool repair);
    Segment& SegmentAt(std::uint64_t number);
    void StartSegment();
    void EnsureTail();
    bool WriteRecord(const std::string& bytes, Position& end);
    void DropOldestPastBound();
    void RemoveFront();
    bool PositionReader();
    bool ReadOne(Record& record);
    void CloseFiles();

    std::string m_directory;
    std::uint64_t m_boundBytes;
    std::uint64_t m_segmentBytes;
    std::deque<Segment> m_segments;
    std::FILE* m_tail = nullptr; // the last segment, open for appending
    std::FILE* m_read = nullptr; // the segment the reader is in
    std::uint64_t m_readFileNumber = 0;
    std::uint64_t m_readFileOffset = 0; // where m_read's stdio position is
    Reader m_reader;
    Position m_acknowledged;
    bool m_headChanged = false;
    std::uint64_t m_unread = 0;
    std::uint64_t m_dropped = 0;
};
