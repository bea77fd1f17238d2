#include "QIRFileServices.h"

#include "QIRFaultInjection.h"
#include "QIRWriteTestSupport.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A private tree: root/a/b/target, root/a/loop -> root, root/link -> outside (holds hidden).
struct Tree {
  Tree() : Root(mkdtemp(&std::string("/tmp/qirfiles.XXXXXX")[0]))
  {
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

TEST(QIRFileServices, MakePath_JoinsAndNeverOverruns)
{
  char path[16];
  EXPECT_EQ(QIRMakePath("dir/", "name", path, sizeof path), S_OK);
  EXPECT_STREQ(path, "dir/name");
  std::memset(path, '#', sizeof path);
  EXPECT_EQ(QIRMakePath("dir", "abcd", path, 9), S_OK);  // 8 bytes and the terminator
  EXPECT_EQ(QIRMakePath("dir", "abcde", path, 9), E_FAIL);
  EXPECT_STREQ(path, "");
  EXPECT_EQ(path[9], '#');
}

TEST(QIRFileServices, SplitPathVariable_SkipsEmptyEntriesKeepsOrder)
{
  using Entries = std::vector<std::string>;
  EXPECT_EQ(Entries({"/a", "b c", "/a"}), QIRSplitPathVariable("/a:b c:/a"));
  EXPECT_EQ(Entries({"/x", "/y"}), QIRSplitPathVariable("::/x:::/y:"));
  EXPECT_EQ(Entries({"a;b"}), QIRSplitPathVariable("a;b"));  // not this system's separator
  EXPECT_EQ(Entries(), QIRSplitPathVariable(""));
  EXPECT_EQ(Entries(), QIRSplitPathVariable(":"));
  EXPECT_EQ(Entries(), QIRSplitPathVariable(nullptr));
}

TEST(QIRFileServices, FindPath_BelowWithoutLinksAndAlongVariable)
{
  const Tree tree;
  char path[256];
  ASSERT_EQ(QIRFindPath("target", tree.Path("root").c_str(), path, sizeof path), S_OK);
  EXPECT_EQ(path, tree.Path("root/a/b/target"));
  EXPECT_EQ(QIRFindPath("hidden", tree.Path("root").c_str(), path, sizeof path), E_FAIL);
  EXPECT_EQ(QIRFindPath("target", tree.Path("root").c_str(), path, 10), E_FAIL);
  EXPECT_STREQ(path, "");

  const std::string entries = "/nonexistent:" + tree.Path("root/a") + ":" + tree.Path("root/a/b");
  setenv("QIRFileServicesTestPath", entries.c_str(), 1);
  ASSERT_EQ(
      QIRGetFilePathFromOfficialVariable("target", "QIRFileServicesTestPath", path, sizeof path),
      S_OK);
  EXPECT_EQ(path, tree.Path("root/a/b/target"));
}

TEST(QIRFileServices, FGets_LinesUntilEnd)
{
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

TEST(QIRFileServices, FOpen_MissingOrArmedFails)
{
  const Tree tree;
  QIRFileHandle handle = reinterpret_cast<QIRFileHandle>(&handle);
  EXPECT_EQ(QIRFOpen(tree.Path("none").c_str(), "r", &handle), E_FAIL);
  EXPECT_EQ(handle, nullptr);
  QIRFailCall("FOpen", 1);
  for (const HRESULT expected : {S_OK, E_FAIL, S_OK}) {
    EXPECT_EQ(QIRFOpen(tree.Path("root/a/b/target").c_str(), "r", &handle), expected);
    if (handle) QIRFClose(handle);
  }
  EXPECT_TRUE(Fired("FOpen"));
}

TEST(QIRFileServices, WriteFileAtomically_AllOrNothing)
{
  const Tree tree;
  const std::string text = "<?xml version=\"1.0\"?>\n<new/>\n";
  const fs::path target = tree.Root / "root/a/out.xml";
  ExpectAllOrNothing(
      target, [&] { return QIRWriteFileAtomically(target.c_str(), text.data(), text.size()); });
  EXPECT_EQ(text, ReadFile(target));

  // Without an older file, a failed write leaves no file at all.
  const fs::path fresh = tree.Root / "root/a/b/fresh.xml";
  const std::set<std::string> before = Listing(fresh.parent_path());
  for (const char* point : {"WriteFileOpen", "WriteFileWrite", "WriteFileRename"}) {
    QIRFailCall(point);
    EXPECT_EQ(E_FAIL, QIRWriteFileAtomically(fresh.c_str(), text.data(), text.size())) << point;
    EXPECT_TRUE(Fired(point));
    QIRFailNothing();
    EXPECT_EQ(before, Listing(fresh.parent_path())) << point;
  }
  EXPECT_EQ(E_FAIL, QIRWriteFileAtomically(nullptr, text.data(), text.size()));
  EXPECT_EQ(E_FAIL, QIRWriteFileAtomically("", text.data(), text.size()));
  EXPECT_EQ(E_FAIL, QIRWriteFileAtomically(fresh.c_str(), nullptr, 1));
  EXPECT_EQ(E_FAIL, QIRWriteFileAtomically(tree.Path("root/a").c_str(), text.data(), text.size()));
  EXPECT_EQ(E_FAIL, QIRWriteFileAtomically(tree.Path("none/x.xml").c_str(), text.data(), 1));
  EXPECT_EQ(before, Listing(fresh.parent_path()));
  EXPECT_EQ(S_OK, QIRWriteFileAtomically(fresh.c_str(), nullptr, 0));
  EXPECT_EQ("", ReadFile(fresh));
}

TEST(QIRFileServices, WriteFileAtomically_KeepsLinksModesAndDevices)
{
  const Tree tree;
  const fs::path target = tree.Root / "outside/kept";
  std::ofstream(target) << "old";
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink(target, tree.Root / "root/link-to-kept");
  ASSERT_EQ(S_OK, QIRWriteFileAtomically(tree.Path("root/link-to-kept").c_str(), "new", 3));
  EXPECT_TRUE(fs::is_symlink(tree.Root / "root/link-to-kept"));
  EXPECT_EQ("new", ReadFile(target));
  EXPECT_EQ(fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read,
            fs::status(target).permissions());
  EXPECT_EQ((std::set<std::string>{"hidden", "kept"}), Listing(tree.Root / "outside"));

  // A device is written, never replaced by a regular file.
  ASSERT_EQ(S_OK, QIRWriteFileAtomically("/dev/null", "x", 1));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

// Renaming needs only the directory's permission; the file's own must still be asked for.
TEST(QIRFileServices, WriteFileAtomically_RefusesReadOnlyFile)
{
  const Tree tree;
  const fs::path target = tree.Root / "root/read-only";
  std::ofstream(target) << "old";
  fs::permissions(target, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  fs::permissions(tree.Root, fs::perms::all);
  fs::permissions(tree.Root / "root", fs::perms::all);
  const std::set<std::string> before = Listing(target.parent_path());
  // Root may write anything: the check runs as an unprivileged user.
  EXPECT_EQ(1, ChildStatus([&] {
              if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return S_OK;
              return QIRWriteFileAtomically(target.c_str(), "new", 3);
            }));
  EXPECT_EQ("old", ReadFile(target));
  EXPECT_EQ(before, Listing(target.parent_path()));
}
