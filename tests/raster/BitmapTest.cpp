#include "raster/LiceBitmap.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

// Writes every pixel, so ASan sees any block smaller than width x height.
void Touch(LICE_IBitmap& bmp)
{
    for (int y = 0; y < bmp.Height(); ++y)
        for (int x = 0; x < bmp.Width(); ++x) bmp.Pixels()[y * bmp.RowSpan() + x] = 0x01020304;
}

TEST(MemBitmap, AllocatesExactlyThenGrowsWithHeadroom)
{
    LICE_MemBitmap bmp(10, 10);
    EXPECT_EQ(bmp.AllocatedBytes(), 400);
    EXPECT_EQ(bmp.RowSpan(), 10);
    Touch(bmp);
    EXPECT_TRUE(bmp.Resize(20, 10));
    EXPECT_EQ(bmp.AllocatedBytes(), 1000);
    EXPECT_EQ(bmp.Pixels()[0], 0x01020304u) << "growing keeps the contents";
    Touch(bmp);
    EXPECT_FALSE(bmp.Resize(20, 10));
    // Shrinking keeps the block; growing within it does not reallocate.
    LICE_ColorWord* block = bmp.Pixels();
    EXPECT_TRUE(bmp.Resize(5, 5));
    EXPECT_TRUE(bmp.Resize(25, 10));
    EXPECT_EQ(bmp.Pixels(), block);
    EXPECT_EQ(bmp.AllocatedBytes(), 1000);
    EXPECT_EQ(bmp.Width(), 25);
}

TEST(MemBitmap, EmptyAndImpossibleSizesLeaveNoBlock)
{
    struct Size {
        int w, h;
    };
    for (Size s : {Size{0, 0}, Size{0, 7}, Size{-10, -10}, Size{-3, 4}, Size{LICE_kMaxDimension + 1, 1},
                   Size{100000, 100000}, Size{INT_MAX, INT_MAX}, Size{65536, 65536}}) {
        LICE_MemBitmap made(s.w, s.h);
        EXPECT_EQ(made.Pixels(), nullptr) << s.w << "x" << s.h;
        EXPECT_EQ(made.Width(), 0);
        EXPECT_EQ(made.Height(), 0);
        EXPECT_EQ(made.AllocatedBytes(), 0);

        LICE_MemBitmap resized(4, 4);
        EXPECT_TRUE(resized.Resize(s.w, s.h));
        EXPECT_EQ(resized.Pixels(), nullptr);
        EXPECT_EQ(resized.Width(), 0);
        EXPECT_EQ(resized.Height(), 0);
        EXPECT_EQ(resized.AllocatedBytes(), 0);
    }
    LICE_MemBitmap largest(LICE_kMaxDimension, 2);
    EXPECT_EQ(largest.Width(), LICE_kMaxDimension);
}

TEST(MemBitmap, DefaultsOfTheInterface)
{
    LICE_MemBitmap bmp;
    EXPECT_EQ(bmp.Pixels(), nullptr);
    EXPECT_FALSE(bmp.IsBottomUp());
    EXPECT_EQ(bmp.DeviceContext(), nullptr);
    EXPECT_EQ(bmp.Extension(1, nullptr), 0);
    EXPECT_FALSE(bmp.Resize(0, 0));
}

TEST(SysBitmap, KeepsItsSurfaceWhenTheNewSizeFits)
{
    LICE_SysBitmap bmp(100, 100);
    ASSERT_NE(bmp.Pixels(), nullptr);
    Touch(bmp);
    LICE_ColorWord* surface = bmp.Pixels();
    EXPECT_TRUE(bmp.Resize(50, 50));
    EXPECT_EQ(bmp.Width(), 50);
    EXPECT_EQ(bmp.RowSpan(), 100);
    EXPECT_EQ(bmp.Pixels(), surface);
    EXPECT_TRUE(bmp.Resize(100, 100));
    EXPECT_EQ(bmp.Pixels(), surface);
    EXPECT_FALSE(bmp.Resize(100, 100));

    EXPECT_TRUE(bmp.Resize(120, 30));
    EXPECT_EQ(bmp.RowSpan(), 120);
    Touch(bmp);
}

TEST(SysBitmap, ZeroNegativeAndOversizedSizesHaveNoPixels)
{
    LICE_SysBitmap bmp(8, 8);
    EXPECT_FALSE(bmp.Resize(0, 8));
    EXPECT_EQ(bmp.Pixels(), nullptr);
    EXPECT_TRUE(bmp.Resize(-5, 3));
    EXPECT_EQ(bmp.Pixels(), nullptr);
    EXPECT_EQ(bmp.Width(), 0);
    EXPECT_TRUE(bmp.Resize(LICE_kMaxDimension + 1, LICE_kMaxDimension + 1));
    EXPECT_EQ(bmp.Pixels(), nullptr);
    EXPECT_EQ(bmp.Height(), 0);
    EXPECT_TRUE(bmp.Resize(3, 3));
    EXPECT_NE(bmp.Pixels(), nullptr);
    Touch(bmp);

    LICE_SysBitmap empty;
    EXPECT_EQ(empty.Pixels(), nullptr);
    EXPECT_EQ(empty.Width(), 0);
}

TEST(SysBitmap, HasADeviceContextExactlyWhereThePlatformDoes)
{
    LICE_SysBitmap bmp(4, 4);
    EXPECT_FALSE(bmp.IsBottomUp());
#ifdef _WIN32
    EXPECT_NE(bmp.DeviceContext(), nullptr);
#else
    EXPECT_EQ(bmp.DeviceContext(), nullptr);
#endif
}

} // namespace
