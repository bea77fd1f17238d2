#include "QIRLists.h"

#include "QIRError.h"

#include <string>

void QIRRaiseIndexError(int iIndex, int iSize)
{
  QIRInternalError error("IndexOutOfRange", "QIRLists");
  error.SetNLSParameters(
      ("list index " + std::to_string(iIndex) + " outside 1.." + std::to_string(iSize)).c_str());
  throw error;
}
