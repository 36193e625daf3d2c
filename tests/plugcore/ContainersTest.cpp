#include "plugcore/Containers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

// An allocator that refuses every request once `failFrom` requests have been made.
struct FailingAllocator {
    static int calls;
    static int failFrom;
    static void* Reallocate(void* block, size_t bytes) { return ++calls > failFrom ? nullptr : realloc(block, bytes); }
    static void* Allocate(size_t bytes) { return ++calls > failFrom ? nullptr : malloc(bytes); }
    static void Release(void* block) { free(block); }
};
int FailingAllocator::calls = 0;
int FailingAllocator::failFrom = 0;
const HeapAllocator kFailing = {FailingAllocator::Reallocate, FailingAllocator::Allocate, FailingAllocator::Release};

class AllocationFailure {
public:
    explicit AllocationFailure(int succeedFirst)
    {
        FailingAllocator::calls = 0;
        FailingAllocator::failFrom = succeedFirst;
        SetHeapAllocator(&kFailing);
    }
    ~AllocationFailure() { SetHeapAllocator(nullptr); }
};

struct AllocationCase {
    int granularity;
    int size;
    int allocated;
};

class HeapBufferAllocation : public testing::TestWithParam<AllocationCase> {};

TEST_P(HeapBufferAllocation, FollowsTheGrowthRule)
{
    HeapBuffer buf(GetParam().granularity);
    ASSERT_NE(buf.Resize(GetParam().size), nullptr);
    EXPECT_EQ(buf.GetAllocated(), GetParam().allocated);
    EXPECT_EQ(buf.GetSize(), GetParam().size);
}

INSTANTIATE_TEST_SUITE_P(WorkedFigures, HeapBufferAllocation,
                         testing::Values(AllocationCase{4096, 1, 4000}, AllocationCase{4096, 3999, 4000},
                                         AllocationCase{4096, 4000, 8096}, AllocationCase{4096, 4001, 8096},
                                         AllocationCase{4096, 8097, 12192}, AllocationCase{4096, 20000000, 24190880},
                                         AllocationCase{128, 1, 129}, AllocationCase{128, 10, 138},
                                         AllocationCase{128, 300, 450}));

TEST(HeapBuffer, GrowingWithinTheAllocationKeepsTheBlock)
{
    HeapBuffer buf;
    void* first = buf.Resize(4);
    EXPECT_EQ(buf.GetAllocated(), 4000);
    EXPECT_EQ(buf.Resize(4000), first);
    EXPECT_EQ(buf.GetAllocated(), 4000);
}

TEST(HeapBuffer, ShrinksOnlyWhenAllowedAndWorthIt)
{
    HeapBuffer shrinking, keeping;
    shrinking.Resize(100000);
    keeping.Resize(100000);
    const int big = keeping.GetAllocated();

    shrinking.Resize(10, true);
    keeping.Resize(10, false);
    EXPECT_EQ(shrinking.GetAllocated(), 4000);
    EXPECT_EQ(keeping.GetAllocated(), big);

    // Less than half used but within four pages of the allocation: no reallocation.
    HeapBuffer near;
    near.Resize(9000);
    const int alloc = near.GetAllocated();
    near.Resize(alloc / 2 - 1, true);
    EXPECT_EQ(near.GetAllocated(), alloc);
}

TEST(HeapBuffer, SameSizeIsANoOpEvenWhenShrinkingIsAllowed)
{
    HeapBuffer buf;
    void* data = buf.Resize(100000);
    buf.Resize(10);
    buf.Resize(100000);
    const int alloc = buf.GetAllocated();
    EXPECT_EQ(buf.Resize(100000, true), buf.Get());
    EXPECT_EQ(buf.GetAllocated(), alloc);
    (void)data;
}

TEST(HeapBuffer, ResizeZeroedClearsOnlyTheNewBytes)
{
    HeapBuffer buf;
    auto* bytes = static_cast<unsigned char*>(buf.Resize(10));
    memset(bytes, 0xAB, 10);
    // Dirty the slack so that zeroing is proven, not inherited from the allocator.
    memset(bytes + 10, 0xCD, 20);
    bytes = static_cast<unsigned char*>(buf.ResizeZeroed(20));
    for (int i = 0; i < 10; ++i) EXPECT_EQ(bytes[i], 0xAB) << i;
    for (int i = 10; i < 20; ++i) EXPECT_EQ(bytes[i], 0) << i;
}

TEST(HeapBuffer, FailedAllocationLeavesTheBufferExactlyAsItWas)
{
    HeapBuffer buf;
    auto* data = static_cast<char*>(buf.Resize(100));
    memcpy(data, "keep me", 8);
    {
        AllocationFailure fail(0);
        EXPECT_EQ(buf.Resize(5000), data); // realloc and the fresh block both refused
        EXPECT_EQ(FailingAllocator::calls, 2);
    }
    EXPECT_EQ(buf.GetSize(), 100);
    EXPECT_EQ(buf.GetAllocated(), 4000);
    EXPECT_STREQ(static_cast<char*>(buf.Get()), "keep me");

    HeapBuffer empty;
    AllocationFailure fail(0);
    EXPECT_EQ(empty.Resize(10), nullptr);
    EXPECT_EQ(empty.GetSize(), 0);
    EXPECT_EQ(empty.GetAllocated(), 0);
}

TEST(HeapBuffer, FallsBackToAFreshBlockWhenReallocFails)
{
    HeapBuffer buf;
    auto* data = static_cast<char*>(buf.Resize(100));
    memcpy(data, "moved", 6);

    static int reallocCalls;
    reallocCalls = 0;
    const HeapAllocator noRealloc = {[](void*, size_t) -> void* {
                                         ++reallocCalls;
                                         return nullptr;
                                     },
                                     malloc, free};
    SetHeapAllocator(&noRealloc);
    char* grown = static_cast<char*>(buf.Resize(5000));
    SetHeapAllocator(nullptr);

    EXPECT_EQ(reallocCalls, 1);
    ASSERT_NE(grown, nullptr);
    EXPECT_EQ(buf.GetSize(), 5000);
    EXPECT_STREQ(grown, "moved");
}

TEST(HeapBuffer, RefusesSizesThatCannotBeRepresented)
{
    HeapBuffer buf;
    buf.Resize(16);
    EXPECT_NE(buf.Resize(-1), nullptr);
    EXPECT_EQ(buf.GetSize(), 16);
    buf.Resize(0x7ffffff0); // the allocation would exceed 31 bits
    EXPECT_EQ(buf.GetSize(), 16);

    TypedBuffer<double> doubles;
    EXPECT_EQ(doubles.Resize(0x7fffffff / 8 + 1), nullptr);
    EXPECT_EQ(doubles.GetSize(), 0);
}

TEST(TypedBuffer, AddFailsCleanly)
{
    TypedBuffer<int> ints;
    ASSERT_NE(ints.Add(1), nullptr);
    {
        AllocationFailure fail(0);
        for (int i = 0; i < 999; ++i) ASSERT_NE(ints.Add(i), nullptr); // fills the 4000-byte block
        EXPECT_EQ(ints.GetSize(), 1000);
        EXPECT_EQ(ints.Add(7), nullptr); // the 1001st int needs a bigger block
    }
    EXPECT_EQ(ints.GetSize(), 1000);
    EXPECT_EQ(ints.Get()[999], 998);
}

struct Tracked {
    explicit Tracked(int id, std::vector<int>* log) : m_id(id), m_log(log) {}
    ~Tracked() { m_log->push_back(m_id); }
    int m_id;
    std::vector<int>* m_log;
};

TEST(PointerList, GetOutsideTheRangeIsNone)
{
    PointerList<int> list;
    int a = 1;
    EXPECT_EQ(list.Get(0), nullptr);
    list.Add(&a);
    EXPECT_EQ(list.Get(-1), nullptr);
    EXPECT_EQ(list.Get(1), nullptr);
    EXPECT_EQ(list.Get(0), &a);
}

TEST(PointerList, InsertClampsTheIndex)
{
    struct Case {
        int index;
        std::vector<int> expected;
    };
    for (const Case& c :
         {Case{0, {9, 1, 2, 3}}, Case{-5, {9, 1, 2, 3}}, Case{10, {1, 2, 3, 9}}, Case{1, {1, 9, 2, 3}}}) {
        int items[] = {1, 2, 3};
        int x = 9;
        PointerList<int> list;
        for (int& item : items) list.Add(&item);
        EXPECT_EQ(list.Insert(c.index, &x), &x);
        std::vector<int> got;
        for (int i = 0; i < list.GetSize(); ++i) got.push_back(*list.Get(i));
        EXPECT_EQ(got, c.expected) << "insert at " << c.index;
    }
}

TEST(PointerList, EmptyDeletesFromLastToFirst)
{
    std::vector<int> log;
    PointerList<Tracked> list;
    for (int i = 0; i < 4; ++i) list.Add(new Tracked(i, &log));
    list.Empty(true);
    EXPECT_EQ(log, (std::vector<int>{3, 2, 1, 0}));
    EXPECT_EQ(list.GetSize(), 0);

    static PointerList<Tracked>* seen;
    static std::vector<int> sizes;
    sizes.clear();
    seen = &list;
    for (int i = 0; i < 3; ++i) list.Add(new Tracked(i, &log));
    list.Empty(true, [](Tracked* t) {
        sizes.push_back(seen->GetSize()); // the item has already left the list
        delete t;
    });
    EXPECT_EQ(sizes, (std::vector<int>{2, 1, 0}));
}

TEST(PointerList, AddReportsFailureWithoutStoring)
{
    PointerList<int> list;
    int a = 1;
    AllocationFailure fail(0);
    EXPECT_EQ(list.Add(&a), nullptr);
    EXPECT_EQ(list.GetSize(), 0);
}

TEST(PointerList, AddOwnedDeletesWhatItCannotStore)
{
    std::vector<int> log;
    PointerList<Tracked> list;
    {
        AllocationFailure fail(0);
        EXPECT_EQ(AddOwned(list, new Tracked(1, &log)), nullptr);
    }
    EXPECT_EQ(log, (std::vector<int>{1}));
    EXPECT_EQ(list.GetSize(), 0);

    Tracked* kept = AddOwned(list, new Tracked(2, &log));
    EXPECT_EQ(list.Get(0), kept);
    EXPECT_EQ(log, (std::vector<int>{1}));
    list.Empty(true);
}

TEST(GrowString, SetCutsAndAllocatesLazily)
{
    GrowString s;
    s.Set("", 0);
    EXPECT_STREQ(s.Get(), "");
    EXPECT_EQ(s.GetLength(), 0);

    s.Set("abc", 2);
    EXPECT_STREQ(s.Get(), "ab");
    s.Set("abcdef");
    EXPECT_STREQ(s.Get(), "abcdef");
    s.Set("");
    EXPECT_STREQ(s.Get(), "");

    // With a limit the source need not be terminated within it.
    const char unterminated[3] = {'x', 'y', 'z'};
    s.Set(unterminated, 3);
    EXPECT_STREQ(s.Get(), "xyz");

    // Taking part of its own text.
    s.Set("hello world");
    s.Set(s.Get() + 6);
    EXPECT_STREQ(s.Get(), "world");
}

TEST(GrowString, EmptyStaysUnallocated)
{
    AllocationFailure fail(0);
    GrowString s;
    EXPECT_TRUE(s.Set("", 0));
    EXPECT_FALSE(s.Set("abc"));
    EXPECT_STREQ(s.Get(), "");
}

} // namespace
