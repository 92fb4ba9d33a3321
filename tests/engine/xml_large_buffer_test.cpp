// Buffers for whole members: every byte of the room asked for can be written
// and read back, whether the buffer is mapped by itself or taken from the
// heap, and a buffer moved keeps its bytes.
#include "engine/xml/large_buffer.h"

#include <gtest/gtest.h>

#include <utility>

namespace vers::engine::xml {
namespace {

TEST(LargeBuffer, HoldsEveryByteOfItsRoomAndKeepsThemWhenMoved) {
  for (const size_t capacity : {size_t(1), size_t(4096), (size_t(1) << 20) - 1, size_t(1) << 20,
                                (size_t(2) << 20) + 1, size_t(5) << 20}) {
    LargeBuffer buffer(capacity);
    ASSERT_NE(buffer.data(), nullptr) << capacity;
    ASSERT_EQ(buffer.capacity(), capacity);
    for (size_t i = 0; i < capacity; ++i) buffer.data()[i] = char(i * 7);
    LargeBuffer moved = std::move(buffer);
    EXPECT_EQ(buffer.data(), nullptr);
    EXPECT_EQ(buffer.capacity(), 0u);
    size_t wrong = 0;
    for (size_t i = 0; i < capacity; ++i) wrong += moved.data()[i] != char(i * 7);
    EXPECT_EQ(wrong, 0u) << capacity;
    moved = LargeBuffer(16);
    EXPECT_EQ(moved.capacity(), 16u);
  }
  EXPECT_EQ(LargeBuffer(0).capacity(), 0u);
}

}  // namespace
}  // namespace vers::engine::xml
