#ifndef QIRSequenceOctet_H
#define QIRSequenceOctet_H
/// \file
/// A counted byte sequence, no terminator: the form in which documents travel.

#include "QIRExport.h"

#include <utility>
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
  /// Takes the bytes over, without a copy.
  /// \param ioBytes the bytes, left empty; no more than length() can count
  explicit _SEQUENCE_octet(std::vector<unsigned char>&& ioBytes) noexcept
      : _bytes(std::move(ioBytes))
  {
  }
  /// \return the number of bytes
  unsigned int length() const { return static_cast<unsigned int>(_bytes.size()); }
  /// \param i the index, from 0; an index out of range raises a platform error
  /// \return byte i
  const unsigned char& operator[](unsigned int i) const;
  /// \return the bytes, or null when empty
  const unsigned char* data() const { return _bytes.empty() ? nullptr : _bytes.data(); }

 private:
  std::vector<unsigned char> _bytes;
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
