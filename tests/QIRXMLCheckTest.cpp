#include "QIRXMLCheck.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string kJobsDir = std::string(QIREDS_TEST_DATA_DIR) + "/jobs";

class QIRXMLCheck : public ::testing::Test {
 protected:
  void SetUp() override
  {
    _dir = fs::path(::testing::TempDir()) / ("xmlcheck-" + std::to_string(getpid()));
    fs::create_directories(_dir);
  }
  void TearDown() override { fs::remove_all(_dir); }

  std::string File(const std::string& iName, const std::string& iText)
  {
    std::ofstream(_dir / iName, std::ios::binary) << iText;
    return (_dir / iName).string();
  }
  // "" when the check passes, else its reason.
  static std::string Check(const std::string& iPath, const char* iDTD = nullptr,
                           std::size_t iMaxBytes = QIRXMLCheckDefaultMaxBytes)
  {
    QIRUnicodeString reason = "untouched";
    const HRESULT hr = QIRCheckXMLFile(iPath.c_str(), iDTD, iMaxBytes, reason);
    if (SUCCEEDED(hr)) return "";
    return reason.ConvertToChar();
  }

  fs::path _dir;
};

}  // namespace

TEST_F(QIRXMLCheck, FileThatCannotBeUsed_SaysWhyWithTheSystemsReason)
{
  EXPECT_EQ(_dir.string() + "/absent.xml: No such file or directory",
            Check((_dir / "absent.xml").string()));
  EXPECT_EQ(_dir.string() + ": Is a directory", Check(_dir.string()));
  EXPECT_EQ("/dev/zero: not a regular file", Check("/dev/zero"));
  const std::string empty = File("empty.xml", "");
  EXPECT_EQ(empty + ": empty file", Check(empty));
  const std::string big = File("big.xml", "<a>0123456789</a>");
  EXPECT_EQ(big + ": larger than 10 bytes", Check(big, nullptr, 10));
  EXPECT_EQ("", Check(big, nullptr, 17));
}

TEST_F(QIRXMLCheck, MalformedDocument_GivesTheFirstErrorWithLineAndColumn)
{
  const std::string path = File("bad.xml", "<a>\n  <b></a>\n<c/>");
  EXPECT_EQ(path + ":2:10: Opening and ending tag mismatch: b line 2 and a", Check(path));
  // libxml2 stops at a NUL after the document element without a word.
  const std::string trailing = File("nul.xml", std::string("<a/>\n\0junk", 10));
  EXPECT_EQ(trailing + ":2:1: text after the document element", Check(trailing));
}

TEST_F(QIRXMLCheck, ExternalEntities_AreRefusedAndNeverRead)
{
  const std::string secret = File("secret.txt", "TOP SECRET");
  const std::string general =
      File("general.xml", "<!DOCTYPE a [<!ENTITY leak SYSTEM \"" + secret + "\">]>\n<a>&leak;</a>");
  EXPECT_EQ(general + ":2:10: external entity 'leak' is not loaded", Check(general));
  const std::string parameter = File("parameter.xml", "<!DOCTYPE a [\n<!ENTITY % defs SYSTEM \"" +
                                                          secret + "\">\n%defs;\n]>\n<a/>");
  EXPECT_EQ(0U, Check(parameter).find(parameter + ":2:"));
  EXPECT_NE(std::string::npos, Check(parameter).find("'%defs' is not loaded"));
  const std::string remote = kJobsDir + "/external-http.xml";
  EXPECT_NE(std::string::npos, Check(remote).find("external entity 'remote' is not loaded"));
  // Internal entities stay allowed, and their expansion bounded.
  EXPECT_EQ("", Check(File("internal.xml", "<!DOCTYPE a [<!ENTITY n \"x\">]><a>&n;</a>")));
  EXPECT_NE(std::string::npos,
            Check(kJobsDir + "/billion-laughs.xml").find("Detected an entity reference loop"));
}

TEST_F(QIRXMLCheck, NamedDefinition_AloneDecidesValidity)
{
  const std::string dtd = kJobsDir + "/EdsJobs.dtd";
  EXPECT_EQ("", Check(kJobsDir + "/valid.xml", dtd.c_str()));
  EXPECT_EQ(kJobsDir +
                "/invalid.xml:4: Element EDB_Job content does not follow the DTD, "
                "expecting (EDB_JobInData | EDB_JobContextInData | EDB_JobOutData | "
                "EDB_JobDeleteErrOutData | EDB_JobReportOutData | EDB_JobError)*, got "
                "(EDB_JobComment )",
            Check(kJobsDir + "/invalid.xml", dtd.c_str()));
  // An internal subset that allows anything does not widen the named definition.
  const std::string evil = File("evil.xml", "<!DOCTYPE Evil [<!ELEMENT Evil ANY>]>\n<Evil/>");
  EXPECT_EQ("", Check(evil));
  EXPECT_EQ(evil + ":2: No declaration for element Evil", Check(evil, dtd.c_str()));
  // Nor does a DOCTYPE that names another definition.
  const std::string other = File("other.dtd", "<!ELEMENT EDB_Jobs ANY>");
  EXPECT_EQ(kJobsDir + "/valid.xml:3: No declaration for attribute version of element EDB_Jobs",
            Check(kJobsDir + "/valid.xml", other.c_str()));
}

TEST_F(QIRXMLCheck, BrokenDefinition_IsNamedInTheReason)
{
  const std::string document = kJobsDir + "/valid.xml";
  const std::string absent = (_dir / "absent.dtd").string();
  EXPECT_EQ(absent + ": No such file or directory", Check(document, absent.c_str()));
  const std::string text = File("text.dtd", "root:x:0:0:root:/root:/bin/bash\n");
  EXPECT_EQ(text + ":1:1: Content error in the external subset", Check(document, text.c_str()));
  // A definition that pulls in another file is refused before that file is opened.
  const std::string module = File("module.ent", "<!ELEMENT EDB_Jobs ANY>");
  const std::string modular =
      File("modular.dtd", "<!ENTITY % module SYSTEM \"" + module + "\">\n%module;\n");
  EXPECT_EQ(0U, Check(document, modular.c_str()).find(modular + ":1:"));
}
