#pragma once
// The byte container in which parameter, program and bank state is written and read.
// Values are stored in the platform's little-endian memory order. Every read takes a position
// and returns the next one, or -1 once the data ran out; a reader fed -1 stays at -1, so a
// sequence of reads needs one check at the end.

#include "Containers.h"

#include <cstdint>

class StateChunk {
public:
    StateChunk() = default;

    // Appends the value's bytes: 8 for a double, 4 for an int32, 1 (0 or 1) for a bool.
    // Return false when the chunk could not grow.
    bool Put(double value) { return PutBytes(&value, sizeof value); }
    bool Put(int32_t value) { return PutBytes(&value, sizeof value); }
    bool Put(bool value)
    {
        const uint8_t byte = value ? 1 : 0;
        return PutBytes(&byte, 1);
    }
    // The length as an int32, then the characters without a terminator.
    bool PutStr(const char* text);
    bool PutChunk(const StateChunk& other) { return PutBytes(other.Data(), other.Size()); }
    bool PutBytes(const void* bytes, int count);

    int Get(double* value, int pos) const { return GetBytes(value, sizeof *value, pos); }
    int Get(int32_t* value, int pos) const { return GetBytes(value, sizeof *value, pos); }
    int Get(bool* value, int pos) const;
    // Reads an int32 length L, then L characters into `text` (ending early at a NUL among them).
    // A negative L, or one that runs past the data, gives -1 and leaves `text` untouched; L = 0
    // also leaves it untouched.
    int GetStr(GrowString* text, int pos) const;
    int GetBytes(void* out, int count, int pos) const;

    // New bytes are zero. Returns false (size unchanged) when the chunk could not grow.
    bool Resize(int size);
    void Clear() { m_bytes.Resize(0); }
    int Size() const { return m_bytes.GetSize(); }
    const uint8_t* Data() const { return m_bytes.Get(); }
    uint8_t* Data() { return m_bytes.Get(); }

private:
    TypedBuffer<uint8_t> m_bytes;
};

// The header written before every chunk exchanged with the host: "tffp" and a format version.
const int32_t kChunkMagic = 0x70666674;
const int32_t kChunkFormatVersion = 0x00010000;

// Clears the chunk and writes the header.
bool StartChunk(StateChunk* chunk);
// With *pos at 0: after a header, returns its format version and sets *pos to 8 (-1 when the
// header is cut short). Without one, returns 0 and leaves *pos at 0, so headerless data is read
// from its first byte.
int32_t ReadChunkHeader(const StateChunk& chunk, int* pos);

// Reads `count` doubles from `pos` into `values`, which is resized to hold them. Answers the
// position after them, or -1 when they are cut short or cannot be held; what was read is then
// of no use, and callers change nothing.
int GetValues(const StateChunk& chunk, int pos, int count, TypedBuffer<double>* values);
