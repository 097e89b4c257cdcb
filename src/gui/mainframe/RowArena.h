#pragma once
#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

// The rows of the live list, kept compactly for a list that only grows: each row is one
// block holding its cells as zero-terminated texts back to back, carved out of large
// chunks that never move, so a row costs its bytes and one pointer. Cells hold no zero
// byte (they come from zero-terminated texts); a zero byte inside one would cut it.
class RowArena {
public:
    static constexpr std::size_t kChunkBytes = 256 * 1024;

    explicit RowArena(std::size_t columns) : m_columns(columns) {}
    RowArena(const RowArena&) = delete;
    RowArena& operator=(const RowArena&) = delete;

    // `cells` holds one text per column.
    void Append(const std::string_view* cells);
    std::size_t Size() const { return m_rows.size(); }
    std::size_t Columns() const { return m_columns; }
    // The cell of a stored row (rows count from the first one appended).
    std::string_view Cell(std::size_t row, std::size_t column) const;

private:
    char* Allocate(std::size_t bytes);

    std::size_t m_columns;
    std::vector<std::unique_ptr<char[]>> m_chunks;
    char* m_free = nullptr; // the unused rest of the newest chunk
    std::size_t m_freeBytes = 0;
    std::vector<const char*> m_rows;
};
