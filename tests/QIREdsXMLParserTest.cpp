#include "QIREdsXMLParser.h"

#include "QIREdsTestSupport.h"
#include "QIRFaultInjection.h"
#include "QIRWriteTestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <string>
#include <unistd.h>

namespace {
const std::string kJobsDir = std::string(QIREDS_TEST_DATA_DIR) + "/jobs";
typedef QIRListValQIRUnicodeString Strings;

// Type of the job that the identifier finds, "-" when none.
std::string TypeOf(const QIREdsXMLParser& iParser, const char* iId)
{
  QIRIDOMElement* job = nullptr;
  if (FAILED(iParser.GetDOMElemByTagName("EDB_Job", "EDB_Id", iId, &job))) return "failed";
  QIRUnicodeString type("-");
  if (job) job->GetAttribute("EDB_Type", type), job->Release();
  return type.ConvertToChar();
}

QIRIDOMElement_var JobAt(const QIREdsXMLParser& iParser, unsigned int iIndex)
{
  QIRIDOMNodeList_var jobs;
  QIRIDOMNode_var job;
  QIRIDOMElement_var root(iParser.GetRoot());
  root->GetElementsByTagName("EDB_Job", jobs);
  jobs->Item(iIndex, job);
  return QIRIDOMElement_var(job);
}

// Tags of a job's children in order, read by walking the tree rather than by a lookup.
std::string ChildTags(const QIRIDOMElement_var& iJob)
{
  std::string tags;
  QIRIDOMNode_var child, next;
  for (iJob->GetFirstChild(child); child != NULL_var; child->GetNextSibling(next), child = next) {
    QIRUnicodeString name;
    child->GetNodeName(name);
    tags += (tags.empty() ? "" : ",") + std::string(name.ConvertToChar());
  }
  return tags;
}

std::string Output(const std::string& iCommand)
{
  std::string output;
  if (FILE* pipe = popen((iCommand + " 2>&1").c_str(), "r")) {
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
      output.append(buffer, n);
    if (pclose(pipe) != 0) output += "[exit status not 0]";
  }
  return output;
}
}  // namespace

TEST(QIREdsXMLParser, Writers_IndependentReadersAgree)
{
  QIREdsXMLParser parser;
  ASSERT_EQ(parser.Init("EDB_Jobs", "3"), S_OK);
  ASSERT_EQ(parser.AppendJobDefinition("J1", "Route", "Kabel Ä–ß 中"), S_OK);
  EXPECT_EQ(parser.InsertJobInput("J1", "Length", "12.5", "Double"), S_OK);
  EXPECT_EQ(parser.InsertJobOutput("J1", "", "", ""), S_OK);
  EXPECT_EQ(parser.InsertJobInput("J1", "Note", "", ""), S_OK);
  EXPECT_EQ(parser.InsertJobContextInput("J1", "Package", "WP-2 中", "String"), S_OK);
  EXPECT_EQ(parser.InsertJobReportOutput("J1", Split("row one|row two")), S_OK);
  const Strings parameters = Split("a|b c|d");
  EXPECT_EQ(parser.InsertJobErrorMsg("J1", "E1", "routes", &parameters), S_OK);
  EXPECT_EQ(parser.InsertJobErrorMsg("J1", "E2", "later", nullptr), S_OK);
  ASSERT_EQ(parser.AppendJobDefinition("J2", "Delete", ""), S_OK);
  EXPECT_EQ(parser.InsertJobDeleteErrOutput("J2", "Cable_Instance", "FK_1", "C-3"), S_OK);
  ASSERT_EQ(parser.AppendJobDefinition("J1", "Shadow", "dup"), S_OK);
  EXPECT_EQ(parser.InsertJobInput("J1", "Late", "v", "t"), S_OK);  // to the first J1

  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("qireds-jobs-" + std::to_string(getpid()) + ".xml");
  std::ofstream(file, std::ios::binary) << Written(parser);
  if (std::system("command -v xmllint >/dev/null && command -v python3 >/dev/null") != 0)
    GTEST_SKIP() << "xmllint or python3 missing";
  EXPECT_EQ(
      Output("xmllint --noout --dtdvalid '" + kJobsDir + "/EdsJobs.dtd' '" + file.string() + "'"),
      "");
  EXPECT_EQ(Output("PYTHONIOENCODING=utf-8 python3 '" + kJobsDir + "/list_jobs.py' '" +
                   file.string() + "'"),
            "EDB_Jobs|3\n"
            "EDB_Job|EDB_Id=J1|EDB_Type=Route|EDB_JobInput=Kabel Ä–ß 中\n"
            " EDB_JobInData|EDB_iAttrName=Length|EDB_iAttrValue=12.5|EDB_iAttrType=Double\n"
            " EDB_JobOutData|EDB_oAttrName=|EDB_oAttrValue=|EDB_oAttrType=\n"
            " EDB_JobInData|EDB_iAttrName=Note\n"
            " EDB_JobContextInData|EDB_Ctxt_iAttrName=Package|EDB_Ctxt_iAttrValue=WP-2 中"
            "|EDB_Ctxt_iAttrType=String\n"
            " EDB_JobReportOutData|EDB_JobReportOneRow=row one\n"
            " EDB_JobReportOutData|EDB_JobReportOneRow=row two\n"
            " EDB_JobError|EDB_JobErrorKey=E1|EDB_JobErrorFile=routes|EDB_JobErrorParm=a@b c@d\n"
            " EDB_JobError|EDB_JobErrorKey=E2|EDB_JobErrorFile=later|EDB_JobErrorParm=\n"
            " EDB_JobInData|EDB_iAttrName=Late|EDB_iAttrValue=v|EDB_iAttrType=t\n"
            "EDB_Job|EDB_Id=J2|EDB_Type=Delete|EDB_JobInput=\n"
            " EDB_JobDeleteErrOutData|EDB_oRefClassName=Cable_Instance|EDB_oRefCstName=FK_1"
            "|EDB_oRefObject=C-3\n"
            "EDB_Job|EDB_Id=J1|EDB_Type=Shadow|EDB_JobInput=dup\n");
  std::filesystem::remove(file);
}

TEST(QIREdsXMLParser, Readers_ValidDocument)
{
  QIREdsXMLParser parser;
  ASSERT_EQ(parser.LoadFile((kJobsDir + "/valid.xml").c_str(), 0), S_OK);
  const auto read = [&parser](const std::string& iReader, const char* iJob) {
    Strings x, y, z;
    HRESULT hr = E_FAIL;
    if (iReader == "jobs") hr = parser.GetJobDefinition(x, y, z);
    if (iReader == "input") hr = parser.GetJobInput(iJob, x, y, z);
    if (iReader == "context") hr = parser.GetJobContextInput(iJob, x, y, z);
    if (iReader == "output") hr = parser.GetJobOutput(iJob, x, y, z);
    if (iReader == "delete") hr = parser.GetJobDeleteErrOutput(iJob, x, y, z);
    if (iReader == "report") hr = parser.GetJobReportOutput(iJob, x);
    if (iReader == "twice")
      parser.GetJobInput(iJob, x, y, z), hr = parser.GetJobInput(iJob, x, y, z);
    return std::to_string(hr) + ":" + Join(x) + "/" + Join(y) + "/" + Join(z);
  };
  struct Case {
    const char *Reader, *Job, *Expected;
  } const cases[] = {
      {"jobs", "", "0:J1|J2/Route|Delete/cable C-17|"},
      {"input", "J1", "0:Length|Note/12.5|/Double|"},
      {"context", "J1", "0:Package/WP-2/String"},
      {"output", "J1", "0:Route/R-9/Uuid"},
      {"delete", "J2", "0:Cable_Instance/FK_1/C-3"},
      {"delete", "J1", "0://"},
      {"report", "J1", "0:row one//"},
      {"input", "J9", "0://"},
      {"twice", "J1", "0:Length|Note|Length|Note/12.5||12.5|/Double||Double|"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(read(c.Reader, c.Job), c.Expected) << c.Reader << " " << c.Job;

  QIRUnicodeString key, file, type, parm("kept");
  EXPECT_EQ(parser.GetJobError("J2", key, file, type, parm), E_FAIL);
  EXPECT_EQ(parser.GetJobError("J9", key, file, type, parm), E_FAIL);
  EXPECT_EQ(parser.GetSingleJobDefinition(key, file, parm), E_FAIL);  // two jobs
  EXPECT_STREQ(parm.ConvertToChar(), "kept");                         // untouched
  ASSERT_EQ(parser.GetJobError("J1", key, file, type, parm), S_OK);   // the first of two
  EXPECT_EQ(std::string(key.ConvertToChar()) + file.ConvertToChar() + type.ConvertToChar() +
                parm.ConvertToChar(),
            "E1routesfatala@b");
}

TEST(QIREdsXMLParser, JobLookup_FollowsEveryChangeOfTheDocument)
{
  QIREdsXMLParser parser;
  parser.Init("EDB_Jobs", "1");
  parser.AppendJobDefinition("A", "first", "");
  parser.AppendJobDefinition("B", "b", "");
  parser.AppendJobDefinition("A", "second", "");
  EXPECT_EQ(TypeOf(parser, "A"), "first");

  // The caller moves the first A to the end: the other A now comes first.
  ASSERT_EQ(parser.GetRoot()->AppendChild(QIRIDOMNode_var(JobAt(parser, 0).get())), S_OK);
  EXPECT_EQ(TypeOf(parser, "A"), "second");

  // A job nested under B comes before every later job in document order.
  QIRIDOMElement_var nested;
  parser.GetDocument()->CreateElement("EDB_Job", nested);
  nested->SetAttribute("EDB_Id", "A");
  nested->SetAttribute("EDB_Type", "nested");
  ASSERT_EQ(JobAt(parser, 0)->AppendChild(QIRIDOMNode_var(nested.get())), S_OK);
  EXPECT_EQ(TypeOf(parser, "A"), "nested");

  nested->SetAttribute("EDB_Id", "Z");  // renamed through the caller's handle
  EXPECT_EQ(TypeOf(parser, "A"), "second");
  EXPECT_EQ(TypeOf(parser, "Z"), "nested");

  parser.AppendJobDefinition("A", "third", "");  // a later duplicate never wins
  parser.AppendJobDefinition("N", "new", "");
  EXPECT_EQ(TypeOf(parser, "A"), "second");
  EXPECT_EQ(TypeOf(parser, "N"), "new");

  const _SEQUENCE_octet text = Octets(Written(parser));
  parser.Init("EDB_Jobs", "2");
  EXPECT_EQ(TypeOf(parser, "A"), "-");
  ASSERT_EQ(parser.LoadStream(&text, 0, nullptr), S_OK);
  EXPECT_EQ(TypeOf(parser, "A"), "second");
  // Another document, loaded with the same modification count, is indexed afresh.
  const _SEQUENCE_octet other =
      Octets("<EDB_Jobs><EDB_Job EDB_Id=\"A\" EDB_Type=\"other\"/></EDB_Jobs>");
  ASSERT_EQ(parser.LoadStream(&other, 0, nullptr), S_OK);
  EXPECT_EQ(TypeOf(parser, "A"), "other");
  EXPECT_EQ(parser.InsertJobOutput("A", "o", "v", "t"), S_OK);
  EXPECT_EQ(ChildTags(JobAt(parser, 0)), "EDB_JobOutData");
}

// Lookups in document order take a shortcut past the hash: it must give what the hash gives,
// in any order of asking, duplicates included.
TEST(QIREdsXMLParser, JobLookup_InAnyOrderFindsTheFirstOfEachIdentifier)
{
  QIREdsXMLParser parser;
  parser.Init("EDB_Jobs", "1");
  for (const char* job : {"A:1", "B:2", "A:3", "C:4", "D:5"})
    parser.AppendJobDefinition(std::string(job, 1).c_str(), job + 2, "");
  const _SEQUENCE_octet text = Octets(Written(parser));
  QIREdsXMLParser reader;
  ASSERT_EQ(reader.LoadStream(&text, 0, nullptr), S_OK);
  for (QIREdsXMLParser* jobs : {&parser, &reader}) {
    std::string found;
    for (const char* id : {"A", "B", "A", "C", "D", "X", "D", "C", "B", "A", "C", "A"})
      found += TypeOf(*jobs, id);
    EXPECT_EQ(found, "12145-542141");
  }

  // Enough jobs for the index to grow many times; every seventh repeats an earlier identifier.
  QIREdsXMLParser many;
  many.Init("EDB_Jobs", "1");
  std::map<std::string, std::string> first;
  for (int i = 0; i < 3000; ++i) {
    const std::string id = "J" + std::to_string(i % 7 == 6 ? i / 2 : i);
    many.AppendJobDefinition(id.c_str(), std::to_string(i).c_str(), "");
    first.emplace(id, std::to_string(i));
    if (i == 0) {
      EXPECT_EQ(TypeOf(many, "J0"), "0");  // indexed from here on, job by job
    }
  }
  std::mt19937 random(7);
  for (int k = 0; k < 4000; ++k) {
    const std::string id = "J" + std::to_string(random() % 3100);
    const auto known = first.find(id);
    ASSERT_EQ(TypeOf(many, id.c_str()), known == first.end() ? "-" : known->second) << id;
  }
}

// The readers answer from what they gathered of a job and of the document only while
// nothing changed it: every change through the caller's handles shows at the next read.
TEST(QIREdsXMLParser, Readers_FollowChangesMadeThroughHandles)
{
  QIREdsXMLParser parser;
  parser.Init("EDB_Jobs", "1");
  parser.AppendJobDefinition("J1", "t", "");
  parser.InsertJobInput("J1", "a", "1", "s");
  Strings names, values, types;
  const auto inputs = [&] {
    names.RemoveAll(), values.RemoveAll(), types.RemoveAll();
    EXPECT_EQ(parser.GetJobInput("J1", names, values, types), S_OK);
    return Join(names) + "=" + Join(values);
  };
  EXPECT_EQ(inputs(), "a=1");

  // A part added deeper under the job, by handles, is one of its parts.
  QIRIDOMDocument_var document = parser.GetDocument();
  QIRIDOMElement_var group, part;
  document->CreateElement("Group", group);
  document->CreateElement("EDB_JobInData", part);
  part->SetAttribute("EDB_iAttrName", "b");
  group->AppendChild(QIRIDOMNode_var(part.get()));
  JobAt(parser, 0)->AppendChild(QIRIDOMNode_var(group.get()));
  EXPECT_EQ(inputs(), "a|b=1|");
  part->SetAttribute("EDB_iAttrValue", "2");
  EXPECT_EQ(inputs(), "a|b=1|2");
  parser.GetRoot()->AppendChild(QIRIDOMNode_var(group.get()));  // out of the job again
  EXPECT_EQ(inputs(), "a=1");

  // A job added by handles is listed, and a job renamed by handles is found by its new name.
  Strings ids, jobTypes, jobInputs;
  QIRIDOMElement_var job;
  document->CreateElement("EDB_Job", job);
  job->SetAttribute("EDB_Id", "J2");
  parser.GetRoot()->AppendChild(QIRIDOMNode_var(job.get()));
  ASSERT_EQ(parser.GetJobDefinition(ids, jobTypes, jobInputs), S_OK);
  EXPECT_EQ(Join(ids), "J1|J2");
  JobAt(parser, 0)->SetAttribute("EDB_Id", "J9");
  EXPECT_EQ(TypeOf(parser, "J1"), "-");
  EXPECT_EQ(TypeOf(parser, "J9"), "t");
  names.RemoveAll(), values.RemoveAll(), types.RemoveAll();
  EXPECT_EQ(parser.GetJobInput("J9", names, values, types), S_OK);
  EXPECT_EQ(Join(names), "a");
}

TEST(QIREdsXMLParser, Failures_CodesAndWhatIsLeft)
{
  QIREdsXMLParser parser, empty;
  parser.Init("EDB_Jobs", "1");
  parser.AppendJobDefinition("J1", "Route", "");
  QIRIDOMElement_var lent(parser.GetRoot());  // stands for an output not yet cleared
  QIRIDOMElement* element = lent.get();
  QIRIDOMNodeList* list = reinterpret_cast<QIRIDOMNodeList*>(element);
  Strings x, y, z;
  testing::internal::CaptureStderr();  // each call without a document logs why
  EXPECT_EQ(empty.GetDOMElemByTagName("EDB_Job", "EDB_Id", "J1", &element), E_FAIL);
  EXPECT_EQ(empty.GetJobOutputNodeList("J1", &list), E_FAIL);
  EXPECT_TRUE(element == nullptr && list == nullptr);
  EXPECT_EQ(empty.AppendJobDefinition("J1", "Route", ""), E_FAIL);
  EXPECT_EQ(empty.InsertJobInput("J1", "n", "v", "t"), E_FAIL);
  EXPECT_EQ(empty.GetJobDefinition(x, y, z), E_FAIL);
  EXPECT_EQ(empty.GetJobOutput("J1", x, y, z), E_FAIL);
  EXPECT_EQ(parser.InsertSingleJobInputFromParser(&empty), E_FAIL);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(parser.GetDOMElemByTagName("EDB_Job", nullptr), E_FAIL);
  EXPECT_EQ(parser.GetNodeListUnderJobId("J1", "EDB_JobInData", nullptr), E_FAIL);

  EXPECT_EQ(parser.GetDOMElemByTagName("Nothing", "a", "b", &element), S_OK);
  EXPECT_EQ(parser.GetJobInputNodeList("J9", &list), S_OK);
  EXPECT_TRUE(element == nullptr && list == nullptr);
  const std::string before = Written(parser);
  EXPECT_EQ(parser.InsertJobReportOutput("J1", Strings()), E_FAIL);
  EXPECT_EQ(parser.InsertJobErrorMsg("J9", "k", "f", nullptr), S_OK);
  EXPECT_EQ(Written(parser), before);

  // An attribute failing still appends the element; a row whose attribute fails is not.
  QIRFailCall("SetAttribute", 1);
  EXPECT_EQ(parser.InsertJobOutput("J1", "n", "v", "t"), S_OK);
  EXPECT_TRUE(Fired("SetAttribute"));
  QIRFailCall("SetAttribute", 1);
  EXPECT_EQ(parser.InsertJobReportOutput("J1", Split("r1|r2|r3")), E_FAIL);
  EXPECT_TRUE(Fired("SetAttribute"));
  QIRFailCall("AppendChild");
  EXPECT_EQ(parser.InsertJobInput("J1", "n", "v", "t"), E_FAIL);
  EXPECT_TRUE(Fired("AppendChild"));
  QIRFailNothing();
  parser.GetJobOutput("J1", x, y, z);
  EXPECT_EQ(Join(x) + "/" + Join(y), "n/");
  EXPECT_EQ(ChildTags(JobAt(parser, 0)), "EDB_JobOutData,EDB_JobReportOutData");
}

TEST(QIREdsXMLParser, Writers_RefuseWhatNoLoaderReadsBack)
{
  QIREdsXMLParser parser;
  ASSERT_EQ(parser.Init("EDB_Jobs", "1"), S_OK);
  ASSERT_EQ(parser.AppendJobDefinition("J1", "T", "i"), S_OK);
  const std::string before = Written(parser);
  const std::string tooLong(QIREdsXMLParser::kLargestValue + 1, 'x');
  Strings rows, params;
  for (const char* bad : {"a\x01"
                          "b",
                          "\x0B", "x\xEF\xBF\xBE", "\xEF\xBF\xBF", tooLong.c_str()}) {
    SCOPED_TRACE(testing::PrintToString(std::string(bad).substr(0, 8)));
    EXPECT_EQ(parser.AppendJobDefinition("J2", "T", bad), E_INVALIDARG);
    EXPECT_EQ(parser.InsertJobInput("J1", "N", bad, "String"), E_INVALIDARG);
    EXPECT_EQ(parser.InsertJobContextInput("J1", bad, "v", ""), E_INVALIDARG);
    EXPECT_EQ(parser.InsertJobOutput("J1", "N", "v", bad), E_INVALIDARG);
    EXPECT_EQ(parser.InsertJobDeleteErrOutput("J1", "C", bad, "O"), E_INVALIDARG);
    rows = Strings();
    rows.Append("fine");
    rows.Append(bad);
    EXPECT_EQ(parser.InsertJobReportOutput("J1", rows), E_INVALIDARG);
    params = Strings();
    params.Append(bad);
    EXPECT_EQ(parser.InsertJobErrorMsg("J1", "K", "F", &params), E_INVALIDARG);
  }
  EXPECT_EQ(Written(parser), before) << "a refused value left something behind";

  // The longest value, with characters that are escaped when written, comes back whole; an
  // "&" counts five.
  std::string longest(QIREdsXMLParser::kLargestValue - 8, 'v');
  longest.replace(0, 4, "<&\"\n");
  longest += "\xC3\xA9\t\r";
  ASSERT_EQ(longest.size() + 4, static_cast<std::size_t>(QIREdsXMLParser::kLargestValue));
  EXPECT_EQ(parser.InsertJobInput("J1", "Long", (longest + "&").c_str(), ""), E_INVALIDARG);
  QIRUnicodeString value;
  ASSERT_EQ(value.BuildFromUTF8(longest.data(), longest.size()), S_OK);
  ASSERT_EQ(parser.InsertJobInput("J1", "Long", value, "String"), S_OK);
  for (int i = 0; i < 8; ++i) ASSERT_EQ(parser.InsertJobOutput("J1", "Short", "s", "String"), S_OK);
  const _SEQUENCE_octet stream = Octets(Written(parser));
  QIREdsXMLParser reader;
  ASSERT_EQ(reader.LoadStream(&stream, 0, nullptr), S_OK);
  Strings names, values, types;
  ASSERT_EQ(reader.GetJobInput("J1", names, values, types), S_OK);
  ASSERT_EQ(values.Size(), 1);
  EXPECT_TRUE(values[1] == value);
}

// Values are looked at several bytes at a time: a character XML cannot carry is found at any
// place of a long value, and the "&" that count five are counted up to the last one.
TEST(QIREdsXMLParser, Writers_LookAtEveryPlaceOfALongValue)
{
  QIREdsXMLParser parser;
  ASSERT_EQ(parser.Init("EDB_Jobs", "1"), S_OK);
  ASSERT_EQ(parser.AppendJobDefinition("J1", "T", "i"), S_OK);
  const std::string plain = "abcdefghijklmnopqrstuvwx";
  for (std::size_t at = 0; at < plain.size(); ++at) {
    SCOPED_TRACE(at);
    std::string value = plain;
    value[at] = '\x1F';
    EXPECT_EQ(parser.InsertJobOutput("J1", "N", value.c_str(), "t"), E_INVALIDARG);
    value.replace(at, 1, "\xEF\xBF\xBE");
    EXPECT_EQ(parser.InsertJobOutput("J1", "N", value.c_str(), "t"), E_INVALIDARG);
    value = plain;
    value[at] = '\x7F';
    EXPECT_EQ(parser.InsertJobOutput("J1", "N", value.c_str(), "t"), S_OK);
  }
  const std::string amps(QIREdsXMLParser::kLargestValue / 5, '&');
  EXPECT_EQ(parser.InsertJobOutput("J1", "N", amps.c_str(), "t"), S_OK);
  EXPECT_EQ(parser.InsertJobOutput("J1", "N", (amps + "&").c_str(), "t"), E_INVALIDARG);
}

TEST(QIREdsXMLParser, DumpXML_OnlyWithTraceVariable)
{
  QIREdsXMLParser parser;
  parser.Init("EDB_Jobs", "1");
  unsetenv("ECDBClientTraces");
  std::string out[2];
  for (std::string& dump : out) {
    testing::internal::CaptureStdout();
    parser.DumpXML();
    dump = testing::internal::GetCapturedStdout();
    setenv("ECDBClientTraces", "", 1);  // set, even empty, for the second dump
  }
  unsetenv("ECDBClientTraces");
  EXPECT_EQ(out[0], "");
  EXPECT_EQ(out[1],
            "------------------------------------------------------------ \n"
            "----------- XML Dump --------------------------------------- \n" +
                Written(parser) +
                " \n----------- XML Dump --------------------------------------- \n");
}

TEST(QIREdsXMLParser, CopyFromParser_InputsThenRowsAndOutputs)
{
  QIREdsXMLParser source, target, elsewhere;
  source.Init("EDB_Jobs", "1");
  source.AppendJobDefinition("J1", "Route", "");
  source.InsertJobOutput("J1", "o1", "1", "Integer");
  source.InsertJobInput("J1", "i1", "a", "");
  source.InsertJobContextInput("J1", "c1", "x", "");
  source.InsertJobReportOutput("J1", Split("r1|r2"));
  source.InsertJobOutput("J1", "o2", "2", "Integer");
  source.InsertJobOutput("J1", "o3", "3", "Integer");
  target.Init("EDB_Jobs", "1");
  target.AppendJobDefinition("J1", "Route", "");
  EXPECT_EQ(target.InsertSingleJobOutputFromParser(&source), S_OK);
  EXPECT_EQ(target.InsertSingleJobInputFromParser(&source), S_OK);
  EXPECT_EQ(ChildTags(JobAt(target, 0)),
            "EDB_JobReportOutData,EDB_JobReportOutData,EDB_JobOutData,"
            "EDB_JobOutData,EDB_JobOutData,EDB_JobInData");
  Strings names, values, types;
  target.GetJobOutput("J1", names, values, types);
  EXPECT_EQ(Join(names) + "/" + Join(values), "o1|o2|o3/1|2|3");

  elsewhere.Init("EDB_Jobs", "1");  // without J1: inserts succeed without effect
  const std::string empty = Written(elsewhere);
  EXPECT_EQ(elsewhere.InsertSingleJobOutputFromParser(&source), S_OK);
  EXPECT_EQ(Written(elsewhere), empty);

  source.AppendJobDefinition("J2", "Route", "");
  const std::string before = Written(target);
  EXPECT_EQ(target.InsertSingleJobInputFromParser(&source), E_FAIL);
  EXPECT_EQ(target.InsertSingleJobOutputFromParser(&source), E_FAIL);
  EXPECT_EQ(target.InsertSingleJobInputFromParser(nullptr), E_FAIL);
  EXPECT_EQ(Written(target), before);
}

TEST(QIREdsXMLParser, GenerateFile_AllOrNothing)
{
  QIREdsXMLParser parser;
  ASSERT_EQ(S_OK, parser.Init("EDB_Jobs", "2"));
  ASSERT_EQ(S_OK, parser.AppendJobDefinition("J1", "Delete", "x"));
  ASSERT_EQ(S_OK, parser.InsertJobOutput("J1", "Name", "N", "String"));
  const std::filesystem::path directory =
      std::filesystem::temp_directory_path() / ("qireds-jobfile-" + std::to_string(getpid()));
  std::filesystem::create_directories(directory);
  const std::filesystem::path target = directory / "job.xml";
  ExpectAllOrNothing(target, [&] { return parser.GenerateFile(target.c_str()); });
  QIREdsXMLParser reread;
  ASSERT_EQ(S_OK, reread.LoadFile(target.c_str(), 0));
  Strings names, values, types;
  ASSERT_EQ(S_OK, reread.GetJobOutput("J1", names, values, types));
  EXPECT_EQ("Name N String", Join(names) + " " + Join(values) + " " + Join(types));
  std::filesystem::remove_all(directory);
}
