#include "QIRSequenceOctet.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

TEST(QIRSequenceOctet, TakesBytesOverOrCopiesThem)
{
  std::vector<unsigned char> bytes = {'<', 'a', '/', '>'};
  const unsigned char* held = bytes.data();
  std::unique_ptr<_SEQUENCE_octet> taken(QIRNewSequenceOctet(std::move(bytes)));
  ASSERT_NE(taken, nullptr);
  EXPECT_EQ(taken->length(), 4u);
  EXPECT_EQ(taken->data(), held);  // the very bytes, not a copy
  EXPECT_TRUE(bytes.empty());

  std::unique_ptr<_SEQUENCE_octet> empty(QIRNewSequenceOctet(std::vector<unsigned char>()));
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->length(), 0u);
  EXPECT_EQ(empty->data(), nullptr);

  const std::string text = "copied";
  std::unique_ptr<_SEQUENCE_octet> copied(QIRNewSequenceOctet(
      static_cast<unsigned int>(text.size()), reinterpret_cast<const unsigned char*>(text.data())));
  ASSERT_NE(copied, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(copied->data()), copied->length()), text);
  EXPECT_EQ(QIRNewSequenceOctet(3, nullptr), nullptr);
}
