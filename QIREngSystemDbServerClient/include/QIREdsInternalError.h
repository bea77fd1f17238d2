#ifndef QIREdsInternalError_H
#define QIREdsInternalError_H
/// \file
/// The library's own error class: an internal platform error that carries this framework's
/// identity, so that callers can raise errors of QIREngSystemDbServerClient and recognise them.

#include "QIRError.h"
#include "QIRExport.h"

/// An internal error of this framework.
///
/// Threads: like any exception object, used by one thread at a time.
class QIR_API QIREdsInternalError : public QIRInternalError {
  QIR_DECLARE_CLASS
 public:
  /// \param iId the error's number
  explicit QIREdsInternalError(unsigned int iId = 0);
  /// \param iId the error's number
  /// \param iMsgId the message identifier
  /// \param iMsgCatalog the catalog the identifier belongs to
  QIREdsInternalError(unsigned int iId, const char* iMsgId, const char* iMsgCatalog);
  /// \param iMsgId the message identifier
  /// \param iMsgCatalog the catalog the identifier belongs to
  QIREdsInternalError(const char* iMsgId, const char* iMsgCatalog);
  /// \param iOther the error copied
  QIREdsInternalError(const QIREdsInternalError& iOther) = default;
  ~QIREdsInternalError() override;

  /// Records where the error was raised.
  /// \param iSourceFile the source file
  /// \param iSourceLine the line in it
  void Setup(const char* iSourceFile, int iSourceLine);
  /// \return a new copy made with new (one reference, the caller releases it), or null when
  ///   it cannot be allocated
  QIRError* CloneSelf() const override;
  /// The class has no error descriptions.
  /// \param oLength receives 0, when not null
  /// \param oTable receives an empty table, when not null
  void GetErrorTable(unsigned int* oLength, const QIRErrDsc** oTable) const override;
};

#endif
