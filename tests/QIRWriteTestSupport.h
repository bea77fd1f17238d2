#ifndef QIRWriteTestSupport_H
#define QIRWriteTestSupport_H
// Checks that a write of a file is all or nothing, whichever step of it fails.

#include "QIRCodes.h"
#include "QIREdsTestSupport.h"
#include "QIRFaultInjection.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <signal.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

inline std::set<std::string> Listing(const std::filesystem::path& iDirectory)
{
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(iDirectory))
    names.insert(entry.path().filename().string());
  return names;
}

// Runs iWrite in a child process whose files may not grow beyond iLimit bytes. SIGXFSZ is
// ignored, so a write past the limit fails with EFBIG rather than killing the child. The
// child's exit status: 0 when iWrite succeeded, 1 when it failed.
inline int ChildStatus(const std::function<HRESULT()>& iWrite, rlim_t iLimit = RLIM_INFINITY)
{
  std::fflush(nullptr);  // the child must not write the parent's buffers a second time
  const pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit = {iLimit, iLimit};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(3);
    _exit(SUCCEEDED(iWrite()) ? 0 : 1);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// iWrite writes iPath. Over an older file, each step of the write made to fail in turn, and a
// file-size limit, must give E_FAIL, keep the older file byte for byte and add nothing to its
// directory; then a write left alone replaces it.
inline void ExpectAllOrNothing(const std::filesystem::path& iPath,
                               const std::function<HRESULT()>& iWrite)
{
  const std::string older = "older content, not to be lost\n";
  std::ofstream(iPath, std::ios::binary) << older;
  const std::set<std::string> before = Listing(iPath.parent_path());
  for (const char* point : {"WriteFileOpen", "WriteFileWrite", "WriteFileFlush", "WriteFileSync",
                            "WriteFileClose", "WriteFileRename"}) {
    QIRFailCall(point);
    const HRESULT hr = iWrite();
    QIRFailNothing();
    EXPECT_EQ(E_FAIL, hr) << point;
    EXPECT_TRUE(Fired(point));
    EXPECT_EQ(older, ReadFile(iPath)) << point;
    EXPECT_EQ(before, Listing(iPath.parent_path())) << point;
  }
  EXPECT_EQ(1, ChildStatus(iWrite, 16)) << "under a file-size limit";
  EXPECT_EQ(older, ReadFile(iPath)) << "under a file-size limit";
  EXPECT_EQ(before, Listing(iPath.parent_path())) << "under a file-size limit";

  ASSERT_EQ(S_OK, iWrite());
  EXPECT_EQ("<?xml", ReadFile(iPath).substr(0, 5));
  EXPECT_EQ(before, Listing(iPath.parent_path()));
}

// An existing dictionary file whose INTERFACENAME lines give iCount UUIDs.
inline void WriteUuidPool(const std::filesystem::path& iPath, int iCount)
{
  std::ofstream out(iPath);
  for (int k = 1; k <= iCount; ++k) {
    char uuid[40];
    std::snprintf(uuid, sizeof uuid, "%08d-0000-4000-8000-%012d", k, k);
    out << "  INTERFACENAME = { ID=" << uuid << " }\n";
  }
}

#endif
