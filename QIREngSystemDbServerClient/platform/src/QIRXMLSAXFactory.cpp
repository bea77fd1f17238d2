#include "QIRError.h"
#include "QIRFaultInjection.h"
#include "QIRGuard.h"
#include "QIRXMLInternal.h"
#include "QIRXMLServices.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

// Text in memory is parsed as the Unicode text it holds, whatever its declaration says. A file
// source keeps only the path: the file is read when a parse runs, so it may change until then.
class InputSource final : public QIRISAXInputSource, public QIRXMLInternal::SourceContent {
 public:
  InputSource(bool iIsFile, const QIRUnicodeString& iText, const QIRUnicodeString& iName)
      : _isFile(iIsFile), _text(iText), _name(iName)
  {
  }
  HRESULT GetSystemId(QIRUnicodeString& oSystemId) override
  {
    oSystemId = _name;
    return S_OK;
  }
  bool IsFile() const override { return _isFile; }
  const QIRUnicodeString& Text() const override { return _text; }
  const QIRUnicodeString& Name() const override { return _name; }

 private:
  const bool _isFile;
  QIRUnicodeString _text;
  QIRUnicodeString _name;
};

// Either kind of source, unless the call iCall is made to fail.
HRESULT NewSource(const char* iCall, bool iIsFile, const QIRUnicodeString& iText,
                  const QIRUnicodeString& iName, QIRISAXInputSource_var& oSource)
{
  HRESULT hr = E_FAIL;
  return QIRGuarded([&] {
    if (QIRCallShouldFail(iCall)) return hr;
    oSource.Attach(new InputSource(iIsFile, iText, iName));
    return S_OK;
  });
}

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
  oSource = NULL_var;
  return NewSource("CreateInputSourceFromBuffer", false, iText, iIdentifier, oSource);
}

HRESULT SAXFactory::CreateInputSourceFromFile(const QIRUnicodeString& iPath,
                                              const QIRUnicodeString& /*iEncoding*/,
                                              QIRISAXInputSource_var& oSource)
{
  oSource = NULL_var;
  if (iPath.IsNull()) return E_FAIL;
  return NewSource("CreateInputSourceFromFile", true, iPath, iPath, oSource);
}

}  // namespace

const IID IID_QIRISAXInputSource = {"QIRISAXInputSource", &QIRCastTo<QIRISAXInputSource>};
const IID IID_QIRISAXEntityResolver = {"QIRISAXEntityResolver", &QIRCastTo<QIRISAXEntityResolver>};
const IID IID_QIRISAXErrorHandler = {"QIRISAXErrorHandler", &QIRCastTo<QIRISAXErrorHandler>};
const IID IID_QIRIXMLSAXFactory = {"QIRIXMLSAXFactory", &QIRCastTo<QIRIXMLSAXFactory>};
const QIRCLSID CLSID_QIRXMLSAXFactory = {"QIRXMLSAXFactory"};

bool QIRXMLInternal::ReadWholeFile(const char* iPath, std::string& oBytes)
{
  oBytes.clear();
  if (!iPath || !*iPath) return false;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(iPath, "rb"), &std::fclose);
  if (!file) return false;
  // Sized once when the size is known: growing by doubling would hold up to twice the file.
  if (std::fseek(file.get(), 0, SEEK_END) == 0) {
    const long size = std::ftell(file.get());
    if (size > 0) oBytes.reserve(static_cast<std::size_t>(size));
    std::rewind(file.get());
  }
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
  return QIRGuarded([&] {
    if (QIRCallShouldFail("CreateQIRIXMLSAXFactory")) return hr;
    oFactory.Attach(new SAXFactory);
    return S_OK;
  });
}
