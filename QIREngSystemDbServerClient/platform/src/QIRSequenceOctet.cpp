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
  if (iBytes && iLength > 0) _bytes.assign(iBytes, iBytes + iLength);
}

const unsigned char& _SEQUENCE_octet::operator[](unsigned int i) const
{
  if (i >= _bytes.size()) {
    QIRInternalError error("IndexOutOfRange", "QIRSequenceOctet");
    error.SetNLSParameters(("octet index " + std::to_string(i) + " past the end of " +
                            std::to_string(_bytes.size()) + " bytes")
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
  return new (std::nothrow) _SEQUENCE_octet(std::move(ioBytes));
}
