#include "QIRFileServices.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "QIRFaultInjection.h"

namespace fs = std::filesystem;

namespace {

// A private tree: root/a/b/target, root/a/loop -> root, root/link -> outside (holds hidden).
struct Tree {
  Tree() : Root(mkdtemp(&std::string("/tmp/qirfiles.XXXXXX")[0])) {
    fs::create_directories(Root / "root/a/b");
    fs::create_directories(Root / "outside");
    std::ofstream(Root / "root/a/b/target") << "one\n\nlonger line\nlast";
    std::ofstream(Root / "outside/hidden") << "x";
    fs::create_directory_symlink(Root / "root", Root / "root/a/loop");
    fs::create_directory_symlink(Root / "outside", Root / "root/link");
  }
  ~Tree() { fs::remove_all(Root); }
  std::string Path(const char* iRelative) const { return (Root / iRelative).string(); }
  const fs::path Root;
};

}  // namespace

TEST(QIRFileServices, MakePath_JoinsAndNeverOverruns) {
  char path[16];
  EXPECT_EQ(QIRMakePath("dir/", "name", path, sizeof path), S_OK);
  EXPECT_STREQ(path, "dir/name");
  std::memset(path, '#', sizeof path);
  EXPECT_EQ(QIRMakePath("dir", "abcd", path, 9), S_OK);  // 8 bytes and the terminator
  EXPECT_EQ(QIRMakePath("dir", "abcde", path, 9), E_FAIL);
  EXPECT_STREQ(path, "");
  EXPECT_EQ(path[9], '#');
}

TEST(QIRFileServices, FindPath_BelowWithoutLinksAndAlongVariable) {
  const Tree tree;
  char path[256];
  ASSERT_EQ(QIRFindPath("target", tree.Path("root").c_str(), path, sizeof path), S_OK);
  EXPECT_EQ(path, tree.Path("root/a/b/target"));
  EXPECT_EQ(QIRFindPath("hidden", tree.Path("root").c_str(), path, sizeof path), E_FAIL);
  EXPECT_EQ(QIRFindPath("target", tree.Path("root").c_str(), path, 10), E_FAIL);
  EXPECT_STREQ(path, "");

  const std::string entries = "/nonexistent:" + tree.Path("root/a") + ":" + tree.Path("root/a/b");
  setenv("QIRFileServicesTestPath", entries.c_str(), 1);
  ASSERT_EQ(QIRGetFilePathFromOfficialVariable("target", "QIRFileServicesTestPath", path,
                                               sizeof path), S_OK);
  EXPECT_EQ(path, tree.Path("root/a/b/target"));
}

TEST(QIRFileServices, FGets_LinesUntilEnd) {
  const Tree tree;
  QIRFileHandle handle = nullptr;
  ASSERT_EQ(QIRFOpen(tree.Path("root/a/b/target").c_str(), "r", &handle), S_OK);
  char buffer[8];
  std::string lines;
  while (QIRFEof(handle) == 1 && QIRFGets(handle, buffer, sizeof buffer) == 0)
    lines += std::string(buffer) + "|";
  EXPECT_EQ(lines, "one\n|\n|longer |line\n|last|");
  EXPECT_EQ(QIRFGets(handle, buffer, sizeof buffer), -1);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(QIRFClose(handle), S_OK);
}

TEST(QIRFileServices, FOpen_MissingOrArmedFails) {
  const Tree tree;
  QIRFileHandle handle = reinterpret_cast<QIRFileHandle>(&handle);
  EXPECT_EQ(QIRFOpen(tree.Path("none").c_str(), "r", &handle), E_FAIL);
  EXPECT_EQ(handle, nullptr);
  QIRFailCall("FOpen", 1);
  for (const HRESULT expected : {S_OK, E_FAIL, S_OK}) {
    EXPECT_EQ(QIRFOpen(tree.Path("root/a/b/target").c_str(), "r", &handle), expected);
    if (handle) QIRFClose(handle);
  }
}
