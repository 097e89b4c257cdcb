#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// Length of the valid UTF-8 sequence of two to four bytes at `p` (at most `left` bytes),
// with its code point in `code`; 0 when there is none (ASCII included).
int Utf8SequenceLength(const unsigned char* p, std::size_t left, char32_t& code);

// The bytes as UTF-8, read as the list shows them: valid UTF-8 sequences as they are, every
// other byte as the Latin-1 character of the same value.
void AppendLogBytesAsUtf8(std::string& out, std::string_view bytes);
