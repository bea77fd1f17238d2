#include "QIRXMLInternal.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "QIRError.h"
#include "QIRFaultInjection.h"
#include "QIRXMLServices.h"

namespace {

// Text in memory: parsed as the Unicode text it holds, whatever its declaration says.
class BufferSource final : public QIRISAXInputSource, public QIRXMLInternal::SourceContent {
 public:
  BufferSource(const QIRUnicodeString& iText, const QIRUnicodeString& iIdentifier)
      : _text(iText), _identifier(iIdentifier) {}
  HRESULT GetSystemId(QIRUnicodeString& oSystemId) override {
    oSystemId = _identifier;
    return S_OK;
  }
  bool IsFile() const override { return false; }
  const QIRUnicodeString& Text() const override { return _text; }
  const QIRUnicodeString& Name() const override { return _identifier; }

 private:
  QIRUnicodeString _text;
  QIRUnicodeString _identifier;
};

// Only the path: the file is read when a parse runs, so it may change until then.
class FileSource final : public QIRISAXInputSource, public QIRXMLInternal::SourceContent {
 public:
  explicit FileSource(const QIRUnicodeString& iPath) : _path(iPath) {}
  HRESULT GetSystemId(QIRUnicodeString& oSystemId) override {
    oSystemId = _path;
    return S_OK;
  }
  bool IsFile() const override { return true; }
  const QIRUnicodeString& Text() const override { return _path; }
  const QIRUnicodeString& Name() const override { return _path; }

 private:
  QIRUnicodeString _path;
};

class SAXFactory final : public QIRIXMLSAXFactory {
 public:
  HRESULT CreateInputSourceFromBuffer(const QIRUnicodeString& iText,
                                      const QIRUnicodeString& iIdentifier,
                                      QIRISAXInputSource_var& oSource) override;
  HRESULT CreateInputSourceFromFile(const QIRUnicodeString& iPath,
                                    const QIRUnicodeString& iEncoding,
                                    QIRISAXInputSource_var& oSource) override;
};

HRESULT SAXFactory::CreateInputSourceFromBuffer(const QIRUnicodeString& iText,
                                                const QIRUnicodeString& iIdentifier,
                                                QIRISAXInputSource_var& oSource)
{
  HRESULT hr = E_FAIL;
  oSource = NULL_var;
  try {
    if (QIRCallShouldFail("CreateInputSourceFromBuffer")) return hr;
    oSource.Attach(new BufferSource(iText, iIdentifier));
    hr = S_OK;
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

HRESULT SAXFactory::CreateInputSourceFromFile(const QIRUnicodeString& iPath,
                                              const QIRUnicodeString& /*iEncoding*/,
                                              QIRISAXInputSource_var& oSource)
{
  HRESULT hr = E_FAIL;
  oSource = NULL_var;
  if (iPath.IsNull()) return hr;
  try {
    if (QIRCallShouldFail("CreateInputSourceFromFile")) return hr;
    oSource.Attach(new FileSource(iPath));
    hr = S_OK;
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

}  // namespace

const IID IID_QIRISAXInputSource = {"QIRISAXInputSource", &QIRCastTo<QIRISAXInputSource>};
const IID IID_QIRISAXEntityResolver = {"QIRISAXEntityResolver",
                                       &QIRCastTo<QIRISAXEntityResolver>};
const IID IID_QIRISAXErrorHandler = {"QIRISAXErrorHandler", &QIRCastTo<QIRISAXErrorHandler>};
const IID IID_QIRIXMLSAXFactory = {"QIRIXMLSAXFactory", &QIRCastTo<QIRIXMLSAXFactory>};
const QIRCLSID CLSID_QIRXMLSAXFactory = {"QIRXMLSAXFactory"};

bool QIRXMLInternal::ReadWholeFile(const char* iPath, std::string& oBytes)
{
  oBytes.clear();
  if (!iPath || !*iPath) return false;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(iPath, "rb"), &std::fclose);
  if (!file) return false;
  char chunk[65536];
  std::size_t count = 0;
  while ((count = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) oBytes.append(chunk, count);
  return std::ferror(file.get()) == 0;  // a directory opens but fails to read
}

HRESULT CreateQIRIXMLSAXFactory(QIRIXMLSAXFactory_var& oFactory, const QIRCLSID& iClassId)
{
  HRESULT hr = E_FAIL;
  oFactory = NULL_var;
  if (!iClassId.Name || std::strcmp(iClassId.Name, CLSID_QIRXMLSAXFactory.Name) != 0) return hr;
  try {
    if (QIRCallShouldFail("CreateQIRIXMLSAXFactory")) return hr;
    oFactory.Attach(new SAXFactory);
    hr = S_OK;
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}
