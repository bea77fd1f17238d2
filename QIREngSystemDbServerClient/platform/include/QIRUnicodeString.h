#ifndef QIRUnicodeString_H
#define QIRUnicodeString_H
/// \file
/// Unicode text held as UTF-8. Positions and lengths count characters (code points), from 0.

#include <cstddef>
#include <string>

#include "QIRCodes.h"
#include "QIRExport.h"

class QIR_API QIRUnicodeString {
 public:
  enum QIRSearchMode { QIRSearchForward = 0, QIRSearchBackward = 1 };
  enum QIRStripMode { QIRStripLeading = 1, QIRStripTrailing = 2, QIRStripBoth = 3 };

  QIRUnicodeString() = default;
  /// UTF-8 text; a null pointer gives the empty string, invalid bytes become U+FFFD.
  QIRUnicodeString(const char* iText);  // NOLINT: implicit on purpose, callers pass literals
  QIRUnicodeString(const QIRUnicodeString&) = default;
  QIRUnicodeString(QIRUnicodeString&&) noexcept = default;
  QIRUnicodeString& operator=(const QIRUnicodeString&) = default;
  QIRUnicodeString& operator=(QIRUnicodeString&&) noexcept = default;
  QIRUnicodeString& operator=(const char* iText);
  ~QIRUnicodeString() = default;

  bool operator==(const QIRUnicodeString& iOther) const { return _text == iOther._text; }
  bool operator!=(const QIRUnicodeString& iOther) const { return _text != iOther._text; }
  bool operator<(const QIRUnicodeString& iOther) const { return _text < iOther._text; }
  QIRUnicodeString& operator+=(const QIRUnicodeString& iOther);
  friend QIR_API QIRUnicodeString operator+(const QIRUnicodeString& iLeft,
                                            const QIRUnicodeString& iRight);

  /// The UTF-8 text, NUL-terminated; valid while this string lives unchanged.
  const char* ConvertToChar() const { return _text.c_str(); }
  /// Number of characters (code points).
  int GetLengthInChar() const;
  /// Number of UTF-8 bytes.
  int GetLengthInByte() const { return static_cast<int>(_text.size()); }
  /// Non-zero when empty.
  int IsNull() const { return _text.empty() ? 1 : 0; }

  /// iLength characters from iStart, clipped to the string; empty when iStart is out of range.
  QIRUnicodeString SubString(int iStart, int iLength) const;
  /// Forward: first occurrence at or after iStart. Backward: last occurrence that ends at
  /// or before GetLengthInChar() - iStart. Returns the position, -1 when absent or when
  /// iText is empty.
  int SearchSubString(const QIRUnicodeString& iText, int iStart = 0,
                      QIRSearchMode iMode = QIRSearchForward) const;
  /// Removes iChar at the chosen ends, in place; returns this string.
  QIRUnicodeString& Strip(QIRStripMode iMode = QIRStripBoth, char iChar = ' ');
  /// Removes iLength characters from iStart (clipped), in place; returns this string.
  QIRUnicodeString& Remove(int iStart, int iLength);

  /// Writes the UTF-8 bytes (no terminator) into oBuffer when they fit in iBufferSize and
  /// returns their count; returns 0 and writes nothing otherwise.
  std::size_t ConvertToUTF8(char* oBuffer, std::size_t iBufferSize) const;
  /// Replaces the content with iByteCount bytes of UTF-8. S_OK when they are valid UTF-8;
  /// E_FAIL otherwise, leaving the string empty. A null pointer with a count of 0 is valid.
  HRESULT BuildFromUTF8(const char* iBytes, std::size_t iByteCount);

  /// Reads a whole number as iFormat's single "%d" does: leading blanks skipped, optional
  /// sign, digits up to the first other character; out-of-range values saturate.
  /// Returns 1 and sets oValue when a number was read, else 0 with oValue unchanged.
  int ConvertToNum(int* oValue, const char* iFormat = "%d") const;
  /// Replaces the content with iValue printed with iFormat (one int conversion).
  void BuildFromNum(int iValue, const char* iFormat = "%d");

 private:
  std::string _text;  // always valid UTF-8
};

/// Splits a string into tokens; a run of separators counts as one.
class QIR_API QIRToken {
 public:
  explicit QIRToken(const QIRUnicodeString& iText);
  /// The next token, separated by any character of iSeparators; empty when none is left.
  QIRUnicodeString GetNextToken(const QIRUnicodeString& iSeparators);

 private:
  QIRUnicodeString _text;
  int _position = 0;  // in bytes, always at a character boundary
};

#endif
