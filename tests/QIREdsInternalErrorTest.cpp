#include "QIREdsInternalError.h"

#include <gtest/gtest.h>

TEST(QIREdsInternalError, MetaClass_KindsAndBase)
{
  const QIREdsInternalError error(7);
  for (const char* kind : {"QIREdsInternalError", "QIRInternalError", "QIRError", "QIRBaseUnknown"})
    EXPECT_TRUE(error.IsAKindOf(kind)) << kind;
  EXPECT_EQ(error.GetMetaObject()->GetBase(), QIRInternalError::MetaObject());
  EXPECT_EQ(QIREdsInternalError::CreateItself(), nullptr);
}

TEST(QIREdsInternalError, CloneSelf_CopiesWhatTheBaseCopies)
{
  const long live = QIRBaseUnknown::GetLiveObjectCount();
  QIREdsInternalError error(5, "Msg", "Catalog");
  error.Setup("file.cpp", 42);
  error.SetNLSParameters("text");
  QIRError* clone = error.CloneSelf();
  ASSERT_NE(clone, nullptr);
  EXPECT_STREQ(clone->IsA(), "QIREdsInternalError");
  EXPECT_EQ(clone->GetId(), 5u);
  EXPECT_STREQ(clone->GetSourceFileName(), "file.cpp");
  EXPECT_EQ(clone->GetSourceLineNumber(), 42);
  EXPECT_EQ(clone->GetMessageText(), "text");
  unsigned int length = 99;
  const QIRErrDsc* table = nullptr;
  clone->GetErrorTable(&length, &table);
  EXPECT_EQ(length, 0u);
  EXPECT_NE(table, nullptr);
  clone->Release();  // made with new: the last Release frees it
  EXPECT_EQ(QIRBaseUnknown::GetLiveObjectCount(), live + 1);
}
