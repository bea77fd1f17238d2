#include "QIREdsInternalError.h"

#include <new>

namespace {

// Never read past its length of 0; one entry only because C++ has no empty arrays.
const QIRErrDsc kErrorTable[1] = {{0, "", ""}};

}  // namespace

QIR_IMPLEMENT_CLASS(QIREdsInternalError, QIRInternalError, "QIREngSystemDbServerClient")

QIREdsInternalError::QIREdsInternalError(unsigned int iId) : QIRInternalError(iId) {}

QIREdsInternalError::QIREdsInternalError(unsigned int iId, const char* iMsgId,
                                         const char* iMsgCatalog)
    : QIRInternalError(iId, iMsgId, iMsgCatalog)
{
}

QIREdsInternalError::QIREdsInternalError(const char* iMsgId, const char* iMsgCatalog)
    : QIRInternalError(iMsgId, iMsgCatalog)
{
}

QIREdsInternalError::~QIREdsInternalError() = default;

void QIREdsInternalError::Setup(const char* iSourceFile, int iSourceLine)
{
  QIRError::Setup(iSourceFile, iSourceLine);
}

QIRError* QIREdsInternalError::CloneSelf() const
{
  try {
    return new (std::nothrow) QIREdsInternalError(*this);
  } catch (...) {
    return nullptr;  // a copied message ran out of memory
  }
}

void QIREdsInternalError::GetErrorTable(unsigned int* oLength, const QIRErrDsc** oTable) const
{
  if (oLength) *oLength = 0;
  if (oTable) *oTable = kErrorTable;
}
