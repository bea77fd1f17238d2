#include "QIRError.h"

#include <cstdio>
#include <new>

namespace {

const char* OrEmpty(const char* iText)
{
  return iText ? iText : "";
}

const QIRErrDsc kNoErrors[1] = {{0, "", ""}};

std::string Describe(const QIRError& iError)
{
  std::string line = std::string(iError.IsA()) + ": " + iError.GetMessageText();
  if (*iError.GetSourceFileName())
    line += std::string(" (") + iError.GetSourceFileName() + ":" +
            std::to_string(iError.GetSourceLineNumber()) + ")";
  return line;
}

}  // namespace

void QIRSysLogAbend(const char* iMessage)
{
  std::string line(OrEmpty(iMessage));
  // One message, one line: a reader of the log splits on line ends.
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

QIR_IMPLEMENT_CLASS(QIRError, QIRBaseUnknown, "System")

QIRError::QIRError(unsigned int iId) : _id(iId) {}

QIRError::QIRError(unsigned int iId, const char* iMsgId, const char* iMsgCatalog)
    : _id(iId), _msgId(OrEmpty(iMsgId)), _msgCatalog(OrEmpty(iMsgCatalog))
{
}

QIRError::QIRError(const char* iMsgId, const char* iMsgCatalog)
    : _msgId(OrEmpty(iMsgId)), _msgCatalog(OrEmpty(iMsgCatalog))
{
}

QIRError::QIRError(const QIRError&) = default;

QIRError::~QIRError() = default;

void QIRError::Setup(const char* iSourceFile, int iSourceLine)
{
  _sourceFile = OrEmpty(iSourceFile);
  _sourceLine = iSourceLine;
}

HRESULT QIRError::GetReturn(int iSucceeded, const char* iSourceFile, int iSourceLine)
{
  if (iSucceeded) return S_OK;
  QIRSysLogAbend(
      (std::string("failure at ") + OrEmpty(iSourceFile) + ":" + std::to_string(iSourceLine))
          .c_str());
  return E_FAIL;
}

unsigned int QIRError::GetId() const
{
  return _id;
}
const char* QIRError::GetMsgId() const
{
  return _msgId.c_str();
}
const char* QIRError::GetMsgCatalog() const
{
  return _msgCatalog.c_str();
}
const char* QIRError::GetSourceFileName() const
{
  return _sourceFile.c_str();
}
void QIRError::SetSourceFileName(const char* iName)
{
  _sourceFile = OrEmpty(iName);
}
int QIRError::GetSourceLineNumber() const
{
  return _sourceLine;
}
void QIRError::SetSourceLineNumber(int iLine)
{
  _sourceLine = iLine;
}

std::string QIRError::GetMessageText() const
{
  if (!_text.empty()) return _text;
  if (_msgCatalog.empty() && _msgId.empty()) return "error " + std::to_string(_id);
  if (_msgCatalog.empty()) return _msgId;
  return _msgCatalog + "." + _msgId;
}

std::string QIRError::GetNLSMessage() const
{
  return GetMessageText();
}
std::string QIRError::GetNLSRequest() const
{
  return _request;
}
std::string QIRError::GetNLSDiagnostic() const
{
  return _diagnostic;
}
std::string QIRError::GetNLSAdvice() const
{
  return _advice;
}
std::string QIRError::GetNLSSource() const
{
  return _msgCatalog;
}
std::string QIRError::GetNLSHelpFile() const
{
  return std::string();
}
int QIRError::GetNLSHelpContext() const
{
  return 0;
}

void QIRError::Display() const
{
  QIRSysLogAbend(Describe(*this).c_str());
}

void QIRError::PrintHistory() const
{
  Display();
  if (!_request.empty()) QIRSysLogAbend(("  request: " + _request).c_str());
  if (!_diagnostic.empty()) QIRSysLogAbend(("  diagnostic: " + _diagnostic).c_str());
  if (!_advice.empty()) QIRSysLogAbend(("  advice: " + _advice).c_str());
}

void QIRError::Throw() const
{
  throw QIRError(*this);
}

void QIRError::SetNLSParameters(const char* iText)
{
  _text = OrEmpty(iText);
}
void QIRError::SetNLSRequestParams(const char* iText)
{
  _request = OrEmpty(iText);
}
void QIRError::SetNLSDiagnosticParams(const char* iText)
{
  _diagnostic = OrEmpty(iText);
}
void QIRError::SetNLSAdviceParams(const char* iText)
{
  _advice = OrEmpty(iText);
}
void QIRError::SetSourceContext(const char* iFile, int iLine)
{
  Setup(iFile, iLine);
}

void QIRError::GetSourceContext(const char** oFile, int* oLine) const
{
  if (oFile) *oFile = _sourceFile.c_str();
  if (oLine) *oLine = _sourceLine;
}

HRESULT QIRError::GetReturnCode() const
{
  return _returnCode;
}
void QIRError::SetReturnCode(HRESULT iCode)
{
  _returnCode = iCode;
}
int QIRError::GetInformationOnErrorType() const
{
  return _errorType;
}
void QIRError::SetInformationOnErrorType(int iType)
{
  _errorType = iType;
}

QIRError* QIRError::CloneSelf() const
{
  try {
    return new (std::nothrow) QIRError(*this);
  } catch (...) {
    return nullptr;  // a member's copy ran out of memory
  }
}

void QIRError::GetErrorTable(unsigned int* oLength, const QIRErrDsc** oTable) const
{
  if (oLength) *oLength = 0;
  if (oTable) *oTable = kNoErrors;
}

void QIRError::Flush()
{
  Display();
  Release();
}

QIR_IMPLEMENT_CLASS(QIRInternalError, QIRError, "System")

QIRInternalError::QIRInternalError(unsigned int iId) : QIRError(iId) {}

QIRInternalError::QIRInternalError(unsigned int iId, const char* iMsgId, const char* iMsgCatalog)
    : QIRError(iId, iMsgId, iMsgCatalog)
{
}

QIRInternalError::QIRInternalError(const char* iMsgId, const char* iMsgCatalog)
    : QIRError(iMsgId, iMsgCatalog)
{
}

QIRInternalError::~QIRInternalError() = default;

QIRError* QIRInternalError::CloneSelf() const
{
  try {
    return new (std::nothrow) QIRInternalError(*this);
  } catch (...) {
    return nullptr;
  }
}

void QIRInternalError::Throw() const
{
  throw QIRInternalError(*this);
}
