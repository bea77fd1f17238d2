#include "QIREdsDomParser.h"

#include "QIREdsTestSupport.h"
#include "QIREdsXMLParser.h"
#include "QIRFaultInjection.h"
#include "QIRWriteTestSupport.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace {
const std::string kJobsDir = std::string(QIREDS_TEST_DATA_DIR) + "/jobs";
const std::filesystem::path kTemp =
    std::filesystem::temp_directory_path() / ("qireds-dom-" + std::to_string(getpid()));

// A fixture with @DIR@ made the fixture directory, so that its system identifiers are absolute.
std::string Fixture(const char* iName)
{
  std::string text = ReadFile(kJobsDir + "/" + iName);
  for (std::size_t at; (at = text.find("@DIR@")) != std::string::npos;)
    text.replace(at, 5, kJobsDir);
  return text;
}

std::string Saved(const char* iName, const std::string& iText)
{
  std::filesystem::create_directories(kTemp);
  std::ofstream(kTemp / iName, std::ios::binary) << iText;
  return (kTemp / iName).string();
}

void SetEnv(const char* iName, const char* iValue)
{
  iValue ? setenv(iName, iValue, 1) : unsetenv(iName);
}
}  // namespace

TEST(QIREdsDomParser, LoadStream_RejectsBadInputWithoutThrowing)
{
  QIREdsDomParser parser;
  EXPECT_EQ(parser.LoadStream(nullptr, 0, nullptr), E_INVALIDARG);
  std::string open, close;
  for (int i = 0; i < 20000; ++i) open += "<a>", close += "</a>";
  const std::string deep = open + close;
  const std::string cases[] = {std::string(),
                               std::string("\xFF\xFE<EDB_Jobs/>", 13),
                               "<EDB_Jobs><EDB_Job EDB_Id=\"J1\"",
                               std::string("<EDB_Jobs>\0</EDB_Jobs>", 22),
                               "<EDB_Jobs></EDB_Job>",
                               deep,
                               "<a x=\"" + std::string(12 * 1024 * 1024, 'x') + "\"/>"};
  for (const std::string& text : cases) {
    SCOPED_TRACE(text.substr(0, 40));
    const _SEQUENCE_octet stream = Octets(text);
    HRESULT hr = S_OK;
    EXPECT_NO_THROW(hr = parser.LoadStream(&stream, 0, nullptr));
    EXPECT_TRUE(FAILED(hr));
  }
}

TEST(QIREdsDomParser, Failures_ExactCodesAndMessages)
{
  QIREdsDomParser parser;
  _SEQUENCE_octet* stream = nullptr;
  EXPECT_EQ(parser.GenerateStream(&stream), E_FAIL);  // no document yet
  EXPECT_EQ(parser.GenerateFile((kTemp / "none.xml").string().c_str()), E_FAIL);
  EXPECT_EQ(parser.dump(), E_FAIL);
  EXPECT_EQ(parser.Init("", "1"), E_INVALIDARG);
  for (const char* point : {"GetDOMImplementation", "CreateDocument", "CreateElement"}) {
    QIRFailCall(point);
    EXPECT_TRUE(FAILED(parser.Init("EDB_Jobs", "1"))) << point;
    EXPECT_TRUE(Fired(point));
  }
  ASSERT_EQ(parser.Init("EDB_Jobs", "1"), S_OK);
  testing::internal::CaptureStderr();
  _SEQUENCE_octet occupied;
  stream = &occupied;
  EXPECT_EQ(parser.GenerateStream(&stream), E_INVALIDARG);
  EXPECT_EQ(stream, &occupied);
  stream = nullptr;
  QIRFailCall("NewSequenceOctet");
  EXPECT_EQ(parser.GenerateStream(&stream), E_OUTOFMEMORY);
  EXPECT_TRUE(Fired("NewSequenceOctet"));
  QIRFailCall("WriteToString");
  EXPECT_TRUE(FAILED(parser.GenerateStream(&stream)));
  EXPECT_TRUE(Fired("WriteToString"));
  EXPECT_EQ(stream, nullptr);

  const _SEQUENCE_octet text = Octets("<EDB_Jobs/>");
  QIRFailCall("CreateQIRIXMLSAXFactory");
  EXPECT_EQ(parser.LoadStream(&text, 0, nullptr), E_FAIL);
  EXPECT_TRUE(Fired("CreateQIRIXMLSAXFactory"));
  QIRFailCall("CreateInputSourceFromBuffer");
  EXPECT_EQ(parser.LoadStream(&text, 0, nullptr), E_FAIL);
  EXPECT_TRUE(Fired("CreateInputSourceFromBuffer"));
  QIRFailCall("CreateQIRIXMLDOMDocumentBuilder");
  QIREdsDomParser unbuilt;
  EXPECT_TRUE(Fired("CreateQIRIXMLDOMDocumentBuilder"));
  EXPECT_EQ(unbuilt.Init("EDB_Jobs", "1"), S_OK);  // and nothing made
  EXPECT_EQ(unbuilt.GetDocument(), NULL_var);
  EXPECT_EQ(unbuilt.GetRoot(), NULL_var);
  EXPECT_EQ(unbuilt.GetDOMDocumentBuilder(), NULL_var);
  EXPECT_EQ(unbuilt.LoadFile((kJobsDir + "/valid.xml").c_str(), 0), E_FAIL);
  EXPECT_EQ(unbuilt.LoadStream(&text, 0, nullptr), E_FAIL);
  const std::string log = testing::internal::GetCapturedStderr();
  QIRFailNothing();
  for (const char* message :
       {"***ERROR*** SAX factory cannot be created !!!!",
        "error in QIREdsDomParser::QIREdsDomParser: NULL_var == spDOMDocumentBuilder",
        "error in QIREdsDomParser::GetDocument (): _spQIRIDOMdocument.isNull()",
        "error in QIREdsDomParser::GetRoot (): _spQIRIDOMroot.isNull()",
        "error in QIREdsDomParser::GetDOMDocumentBuilder (): NULL_var==_spDOMDocumentBuilder",
        "***ERROR*** input parameter must be null !!!"})
    EXPECT_NE(log.find(std::string(message) + "\n"), std::string::npos) << message;
}

TEST(QIREdsDomParser, Load_RootAndEntityExpansionDependOnSource)
{
  const std::string text =
      "<!-- by hand --><!DOCTYPE EDB_Jobs [<!ENTITY e \"expanded\">]>"
      "<EDB_Jobs><EDB_Job>&e;</EDB_Job></EDB_Jobs>";
  QIREdsDomParser fromFile, fromStream;
  ASSERT_EQ(fromFile.LoadFile(Saved("entity.xml", text).c_str(), 0), S_OK);
  QIRUnicodeString name;
  fromFile.GetRoot()->GetNodeName(name);
  EXPECT_STREQ(name.ConvertToChar(), "EDB_Jobs");  // found past the comment and the type
  EXPECT_NE(Written(fromFile).find("<EDB_Job>expanded</EDB_Job>"), std::string::npos);

  const _SEQUENCE_octet stream = Octets(text);
  EXPECT_EQ(fromStream.LoadStream(&stream, 0, nullptr), S_OK);
  EXPECT_NE(Written(fromStream).find("<EDB_Job>&e;</EDB_Job>"), std::string::npos);
  testing::internal::CaptureStderr();
  EXPECT_EQ(fromStream.GetRoot(), NULL_var);  // the first child is the comment
  testing::internal::GetCapturedStderr();
}

TEST(QIREdsDomParser, LoadStream_ValidatesAgainstDefinitionOnPath)
{
  struct Case {
    const char* File;
    unsigned char Validate;
    const char* DTDName;
    bool OnPath, Loads;
  } const cases[] = {
      {"valid.xml", 1, "EdsJobs.dtd", true, true},   {"invalid.xml", 1, "EdsJobs.dtd", true, false},
      {"invalid.xml", 0, "EdsJobs.dtd", true, true}, {"valid.xml", 1, "EdsJobs.dtd", false, false},
      {"valid.xml", 0, "EdsJobs.dtd", false, true},  {"valid.xml", 1, nullptr, true, false},
  };
  const std::string path = "/nonexistent:" + kJobsDir;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.File) + " validate=" + std::to_string(c.Validate) +
                 " on path=" + std::to_string(c.OnPath) + (c.DTDName ? "" : " no name"));
    SetEnv("QIRDictionaryPath", c.OnPath ? path.c_str() : nullptr);
    QIREdsDomParser parser;
    const _SEQUENCE_octet stream = Octets(Fixture(c.File));
    EXPECT_EQ(SUCCEEDED(parser.LoadStream(&stream, c.Validate, c.DTDName)), c.Loads);
  }
  // Not found along the path, the bare name is tried from the current directory.
  SetEnv("QIRDictionaryPath", nullptr);
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(kJobsDir);
  QIREdsDomParser parser;
  const _SEQUENCE_octet stream = Octets(Fixture("valid.xml"));
  EXPECT_EQ(parser.LoadStream(&stream, 1, "EdsJobs.dtd"), S_OK);
  std::filesystem::current_path(before);
}

TEST(QIREdsDomParser, GetResourcePathFromEnvVar_SearchOrderAndFallback)
{
  const std::filesystem::path first = kTemp / "first", second = kTemp / "second";
  for (const auto& file : {first / "both.dtd", second / "both.dtd", second / "second.dtd"})
    std::filesystem::create_directories(file.parent_path()), std::ofstream(file) << "x";
  const std::string value = first.string() + ":" + second.string();
  struct Case {
    const char *Value, *File;
    std::string Expected;
  } const cases[] = {{value.c_str(), "both.dtd", (first / "both.dtd").string()},
                     {value.c_str(), "second.dtd", (second / "second.dtd").string()},
                     {value.c_str(), "absent.dtd", "absent.dtd"},
                     {nullptr, "both.dtd", "both.dtd"}};
  QIREdsDomParser parser;
  for (const Case& c : cases) {
    SetEnv("QIREdsTestPath", c.Value);
    char path[256] = "garbage";
    EXPECT_EQ(parser.GetResourcePathFromEnvVar(c.File, "QIREdsTestPath", path), S_OK);
    EXPECT_EQ(path, c.Expected) << c.File;
    EXPECT_STREQ(std::getenv("QIREdsTestPath"), c.Value);  // left as it was
  }
  char path[256] = "garbage";
  EXPECT_EQ(parser.GetResourcePathFromEnvVar(nullptr, "QIREdsTestPath", path), E_FAIL);
  EXPECT_STREQ(path, "");
  EXPECT_EQ(parser.GetResourcePathFromEnvVar("a.dtd", nullptr, path), E_FAIL);
  EXPECT_EQ(parser.GetResourcePathFromEnvVar("a.dtd", "QIREdsTestPath", nullptr), E_FAIL);
}

TEST(QIREdsDomParser, HostileDocuments_NoOutsideContentAndBoundedExpansion)
{
  SetEnv("QIRDictionaryPath", kJobsDir.c_str());
  std::filesystem::create_directories(kTemp);
  std::filesystem::copy_file(kJobsDir + "/EdsJobs.dtd", kTemp / "EdsJobs.dtd",
                             std::filesystem::copy_options::overwrite_existing);
  for (const char* name :
       {"external-file.xml", "external-http.xml", "external-parameter.xml", "billion-laughs.xml"}) {
    const std::string text = Fixture(name), file = Saved(name, text);
    for (int variant = 0; variant < 4; ++variant) {
      const unsigned char validate = variant & 1;
      SCOPED_TRACE(std::string(name) + (variant & 2 ? " file" : " stream") +
                   (validate ? " validated" : ""));
      const auto start = std::chrono::steady_clock::now();
      QIREdsXMLParser parser;
      const _SEQUENCE_octet stream = Octets(text);
      const HRESULT hr = variant & 2 ? parser.LoadFile(file.c_str(), validate)
                                     : parser.LoadStream(&stream, validate, "EdsJobs.dtd");
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
      if (FAILED(hr)) continue;
      const std::string written = Written(parser);
      EXPECT_EQ(written.find("LEAKED"), std::string::npos);
      EXPECT_LT(written.size(), 1u << 20);
      QIRListValQIRUnicodeString ids, types, inputs;
      parser.GetJobDefinition(ids, types, inputs);
      for (int i = 1; i <= inputs.Size(); ++i)
        EXPECT_EQ(std::string(inputs[i].ConvertToChar()).find("LEAKED"), std::string::npos);
      ASSERT_EQ(parser.GenerateFile((kTemp / "saved.xml").string().c_str()), S_OK);
      EXPECT_EQ(ReadFile(kTemp / "saved.xml").find("LEAKED"), std::string::npos);
    }
  }
  std::filesystem::remove_all(kTemp);
}

TEST(QIREdsDomParser, GenerateFile_AllOrNothing)
{
  QIREdsDomParser parser;
  ASSERT_EQ(S_OK, parser.Init("EDB_Jobs", "1.0"));
  const std::filesystem::path directory = kTemp / "generate";
  std::filesystem::create_directories(directory);
  const std::filesystem::path target = directory / "jobs.xml";
  ExpectAllOrNothing(target, [&] { return parser.GenerateFile(target.c_str()); });
  EXPECT_EQ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<EDB_Jobs version=\"1.0\"/>\n",
            ReadFile(target));
  std::filesystem::remove_all(directory);
}
