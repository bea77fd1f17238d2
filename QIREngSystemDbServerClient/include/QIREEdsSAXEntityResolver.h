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

/// Resolves the one definition it was given.
///
/// Threads: read only after construction; parsers on several threads may share one.
class QIR_API QIREEdsSAXEntityResolver : public QIRBaseUnknown {
  QIR_DECLARE_CLASS
 public:
  /// Both texts are copied when each is shorter than 255 characters; otherwise (or when
  /// either is null) both stay empty and the resolver resolves nothing.
  /// \param iDTDName the definition's name, as documents name it
  /// \param iDTDPath the file that holds it
  QIREEdsSAXEntityResolver(const char* iDTDName, const char* iDTDPath);
  ~QIREEdsSAXEntityResolver() override;

  /// Gives the configured file for the configured name.
  /// \param iPublicId not used
  /// \param iSystemId the name the document gives
  /// \param oSource receives a source reading the configured file
  /// \return S_OK when iSystemId is exactly the configured name; E_FAIL with oSource untouched
  ///   for anything else, so the parser falls back on its own resolution
  virtual HRESULT ResolveEntity(const QIRUnicodeString& iPublicId,
                                const QIRUnicodeString& iSystemId, QIRISAXInputSource_var& oSource);

 private:
  char _DTDPath[255];
  char _DTDName[255];
};

/// The object through which a resolver offers QIRISAXEntityResolver. It holds one reference on
/// its resolver for its whole life and forwards ResolveEntity to it.
class QIR_API TIEQIRISAXEntityResolverQIREEdsSAXEntityResolver : public QIRISAXEntityResolver {
 public:
  /// \param iImplementation the resolver; the tie takes a reference on it
  explicit TIEQIRISAXEntityResolverQIREEdsSAXEntityResolver(
      QIREEdsSAXEntityResolver* iImplementation);
  ~TIEQIRISAXEntityResolverQIREEdsSAXEntityResolver() override;
  TIEQIRISAXEntityResolverQIREEdsSAXEntityResolver(
      const TIEQIRISAXEntityResolverQIREEdsSAXEntityResolver&) = delete;
  TIEQIRISAXEntityResolverQIREEdsSAXEntityResolver& operator=(
      const TIEQIRISAXEntityResolverQIREEdsSAXEntityResolver&) = delete;

  /// Forwards to the resolver.
  /// \param iPublicId not used
  /// \param iSystemId the name the document gives
  /// \param oSource receives a source reading the resolver's file
  /// \return the resolver's code: S_OK or E_FAIL
  HRESULT ResolveEntity(const QIRUnicodeString& iPublicId, const QIRUnicodeString& iSystemId,
                        QIRISAXInputSource_var& oSource) override;

  /// \return the metaclass, named after the interface, its base the resolver's metaclass
  static const QIRMetaClass* MetaObject();
  /// \return "TIEQIRISAXEntityResolverQIREEdsSAXEntityResolver"
  static const char* ClassName();
  /// \return the tie's metaclass
  const QIRMetaClass* GetMetaObject() const override;
  /// \return the tie's class name
  const char* IsA() const override;
  /// \param iClassName a class name
  /// \return non-zero for the tie's class and the resolver's classes
  int IsAKindOf(const char* iClassName) const override;

 private:
  QIREEdsSAXEntityResolver* _implementation;
};

/// Tie creator entered in the component registry for (QIRISAXEntityResolver,
/// QIREEdsSAXEntityResolver).
/// \param iImplementation the resolver
/// \return a new tie with one reference for the caller, or null when iImplementation is not a
///   QIREEdsSAXEntityResolver or the tie cannot be allocated
QIR_API QIRBaseUnknown* CreateTIEQIRISAXEntityResolverQIREEdsSAXEntityResolver(
    QIRBaseUnknown* iImplementation);

#endif
