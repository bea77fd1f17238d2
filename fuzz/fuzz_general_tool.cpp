// Blank-run markers and token lists travel in stored texts. Any text is encoded, decoded and
// split; a text free of marker characters must come back from encoding and decoding exactly,
// and the tokens must be what the split promises.

#include "QIREdsGeneralTool.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
// One marker stands for at most this many blanks, so decoding stays within a bounded
// multiple of its input whatever the counts say.
const std::size_t kMaxBlankRun = 1000;

void Fail(const char* iWhat)
{
  std::fprintf(stderr, "fuzz_general_tool: %s\n", iWhat);
  std::abort();
}

void CheckTokens(QIREdsGeneralTool& ioTool, const QIRUnicodeString& iText,
                 const QIRUnicodeString& iSeparator, const QIRUnicodeString& iSplitAt)
{
  QIRListValQIRUnicodeString tokens;
  tokens.Append("sentinel");
  const HRESULT hr = ioTool.ExtractTokenString(iText, tokens, iSeparator);
  if (FAILED(hr)) {
    if (!iText.IsNull()) Fail("ExtractTokenString failed on a non-empty text");
    if (tokens.Size() != 1) Fail("a failed ExtractTokenString touched the list");
    return;
  }
  for (int i = 1; i <= tokens.Size(); ++i) {
    const QIRUnicodeString& token = tokens[i];
    const int length = token.GetLengthInChar();
    if (length == 0) Fail("empty token");
    if (token.SubString(0, 1) == " " || token.SubString(length - 1, 1) == " ")
      Fail("token not stripped");
    if (token.SearchSubString(iSplitAt) >= 0) Fail("token holds its separator");
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* iData, std::size_t iSize)
{
  const std::string input(reinterpret_cast<const char*>(iData), iSize);
  const QIRUnicodeString text(input.c_str());

  QIREdsGeneralTool tool;
  const QIRUnicodeString encoded = tool.EncodeBlanks(text);
  const QIRUnicodeString decoded = tool.DecodeBlanks(text);
  std::size_t markers = 0;
  for (const char c : input) markers += c == '$' ? 1 : 0;
  if (static_cast<std::size_t>(decoded.GetLengthInByte()) >
      static_cast<std::size_t>(text.GetLengthInByte()) + markers * kMaxBlankRun)
    Fail("decoding gave more blanks than the markers may stand for");
  if (text.SearchSubString("!") < 0 && text.SearchSubString("$") < 0) {
    if (tool.DecodeBlanks(encoded) != text) Fail("encode then decode changed the text");
    if (decoded != text) Fail("decoding a text without markers changed it");
  }
  // Decoding again what was decoded and encoding the encoded text only have to stay inside
  // their input.
  tool.DecodeBlanks(decoded);
  tool.EncodeBlanks(encoded);

  CheckTokens(tool, text, ",", ",");
  CheckTokens(tool, text, "", " ");
  CheckTokens(tool, text, ";,", " ");
  if (!text.IsNull()) CheckTokens(tool, text, text.SubString(0, 1), text.SubString(0, 1));
  return 0;
}
