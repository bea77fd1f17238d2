#include "QIREdsMetadataTool.h"

#include "QIREdsTestSupport.h"
#include "QIRWriteTestSupport.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

TEST(QIREdsMetadataTool, GetComputedAttrType_KnownAndUnknownNames)
{
  const QIREdsMetadataTool tool;
  const char* const known[][2] = {{"CR_Total_Length", "Double"},
                                  {"CS_Number_CI", "Integer"},
                                  {"CI_PartNumber", "String"},
                                  {"RT_CS_List_FilterPtr", "Uuid"}};
  for (const auto& attribute : known) {
    QIRUnicodeString type;
    EXPECT_EQ(S_OK, tool.GetComputedAttrType(attribute[0], type)) << attribute[0];
    EXPECT_STREQ(attribute[1], type.ConvertToChar()) << attribute[0];
  }
  for (const char* unknown : {"cs_percent_fill", "Cable_name", ""}) {
    QIRUnicodeString type = "untouched";
    EXPECT_EQ(E_FAIL, tool.GetComputedAttrType(unknown, type)) << unknown;
    EXPECT_STREQ("untouched", type.ConvertToChar());
  }
}

TEST(QIREdsMetadataTool, TranslateClass_BothForms)
{
  const QIREdsMetadataTool tool;
  const char* const cases[][3] = {
      // name, neutral form, short form
      {"Work_Package", "qm41862.Work_Package", "Work_Package"},
      {"qm41862.Work_Package", "qm41862.Work_Package", "Work_Package"},
      {"Xqm41862Y", "Xqm41862Y", "Xqm41862Y"},
      {"a.b.Cable_Route", "qm41862.a.b.Cable_Route", "Cable_Route"},
      {"Cable_Route.", "qm41862.Cable_Route.", ""},
  };
  for (const auto& c : cases) {
    EXPECT_STREQ(c[1], tool.TranslateClassToNeutral(c[0]).ConvertToChar()) << c[0];
    EXPECT_STREQ(c[2], tool.TranslateClassToOrvane(c[0]).ConvertToChar()) << c[0];
  }
}

TEST(QIREdsMetadataTool, TranslateTypeToOrvane_KeysBeforeSqlType)
{
  const QIREdsMetadataTool tool;
  QIRVar<QIREdsMetadataTable> record;
  record.Attach(new QIREdsMetadataTable("qm41862.Odd"));
  record->ColumnTypes = Split(
      "CHAR(8) NULL|INTEGER NOT NULL|FLOAT NULL|CHAR(80) NOT NULL|"
      "BLOB NULL|CHAR(256) NOT NULL");
  record->ExtRefFromColumns.Append("Part_instance_ptr");
  const struct {
    const char* name;
    int index;
    const char* type;
  } cases[] = {
      {"Equipment_key", 1, "Uuid"},
      {"Cableway_Arc_Points_Key", 2, "Uuid"},
      {"Part_instance_ptr", 6, "Uuid"},
      {"Routing_priority", 2, "Integer"},
      {"Maximum_length", 3, "Double"},
      {"Cable_name", 4, "String"},
      {"Picture", 5, ""},
      {"Cable_name", 0, ""},
      {"Cable_name", 7, ""},
  };
  for (const auto& c : cases)
    EXPECT_STREQ(c.type, tool.TranslateTypeToOrvane(c.name, record.get(), c.index).ConvertToChar())
        << c.name << " at " << c.index;
  EXPECT_STREQ("", tool.TranslateTypeToOrvane("Cable_name", nullptr, 1).ConvertToChar());
}

TEST(QIREdsMetadataTool, GetAttributeInfo_AppendsColumnsInEitherNameForm)
{
  const QIREdsMetadataTool tool;
  for (const char* name : {"Cable_Instance", "qm41862.Cable_Instance"}) {
    QIRListValQIRUnicodeString names = Split("kept"), types;
    QIRRawCollint required;
    ASSERT_EQ(S_OK, tool.GetAttributeInfo(name, names, types, required)) << name;
    EXPECT_EQ(
        "kept|Cable_instance_key|Cable_reference_key|Cable_name|Cable_category|"
        "Routing_priority|Segregation_code|Maximum_length|Work_package_key",
        Join(names));
    EXPECT_EQ("Uuid|Uuid|String|String|Integer|String|Double|Uuid", Join(types));
    for (int i = 1; i <= required.Size(); ++i) EXPECT_EQ(i < 4 || i == 8, required[i]) << i;
  }
  QIRUnicodeString type = "set";
  int required = 7;
  EXPECT_EQ(S_OK, tool.GetAttributeType("Cable_Reference", "Part_instance_ptr", type, required));
  EXPECT_STREQ("set", type.ConvertToChar());  // not a column of this class
  EXPECT_EQ(7, required);
  EXPECT_EQ(S_OK,
            tool.GetAttributeType("qm41862.Work_Package", "Part_instance_ptr", type, required));
  EXPECT_STREQ("Uuid", type.ConvertToChar());
  EXPECT_EQ(1, required);
}

TEST(QIREdsMetadataTool, GetClassInfo_ShortAndNeutralNames)
{
  const QIREdsMetadataTool tool;
  QIRListValQIRUnicodeString shortNames = Split("kept"), shortKeys, neutralNames, neutralKeys;
  ASSERT_EQ(S_OK, tool.GetClassInfo(shortNames, shortKeys, 1));
  ASSERT_EQ(S_OK, tool.GetClassInfo(neutralNames, neutralKeys, 0));
  EXPECT_EQ("kept|" + Join(neutralNames), Join(shortNames, "|qm41862."));  // same, unqualified
  EXPECT_STREQ("Cable_From_To", shortNames[5].ConvertToChar());
  EXPECT_EQ(Join(neutralKeys), Join(shortKeys));
  EXPECT_STREQ("Cable_instance_key", tool.GetPrimaryKey("Cable_Instance").ConvertToChar());
  EXPECT_STREQ("Cable_instance_key", tool.GetPrimaryKey("qm41862.Cable_Instance").ConvertToChar());
}

TEST(QIREdsMetadataTool, GetRelationship_ForeignKeysThenOutsideReferences)
{
  const QIREdsMetadataTool tool;
  const char* const cases[][2] = {
      // class; relations, then attributes, then classes
      {"Cable_Instance",
       "CIC_WP|CIC_CR Work_package_key|Cable_reference_key Work_Package|Cable_Reference"},
      {"qm41862.Work_Package",
       "WPC_PI|WPC_DR Part_instance_ptr|Document_revision_ptr "
       "TVQItemInstance|TVQDocumentRevision"},
      {"Published_Connector", "  "},
  };
  for (const auto& c : cases) {
    QIRListValQIRUnicodeString relations, attributes, classes;
    EXPECT_EQ(S_OK, tool.GetRelationship(c[0], relations, attributes, classes)) << c[0];
    EXPECT_EQ(c[1], Join(relations) + " " + Join(attributes) + " " + Join(classes));
  }
  EXPECT_STREQ(
      "CIC_WP",
      tool.TransRelationNameToOrvane("Cable_Instance", "Work_package_key").ConvertToChar());
  EXPECT_STREQ(
      "EPC_CN",
      tool.TransRelationNameToOrvane("Equipment_Port", "Cableway_node_key").ConvertToChar());
  EXPECT_STREQ("Work_package_key",
               tool.TransRelationNameToOrvane("Nowhere", "Work_package_key").ConvertToChar());
}

TEST(QIREdsMetadataTool, FindMissingMandateAttr_ReplacesTheList)
{
  const QIREdsMetadataTool tool;
  QIRListValQIRUnicodeString given, missing = Split("stale");
  tool.FindMissingMandateAttr("Cable_Instance", given, missing);
  EXPECT_EQ("Cable_reference_key|Cable_name|Work_package_key", Join(missing));
  given.Append("Cable_name");
  tool.FindMissingMandateAttr("qm41862.Cable_Instance", given, missing);
  EXPECT_EQ("Cable_reference_key|Work_package_key", Join(missing));
  tool.FindMissingMandateAttr("Nowhere", given, missing);
  EXPECT_EQ(0, missing.Size());
}

// The remaining queries hand the dictionary's answer on; one case each shows the wiring.
TEST(QIREdsMetadataTool, RecordAndDictionaryQueries)
{
  const QIREdsMetadataTool tool;
  QIRListValQIRUnicodeString columns, magnitudes, unique, names, classes, constraints, sql;
  ASSERT_EQ(S_OK, tool.GetAttrMagnitudeInfo("Cable_Reference", columns, magnitudes));
  EXPECT_EQ("External_diameter|Weight_per_unit_length|Bend_radius LENGTH|LINEMASS|LENGTH",
            Join(columns) + " " + Join(magnitudes));
  ASSERT_EQ(S_OK, tool.GetUniqueAttrNames("Cable_From_To", unique));
  EXPECT_EQ("Func_equip_name|Connector_name|Work_package_key", Join(unique));
  ASSERT_EQ(S_OK, tool.GetMagnitudeNames(names));
  EXPECT_EQ("LENGTH|MASS|AREA|LINEMASS", Join(names));
  QIRUnicodeString name;
  EXPECT_EQ(S_OK, tool.ResolveDefine("EdbSQL_TB4_Cable_Inst", name));
  EXPECT_STREQ("qm41862.Cable_Instance", name.ConvertToChar());
  EXPECT_EQ(S_OK, tool.GetReferencingClasses("Cableway_Node", Split("qm41862.Cableway_Arc"),
                                             classes, constraints));
  EXPECT_EQ("SPC_CN1|SPC_CN2", Join(constraints));
  EXPECT_STREQ("Cable_Route", tool.ConvertClassNameToOrvane("qm41862.Cable_Route").ConvertToChar());
  EXPECT_EQ(S_OK, tool.GenerateSQLStatements(sql));
  EXPECT_GT(sql.Size(), 13);
}

TEST(QIREdsMetadataTool, UnknownClass_FailsEveryClassQuery)
{
  const QIREdsMetadataTool tool;
  QIRListValQIRUnicodeString a, b, c;
  QIRRawCollint flags;
  QIRUnicodeString type;
  int required = 0;
  const std::vector<std::function<HRESULT(const char*)>> queries = {
      [&](const char* n) { return tool.GetAttributeInfo(n, a, b, flags); },
      [&](const char* n) { return tool.GetAttributeType(n, "Cable_name", type, required); },
      [&](const char* n) { return tool.GetAttrMagnitudeInfo(n, a, b); },
      [&](const char* n) { return tool.GetRelationship(n, a, b, c); },
      [&](const char* n) { return tool.GetUniqueAttrNames(n, a); },
  };
  for (const char* name : {"Nowhere", "cable_instance", "", "Cable_Instance.Cable_name"})
    for (std::size_t q = 0; q < queries.size(); ++q)
      EXPECT_TRUE(FAILED(queries[q](name))) << name << ", query " << q;
  EXPECT_EQ(0, a.Size() + b.Size() + c.Size() + flags.Size());
  EXPECT_STREQ("", tool.GetPrimaryKey("Nowhere").ConvertToChar());
}

TEST(QIREdsMetadataTool, GenerateOrvaneMetaData_AllOrNothing)
{
  const QIREdsMetadataTool tool;
  const std::filesystem::path directory =
      std::filesystem::path(::testing::TempDir()) / ("tool-dictionary-" + std::to_string(getpid()));
  std::filesystem::create_directories(directory);
  const std::filesystem::path pool = directory / "existing.dict",
                              output = directory / "CableNetwork.xml";
  WriteUuidPool(pool, 117);
  const QIRListValQIRUnicodeString none;
  ::testing::internal::CaptureStdout();  // the progress trace
  ExpectAllOrNothing(output, [&] {
    return tool.GenerateOrvaneMetaData(pool.c_str(), none, none, output.c_str());
  });
  ::testing::internal::GetCapturedStdout();
  std::filesystem::remove_all(directory);
}
