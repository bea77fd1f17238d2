#include "QIREdsGeneralTool.h"

#include <cstddef>
#include <string>

#include "QIRError.h"

namespace {
QIRUnicodeString BlankMarker(int iCount)
{
  QIRUnicodeString count;
  count.BuildFromNum(iCount, "%d");
  return QIRUnicodeString("!") + count + "$";
}

QIRUnicodeString Blanks(int iCount)
{
  const std::string blanks(static_cast<std::size_t>(iCount), ' ');
  QIRUnicodeString text;
  text.BuildFromUTF8(blanks.data(), blanks.size());
  return text;
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
  try {
    oTokens.RemoveAll();
    const QIRUnicodeString separator = iSeparator.GetLengthInChar() == 1 ? iSeparator : " ";
    QIRToken tokenizer(iText);
    // The tokenizer's empty token is its end; an all-blank token only gets skipped.
    for (QIRUnicodeString token = tokenizer.GetNextToken(separator); !token.IsNull();
         token = tokenizer.GetNextToken(separator)) {
      token.Strip(QIRUnicodeString::QIRStripBoth, ' ');
      if (!token.IsNull()) oTokens.Append(token);
    }
    hr = S_OK;
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

QIRUnicodeString QIREdsGeneralTool::EncodeBlanks(const QIRUnicodeString& iText)
{
  if (iText.IsNull() || iText.SearchSubString(" ") < 0) return iText;
  try {
    QIRUnicodeString encoded;
    QIRToken tokenizer(iText);
    int previousPosition = 0, previousLength = 0, wordCount = 0;
    for (QIRUnicodeString word = tokenizer.GetNextToken(" "); !word.IsNull();
         word = tokenizer.GetNextToken(" ")) {
      word.Strip(QIRUnicodeString::QIRStripBoth, ' ');
      // Searching on from the previous word finds a repeated word at its own place.
      const int position = iText.SearchSubString(word, previousPosition + previousLength);
      if (position < 0) return iText;
      const int gap = position - previousPosition - previousLength;
      if (gap > 0) encoded += BlankMarker(gap);
      encoded += word;
      previousPosition = position;
      previousLength = word.GetLengthInChar();
      ++wordCount;
    }
    if (wordCount <= 1) return iText;
    const int trailing = iText.GetLengthInChar() - (previousPosition + previousLength);
    if (trailing > 0) encoded += BlankMarker(trailing);
    return encoded;
  } catch (QIRError& error) {
    error.Flush();
  } catch (...) {
  }
  return iText;
}

QIRUnicodeString QIREdsGeneralTool::DecodeBlanks(const QIRUnicodeString& iText)
{
  if (iText.IsNull() || iText.SearchSubString("!") < 0 || iText.SearchSubString("$") < 0)
    return iText;
  try {
    QIRUnicodeString decoded;
    QIRUnicodeString rest = iText;
    while (!rest.IsNull()) {
      const int bang = rest.SearchSubString("!");
      const int dollar = rest.SearchSubString("$");
      int count = 0;
      if (bang >= 0 && dollar > bang)
        rest.SubString(bang + 1, dollar - bang - 1).ConvertToNum(&count);
      // A malformed marker ends decoding: what follows stays as written.
      if (bang < 0 || count < 1) {
        decoded += rest;
        break;
      }
      decoded += rest.SubString(0, bang);
      decoded += Blanks(count);
      rest = rest.SubString(dollar + 1, rest.GetLengthInChar() - dollar - 1);
    }
    return decoded;
  } catch (QIRError& error) {
    error.Flush();
  } catch (...) {
  }
  return iText;
}
