#ifndef QIRError_H
#define QIRError_H
/// \file
/// Platform errors: C++ exceptions derived from QIRError, thrown by value and caught by
/// reference; a try frame is a C++ try block. Flush logs a caught error and releases it.

#include "QIRBaseUnknown.h"
#include "QIRCodes.h"
#include "QIRExport.h"

#include <string>

/// One entry of a class's table of error descriptions.
struct QIRErrDsc {
  unsigned int Id;    ///< The error's number.
  const char* MsgId;  ///< Its message identifier.
  const char* Text;   ///< Its text.
};

/// Writes iMessage as one line to the platform log (standard error); line ends inside it
/// become blanks.
/// \param iMessage the message; null writes an empty line
QIR_API void QIRSysLogAbend(const char* iMessage);

/// The platform error: thrown by value, caught by reference. Setters copy their text; a null
/// text is taken as empty.
class QIR_API QIRError : public QIRBaseUnknown {
  QIR_DECLARE_CLASS
 public:
  /// \param iId the error's number
  explicit QIRError(unsigned int iId = 0);
  /// \param iId the error's number
  /// \param iMsgId the message identifier
  /// \param iMsgCatalog the catalog the identifier belongs to
  QIRError(unsigned int iId, const char* iMsgId, const char* iMsgCatalog);
  /// \param iMsgId the message identifier
  /// \param iMsgCatalog the catalog the identifier belongs to
  QIRError(const char* iMsgId, const char* iMsgCatalog);
  /// \param iOther the error copied, texts and place included
  QIRError(const QIRError& iOther);
  ~QIRError() override;

  /// Records where the error was raised.
  /// \param iSourceFile the source file
  /// \param iSourceLine the line in it
  void Setup(const char* iSourceFile, int iSourceLine);
  /// Turns a condition into a code; a failure is logged with its place.
  /// \param iSucceeded non-zero for a success
  /// \param iSourceFile the source file, for the log
  /// \param iSourceLine the line in it
  /// \return S_OK for a success, E_FAIL for a failure
  static HRESULT GetReturn(int iSucceeded, const char* iSourceFile, int iSourceLine);

  /// \return the error's number
  virtual unsigned int GetId() const;
  /// \return the message identifier, "" when none
  virtual const char* GetMsgId() const;
  /// \return the message catalog, "" when none
  virtual const char* GetMsgCatalog() const;
  /// \return the source file where the error was raised, "" when not recorded
  virtual const char* GetSourceFileName() const;
  /// \param iName the source file where the error was raised
  virtual void SetSourceFileName(const char* iName);
  /// \return the line where the error was raised, 0 when not recorded
  virtual int GetSourceLineNumber() const;
  /// \param iLine the line where the error was raised
  virtual void SetSourceLineNumber(int iLine);
  /// \return the message: the text given with SetNLSParameters, else "catalog.id" (or the
  ///   one of them given), else "error <number>"
  virtual std::string GetMessageText() const;
  /// \return the message, as GetMessageText
  virtual std::string GetNLSMessage() const;
  /// \return the request text, "" when none was set
  virtual std::string GetNLSRequest() const;
  /// \return the diagnostic text, "" when none was set
  virtual std::string GetNLSDiagnostic() const;
  /// \return the advice text, "" when none was set
  virtual std::string GetNLSAdvice() const;
  /// \return the message catalog
  virtual std::string GetNLSSource() const;
  /// \return "": errors carry no help file
  virtual std::string GetNLSHelpFile() const;
  /// \return 0: errors carry no help context
  virtual int GetNLSHelpContext() const;
  /// Writes the message, with its place when recorded, to the platform log.
  virtual void Display() const;
  /// Writes the message, then the request, diagnostic and advice given, to the platform log.
  virtual void PrintHistory() const;
  /// Throws a copy of this error, of the object's own class.
  [[noreturn]] virtual void Throw() const;
  /// \param iText the message text, which replaces the catalog and identifier in messages
  virtual void SetNLSParameters(const char* iText);
  /// \param iText the request text
  virtual void SetNLSRequestParams(const char* iText);
  /// \param iText the diagnostic text
  virtual void SetNLSDiagnosticParams(const char* iText);
  /// \param iText the advice text
  virtual void SetNLSAdviceParams(const char* iText);
  /// Records where the error was raised, as Setup.
  /// \param iFile the source file
  /// \param iLine the line in it
  virtual void SetSourceContext(const char* iFile, int iLine);
  /// \param oFile receives the source file (valid while the error lives), when not null
  /// \param oLine receives the line, when not null
  virtual void GetSourceContext(const char** oFile, int* oLine) const;
  /// \return the code the error stands for, E_FAIL unless set
  virtual HRESULT GetReturnCode() const;
  /// \param iCode the code the error stands for
  virtual void SetReturnCode(HRESULT iCode);
  /// \return the error type set, 0 unless set
  virtual int GetInformationOnErrorType() const;
  /// \param iType the error type
  virtual void SetInformationOnErrorType(int iType);
  /// \return a new copy made with new (one reference), or null when it cannot be allocated
  virtual QIRError* CloneSelf() const;
  /// The class's table of error descriptions and its length.
  /// \param oLength receives the number of entries, when not null
  /// \param oTable receives the table, when not null
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
  /// \param iId the error's number
  explicit QIRInternalError(unsigned int iId = 0);
  /// \param iId the error's number
  /// \param iMsgId the message identifier
  /// \param iMsgCatalog the catalog the identifier belongs to
  QIRInternalError(unsigned int iId, const char* iMsgId, const char* iMsgCatalog);
  /// \param iMsgId the message identifier
  /// \param iMsgCatalog the catalog the identifier belongs to
  QIRInternalError(const char* iMsgId, const char* iMsgCatalog);
  /// \param iOther the error copied
  QIRInternalError(const QIRInternalError& iOther) = default;
  ~QIRInternalError() override;
  /// \return a new copy made with new (one reference), or null when it cannot be allocated
  QIRError* CloneSelf() const override;
  /// Throws a copy of this error.
  [[noreturn]] void Throw() const override;
};

#endif
