#ifndef QIRError_H
#define QIRError_H
/// \file
/// Platform errors: C++ exceptions derived from QIRError, thrown by value and caught by
/// reference; a try frame is a C++ try block. Flush logs a caught error and releases it.

#include <string>

#include "QIRBaseUnknown.h"
#include "QIRCodes.h"
#include "QIRExport.h"

/// One entry of a class's table of error descriptions.
struct QIRErrDsc {
  unsigned int Id;
  const char* MsgId;
  const char* Text;
};

/// Writes iMessage as one line to the platform log (standard error).
QIR_API void QIRSysLogAbend(const char* iMessage);

class QIR_API QIRError : public QIRBaseUnknown {
  QIR_DECLARE_CLASS
 public:
  explicit QIRError(unsigned int iId = 0);
  QIRError(unsigned int iId, const char* iMsgId, const char* iMsgCatalog);
  QIRError(const char* iMsgId, const char* iMsgCatalog);
  QIRError(const QIRError& iOther);
  ~QIRError() override;

  /// Records where the error was raised.
  void Setup(const char* iSourceFile, int iSourceLine);
  /// S_OK for a success, E_FAIL for a failure; a failure is logged with its place.
  static HRESULT GetReturn(int iSucceeded, const char* iSourceFile, int iSourceLine);

  virtual unsigned int GetId() const;
  virtual const char* GetMsgId() const;
  virtual const char* GetMsgCatalog() const;
  virtual const char* GetSourceFileName() const;
  virtual void SetSourceFileName(const char* iName);
  virtual int GetSourceLineNumber() const;
  virtual void SetSourceLineNumber(int iLine);
  /// The message: the text given with SetNLSParameters, else the catalog and message id.
  virtual std::string GetMessageText() const;
  virtual std::string GetNLSMessage() const;
  virtual std::string GetNLSRequest() const;
  virtual std::string GetNLSDiagnostic() const;
  virtual std::string GetNLSAdvice() const;
  virtual std::string GetNLSSource() const;
  virtual std::string GetNLSHelpFile() const;
  virtual int GetNLSHelpContext() const;
  /// Writes the message to the platform log.
  virtual void Display() const;
  virtual void PrintHistory() const;
  /// Throws a copy of this error.
  [[noreturn]] virtual void Throw() const;
  virtual void SetNLSParameters(const char* iText);
  virtual void SetNLSRequestParams(const char* iText);
  virtual void SetNLSDiagnosticParams(const char* iText);
  virtual void SetNLSAdviceParams(const char* iText);
  virtual void SetSourceContext(const char* iFile, int iLine);
  virtual void GetSourceContext(const char** oFile, int* oLine) const;
  virtual HRESULT GetReturnCode() const;
  virtual void SetReturnCode(HRESULT iCode);
  virtual int GetInformationOnErrorType() const;
  virtual void SetInformationOnErrorType(int iType);
  /// A new copy made with new (one reference), or null when it cannot be allocated.
  virtual QIRError* CloneSelf() const;
  /// The class's table of error descriptions and its length.
  virtual void GetErrorTable(unsigned int* oLength, const QIRErrDsc** oTable) const;

  /// Logs the message and gives up the reference that the catch frame holds.
  void Flush();

 private:
  unsigned int _id = 0;
  std::string _msgId;
  std::string _msgCatalog;
  std::string _sourceFile;
  int _sourceLine = 0;
  std::string _text;
  std::string _request;
  std::string _diagnostic;
  std::string _advice;
  HRESULT _returnCode = E_FAIL;
  int _errorType = 0;
};

/// Errors of the platform's own making (bad index, empty handle, failed call).
class QIR_API QIRInternalError : public QIRError {
  QIR_DECLARE_CLASS
 public:
  explicit QIRInternalError(unsigned int iId = 0);
  QIRInternalError(unsigned int iId, const char* iMsgId, const char* iMsgCatalog);
  QIRInternalError(const char* iMsgId, const char* iMsgCatalog);
  QIRInternalError(const QIRInternalError& iOther) = default;
  ~QIRInternalError() override;
  QIRError* CloneSelf() const override;
  [[noreturn]] void Throw() const override;
};

#endif
