#include "QIREdsMetadataDict.h"

#include "QIREdsTestSupport.h"

#include <gtest/gtest.h>
#include <string>

namespace {

std::string ReadData(const char* iName)
{
  return ReadFile(std::string(QIREDS_TEST_DATA_DIR) + "/dict/" + iName);
}

const QIREdsMetadataTable& Record(const QIREdsMetadataDict& iDictionary, int i)
{
  return *dynamic_cast<const QIREdsMetadataTable*>(iDictionary.Tables[i]);
}

}  // namespace

// Columns, types, required flags, keys and references are pinned by the dump and the SQL;
// the rest of each record (magnitudes, scope, outside references) by records.tsv.
TEST(QIREdsMetadataDict, Initialize_BuildsTheSchema)
{
  QIREdsMetadataDict dictionary;
  ASSERT_EQ(S_OK, dictionary.Initialize());
  QIRListValQIRUnicodeString records, defines;
  for (int i = 1; i <= dictionary.Tables.Size(); ++i) {
    const QIREdsMetadataTable& r = Record(dictionary, i);
    QIRUnicodeString line = r.Name + "\t", scope;
    for (int j = 1; j <= r.MagnitudeColumns.Size() && j <= r.Magnitudes.Size(); ++j)
      line += (j > 1 ? "|" : "") + r.MagnitudeColumns[j] + "=" + r.Magnitudes[j];
    scope.BuildFromNum(r.ScopeKind);
    line +=
        "\t" + (r.ScopeName.IsNull() ? "" : r.ScopeName + "|" + r.ScopeRef + "|" + scope) + "\t";
    for (int j = 1; j <= r.ExtRefNames.Size(); ++j)
      line += (j > 1 ? "|" : "") + r.ExtRefNames[j] + "," + r.ExtRefFromColumns[j] + "," +
              r.ExtRefToClasses[j] + "," + r.ExtRefToUuids[j];
    records.Append(line);
  }
  EXPECT_EQ(ReadData("records.tsv"), Join(records, "\n") + "\n");
  for (int i = 1; i <= dictionary.Defines.Size() && i <= dictionary.DefinedNames.Size(); ++i)
    defines.Append(dictionary.Defines[i] + "\t" + dictionary.DefinedNames[i]);
  EXPECT_EQ(ReadData("defines.tsv"), Join(defines, "\n") + "\n");
}

TEST(QIREdsMetadataDict, Lookups_ExactQualifiedNames)
{
  QIREdsMetadataDict dictionary;
  QIREdsMetadataTable sentinel("s.Sentinel");
  QIREdsMetadataTable* record = &sentinel;
  QIRListValQIRUnicodeString names = Split("kept"), keys;
  QIRUnicodeString name = "untouched";
  EXPECT_EQ(E_FAIL, dictionary.GetClassTable("qm41862.Cable_Route", &record));
  EXPECT_EQ(nullptr, record);
  EXPECT_EQ(E_FAIL, dictionary.GetClassNames(names, keys));
  EXPECT_EQ(E_FAIL, dictionary.ResolveDefine("EdbSQL_TB4_Cable_Inst", name));
  ASSERT_EQ(S_OK, dictionary.Initialize());
  EXPECT_EQ(E_FAIL, dictionary.GetClassTable("qm41862.Cable_Route", nullptr));
  for (const char* wrong : {"Cable_Route", "qm41862.cable_route", "", "qm41862.Cable_Route "}) {
    record = &sentinel;
    EXPECT_EQ(E_FAIL, dictionary.GetClassTable(wrong, &record)) << wrong;
    EXPECT_EQ(nullptr, record) << wrong;
  }
  ASSERT_EQ(S_OK, dictionary.GetClassTable("qm41862.Cableway_Arc_Points", &record));
  EXPECT_EQ(dictionary.Tables[13], static_cast<QIRBaseUnknown*>(record));
  EXPECT_EQ(1UL, record->Release());

  ASSERT_EQ(S_OK, dictionary.GetClassNames(names, keys));
  ASSERT_EQ(14, names.Size());
  ASSERT_EQ(13, keys.Size());
  for (int i = 1; i <= 13; ++i) {
    EXPECT_EQ(Record(dictionary, i).Name, names[i + 1]);
    EXPECT_EQ(Record(dictionary, i).PrimaryKeys[1], keys[i]);
  }

  EXPECT_EQ(E_FAIL, dictionary.ResolveDefine("qm41862.Cable_Instance", name));
  EXPECT_EQ(S_OK, dictionary.ResolveDefine("EdbSQL_TB4_Cable_Inst", name));
  EXPECT_STREQ("qm41862.Cable_Instance", name.ConvertToChar());
  dictionary.DefinedNames.Append("unpaired");
  EXPECT_EQ(E_FAIL, dictionary.ResolveDefine("EdbSQL_TB4_Cable_Inst", name));
}

TEST(QIREdsMetadataDict, FillClassTypeTable_OddSourceLists)
{
  QIREdsMetadataDict dictionary;
  QIRRawCollint one, two, position, empty;
  one.Append(7);
  two.Append(7), two.Append(7);
  position.Append(1);
  const QIRListValQIRUnicodeString none, columns = Split("a|b"), classes = Split("qm41862.X");
  const QIRListValQIRUnicodeString types = Split("CHAR(80)NULL|INTEGER  NOT NULL");
  const QIRListValQIRUnicodeString clauses = Split("CONSTRAINT X_PK PRIMARY KEY (a)|odd");
  // A column list short of a tag builds nothing.
  dictionary.FillClassTypeTable(classes, one, columns, one, types, two, clauses, two, none, empty,
                                none, empty, none, none, empty);
  EXPECT_EQ(0, dictionary.Tables.Size());
  // Magnitude names short of an entry leave magnitudes out; the outside reference is tagged
  // by position, the scope by class number.
  dictionary.FillClassTypeTable(classes, one, columns, two, types, two, clauses, two,
                                Split("Outside_D_ID-1"), one,
                                Split("CONSTRAINT X_EXT FOREIGN KEY (b) REFERENCES Outside (ID-2)"),
                                position, columns, Split("LENGTH"), two);
  ASSERT_EQ(1, dictionary.Tables.Size());
  const QIREdsMetadataTable& record = Record(dictionary, 1);
  EXPECT_EQ(0, record.Required[1]);  // "NULL" glued to the type still allows nulls
  EXPECT_EQ(1, record.Required[2]);
  EXPECT_EQ("a", Join(record.PrimaryKeys));
  EXPECT_EQ("CONSTRAINT X_PK PRIMARY KEY (a)|odd", Join(record.Constraints));
  EXPECT_EQ(0, record.UniqueKeys.Size() + record.RefFromColumns.Size() + record.Magnitudes.Size());
  EXPECT_STREQ("Outside|ID-1", (record.ScopeName + "|" + record.ScopeRef).ConvertToChar());
  EXPECT_EQ(1, record.ScopeKind);
  EXPECT_EQ("X_EXT|ID-2", Join(record.ExtRefNames) + "|" + Join(record.ExtRefToUuids));
}

TEST(QIREdsMetadataDict, ClauseReaders_EveryShape)
{
  const QIREdsMetadataDict dictionary;
  // What each reader makes of a clause, "-" for E_FAIL: GetKeys with "PRIMARY", with
  // "UNIQUE", GetConstraints, ParseConstraint, GetConstraintName.
  const char* const rows[][6] = {
      {"CONSTRAINT WPC_PK PRIMARY KEY (Work_package_key)", "Work_package_key", "-", "-", "-",
       "WPC_PK"},
      {"CONSTRAINT FEC_UNIQ UNIQUE (Func_equip_name,Connector_name,Work_package_key)", "-",
       "Func_equip_name|Connector_name|Work_package_key", "-", "-", "FEC_UNIQ"},
      {"CONSTRAINT SPC_CN1 FOREIGN KEY (Cableway_node_key_1) REFERENCES Cableway_Node "
       "(Cableway_node_key)",
       "-", "-", "Cableway_node_key_1|Cableway_Node|Cableway_node_key",
       "SPC_CN1|Cableway_node_key_1|Cableway_Node", "SPC_CN1"},
      {"CONSTRAINT WPC_PI FOREIGN KEY (Part_instance_ptr) REFERENCES TVQItemInstance "
       "(80A2B3BD-0000-520C-383BE49800076012)",
       "-", "-", "Part_instance_ptr|TVQItemInstance|80A2B3BD-0000-520C-383BE49800076012",
       "WPC_PI|Part_instance_ptr|TVQItemInstance", "WPC_PI"},
      {"CONSTRAINT K FOREIGN KEY (a,b) REFERENCES T (c,d)", "-", "-", "a,b|T|c,d", "K|a,b|T", "K"},
      {"  CONSTRAINT   U UNIQUE ( a , b )", "-", "a|b", "-", "-", "U"},
      {"PRIMARY KEY (a)", "a", "-", "-", "-", ""},
      {"FOREIGN KEY (a) REFERENCES T (b)", "-", "-", "a|T|b", "-", ""},
      {"CONSTRAINT U UNIQUE a, b", "-", "-", "-", "-", "U"},
      {"CONSTRAINT U UNIQUE (a, b", "-", "-", "-", "-", "U"},
      {"CONSTRAINT U UNIQUE )a(", "-", "-", "-", "-", "U"},
      {"CONSTRAINT U UNIQUE", "-", "-", "-", "-", "U"},
      {"CONSTRAINT K FOREIGN KEY", "-", "-", "-", "-", "K"},
      {"CONSTRAINT K FOREIGN KEY () REFERENCES T (c)", "-", "-", "-", "-", "K"},
      {"CONSTRAINT K FOREIGN KEY (a) REFERENCES", "-", "-", "-", "-", "K"},
      {"CONSTRAINT K FOREIGN KEY (a) REFERENCES (c)", "-", "-", "-", "-", "K"},
      {"CONSTRAINT K FOREIGN KEY (a) REFERENCES T (c", "-", "-", "-", "K|a|T", "K"},
      {"", "-", "-", "-", "-", ""},
  };
  const auto outcome = [](HRESULT iResult, const std::string& iText) {
    return iResult == S_OK ? iText : iResult == E_FAIL ? "-" : "?";
  };
  for (const auto& row : rows) {
    QIRListValQIRUnicodeString primary, unique, from, table, target;
    QIRUnicodeString name = "n", columns = "c", toClass = "t";
    const HRESULT hr = dictionary.GetConstraints(row[0], from, table, target);
    EXPECT_EQ(outcome(hr, Join(from) + "|" + Join(table) + "|" + Join(target)), row[3]) << row[0];
    EXPECT_EQ(FAILED(hr) ? 0 : 3, from.Size() + table.Size() + target.Size()) << row[0];
    const HRESULT primaryHr = dictionary.GetKeys("PRIMARY", row[0], primary);
    EXPECT_EQ(outcome(primaryHr, Join(primary)), row[1]) << row[0];
    const HRESULT uniqueHr = dictionary.GetKeys("UNIQUE", row[0], unique);
    EXPECT_EQ(outcome(uniqueHr, Join(unique)), row[2]) << row[0];
    const HRESULT parsed = dictionary.ParseConstraint(row[0], name, columns, toClass);
    EXPECT_EQ(outcome(parsed, (name + "|" + columns + "|" + toClass).ConvertToChar()), row[4])
        << row[0];
    EXPECT_STREQ(row[5], dictionary.GetConstraintName(row[0]).ConvertToChar()) << row[0];
  }
  // A clause that is no foreign key leaves ParseConstraint's outputs alone.
  QIRUnicodeString name = "n", columns = "c", toClass = "t";
  dictionary.ParseConstraint("CONSTRAINT RLC_UNIQ UNIQUE (a)", name, columns, toClass);
  EXPECT_STREQ("nct", (name + columns + toClass).ConvertToChar());

  QIRListValQIRUnicodeString pieces = Split("kept");
  EXPECT_EQ(S_OK, dictionary.ChoppedBy(",", "Cable_name, Work_package_key", pieces));
  EXPECT_EQ(S_OK, dictionary.ChoppedBy(",", " ,, ", pieces));  // blank pieces stay, emptied
  for (const char* text : {"", ",,,"}) EXPECT_EQ(E_FAIL, dictionary.ChoppedBy(",", text, pieces));
  EXPECT_EQ(E_FAIL, dictionary.ChoppedBy("", "a,b", pieces));
  EXPECT_EQ("kept|Cable_name|Work_package_key||", Join(pieces));
}

TEST(QIREdsMetadataDict, GenerateSQLStatements_MatchesFile)
{
  QIREdsMetadataDict dictionary;
  QIRListValQIRUnicodeString statements = Split("stale");
  EXPECT_EQ(E_FAIL, dictionary.GenerateSQLStatements(statements));
  EXPECT_EQ(0, statements.Size());
  ASSERT_EQ(S_OK, dictionary.Initialize());
  ASSERT_EQ(S_OK, dictionary.GenerateSQLStatements(statements));
  ASSERT_EQ(S_OK, dictionary.GenerateSQLStatements(statements));  // replaces, never appends
  EXPECT_EQ(ReadData("sql.txt"), Join(statements, "\n") + "\n");

  // Null entries and other components are passed over; a record whose column lists
  // disagree keeps only its constraint statements.
  dictionary.CleanupAllTables();
  auto* single = new QIREdsMetadataTable("s.One");
  single->Columns = Split("a");
  single->ColumnTypes = Split("INTEGER");
  auto* mismatched = new QIREdsMetadataTable("s.Two");
  mismatched->Columns = Split("a");
  mismatched->Constraints = Split("CONSTRAINT K UNIQUE (a)");
  dictionary.Tables.Append(nullptr);
  dictionary.Tables.Append(new QIREdsMetadataDict);
  dictionary.Tables.Append(single);
  dictionary.Tables.Append(mismatched);
  EXPECT_EQ(S_OK, dictionary.GenerateSQLStatements(statements));
  EXPECT_EQ(
      "\"CREATE TABLE s.One (a INTEGER);\"|\"ALTER TABLE s.Two ADD CONSTRAINT K UNIQUE (a);\"",
      Join(statements));
}

TEST(QIREdsMetadataDict, DumpDictionary_MatchesFile)
{
  QIREdsMetadataDict dictionary;
  const QIREdsMetadataTable empty("s.Empty");
  testing::internal::CaptureStdout();
  dictionary.DumpDictionary();
  dictionary.DumpTable(nullptr);
  dictionary.DumpTable(&empty);
  const std::string line(60, '=');
  EXPECT_EQ("Number of tables = 0 \n" + line +
                "\nTable name = s.Empty \nNumber of columns = 0 \n"
                "problem NC = 0, NCT = 0, NReq = 0\nNFrom = 0, NTableTo = 0, NTo = 0\n" +
                line + "\n",
            testing::internal::GetCapturedStdout());
  ASSERT_EQ(S_OK, dictionary.Initialize());
  testing::internal::CaptureStdout();
  dictionary.DumpDictionary();
  EXPECT_EQ(ReadData("dump.txt"), testing::internal::GetCapturedStdout());
}

TEST(QIREdsMetadataDict, GetReferencingClasses_ByShortName)
{
  QIREdsMetadataDict dictionary;
  QIRListValQIRUnicodeString classes = Split("stale"), names, none;
  EXPECT_EQ(E_FAIL, dictionary.GetReferencingClasses("Work_Package", none, classes, names));
  EXPECT_EQ(0, classes.Size());
  ASSERT_EQ(S_OK, dictionary.Initialize());
  const char* const cases[][3] = {
      // class, candidates, classes then constraint names
      {"Cableway_Node", "",
       "qm41862.Equipment_Port|qm41862.Cableway_Arc|qm41862.Cableway_Arc "
       "EPC_CN|SPC_CN1|SPC_CN2"},
      {"Cableway_Node", "qm41862.Cableway_Arc",
       "qm41862.Cableway_Arc|qm41862.Cableway_Arc SPC_CN1|SPC_CN2"},
      {"qm41862.Cableway_Node", "", " "},
      {"Work_Package", "",
       "qm41862.Cable_Instance|qm41862.Cable_From_To|qm41862.Equipment|"
       "qm41862.Cableway_Section|qm41862.Cableway_Node|qm41862.Cableway_Arc "
       "CIC_WP|FEC_WP|PEC_WP|CSC_WP|CNC_WP|SPC_WP"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(S_OK, dictionary.GetReferencingClasses(c[0], Split(c[1]), classes, names));
    EXPECT_EQ(c[2], Join(classes) + " " + Join(names)) << c[0] << " among " << c[1];
  }
  EXPECT_EQ(E_FAIL, dictionary.GetReferencingClasses("", none, classes, names));
  EXPECT_EQ(6, classes.Size());  // an empty class leaves the outputs alone
}

TEST(QIREdsMetadataDict, GetDataType_FirstWordAndWordCount)
{
  const QIREdsMetadataDict dictionary;
  const char* const cases[][2] = {
      {"FLOAT NOT NULL", "Double||Yes"},
      {"INTEGER  NOT NULL", "Integer||Yes"},
      {"CHAR(80)NULL", "String|80|No"},
      {"CHAR(256) NOT NULL", "String|256|Yes"},
      {"INTEGER NULL", "Integer||No"},
      {"BLOB A B", "Undefined||Yes"},
      {"CHAR)80( NULL", "String||No"},
      {"INTEGER NOT NULL X", "Integer||No"},
      {"", "t|l|m"},  // empty: outputs untouched
  };
  for (const auto& c : cases) {
    QIRUnicodeString type = "t", length = "l", mandatory = "m";
    dictionary.GetDataType(c[0], type, length, mandatory);
    EXPECT_STREQ(c[1], (type + "|" + length + "|" + mandatory).ConvertToChar()) << c[0];
  }
}

TEST(QIREdsMetadataDict, GetUUidIndex_KnownFirstThenBoundedPool)
{
  const QIREdsMetadataDict dictionary;
  const QIRListValQIRUnicodeString pool = Split("p1|p2|p3"), known = Split("Cable_Route");
  QIRListValQIRUnicodeString assigned;
  int index = 1, next = 1;
  std::string steps;
  for (const char* name : {"Cable_Route", "Cable_Instance", "Equipment", "Cable_Reference",
                           "Cableway_Node", "Cable_Route"}) {
    EXPECT_EQ(1, dictionary.GetUUidIndex(name, pool, known, Split("u1"), assigned, index, next));
    steps += std::to_string(index) + "," + std::to_string(next) + " ";
  }
  EXPECT_EQ("1,1 2,2 3,3 0,3 0,3 4,3 ", steps);  // index, next pool position after each call
  EXPECT_EQ("u1|p1|p2|u1", Join(assigned));
}

TEST(QIREdsMetadataDict, NamesAndMagnitudes)
{
  const QIREdsMetadataDict dictionary;
  QIRListValQIRUnicodeString magnitudes;
  EXPECT_EQ(S_OK, dictionary.GetMagnitudeNames(magnitudes));
  EXPECT_EQ(S_OK, dictionary.GetMagnitudeNames(magnitudes));
  EXPECT_EQ("LENGTH|MASS|AREA|LINEMASS|LENGTH|MASS|AREA|LINEMASS", Join(magnitudes));
  EXPECT_STREQ("Cable_Instance_Cable_name",
               dictionary.ConvertToAttrKey("Cable_Instance", "Cable_name").ConvertToChar());
  const char* const names[][2] = {{"qm41862.Cable_Route", "Cable_Route"},
                                  {"a.b.Cable", "Cable"},
                                  {"Cable_Route", "Cable_Route"},
                                  {"qm41862.", ""},
                                  {"", ""}};
  for (const auto& c : names)
    EXPECT_STREQ(c[1], dictionary.ConvertClassNameToOrvane(c[0]).ConvertToChar()) << c[0];
  EXPECT_STREQ("QIREdsMetadataDict", dictionary.IsA());
}
