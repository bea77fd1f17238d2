// Whatever a writer takes, GenerateStream and LoadStream carry back unchanged; what XML 1.0
// cannot carry, a writer refuses with nothing written.

#include "QIREdsTestSupport.h"
#include "QIREdsXMLParser.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
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
