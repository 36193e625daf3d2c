#include "Containers.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>

namespace {

const HeapAllocator kLibcAllocator = {realloc, malloc, free};
std::atomic<const HeapAllocator*> g_allocator{&kLibcAllocator};

const HeapAllocator& Allocator() { return *g_allocator.load(std::memory_order_acquire); }

const int64_t kPage = 4096;
const int64_t kPageSlack = 96;
const int64_t kMaxPageGrowth = int64_t{4} * 1024 * 1024;

// The allocation for a block of newSize bytes, or -1 when it would not fit in an int.
int64_t AllocationFor(int64_t newSize, int64_t granularity, int64_t minAllocation)
{
    int64_t growth = newSize / 2 > granularity ? newSize / 2 : granularity;
    int64_t allocation;
    if (granularity < kPage) {
        allocation = newSize + growth;
    } else {
        growth -= growth % kPage;
        if (growth < kPage) growth = kPage;
        if (growth > kMaxPageGrowth) growth = kMaxPageGrowth;
        const int64_t padded = newSize + growth + kPageSlack;
        allocation = padded - padded % kPage - kPageSlack;
    }
    if (allocation < minAllocation) allocation = minAllocation;
    return allocation > INT32_MAX ? -1 : allocation;
}

} // namespace

void SetHeapAllocator(const HeapAllocator* allocator)
{
    g_allocator.store(allocator ? allocator : &kLibcAllocator, std::memory_order_release);
}

HeapBuffer::~HeapBuffer()
{
    if (m_data) Allocator().release(m_data);
}

void* HeapBuffer::Resize(int newSize, bool allowShrink)
{
    if (newSize == m_size) return Get();
    if (newSize < 0) return Get();

    const bool grow = newSize > m_allocated;
    const bool shrink =
        allowShrink && newSize < m_size && newSize < m_allocated / 2 && newSize < m_allocated - 4 * m_granularity;
    if (grow || shrink) {
        const int64_t allocation = AllocationFor(newSize, m_granularity, m_minAllocation);
        if (allocation < 0) return Get();
        if (allocation != m_allocated) {
            const size_t bytes = static_cast<size_t>(allocation);
            void* block = nullptr;
            if (bytes) {
                block = Allocator().reallocate(m_data, bytes);
                if (!block) {
                    // realloc left the old block alone; try a fresh one before giving up.
                    block = Allocator().allocate(bytes);
                    if (!block) return Get();
                    const int keep = newSize < m_size ? newSize : m_size;
                    if (m_data && keep > 0) memcpy(block, m_data, static_cast<size_t>(keep));
                    if (m_data) Allocator().release(m_data);
                }
            } else if (m_data) {
                Allocator().release(m_data);
            }
            m_data = block;
            m_allocated = static_cast<int>(allocation);
        }
    }
    m_size = newSize;
    return Get();
}

void* HeapBuffer::ResizeZeroed(int newSize)
{
    const int oldSize = m_size;
    char* data = static_cast<char*>(Resize(newSize, true));
    if (data && m_size == newSize && newSize > oldSize)
        memset(data + oldSize, 0, static_cast<size_t>(newSize - oldSize));
    return data;
}

bool GrowString::Set(const char* text, int maxLength)
{
    if (!text) text = "";
    // With a limit, never look past it: the text need not be terminated within it.
    size_t length = 0;
    if (maxLength > 0)
        while (length < static_cast<size_t>(maxLength) && text[length]) ++length;
    else
        length = strlen(text);
    if (length == 0 && m_buf.GetSize() == 0) return true;
    if (length >= static_cast<size_t>(INT32_MAX)) return false;
    const int bytes = static_cast<int>(length) + 1;
    // Taking a text from inside this buffer must not read freed memory; it can only shrink.
    char* own = static_cast<char*>(m_buf.Get());
    if (own && text >= own && text < own + m_buf.GetSize()) {
        memmove(own, text, length);
        own[length] = '\0';
        m_buf.Resize(bytes);
        return true;
    }
    char* data = static_cast<char*>(m_buf.Resize(bytes));
    if (!data || m_buf.GetSize() != bytes) return false;
    memcpy(data, text, length);
    data[length] = '\0';
    return true;
}
