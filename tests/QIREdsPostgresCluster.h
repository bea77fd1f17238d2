#ifndef QIREdsPostgresCluster_H
#define QIREdsPostgresCluster_H
// A throwaway PostgreSQL cluster for the suites that need a real server.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <netinet/in.h>
#include <pwd.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace QIREdsPostgresCluster {

namespace fs = std::filesystem;
using Rows = std::vector<std::string>;

inline std::string ServerBin()
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
inline std::string FreePort()
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
    _port = FreePort();
    _psql = _bin + "/psql -X -q -v ON_ERROR_STOP=1 -h " + _dir + " -p " + _port + " -U postgres";
    _started = Run(_bin + "/initdb -A trust -U postgres --no-sync -D " + _dir + "/data") &&
               Run(_bin + "/pg_ctl -w -D " + _dir + "/data -l " + _dir + "/server.log -o \"-k " +
                   _dir + " -p " + _port + " -c listen_addresses=''\" start");
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
  bool RunFile(const std::string& iPath, const std::string& iDatabase = "postgres") const
  {
    return Run(_psql + " -d " + iDatabase + " -f " + iPath);
  }
  // A libpq connection string for one database of the cluster.
  std::string ConnInfo(const std::string& iDatabase) const
  {
    return "host=" + _dir + " port=" + _port + " user=postgres dbname=" + iDatabase;
  }
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
  std::string _bin, _dir, _as, _psql, _port;
  bool _started = false;
};

}  // namespace QIREdsPostgresCluster

#endif
