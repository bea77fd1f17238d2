#include "QIRUnicodeString.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

bool IsContinuation(unsigned char iByte) { return (iByte & 0xC0) == 0x80; }

std::uint64_t LoadWord(const char* iBytes) {
  std::uint64_t word;
  std::memcpy(&word, iBytes, sizeof word);
  return word;
}

// Length of the well-formed sequence that starts at iBytes, 0 when it is not one.
// Overlongs, surrogates and values above U+10FFFF are refused here, in one place.
std::size_t SequenceLength(const unsigned char* iBytes, std::size_t iAvailable) {
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

// Byte count of the well-formed prefix; ASCII goes eight bytes at a time.
std::size_t ValidPrefix(const char* iBytes, std::size_t iCount) {
  std::size_t i = 0;
  while (i < iCount) {
    if (i + 8 <= iCount && (LoadWord(iBytes + i) & kHighBits) == 0) {
      i += 8;
      continue;
    }
    const std::size_t length =
        SequenceLength(reinterpret_cast<const unsigned char*>(iBytes) + i, iCount - i);
    if (length == 0) return i;
    i += length;
  }
  return i;
}

// Each byte that does not start a well-formed sequence becomes one U+FFFD.
std::string Sanitize(const char* iBytes, std::size_t iCount) {
  std::size_t valid = ValidPrefix(iBytes, iCount);
  if (valid == iCount) return std::string(iBytes, iCount);
  std::string text;
  text.reserve(iCount + 8);
  std::size_t i = 0;
  while (i < iCount) {
    text.append(iBytes + i, valid);
    i += valid;
    if (i == iCount) break;
    text.append(kReplacement);
    ++i;
    valid = ValidPrefix(iBytes + i, iCount - i);
  }
  return text;
}

// Characters are the bytes that are not continuation bytes: storage is always valid UTF-8.
std::size_t CountChars(const char* iBytes, std::size_t iCount) {
  std::size_t count = 0;
  std::size_t i = 0;
  for (; i + 8 <= iCount; i += 8) {
    const std::uint64_t word = LoadWord(iBytes + i);
    const std::uint64_t continuations = word & ~(word << 1) & kHighBits;
    count += 8 - static_cast<std::size_t>(__builtin_popcountll(continuations));
  }
  for (; i < iCount; ++i)
    if (!IsContinuation(static_cast<unsigned char>(iBytes[i]))) ++count;
  return count;
}

// Byte offset of character iChar, or the byte size when the string is shorter.
std::size_t ByteOffset(const char* iBytes, std::size_t iSize, std::size_t iChar) {
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

bool IsBlank(unsigned char iByte) { return iByte == ' ' || (iByte >= '\t' && iByte <= '\r'); }

int DigitValue(unsigned char iByte) {
  if (iByte >= '0' && iByte <= '9') return iByte - '0';
  if (iByte >= 'a' && iByte <= 'z') return iByte - 'a' + 10;
  if (iByte >= 'A' && iByte <= 'Z') return iByte - 'A' + 10;
  return 99;
}

// Reads one number of the given base (0: as a C literal) from iText[ioPos, iEnd).
// The magnitude is capped just past the int range, so any length of digits saturates.
bool ReadNumber(const std::string& iText, std::size_t& ioPos, std::size_t iEnd, int iBase,
                int& oValue) {
  std::size_t pos = ioPos;
  bool negative = false;
  if (pos < iEnd && (iText[pos] == '+' || iText[pos] == '-')) negative = iText[pos++] == '-';
  const bool hexPrefix = pos + 1 < iEnd && iText[pos] == '0' &&
                         (iText[pos + 1] == 'x' || iText[pos + 1] == 'X');
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
bool IsSingleIntFormat(const char* iFormat) {
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
    : _text(iText ? Sanitize(iText, std::strlen(iText)) : std::string()) {}

QIRUnicodeString& QIRUnicodeString::operator=(const char* iText) {
  _text = iText ? Sanitize(iText, std::strlen(iText)) : std::string();
  return *this;
}

QIRUnicodeString& QIRUnicodeString::operator+=(const QIRUnicodeString& iOther) {
  _text += iOther._text;
  return *this;
}

QIRUnicodeString operator+(const QIRUnicodeString& iLeft, const QIRUnicodeString& iRight) {
  QIRUnicodeString result(iLeft);
  result += iRight;
  return result;
}

int QIRUnicodeString::GetLengthInChar() const {
  return static_cast<int>(CountChars(_text.data(), _text.size()));
}

QIRUnicodeString QIRUnicodeString::SubString(int iStart, int iLength) const {
  QIRUnicodeString result;
  if (iStart < 0 || iLength <= 0) return result;
  const std::size_t begin =
      ByteOffset(_text.data(), _text.size(), static_cast<std::size_t>(iStart));
  if (begin >= _text.size()) return result;
  const std::size_t length = ByteOffset(_text.data() + begin, _text.size() - begin,
                                        static_cast<std::size_t>(iLength));
  result._text.assign(_text, begin, length);
  return result;
}

int QIRUnicodeString::SearchSubString(const QIRUnicodeString& iText, int iStart,
                                      QIRSearchMode iMode) const {
  const std::string& needle = iText._text;
  if (needle.empty() || iStart < 0) return -1;
  std::size_t found = std::string::npos;
  if (iMode == QIRSearchBackward) {
    const int length = GetLengthInChar();
    if (iStart > length) return -1;
    const std::size_t end =
        ByteOffset(_text.data(), _text.size(), static_cast<std::size_t>(length - iStart));
    if (end < needle.size()) return -1;
    found = _text.rfind(needle, end - needle.size());
  } else {
    found = _text.find(needle,
                       ByteOffset(_text.data(), _text.size(), static_cast<std::size_t>(iStart)));
  }
  // Both sides are valid UTF-8, so a byte match always starts on a character.
  if (found == std::string::npos) return -1;
  return static_cast<int>(CountChars(_text.data(), found));
}

QIRUnicodeString& QIRUnicodeString::Strip(QIRStripMode iMode, char iChar) {
  // A byte above 0x7F is never a whole character; removing it would break the encoding.
  if (static_cast<unsigned char>(iChar) >= 0x80 || _text.empty()) return *this;
  std::size_t begin = 0;
  std::size_t end = _text.size();
  if (iMode & QIRStripLeading)
    while (begin < end && _text[begin] == iChar) ++begin;
  if (iMode & QIRStripTrailing)
    while (end > begin && _text[end - 1] == iChar) --end;
  _text = _text.substr(begin, end - begin);
  return *this;
}

QIRUnicodeString& QIRUnicodeString::Remove(int iStart, int iLength) {
  if (iStart < 0 || iLength <= 0) return *this;
  const std::size_t begin =
      ByteOffset(_text.data(), _text.size(), static_cast<std::size_t>(iStart));
  if (begin >= _text.size()) return *this;
  _text.erase(begin, ByteOffset(_text.data() + begin, _text.size() - begin,
                                static_cast<std::size_t>(iLength)));
  return *this;
}

std::size_t QIRUnicodeString::ConvertToUTF8(char* oBuffer, std::size_t iBufferSize) const {
  if (!oBuffer || _text.size() > iBufferSize) return 0;
  std::memcpy(oBuffer, _text.data(), _text.size());
  return _text.size();
}

HRESULT QIRUnicodeString::BuildFromUTF8(const char* iBytes, std::size_t iByteCount) {
  _text.clear();
  if (iByteCount == 0) return S_OK;
  if (!iBytes || ValidPrefix(iBytes, iByteCount) != iByteCount) return E_FAIL;
  _text.assign(iBytes, iByteCount);
  return S_OK;
}

int QIRUnicodeString::ConvertToNum(int* oValue, const char* iFormat) const {
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
      case 'd': case 'u': base = 10; break;
      case 'i': base = 0; break;
      case 'x': case 'X': base = 16; break;
      case 'o': base = 8; break;
      default: return 0;
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

void QIRUnicodeString::BuildFromNum(int iValue, const char* iFormat) {
  const char* format = iFormat && IsSingleIntFormat(iFormat) ? iFormat : "%d";
  char small[64];
  const int needed = std::snprintf(small, sizeof small, format, iValue);
  if (needed < 0) {
    _text.clear();
    return;
  }
  if (static_cast<std::size_t>(needed) < sizeof small) {
    _text = Sanitize(small, static_cast<std::size_t>(needed));
    return;
  }
  std::string large(static_cast<std::size_t>(needed) + 1, '\0');
  std::snprintf(&large[0], large.size(), format, iValue);
  _text = Sanitize(large.data(), static_cast<std::size_t>(needed));
}

QIRToken::QIRToken(const QIRUnicodeString& iText) : _text(iText) {}

QIRUnicodeString QIRToken::GetNextToken(const QIRUnicodeString& iSeparators) {
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
