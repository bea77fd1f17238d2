// Brings real databases to the schema and back: SQLite files in a temporary directory, and
// PostgreSQL databases in a throwaway cluster. The same cases run on both engines.
#include "QIREdsSchemaSync.h"

#include "QIREdsPostgresCluster.h"
#include "QIREdsTestSupport.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <sqlite3.h>
#include <sstream>
#include <string>
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;
using QIREdsPostgresCluster::Cluster;

const std::string kTool = std::string(QIREDS_BINARY_DIR) + "/tools/qireds";

struct ToolRun {
  int Code = -1;
  std::string Out, Err;
};

// The engine-specific half of each case: where the database is and how a person edits it.
class Engine {
 public:
  virtual ~Engine() = default;
  virtual std::string Target() const = 0;  // the tool's option, ready for a shell
  virtual HRESULT Open(QIREdsSchemaSync& ioSync, bool iCreate) const = 0;
  virtual bool Run(const std::string& iSql) const = 0;  // by hand, foreign keys enforced
  virtual std::string HandChanges() const = 0;
  virtual std::string LossyTypeChange() const = 0;  // a number column made text
  virtual std::string ExpectedDifferences() const = 0;
  virtual std::string Unreachable() const = 0;
  virtual int CreatedStatements() const = 0;
};

fs::path TempDir()
{
  char pattern[] = "/tmp/qireds-sync-XXXXXX";
  return mkdtemp(pattern) ? fs::path(pattern) : fs::path();
}

class SqliteEngine final : public Engine {
 public:
  explicit SqliteEngine(const fs::path& iFile) : _file(iFile) {}
  std::string Target() const override { return "--sqlite " + _file.string(); }
  HRESULT Open(QIREdsSchemaSync& ioSync, bool iCreate) const override
  {
    return ioSync.OpenSqlite(_file.c_str(), iCreate);
  }
  bool Run(const std::string& iSql) const override
  {
    sqlite3* db = nullptr;
    bool ok = sqlite3_open(_file.c_str(), &db) == SQLITE_OK &&
              sqlite3_exec(db, ("PRAGMA foreign_keys=ON;" + iSql).c_str(), nullptr, nullptr,
                           nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
  }
  // A column dropped, a type and a foreign key edited out of the stored definitions (what
  // a careless tool would leave), and a table of someone's own.
  std::string HandChanges() const override
  {
    return "ALTER TABLE Cable_Reference DROP COLUMN Tightness;"
           "CREATE TABLE stray (note TEXT);"
           "PRAGMA writable_schema=ON;"
           "UPDATE sqlite_schema SET sql = replace(sql, 'Publication_name CHAR(80)', "
           "'Publication_name CHAR(40)') WHERE name = 'Published_Connector';"
           "UPDATE sqlite_schema SET sql = replace(sql, ',CONSTRAINT CAP_SPC FOREIGN KEY "
           "(Cableway_arc_key) REFERENCES Cableway_Arc (Cableway_arc_key)', '') "
           "WHERE name = 'Cableway_Arc_Points';";
  }
  std::string LossyTypeChange() const override
  {
    return "PRAGMA writable_schema=ON;"
           "UPDATE sqlite_schema SET sql = replace(sql, 'Last_update_time INTEGER', "
           "'Last_update_time TEXT') WHERE name = 'Work_Package';";
  }
  std::string ExpectedDifferences() const override
  {
    return "missing column Cable_Reference.Tightness CHAR(8) NULL\n"
           "type Published_Connector.Publication_name: expected CHAR(80), found CHAR(40)\n"
           "missing foreign key Cableway_Arc_Points.CAP_SPC (Cableway_arc_key) REFERENCES "
           "Cableway_Arc (Cableway_arc_key)\n"
           "extra table stray\n";
  }
  std::string Unreachable() const override { return "--sqlite /nonexistent-dir/routing.db"; }
  int CreatedStatements() const override { return 13; }

 private:
  fs::path _file;
};

class PostgresEngine final : public Engine {
 public:
  PostgresEngine(const Cluster& iCluster, const std::string& iDatabase)
      : _cluster(iCluster), _database(iDatabase)
  {
  }
  std::string Target() const override
  {
    return "--postgres '" + _cluster.ConnInfo(_database) + "'";
  }
  HRESULT Open(QIREdsSchemaSync& ioSync, bool) const override
  {
    return ioSync.ConnectPostgres(_cluster.ConnInfo(_database).c_str());
  }
  bool Run(const std::string& iSql) const override
  {
    const std::string path = _cluster.Dir() + "/by-hand.sql";
    std::ofstream(path) << "SET search_path TO qm41862, public;\n" << iSql << "\n";
    return _cluster.RunFile(path, _database);
  }
  std::string HandChanges() const override
  {
    return "ALTER TABLE Cable_Reference DROP COLUMN Tightness;"
           "CREATE TABLE stray (note TEXT);"
           "ALTER TABLE Published_Connector ALTER COLUMN Publication_name TYPE CHAR(40);"
           "ALTER TABLE Cableway_Arc_Points DROP CONSTRAINT CAP_SPC;";
  }
  std::string LossyTypeChange() const override
  {
    return "ALTER TABLE Work_Package ALTER COLUMN Last_update_time TYPE TEXT;";
  }
  std::string ExpectedDifferences() const override
  {
    return "missing column Cable_Reference.Tightness character(8) NULL\n"
           "type Published_Connector.Publication_name: expected character(80), found "
           "character(40)\n"
           "missing foreign key Cableway_Arc_Points.CAP_SPC (Cableway_arc_key) REFERENCES "
           "Cableway_Arc (Cableway_arc_key)\n"
           "extra table stray\n";
  }
  std::string Unreachable() const override
  {
    return "--postgres 'host=/nonexistent-dir port=1 user=postgres connect_timeout=2'";
  }
  // The schema, then the dictionary's 13 tables and 46 constraints.
  int CreatedStatements() const override { return 60; }

 private:
  const Cluster& _cluster;
  std::string _database;
};

ToolRun RunTool(const std::string& iArguments, const fs::path& iDir)
{
  ToolRun run;
  const std::string out = (iDir / "out.txt").string(), err = (iDir / "err.txt").string();
  const int status = std::system((kTool + " " + iArguments + " >" + out + " 2>" + err).c_str());
  run.Code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.Out = ReadFile(out);
  run.Err = ReadFile(err);
  return run;
}

std::string Lines(const QIRListValQIRUnicodeString& iList)
{
  return iList.Size() ? Join(iList, "\n") + "\n" : "";
}

std::string Check(const Engine& iEngine)
{
  QIREdsSchemaSync sync;
  QIRListValQIRUnicodeString kinds, objects, expected, found, lines;
  if (FAILED(iEngine.Open(sync, false)) ||
      FAILED(sync.Check(kinds, objects, expected, found, lines)))
    return std::string("check failed: ") + sync.GetLastMessage().ConvertToChar();
  return Lines(lines);
}

int CountLines(const std::string& iText)
{
  return static_cast<int>(std::count(iText.begin(), iText.end(), '\n'));
}

// One cluster for the whole suite, started on first need; each case gets its own database.
const Cluster* SharedCluster(std::string& oWhy)
{
  static std::unique_ptr<Cluster> cluster;
  static bool tried = false;
  if (!tried) {
    tried = true;
    const std::string bin = QIREdsPostgresCluster::ServerBin();
    if (!bin.empty()) cluster = std::make_unique<Cluster>(bin);
  }
  if (!cluster)
    oWhy = "no PostgreSQL binaries";
  else if (!cluster->Started())
    oWhy = "the cluster did not start, see " + cluster->Dir();
  return cluster && cluster->Started() ? cluster.get() : nullptr;
}

class QIREdsSchemaSync_Engines : public testing::TestWithParam<const char*> {
 protected:
  void SetUp() override
  {
    _dir = TempDir();
    ASSERT_FALSE(_dir.empty());
    if (std::string(GetParam()) == "sqlite") {
      _engine = std::make_unique<SqliteEngine>(_dir / "cable-routing.db");
      return;
    }
    std::string why;
    const Cluster* cluster = SharedCluster(why);
    if (!cluster) {
      const char* require = std::getenv("QIREDS_REQUIRE_POSTGRES");
      if (require && std::string(require) == "1") FAIL() << why;
      GTEST_SKIP() << why;
    }
    static int databases = 0;
    const std::string name = "routing" + std::to_string(++databases);
    const std::string path = cluster->Dir() + "/create.sql";
    std::ofstream(path) << "CREATE DATABASE " << name << ";\n";
    ASSERT_TRUE(cluster->RunFile(path)) << "see " << cluster->Dir() << "/commands.log";
    _engine = std::make_unique<PostgresEngine>(*cluster, name);
  }
  void TearDown() override
  {
    std::error_code ignored;
    if (!_dir.empty()) fs::remove_all(_dir, ignored);
  }
  ToolRun Tool(const std::string& iAction, const std::string& iMore = "") const
  {
    return RunTool("schema " + iAction + " " + _engine->Target() + iMore, _dir);
  }
  void Apply() const
  {
    QIREdsSchemaSync sync;
    QIRListValQIRUnicodeString applied, notRun;
    ASSERT_EQ(S_OK, _engine->Open(sync, true)) << sync.GetLastMessage().ConvertToChar();
    ASSERT_EQ(S_OK, sync.Apply(applied, notRun)) << sync.GetLastMessage().ConvertToChar();
  }

  fs::path _dir;
  std::unique_ptr<Engine> _engine;
};

}  // namespace

TEST_P(QIREdsSchemaSync_Engines, Apply_EmptyDatabaseThenNothingToDo)
{
  const ToolRun first = Tool("apply");
  EXPECT_EQ(0, first.Code) << first.Err;
  EXPECT_EQ(_engine->CreatedStatements() + 1, CountLines(first.Out));  // and the summary line
  EXPECT_NE(
      std::string::npos,
      first.Out.find("applied " + std::to_string(_engine->CreatedStatements()) + " statements\n"));

  const ToolRun check = Tool("check");
  EXPECT_EQ(0, check.Code) << check.Out << check.Err;
  EXPECT_EQ("", check.Out);

  const ToolRun again = Tool("apply");
  EXPECT_EQ(0, again.Code) << again.Err;
  EXPECT_EQ("nothing to do\n", again.Out);
  EXPECT_EQ("", again.Err);
  EXPECT_EQ("", Tool("diff").Out);
}

TEST_P(QIREdsSchemaSync_Engines, Check_ListsHandChangesAndDiffConverges)
{
  Apply();
  ASSERT_TRUE(_engine->Run("INSERT INTO Published_Connector VALUES (1, 'P1');"));
  ASSERT_TRUE(_engine->Run(_engine->HandChanges()));

  const ToolRun check = Tool("check");
  EXPECT_EQ(1, check.Code);
  EXPECT_EQ(_engine->ExpectedDifferences(), check.Out);
  const ToolRun json = Tool("check", " --json");
  EXPECT_EQ(1, json.Code);
  EXPECT_NE(std::string::npos, json.Out.find("\"matches\":false,\"differences\":[\n{\"kind\":"
                                             "\"missing column\",\"object\":"
                                             "\"Cable_Reference.Tightness\""));
  EXPECT_EQ(4 + 2, CountLines(json.Out));  // a line for each difference, and the brackets

  // The additive statements converge all but the table nobody declared, which only a
  // person may drop; the row survives every rebuilt table.
  const ToolRun diff = Tool("diff");
  ASSERT_EQ(0, diff.Code) << diff.Err;
  ASSERT_TRUE(_engine->Run(diff.Out)) << diff.Out;
  EXPECT_EQ("extra table stray\n", Check(*_engine));
  std::string decided;
  std::istringstream lines(diff.Out);
  for (std::string line; std::getline(lines, line);)
    if (line.rfind("-- not run: ", 0) == 0) decided += line.substr(12) + "\n";
  EXPECT_EQ(1, CountLines(decided)) << decided;
  EXPECT_EQ(0U, decided.find("DROP TABLE ")) << decided;
  ASSERT_TRUE(_engine->Run(decided));
  EXPECT_EQ(0, Tool("check").Code);
  EXPECT_FALSE(_engine->Run("INSERT INTO Published_Connector VALUES (2, 'P1');"));  // unique
  EXPECT_TRUE(_engine->Run("INSERT INTO Published_Connector VALUES (2, 'P2');"));
}

TEST_P(QIREdsSchemaSync_Engines, Apply_LeavesALossyTypeChangeToAPerson)
{
  Apply();
  ASSERT_TRUE(_engine->Run("INSERT INTO Work_Package VALUES (1, 'pi', 'dr', 'T', 7, 0);"));
  ASSERT_TRUE(_engine->Run(_engine->LossyTypeChange()));
  const std::string differences = Check(*_engine);
  EXPECT_EQ(0U, differences.find("type Work_Package.Last_update_time: expected ")) << differences;
  EXPECT_EQ(1, CountLines(differences)) << differences;

  QIREdsSchemaSync sync;
  QIRListValQIRUnicodeString applied, notRun;
  ASSERT_EQ(S_OK, _engine->Open(sync, false));
  ASSERT_EQ(S_OK, sync.Apply(applied, notRun)) << sync.GetLastMessage().ConvertToChar();
  EXPECT_EQ(0, applied.Size()) << Join(applied);
  ASSERT_EQ(1, notRun.Size());
  EXPECT_NE(std::string::npos, std::string(notRun[1].ConvertToChar()).find("Last_update_time"));
  EXPECT_EQ(differences, Check(*_engine));
}

TEST_P(QIREdsSchemaSync_Engines, Apply_RefusedRowsAfterwards)
{
  Apply();
  EXPECT_TRUE(_engine->Run("INSERT INTO Work_Package VALUES (1, 'pi', 'dr', 'T', 0, 0);"));
  EXPECT_FALSE(_engine->Run("INSERT INTO Work_Package VALUES (2, 'pi', 'dr', NULL, 0, 0);"));
  EXPECT_FALSE(
      _engine->Run("INSERT INTO Equipment (Equipment_key, Equipment_name, Work_package_key) VALUES "
                   "(1, 'E', 9);"));
  EXPECT_TRUE(
      _engine->Run("INSERT INTO Equipment (Equipment_key, Equipment_name, Work_package_key) VALUES "
                   "(1, 'E', 1);"));
}

TEST_P(QIREdsSchemaSync_Engines, Apply_FailureRollsBackAndNamesTheStatement)
{
  Apply();
  // A required column cannot come back to a table that has rows: there is no value for it.
  ASSERT_TRUE(
      _engine->Run("INSERT INTO Work_Package VALUES (1, 'pi', 'dr', 'T', 0, 0);"
                   "ALTER TABLE Work_Package DROP COLUMN Work_package_type;"
                   "DROP TABLE Cableway_Arc_Points;"));
  const std::string before = Check(*_engine);
  const ToolRun apply = Tool("apply");
  EXPECT_EQ(1, apply.Code);
  EXPECT_EQ(1, CountLines(apply.Err)) << apply.Err;
  EXPECT_EQ(0U, apply.Err.find("qireds schema apply: rolled back: ")) << apply.Err;
  EXPECT_NE(std::string::npos, apply.Err.find("Work_package_type")) << apply.Err;
  std::string reason = apply.Err.substr(apply.Err.find(";: "));  // the server's part
  for (char& c : reason) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_NE(std::string::npos, reason.find("null")) << apply.Err;
  EXPECT_EQ(before, Check(*_engine));
  EXPECT_NE(std::string::npos, before.find("missing table Cableway_Arc_Points\n"));
}

TEST_P(QIREdsSchemaSync_Engines, UnreachableDatabase_ExitTwoInOneLine)
{
  for (const char* action : {"check", "diff", "apply"}) {
    const ToolRun run =
        RunTool(std::string("schema ") + action + " " + _engine->Unreachable(), _dir);
    EXPECT_EQ(2, run.Code) << action;
    EXPECT_EQ("", run.Out) << action;
    EXPECT_EQ(1, CountLines(run.Err)) << action << ": " << run.Err;
    EXPECT_EQ(
        0U, run.Err.find(std::string("qireds schema ") + action + ": cannot reach the database: "))
        << run.Err;
  }
}

INSTANTIATE_TEST_SUITE_P(, QIREdsSchemaSync_Engines, testing::Values("sqlite", "postgres"),
                         [](const auto& iInfo) { return std::string(iInfo.param); });

TEST(QIREdsSchemaSync, GenerateSqliteStatements_RunAsTheyAre)
{
  QIRListValQIRUnicodeString statements;
  ASSERT_EQ(S_OK, QIREdsSchemaSync::GenerateSqliteStatements(statements));
  EXPECT_EQ(ReadFile(std::string(QIREDS_TEST_DATA_DIR) + "/dict/sql-sqlite.txt"),
            Lines(statements));

  const fs::path dir = TempDir();
  const SqliteEngine engine(dir / "by-script.db");
  EXPECT_TRUE(engine.Run(Join(statements, "\n")));
  EXPECT_EQ("", Check(engine));
  fs::remove_all(dir);
}

TEST(QIREdsSchemaSync, Operations_FailWithoutADatabase)
{
  QIREdsSchemaSync sync;
  QIRListValQIRUnicodeString a, b, c, d, e;
  EXPECT_EQ(E_FAIL, sync.Check(a, b, c, d, e));
  EXPECT_EQ(E_FAIL, sync.Diff(a, b));
  EXPECT_EQ(E_FAIL, sync.DiffScript(a));
  EXPECT_EQ(E_FAIL, sync.Apply(a, b));
  EXPECT_STREQ("no database is open", sync.GetLastMessage().ConvertToChar());
  EXPECT_EQ(E_INVALIDARG, sync.OpenSqlite("", 1));

  const fs::path dir = TempDir();
  EXPECT_EQ(E_FAIL, sync.OpenSqlite((dir / "absent.db").c_str(), 0));
  EXPECT_FALSE(fs::exists(dir / "absent.db"));  // only apply creates a file
  std::ofstream(dir / "notes.db") << "not a database, just long enough to have a header\n";
  EXPECT_EQ(E_FAIL, sync.OpenSqlite((dir / "notes.db").c_str(), 1));
  EXPECT_NE(std::string::npos,
            std::string(sync.GetLastMessage().ConvertToChar()).find("not a database"));
  EXPECT_EQ(E_FAIL, sync.Check(a, b, c, d, e));  // a failed open leaves nothing open
  fs::remove_all(dir);
}

TEST(QIREdsSchemaSync, Diff_EmptySqliteFileCreatesEveryTable)
{
  const fs::path dir = TempDir();
  const SqliteEngine engine(dir / "empty.db");
  ASSERT_TRUE(engine.Run(""));
  QIREdsSchemaSync sync;
  QIRListValQIRUnicodeString statements, notRun, script;
  ASSERT_EQ(S_OK, engine.Open(sync, false));
  ASSERT_EQ(S_OK, sync.Diff(statements, notRun));
  EXPECT_EQ(13, statements.Size());
  EXPECT_EQ(0, notRun.Size());
  ASSERT_EQ(S_OK, sync.DiffScript(script));
  ASSERT_EQ(13 + 4, script.Size());
  EXPECT_EQ("PRAGMA foreign_keys=OFF;|BEGIN;|COMMIT;|PRAGMA foreign_keys=ON;",
            Join(script).substr(0, 31) + Join(script).substr(Join(script).rfind("|COMMIT;")));
  EXPECT_EQ(13, CountLines(Check(engine)));
  fs::remove_all(dir);
}
