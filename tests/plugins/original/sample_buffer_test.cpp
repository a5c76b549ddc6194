// The effect's growable sample array: growth keeps what was written and adds
// zeros, emptying makes it as new without giving its storage back.
#include <gtest/gtest.h>

#include <cstdint>

#include "sample_buffer.h"

TEST(SampleBuffer, GrowthKeepsTheContentsAndZeroesTheNewPart) {
    SampleBuffer buffer;
    ASSERT_TRUE(buffer.Resize(1000));
    EXPECT_EQ(buffer.Allocated(), 1000 + SampleBuffer::GrowthMargin);
    for (std::int32_t i = 0; i < 1000; ++i) buffer.Data()[i] = i + 0.5;
    // Within the allocation nothing moves; beyond it the array is regrown.
    ASSERT_TRUE(buffer.Resize(50000));
    ASSERT_TRUE(buffer.Resize(3 * SampleBuffer::GrowthMargin));
    EXPECT_EQ(buffer.Allocated(), 4 * SampleBuffer::GrowthMargin);
    EXPECT_EQ(buffer.Length(), 3 * SampleBuffer::GrowthMargin);
    for (std::int32_t i = 0; i < 1000; ++i) ASSERT_EQ(buffer.Data()[i], i + 0.5) << i;
    for (std::int32_t i = 1000; i < buffer.Allocated(); ++i) ASSERT_EQ(buffer.Data()[i], 0.0) << i;
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(buffer.Data()) % 64, 0u);
    EXPECT_FALSE(buffer.Resize(-1));
    EXPECT_EQ(buffer.Length(), 3 * SampleBuffer::GrowthMargin);
}

TEST(SampleBuffer, EmptyingGivesZerosAndKeepsTheStorage) {
    SampleBuffer buffer;
    ASSERT_TRUE(buffer.Resize(70000));
    for (double& v : buffer.Samples()) v = -1.0;
    ASSERT_TRUE(buffer.Resize(10));  // shorter: the rest stays written
    const double* storage = buffer.Data();
    buffer.Empty();
    EXPECT_EQ(buffer.Length(), 0);
    EXPECT_EQ(buffer.Data(), storage);
    ASSERT_TRUE(buffer.Resize(buffer.Allocated()));
    for (double v : buffer.Samples()) ASSERT_EQ(v, 0.0);
    buffer.Release();
    EXPECT_EQ(buffer.Allocated(), 0);
    EXPECT_EQ(buffer.Data(), nullptr);
}
