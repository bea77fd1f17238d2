// The qireds tool as scripts see it: exit code, standard output and the one line on standard
// error, one group per subcommand.
#include "QIREdsTestSupport.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kJobsDir = std::string(QIREDS_TEST_DATA_DIR) + "/jobs";
const std::string kDictionaryDTD =
    std::string(QIREDS_TEST_DATA_DIR) + "/dictionary/Dictionary00.dtd";

struct Outcome {
  int Code = -1;
  std::string Out;
  std::string Err;
};

class QiredsTool : public ::testing::Test {
 protected:
  void SetUp() override
  {
    _tool = fs::path(QIREDS_BINARY_DIR) / "tools" / "qireds";
    if (!fs::exists(_tool)) GTEST_SKIP() << "qireds is not built";
    const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    _dir =
        fs::path(::testing::TempDir()) / ("qireds-tool-" + test + "-" + std::to_string(getpid()));
    fs::remove_all(_dir);
    fs::create_directories(_dir);
  }
  void TearDown() override { fs::remove_all(_dir); }

  // iArguments as the shell reads them; standard output goes to iOutput when given.
  Outcome Run(const std::string& iArguments, const std::string& iOutput = "")
  {
    const std::string out = iOutput.empty() ? (_dir / "stdout").string() : iOutput;
    const std::string command = "cd '" + _dir.string() + "' && QIRDictionaryPath='" + kJobsDir +
                                "' '" + _tool.string() + "' " + iArguments + " >" + out + " 2>'" +
                                (_dir / "stderr").string() + "'";
    const int status = std::system(command.c_str());
    Outcome outcome;
    outcome.Code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (iOutput.empty()) outcome.Out = ReadFile(out);
    outcome.Err = ReadFile((_dir / "stderr").string());
    return outcome;
  }
  std::string File(const std::string& iName, const std::string& iText)
  {
    std::ofstream(_dir / iName, std::ios::binary) << iText;
    return (_dir / iName).string();
  }
  // The value of the first attribute iName after iAfter in the text of iPath.
  static std::string AttributeAfter(const std::string& iPath, const std::string& iAfter,
                                    const std::string& iName)
  {
    const std::string text = ReadFile(iPath);
    const std::size_t at = text.find(iName + "=\"", text.find(iAfter));
    if (at == std::string::npos) return "";
    const std::size_t begin = at + iName.size() + 2;
    return text.substr(begin, text.find('"', begin) - begin);
  }

  fs::path _tool, _dir;
};

}  // namespace

TEST_F(QiredsTool, Tool_ExitCodesAndUsageErrors)
{
  const Outcome help = Run("--help");
  EXPECT_EQ(0, help.Code);
  EXPECT_NE(std::string::npos,
            help.Out.find("Exit codes: 0 success; 1 the operation failed (an input that cannot "
                          "be read or is not valid, output that cannot be written); 2 usage "
                          "error (unknown subcommand, bad or missing argument)."));
  const Outcome unknown = Run("bogus");
  EXPECT_EQ(2, unknown.Code);
  EXPECT_EQ("qireds: unknown subcommand \"bogus\" (see --help)\n", unknown.Err);
  EXPECT_EQ(2, Run("").Code);
  EXPECT_EQ("qireds: A subcommand is required (see --help)\n", Run("").Err);
  EXPECT_EQ(2, Run("sql --bogus").Code);
  EXPECT_EQ(2, Run("job").Code);
}

TEST_F(QiredsTool, Tool_OutputThatCannotBeWrittenFailsEverySubcommand)
{
  const std::vector<std::string> commands = {"--help",
                                             "sql",
                                             "dump",
                                             "diagram",
                                             "job dump '" + kJobsDir + "/valid.xml'",
                                             "job check '" + kJobsDir + "/valid.xml'",
                                             "effectivity parse 'U(1-5)'",
                                             "blanks encode 'a  b'",
                                             "fill --type Other --capacity 10 --values 2"};
  for (const std::string& command : commands) {
    const Outcome outcome = Run(command, "/dev/full");
    EXPECT_EQ(1, outcome.Code) << command;
    EXPECT_EQ(1, std::count(outcome.Err.begin(), outcome.Err.end(), '\n')) << command;
  }
  EXPECT_EQ("qireds: cannot write standard output: No space left on device\n",
            Run("fill --type Other --capacity 10 --values 2", "/dev/full").Err);
}

TEST_F(QiredsTool, Tool_InputShownInMessagesIsEscapedAndCut)
{
  const Outcome escaped = Run("job check \"$(printf 'a\\033[31m\\001')\"");
  EXPECT_EQ(1, escaped.Code);
  EXPECT_EQ("qireds job check: a\\x1B[31m\\x01: No such file or directory\n", escaped.Err);
  const Outcome cut = Run("job dump \"$(head -c 5000 /dev/zero | tr '\\0' x)\"");
  EXPECT_EQ(1, cut.Code);
  EXPECT_LT(cut.Err.size(), 430U);
  EXPECT_NE(std::string::npos, cut.Err.find("xxx...xxx"));
  EXPECT_EQ(": File name too long\n", cut.Err.substr(cut.Err.size() - 21));
}

TEST_F(QiredsTool, Dictionary_FreshThenReusedKeepsEveryUuid)
{
  const Outcome fresh = Run("dictionary --fresh -o first.xml");
  ASSERT_EQ(0, fresh.Code) << fresh.Err;
  EXPECT_EQ("", fresh.Out);  // the generator's trace goes to standard error
  EXPECT_EQ(0U, fresh.Err.find("******************** Number of existing uuid = 1024 \n"));
  EXPECT_NE(std::string::npos, fresh.Err.find("IndUiid = 117 \n"));
  const std::string first = (_dir / "first.xml").string();
  if (std::system("command -v xmllint >/dev/null") == 0) {
    EXPECT_EQ(0, std::system(("xmllint --noout --dtdvalid '" + kDictionaryDTD + "' '" + first +
                              "' 2>/dev/null")
                                 .c_str()));
  }
  const std::string uuid = AttributeAfter(first, "<Package", "Uuid");
  EXPECT_EQ(35U, uuid.size());
  EXPECT_EQ("-4", uuid.substr(13, 2));  // random, version 4, in the 8-4-4-16 form
  EXPECT_NE(uuid, AttributeAfter(first, "Work_Package", "Uuid"));

  ASSERT_EQ(0, Run("dictionary --reuse first.xml -o again.xml").Code);
  EXPECT_EQ(ReadFile(first), ReadFile((_dir / "again.xml").string()));
  // --fresh adds nothing when every name is known already.
  ASSERT_EQ(0, Run("dictionary --reuse first.xml --fresh -o third.xml").Code);
  EXPECT_EQ(ReadFile(first), ReadFile((_dir / "third.xml").string()));

  // A known name goes before the same name of a reused dictionary.
  File("known.tsv", "# notes are allowed\n\nCableNetwork\tKNOWN-UUID\n");
  ASSERT_EQ(0, Run("dictionary --known known.tsv --reuse first.xml -o known.xml").Code);
  EXPECT_EQ("KNOWN-UUID", AttributeAfter((_dir / "known.xml").string(), "<Package", "Uuid"));
  EXPECT_EQ(AttributeAfter(first, "Work_Package", "Uuid"),
            AttributeAfter((_dir / "known.xml").string(), "Work_Package", "Uuid"));
}

TEST_F(QiredsTool, Dictionary_PoolComesBeforeFreshUuids)
{
  File("pool.dict", "INTERFACENAME = { ID(11111111-2222-3333-4444-555555555555)}\n");
  ASSERT_EQ(0, Run("dictionary --uuids pool.dict --fresh -o out.xml").Code);
  const std::string out = (_dir / "out.xml").string();
  EXPECT_EQ("11111111-2222-3333-4444555555555555", AttributeAfter(out, "<Package", "Uuid"));
  EXPECT_EQ(35U, AttributeAfter(out, "Work_Package", "Uuid").size());
}

TEST_F(QiredsTool, Dictionary_FailuresNameTheCauseOnOneLine)
{
  const Outcome none = Run("dictionary -o out.xml");
  EXPECT_EQ(1, none.Code);
  EXPECT_EQ(
      "qireds dictionary: no UUID for CableNetwork: the dictionary needs 117 UUIDs; "
      "--known and --reuse gave 0 names, --uuids 0 UUIDs; --fresh makes the missing ones\n",
      none.Err);
  EXPECT_FALSE(fs::exists(_dir / "out.xml"));
  EXPECT_EQ("qireds dictionary: absent.dict: No such file or directory\n",
            Run("dictionary --uuids absent.dict -o out.xml").Err);
  fs::create_directory(_dir / "sub");
  EXPECT_EQ("qireds dictionary: sub: Is a directory\n",
            Run("dictionary --known sub --fresh -o out.xml").Err);
  File("bad.tsv", "CableNetwork\tA\nno tab here\n");
  const Outcome bad = Run("dictionary --known bad.tsv --fresh -o out.xml");
  EXPECT_EQ(1, bad.Code);
  EXPECT_EQ(
      "qireds dictionary: bad.tsv:2: expected a name, a tab and a UUID, not \"no tab "
      "here\"\n",
      bad.Err);
  const Outcome notDictionary = Run("dictionary --reuse '" + kJobsDir + "/valid.xml' -o out.xml");
  EXPECT_EQ(1, notDictionary.Code);
  EXPECT_EQ("qireds dictionary: " + kJobsDir +
                "/valid.xml: not a dictionary: its document element is not Package\n",
            notDictionary.Err);
  File("broken.xml", "<Package>\n<Class></Package>");
  EXPECT_EQ(
      "qireds dictionary: broken.xml:2:18: Opening and ending tag mismatch: Class line 2 "
      "and Package\n",
      Run("dictionary --reuse broken.xml -o out.xml").Err);
  const Outcome full = Run("dictionary --fresh -o /dev/full");
  EXPECT_EQ(1, full.Code);
  EXPECT_EQ("qireds dictionary: /dev/full: No space left on device\n", full.Err);
  EXPECT_EQ("qireds dictionary: sub: Is a directory\n", Run("dictionary --fresh -o sub").Err);
  EXPECT_EQ(2, Run("dictionary --fresh").Code);
}

TEST_F(QiredsTool, Job_DumpAndCheckAcceptTheSameFiles)
{
  const std::string secret = File("secret.txt", "TOP SECRET");
  File("entity.xml", "<!DOCTYPE EDB_Jobs [<!ENTITY leak SYSTEM \"" + secret +
                         "\">]>\n<EDB_Jobs><EDB_Job EDB_Id=\"J1\" EDB_Type=\"T\" "
                         "EDB_JobInput=\"x\">&leak;</EDB_Job></EDB_Jobs>");
  File("broken.xml", "<EDB_Jobs>\n  <EDB_Job>\n</EDB_Jobs>\n");
  const std::vector<std::string> files = {kJobsDir + "/valid.xml", "entity.xml", "broken.xml",
                                          "/dev/zero"};
  for (const std::string& file : files) {
    const Outcome dump = Run("job dump '" + file + "'");
    const Outcome check = Run("job check '" + file + "'");
    EXPECT_EQ(dump.Code, check.Code) << file;
    EXPECT_EQ(dump.Err.empty(), check.Err.empty()) << file;
    EXPECT_EQ(std::string::npos, dump.Out.find("TOP SECRET")) << file;
  }
  EXPECT_EQ("qireds job check: entity.xml:2:68: external entity 'leak' is not loaded\n",
            Run("job check entity.xml").Err);
  EXPECT_EQ(
      "qireds job dump: broken.xml:3:12: Opening and ending tag mismatch: EDB_Job line 2 "
      "and EDB_Jobs\n",
      Run("job dump broken.xml").Err);
  EXPECT_EQ("qireds job dump: /dev/zero: not a regular file\n", Run("job dump /dev/zero").Err);
  EXPECT_EQ("qireds job check: absent.xml: No such file or directory\n",
            Run("job check absent.xml").Err);
  EXPECT_EQ("qireds job dump: .: Is a directory\n", Run("job dump .").Err);
  const Outcome listed = Run("job check '" + kJobsDir + "/valid.xml'");
  EXPECT_EQ(0, listed.Code);
  EXPECT_EQ(0U, listed.Out.find("J1\tRoute\tinputs=2\tcontext=1\toutputs=1\tdelete-errors=0\t"
                                "rows=1\terror=yes\n"));
}

TEST_F(QiredsTool, Job_CheckWithDtdValidatesAgainstThatDefinitionOnly)
{
  const std::string valid = "'" + kJobsDir + "/valid.xml'";
  EXPECT_EQ(0, Run("job check " + valid + " --dtd EdsJobs.dtd").Code);
  File("evil.xml", "<!DOCTYPE Evil [<!ELEMENT Evil ANY>]>\n<Evil/>\n");
  const Outcome evil = Run("job check evil.xml --dtd EdsJobs.dtd");
  EXPECT_EQ(1, evil.Code);
  EXPECT_EQ("qireds job check: evil.xml:2: No declaration for element Evil\n", evil.Err);
  // valid.xml names EdsJobs.dtd; another definition along the path still decides.
  const Outcome other = Run("job check " + valid + " --dtd secret.dtd");
  EXPECT_EQ(1, other.Code);
  EXPECT_EQ(0U, other.Err.find("qireds job check: " + kJobsDir + "/valid.xml:3: "));
  const Outcome missing = Run("job check " + valid + " --dtd absent.dtd");
  EXPECT_EQ(1, missing.Code);
  EXPECT_EQ(
      "qireds job check: document type definition absent.dtd not found along "
      "QIRDictionaryPath (" +
          kJobsDir + ")\n",
      missing.Err);
  EXPECT_EQ(1, Run("job check " + valid + " --dtd /etc/passwd").Code);
  EXPECT_EQ(2, Run("job check " + valid + " --dtd ''").Code);
  EXPECT_EQ(2, Run("job check " + valid + " --dtd").Code);
}

TEST_F(QiredsTool, Fill_TypesAreListedAndNumbersMustBeFinite)
{
  const Outcome help = Run("fill --help");
  for (const char* type : {"QIRHgrNonWaterTightCblPn", "QIRHgrWaterTightCblPn", "Other"})
    EXPECT_NE(std::string::npos, help.Out.find(std::string("  ") + type + ": ")) << type;
  const Outcome plain = Run("fill --type Other --capacity 10 --values 2,-1,3");
  EXPECT_EQ(0, plain.Code);
  EXPECT_EQ("50\n", plain.Out);
  const Outcome misspelt = Run("fill --type QIRHgrWaterTight --capacity 10 --values 2");
  EXPECT_EQ(2, misspelt.Code);
  EXPECT_EQ("", misspelt.Out);
  EXPECT_NE(std::string::npos, misspelt.Err.find("QIRHgrWaterTight not in"));
  for (const char* numbers : {"--capacity 10 --values 1e400", "--capacity nan --values 1",
                              "--capacity 10 --values 1 --sizes inf"}) {
    const Outcome outcome = Run(std::string("fill --type Other ") + numbers);
    EXPECT_EQ(2, outcome.Code) << numbers;
    EXPECT_EQ("", outcome.Out) << numbers;
  }
  EXPECT_EQ(1, Run("fill --type QIRHgrWaterTightCblPn --capacity 10 --values 1,2 --sizes 1").Code);
}
