#ifndef QIRUnicodeString_H
#define QIRUnicodeString_H
// Unicode text held as UTF-8. Positions and lengths count characters (code points), from 0.
// Turning a position into a byte offset costs the same at any position and any length, so
// a caller may walk a long text by positions in time proportional to the text.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "QIRCodes.h"

class QIRUnicodeString {
 public:
  enum QIRSearchMode { QIRSearchForward = 0, QIRSearchBackward = 1 };
  enum QIRStripMode { QIRStripLeading = 1, QIRStripTrailing = 2, QIRStripBoth = 3 };

  QIRUnicodeString() = default;
  // UTF-8 text; a null pointer gives the empty string, invalid bytes become U+FFFD.
  QIRUnicodeString(const char* iText);  // NOLINT: implicit on purpose, callers pass literals
  QIRUnicodeString(const QIRUnicodeString&) = default;
  QIRUnicodeString(QIRUnicodeString&& ioOther) noexcept;
  QIRUnicodeString& operator=(const QIRUnicodeString&) = default;
  QIRUnicodeString& operator=(QIRUnicodeString&& ioOther) noexcept;
  QIRUnicodeString& operator=(const char* iText);
  ~QIRUnicodeString() = default;

  bool operator==(const QIRUnicodeString& iOther) const { return _text == iOther._text; }
  bool operator!=(const QIRUnicodeString& iOther) const { return _text != iOther._text; }
  bool operator<(const QIRUnicodeString& iOther) const { return _text < iOther._text; }
  QIRUnicodeString& operator+=(const QIRUnicodeString& iOther);
  friend QIRUnicodeString operator+(const QIRUnicodeString& iLeft, const QIRUnicodeString& iRight);

  // The UTF-8 text, NUL-terminated; valid while this string lives unchanged.
  const char* ConvertToChar() const { return _text.c_str(); }
  // Number of characters (code points).
  int GetLengthInChar() const { return _length; }
  // Number of UTF-8 bytes.
  int GetLengthInByte() const { return static_cast<int>(_text.size()); }
  // Non-zero when empty.
  int IsNull() const { return _text.empty() ? 1 : 0; }

  // iLength characters from iStart, clipped to the string; empty when iStart is out of range.
  QIRUnicodeString SubString(int iStart, int iLength) const;
  // Forward: first occurrence at or after iStart. Backward: last occurrence that ends at
  // or before GetLengthInChar() - iStart. Returns the position, -1 when absent or when
  // iText is empty.
  int SearchSubString(const QIRUnicodeString& iText, int iStart = 0,
                      QIRSearchMode iMode = QIRSearchForward) const;
  // Removes iChar at the chosen ends, in place; returns this string.
  QIRUnicodeString& Strip(QIRStripMode iMode = QIRStripBoth, char iChar = ' ');
  // Removes iLength characters from iStart (clipped), in place; returns this string.
  QIRUnicodeString& Remove(int iStart, int iLength);

  // Writes the UTF-8 bytes (no terminator) into oBuffer when they fit in iBufferSize and
  // returns their count; returns 0 and writes nothing otherwise.
  std::size_t ConvertToUTF8(char* oBuffer, std::size_t iBufferSize) const;
  // Replaces the content with iByteCount bytes of UTF-8. S_OK when they are valid UTF-8;
  // E_FAIL otherwise, leaving the string empty. A null pointer with a count of 0 is valid.
  HRESULT BuildFromUTF8(const char* iBytes, std::size_t iByteCount);

  // Reads a whole number as iFormat's single "%d" does: leading blanks skipped, optional
  // sign, digits up to the first other character; out-of-range values saturate.
  // Returns 1 and sets oValue when a number was read, else 0 with oValue unchanged.
  int ConvertToNum(int* oValue, const char* iFormat = "%d") const;
  // Replaces the content with iValue printed with iFormat (one int conversion).
  void BuildFromNum(int iValue, const char* iFormat = "%d");

 private:
  // Recomputes _length and _marks after _text changed.
  void Reindex();
  // Adds the marks and block counts from character iChar on, which starts at byte iByte.
  void ExtendMarks(std::size_t iByte, std::size_t iChar);
  // Byte offset of character iChar; the byte size when iChar is not below _length.
  std::size_t ByteOffsetOf(std::size_t iChar) const;
  // Character position of the character that starts at byte iByte.
  std::size_t CharPositionOf(std::size_t iByte) const;

  std::string _text;  // always valid UTF-8
  int _length = 0;    // in characters
  // While the text is ASCII both are empty, positions being byte offsets. Otherwise: the byte
  // offset of every 64th character (0, 64, 128, ...), and the number of characters that start
  // before every 256th byte (0, 256, 512, ...), which turn positions into offsets and back.
  std::vector<std::uint32_t> _marks;
  std::vector<std::uint32_t> _blockChars;
};

// Splits a string into tokens; a run of separators counts as one.
class QIRToken {
 public:
  explicit QIRToken(const QIRUnicodeString& iText);
  // The next token, separated by any character of iSeparators; empty when none is left.
  QIRUnicodeString GetNextToken(const QIRUnicodeString& iSeparators);

 private:
  QIRUnicodeString _text;
  int _position = 0;  // in bytes, always at a character boundary
};

#endif
