#include "gui/mainframe/RowArena.h"

#include <cstring>

void RowArena::Append(const std::string_view* cells, unsigned char tag) {
    const std::size_t count = m_columns;
    std::size_t bytes = 1;
    for (std::size_t i = 0; i < count; ++i)
        bytes += cells[i].size() + 1;
    char* block = Allocate(bytes);
    char* out = block;
    *out++ = static_cast<char>(tag);
    for (std::size_t i = 0; i < count; ++i) {
        std::memcpy(out, cells[i].data(), cells[i].size());
        out += cells[i].size();
        *out++ = '\0';
    }
    m_rows.push_back(block);
    ++m_chunks.back().rows;
}

void RowArena::DropOldest() {
    m_rows.pop_front();
    // Rows fill the chunks in order, so the oldest row lies in the oldest chunk.
    if (--m_chunks.front().rows == 0 && m_chunks.size() > 1)
        m_chunks.pop_front();
}

std::string_view RowArena::Cell(std::size_t row, std::size_t column) const {
    const char* text = m_rows[row] + 1;
    for (std::size_t i = 0; i < column; ++i)
        text += std::strlen(text) + 1;
    return text;
}

void RowArena::Cells(std::size_t row, std::string_view* cells) const {
    const char* text = m_rows[row] + 1;
    for (std::size_t i = 0; i < m_columns; ++i) {
        cells[i] = text;
        text += cells[i].size() + 1;
    }
}

char* RowArena::Allocate(std::size_t bytes) {
    if (bytes > m_freeBytes) {
        // A row never spans two chunks; the tail left behind is at most one row long.
        const std::size_t size = bytes > kChunkBytes ? bytes : kChunkBytes;
        if (!m_chunks.empty() && m_chunks.back().rows == 0)
            m_chunks.pop_back(); // emptied by drops; a larger one replaces it
        m_chunks.push_back({std::make_unique_for_overwrite<char[]>(size), 0});
        m_free = m_chunks.back().bytes.get();
        m_freeBytes = size;
    }
    char* block = m_free;
    m_free += bytes;
    m_freeBytes -= bytes;
    return block;
}
