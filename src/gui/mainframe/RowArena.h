#pragma once
#include <cstddef>
#include <deque>
#include <memory>
#include <string_view>

// The rows of the live list, kept compactly in arrival order: each row is one block
// holding a tag byte and then its cells as zero-terminated texts back to back, carved out
// of large chunks that never move, so a row costs its bytes and one pointer. The oldest
// row can be dropped as cheaply as a row is appended; a chunk is freed with its last row.
// Cells hold no zero byte (they come from zero-terminated texts); a zero byte inside one
// would cut it.
class RowArena {
public:
    static constexpr std::size_t kChunkBytes = 256 * 1024;

    explicit RowArena(std::size_t columns) : m_columns(columns) {}
    RowArena(const RowArena&) = delete;
    RowArena& operator=(const RowArena&) = delete;

    // `cells` holds one text per column; `tag` is the caller's byte for the row.
    void Append(const std::string_view* cells, unsigned char tag = 0);
    // Forgets the oldest row; the arena must not be empty.
    void DropOldest();
    std::size_t Size() const { return m_rows.size(); }
    std::size_t Columns() const { return m_columns; }
    std::size_t ChunkCount() const { return m_chunks.size(); }
    // The cell of a held row (row 0 is the oldest one held).
    std::string_view Cell(std::size_t row, std::size_t column) const;
    // Every cell of a held row, into `cells` (one per column).
    void Cells(std::size_t row, std::string_view* cells) const;
    unsigned char Tag(std::size_t row) const { return static_cast<unsigned char>(*m_rows[row]); }

private:
    struct Chunk {
        std::unique_ptr<char[]> bytes;
        std::size_t rows = 0; // rows held in it
    };
    char* Allocate(std::size_t bytes);

    std::size_t m_columns;
    std::deque<Chunk> m_chunks; // oldest first; rows fill them in order
    char* m_free = nullptr;     // the unused rest of the newest chunk
    std::size_t m_freeBytes = 0;
    std::deque<const char*> m_rows;
};
