#ifndef QIRSequenceOctet_H
#define QIRSequenceOctet_H
/// \file
/// A counted byte sequence, no terminator: the form in which documents travel.

#include <vector>

#include "QIRExport.h"

class QIR_API _SEQUENCE_octet {
 public:
  _SEQUENCE_octet() = default;
  /// Copies iLength bytes from iBytes (which may be null only when iLength is 0).
  _SEQUENCE_octet(unsigned int iLength, const unsigned char* iBytes);
  unsigned int length() const { return static_cast<unsigned int>(_bytes.size()); }
  /// Byte i, from 0; an index out of range raises a platform error.
  const unsigned char& operator[](unsigned int i) const;
  /// The bytes, or null when empty.
  const unsigned char* data() const { return _bytes.empty() ? nullptr : _bytes.data(); }

 private:
  std::vector<unsigned char> _bytes;
};

/// A new sequence over the bytes, or null when it cannot be allocated; the caller deletes it.
QIR_API _SEQUENCE_octet* QIRNewSequenceOctet(unsigned int iLength, const unsigned char* iBytes);

#endif
