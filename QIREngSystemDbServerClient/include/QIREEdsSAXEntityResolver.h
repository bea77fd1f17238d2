#ifndef QIREEdsSAXEntityResolver_H
#define QIREEdsSAXEntityResolver_H
/// \file
/// Serves one document type definition, found beforehand along a path variable, to the XML
/// parser when a validated document names it. Offered as QIRISAXEntityResolver through a tie:
/// QueryInterface(IID_QIRISAXEntityResolver, ...) on a resolver gives that tie.

#include "QIRBaseUnknown.h"
#include "QIRCodes.h"
#include "QIRExport.h"
#include "QIRUnicodeString.h"
#include "QIRXMLServices.h"

/// Threads: read only after construction; parsers on several threads may share one.
class QIR_API QIREEdsSAXEntityResolver : public QIRBaseUnknown {
  QIR_DECLARE_CLASS
 public:
  /// Both texts are copied when each is shorter than 255 characters; otherwise (or when
  /// either is null) both stay empty and the resolver resolves nothing.
  QIREEdsSAXEntityResolver(const char* iDTDName, const char* iDTDPath);
  ~QIREEdsSAXEntityResolver() override;

  /// S_OK with oSource reading the configured file when iSystemId is exactly the configured
  /// name; E_FAIL with oSource untouched for anything else, so the parser falls back on its
  /// own resolution. iPublicId is not used.
  virtual HRESULT ResolveEntity(const QIRUnicodeString& iPublicId,
                                const QIRUnicodeString& iSystemId,
                                QIRISAXInputSource_var& oSource);

 private:
  char _DTDPath[255];
  char _DTDName[255];
};

/// The object through which a resolver offers QIRISAXEntityResolver. It holds one reference on
/// its resolver for its whole life and forwards ResolveEntity to it.
class QIR_API TIEQIRISAXEntityResolverQIREEdsSAXEntityResolver : public QIRISAXEntityResolver {
 public:
  explicit TIEQIRISAXEntityResolverQIREEdsSAXEntityResolver(
      QIREEdsSAXEntityResolver* iImplementation);
  ~TIEQIRISAXEntityResolverQIREEdsSAXEntityResolver() override;
  TIEQIRISAXEntityResolverQIREEdsSAXEntityResolver(
      const TIEQIRISAXEntityResolverQIREEdsSAXEntityResolver&) = delete;
  TIEQIRISAXEntityResolverQIREEdsSAXEntityResolver& operator=(
      const TIEQIRISAXEntityResolverQIREEdsSAXEntityResolver&) = delete;

  HRESULT ResolveEntity(const QIRUnicodeString& iPublicId, const QIRUnicodeString& iSystemId,
                        QIRISAXInputSource_var& oSource) override;

  /// Metaclass named after the interface, its base the resolver's metaclass.
  static const QIRMetaClass* MetaObject();
  static const char* ClassName();
  const QIRMetaClass* GetMetaObject() const override;
  const char* IsA() const override;
  int IsAKindOf(const char* iClassName) const override;

 private:
  QIREEdsSAXEntityResolver* _implementation;
};

/// Tie creator entered in the component registry for (QIRISAXEntityResolver,
/// QIREEdsSAXEntityResolver): a new tie with one reference for the caller, or null when
/// iImplementation is not a QIREEdsSAXEntityResolver or the tie cannot be allocated.
QIR_API QIRBaseUnknown* CreateTIEQIRISAXEntityResolverQIREEdsSAXEntityResolver(
    QIRBaseUnknown* iImplementation);

#endif
