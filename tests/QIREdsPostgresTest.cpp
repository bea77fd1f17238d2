// Runs `qireds sql --postgres` in a throwaway PostgreSQL cluster and reads back what the
// server made of it.
#include "QIREdsMetadataDict.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Rows = std::vector<std::string>;

std::string ServerBin()
{
  std::string dirs = "/usr/lib/postgresql/15/bin:";
  if (const char* path = std::getenv("PATH")) dirs += path;
  std::stringstream list(dirs);
  for (std::string dir; std::getline(list, dir, ':');)
    if (fs::exists(dir + "/initdb") && fs::exists(dir + "/pg_ctl") && fs::exists(dir + "/psql"))
      return dir;
  return "";
}

// The port only names the socket in the private directory, but a free one keeps even a
// stray TCP listener out of the way.
std::string FreePort()
{
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  socklen_t length = sizeof(address);
  int port = 54329;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    port = ntohs(address.sin_port);
  if (fd >= 0) close(fd);
  return std::to_string(port);
}

std::string Lower(const QIRUnicodeString& iText)
{
  std::string text = iText.ConvertToChar();
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// A cluster in its own directory, reached only through a socket there; the server refuses
// to run as root, so it runs as "postgres" then. Stopped and removed on every path.
class Cluster {
 public:
  explicit Cluster(const std::string& iBin) : _bin(iBin)
  {
    char pattern[] = "/tmp/qireds-pg-XXXXXX";
    if (!mkdtemp(pattern)) return;
    _dir = pattern;
    const passwd* user = geteuid() == 0 ? getpwnam("postgres") : nullptr;
    if (user && chown(_dir.c_str(), user->pw_uid, user->pw_gid) == 0)
      _as = "runuser -u postgres -- ";
    const std::string port = FreePort();
    _psql = _bin + "/psql -X -q -v ON_ERROR_STOP=1 -h " + _dir + " -p " + port + " -U postgres";
    _started = Run(_bin + "/initdb -A trust -U postgres --no-sync -D " + _dir + "/data") &&
               Run(_bin + "/pg_ctl -w -D " + _dir + "/data -l " + _dir + "/server.log -o \"-k " +
                   _dir + " -p " + port + " -c listen_addresses=''\" start");
  }
  ~Cluster()
  {
    if (_started) Run(_bin + "/pg_ctl -w -m immediate -D " + _dir + "/data stop");
    std::error_code ignored;
    if (!_dir.empty()) fs::remove_all(_dir, ignored);
  }
  bool Started() const { return _started; }
  const std::string& Dir() const { return _dir; }
  bool Run(const std::string& iCommand) const
  {
    return std::system((_as + iCommand + " >>" + _dir + "/commands.log 2>&1").c_str()) == 0;
  }
  bool RunFile(const std::string& iPath) const { return Run(_psql + " -f " + iPath); }
  // One row per line, sorted.
  Rows Query(const std::string& iSql) const
  {
    Rows rows;
    FILE* pipe = popen((_as + _psql + " -At -c \"" + iSql + "\"").c_str(), "r");
    if (!pipe) return rows;
    char line[1024];
    while (fgets(line, sizeof(line), pipe)) rows.emplace_back(line, std::strcspn(line, "\n"));
    pclose(pipe);
    std::sort(rows.begin(), rows.end());
    return rows;
  }

 private:
  std::string _bin, _dir, _as, _psql;
  bool _started = false;
};

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
      " FROM pg_constraint c JOIN pg_namespace n ON n.oid = c.connamespace AND n.nspname = 'qm41862'"
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
