#pragma once
// Growable containers under every variable-length collection of the plug-in.
//
// HeapBuffer rounds large blocks to whole 4096-byte pages less 96 bytes of slack and grows by
// at least half of the requested size, so repeated appends reallocate rarely. An allocation
// failure never throws and never loses data: the buffer stays exactly as it was, and callers see
// the failure only through the returned pointer and the unchanged size.

#include <cstddef>
#include <cstdint>
#include <cstring>

// The allocator every HeapBuffer uses. Tests swap it to make allocation fail on demand.
struct HeapAllocator {
    void* (*reallocate)(void* block, size_t bytes);
    void* (*allocate)(size_t bytes);
    void (*release)(void* block);
};

// Installs `allocator` for all buffers from now on; null restores the C library's.
// Blocks must be released by the allocator that made them, so swap only while no buffer made
// under the other allocator is resized or destroyed (in practice: inside one test).
void SetHeapAllocator(const HeapAllocator* allocator);

class HeapBuffer {
public:
    static const int kPageGranularity = 4096;

    explicit HeapBuffer(int granularity = kPageGranularity, int minAllocation = 0)
        : m_granularity(granularity), m_minAllocation(minAllocation)
    {
    }
    ~HeapBuffer();

    HeapBuffer(const HeapBuffer&) = delete;
    HeapBuffer& operator=(const HeapBuffer&) = delete;
    HeapBuffer(HeapBuffer&& other) noexcept
        : m_data(other.m_data),
          m_granularity(other.m_granularity),
          m_allocated(other.m_allocated),
          m_size(other.m_size),
          m_minAllocation(other.m_minAllocation)
    {
        other.m_data = nullptr;
        other.m_allocated = other.m_size = 0;
    }
    HeapBuffer& operator=(HeapBuffer&&) = delete;

    // Sets the size in bytes and returns the data, or null when the new size is 0. A negative size,
    // or one whose allocation would not fit in 31 bits, is an allocation failure.
    void* Resize(int newSize, bool allowShrink = true);
    // Like Resize(newSize, true), with the bytes beyond the old size set to zero.
    void* ResizeZeroed(int newSize);

    void* Get() const { return m_size ? m_data : nullptr; }
    int GetSize() const { return m_size; }
    int GetAllocated() const { return m_allocated; }
    int GetGranularity() const { return m_granularity; }

private:
    void* m_data = nullptr;
    int m_granularity;
    int m_allocated = 0;
    int m_size = 0;
    int m_minAllocation;
};

// An array of T on a HeapBuffer. T must be trivially copyable: elements move with memcpy and are
// never constructed or destroyed.
template <class T> class TypedBuffer {
public:
    explicit TypedBuffer(int granularity = HeapBuffer::kPageGranularity) : m_buf(granularity) {}

    T* Get() const { return static_cast<T*>(m_buf.Get()); }
    int GetSize() const { return m_buf.GetSize() / kElementSize; }

    // Returns the elements, or null when count is 0 or the buffer could not grow (the old
    // contents and size are then kept).
    T* Resize(int count, bool allowShrink = true)
    {
        if (count < 0 || count > kMaxCount) return GetSize() == count ? Get() : nullptr;
        const int bytes = count * kElementSize;
        void* data = m_buf.Resize(bytes, allowShrink);
        return m_buf.GetSize() == bytes ? static_cast<T*>(data) : nullptr;
    }

    // Returns the appended element, or null when the buffer could not grow.
    T* Add(const T& value)
    {
        const int n = GetSize();
        T* data = Resize(n + 1, false);
        if (!data) return nullptr;
        data[n] = value;
        return data + n;
    }

    HeapBuffer& Buffer() { return m_buf; }
    const HeapBuffer& Buffer() const { return m_buf; }

private:
    // T is often a pointer itself (lists of channels, slots): sizeof(T) is meant.
    static constexpr int kElementSize = static_cast<int>(sizeof(T)); // NOLINT(bugprone-sizeof-expression)
    static constexpr int kMaxCount = 0x7fffffff / kElementSize;
    HeapBuffer m_buf;
};

// A list of pointers to T. The list never deletes its items by itself: the owner empties it with
// Empty(true) (or Delete) when the items are owned.
template <class T> class PointerList {
public:
    PointerList() = default;

    int GetSize() const { return m_buf.GetSize(); }
    T* Get(int index) const
    {
        T** items = m_buf.Get();
        return (items && index >= 0 && index < GetSize()) ? items[index] : nullptr;
    }

    // The items as an array, for loops on hot paths; null when the list is empty.
    T* const* GetList() const { return m_buf.Get(); }

    // Returns the item, or null (storing nothing) when the list could not grow.
    T* Add(T* item)
    {
        const int n = GetSize();
        T** items = m_buf.Resize(n + 1, false);
        if (!items) return nullptr;
        items[n] = item;
        return item;
    }

    // Inserts before `index`, clamped to 0..count, so a negative index inserts first and one past
    // the end appends. Returns the item, or null when the list could not grow.
    T* Insert(int index, T* item)
    {
        const int n = GetSize();
        if (index < 0) index = 0;
        if (index > n) index = n;
        T** items = m_buf.Resize(n + 1, false);
        if (!items) return nullptr;
        memmove(items + index + 1, items + index,
                static_cast<size_t>(n - index) * sizeof(items[0])); // NOLINT(bugprone-sizeof-expression)
        items[index] = item;
        return item;
    }

    // Removes the item at `index`, deleting it when asked. Out of range does nothing.
    void Delete(int index, bool deleteItem)
    {
        const int n = GetSize();
        if (index < 0 || index >= n) return;
        T** items = m_buf.Get();
        T* item = items[index];
        memmove(items + index, items + index + 1,
                static_cast<size_t>(n - index - 1) * sizeof(items[0])); // NOLINT(bugprone-sizeof-expression)
        m_buf.Resize(n - 1, false);
        if (deleteItem) delete item;
    }

    // Index of the first slot holding `item`, or -1.
    int Find(const T* item) const
    {
        for (int i = 0; i < GetSize(); ++i)
            if (m_buf.Get()[i] == item) return i;
        return -1;
    }

    // Empties the list. With deleteItems, the items go from the last to the first, each through
    // `destroy` when given or `delete` otherwise, and each leaves the list before the next one goes,
    // so an item's clean-up never sees a list that still holds freed items.
    void Empty(bool deleteItems = false, void (*destroy)(T*) = nullptr)
    {
        if (deleteItems) {
            for (int i = GetSize() - 1; i >= 0; --i) {
                T* item = m_buf.Get()[i];
                m_buf.Resize(i, false);
                if (destroy)
                    destroy(item);
                else
                    delete item;
            }
        }
        m_buf.Resize(0);
    }

private:
    TypedBuffer<T*> m_buf;
};

// Adds an item the list is to own. When the list cannot grow the item is deleted rather than
// leaked, and null is returned.
template <class T> T* AddOwned(PointerList<T>& list, T* item)
{
    if (list.Add(item)) return item;
    delete item;
    return nullptr;
}

// A growable NUL-terminated text with a 128-byte growth quantum.
class GrowString {
public:
    static const int kGranularity = 128;
    GrowString() : m_buf(kGranularity) {}

    // Takes `text` (null reads as empty), cut to maxLength characters when maxLength is positive;
    // then the text need not be terminated within maxLength.
    // Returns false, keeping the old text, when the buffer could not grow.
    bool Set(const char* text, int maxLength = 0);
    const char* Get() const
    {
        const char* s = static_cast<const char*>(m_buf.Get());
        return s ? s : "";
    }
    int GetLength() const { return m_buf.GetSize() ? m_buf.GetSize() - 1 : 0; }

private:
    HeapBuffer m_buf;
};
