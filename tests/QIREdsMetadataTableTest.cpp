#include "QIREdsMetadataTable.h"

#include <gtest/gtest.h>

TEST(QIREdsMetadataTable, Construct_HoldsOnlyTheName)
{
  const QIREdsMetadataTable record("qm41862.Cable_Route");
  EXPECT_STREQ("qm41862.Cable_Route", record.Name.ConvertToChar());
  EXPECT_TRUE(record.ScopeName.IsNull() && record.ScopeRef.IsNull());
  int entries = record.Required.Size();
  for (const QIRListValQIRUnicodeString* list :
       {&record.Columns, &record.ColumnTypes, &record.Constraints, &record.UniqueKeys,
        &record.PrimaryKeys, &record.RefFromColumns, &record.RefToTables, &record.RefToColumns,
        &record.ExtRefNames, &record.ExtRefFromColumns, &record.ExtRefToClasses,
        &record.ExtRefToUuids, &record.MagnitudeColumns, &record.Magnitudes})
    entries += list->Size();
  EXPECT_EQ(0, entries);
}

TEST(QIREdsMetadataTable, MetaClassAndLifetime)
{
  const long start = QIRBaseUnknown::GetLiveObjectCount();
  auto* record = new QIREdsMetadataTable("qm41862.Work_Package");
  EXPECT_STREQ("QIREdsMetadataTable", record->IsA());
  EXPECT_TRUE(record->IsAKindOf("QIRBaseUnknown"));
  EXPECT_FALSE(record->IsAKindOf("QIREdsMetadataDict"));
  EXPECT_STREQ("QIRNull", record->GetMetaObject()->GetExtendedName());
  EXPECT_STREQ("QIREngSystemDbServerClient", record->GetMetaObject()->GetFramework());
  EXPECT_EQ(2UL, record->AddRef());
  EXPECT_EQ(1UL, record->Release());
  EXPECT_EQ(0UL, record->Release());
  EXPECT_EQ(start, QIRBaseUnknown::GetLiveObjectCount());
}
