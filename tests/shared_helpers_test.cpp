// The small readers every subsystem shares: numbers out of hostile bytes.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "text/byte_reader.h"

namespace lorvek {
namespace {

TEST(ByteReader, ReadsUpToTheLastByteAndNoFurther) {
  const std::string b("\x01\x02\x03\x04\x05\x06\x07\x08", 8);
  EXPECT_EQ(ReadLe16(b, 0), 0x0201);
  EXPECT_EQ(ReadLe16(b, 6), 0x0807);  // ends exactly at the end
  EXPECT_EQ(ReadLe16(b, 7), std::nullopt);
  EXPECT_EQ(ReadLe32(b, 4), 0x08070605u);
  EXPECT_EQ(ReadLe32(b, 5), std::nullopt);
  EXPECT_EQ(ReadLe64(b, 0), 0x0807060504030201u);
  EXPECT_EQ(ReadLe64(b, 1), std::nullopt);
  EXPECT_EQ(ReadLe16(b, 8), std::nullopt);
  EXPECT_EQ(ReadLe16("", 0), std::nullopt);
}

TEST(ByteReader, OffsetsFromDamagedFilesNeverWrapAround) {
  const std::string b(16, '\xFF');
  const size_t max = std::numeric_limits<size_t>::max();
  for (size_t at : {max, max - 1, max - 3, max - 7}) {
    EXPECT_EQ(ReadLe16(b, at), std::nullopt) << at;
    EXPECT_EQ(ReadLe32(b, at), std::nullopt) << at;
    EXPECT_EQ(ReadLe64(b, at), std::nullopt) << at;
  }
  EXPECT_FALSE(HasBytesAt(b, 8, max));
}

TEST(ByteReader, ACutOffFieldReadsAsZeroNeverAsHalfANumber) {
  const std::string b("\xFF\xFF\xFF\xFF\xFF\xFF", 6);
  EXPECT_EQ(Le16(b, 4), 0xFFFF);
  EXPECT_EQ(Le16(b, 5), 0);
  EXPECT_EQ(Le32(b, 3), 0u);
  EXPECT_EQ(Le64(b, 0), 0u);  // six bytes are no eight-byte number
}

}  // namespace
}  // namespace lorvek
