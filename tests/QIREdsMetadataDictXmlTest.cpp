#include "QIREdsMetadataDict.h"
#include "QIREdsTestSupport.h"
#include "QIRFaultInjection.h"
#include "QIRWriteTestSupport.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Attributes by item path ("Package", "Cable_Instance", "Cable_Instance/Cable_name"); "@" holds
// the tag and "@children" the children in document order as "Tag Name,". Absent reads empty.
typedef std::map<std::string, std::map<std::string, std::string>> Items;

void Collect(const QIRIDOMNode_var& iNode, const std::string& iPath, Items& oItems)
{
  QIRIDOMNode_var child, next;
  for (iNode->GetFirstChild(child); child != NULL_var; child = next) {
    child->GetNextSibling(next);
    const QIRIDOMElement_var element(child);
    if (element == NULL_var) continue;
    std::map<std::string, std::string> item;
    QIRUnicodeString text;
    element->GetTagName(text);
    item["@"] = text.ConvertToChar();
    for (const char* name : {"Name", "Uuid", "Alias", "ScopeRefs", "ScopeNames", "Type",
                             "MaxLength", "Mandatory", "Magnitude", "UniqueRefs", "TargetRef"}) {
      element->GetAttribute(name, text);
      item[name] = text.ConvertToChar();
    }
    const std::string path = iPath.empty()        ? "Package"
                             : iPath == "Package" ? item["Name"]
                                                  : iPath + "/" + item["Name"];
    oItems[iPath]["@children"] += item["@"] + " " + item["Name"] + ",";
    oItems[path] = item;
    Collect(child, path, oItems);
  }
}

Items Parse(const fs::path& iPath)
{
  Items items;
  QIRIXMLDOMDocumentBuilder_var builder;
  QIRIDOMDocument_var document;
  const QIRListValQIRUnicodeString none;
  EXPECT_EQ(S_OK, CreateQIRIXMLDOMDocumentBuilder(builder, CLSID_QIRXMLDOMDocumentBuilder));
  EXPECT_EQ(S_OK, builder->ParseFile(iPath.c_str(), document, none, none, NULL_var, NULL_var));
  if (document != NULL_var) Collect(QIRIDOMNode_var(document.get()), "", items);
  return items;
}

int CountTag(const Items& iItems, const std::string& iTag)
{
  int n = 0;
  for (const auto& item : iItems) n += item.second.count("@") && item.second.at("@") == iTag;
  return n;
}

// Pool UUID k in the standard five-group form; the generator writes it with four groups.
std::string PoolUuid(int k)
{
  char text[40];
  std::snprintf(text, sizeof text, "%08d-0000-4000-8000-%012d", k, k);
  return text;
}
std::string Written(int k)
{
  return PoolUuid(k).erase(23, 1);
}

// The exit status of `qireds dictionary` writing iOutput, its standard error in oError; -1
// when the tool is not built. iLimit, when given, caps the size of the files it writes.
int RunDictionaryCommand(const fs::path& iPool, const fs::path& iOutput, std::string& oError,
                         const char* iLimit = nullptr)
{
  const fs::path tool = fs::path(QIREDS_BINARY_DIR) / "tools" / "qireds";
  if (!fs::exists(tool)) return -1;
  const fs::path error =
      fs::path(::testing::TempDir()) / ("dictxml-command-" + std::to_string(getpid()) + ".err");
  std::string command = "exec " + tool.string() + " dictionary --uuids '" + iPool.string() +
                        "' -o '" + iOutput.string() + "' >/dev/null 2>'" + error.string() + "'";
  // Ignored, so that the write past the limit fails instead of killing the tool.
  if (iLimit) command = std::string("trap '' XFSZ; ulimit -f ") + iLimit + "; " + command;
  const int status = std::system(command.c_str());
  oError = ReadFile(error);
  fs::remove(error);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

// A tmpfs of iSize mounted on iPoint for the life of the object; Mounted() false where the
// machine refuses (not root, or no right to mount).
class SmallFileSystem {
 public:
  SmallFileSystem(const fs::path& iPoint, const char* iSize) : _point(iPoint)
  {
    fs::create_directories(iPoint);
    const std::string options = std::string("size=") + iSize;
    if (mount("tmpfs", iPoint.c_str(), "tmpfs", MS_NOSUID | MS_NODEV | MS_NOEXEC,
              options.c_str()) != 0)
      _error = std::strerror(errno);
  }
  ~SmallFileSystem()
  {
    if (_error.empty()) umount2(_point.c_str(), MNT_DETACH);
  }
  bool Mounted() const { return _error.empty(); }
  const std::string& Error() const { return _error; }

  // Fills what space is left with one file.
  void Fill(const fs::path& iFiller) const
  {
    std::FILE* file = std::fopen(iFiller.c_str(), "wb");
    ASSERT_NE(nullptr, file);
    const std::string block(4096, 'f');
    while (std::fwrite(block.data(), 1, block.size(), file) == block.size() &&
           std::fflush(file) == 0) {
    }
    std::fclose(file);
  }

 private:
  fs::path _point;
  std::string _error;
};

class QIREdsMetadataDictXml : public ::testing::Test {
 protected:
  void SetUp() override
  {
    const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    _dir = fs::path(::testing::TempDir()) / ("dictxml-" + test + "-" + std::to_string(getpid()));
    fs::remove_all(_dir);
    fs::create_directories(_dir);
    fs::copy_file(fs::path(QIREDS_TEST_DATA_DIR) / "dictionary" / "Dictionary00.dtd",
                  _dir / "Dictionary00.dtd");
    _output = _dir / "CableNetwork.xml";
    _dictionary.Initialize();
  }
  void TearDown() override
  {
    QIRFailNothing();
    fs::remove_all(_dir);
  }
  // One UUID line per pool entry, among lines that hold none.
  fs::path ExistingDictionary(int iCount)
  {
    std::ofstream out(_dir / "existing.dict");
    out << "DICTIONARY CableNetwork\n";
    for (int k = 1; k <= iCount; ++k)
      out << "  INTERFACENAME = { ID=" << PoolUuid(k) << " }\n  ATTRIBUTE x\n";
    return _dir / "existing.dict";
  }
  HRESULT Generate(const fs::path& iPool, const QIRListValQIRUnicodeString& iNames,
                   const QIRListValQIRUnicodeString& iUuids, std::string* oTrace = nullptr)
  {
    ::testing::internal::CaptureStdout();
    const HRESULT hr =
        _dictionary.GenerateOrvaneMetaData(iPool.c_str(), iNames, iUuids, _output.c_str());
    const std::string trace = ::testing::internal::GetCapturedStdout();
    if (oTrace) *oTrace = trace;
    return hr;
  }

  fs::path _dir, _output;
  QIREdsMetadataDict _dictionary;
  const QIRListValQIRUnicodeString _none;
};

}  // namespace

TEST_F(QIREdsMetadataDictXml, GenerateOrvaneMetaData_PoolUuidsInCallOrder)
{
  std::string trace;
  ASSERT_EQ(S_OK, Generate(ExistingDictionary(117), _none, _none, &trace));
  EXPECT_EQ(0U, trace.find("******************** Number of existing uuid = 117 \n"
                           "Number of classes = 14 \nClass 1 = Package \n"
                           "Class 2 = Work_Package \n"));
  EXPECT_NE(std::string::npos, trace.find("Class 14 = Cableway_Arc_Points \nIndUiid = 117 \n"));
  EXPECT_EQ(0, std::system(("xmllint --valid --noout " + _output.string()).c_str()));

  Items xml = Parse(_output);
  EXPECT_EQ(12, CountTag(xml, "Class"));
  EXPECT_EQ(68, CountTag(xml, "Simple"));
  EXPECT_EQ(9, CountTag(xml, "Unique"));
  EXPECT_EQ(26, CountTag(xml, "Relationship"));
  EXPECT_EQ("00000001-0000-4000-8000000000000001", xml["Package"]["Uuid"]);
  const struct {
    const char* path;
    int uuid;
  } uuids[] = {{"Work_Package", 2},
               {"Work_Package/Work_package_type", 3},
               {"Work_Package/WPC_PI", 6},
               {"Work_Package/WPC_DR", 7},
               {"Cable_Reference/CRC_UNIQ", 15},
               {"Cable_Instance", 16},
               {"Cable_Instance/CIC_WP", 17},
               {"Cable_Instance/Cable_name", 19},
               {"Cable_From_To/FEC_WP", 26},
               {"Cableway_Arc_Points/Order_number", 117}};
  for (const auto& item : uuids) EXPECT_EQ(Written(item.uuid), xml[item.path]["Uuid"]) << item.path;
  EXPECT_EQ(Written(2), xml["Cable_Instance/CIC_WP"]["TargetRef"]);
  EXPECT_EQ(Written(19) + " " + Written(17) + " ", xml["Cable_Instance/CIC_UNIQ"]["UniqueRefs"]);
  EXPECT_EQ(Written(28) + " " + Written(29) + " " + Written(26) + " ",
            xml["Cable_From_To/FEC_UNIQ"]["UniqueRefs"]);
  EXPECT_EQ(
      "Simple Func_equip_name,Simple Connector_name,Simple Cable_name,Unique FEC_UNIQ,"
      "Relationship FEC_WP,Relationship FEC_CI,",
      xml["Cable_From_To"]["@children"]);

  const struct {
    const char* path;
    const char* attribute;
    const char* value;
  } values[] = {{"Work_Package", "Alias", "Work_package"},
                {"Cable_Route", "@", "Extension"},
                {"Cableway_Arc_Points", "Alias", "Cableway_Arc_Points_Key"},
                {"Work_Package/WPC_PI", "TargetRef", "80A2B3BD-0000-520C-383BE49800076012"},
                {"Cable_From_To/Cable_name", "MaxLength", "80"},
                {"Cable_From_To/Cable_name", "Mandatory", "No"},
                {"Cable_Instance/Maximum_length", "MaxLength", ""},
                {"Cable_Reference/Weight_per_unit_length", "Magnitude", "LINEMASS"},
                {"Cable_Instance/CIC_WP", "Mandatory", "Yes"},
                {"Cable_From_To/FEC_CI", "Mandatory", "No"}};
  for (const auto& v : values) EXPECT_EQ(v.value, xml[v.path][v.attribute]) << v.path;
}

TEST_F(QIREdsMetadataDictXml, GenerateOrvaneMetaData_KnownNamesGiveTheSameDocument)
{
  ASSERT_EQ(S_OK, Generate(ExistingDictionary(117), _none, _none));
  const std::string pooled = ReadFile(_output);
  QIRListValQIRUnicodeString names, uuids;
  for (auto& item : Parse(_output)) {
    if (item.second["Uuid"].empty()) continue;
    std::string name = item.second["Name"];
    if (item.second["@"] == "Simple")  // attribute key: class, "_", column
      name = item.first.substr(0, item.first.find('/')) + "_" + name;
    names.Append(name.c_str());
    uuids.Append(item.second["Uuid"].c_str());
  }
  ASSERT_EQ(117, names.Size());
  ASSERT_EQ(S_OK, Generate(_dir / "absent.dict", names, uuids));
  EXPECT_EQ(pooled, ReadFile(_output));
}

TEST_F(QIREdsMetadataDictXml, GenerateOrvaneMetaData_PoolTooSmallWritesNothing)
{
  std::string trace;
  EXPECT_EQ(E_FAIL, Generate(ExistingDictionary(116), _none, _none, &trace));
  EXPECT_NE(std::string::npos, trace.find("Class 14 = Cableway_Arc_Points \nIndUiid = 0 \n"));
  EXPECT_FALSE(fs::exists(_output));
}

TEST_F(QIREdsMetadataDictXml, GenerateOrvaneMetaData_LineReaderKeepsInsideItsLines)
{
  std::ofstream(_dir / "odd.dict", std::ios::binary)
      << "INTERFACENAME = { ID=" << PoolUuid(1) << " }\n"  // kept
      << "INTERFACENAME = { ID=NODASHES }\n"               // kept as it is
      << "INTERFACENAME = { ID\n"
      << std::string(3000, 'x')  // too short; then a long line
      << "\n\xff\xfe INTERFACENAME = { \x01\x02\x80" << std::string(40, '\0') << "\n"
      << "INTERFACENAME = { ID=" << PoolUuid(2);  // no line end
  std::string trace;
  EXPECT_EQ(E_FAIL, Generate(_dir / "odd.dict", _none, _none, &trace));
  EXPECT_EQ(0U, trace.find("******************** Number of existing uuid = 3 \n")) << trace;
}

TEST_F(QIREdsMetadataDictXml, GenerateOrvaneMetaData_Failures)
{
  QIREdsMetadataDict empty;
  const fs::path pool = ExistingDictionary(117);
  EXPECT_EQ(E_FAIL, empty.GenerateOrvaneMetaData(pool.c_str(), _none, _none, _output.c_str()));
  EXPECT_EQ(E_FAIL, _dictionary.GenerateOrvaneMetaData("", _none, _none, _output.c_str()));
  EXPECT_EQ(E_FAIL, _dictionary.GenerateOrvaneMetaData(pool.c_str(), _none, _none, ""));
  for (const char* point :
       {"CreateQIRIXMLDOMDocumentBuilder", "CreateDocumentType", "CreateElement", "WriteToFile"}) {
    QIRFailCall(point);  // the package element, when it is CreateElement: the run cannot go on
    EXPECT_EQ(E_FAIL, Generate(pool, _none, _none)) << point;
    EXPECT_TRUE(Fired(point));
    EXPECT_FALSE(fs::exists(_output)) << point;
  }
  QIRFailCall("CreateElement", 1);  // the first class loses its element, the run goes on
  ASSERT_EQ(S_OK, Generate(pool, _none, _none));
  EXPECT_TRUE(Fired("CreateElement"));
  Items xml = Parse(_output);
  EXPECT_EQ(0U, xml.count("Work_Package"));
  EXPECT_EQ(0U, xml.count("Cable_Instance/CIC_WP"));  // its target was never written
  EXPECT_EQ(1U, xml.count("Cable_Instance/CIC_CR"));
  EXPECT_EQ(E_FAIL, _dictionary.SetAttribute(NULL_var, Split("Name"), Split("Name")));
  EXPECT_EQ(E_FAIL, _dictionary.WriteDOMDoc(NULL_var, _output.c_str()));
}

TEST_F(QIREdsMetadataDictXml, GetResourceDirectoryPath_DirectFirstElseLastSearched)
{
  for (const char* file : {"a/res/direct", "b/res/direct", "a/res/sub/deep", "b/res/sub/deep"}) {
    fs::create_directories((_dir / file).parent_path());
    std::ofstream(_dir / file) << "x";
  }
  const std::string directories = (_dir / "a").string() + ":" + (_dir / "b").string();
  setenv("QIREDS_TEST_RESOURCES", directories.c_str(), 1);
  for (const char* last : {"direct", "deep"}) {
    const QIRListValQIRUnicodeString components = Split(std::string("res|") + last);
    QIRUnicodeString path = "kept";
    EXPECT_EQ(E_FAIL, _dictionary.GetResourceDirectoryPath(components, "QIREDS_TEST_UNSET", path));
    EXPECT_STREQ("kept", path.ConvertToChar());
    EXPECT_EQ(S_OK,
              _dictionary.GetResourceDirectoryPath(components, "QIREDS_TEST_RESOURCES", path));
    EXPECT_EQ((_dir / (last[1] == 'i' ? "a/res/direct" : "b/res/sub/deep")).string(),
              path.ConvertToChar());
  }
}

TEST_F(QIREdsMetadataDictXml, Diagram_RendersWithDot)
{
  const fs::path tool = fs::path(QIREDS_BINARY_DIR) / "tools" / "qireds";
  if (!fs::exists(tool)) GTEST_SKIP() << "qireds is not built";
  const fs::path dot = _dir / "schema.dot";
  ASSERT_EQ(0, std::system((tool.string() + " diagram > " + dot.string()).c_str()));
  const std::string text = ReadFile(dot);
  int nodes = 0, edges = 0;
  for (std::size_t at = 0; (at = text.find("[label=<", at)) != std::string::npos; ++at) ++nodes;
  for (std::size_t at = 0; (at = text.find(" -> ", at)) != std::string::npos; ++at) ++edges;
  EXPECT_EQ(13, nodes);
  EXPECT_EQ(24, edges);
  EXPECT_NE(std::string::npos,
            text.find("\"Cable_From_To\":\"Cable_instance_key_out\":e -> "
                      "\"Cable_Instance\":\"Cable_instance_key_in\":w [label=\"FEC_CI\"];"));
  if (std::system("dot -V > /dev/null 2>&1") != 0) GTEST_SKIP() << "graphviz is not installed";
  const fs::path png = _dir / "schema.png";
  ASSERT_EQ(0, std::system(("dot -Tpng -o " + png.string() + " " + dot.string()).c_str()));
  EXPECT_EQ("\x89PNG", ReadFile(png).substr(0, 4));
}

TEST_F(QIREdsMetadataDictXml, GenerateOrvaneMetaData_BlankPoolTextKeepsItsPlace)
{
  // A blank text and a lone dash each hold one place; later UUIDs must not move up.
  std::ofstream(_dir / "existing.dict") << "  INTERFACENAME = { ID=" << PoolUuid(1) << " }\n"
                                        << "  INTERFACENAME = { ID=        }\n"
                                        << "  INTERFACENAME = { ID=- }\n"
                                        << "  INTERFACENAME = { ID=" << PoolUuid(2) << " }\n";
  std::ofstream more(_dir / "existing.dict", std::ios::app);
  for (int k = 3; k <= 118; ++k) more << "  INTERFACENAME = { ID=" << PoolUuid(k) << " }\n";
  more.close();
  std::string trace;
  ASSERT_EQ(S_OK, Generate(_dir / "existing.dict", _none, _none, &trace));
  EXPECT_EQ(0U, trace.find("******************** Number of existing uuid = 120 \n"));
  const Items items = Parse(_output);
  EXPECT_EQ(Written(1), items.at("Package").at("Uuid"));
  EXPECT_EQ("", items.at("Work_Package").at("Uuid"));
  EXPECT_EQ("", items.at("Work_Package/Work_package_type").at("Uuid"));
  EXPECT_EQ(Written(2), items.at("Work_Package/Last_update_time").at("Uuid"));
}

TEST_F(QIREdsMetadataDictXml, WriteDOMDoc_AllOrNothing)
{
  QIRIDOMDocument_var document;
  ASSERT_EQ(S_OK, _dictionary.CreateDOMDocument("Package", "Dictionary00.dtd", document));
  ExpectAllOrNothing(_output, [&] { return _dictionary.WriteDOMDoc(document, _output.c_str()); });
  EXPECT_EQ(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE Package SYSTEM \"Dictionary00.dtd\">\n",
      ReadFile(_output));
}

TEST_F(QIREdsMetadataDictXml, GenerateOrvaneMetaData_AllOrNothing)
{
  const fs::path pool = ExistingDictionary(117);
  ::testing::internal::CaptureStdout();  // the progress trace, seven times over
  ExpectAllOrNothing(_output, [&] {
    return _dictionary.GenerateOrvaneMetaData(pool.c_str(), _none, _none, _output.c_str());
  });
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(12, CountTag(Parse(_output), "Class"));
}

TEST_F(QIREdsMetadataDictXml, DictionaryCommand_CutShortKeepsOlderFile)
{
  const fs::path pool = ExistingDictionary(117);
  std::ofstream(_output) << "older";
  const std::set<std::string> before = Listing(_dir);
  std::string error;
  const int status = RunDictionaryCommand(pool, _output, error, "1");
  if (status == -1) GTEST_SKIP() << "qireds is not built";
  EXPECT_EQ(1, status);
  EXPECT_EQ(0U, error.find("qireds dictionary: ")) << error;  // one line, the reason last
  EXPECT_EQ(error.size() - 1, error.find('\n')) << error;
  EXPECT_EQ("older", ReadFile(_output));
  EXPECT_EQ(before, Listing(_dir));

  ASSERT_EQ(0, RunDictionaryCommand(pool, _output, error)) << error;
  EXPECT_EQ(12, CountTag(Parse(_output), "Class"));
  EXPECT_EQ(before, Listing(_dir));
}

TEST_F(QIREdsMetadataDictXml, GenerateOrvaneMetaData_FullFileSystemKeepsOlderFile)
{
  const fs::path pool = ExistingDictionary(117);
  const fs::path point = _dir / "small";
  const SmallFileSystem small(point, "64k");
  if (!small.Mounted()) GTEST_SKIP() << "cannot mount a tmpfs here: " << small.Error();
  const fs::path output = point / "CableNetwork.xml";
  std::ofstream(output) << "older";
  small.Fill(point / "filler");
  const std::set<std::string> before = Listing(point);

  ::testing::internal::CaptureStdout();
  EXPECT_EQ(E_FAIL, _dictionary.GenerateOrvaneMetaData(pool.c_str(), _none, _none, output.c_str()));
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ("older", ReadFile(output));
  EXPECT_EQ(before, Listing(point));
  std::string error;
  if (RunDictionaryCommand(pool, output, error) != -1) {
    EXPECT_EQ("qireds dictionary: " + output.string() + ": No space left on device\n", error);
    EXPECT_EQ("older", ReadFile(output));
    EXPECT_EQ(before, Listing(point));
  }

  fs::remove(point / "filler");
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(S_OK, _dictionary.GenerateOrvaneMetaData(pool.c_str(), _none, _none, output.c_str()));
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(12, CountTag(Parse(output), "Class"));
}
