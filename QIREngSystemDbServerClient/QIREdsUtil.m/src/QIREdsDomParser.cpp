#include "QIREdsDomParser.h"

#include "QIREEdsSAXEntityResolver.h"
#include "QIREdsGuard.h"
#include "QIREdsXMLParser.h"
#include "QIRError.h"
#include "QIRFileServices.h"
#include "QIRXMLDirect.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace {
const std::size_t kPathSize = 256;

// Every write of a document uses the same options, so a file, a stream and a dump agree.
void OutputOptions(QIRListValQIRUnicodeString& oNames, QIRListValQIRUnicodeString& oValues)
{
  oNames.Append("QIREncoding");
  oValues.Append("UTF-8");
  oNames.Append("QIRExpandEntityReferences");
  oValues.Append("true");
}

// The text of iDocument as GenerateStream hands it out and dump writes it.
HRESULT WriteToText(const QIRIXMLDOMDocumentBuilder_var& iBuilder,
                    const QIRIDOMDocument_var& iDocument, QIRUnicodeString& oText)
{
  if (iBuilder == NULL_var) return E_FAIL;
  QIRListValQIRUnicodeString names, values;
  OutputOptions(names, values);
  return iBuilder->WriteToString(iDocument, oText, names, values);
}

void InputOptions(unsigned char iValidate, const char* iExpand, QIRListValQIRUnicodeString& oNames,
                  QIRListValQIRUnicodeString& oValues)
{
  oNames.Append("QIRDoValidation");
  oValues.Append(iValidate ? "true" : "false");
  oNames.Append("QIRExpandEntityReferences");
  oValues.Append(iExpand);
}

// Copies at most kPathSize - 1 bytes: a longer path is cut rather than overrunning the caller.
void CopyPath(char* oPath, const char* iPath)
{
  std::strncpy(oPath, iPath, kPathSize - 1);
  oPath[kPathSize - 1] = '\0';
}

bool FileExists(const char* iPath)
{
  return QIRGetFileInfo(iPath, nullptr) == 0;
}

bool FindAlongValue(const char* iValue, const char* iFileName, char* oPath)
{
  for (const std::string& entry : QIRSplitPathVariable(iValue)) {
    char candidate[kPathSize] = {};
    if (SUCCEEDED(QIRMakePath(entry.c_str(), iFileName, candidate, kPathSize)) &&
        FileExists(candidate)) {
      CopyPath(oPath, candidate);
      return true;
    }
  }
  return false;
}
}  // namespace

QIREdsDomParser::QIREdsDomParser()
{
  const char noBuilder[] =
      "error in QIREdsDomParser::QIREdsDomParser: NULL_var == spDOMDocumentBuilder";
  const HRESULT hr = QIRGuarded([&] {
    const HRESULT created =
        CreateQIRIXMLDOMDocumentBuilder(_spDOMDocumentBuilder, CLSID_QIRXMLDOMDocumentBuilder);
    if (FAILED(created) || _spDOMDocumentBuilder == NULL_var) {
      _spDOMDocumentBuilder = NULL_var;
      return E_FAIL;
    }
    return S_OK;
  });
  if (FAILED(hr)) QIRSysLogAbend(noBuilder);
}

QIREdsDomParser::~QIREdsDomParser()
{
  _spDOMDocumentBuilder.reset();
  _spQIRIDOMroot.reset();
  _spQIRIDOMdocument.reset();
}

HRESULT QIREdsDomParser::Init(const QIRUnicodeString& iRootName, const QIRUnicodeString& iVersion)
{
  HRESULT hr = E_FAIL;
  if (iRootName.IsNull()) return E_INVALIDARG;
  if (_spDOMDocumentBuilder == NULL_var) return S_OK;
  // A job document's index holds handles on the document it was built over: they go before
  // the document is replaced, or the old one would live on beside the new one.
  if (auto* jobs = dynamic_cast<QIREdsXMLParser*>(this)) jobs->ForgetJobIndex();
  return QIRGuarded([&] {
    QIRIDOMImplementation_var implementation;
    hr = _spDOMDocumentBuilder->GetDOMImplementation(implementation);
    if (FAILED(hr) || implementation == NULL_var) return hr;
    hr = implementation->CreateDocument(QIRUnicodeString(), "Integration",
                                        QIRIDOMDocumentType_var(), _spQIRIDOMdocument);
    if (FAILED(hr) || _spQIRIDOMdocument == NULL_var) return hr;
    hr = _spQIRIDOMdocument->CreateElement(iRootName, _spQIRIDOMroot);
    if (FAILED(hr) || _spQIRIDOMroot == NULL_var) return hr;
    // A created document has no element: the root becomes its document element here.
    _spQIRIDOMdocument->AppendChild(QIRIDOMNode_var(_spQIRIDOMroot));
    _spQIRIDOMroot->SetAttribute("version", iVersion);
    return hr;
  });
}

HRESULT QIREdsDomParser::LoadFile(const QIRUnicodeString& iPath, unsigned char iValidate)
{
  HRESULT hr = E_FAIL;
  if (_spDOMDocumentBuilder == NULL_var) return hr;
  if (auto* jobs = dynamic_cast<QIREdsXMLParser*>(this)) jobs->ForgetJobIndex();
  return QIRGuarded([&] {
    QIRListValQIRUnicodeString names, values;
    InputOptions(iValidate, "true", names, values);
    hr = _spDOMDocumentBuilder->ParseFile(iPath, _spQIRIDOMdocument, names, values,
                                          QIRISAXEntityResolver_var(), QIRISAXErrorHandler_var());
    if (FAILED(hr)) return hr;
    hr = SetAppropriateRoot();
    return hr;
  });
}

HRESULT QIREdsDomParser::SetAppropriateRoot()
{
  HRESULT hr = E_FAIL;
  if (_spQIRIDOMdocument == NULL_var) return hr;
  return QIRGuarded([&] {
    QIRIDOMNode_var child;
    hr = _spQIRIDOMdocument->GetFirstChild(child);
    while (SUCCEEDED(hr) && child != NULL_var) {
      unsigned short type = 0;
      hr = child->GetNodeType(type);
      if (SUCCEEDED(hr) && type == QIR_ELEMENT_NODE) break;
      QIRIDOMNode_var next;
      if (SUCCEEDED(hr)) hr = child->GetNextSibling(next);
      child = next;
    }
    if (FAILED(hr) || child == NULL_var) return E_FAIL;
    QIRIDOMElement_var element(child);
    if (element == NULL_var) return E_FAIL;
    _spQIRIDOMroot = element;
    return S_OK;
  });
}

HRESULT QIREdsDomParser::LoadStream(const _SEQUENCE_octet* iStream, unsigned char iValidate,
                                    const char* iDTDName)
{
  HRESULT hr = E_FAIL;
  if (!iStream) return E_INVALIDARG;
  if (iStream->length() == 0) return hr;
  return QIRGuarded([&] {
    const char* bytes = reinterpret_cast<const char*>(iStream->data());
    // No XML text holds U+0000; refusing it here spares the parser a truncated reading.
    if (std::memchr(bytes, '\0', iStream->length())) return E_FAIL;
    QIRIXMLSAXFactory_var factory;
    if (FAILED(CreateQIRIXMLSAXFactory(factory, CLSID_QIRXMLSAXFactory)) || factory == NULL_var) {
      QIRSysLogAbend("***ERROR*** SAX factory cannot be created !!!!");
      return E_FAIL;
    }

    QIRISAXEntityResolver_var resolver;
    if (iDTDName && iValidate) {
      char path[kPathSize] = {};
      GetResourcePathFromEnvVar(iDTDName, "QIRDictionaryPath", path);
      QIRVar<QIREEdsSAXEntityResolver> implementation;
      implementation.Attach(new QIREEdsSAXEntityResolver(iDTDName, path));
      void* tie = nullptr;
      if (SUCCEEDED(implementation->QueryInterface(IID_QIRISAXEntityResolver, &tie)))
        resolver.Attach(static_cast<QIRISAXEntityResolver*>(tie));
    }

    if (_spDOMDocumentBuilder == NULL_var) return E_FAIL;
    if (auto* jobs = dynamic_cast<QIREdsXMLParser*>(this)) jobs->ForgetJobIndex();
    // Parsed where it lies (a sequence ends its bytes with a 0): a job document may be
    // large, and a copy of its text would cost as much as a good part of the parse.
    hr = QIRXMLDirect::ParseUTF8(bytes, iStream->length(), "Buffer", iValidate != 0, false,
                                 resolver, QIRISAXErrorHandler_var(), _spQIRIDOMdocument);
    if (FAILED(hr)) return hr;
    if (_spQIRIDOMdocument == NULL_var) return E_FAIL;

    // A stream begins with its document element, as GenerateStream writes it.
    QIRIDOMNode_var first;
    hr = _spQIRIDOMdocument->GetFirstChild(first);
    if (FAILED(hr) || first == NULL_var) return E_FAIL;
    _spQIRIDOMroot = QIRIDOMElement_var(first);
    return hr;
  });
}

HRESULT QIREdsDomParser::GenerateFile(const QIRUnicodeString& iPath)
{
  HRESULT hr = E_FAIL;
  if (_spQIRIDOMdocument == NULL_var) return hr;
  return QIRGuarded([&] {
    if (_spDOMDocumentBuilder != NULL_var) {
      QIRListValQIRUnicodeString names, values;
      OutputOptions(names, values);
      hr = _spDOMDocumentBuilder->WriteToFile(_spQIRIDOMdocument, iPath, names, values);
      if (FAILED(hr)) return hr;
    }
    return S_OK;
  });
}

HRESULT QIREdsDomParser::GenerateStream(_SEQUENCE_octet** oStream)
{
  HRESULT hr = E_FAIL;
  if (!oStream) return E_INVALIDARG;
  if (*oStream) {
    QIRSysLogAbend("***ERROR*** input parameter must be null !!!");
    return E_INVALIDARG;
  }
  if (_spQIRIDOMdocument == NULL_var) return hr;
  return QIRGuarded(
      [&] {
        if (_spDOMDocumentBuilder == NULL_var) return E_FAIL;
        // Written as bytes straight away: the text is handed out, never read as a string.
        std::vector<unsigned char> text;
        hr = QIRXMLDirect::WriteUTF8(_spQIRIDOMdocument, text);
        if (FAILED(hr)) return hr;
        if (text.empty()) return E_FAIL;
        _SEQUENCE_octet* stream = QIRNewSequenceOctet(std::move(text));
        if (!stream) return E_OUTOFMEMORY;
        *oStream = stream;
        return hr;
      },
      E_FAIL, QIROnBadAlloc::OutOfMemory);
}

HRESULT QIREdsDomParser::dump()
{
  HRESULT hr = E_FAIL;
  if (_spQIRIDOMdocument == NULL_var) return hr;
  return QIRGuarded([&] {
    QIRUnicodeString text;
    hr = WriteToText(_spDOMDocumentBuilder, _spQIRIDOMdocument, text);
    if (FAILED(hr)) hr = E_FAIL;
    return hr;
  });
}

QIRIDOMDocument_var QIREdsDomParser::GetDocument() const
{
  if (_spQIRIDOMdocument.isNull())
    QIRSysLogAbend("error in QIREdsDomParser::GetDocument (): _spQIRIDOMdocument.isNull()");
  return _spQIRIDOMdocument;
}

QIRIDOMNode_var QIREdsDomParser::GetRoot() const
{
  if (_spQIRIDOMroot.isNull())
    QIRSysLogAbend("error in QIREdsDomParser::GetRoot (): _spQIRIDOMroot.isNull()");
  return QIRIDOMNode_var(_spQIRIDOMroot.get());
}

QIRIXMLDOMDocumentBuilder_var QIREdsDomParser::GetDOMDocumentBuilder() const
{
  if (_spDOMDocumentBuilder == NULL_var)
    QIRSysLogAbend(
        "error in QIREdsDomParser::GetDOMDocumentBuilder (): NULL_var==_spDOMDocumentBuilder");
  return _spDOMDocumentBuilder;
}

HRESULT QIREdsDomParser::GetResourcePathFromEnvVar(const char* iFileName, const char* iVarName,
                                                   char* oPath)
{
  HRESULT hr = E_FAIL;
  if (oPath) oPath[0] = '\0';
  if (!iVarName || !iFileName || !oPath) return hr;
  char* value = nullptr;
  hr = QIRGuarded([&] {
    char official[kPathSize] = {};
    bool searchValue = true;
    if (SUCCEEDED(QIRGetFilePathFromOfficialVariable(iFileName, iVarName, official, kPathSize))) {
      const int info = QIRGetFileInfo(official, nullptr);
      if (info == 0) {
        CopyPath(oPath, official);
        return S_OK;
      }
      searchValue = info == -1;
    }
    if (searchValue && SUCCEEDED(QIRGetEnvValue(iVarName, &value)) && value &&
        FindAlongValue(value, iFileName, oPath)) {
      std::free(value);
      return S_OK;
    }
    std::free(value);
    value = nullptr;
    CopyPath(oPath, iFileName);
    return S_OK;
  });
  if (FAILED(hr)) {  // raised: every other way out has given the value back already
    std::free(value);
    oPath[0] = '\0';
  }
  return hr;
}
