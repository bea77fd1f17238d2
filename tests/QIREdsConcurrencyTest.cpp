// Several threads at once: each reads one shared tool and one shared dictionary with every
// query, and builds, writes, loads and reads job documents with parsers of its own. Every
// result goes into a transcript that must match the one a single thread writes. Run it under
// ThreadSanitizer (the "tsan" preset) to see the races a passing transcript can hide.

#include "QIREdsApplicationTool.h"
#include "QIREdsEffectivityTool.h"
#include "QIREdsGeneralTool.h"
#include "QIREdsMetadataDict.h"
#include "QIREdsMetadataTable.h"
#include "QIREdsMetadataTool.h"
#include "QIREdsTestSupport.h"
#include "QIREdsXMLParser.h"
#include "QIRWriteTestSupport.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kThreads = 8;
constexpr int kSharedRounds = 3;  // passes over the shared objects, so that threads overlap
const std::string kJobsDir = std::string(QIREDS_TEST_DATA_DIR) + "/jobs";

typedef QIRListValQIRUnicodeString Strings;

// One line per call: what was asked and its code; Then adds what came back. Chained, as in
// Add(what, Call(list)).Then(Join(list)), the call runs before its outputs are read.
class Transcript {
 public:
  Transcript& Add(const std::string& iWhat, HRESULT iCode)
  {
    char code[16];
    std::snprintf(code, sizeof code, " %08X\n", static_cast<unsigned int>(iCode));
    _text += iWhat + code;
    return *this;
  }
  void Add(const std::string& iWhat, const QIRUnicodeString& iResult)
  {
    _text += iWhat + " = " + iResult.ConvertToChar() + "\n";
  }
  void Then(const std::string& iResult) { _text += "  = " + iResult + "\n"; }
  void Note(const std::string& iLine) { _text += iLine + "\n"; }
  const std::string& Text() const { return _text; }

 private:
  std::string _text;
};

std::string Ints(const QIRRawCollint& iList)
{
  std::string text;
  for (int i = 1; i <= iList.Size(); ++i) text += std::to_string(iList[i]) + ",";
  return text;
}

// What the threads share: read only once built.
struct Shared {
  Shared()
  {
    dictionary.Initialize();
    tool.GetClassInfo(shortNames, keys, 1);
    tool.GetClassInfo(neutralNames, keys, 0);
    fs::create_directories(scratch);
    WriteUuidPool(pool, 117);
    validJobs = ReadFile(kJobsDir + "/valid.xml");
    invalidJobs = ReadFile(kJobsDir + "/invalid.xml");
  }
  ~Shared() { fs::remove_all(scratch); }

  QIREdsMetadataTool tool;
  QIREdsMetadataDict dictionary;
  Strings shortNames, neutralNames, keys;
  const fs::path scratch =
      fs::path(::testing::TempDir()) / ("qireds-threads-" + std::to_string(getpid()));
  const fs::path pool = scratch / "existing.dict";
  std::string validJobs, invalidJobs;
};

void AskTool(const QIREdsMetadataTool& iTool, const Shared& iShared, Transcript& ioOut)
{
  Strings names, keys;
  ioOut.Add("ClassInfo", iTool.GetClassInfo(names, keys, 1)).Then(Join(names) + Join(keys));
  for (const char* computed : {"CS_Percent_Fill", "CR_Nb_Routed", "Cable_name"}) {
    QIRUnicodeString type;
    ioOut
        .Add(std::string("ComputedAttrType ") + computed, iTool.GetComputedAttrType(computed, type))
        .Then(type.ConvertToChar());
  }
  for (int c = 1; c <= iShared.shortNames.Size(); ++c) {
    const QIRUnicodeString& name = iShared.shortNames[c];
    const std::string at = std::string(" ") + name.ConvertToChar();
    ioOut.Add("PrimaryKey" + at, iTool.GetPrimaryKey(name));
    const QIRUnicodeString neutral = iTool.TranslateClassToNeutral(name);
    ioOut.Add("Neutral" + at, neutral);
    ioOut.Add("Orvane" + at, iTool.TranslateClassToOrvane(neutral));
    ioOut.Add("Convert" + at, iTool.ConvertClassNameToOrvane(neutral));
    Strings attrs, types, a, b, cc;
    QIRRawCollint required;
    ioOut.Add("AttributeInfo" + at, iTool.GetAttributeInfo(name, attrs, types, required))
        .Then(Join(attrs) + Join(types) + Ints(required));
    for (int i = 1; i <= attrs.Size(); ++i) {
      QIRUnicodeString type;
      int flag = -1;
      ioOut.Add("AttributeType" + at, iTool.GetAttributeType(neutral, attrs[i], type, flag))
          .Then(std::string(type.ConvertToChar()) + std::to_string(flag));
      ioOut.Add("Relation" + at, iTool.TransRelationNameToOrvane(name, attrs[i]));
    }
    ioOut.Add("Magnitudes" + at, iTool.GetAttrMagnitudeInfo(name, a, b)).Then(Join(a) + Join(b));
    a.RemoveAll(), b.RemoveAll();
    ioOut.Add("Relationship" + at, iTool.GetRelationship(name, a, b, cc))
        .Then(Join(a) + Join(b) + Join(cc));
    a.RemoveAll();
    iTool.FindMissingMandateAttr(name, Split("Work_package_key"), a);
    ioOut.Note("Missing" + at + " " + Join(a));
    a.RemoveAll();
    ioOut.Add("Unique" + at, iTool.GetUniqueAttrNames(name, a)).Then(Join(a));
    ioOut.Add("Referencing" + at, iTool.GetReferencingClasses(name, Strings(), a, b))
        .Then(Join(a) + Join(b));
  }
  Strings magnitudes, sql;
  ioOut.Add("MagnitudeNames", iTool.GetMagnitudeNames(magnitudes)).Then(Join(magnitudes));
  QIRUnicodeString resolved;
  ioOut.Add("ResolveDefine", iTool.ResolveDefine("EdbSQL_TA2_WP_Key", resolved))
      .Then(resolved.ConvertToChar());
  ioOut.Add("SQL", iTool.GenerateSQLStatements(sql)).Then(Join(sql));
}

void AskDictionary(const QIREdsMetadataDict& iDictionary, const QIREdsMetadataTool& iTool,
                   const Shared& iShared, Transcript& ioOut)
{
  Strings names, keys;
  ioOut.Add("ClassNames", iDictionary.GetClassNames(names, keys)).Then(Join(names) + Join(keys));
  for (int c = 1; c <= iShared.neutralNames.Size(); ++c) {
    QIREdsMetadataTable* table = nullptr;
    const HRESULT hr = iDictionary.GetClassTable(iShared.neutralNames[c], &table);
    QIRVar<QIREdsMetadataTable> record;
    record.Attach(table);
    ioOut.Add("ClassTable", hr).Then(table ? table->Name.ConvertToChar() : "null");
    if (!table) continue;
    for (int i = 1; i <= table->Columns.Size(); ++i) {
      ioOut.Add("OrvaneType", iTool.TranslateTypeToOrvane(table->Columns[i], table, i));
      QIRUnicodeString type, length, mandatory;
      iDictionary.GetDataType(table->ColumnTypes[i], type, length, mandatory);
      ioOut.Note("DataType " + std::string(type.ConvertToChar()) + length.ConvertToChar() +
                 mandatory.ConvertToChar());
    }
    for (int i = 1; i <= table->Constraints.Size(); ++i) {
      const QIRUnicodeString& clause = table->Constraints[i];
      Strings a, b, cc;
      ioOut.Add("Keys", iDictionary.GetKeys("PRIMARY", clause, a)).Then(Join(a));
      ioOut.Add("Constraints", iDictionary.GetConstraints(clause, a, b, cc))
          .Then(Join(a) + Join(b) + Join(cc));
      QIRUnicodeString name, columns, to;
      ioOut.Add("Parse", iDictionary.ParseConstraint(clause, name, columns, to))
          .Then(std::string(name.ConvertToChar()) + columns.ConvertToChar() + to.ConvertToChar());
      ioOut.Add("ConstraintName", iDictionary.GetConstraintName(clause));
    }
  }
  for (int i = 1; i <= iDictionary.Defines.Size(); i += 7) {
    QIRUnicodeString name;
    ioOut.Add("Define", iDictionary.ResolveDefine(iDictionary.Defines[i], name))
        .Then(name.ConvertToChar());
  }
  Strings pieces, sql, classes, constraints;
  ioOut.Add("Chopped", iDictionary.ChoppedBy(",", "a, b ,c", pieces)).Then(Join(pieces));
  ioOut.Add("SQL", iDictionary.GenerateSQLStatements(sql)).Then(Join(sql));
  ioOut
      .Add("Referencing",
           iDictionary.GetReferencingClasses("Work_Package", Strings(), classes, constraints))
      .Then(Join(classes) + Join(constraints));
  iDictionary.DumpDictionary();
}

// Files this thread writes, in a directory of its own; the transcript records their text.
void WriteDictionaries(const Shared& iShared, const fs::path& iDirectory, Transcript& ioOut)
{
  const Strings none;
  const fs::path fromDictionary = iDirectory / "dictionary.xml", fromTool = iDirectory / "tool.xml";
  ioOut
      .Add("Generate", iShared.dictionary.GenerateOrvaneMetaData(iShared.pool.c_str(), none, none,
                                                                 fromDictionary.c_str()))
      .Then(ReadFile(fromDictionary));
  ioOut
      .Add("GenerateTool",
           iShared.tool.GenerateOrvaneMetaData(iShared.pool.c_str(), none, none, fromTool.c_str()))
      .Then(ReadFile(fromTool));
  QIRIDOMDocument_var document;
  const fs::path empty = iDirectory / "empty.xml";
  ioOut.Add("CreateDOMDocument",
            iShared.dictionary.CreateDOMDocument("Package", "Dictionary00.dtd", document));
  ioOut.Add("WriteDOMDoc", iShared.dictionary.WriteDOMDoc(document, empty.c_str()))
      .Then(ReadFile(empty));
}

typedef HRESULT (QIREdsXMLParser::*PartReader)(const QIRUnicodeString&, Strings&, Strings&,
                                               Strings&) const;

void ReadJobs(const QIREdsXMLParser& iParser, const char* iJobId, Transcript& ioOut)
{
  Strings ids, types, inputs, rows;
  ioOut.Add("Definitions", iParser.GetJobDefinition(ids, types, inputs))
      .Then(Join(ids) + Join(types) + Join(inputs));
  for (const PartReader reader :
       {&QIREdsXMLParser::GetJobInput, &QIREdsXMLParser::GetJobContextInput,
        &QIREdsXMLParser::GetJobOutput, &QIREdsXMLParser::GetJobDeleteErrOutput}) {
    Strings a, b, c;
    ioOut.Add("Parts", (iParser.*reader)(iJobId, a, b, c)).Then(Join(a) + Join(b) + Join(c));
  }
  ioOut.Add("Report", iParser.GetJobReportOutput(iJobId, rows)).Then(Join(rows));
  QIRUnicodeString key, file, type, parm;
  ioOut.Add("Error", iParser.GetJobError(iJobId, key, file, type, parm))
      .Then(std::string(key.ConvertToChar()) + file.ConvertToChar() + type.ConvertToChar() +
            parm.ConvertToChar());
}

void ExchangeJobs(int iThread, const Shared& iShared, const fs::path& iDirectory, Transcript& ioOut)
{
  const std::string id = "J" + std::to_string(iThread);
  QIREdsXMLParser sender;
  ioOut.Add("Init", sender.Init("EDB_Jobs", "1"));
  ioOut.Add("Append", sender.AppendJobDefinition(id.c_str(), "Route", "cable C-17"));
  ioOut.Add("Input", sender.InsertJobInput(id.c_str(), "Length", "12.5", "Double"));
  ioOut.Add("Context", sender.InsertJobContextInput(id.c_str(), "Package", "WP-2", "String"));
  const std::string text = Written(sender);
  ioOut.Note("Stream " + text);

  QIREdsXMLParser receiver;
  const _SEQUENCE_octet stream = Octets(text);
  ioOut.Add("LoadStream", receiver.LoadStream(&stream, 0, nullptr));
  ReadJobs(receiver, id.c_str(), ioOut);
  ioOut.Add("Output", receiver.InsertJobOutput(id.c_str(), "Route", "R-9", "Uuid"));
  ioOut.Add("Rows", receiver.InsertJobReportOutput(id.c_str(), Split("row one|row two")));
  ioOut.Add("DeleteError",
            receiver.InsertJobDeleteErrOutput(id.c_str(), "Cable_Instance", "FK_1", "C-3"));
  const Strings parameters = Split("a|b");
  ioOut.Add("ErrorMsg", receiver.InsertJobErrorMsg(id.c_str(), "E1", "routes", &parameters));
  const fs::path answer = iDirectory / "answer.xml";
  ioOut.Add("GenerateFile", receiver.GenerateFile(answer.c_str())).Then(ReadFile(answer));
  ioOut.Add("CopyOutputs", sender.InsertSingleJobOutputFromParser(&receiver));
  ReadJobs(sender, id.c_str(), ioOut);

  // Validated through the resolver ("QIRDictionaryPath"), and beside the file.
  for (const std::string* jobs : {&iShared.validJobs, &iShared.invalidJobs}) {
    QIREdsXMLParser checked;
    const _SEQUENCE_octet bytes = Octets(*jobs);
    ioOut.Add("Validated", checked.LoadStream(&bytes, 1, "EdsJobs.dtd"));
    ioOut.Add("Unvalidated", checked.LoadStream(&bytes, 0, nullptr));
    ReadJobs(checked, "J1", ioOut);
  }
  QIREdsXMLParser fromFile;
  ioOut.Add("LoadFile", fromFile.LoadFile((kJobsDir + "/valid.xml").c_str(), 1));
  ReadJobs(fromFile, "J2", ioOut);
}

void UseEngineeringTools(int iThread, Transcript& ioOut)
{
  QIREdsEffectivityTool effectivity;
  QIRRawCollint s1, e1, s2, e2, su, eu;
  const std::string text = "U(1-5)(" + std::to_string(10 + iThread) + "-oo)";
  ioOut.Add("Parse", effectivity.ParseEffectivityRange(text.c_str(), s1, e1))
      .Then(Ints(s1) + Ints(e1));
  effectivity.ParseEffectivityRange("U(3-12)", s2, e2);
  QIREdsEffMatchingStatusEnum status = QIREdsEffUndefined;
  ioOut.Add("Compare", effectivity.CompareEffectivityRange(s1, e1, s2, e2, status))
      .Then(std::to_string(status));
  ioOut.Add("Union", effectivity.ComputeUnionEffectivityRange(s1, e1, s2, e2, su, eu))
      .Then(Ints(su) + Ints(eu));

  QIREdsGeneralTool general;
  const QIRUnicodeString encoded = general.EncodeBlanks("ab  cd   e");
  ioOut.Add("Encode", encoded);
  ioOut.Add("Decode", general.DecodeBlanks(encoded));
  Strings tokens;
  ioOut.Add("Tokens", general.ExtractTokenString(" x, y ,z", tokens, ",")).Then(Join(tokens));

  QIREdsApplicationTool application;
  QIRRawColldouble values, sizes;
  values.Append(10.0), values.Append(20.0 + iThread);
  double fill = 0.0;
  ioOut.Add("Fill", application.GetComputedPercentFill(values, sizes, "Other", 100.0, fill))
      .Then(std::to_string(fill));
}

// Everything thread iThread does; a single thread doing the same must write the same.
std::string Work(int iThread, const Shared& iShared)
{
  Transcript out;
  const fs::path directory = iShared.scratch / std::to_string(iThread);
  fs::create_directories(directory);
  for (int round = 0; round < kSharedRounds; ++round) {
    AskTool(iShared.tool, iShared, out);
    AskDictionary(iShared.dictionary, iShared.tool, iShared, out);
  }
  WriteDictionaries(iShared, directory, out);
  {
    const QIREdsMetadataTool own;  // built and destroyed while others read theirs
    AskTool(own, iShared, out);
    QIREdsMetadataDict* dictionary = new QIREdsMetadataDict;
    out.Add("Initialize", dictionary->Initialize());
    AskDictionary(*dictionary, own, iShared, out);
    dictionary->Release();
  }
  ExchangeJobs(iThread, iShared, directory, out);
  UseEngineeringTools(iThread, out);
  return out.Text();
}

// The first line where the texts part, for a failure message that fits on a screen.
std::string FirstDifference(const std::string& iExpected, const std::string& iActual)
{
  std::size_t at = 0;
  while (at < iExpected.size() && at < iActual.size() && iExpected[at] == iActual[at]) ++at;
  const std::size_t line =
      iExpected.rfind('\n', at) == std::string::npos ? 0 : iExpected.rfind('\n', at) + 1;
  return "expected: " + iExpected.substr(line, 200) + "\nactual:   " + iActual.substr(line, 200);
}

}  // namespace

TEST(QIREdsConcurrency, SharedReadersAndOwnParsers_MatchOneThread)
{
  setenv("QIRDictionaryPath", kJobsDir.c_str(), 1);  // before any thread reads it
  const long live = QIRBaseUnknown::GetLiveObjectCount();
  {
    const Shared shared;
    ASSERT_EQ(13, shared.shortNames.Size());
    ::testing::internal::CaptureStdout();  // the dumps and the generators' progress
    std::vector<std::string> alone(kThreads), together(kThreads);
    for (int t = 0; t < kThreads; ++t) alone[t] = Work(t, shared);

    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        ++ready;
        while (ready.load() < kThreads) std::this_thread::yield();  // all start at once
        together[t] = Work(t, shared);
      });
    }
    for (std::thread& thread : threads) thread.join();
    ::testing::internal::GetCapturedStdout();

    for (int t = 0; t < kThreads; ++t) {
      EXPECT_TRUE(alone[t] == together[t]) << "thread " << t << "\n"
                                           << FirstDifference(alone[t], together[t]);
    }
    // The single run is no oracle by itself: it must have got somewhere.
    EXPECT_NE(std::string::npos, alone[0].find("Validated 00000000\n"));
    EXPECT_NE(std::string::npos, alone[0].find("Validated 80004005\n"));
    EXPECT_NE(std::string::npos,
              alone[0].find("ClassTable 00000000\n  = qm41862.Cableway_Arc_Points\n"));
    EXPECT_NE(std::string::npos, alone[0].find("<Class Name=\"Cable_Instance\""));
    EXPECT_NE(std::string::npos, alone[0].find("Parts 00000000\n  = RouteR-9Uuid\n"));
  }
  EXPECT_EQ(live, QIRBaseUnknown::GetLiveObjectCount()) << "components left alive";
}
