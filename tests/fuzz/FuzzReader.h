#pragma once
// Reads a fuzzer's bytes as a stream of values; past the end every value is zero.
#include <cstddef>
#include <cstdint>
#include <cstring>

class FuzzReader {
public:
    FuzzReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool Done() const { return m_pos >= m_size; }
    template <class T> T Take()
    {
        T value{};
        const size_t n = m_size - m_pos < sizeof(T) ? m_size - m_pos : sizeof(T);
        if (n) memcpy(&value, m_data + m_pos, n);
        m_pos += n;
        return value;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};
