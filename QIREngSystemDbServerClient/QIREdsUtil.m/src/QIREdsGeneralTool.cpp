#include "QIREdsGeneralTool.h"

#include "QIREdsGuard.h"
#include "QIRError.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace {
// The most blanks one marker stands for. A longer count is malformed, so that a few bytes of
// text cannot ask for gigabytes; the encoder writes longer runs as consecutive markers.
const std::size_t kMaxBlankRun = 1000;

void AppendMarkers(std::string& ioText, std::size_t iBlanks)
{
  for (; iBlanks > 0; iBlanks -= std::min(iBlanks, kMaxBlankRun))
    ioText += "!" + std::to_string(std::min(iBlanks, kMaxBlankRun)) + "$";
}

// The count between a "!" and its "$" as "%d" reads it; 0 when no number is there.
int ReadCount(std::string_view iText)
{
  QIRUnicodeString text;
  int count = 0;
  if (SUCCEEDED(text.BuildFromUTF8(iText.data(), iText.size()))) text.ConvertToNum(&count);
  return count;
}

std::string_view Bytes(const QIRUnicodeString& iText)
{
  return std::string_view(iText.ConvertToChar(), static_cast<std::size_t>(iText.GetLengthInByte()));
}

// Every piece cut out of valid UTF-8 at an ASCII byte is valid, so this only fails on memory.
QIRUnicodeString FromBytes(const std::string& iBytes, const QIRUnicodeString& iFallback)
{
  QIRUnicodeString text;
  return SUCCEEDED(text.BuildFromUTF8(iBytes.data(), iBytes.size())) ? text : iFallback;
}
}  // namespace

QIREdsGeneralTool::QIREdsGeneralTool() = default;

QIREdsGeneralTool::~QIREdsGeneralTool() = default;

HRESULT QIREdsGeneralTool::ExtractTokenString(const QIRUnicodeString& iText,
                                              QIRListValQIRUnicodeString& oTokens,
                                              QIRUnicodeString iSeparator)
{
  HRESULT hr = E_FAIL;
  if (iText.IsNull()) return hr;
  return QIRGuarded([&] {
    oTokens.RemoveAll();
    const QIRUnicodeString separator = iSeparator.GetLengthInChar() == 1 ? iSeparator : " ";
    QIRToken tokenizer(iText);
    // The tokenizer's empty token is its end; an all-blank token only gets skipped.
    for (QIRUnicodeString token = tokenizer.GetNextToken(separator); !token.IsNull();
         token = tokenizer.GetNextToken(separator)) {
      token.Strip(QIRUnicodeString::QIRStripBoth, ' ');
      if (!token.IsNull()) oTokens.Append(token);
    }
    return S_OK;
  });
}

// Words are what lies between blanks, and each is found right where the previous gap ends, so
// one pass over the bytes writes the same text as searching word by word would.
QIRUnicodeString QIREdsGeneralTool::EncodeBlanks(const QIRUnicodeString& iText)
{
  if (iText.IsNull() || iText.SearchSubString(" ") < 0) return iText;
  QIRUnicodeString result;
  const HRESULT hr = QIRGuarded([&] {
    const std::string_view text = Bytes(iText);
    std::string encoded;
    encoded.reserve(text.size());
    int wordCount = 0;
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t next =
          text[at] == ' ' ? text.find_first_not_of(' ', at) : text.find(' ', at);
      const std::size_t end = std::min(next, text.size());
      if (text[at] == ' ') {
        AppendMarkers(encoded, end - at);
      } else {
        encoded.append(text, at, end - at);
        ++wordCount;
      }
      at = end;
    }
    result = wordCount <= 1 ? iText : FromBytes(encoded, iText);
    return S_OK;
  });
  if (FAILED(hr)) return iText;
  return result;
}

QIRUnicodeString QIREdsGeneralTool::DecodeBlanks(const QIRUnicodeString& iText)
{
  if (iText.IsNull() || iText.SearchSubString("!") < 0 || iText.SearchSubString("$") < 0)
    return iText;
  QIRUnicodeString result;
  const HRESULT hr = QIRGuarded([&] {
    const std::string_view text = Bytes(iText);
    const std::size_t none = std::string_view::npos;
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t rest = 0; rest < text.size();) {
      const std::size_t bang = text.find('!', rest), dollar = text.find('$', rest);
      int count = 0;
      if (bang != none && dollar != none && dollar > bang)
        count = ReadCount(text.substr(bang + 1, dollar - bang - 1));
      // A malformed marker ends decoding: what follows stays as written.
      if (bang == none || count < 1 || static_cast<std::size_t>(count) > kMaxBlankRun) {
        decoded.append(text, rest, none);
        break;
      }
      decoded.append(text, rest, bang - rest);
      decoded.append(static_cast<std::size_t>(count), ' ');
      rest = dollar + 1;
    }
    result = FromBytes(decoded, iText);
    return S_OK;
  });
  if (FAILED(hr)) return iText;
  return result;
}
