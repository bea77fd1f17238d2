#include "QIREdsMetadataTable.h"

#include <gtest/gtest.h>

TEST(QIREdsMetadataTable, MetaClassAndLifetime)
{
  const long start = QIRBaseUnknown::GetLiveObjectCount();
  auto* record = new QIREdsMetadataTable("qm41862.Work_Package");
  EXPECT_STREQ("qm41862.Work_Package", record->Name.ConvertToChar());
  EXPECT_STREQ("QIREdsMetadataTable", record->IsA());
  EXPECT_TRUE(record->IsAKindOf("QIRBaseUnknown"));
  EXPECT_FALSE(record->IsAKindOf("QIREdsMetadataDict"));
  EXPECT_STREQ("QIREngSystemDbServerClient", record->GetMetaObject()->GetFramework());
  EXPECT_EQ(2UL, record->AddRef());
  EXPECT_EQ(1UL, record->Release());
  EXPECT_EQ(0UL, record->Release());
  EXPECT_EQ(start, QIRBaseUnknown::GetLiveObjectCount());
}
