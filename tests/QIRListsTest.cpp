#include "QIRLists.h"

#include "QIRError.h"

#include <gtest/gtest.h>
#include <utility>

TEST(QIRLists, InsertAtLocateAndAppendToItself)
{
  QIRListValQIRUnicodeString list;
  list.Append("b");
  list.InsertAt(2, "c");
  list.InsertAt(1, "a");
  list.Append(list);
  ASSERT_EQ(list.Size(), 6);
  EXPECT_STREQ(list[1].ConvertToChar(), "a");
  EXPECT_STREQ(list[6].ConvertToChar(), "c");
  EXPECT_EQ(list.Locate("a", 2), 4);
  EXPECT_EQ(list.Locate("a", 5), 0);
  EXPECT_EQ(list.Locate("b", -3), 2);
}

TEST(QIRLists, MovedInAndReservedItemsStayInOrder)
{
  QIRListValQIRUnicodeString list;
  list.Append("a");
  list.Reserve(0);  // smaller than the size: nothing changes
  list.Reserve(4);
  const QIRUnicodeString* first = &list[1];
  QIRUnicodeString moved("b\xC3\xA9");
  list.Append(std::move(moved));
  list.Append(QIRUnicodeString("c"));
  EXPECT_EQ(&list[1], first);  // room was made before
  EXPECT_TRUE(moved.IsNull());
  ASSERT_EQ(list.Size(), 3);
  EXPECT_STREQ(list[2].ConvertToChar(), "b\xC3\xA9");
  EXPECT_EQ(list[2].GetLengthInChar(), 2);
}

TEST(QIRLists, OutOfRange_RaisesPlatformError)
{
  const long live = QIRBaseUnknown::GetLiveObjectCount();
  QIRRawColldouble list;
  list.Append(1.5);
  for (int index : {0, 2, -1}) {
    try {
      (void)list[index];
      ADD_FAILURE() << "no error for " << index;
    } catch (QIRError& error) {
      EXPECT_TRUE(error.IsAKindOf("QIRInternalError"));
      EXPECT_NE(error.GetMessageText().find(std::to_string(index)), std::string::npos);
      error.Flush();
    }
  }
  EXPECT_THROW(list.InsertAt(3, 0), QIRError);
  EXPECT_EQ(QIRBaseUnknown::GetLiveObjectCount(), live);
}
