#include "QIRXMLInternal.h"

#include <libxml/SAX2.h>
#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/uri.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "QIRError.h"
#include "QIRFaultInjection.h"
#include "QIRFileServices.h"
#include "QIRXMLServices.h"

namespace {

using QIRXMLInternal::SourceContent;

// One parse as libxml2's callbacks see it, through the thread's active parse.
struct ParseState {
  QIRISAXEntityResolver* Resolver = nullptr;  // borrowed for the parse
  QIRISAXErrorHandler* Handler = nullptr;
  bool Validate = false;
  std::string Directory;        // where a relative system identifier is looked for; "" = cwd
  bool SubsetPending = false;   // true only while libxml2 asks for the external subset
  bool Refused = false;         // an entity was asked for and not given: the parse fails
  std::string SubsetPublicId;
  std::string SubsetSystemId;
  std::string SubsetBytes;      // outlives the parse, however libxml2 holds its input
};

thread_local ParseState* tActiveParse = nullptr;
xmlExternalEntityLoader gFormerLoader = nullptr;
std::once_flag gSetupOnce;

// A resolver may parse in turn: the outer parse becomes active again when the inner one ends.
class ActiveParse {
 public:
  explicit ActiveParse(ParseState* iState) : _outer(tActiveParse) { tActiveParse = iState; }
  ~ActiveParse() { tActiveParse = _outer; }
  ActiveParse(const ActiveParse&) = delete;
  ActiveParse& operator=(const ActiveParse&) = delete;

 private:
  ParseState* _outer;
};

typedef std::unique_ptr<xmlChar, void (*)(void*)> XmlText;

void Report(const ParseState& iState, const std::string& iMessage) noexcept {
  if (!iState.Handler) return;
  try {
    iState.Handler->Error(QIRUnicodeString(iMessage.c_str()));
  } catch (QIRError& error) {
    error.Flush();
  } catch (...) {
  }
}

void OnParserMessage(void* /*iContext*/, xmlErrorPtr iError) {
  const ParseState* state = tActiveParse;
  if (!state || !iError) return;
  try {
    std::string text;
    if (iError->file)
      text.append(iError->file).append(":").append(std::to_string(iError->line)).append(": ");
    if (iError->level == XML_ERR_WARNING) text.append("warning: ");
    if (iError->message) text.append(iError->message);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    Report(*state, text);
  } catch (...) {
  }
}

// The validity context reports here only when libxml2 cannot tie it to its parser context.
__attribute__((format(printf, 2, 3))) void OnValidityMessage(void* /*iContext*/,
                                                              const char* iFormat, ...) {
  const ParseState* state = tActiveParse;
  if (!state || !iFormat) return;
  char text[1024];
  va_list arguments;
  va_start(arguments, iFormat);
  std::vsnprintf(text, sizeof text, iFormat, arguments);
  va_end(arguments);
  try {
    std::string message(text);
    while (!message.empty() && message.back() == '\n') message.pop_back();
    Report(*state, message);
  } catch (...) {
  }
}

// Only local files: a system identifier with any scheme but file: is refused.
bool LocalPath(const std::string& iSystemId, const std::string& iDirectory, std::string& oPath) {
  if (iSystemId.empty()) return false;
  std::string path = iSystemId;
  const std::size_t colon = path.find(':');
  if (colon != std::string::npos && colon < path.find('/')) {
    if (path.compare(0, 7, "file://") != 0) return false;
    path.erase(0, 7);
    if (path.compare(0, 9, "localhost") == 0) path.erase(0, 9);
    if (path.empty() || path[0] != '/') return false;
    XmlText plain(reinterpret_cast<xmlChar*>(xmlURIUnescapeString(path.c_str(), 0, nullptr)),
                  xmlFree);
    if (!plain) return false;
    path = reinterpret_cast<const char*>(plain.get());
  }
  oPath = path[0] == '/' || iDirectory.empty() ? path : iDirectory + "/" + path;
  return true;
}

bool ReadSource(const QIRISAXInputSource_var& iSource, std::string& oBytes) {
  const SourceContent* content = dynamic_cast<const SourceContent*>(iSource.get());
  if (!content) return false;
  if (content->IsFile())
    return QIRXMLInternal::ReadWholeFile(content->Text().ConvertToChar(), oBytes);
  oBytes.assign(content->Text().ConvertToChar(), content->Text().GetLengthInByte());
  return true;
}

// The resolver first; when it declines, the local file that the system identifier names.
bool ReadSubset(ParseState& ioState) {
  if (ioState.Resolver) {
    QIRISAXInputSource_var source;
    const HRESULT hr = ioState.Resolver->ResolveEntity(ioState.SubsetPublicId.c_str(),
                                                       ioState.SubsetSystemId.c_str(), source);
    if (SUCCEEDED(hr)) return ReadSource(source, ioState.SubsetBytes);
  }
  std::string path;
  return LocalPath(ioState.SubsetSystemId, ioState.Directory, path) &&
         QIRXMLInternal::ReadWholeFile(path.c_str(), ioState.SubsetBytes);
}

// The external subset, when libxml2 asks for it on behalf of the active parse; null for
// anything else.
xmlParserInputPtr ServeSubset(ParseState& ioState, const char* iUrl, xmlParserCtxtPtr iContext) {
  if (!iContext || iContext->_private != &ioState || !ioState.SubsetPending) {
    Report(ioState, std::string("external entity not loaded: ") + (iUrl ? iUrl : ""));
    return nullptr;
  }
  ioState.SubsetPending = false;  // the subset itself, not what it refers to
  if (!ReadSubset(ioState) || ioState.SubsetBytes.size() > INT_MAX) {
    Report(ioState, "document type definition not found: " + ioState.SubsetSystemId);
    return nullptr;
  }
  xmlParserInputBufferPtr buffer = xmlParserInputBufferCreateMem(
      ioState.SubsetBytes.data(), static_cast<int>(ioState.SubsetBytes.size()),
      XML_CHAR_ENCODING_NONE);
  if (!buffer) return nullptr;
  xmlParserInputPtr input = xmlNewIOInputStream(iContext, buffer, XML_CHAR_ENCODING_NONE);
  if (!input) {
    xmlFreeParserInputBuffer(buffer);
    return nullptr;
  }
  input->filename = reinterpret_cast<char*>(
      xmlStrdup(reinterpret_cast<const xmlChar*>(ioState.SubsetSystemId.c_str())));
  return input;
}

// Installed for the whole process. Inside our parses it serves the external subset and
// nothing else, so no external entity and no network resource is ever read; other users of
// libxml2 in the process keep the loader they had.
xmlParserInputPtr LoadExternal(const char* iUrl, const char* iId, xmlParserCtxtPtr iContext) {
  ParseState* state = tActiveParse;
  if (!state) return gFormerLoader ? gFormerLoader(iUrl, iId, iContext) : nullptr;
  xmlParserInputPtr input = nullptr;
  try {
    input = ServeSubset(*state, iUrl, iContext);
  } catch (QIRError& error) {
    error.Flush();
  } catch (...) {
  }
  if (!input) state->Refused = true;
  return input;
}

void OnExternalSubset(void* iContext, const xmlChar* iName, const xmlChar* iPublicId,
                      const xmlChar* iSystemId) {
  ParseState* state = tActiveParse;
  if (!state || !state->Validate) return;
  try {
    state->SubsetPublicId = iPublicId ? reinterpret_cast<const char*>(iPublicId) : "";
    state->SubsetSystemId = iSystemId ? reinterpret_cast<const char*>(iSystemId) : "";
  } catch (...) {
    return;
  }
  state->SubsetPending = true;
  xmlSAX2ExternalSubset(iContext, iName, iPublicId, iSystemId);
  state->SubsetPending = false;
}

void SetUpOnce() {
  std::call_once(gSetupOnce, [] {
    xmlInitParser();
    gFormerLoader = xmlGetExternalEntityLoader();
    xmlSetExternalEntityLoader(LoadExternal);
  });
}

// The value of the last option named iName, or null.
const QIRUnicodeString* OptionValue(const QIRListValQIRUnicodeString& iNames,
                                    const QIRListValQIRUnicodeString& iValues, const char* iName) {
  const QIRUnicodeString* value = nullptr;
  const int count = std::min(iNames.Size(), iValues.Size());
  for (int i = 1; i <= count; ++i)
    if (std::strcmp(iNames[i].ConvertToChar(), iName) == 0) value = &iValues[i];
  return value;
}

bool IsOptionOn(const QIRListValQIRUnicodeString& iNames,
                const QIRListValQIRUnicodeString& iValues, const char* iName) {
  const QIRUnicodeString* value = OptionValue(iNames, iValues, iName);
  return value && xmlStrcasecmp(reinterpret_cast<const xmlChar*>(value->ConvertToChar()),
                                reinterpret_cast<const xmlChar*>("true")) == 0;
}

std::string EncodingOption(const QIRListValQIRUnicodeString& iNames,
                           const QIRListValQIRUnicodeString& iValues) {
  const QIRUnicodeString* value = OptionValue(iNames, iValues, "QIREncoding");
  return value && !value->IsNull() ? value->ConvertToChar() : "UTF-8";
}

bool IsUTF8(const std::string& iEncoding) {
  return xmlStrcasecmp(reinterpret_cast<const xmlChar*>(iEncoding.c_str()),
                       reinterpret_cast<const xmlChar*>("UTF-8")) == 0 ||
         xmlStrcasecmp(reinterpret_cast<const xmlChar*>(iEncoding.c_str()),
                       reinterpret_cast<const xmlChar*>("UTF8")) == 0;
}

// Parses iSize bytes named iName. Unicode text is read as UTF-8 whatever it declares; a file
// follows its own declaration.
HRESULT ParseBytes(const char* iBytes, std::size_t iSize, bool iUnicodeText, const char* iName,
                   ParseState& ioState, bool iExpand, QIRIDOMDocument_var& oDocument) {
  if (iSize == 0 || iSize > INT_MAX) {
    Report(ioState, std::string(iName) + ": no document");
    return E_FAIL;
  }
  std::unique_ptr<xmlParserCtxt, void (*)(xmlParserCtxtPtr)> context(
      xmlCreateMemoryParserCtxt(iBytes, static_cast<int>(iSize)), xmlFreeParserCtxt);
  if (!context || !context->input || !context->sax) return E_FAIL;
  int options = XML_PARSE_NONET;
  if (iExpand) options |= XML_PARSE_NOENT;
  if (ioState.Validate) options |= XML_PARSE_DTDLOAD | XML_PARSE_DTDVALID;
  if (iUnicodeText) options |= XML_PARSE_IGNORE_ENC;
  xmlCtxtUseOptions(context.get(), options);
  context->_private = &ioState;
  context->sax->serror = OnParserMessage;
  context->sax->externalSubset = OnExternalSubset;
  context->vctxt.error = OnValidityMessage;
  context->vctxt.warning = OnValidityMessage;
  // A named encoding keeps libxml2 from guessing one from the first bytes.
  if (iUnicodeText) context->encoding = xmlStrdup(reinterpret_cast<const xmlChar*>("UTF-8"));
  if (!context->input->filename)
    context->input->filename =
        reinterpret_cast<char*>(xmlStrdup(reinterpret_cast<const xmlChar*>(iName)));

  xmlParseDocument(context.get());
  std::unique_ptr<xmlDoc, void (*)(xmlDocPtr)> tree(context->myDoc, xmlFreeDoc);
  context->myDoc = nullptr;
  // libxml2 stops quietly at a NUL after the document element: what is left is an error.
  xmlParserInputPtr input = context->input;
  const bool consumed = input && input->cur >= input->end &&
                        (!input->buf || !input->buf->raw || xmlBufUse(input->buf->raw) == 0);
  if (context->wellFormed && !consumed)
    Report(ioState, std::string(iName) + ": text after the document");
  if (!tree || !context->wellFormed || !consumed || ioState.Refused ||
      (ioState.Validate && !context->valid))
    return E_FAIL;
  return QIRXMLInternal::WrapDocument(tree.release(), oDocument);
}

// A relative system identifier in the file is looked for beside it.
HRESULT ParseFileBytes(const std::string& iPath, ParseState& ioState, bool iExpand,
                       QIRIDOMDocument_var& oDocument) {
  std::string bytes;
  if (!QIRXMLInternal::ReadWholeFile(iPath.c_str(), bytes)) {
    Report(ioState, iPath + ": cannot be read");
    return E_FAIL;
  }
  const std::size_t slash = iPath.rfind('/');
  if (slash != std::string::npos) ioState.Directory = iPath.substr(0, slash == 0 ? 1 : slash);
  return ParseBytes(bytes.data(), bytes.size(), false, iPath.c_str(), ioState, iExpand,
                    oDocument);
}

// Parse and ParseFile both come here, so nothing a parse throws leaves the builder and a
// failed parse hands out no document.
HRESULT ParseSource(bool iIsFile, const QIRUnicodeString& iText, const QIRUnicodeString& iName,
                    const QIRListValQIRUnicodeString& iOptionNames,
                    const QIRListValQIRUnicodeString& iOptionValues,
                    const QIRISAXEntityResolver_var& iResolver,
                    const QIRISAXErrorHandler_var& iHandler, QIRIDOMDocument_var& oDocument) {
  HRESULT hr = E_FAIL;
  try {
    SetUpOnce();
    ParseState state;
    state.Resolver = iResolver.get();
    state.Handler = iHandler.get();
    state.Validate = IsOptionOn(iOptionNames, iOptionValues, "QIRDoValidation");
    const bool expand = IsOptionOn(iOptionNames, iOptionValues, "QIRExpandEntityReferences");
    const ActiveParse active(&state);
    hr = iIsFile ? ParseFileBytes(iText.ConvertToChar(), state, expand, oDocument)
                 : ParseBytes(iText.ConvertToChar(), iText.GetLengthInByte(), true,
                              iName.ConvertToChar(), state, expand, oDocument);
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  if (FAILED(hr)) oDocument = NULL_var;
  return hr;
}

// Text in another encoding back into UTF-8, so that the string holds the same characters.
bool DecodeToUTF8(const std::string& iEncoding, const xmlChar* iText, int iSize,
                  QIRUnicodeString& oText) {
  xmlCharEncodingHandlerPtr handler = xmlFindCharEncodingHandler(iEncoding.c_str());
  if (!handler) return false;
  std::unique_ptr<xmlBuffer, void (*)(xmlBufferPtr)> in(xmlBufferCreate(), xmlBufferFree);
  std::unique_ptr<xmlBuffer, void (*)(xmlBufferPtr)> out(xmlBufferCreate(), xmlBufferFree);
  bool done = in && out && xmlBufferAdd(in.get(), iText, iSize) == 0;
  while (done && xmlBufferLength(in.get()) > 0) {
    const int before = xmlBufferLength(in.get());
    const int result = xmlCharEncInFunc(handler, out.get(), in.get());
    done = result >= 0 || (result == -3 && xmlBufferLength(in.get()) < before);
  }
  xmlCharEncCloseFunc(handler);
  if (!done) return false;
  const char* bytes = reinterpret_cast<const char*>(xmlBufferContent(out.get()));
  std::size_t size = static_cast<std::size_t>(xmlBufferLength(out.get()));
  if (size >= 3 && std::memcmp(bytes, "\xEF\xBB\xBF", 3) == 0) {  // a byte order mark
    bytes += 3;
    size -= 3;
  }
  return SUCCEEDED(oText.BuildFromUTF8(bytes, size));
}

// The document's text in iEncoding, indented; false for an unknown encoding.
bool Dump(xmlDocPtr iTree, const std::string& iEncoding, XmlText& oText, int& oSize) {
  xmlCharEncodingHandlerPtr handler = xmlFindCharEncodingHandler(iEncoding.c_str());
  if (!handler) return false;  // checked first: libxml2 would complain on stderr
  xmlCharEncCloseFunc(handler);
  xmlChar* text = nullptr;
  oSize = 0;
  xmlDocDumpFormatMemoryEnc(iTree, &text, &oSize, iEncoding.c_str(), 1);
  oText.reset(text);
  return text != nullptr;
}

class DomBuilder final : public QIRIXMLDOMDocumentBuilder {
 public:
  HRESULT Parse(const QIRISAXInputSource_var& iSource, QIRIDOMDocument_var& oDocument,
                const QIRListValQIRUnicodeString& iOptionNames,
                const QIRListValQIRUnicodeString& iOptionValues,
                const QIRISAXEntityResolver_var& iResolver,
                const QIRISAXErrorHandler_var& iHandler) override;
  HRESULT ParseFile(const QIRUnicodeString& iPath, QIRIDOMDocument_var& oDocument,
                    const QIRListValQIRUnicodeString& iOptionNames,
                    const QIRListValQIRUnicodeString& iOptionValues,
                    const QIRISAXEntityResolver_var& iResolver,
                    const QIRISAXErrorHandler_var& iHandler) override;
  HRESULT GetDOMImplementation(QIRIDOMImplementation_var& oImplementation) override;
  HRESULT WriteToString(const QIRIDOMDocument_var& iDocument, QIRUnicodeString& oText,
                        const QIRListValQIRUnicodeString& iOptionNames,
                        const QIRListValQIRUnicodeString& iOptionValues) override;
  HRESULT WriteToFile(const QIRIDOMDocument_var& iDocument, const QIRUnicodeString& iPath,
                      const QIRListValQIRUnicodeString& iOptionNames,
                      const QIRListValQIRUnicodeString& iOptionValues) override;
};

HRESULT DomBuilder::Parse(const QIRISAXInputSource_var& iSource, QIRIDOMDocument_var& oDocument,
                          const QIRListValQIRUnicodeString& iOptionNames,
                          const QIRListValQIRUnicodeString& iOptionValues,
                          const QIRISAXEntityResolver_var& iResolver,
                          const QIRISAXErrorHandler_var& iHandler) {
  oDocument = NULL_var;
  const SourceContent* content = dynamic_cast<const SourceContent*>(iSource.get());
  if (!content) return E_FAIL;
  return ParseSource(content->IsFile(), content->Text(), content->Name(), iOptionNames,
                     iOptionValues, iResolver, iHandler, oDocument);
}

HRESULT DomBuilder::ParseFile(const QIRUnicodeString& iPath, QIRIDOMDocument_var& oDocument,
                              const QIRListValQIRUnicodeString& iOptionNames,
                              const QIRListValQIRUnicodeString& iOptionValues,
                              const QIRISAXEntityResolver_var& iResolver,
                              const QIRISAXErrorHandler_var& iHandler) {
  oDocument = NULL_var;
  if (iPath.IsNull()) return E_FAIL;
  return ParseSource(true, iPath, iPath, iOptionNames, iOptionValues, iResolver, iHandler,
                     oDocument);
}

HRESULT DomBuilder::GetDOMImplementation(QIRIDOMImplementation_var& oImplementation) {
  HRESULT hr = E_FAIL;
  oImplementation = NULL_var;
  try {
    if (QIRCallShouldFail("GetDOMImplementation")) return hr;
    oImplementation.Attach(QIRXMLInternal::NewImplementation());
    hr = S_OK;
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

HRESULT DomBuilder::WriteToString(const QIRIDOMDocument_var& iDocument, QIRUnicodeString& oText,
                                  const QIRListValQIRUnicodeString& iOptionNames,
                                  const QIRListValQIRUnicodeString& iOptionValues) {
  HRESULT hr = E_FAIL;
  xmlDocPtr tree = QIRXMLInternal::TreeOf(iDocument);
  if (!tree) return hr;
  try {
    if (QIRCallShouldFail("WriteToString")) return hr;
    const std::string encoding = EncodingOption(iOptionNames, iOptionValues);
    XmlText text(nullptr, xmlFree);
    int size = 0;
    if (!Dump(tree, encoding, text, size)) return hr;
    const char* bytes = reinterpret_cast<const char*>(text.get());
    if (IsUTF8(encoding)) {
      hr = oText.BuildFromUTF8(bytes, static_cast<std::size_t>(size));
    } else if (!DecodeToUTF8(encoding, text.get(), size, oText)) {
      hr = E_FAIL;
    } else {
      hr = S_OK;
    }
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

HRESULT DomBuilder::WriteToFile(const QIRIDOMDocument_var& iDocument, const QIRUnicodeString& iPath,
                                const QIRListValQIRUnicodeString& iOptionNames,
                                const QIRListValQIRUnicodeString& iOptionValues) {
  HRESULT hr = E_FAIL;
  xmlDocPtr tree = QIRXMLInternal::TreeOf(iDocument);
  if (!tree || iPath.IsNull()) return hr;
  try {
    if (QIRCallShouldFail("WriteToFile")) return hr;
    XmlText text(nullptr, xmlFree);
    int size = 0;
    if (!Dump(tree, EncodingOption(iOptionNames, iOptionValues), text, size)) return hr;
    // Written by the platform rather than by libxml2, which reports an unwritable path on
    // stderr and leaves a partial file behind when the disk fills.
    hr = QIRWriteFileAtomically(iPath.ConvertToChar(), text.get(), static_cast<std::size_t>(size));
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

}  // namespace

const IID IID_QIRIXMLDOMDocumentBuilder = {"QIRIXMLDOMDocumentBuilder",
                                           &QIRCastTo<QIRIXMLDOMDocumentBuilder>};
const QIRCLSID CLSID_QIRXMLDOMDocumentBuilder = {"QIRXMLDOMDocumentBuilder"};

HRESULT CreateQIRIXMLDOMDocumentBuilder(QIRIXMLDOMDocumentBuilder_var& oBuilder,
                                        const QIRCLSID& iClassId) {
  HRESULT hr = E_FAIL;
  oBuilder = NULL_var;
  if (!iClassId.Name || std::strcmp(iClassId.Name, CLSID_QIRXMLDOMDocumentBuilder.Name) != 0)
    return hr;
  try {
    if (QIRCallShouldFail("CreateQIRIXMLDOMDocumentBuilder")) return hr;
    SetUpOnce();
    oBuilder.Attach(new DomBuilder);
    hr = S_OK;
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}
