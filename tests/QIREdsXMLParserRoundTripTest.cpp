// Whatever a writer takes, GenerateStream and LoadStream carry back unchanged; what XML 1.0
// cannot carry, a writer refuses with nothing written.

#include "QIREdsTestSupport.h"
#include "QIREdsXMLParser.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <unistd.h>
#include <utility>

namespace {
typedef QIRListValQIRUnicodeString Strings;
typedef std::function<HRESULT(QIREdsXMLParser&, const QIRUnicodeString&)> Writer;

// Each writer puts the value where a reader gives it back as it is.
const std::pair<const char*, Writer> kWriters[] = {
    {"AppendJobDefinition",
     [](QIREdsXMLParser& p, const QIRUnicodeString& v) {
       return p.AppendJobDefinition("K", v, v);
     }},
    {"InsertJobInput",
     [](QIREdsXMLParser& p, const QIRUnicodeString& v) { return p.InsertJobInput("J", v, v, v); }},
    {"InsertJobContextInput",
     [](QIREdsXMLParser& p, const QIRUnicodeString& v) {
       return p.InsertJobContextInput("J", v, v, v);
     }},
    {"InsertJobOutput",
     [](QIREdsXMLParser& p, const QIRUnicodeString& v) { return p.InsertJobOutput("J", v, v, v); }},
    {"InsertJobDeleteErrOutput",
     [](QIREdsXMLParser& p, const QIRUnicodeString& v) {
       return p.InsertJobDeleteErrOutput("J", v, v, v);
     }},
    {"InsertJobReportOutput",
     [](QIREdsXMLParser& p, const QIRUnicodeString& v) {
       Strings rows;
       rows.Append(v);
       return p.InsertJobReportOutput("J", rows);
     }},
    {"InsertJobErrorMsg",
     [](QIREdsXMLParser& p, const QIRUnicodeString& v) {
       Strings parameters;
       parameters.Append(v);
       return p.InsertJobErrorMsg("J", v, v, &parameters);
     }},
};

// Everything the readers give for every job, one line per reader.
std::string ReadAll(const QIREdsXMLParser& iParser)
{
  Strings ids, types, inputs;
  iParser.GetJobDefinition(ids, types, inputs);
  std::string all = Join(ids) + "\n" + Join(types) + "\n" + Join(inputs) + "\n";
  for (int i = 1; i <= ids.Size(); ++i) {
    Strings l1, l2, l3, l4, l5, l6, l7, l8, l9, l10, l11, l12, rows;
    iParser.GetJobInput(ids[i], l1, l2, l3);
    iParser.GetJobContextInput(ids[i], l4, l5, l6);
    iParser.GetJobOutput(ids[i], l7, l8, l9);
    iParser.GetJobDeleteErrOutput(ids[i], l10, l11, l12);
    iParser.GetJobReportOutput(ids[i], rows);
    for (const Strings* list :
         {&l1, &l2, &l3, &l4, &l5, &l6, &l7, &l8, &l9, &l10, &l11, &l12, &rows})
      all += Join(*list) + "\n";
    QIRUnicodeString key, file, type, parameter;
    if (SUCCEEDED(iParser.GetJobError(ids[i], key, file, type, parameter)))
      all += std::string(key.ConvertToChar()) + "|" + file.ConvertToChar() + "|" +
             parameter.ConvertToChar() + "\n";
  }
  return all;
}

// A document of one job "J", written and loaded into a new object.
void Reload(QIREdsXMLParser& ioWritten, QIREdsXMLParser& oLoaded, const char* iWriter)
{
  const std::string text = Written(ioWritten);
  ASSERT_FALSE(text.empty()) << iWriter;
  const _SEQUENCE_octet stream = Octets(text);
  ASSERT_EQ(oLoaded.LoadStream(&stream, 0, nullptr), S_OK) << iWriter << " wrote\n"
                                                           << text.substr(0, 2000);
}
}  // namespace

TEST(QIREdsXMLParser, RoundTrip_WritersCarryEveryCharacterXmlCan)
{
  const std::string values[] = {"\t\n\r",
                                "\r\n",
                                " two  spaces ",
                                "<>&\"'",
                                "]]>",
                                "&amp;",
                                "\x7F",
                                "\xC2\x85",
                                "\xE2\x80\xA8",
                                "\xEE\x80\x80",
                                "\xEF\xBF\xBD",
                                "\xF0\x9F\x98\x80",
                                "\xF4\x8F\xBF\xBF",
                                std::string(1 << 16, 'v')};
  for (const std::string& value : values) {
    SCOPED_TRACE(value.substr(0, 20));
    QIREdsXMLParser written, loaded;
    ASSERT_EQ(written.Init("EDB_Jobs", "1"), S_OK);
    ASSERT_EQ(written.AppendJobDefinition("J", "T", "i"), S_OK);
    for (const auto& [name, write] : kWriters)
      ASSERT_EQ(write(written, value.c_str()), S_OK) << name;
    Reload(written, loaded, "every writer");
    const std::string v = value;
    EXPECT_EQ(ReadAll(loaded),
              "J|K\nT|" + v + "\ni|" + v + "\n" +   // definitions
                  v + "\n" + v + "\n" + v + "\n" +  // inputs
                  v + "\n" + v + "\n" + v + "\n" +  // context inputs
                  v + "\n" + v + "\n" + v + "\n" +  // outputs
                  v + "\n" + v + "\n" + v + "\n" +  // delete errors
                  v + "\n" +                        // report rows
                  v + "|" + v + "|" + v + "\n" +    // the error of J
                  "\n\n\n\n\n\n\n\n\n\n\n\n\n");    // nothing under K
  }
}

// U+0000 to U+001F but for tab, line feed and carriage return, U+FFFE and U+FFFF are no XML
// 1.0 characters, written or as references; a huge value must still load once written.
TEST(QIREdsXMLParser, RoundTrip_WritersRefuseWhatXmlCannotCarry)
{
  const std::string values[] = {
      "a\x01"
      "b",
      "\x0B",
      "\x1F",
      "\xEF\xBF\xBE",
      "x\xEF\xBF\xBF",
      std::string(10 * 1024 * 1024 + 1, 'v')};
  for (const std::string& value : values) {
    for (const auto& [name, write] : kWriters) {
      SCOPED_TRACE(std::string(name) + ": " + value.substr(0, 20));
      if (value.size() > 100 && std::string(name) != "InsertJobInput") continue;
      QIREdsXMLParser written, loaded;
      ASSERT_EQ(written.Init("EDB_Jobs", "1"), S_OK);
      ASSERT_EQ(written.AppendJobDefinition("J", "T", "i"), S_OK);
      const std::string before = Written(written);
      const HRESULT hr = write(written, value.c_str());
      if (FAILED(hr)) {
        EXPECT_EQ(hr, E_INVALIDARG);
        EXPECT_EQ(Written(written), before);
        continue;
      }
      Reload(written, loaded, name);
      EXPECT_TRUE(ReadAll(loaded) == ReadAll(written));  // no diff of megabytes on failure
    }
  }
}

// Past 10 MB, with the longest value in the last start tag: libxml2 2.9 refuses such a text
// from its input buffer ("Huge input lookup"). Loaded from memory and from a file, validated
// or not, every value comes back.
TEST(QIREdsXMLParser, RoundTrip_PastTenMegabytesEveryValueLoadsBack)
{
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("qireds-large-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::unique_ptr<const fs::path, void (*)(const fs::path*)> cleanup(
      &dir, [](const fs::path* iDir) { fs::remove_all(*iDir); });
  const fs::path definition = fs::path(QIREDS_TEST_DATA_DIR) / "jobs" / "EdsJobs.dtd";
  fs::copy_file(definition, dir / "EdsJobs.dtd", fs::copy_options::overwrite_existing);
  std::ofstream(dir / "skeleton.xml") << "<!DOCTYPE EDB_Jobs SYSTEM \"EdsJobs.dtd\">\n"
                                         "<EDB_Jobs version=\"1\"/>\n";
  setenv("QIRDictionaryPath", definition.parent_path().c_str(), 1);

  // Eleven megabyte values, then the longest a writer takes, "&" counting five.
  auto megabyte = [](int i) {
    std::string value(1 << 20, static_cast<char>('a' + i));
    value.replace(0, 3, "<&\"");
    return QIRUnicodeString(value.c_str());
  };
  const int kAmpersands = 1000;
  std::string text(QIREdsXMLParser::kLargestValue - 4 * kAmpersands, 'x');
  for (int i = 0; i < kAmpersands; ++i) text.replace(i * 9973, 2, "&<");
  const QIRUnicodeString largest(text.c_str());
  std::string().swap(text);

  QIREdsXMLParser written;
  ASSERT_EQ(written.LoadFile((dir / "skeleton.xml").c_str(), 0), S_OK);
  ASSERT_EQ(written.AppendJobDefinition("J", "T", "i"), S_OK);
  for (int i = 0; i < 11; ++i) ASSERT_EQ(written.InsertJobInput("J", "N", megabyte(i), "S"), S_OK);
  ASSERT_EQ(written.InsertJobOutput("J", "L", largest, "S"), S_OK);
  _SEQUENCE_octet* bytes = nullptr;
  ASSERT_EQ(written.GenerateStream(&bytes), S_OK);
  const std::unique_ptr<_SEQUENCE_octet> stream(bytes);
  const std::string file = (dir / "large.xml").string();
  ASSERT_EQ(written.GenerateFile(file.c_str()), S_OK);

  for (const bool fromFile : {false, true}) {
    for (const unsigned char validate : {0, 1}) {
      SCOPED_TRACE(std::string(fromFile ? "LoadFile" : "LoadStream") +
                   (validate ? ", validated" : ""));
      QIREdsXMLParser loaded;
      ASSERT_EQ(fromFile ? loaded.LoadFile(file.c_str(), validate)
                         : loaded.LoadStream(stream.get(), validate, "EdsJobs.dtd"),
                S_OK);
      Strings names, values, types, outNames, outValues, outTypes;
      ASSERT_EQ(loaded.GetJobInput("J", names, values, types), S_OK);
      ASSERT_EQ(values.Size(), 11);
      for (int i = 0; i < 11; ++i) EXPECT_TRUE(values[i + 1] == megabyte(i)) << i;
      ASSERT_EQ(loaded.GetJobOutput("J", outNames, outValues, outTypes), S_OK);
      ASSERT_EQ(outValues.Size(), 1);
      EXPECT_TRUE(outValues[1] == largest);
    }
  }
  unsetenv("QIRDictionaryPath");
}
