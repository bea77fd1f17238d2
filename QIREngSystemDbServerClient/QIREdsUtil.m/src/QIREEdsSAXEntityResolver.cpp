#include "QIREEdsSAXEntityResolver.h"

#include "QIREdsGuard.h"
#include "QIRError.h"

#include <cstring>
#include <new>

namespace {
const char kFramework[] = "QIREngSystemDbServerClient";

// Entered at library load, so that a QueryInterface on a resolver finds its tie.
struct TieRegistrar {
  TieRegistrar()
  {
    QIRRegisterTie("QIRISAXEntityResolver", "QIREEdsSAXEntityResolver",
                   &CreateTIEQIRISAXEntityResolverQIREEdsSAXEntityResolver);
  }
};
const TieRegistrar tieRegistrar;
}  // namespace

QIR_IMPLEMENT_CLASS(QIREEdsSAXEntityResolver, QIRBaseUnknown, kFramework)

QIREEdsSAXEntityResolver::QIREEdsSAXEntityResolver(const char* iDTDName, const char* iDTDPath)
{
  _DTDName[0] = '\0';
  _DTDPath[0] = '\0';
  if (!iDTDName || !iDTDPath) return;
  // Longer texts would not fit with their terminator; a half-kept pair would resolve wrongly.
  const std::size_t nameLength = std::strlen(iDTDName), pathLength = std::strlen(iDTDPath);
  if (nameLength >= sizeof(_DTDName) || pathLength >= sizeof(_DTDPath)) return;
  std::memcpy(_DTDName, iDTDName, nameLength + 1);
  std::memcpy(_DTDPath, iDTDPath, pathLength + 1);
}

QIREEdsSAXEntityResolver::~QIREEdsSAXEntityResolver() = default;

HRESULT QIREEdsSAXEntityResolver::ResolveEntity(const QIRUnicodeString& /*iPublicId*/,
                                                const QIRUnicodeString& iSystemId,
                                                QIRISAXInputSource_var& oSource)
{
  HRESULT hr = E_FAIL;
  if (iSystemId.IsNull()) return hr;
  if (_DTDName[0] == '\0' || std::strcmp(iSystemId.ConvertToChar(), _DTDName) != 0) return hr;
  if (_DTDPath[0] == '\0') return hr;
  return QIRGuarded([&] {
    QIRIXMLSAXFactory_var factory;
    hr = CreateQIRIXMLSAXFactory(factory, CLSID_QIRXMLSAXFactory);
    if (FAILED(hr)) return hr;
    if (factory == NULL_var) return E_FAIL;
    // Handed out only on success: the parser must see an untouched source when we decline.
    QIRISAXInputSource_var source;
    hr = factory->CreateInputSourceFromFile(_DTDPath, QIRUnicodeString(), source);
    if (SUCCEEDED(hr)) oSource = source;
    return hr;
  });
}

TIEQIRISAXEntityResolverQIREEdsSAXEntityResolver::TIEQIRISAXEntityResolverQIREEdsSAXEntityResolver(
    QIREEdsSAXEntityResolver* iImplementation)
    : _implementation(iImplementation)
{
  if (_implementation) _implementation->AddRef();
}

TIEQIRISAXEntityResolverQIREEdsSAXEntityResolver::
    ~TIEQIRISAXEntityResolverQIREEdsSAXEntityResolver()
{
  if (_implementation) _implementation->Release();
}

HRESULT TIEQIRISAXEntityResolverQIREEdsSAXEntityResolver::ResolveEntity(
    const QIRUnicodeString& iPublicId, const QIRUnicodeString& iSystemId,
    QIRISAXInputSource_var& oSource)
{
  if (!_implementation) return E_FAIL;
  return _implementation->ResolveEntity(iPublicId, iSystemId, oSource);
}

const QIRMetaClass* TIEQIRISAXEntityResolverQIREEdsSAXEntityResolver::MetaObject()
{
  static const QIRMetaClass meta("QIRISAXEntityResolver", QIREEdsSAXEntityResolver::MetaObject(),
                                 "QIRNull", kFramework);
  return &meta;
}

const char* TIEQIRISAXEntityResolverQIREEdsSAXEntityResolver::ClassName()
{
  return "TIEQIRISAXEntityResolverQIREEdsSAXEntityResolver";
}

const QIRMetaClass* TIEQIRISAXEntityResolverQIREEdsSAXEntityResolver::GetMetaObject() const
{
  return MetaObject();
}

const char* TIEQIRISAXEntityResolverQIREEdsSAXEntityResolver::IsA() const
{
  return ClassName();
}

int TIEQIRISAXEntityResolverQIREEdsSAXEntityResolver::IsAKindOf(const char* iClassName) const
{
  if (iClassName && std::strcmp(iClassName, ClassName()) == 0) return 1;
  return MetaObject()->IsAKindOf(iClassName);
}

QIRBaseUnknown* CreateTIEQIRISAXEntityResolverQIREEdsSAXEntityResolver(
    QIRBaseUnknown* iImplementation)
{
  QIREEdsSAXEntityResolver* implementation =
      dynamic_cast<QIREEdsSAXEntityResolver*>(iImplementation);
  if (!implementation) return nullptr;
  try {
    return new TIEQIRISAXEntityResolverQIREEdsSAXEntityResolver(implementation);
  } catch (...) {
    return nullptr;  // the registry reports E_NOINTERFACE; nothing may reach its caller
  }
}
