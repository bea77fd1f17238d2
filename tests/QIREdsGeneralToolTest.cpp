#include "QIREdsGeneralTool.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

TEST(QIREdsGeneralTool, ExtractTokenString_Separators)
{
  const struct {
    const char *text, *separator;
    HRESULT hr;
    std::vector<std::string> tokens;
  } cases[] = {
      {"a, b ,c", ",", S_OK, {"a", "b", "c"}},   {"a, b ,c", "", S_OK, {"a,", "b", ",c"}},
      {"a, b ,c", ",;", S_OK, {"a,", "b", ",c"}}, {",, x ,  , y é ,", ",", S_OK, {"x", "y é"}},
      {"   ", " ", S_OK, {}},                     {"", ",", E_FAIL, {"old"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " / " + c.separator);
    QIRListValQIRUnicodeString tokens;
    tokens.Append("old");  // replaced on success, kept on failure
    EXPECT_EQ(c.hr, QIREdsGeneralTool().ExtractTokenString(c.text, tokens, c.separator));
    std::vector<std::string> texts;
    for (int i = 1; i <= tokens.Size(); ++i) texts.emplace_back(tokens[i].ConvertToChar());
    EXPECT_EQ(c.tokens, texts);
  }
}

TEST(QIREdsGeneralTool, EncodeDecode_Examples)
{
  const char* const cases[][2] = {
      {"a b", "a!1$b"},     {"ab  cd e", "ab!2$cd!1$e"}, {" a b ", "!1$a!1$b!1$"},
      {"ab ab", "ab!1$ab"}, {"b ab", "b!1$ab"},          {"abc", "abc"},
      {"word ", "word "},   {"   ", "   "},               {"é  \tü", "é!2$\tü"},
  };
  QIREdsGeneralTool tool;
  for (const auto& c : cases) {
    EXPECT_STREQ(c[1], tool.EncodeBlanks(c[0]).ConvertToChar()) << c[0];
    EXPECT_STREQ(c[0], tool.DecodeBlanks(c[1]).ConvertToChar()) << c[1];
  }
  // No escape: a "!" of the text's own keeps it from coming back.
  EXPECT_STREQ("x!y!1$z", tool.EncodeBlanks("x!y z").ConvertToChar());
  // Markers that no encoding writes: malformed ones stay as they are.
  const char* const decoded[][2] = {
      {"x!y!1$z", "x!y!1$z"}, {"a!0$b", "a!0$b"},   {"a!x$b", "a!x$b"}, {"a$b!2$", "a$b!2$"},
      {"a!2$b!c", "a  b!c"},  {"!3$", "   "},       {"a! 2$b", "a  b"}, {"!", "!"},
      {"a!1$b!-1$c", "a b!-1$c"},
  };
  for (const auto& c : decoded) EXPECT_STREQ(c[1], tool.DecodeBlanks(c[0]).ConvertToChar()) << c[0];
}

TEST(QIREdsGeneralTool, EncodeDecode_RoundTrip)
{
  std::mt19937 random(1234);  // fixed seed: failures replay
  const std::vector<std::string> words = {"a", "word", "é", "日本", "\t", "x1"};
  QIREdsGeneralTool tool;
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    for (int n = static_cast<int>(random() % 10); n > 0; --n)
      text += random() % 2 ? std::string(random() % 5 + 1, ' ') : words[random() % words.size()];
    SCOPED_TRACE("[" + text + "]");
    EXPECT_STREQ(text.c_str(), tool.DecodeBlanks(tool.EncodeBlanks(text.c_str())).ConvertToChar());
  }
}
