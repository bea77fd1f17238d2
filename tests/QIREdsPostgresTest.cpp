// Runs `qireds sql --postgres` in a throwaway PostgreSQL cluster and reads back what the
// server made of it.
#include "QIREdsMetadataDict.h"
#include "QIREdsPostgresCluster.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using QIREdsPostgresCluster::Cluster;
using QIREdsPostgresCluster::Rows;
using QIREdsPostgresCluster::ServerBin;

std::string Lower(const QIRUnicodeString& iText)
{
  std::string text = iText.ConvertToChar();
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

TEST(QIREdsPostgres, SchemaCreatesWhatTheDictionarySays)
{
  const std::string bin = ServerBin(), tool = std::string(QIREDS_BINARY_DIR) + "/tools/qireds";
  const char* require = std::getenv("QIREDS_REQUIRE_POSTGRES");
  if (bin.empty() || !fs::exists(tool)) {
    if (require && std::string(require) == "1") FAIL() << "no PostgreSQL binaries or no " << tool;
    GTEST_SKIP() << "no PostgreSQL binaries or no " << tool;
  }
  QIREdsMetadataDict dictionary;
  ASSERT_EQ(S_OK, dictionary.Initialize());
  const Cluster cluster(bin);
  ASSERT_TRUE(cluster.Started()) << "see the logs under " << cluster.Dir();
  const std::string script = cluster.Dir() + "/schema.sql";
  ASSERT_EQ(0, std::system((tool + " sql --postgres > " + script).c_str()));
  ASSERT_TRUE(cluster.RunFile(script)) << "see " << cluster.Dir() << "/commands.log";

  std::map<std::string, std::string> nullable;  // table.column -> YES or NO
  for (const std::string& row :
       cluster.Query("SELECT table_name || '.' || column_name || ' ' || is_nullable FROM "
                     "information_schema.columns WHERE table_schema = 'qm41862'"))
    nullable[row.substr(0, row.find(' '))] = row.substr(row.find(' ') + 1);
  EXPECT_EQ(107U, nullable.size());

  Rows tables, keys, references;
  for (int i = 1; i <= dictionary.Tables.Size(); ++i) {
    const auto& record = *dynamic_cast<const QIREdsMetadataTable*>(dictionary.Tables[i]);
    const std::string table = Lower(dictionary.ConvertClassNameToOrvane(record.Name));
    tables.push_back(table);
    for (int j = 1; j <= record.Columns.Size(); ++j)
      EXPECT_EQ(record.Required[j] ? "NO" : "YES", nullable[table + "." + Lower(record.Columns[j])])
          << table << "." << record.Columns[j].ConvertToChar();
    keys.push_back(table + " " + Lower(record.PrimaryKeys[1]));
    for (int j = 1; j <= record.RefFromColumns.Size(); ++j)
      references.push_back(table + " " + Lower(record.RefFromColumns[j]) + " " +
                           Lower(record.RefToTables[j]) + " " + Lower(record.RefToColumns[j]));
  }
  for (Rows* rows : {&tables, &keys, &references}) std::sort(rows->begin(), rows->end());
  EXPECT_EQ(tables, cluster.Query("SELECT table_name FROM information_schema.tables "
                                  "WHERE table_schema = 'qm41862'"));

  // First column of each constraint; the referenced side only for foreign keys.
  const std::string constraints =
      "SELECT t.relname || ' ' || a.attname || coalesce(' ' || rt.relname || ' ' || ra.attname, '')"
      " FROM pg_constraint c JOIN pg_namespace n ON n.oid = c.connamespace AND n.nspname = "
      "'qm41862'"
      " JOIN pg_class t ON t.oid = c.conrelid"
      " JOIN pg_attribute a ON a.attrelid = c.conrelid AND a.attnum = c.conkey[1]"
      " LEFT JOIN pg_class rt ON rt.oid = c.confrelid"
      " LEFT JOIN pg_attribute ra ON ra.attrelid = c.confrelid AND ra.attnum = c.confkey[1]"
      " WHERE c.contype = ";
  EXPECT_EQ(keys, cluster.Query(constraints + "'p'"));
  EXPECT_EQ(9U, cluster.Query(constraints + "'u'").size());
  EXPECT_EQ(24U, references.size());
  EXPECT_EQ(references, cluster.Query(constraints + "'f'"));
}
