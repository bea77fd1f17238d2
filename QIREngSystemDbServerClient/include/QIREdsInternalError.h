#ifndef QIREdsInternalError_H
#define QIREdsInternalError_H
/// \file
/// The library's own error class: an internal platform error that carries this framework's
/// identity, so that callers can raise errors of QIREngSystemDbServerClient and recognise them.

#include "QIRError.h"
#include "QIRExport.h"

/// Threads: like any exception object, used by one thread at a time.
class QIR_API QIREdsInternalError : public QIRInternalError {
  QIR_DECLARE_CLASS
 public:
  explicit QIREdsInternalError(unsigned int iId = 0);
  QIREdsInternalError(unsigned int iId, const char* iMsgId, const char* iMsgCatalog);
  QIREdsInternalError(const char* iMsgId, const char* iMsgCatalog);
  QIREdsInternalError(const QIREdsInternalError& iOther) = default;
  ~QIREdsInternalError() override;

  /// Records where the error was raised.
  void Setup(const char* iSourceFile, int iSourceLine);
  /// A new copy made with new (one reference, the caller releases it), or null when it
  /// cannot be allocated.
  QIRError* CloneSelf() const override;
  /// The class has no error descriptions: the length is 0.
  void GetErrorTable(unsigned int* oLength, const QIRErrDsc** oTable) const override;
};

#endif
