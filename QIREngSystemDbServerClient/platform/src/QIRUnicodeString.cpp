#include "QIRUnicodeString.h"

#include "QIRUTF8.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <utility>

namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
// Characters between two marks: a position costs at most this many steps past its mark.
constexpr std::size_t kMarkStride = 64;
// Bytes between two block counts: a byte offset costs at most this many bytes past its block.
constexpr std::size_t kBlockBytes = 256;
const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

bool IsContinuation(unsigned char iByte)
{
  return (iByte & 0xC0) == 0x80;
}

std::uint64_t LoadWord(const char* iBytes)
{
  std::uint64_t word;
  std::memcpy(&word, iBytes, sizeof word);
  return word;
}

// Length of the well-formed sequence that starts at iBytes, 0 when it is not one.
// Overlongs, surrogates and values above U+10FFFF are refused here, in one place.
std::size_t SequenceLength(const unsigned char* iBytes, std::size_t iAvailable)
{
  const unsigned char lead = iBytes[0];
  if (lead < 0x80) return 1;
  if (lead < 0xC2) return 0;
  if (lead < 0xE0) return iAvailable >= 2 && IsContinuation(iBytes[1]) ? 2 : 0;
  if (lead < 0xF0) {
    if (iAvailable < 3 || !IsContinuation(iBytes[1]) || !IsContinuation(iBytes[2])) return 0;
    if (lead == 0xE0 && iBytes[1] < 0xA0) return 0;
    if (lead == 0xED && iBytes[1] >= 0xA0) return 0;
    return 3;
  }
  if (lead < 0xF5) {
    if (iAvailable < 4 || !IsContinuation(iBytes[1]) || !IsContinuation(iBytes[2]) ||
        !IsContinuation(iBytes[3]))
      return 0;
    if (lead == 0xF0 && iBytes[1] < 0x90) return 0;
    if (lead == 0xF4 && iBytes[1] >= 0x90) return 0;
    return 4;
  }
  return 0;
}

// Byte count of the well-formed prefix, and in oChars the characters in it: one pass both
// checks and counts. ASCII goes eight bytes at a time.
std::size_t ValidPrefix(const char* iBytes, std::size_t iCount, std::size_t& oChars)
{
  std::size_t i = 0;
  std::size_t chars = 0;
  while (i < iCount) {
    if (i + 8 <= iCount && (LoadWord(iBytes + i) & kHighBits) == 0) {
      i += 8;
      chars += 8;
      continue;
    }
    const std::size_t length =
        SequenceLength(reinterpret_cast<const unsigned char*>(iBytes) + i, iCount - i);
    if (length == 0) break;
    i += length;
    ++chars;
  }
  oChars = chars;
  return i;
}

// Each byte that does not start a well-formed sequence becomes one U+FFFD; oChars receives
// the character count of the result.
std::string Sanitize(const char* iBytes, std::size_t iCount, std::size_t& oChars)
{
  std::size_t chars = 0;
  std::size_t valid = ValidPrefix(iBytes, iCount, chars);
  oChars = chars;
  if (valid == iCount) return std::string(iBytes, iCount);
  std::string text;
  text.reserve(iCount + 8);
  std::size_t i = 0;
  while (i < iCount) {
    text.append(iBytes + i, valid);
    i += valid;
    if (i == iCount) break;
    text.append(kReplacement);
    ++oChars;
    ++i;
    valid = ValidPrefix(iBytes + i, iCount - i, chars);
    oChars += chars;
  }
  return text;
}

// Characters are the bytes that are not continuation bytes: storage is always valid UTF-8.
std::size_t CountChars(const char* iBytes, std::size_t iCount)
{
  std::size_t count = 0;
  std::size_t i = 0;
  for (; i + 8 <= iCount; i += 8) {
    const std::uint64_t word = LoadWord(iBytes + i);
    const std::uint64_t continuations = word & ~(word << 1) & kHighBits;
    // Sums the marked bytes without a population count, which not every target has.
    count += 8 - static_cast<std::size_t>(((continuations >> 7) * 0x0101010101010101ULL) >> 56);
  }
  for (; i < iCount; ++i)
    if (!IsContinuation(static_cast<unsigned char>(iBytes[i]))) ++count;
  return count;
}

// Byte offset of character iChar, or the byte size when the string is shorter.
std::size_t ByteOffset(const char* iBytes, std::size_t iSize, std::size_t iChar)
{
  std::size_t i = 0;
  while (iChar > 0 && i < iSize) {
    if (iChar >= 8 && i + 8 <= iSize && (LoadWord(iBytes + i) & kHighBits) == 0) {
      i += 8;
      iChar -= 8;
      continue;
    }
    ++i;
    while (i < iSize && IsContinuation(static_cast<unsigned char>(iBytes[i]))) ++i;
    --iChar;
  }
  return i;
}

bool IsBlank(unsigned char iByte)
{
  return iByte == ' ' || (iByte >= '\t' && iByte <= '\r');
}

int DigitValue(unsigned char iByte)
{
  if (iByte >= '0' && iByte <= '9') return iByte - '0';
  if (iByte >= 'a' && iByte <= 'z') return iByte - 'a' + 10;
  if (iByte >= 'A' && iByte <= 'Z') return iByte - 'A' + 10;
  return 99;
}

// Reads one number of the given base (0: as a C literal) from iText[ioPos, iEnd).
// The magnitude is capped just past the int range, so any length of digits saturates.
bool ReadNumber(const std::string& iText, std::size_t& ioPos, std::size_t iEnd, int iBase,
                int& oValue)
{
  std::size_t pos = ioPos;
  bool negative = false;
  if (pos < iEnd && (iText[pos] == '+' || iText[pos] == '-')) negative = iText[pos++] == '-';
  const bool hexPrefix =
      pos + 1 < iEnd && iText[pos] == '0' && (iText[pos + 1] == 'x' || iText[pos + 1] == 'X');
  if (iBase == 0) iBase = hexPrefix ? 16 : (pos < iEnd && iText[pos] == '0' ? 8 : 10);
  if (iBase == 16 && hexPrefix && pos + 2 < iEnd &&
      DigitValue(static_cast<unsigned char>(iText[pos + 2])) < 16)
    pos += 2;
  const long long cap = static_cast<long long>(INT_MAX) + 1;
  long long magnitude = 0;
  const std::size_t firstDigit = pos;
  for (; pos < iEnd; ++pos) {
    const int digit = DigitValue(static_cast<unsigned char>(iText[pos]));
    if (digit >= iBase) break;
    magnitude = magnitude * iBase + digit;
    if (magnitude > cap) magnitude = cap;
  }
  if (pos == firstDigit) return false;
  if (negative) magnitude = -magnitude;
  if (magnitude > INT_MAX) magnitude = INT_MAX;
  oValue = static_cast<int>(magnitude);
  ioPos = pos;
  return true;
}

// True when iFormat holds exactly one int conversion (flags, width and precision allowed),
// so that snprintf can never be handed a conversion that reads another argument type.
bool IsSingleIntFormat(const char* iFormat)
{
  int conversions = 0;
  for (const char* f = iFormat; *f; ++f) {
    if (*f != '%') continue;
    if (*++f == '%') continue;
    while (*f && std::strchr("-+ #0", *f)) ++f;
    while (*f >= '0' && *f <= '9') ++f;
    if (*f == '.') ++f;
    while (*f >= '0' && *f <= '9') ++f;
    if (!*f || !std::strchr("diouxXc", *f)) return false;
    ++conversions;
  }
  return conversions == 1;
}

}  // namespace

QIRUnicodeString::QIRUnicodeString(const char* iText)
{
  std::size_t chars = 0;
  if (iText) _text = Sanitize(iText, std::strlen(iText), chars);
  Reindex(chars);
}

// The source is left empty rather than unspecified, so its length stays true to its text.
QIRUnicodeString::QIRUnicodeString(QIRUnicodeString&& ioOther) noexcept
    : _text(std::move(ioOther._text)),
      _length(ioOther._length),
      _marks(std::move(ioOther._marks)),
      _blockChars(std::move(ioOther._blockChars))
{
  ioOther._text.clear();
  ioOther._length = 0;
  ioOther._marks.clear();
  ioOther._blockChars.clear();
}

QIRUnicodeString& QIRUnicodeString::operator=(QIRUnicodeString&& ioOther) noexcept
{
  if (this == &ioOther) return *this;
  _text = std::move(ioOther._text);
  _length = ioOther._length;
  _marks = std::move(ioOther._marks);
  _blockChars = std::move(ioOther._blockChars);
  ioOther._text.clear();
  ioOther._length = 0;
  ioOther._marks.clear();
  ioOther._blockChars.clear();
  return *this;
}

QIRUnicodeString& QIRUnicodeString::operator=(const char* iText)
{
  std::size_t chars = 0;
  _text = iText ? Sanitize(iText, std::strlen(iText), chars) : std::string();
  Reindex(chars);
  return *this;
}

// Only the appended characters are indexed, so a text built piece by piece costs its length.
QIRUnicodeString& QIRUnicodeString::operator+=(const QIRUnicodeString& iOther)
{
  const std::size_t oldSize = _text.size();
  const std::size_t oldLength = static_cast<std::size_t>(_length);
  const int otherLength = iOther._length;  // read first: iOther may be this string
  _text += iOther._text;
  _length += otherLength;
  if (static_cast<std::size_t>(_length) == _text.size()) return *this;
  if (oldLength == oldSize) {  // ASCII so far: every index entry is its own position
    for (std::size_t c = _marks.size() * kMarkStride; c < oldLength; c += kMarkStride)
      _marks.push_back(static_cast<std::uint32_t>(c));
    for (std::size_t b = _blockChars.size() * kBlockBytes; b < oldSize; b += kBlockBytes)
      _blockChars.push_back(static_cast<std::uint32_t>(b));
  }
  ExtendMarks(oldSize, oldLength);
  return *this;
}

QIRUnicodeString operator+(const QIRUnicodeString& iLeft, const QIRUnicodeString& iRight)
{
  QIRUnicodeString result(iLeft);
  result += iRight;
  return result;
}

void QIRUnicodeString::Reindex()
{
  Reindex(CountChars(_text.data(), _text.size()));
}

void QIRUnicodeString::Reindex(std::size_t iLength)
{
  _length = static_cast<int>(iLength);
  _marks.clear();
  _blockChars.clear();
  if (static_cast<std::size_t>(_length) != _text.size()) ExtendMarks(0, 0);
}

void QIRUnicodeString::ExtendMarks(std::size_t iByte, std::size_t iChar)
{
  for (std::size_t i = iByte; i < _text.size(); ++i) {
    if (i % kBlockBytes == 0 && i / kBlockBytes == _blockChars.size())
      _blockChars.push_back(static_cast<std::uint32_t>(iChar));
    if (IsContinuation(static_cast<unsigned char>(_text[i]))) continue;
    if (iChar % kMarkStride == 0) _marks.push_back(static_cast<std::uint32_t>(i));
    ++iChar;
  }
}

std::size_t QIRUnicodeString::ByteOffsetOf(std::size_t iChar) const
{
  if (iChar >= static_cast<std::size_t>(_length)) return _text.size();
  if (_marks.empty()) return iChar;
  const std::size_t mark = _marks[iChar / kMarkStride];
  return mark + ByteOffset(_text.data() + mark, _text.size() - mark, iChar % kMarkStride);
}

std::size_t QIRUnicodeString::CharPositionOf(std::size_t iByte) const
{
  if (_blockChars.empty()) return iByte;
  const std::size_t block = std::min(iByte / kBlockBytes, _blockChars.size() - 1);
  const std::size_t begin = block * kBlockBytes;
  return _blockChars[block] + CountChars(_text.data() + begin, iByte - begin);
}

QIRUnicodeString QIRUnicodeString::SubString(int iStart, int iLength) const
{
  QIRUnicodeString result;
  if (iStart < 0 || iLength <= 0 || iStart >= _length) return result;
  const std::size_t begin = ByteOffsetOf(static_cast<std::size_t>(iStart));
  const std::size_t end = ByteOffsetOf(static_cast<std::size_t>(
      std::min<long long>(static_cast<long long>(iStart) + iLength, _length)));
  result._text.assign(_text, begin, end - begin);
  result.Reindex();
  return result;
}

int QIRUnicodeString::SearchSubString(const QIRUnicodeString& iText, int iStart,
                                      QIRSearchMode iMode) const
{
  const std::string& needle = iText._text;
  if (needle.empty() || iStart < 0) return -1;
  std::size_t found = std::string::npos;
  if (iMode == QIRSearchBackward) {
    if (iStart > _length) return -1;
    const std::size_t end = ByteOffsetOf(static_cast<std::size_t>(_length - iStart));
    if (end < needle.size()) return -1;
    found = _text.rfind(needle, end - needle.size());
  } else {
    found = _text.find(needle, ByteOffsetOf(static_cast<std::size_t>(iStart)));
  }
  // Both sides are valid UTF-8, so a byte match always starts on a character.
  if (found == std::string::npos) return -1;
  return static_cast<int>(CharPositionOf(found));
}

QIRUnicodeString& QIRUnicodeString::Strip(QIRStripMode iMode, char iChar)
{
  // A byte above 0x7F is never a whole character; removing it would break the encoding.
  if (static_cast<unsigned char>(iChar) >= 0x80 || _text.empty()) return *this;
  std::size_t begin = 0;
  std::size_t end = _text.size();
  if (iMode & QIRStripLeading)
    while (begin < end && _text[begin] == iChar) ++begin;
  if (iMode & QIRStripTrailing)
    while (end > begin && _text[end - 1] == iChar) --end;
  if (begin == 0 && end == _text.size()) return *this;
  _text = _text.substr(begin, end - begin);
  Reindex();
  return *this;
}

QIRUnicodeString& QIRUnicodeString::Remove(int iStart, int iLength)
{
  if (iStart < 0 || iLength <= 0 || iStart >= _length) return *this;
  const std::size_t begin = ByteOffsetOf(static_cast<std::size_t>(iStart));
  const std::size_t end = ByteOffsetOf(static_cast<std::size_t>(
      std::min<long long>(static_cast<long long>(iStart) + iLength, _length)));
  _text.erase(begin, end - begin);
  Reindex();
  return *this;
}

std::size_t QIRUnicodeString::ConvertToUTF8(char* oBuffer, std::size_t iBufferSize) const
{
  if (!oBuffer || _text.size() > iBufferSize) return 0;
  std::memcpy(oBuffer, _text.data(), _text.size());
  return _text.size();
}

HRESULT QIRUnicodeString::BuildFromUTF8(const char* iBytes, std::size_t iByteCount)
{
  _text.clear();
  Reindex(0);
  if (iByteCount == 0) return S_OK;
  std::size_t chars = 0;
  if (!iBytes || ValidPrefix(iBytes, iByteCount, chars) != iByteCount) return E_FAIL;
  _text.assign(iBytes, iByteCount);
  Reindex(chars);
  return S_OK;
}

int QIRUnicodeString::ConvertToNum(int* oValue, const char* iFormat) const
{
  if (!oValue) return 0;
  const char* format = iFormat ? iFormat : "%d";
  const std::size_t size = _text.size();
  std::size_t pos = 0;
  for (const char* f = format; *f; ++f) {
    const unsigned char c = static_cast<unsigned char>(*f);
    if (IsBlank(c)) {
      while (pos < size && IsBlank(static_cast<unsigned char>(_text[pos]))) ++pos;
      continue;
    }
    if (c != '%' || f[1] == '%') {
      if (c == '%') ++f;
      if (pos >= size || _text[pos] != *f) return 0;
      ++pos;
      continue;
    }
    std::size_t width = 0;
    while (f[1] >= '0' && f[1] <= '9') width = width * 10 + static_cast<std::size_t>(*++f - '0');
    while (f[1] == 'h' || f[1] == 'l') ++f;
    int base = -1;
    switch (f[1]) {
      case 'd':
      case 'u':
        base = 10;
        break;
      case 'i':
        base = 0;
        break;
      case 'x':
      case 'X':
        base = 16;
        break;
      case 'o':
        base = 8;
        break;
      default:
        return 0;
    }
    while (pos < size && IsBlank(static_cast<unsigned char>(_text[pos]))) ++pos;
    const std::size_t end = width > 0 && width < size - pos ? pos + width : size;
    int value = 0;
    if (!ReadNumber(_text, pos, end, base, value)) return 0;
    *oValue = value;
    return 1;
  }
  return 0;
}

void QIRUnicodeString::BuildFromNum(int iValue, const char* iFormat)
{
  const char* format = iFormat && IsSingleIntFormat(iFormat) ? iFormat : "%d";
  char small[64];
  const int needed = std::snprintf(small, sizeof small, format, iValue);
  std::size_t chars = 0;
  if (needed < 0) {
    _text.clear();
  } else if (static_cast<std::size_t>(needed) < sizeof small) {
    _text = Sanitize(small, static_cast<std::size_t>(needed), chars);
  } else {
    std::string large(static_cast<std::size_t>(needed) + 1, '\0');
    std::snprintf(&large[0], large.size(), format, iValue);
    _text = Sanitize(large.data(), static_cast<std::size_t>(needed), chars);
  }
  Reindex(chars);
}

std::size_t QIRUTF8::ValidPrefix(const char* iBytes, std::size_t iSize)
{
  std::size_t chars = 0;
  return iBytes ? ::ValidPrefix(iBytes, iSize, chars) : 0;
}

QIRToken::QIRToken(const QIRUnicodeString& iText) : _text(iText) {}

QIRUnicodeString QIRToken::GetNextToken(const QIRUnicodeString& iSeparators)
{
  const std::string_view text(_text.ConvertToChar(),
                              static_cast<std::size_t>(_text.GetLengthInByte()));
  const std::string_view separators(iSeparators.ConvertToChar(),
                                    static_cast<std::size_t>(iSeparators.GetLengthInByte()));
  std::size_t pos = static_cast<std::size_t>(_position);
  // A whole character, matched as bytes: valid UTF-8 finds it only at a boundary.
  auto separatorAt = [&](std::size_t iPos, std::size_t& oLength) {
    oLength = 1;
    while (iPos + oLength < text.size() &&
           IsContinuation(static_cast<unsigned char>(text[iPos + oLength])))
      ++oLength;
    return separators.find(text.substr(iPos, oLength)) != std::string_view::npos;
  };
  std::size_t length = 0;
  while (pos < text.size() && separatorAt(pos, length)) pos += length;
  const std::size_t begin = pos;
  while (pos < text.size() && !separatorAt(pos, length)) pos += length;
  _position = static_cast<int>(pos);
  QIRUnicodeString token;
  token.BuildFromUTF8(text.data() + begin, pos - begin);
  return token;
}
