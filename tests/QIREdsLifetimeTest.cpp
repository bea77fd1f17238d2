// Reference counting across the classes that hand objects to each other: every scope below
// must end with exactly the components it started with. Counting live objects catches both
// a missing Release (the count stays up) and an extra one (ASan sees the use after free).

#include "QIREEdsSAXEntityResolver.h"
#include "QIREdsMetadataDict.h"
#include "QIREdsMetadataTool.h"
#include "QIREdsXMLParser.h"

#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace {
const std::string kJobsDir = std::string(QIREDS_TEST_DATA_DIR) + "/jobs";

long Live()
{
  return QIRBaseUnknown::GetLiveObjectCount();
}

// Checks at the end of its scope that every component made inside it is gone.
struct BalancedScope {
  ~BalancedScope() { EXPECT_EQ(Live(), Start) << "components left alive by this scope"; }
  const long Start = Live();
};

QIRVar<QIREdsMetadataTable> ClassTable(const QIREdsMetadataDict& iDictionary, const char* iName)
{
  QIREdsMetadataTable* table = nullptr;
  EXPECT_EQ(iDictionary.GetClassTable(iName, &table), S_OK) << iName;
  QIRVar<QIREdsMetadataTable> handle;
  handle.Attach(table);
  return handle;
}

_SEQUENCE_octet* Stream(const std::string& iText)
{
  return new _SEQUENCE_octet(static_cast<unsigned int>(iText.size()),
                             reinterpret_cast<const unsigned char*>(iText.data()));
}
}  // namespace

TEST(QIREdsLifetime, MetadataTool_ConstructDestroy)
{
  const BalancedScope scope;
  {
    QIREdsMetadataTool onStack;
    EXPECT_GT(Live(), scope.Start + 1) << "the dictionary and its records are counted";
  }
  EXPECT_EQ(Live(), scope.Start);
  QIREdsMetadataTool* onHeap = new QIREdsMetadataTool;
  QIRListValQIRUnicodeString names, types;
  QIRRawCollint required;
  EXPECT_EQ(onHeap->GetAttributeInfo("Cable_Route", names, types, required), S_OK);
  EXPECT_EQ(onHeap->Release(), 0u);
}

TEST(QIREdsLifetime, GetClassTable_HandOutsOutliveDictionary)
{
  const BalancedScope scope;
  QIREdsMetadataDict* dictionary = new QIREdsMetadataDict;
  ASSERT_EQ(dictionary->Initialize(), S_OK);
  const long initialised = Live();
  for (int round = 0; round < 3; ++round) ClassTable(*dictionary, "qm41862.Cable_Route");
  EXPECT_EQ(Live(), initialised);

  QIRVar<QIREdsMetadataTable> kept = ClassTable(*dictionary, "qm41862.Work_Package");
  QIREdsMetadataTable* missing = kept.get();
  EXPECT_EQ(dictionary->GetClassTable("Work_Package", &missing), E_FAIL);
  EXPECT_EQ(missing, nullptr);
  EXPECT_EQ(dictionary->Release(), 0u);
  ASSERT_NE(kept, NULL_var);
  EXPECT_STREQ(kept->Name.ConvertToChar(), "qm41862.Work_Package");
  EXPECT_EQ(Live(), scope.Start + 1) << "only the record still held";
}

TEST(QIREdsLifetime, Initialize_TwiceWithRecordHeld)
{
  const BalancedScope scope;
  QIREdsMetadataDict dictionary;
  ASSERT_EQ(dictionary.Initialize(), S_OK);
  const long initialised = Live();
  QIRVar<QIREdsMetadataTable> old = ClassTable(dictionary, "qm41862.Cable_Route");
  ASSERT_EQ(dictionary.Initialize(), S_OK);
  EXPECT_EQ(Live(), initialised + 1) << "old records freed, except the one still held";
  QIRVar<QIREdsMetadataTable> fresh = ClassTable(dictionary, "qm41862.Cable_Route");
  ASSERT_NE(old, NULL_var);
  EXPECT_NE(old, fresh);
  EXPECT_EQ(old->Columns.Size(), fresh->Columns.Size());
  old = NULL_var;
  EXPECT_EQ(Live(), initialised);
  dictionary.CleanupAllTables();
  EXPECT_EQ(fresh->GetRefCount(), 1u);
}

TEST(QIREdsLifetime, XMLParser_DocumentsReplaced)
{
  const BalancedScope scope;
  const std::string text =
      "<EDB_Jobs version=\"1\"><EDB_Job EDB_Id=\"J1\" EDB_Type=\"T\" EDB_JobInput=\"i\">"
      "<EDB_JobInData EDB_iAttrName=\"A\"/></EDB_Job></EDB_Jobs>";
  const _SEQUENCE_octet* stream = Stream(text);
  const _SEQUENCE_octet* truncated = Stream(text.substr(0, text.size() / 2));
  {
    QIREdsXMLParser parser;
    ASSERT_EQ(parser.Init("EDB_Jobs", "1"), S_OK);
    ASSERT_EQ(parser.LoadStream(stream, 0, nullptr), S_OK);
    const long loaded = Live();
    // Every load replaces the document; a steady count shows the old ones are freed.
    for (int round = 0; round < 4; ++round) {
      EXPECT_EQ(parser.Init("EDB_Jobs", "2"), S_OK);
      EXPECT_EQ(parser.AppendJobDefinition("J9", "T", "i"), S_OK);
      EXPECT_EQ(parser.LoadFile((kJobsDir + "/valid.xml").c_str(), 0), S_OK);
      EXPECT_EQ(parser.LoadStream(truncated, 0, nullptr), E_FAIL);
      EXPECT_EQ(parser.LoadStream(stream, 0, nullptr), S_OK);
      EXPECT_EQ(Live(), loaded) << "round " << round;
    }
    // The job index holds the document it was built on until a lookup finds it stale, so
    // counts are compared after a lookup on each side.
    const auto lookUp = [&parser]() {
      QIRIDOMElement* found = nullptr;
      EXPECT_EQ(parser.GetDOMElemByTagName("EDB_Job", "EDB_Id", "J1", &found), S_OK);
      EXPECT_NE(found, nullptr);
      QIRIDOMElement_var job;
      job.Attach(found);
      return job;
    };
    lookUp();
    const long indexed = Live();
    QIRIDOMNodeList* jobs = nullptr;
    ASSERT_EQ(parser.GetDOMElemByTagName("EDB_Job", &jobs), S_OK);
    ASSERT_NE(jobs, nullptr);
    QIRIDOMElement_var job = lookUp();
    EXPECT_EQ(parser.LoadFile((kJobsDir + "/valid.xml").c_str(), 0), S_OK);
    EXPECT_EQ(parser.LoadStream(stream, 0, nullptr), S_OK);
    job = NULL_var;  // the hand-outs keep the replaced document alive until now
    jobs->Release();
    lookUp();
    EXPECT_EQ(Live(), indexed);
  }
  delete truncated;
  delete stream;
}

TEST(QIREdsLifetime, XMLParser_ReplacedDocumentGoesAtOnceAfterLookups)
{
  const BalancedScope scope;
  const _SEQUENCE_octet* stream =
      Stream("<EDB_Jobs><EDB_Job EDB_Id=\"J1\" EDB_Type=\"T\" EDB_JobInput=\"i\"/></EDB_Jobs>");
  {
    QIREdsXMLParser parser;
    ASSERT_EQ(parser.Init("EDB_Jobs", "1"), S_OK);
    ASSERT_EQ(parser.AppendJobDefinition("J1", "T", "i"), S_OK);
    const long unindexed = Live();  // the builder, one document and its root
    const std::string file = kJobsDir + "/valid.xml";
    const std::function<HRESULT()> replacements[] = {
        [&] { return parser.Init("EDB_Jobs", "2"); },
        [&] { return parser.LoadStream(stream, 0, nullptr); },
        [&] { return parser.LoadFile(file.c_str(), 0); }};
    for (const auto& replace : replacements) {
      QIRListValQIRUnicodeString names, values, types;
      EXPECT_EQ(parser.GetJobInput("J1", names, values, types), S_OK);  // builds the index
      EXPECT_EQ(parser.GetJobDefinition(names, values, types), S_OK);   // and the job list
      ASSERT_EQ(replace(), S_OK);
      EXPECT_EQ(Live(), unindexed) << "the index kept the replaced document";
    }
  }
  delete stream;
}

TEST(QIREdsLifetime, Resolver_QueriedAndReleased)
{
  const BalancedScope scope;
  const std::string dtd = kJobsDir + "/EdsJobs.dtd";
  QIREEdsSAXEntityResolver* resolver = new QIREEdsSAXEntityResolver("EdsJobs.dtd", dtd.c_str());
  void* tie = nullptr;
  ASSERT_EQ(resolver->QueryInterface(IID_QIRISAXEntityResolver, &tie), S_OK);
  ASSERT_NE(tie, nullptr);
  EXPECT_EQ(resolver->Release(), 1u) << "the tie holds the resolver";
  QIRISAXEntityResolver* asInterface = static_cast<QIRISAXEntityResolver*>(tie);
  {
    QIRISAXInputSource_var source;
    EXPECT_EQ(asInterface->ResolveEntity("", "EdsJobs.dtd", source), S_OK);
    EXPECT_NE(source, NULL_var);
    QIRISAXInputSource_var untouched;
    EXPECT_EQ(asInterface->ResolveEntity("", "other.dtd", untouched), E_FAIL);
  }
  EXPECT_EQ(asInterface->Release(), 0u);

  // A validated load makes its own resolver and tie and gives both back.
  ASSERT_EQ(setenv("QIRDictionaryPath", kJobsDir.c_str(), 1), 0);
  QIREdsXMLParser parser;
  _SEQUENCE_octet* valid = nullptr;
  {
    QIREdsXMLParser source;
    ASSERT_EQ(source.LoadFile((kJobsDir + "/valid.xml").c_str(), 0), S_OK);
    ASSERT_EQ(source.GenerateStream(&valid), S_OK);
  }
  ASSERT_EQ(parser.LoadStream(valid, 1, "EdsJobs.dtd"), S_OK);
  const long loaded = Live();
  for (int round = 0; round < 3; ++round)
    EXPECT_EQ(parser.LoadStream(valid, 1, "EdsJobs.dtd"), S_OK);
  EXPECT_EQ(Live(), loaded);
  delete valid;
}
