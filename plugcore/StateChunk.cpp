#include "StateChunk.h"

#include <climits>

bool StateChunk::PutBytes(const void* bytes, int count)
{
    if (count <= 0) return true;
    const int old = Size();
    if (count > INT_MAX - old) return false;
    uint8_t* data = m_bytes.Resize(old + count, false);
    if (!data) return false;
    memcpy(data + old, bytes, static_cast<size_t>(count));
    return true;
}

bool StateChunk::PutStr(const char* text)
{
    const size_t length = text ? strlen(text) : 0;
    if (length > static_cast<size_t>(INT32_MAX) - 4) return false;
    const int32_t n = static_cast<int32_t>(length);
    const int old = Size();
    if (!Put(n)) return false;
    if (!PutBytes(text, n)) {
        m_bytes.Resize(old, false);
        return false;
    }
    return true;
}

int StateChunk::GetBytes(void* out, int count, int pos) const
{
    if (pos < 0 || count < 0 || pos > Size() || count > Size() - pos) return -1;
    if (count) memcpy(out, Data() + pos, static_cast<size_t>(count));
    return pos + count;
}

int StateChunk::Get(bool* value, int pos) const
{
    uint8_t byte = 0;
    pos = GetBytes(&byte, 1, pos);
    if (pos >= 0) *value = byte != 0;
    return pos;
}

int StateChunk::GetStr(GrowString* text, int pos) const
{
    int32_t length = 0;
    pos = Get(&length, pos);
    if (pos < 0 || length < 0 || length > Size() - pos) return -1;
    if (length > 0) {
        text->Set(reinterpret_cast<const char*>(Data() + pos), length);
    }
    return pos + length;
}

bool StateChunk::Resize(int size)
{
    if (size < 0) return false;
    const int old = Size();
    uint8_t* data = m_bytes.Resize(size);
    if (size > 0 && !data) return false;
    if (size > old) memset(data + old, 0, static_cast<size_t>(size - old));
    return true;
}

bool StartChunk(StateChunk* chunk)
{
    chunk->Clear();
    return chunk->Put(kChunkMagic) && chunk->Put(kChunkFormatVersion);
}

int32_t ReadChunkHeader(const StateChunk& chunk, int* pos)
{
    int32_t magic = 0;
    if (chunk.Get(&magic, 0) < 0 || magic != kChunkMagic) return 0;
    int32_t version = 0;
    *pos = chunk.Get(&version, 4);
    return *pos < 0 ? 0 : version;
}

int GetValues(const StateChunk& chunk, int pos, int count, TypedBuffer<double>* values)
{
    double* out = values->Resize(count);
    if (count && !out) return -1;
    for (int i = 0; i < count && pos >= 0; ++i) pos = chunk.Get(&out[i], pos);
    return pos;
}
