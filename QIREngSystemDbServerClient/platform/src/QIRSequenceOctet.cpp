#include "QIRSequenceOctet.h"

#include "QIRError.h"
#include "QIRFaultInjection.h"

#include <climits>
#include <new>
#include <string>
#include <utility>

_SEQUENCE_octet::_SEQUENCE_octet(unsigned int iLength, const unsigned char* iBytes)
{
  // Null bytes with a length would be a read of nothing: the sequence stays empty.
  if (!iBytes || iLength == 0) return;
  _bytes.reserve(std::size_t{iLength} + 1);
  _bytes.assign(iBytes, iBytes + iLength);
  _bytes.push_back(0);
}

_SEQUENCE_octet::_SEQUENCE_octet(std::vector<unsigned char>&& ioBytes)
{
  if (ioBytes.empty()) return;
  ioBytes.push_back(0);  // strong guarantee: unchanged when it throws
  _bytes.swap(ioBytes);
}

const unsigned char& _SEQUENCE_octet::operator[](unsigned int i) const
{
  if (i >= length()) {
    QIRInternalError error("IndexOutOfRange", "QIRSequenceOctet");
    error.SetNLSParameters(("octet index " + std::to_string(i) + " past the end of " +
                            std::to_string(length()) + " bytes")
                               .c_str());
    throw error;
  }
  return _bytes[i];
}

_SEQUENCE_octet* QIRNewSequenceOctet(unsigned int iLength, const unsigned char* iBytes)
{
  if (QIRCallShouldFail("NewSequenceOctet")) return nullptr;
  if (!iBytes && iLength > 0) return nullptr;
  try {
    return new (std::nothrow) _SEQUENCE_octet(iLength, iBytes);
  } catch (...) {
    return nullptr;  // the byte copy ran out of memory
  }
}

_SEQUENCE_octet* QIRNewSequenceOctet(std::vector<unsigned char>&& ioBytes)
{
  if (QIRCallShouldFail("NewSequenceOctet")) return nullptr;
  if (ioBytes.size() > UINT_MAX) return nullptr;
  try {
    return new _SEQUENCE_octet(std::move(ioBytes));
  } catch (...) {
    return nullptr;  // the terminating 0 did not fit: the bytes are the caller's still
  }
}
