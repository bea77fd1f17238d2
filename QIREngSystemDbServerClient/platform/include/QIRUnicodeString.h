#ifndef QIRUnicodeString_H
#define QIRUnicodeString_H
/// \file
/// Unicode text held as UTF-8. Positions and lengths count characters (code points), from 0.
/// Turning a position into a byte offset costs the same at any position and any length, so
/// a caller may walk a long text by positions in time proportional to the text.

#include "QIRCodes.h"
#include "QIRExport.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

/// A Unicode text held as UTF-8, compared byte by byte.
class QIR_API QIRUnicodeString {
 public:
  /// The direction of SearchSubString.
  enum QIRSearchMode {
    QIRSearchForward = 0,  ///< From iStart towards the end.
    QIRSearchBackward = 1  ///< From the end, iStart characters before it, towards the start.
  };
  /// The ends Strip works on.
  enum QIRStripMode {
    QIRStripLeading = 1,   ///< The start only.
    QIRStripTrailing = 2,  ///< The end only.
    QIRStripBoth = 3       ///< Both ends.
  };

  /// The empty string.
  QIRUnicodeString() = default;
  /// UTF-8 text; a null pointer gives the empty string, invalid bytes become U+FFFD.
  /// \param iText the text, NUL-terminated
  QIRUnicodeString(const char* iText);  // NOLINT: implicit on purpose, callers pass literals
  QIRUnicodeString(const QIRUnicodeString&) = default;  ///< Copies the text.
  /// Takes the text over.
  /// \param ioOther the string moved from, left empty
  QIRUnicodeString(QIRUnicodeString&& ioOther) noexcept;
  /// Copies the text. \return this string
  QIRUnicodeString& operator=(const QIRUnicodeString&) = default;
  /// Takes the text over.
  /// \param ioOther the string moved from, left empty
  /// \return this string
  QIRUnicodeString& operator=(QIRUnicodeString&& ioOther) noexcept;
  /// Replaces the content, as the constructor from text does.
  /// \param iText the text, NUL-terminated, or null for the empty string
  /// \return this string
  QIRUnicodeString& operator=(const char* iText);
  ~QIRUnicodeString() = default;

  /// \param iOther the other string
  /// \return true when both hold the same bytes
  bool operator==(const QIRUnicodeString& iOther) const { return _text == iOther._text; }
  /// \param iOther the other string
  /// \return true when they differ
  bool operator!=(const QIRUnicodeString& iOther) const { return _text != iOther._text; }
  /// Byte order, which is code-point order for UTF-8.
  /// \param iOther the other string
  /// \return true when this string sorts first
  bool operator<(const QIRUnicodeString& iOther) const { return _text < iOther._text; }
  /// Appends iOther.
  /// \param iOther the text appended; may be this string
  /// \return this string
  QIRUnicodeString& operator+=(const QIRUnicodeString& iOther);
  /// \param iLeft the first part
  /// \param iRight the second part
  /// \return the two texts joined
  friend QIR_API QIRUnicodeString operator+(const QIRUnicodeString& iLeft,
                                            const QIRUnicodeString& iRight);

  /// \return the UTF-8 text, NUL-terminated; valid while this string lives unchanged
  const char* ConvertToChar() const { return _text.c_str(); }
  /// \return the number of characters (code points)
  int GetLengthInChar() const { return _length; }
  /// \return the number of UTF-8 bytes
  int GetLengthInByte() const { return static_cast<int>(_text.size()); }
  /// \return non-zero when empty
  int IsNull() const { return _text.empty() ? 1 : 0; }

  /// \param iStart the first character's position
  /// \param iLength the number of characters
  /// \return iLength characters from iStart, clipped to the string; empty when iStart is out
  ///   of range
  QIRUnicodeString SubString(int iStart, int iLength) const;
  /// Forward: first occurrence at or after iStart. Backward: last occurrence that ends at
  /// or before GetLengthInChar() - iStart.
  /// \param iText the text looked for
  /// \param iStart where the search starts, as above
  /// \param iMode the direction
  /// \return the position, -1 when absent or when iText is empty
  int SearchSubString(const QIRUnicodeString& iText, int iStart = 0,
                      QIRSearchMode iMode = QIRSearchForward) const;
  /// Removes every iChar at the chosen ends, in place.
  /// \param iMode the ends
  /// \param iChar the character removed
  /// \return this string
  QIRUnicodeString& Strip(QIRStripMode iMode = QIRStripBoth, char iChar = ' ');
  /// Removes iLength characters from iStart (clipped), in place.
  /// \param iStart the first character's position
  /// \param iLength the number of characters
  /// \return this string
  QIRUnicodeString& Remove(int iStart, int iLength);

  /// Writes the UTF-8 bytes (no terminator) into oBuffer when they fit in iBufferSize.
  /// \param oBuffer the buffer
  /// \param iBufferSize its size in bytes
  /// \return the number of bytes written; 0, nothing written, when they do not fit
  std::size_t ConvertToUTF8(char* oBuffer, std::size_t iBufferSize) const;
  /// Replaces the content with iByteCount bytes of UTF-8.
  /// \param iBytes the bytes; null is valid with a count of 0
  /// \param iByteCount their number
  /// \return S_OK when they are valid UTF-8; E_FAIL otherwise, leaving the string empty
  HRESULT BuildFromUTF8(const char* iBytes, std::size_t iByteCount);

  /// Reads a whole number as iFormat's single "%d" does: leading blanks skipped, optional
  /// sign, digits up to the first other character; out-of-range values saturate.
  /// \param oValue receives the number
  /// \param iFormat a format holding a single "%d"
  /// \return 1 and oValue set when a number was read, else 0 with oValue unchanged
  int ConvertToNum(int* oValue, const char* iFormat = "%d") const;
  /// Replaces the content with iValue printed with iFormat.
  /// \param iValue the number
  /// \param iFormat a format holding one int conversion
  void BuildFromNum(int iValue, const char* iFormat = "%d");

 private:
  // Recomputes _length and _marks after _text changed.
  void Reindex();
  // The same, the text's length in characters being known already.
  void Reindex(std::size_t iLength);
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

/// Splits a string into tokens; a run of separators counts as one.
class QIR_API QIRToken {
 public:
  /// \param iText the text split, copied
  explicit QIRToken(const QIRUnicodeString& iText);
  /// \param iSeparators the characters that separate tokens
  /// \return the next token; empty when none is left
  QIRUnicodeString GetNextToken(const QIRUnicodeString& iSeparators);

 private:
  QIRUnicodeString _text;
  int _position = 0;  // in bytes, always at a character boundary
};

#endif
