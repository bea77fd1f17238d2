#include "QIRSequenceOctet.h"

#include "QIRError.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

TEST(QIRSequenceOctet, TakesBytesOverOrCopiesThem)
{
  std::vector<unsigned char> bytes = {'<', 'a', '/', '>'};
  bytes.reserve(5);  // room for the terminating 0
  const unsigned char* held = bytes.data();
  std::unique_ptr<_SEQUENCE_octet> taken(QIRNewSequenceOctet(std::move(bytes)));
  ASSERT_NE(taken, nullptr);
  EXPECT_EQ(taken->length(), 4u);
  EXPECT_EQ(taken->data(), held);  // the very bytes, not a copy
  EXPECT_EQ(taken->data()[4], 0);  // read in place, as a C string's
  EXPECT_TRUE(bytes.empty());

  std::unique_ptr<_SEQUENCE_octet> empty(QIRNewSequenceOctet(std::vector<unsigned char>()));
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->length(), 0u);
  EXPECT_EQ(empty->data(), nullptr);

  const std::string text = "copied";
  std::unique_ptr<_SEQUENCE_octet> copied(QIRNewSequenceOctet(
      static_cast<unsigned int>(text.size()), reinterpret_cast<const unsigned char*>(text.data())));
  ASSERT_NE(copied, nullptr);
  EXPECT_STREQ(reinterpret_cast<const char*>(copied->data()), text.c_str());
  EXPECT_EQ(copied->length(), text.size());
  EXPECT_THROW((*copied)[copied->length()], QIRError);  // the terminator is no byte of it
  EXPECT_EQ(QIRNewSequenceOctet(3, nullptr), nullptr);
}
