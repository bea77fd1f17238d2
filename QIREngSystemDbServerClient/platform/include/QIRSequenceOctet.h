#ifndef QIRSequenceOctet_H
#define QIRSequenceOctet_H
/// \file
/// A counted byte sequence: the form in which documents travel. The bytes of a sequence that
/// is not empty are followed by a 0 byte that length() does not count, so that a reader may
/// take them in place as a C string's.

#include "QIRExport.h"

#include <vector>

/// A sequence of bytes that owns a copy of them.
class QIR_API _SEQUENCE_octet {
 public:
  /// An empty sequence.
  _SEQUENCE_octet() = default;
  /// Copies iLength bytes from iBytes.
  /// \param iLength the number of bytes
  /// \param iBytes the bytes; may be null only when iLength is 0
  _SEQUENCE_octet(unsigned int iLength, const unsigned char* iBytes);
  /// Takes the bytes over, without a copy (only the terminating 0 may make the vector grow).
  /// \param ioBytes the bytes, no more than length() can count; left empty, or unchanged when
  ///   the terminating 0 cannot be added (std::bad_alloc is then thrown)
  explicit _SEQUENCE_octet(std::vector<unsigned char>&& ioBytes);
  /// \return the number of bytes, the terminating 0 not counted
  unsigned int length() const
  {
    return _bytes.empty() ? 0 : static_cast<unsigned int>(_bytes.size() - 1);
  }
  /// \param i the index, from 0; an index out of range raises a platform error
  /// \return byte i
  const unsigned char& operator[](unsigned int i) const;
  /// \return the bytes, followed by a 0 byte; null when empty
  const unsigned char* data() const { return _bytes.empty() ? nullptr : _bytes.data(); }

 private:
  std::vector<unsigned char> _bytes;  // the bytes and their terminating 0; nothing when empty
};

/// Copies bytes into a new sequence.
/// \param iLength the number of bytes
/// \param iBytes the bytes; may be null only when iLength is 0
/// \return a new sequence that the caller deletes, or null when it cannot be allocated
QIR_API _SEQUENCE_octet* QIRNewSequenceOctet(unsigned int iLength, const unsigned char* iBytes);

/// Makes a new sequence of bytes already held, taking them over without a copy.
/// \param ioBytes the bytes; left empty when the sequence is made, unchanged otherwise
/// \return a new sequence that the caller deletes, or null when it cannot be allocated or
///   holds more bytes than length() can count
QIR_API _SEQUENCE_octet* QIRNewSequenceOctet(std::vector<unsigned char>&& ioBytes);

#endif
