#include "QIRError.h"
#include "QIRFaultInjection.h"
#include "QIRFileServices.h"
#include "QIRGuard.h"
#include "QIRUTF8.h"
#include "QIRXMLDirect.h"
#include "QIRXMLInternal.h"
#include "QIRXMLSaxTree.h"
#include "QIRXMLServices.h"

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <libxml/SAX2.h>
#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/uri.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

using QIRXMLInternal::SourceContent;
using QIRXMLInternal::Tree;
using QIRXMLSaxTree::FlushText;
using QIRXMLSaxTree::SaxTarget;

// One parse as libxml2's callbacks see it, through the thread's active parse.
struct ParseState {
  QIRISAXEntityResolver* Resolver = nullptr;  // borrowed for the parse
  QIRISAXErrorHandler* Handler = nullptr;
  bool Validate = false;
  std::string Directory;       // where a relative system identifier is looked for; "" = cwd
  bool SubsetPending = false;  // true only while libxml2 asks for the external subset
  bool Refused = false;        // an entity was asked for and not given: the parse fails
  std::string SubsetPublicId;
  std::string SubsetSystemId;
  std::string SubsetBytes;  // outlives the parse, however libxml2 holds its input
  bool SubsetRead = false;  // asked for once a load, even when the document is read twice
  bool SubsetFound = false;
  SaxTarget* Target = nullptr;  // the tree being built from events, when it is
  // Messages held back while a parse may still be redone; null: told at once.
  std::vector<std::string>* Held = nullptr;
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

void Report(const ParseState& iState, const std::string& iMessage) noexcept
{
  if (!iState.Handler) return;
  QIRGuardedVoid([&] {
    if (iState.Held) {
      iState.Held->push_back(iMessage);
      return;
    }
    iState.Handler->Error(QIRUnicodeString(iMessage.c_str()));
  });
}

void OnParserMessage(void* /*iContext*/, xmlErrorPtr iError)
{
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
                                                             const char* iFormat, ...)
{
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
bool LocalPath(const std::string& iSystemId, const std::string& iDirectory, std::string& oPath)
{
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

bool ReadSource(const QIRISAXInputSource_var& iSource, std::string& oBytes)
{
  const SourceContent* content = dynamic_cast<const SourceContent*>(iSource.get());
  if (!content) return false;
  if (content->IsFile())
    return QIRXMLInternal::ReadWholeFile(content->Text().ConvertToChar(), oBytes);
  oBytes.assign(content->Text().ConvertToChar(), content->Text().GetLengthInByte());
  return true;
}

// The resolver first; when it declines, the local file that the system identifier names.
bool ReadSubset(ParseState& ioState)
{
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
xmlParserInputPtr ServeSubset(ParseState& ioState, const char* iUrl, xmlParserCtxtPtr iContext)
{
  if (!iContext || iContext->_private != &ioState || !ioState.SubsetPending) {
    Report(ioState, std::string("external entity not loaded: ") + (iUrl ? iUrl : ""));
    return nullptr;
  }
  ioState.SubsetPending = false;  // the subset itself, not what it refers to
  if (!ioState.SubsetRead) {
    ioState.SubsetFound = ReadSubset(ioState) && ioState.SubsetBytes.size() <= INT_MAX;
    ioState.SubsetRead = true;
  }
  if (!ioState.SubsetFound) {
    Report(ioState, "document type definition not found: " + ioState.SubsetSystemId);
    return nullptr;
  }
  return QIRXMLInternal::InputOverBytes(iContext, ioState.SubsetBytes, ioState.SubsetSystemId);
}

// Installed for the whole process. Inside our parses it serves the external subset and
// nothing else, so no external entity and no network resource is ever read; other users of
// libxml2 in the process keep the loader they had.
xmlParserInputPtr LoadExternal(const char* iUrl, const char* iId, xmlParserCtxtPtr iContext)
{
  ParseState* state = tActiveParse;
  if (!state) return gFormerLoader ? gFormerLoader(iUrl, iId, iContext) : nullptr;
  xmlParserInputPtr input = nullptr;
  QIRGuardedVoid([&] { input = ServeSubset(*state, iUrl, iContext); });
  if (!input) state->Refused = true;
  return input;
}

void OnExternalSubset(void* iContext, const xmlChar* iName, const xmlChar* iPublicId,
                      const xmlChar* iSystemId)
{
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

void SetUpOnce()
{
  std::call_once(gSetupOnce, [] {
    xmlInitParser();
    gFormerLoader = xmlGetExternalEntityLoader();
    xmlSetExternalEntityLoader(LoadExternal);
  });
}

// The value of the last option named iName, or null.
const QIRUnicodeString* OptionValue(const QIRListValQIRUnicodeString& iNames,
                                    const QIRListValQIRUnicodeString& iValues, const char* iName)
{
  const QIRUnicodeString* value = nullptr;
  const int count = std::min(iNames.Size(), iValues.Size());
  for (int i = 1; i <= count; ++i)
    if (std::strcmp(iNames[i].ConvertToChar(), iName) == 0) value = &iValues[i];
  return value;
}

bool IsOptionOn(const QIRListValQIRUnicodeString& iNames, const QIRListValQIRUnicodeString& iValues,
                const char* iName)
{
  const QIRUnicodeString* value = OptionValue(iNames, iValues, iName);
  return value && xmlStrcasecmp(reinterpret_cast<const xmlChar*>(value->ConvertToChar()),
                                reinterpret_cast<const xmlChar*>("true")) == 0;
}

std::string EncodingOption(const QIRListValQIRUnicodeString& iNames,
                           const QIRListValQIRUnicodeString& iValues)
{
  const QIRUnicodeString* value = OptionValue(iNames, iValues, "QIREncoding");
  return value && !value->IsNull() ? value->ConvertToChar() : "UTF-8";
}

bool IsUTF8(const std::string& iEncoding)
{
  return xmlStrcasecmp(reinterpret_cast<const xmlChar*>(iEncoding.c_str()),
                       reinterpret_cast<const xmlChar*>("UTF-8")) == 0 ||
         xmlStrcasecmp(reinterpret_cast<const xmlChar*>(iEncoding.c_str()),
                       reinterpret_cast<const xmlChar*>("UTF8")) == 0;
}

}  // namespace

// Defined here: only the parse knows where the target of a context hangs.
QIRXMLSaxTree::SaxTarget* QIRXMLSaxTree::TargetOf(void* iContext)
{
  xmlParserCtxtPtr context = static_cast<xmlParserCtxtPtr>(iContext);
  const ParseState* state = static_cast<const ParseState*>(context->_private);
  if (!state || !state->Target || state->Target->Main != context) return nullptr;
  return state->Target;
}

namespace {

typedef std::unique_ptr<xmlParserCtxt, void (*)(xmlParserCtxtPtr)> Context;

// Set by the parse of a file's first bytes, once libxml2 has decided how it reads the text.
struct EncodingProbe {
  bool AsItIs = false;
};

void ProbeEncoding(void* iContext)
{
  xmlParserCtxtPtr context = static_cast<xmlParserCtxtPtr>(iContext);
  const xmlParserInput* input = context->input;
  // Labelled UTF-16 but left unconverted, a text is refused for that by the buffered reading
  // alone.
  const xmlChar* declared = context->encoding;
  static_cast<EncodingProbe*>(context->_private)->AsItIs =
      input && input->buf && !input->buf->encoder &&
      (!declared || xmlStrcasecmp(declared, reinterpret_cast<const xmlChar*>("UTF-8")) == 0 ||
       xmlStrcasecmp(declared, reinterpret_cast<const xmlChar*>("UTF8")) == 0);
  xmlStopParser(context);
}

void Quiet(void* /*iContext*/, xmlErrorPtr /*iError*/) {}

// Whether libxml2 reads a file's text without converting it, asked of libxml2 itself: a parse
// of the first bytes stops where the document starts, after the byte order mark and the
// declaration that decide. A declaration that does not fit in them leaves the answer no.
bool ReadsAsItIs(const char* iBytes, std::size_t iSize)
{
  Context context(
      xmlCreateMemoryParserCtxt(iBytes, static_cast<int>(std::min<std::size_t>(iSize, 4096))),
      xmlFreeParserCtxt);
  if (!context || !context->sax) return false;
  EncodingProbe probe;
  xmlCtxtUseOptions(context.get(), XML_PARSE_NONET);
  context->_private = &probe;
  context->sax->serror = Quiet;
  context->sax->startDocument = ProbeEncoding;
  xmlParseDocument(context.get());
  return probe.AsItIs;
}

// A context over the bytes with this layer's options and message handlers; oCopied tells
// whether libxml2 holds its own copy of the bytes.
Context NewContext(const char* iBytes, std::size_t iSize, bool iUnicodeText, const char* iName,
                   ParseState& ioState, bool iExpand, bool& oCopied)
{
  Context context(QIRXMLInternal::NewTextContext(iBytes, iSize, iUnicodeText, oCopied),
                  xmlFreeParserCtxt);
  if (!context || !context->input || !context->sax) return Context(nullptr, xmlFreeParserCtxt);
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
  return context;
}

// Whether the parse read its input to the end: libxml2 stops quietly at a NUL after the
// document element, and what is left is an error.
bool ParsedToTheEnd(xmlParserCtxtPtr iContext, const ParseState& iState, const char* iName)
{
  xmlParserInputPtr input = iContext->input;
  const bool consumed = input && input->cur >= input->end &&
                        (!input->buf || !input->buf->raw || xmlBufUse(input->buf->raw) == 0);
  if (iContext->wellFormed && !consumed)
    Report(iState, std::string(iName) + ": text after the document");
  return consumed;
}

// The parse as it always was: libxml2 builds its tree, which is then copied.
HRESULT ParseToLibxmlTree(const char* iBytes, std::size_t iSize, bool iUnicodeText,
                          const char* iName, ParseState& ioState, bool iExpand,
                          std::string* ioCopied, std::unique_ptr<Tree>& oTree)
{
  bool copied = false;
  Context context = NewContext(iBytes, iSize, iUnicodeText, iName, ioState, iExpand, copied);
  if (ioCopied && copied) std::string().swap(*ioCopied);
  if (!context) return E_FAIL;
  xmlParseDocument(context.get());
  std::unique_ptr<xmlDoc, void (*)(xmlDocPtr)> document(context->myDoc, xmlFreeDoc);
  context->myDoc = nullptr;
  const bool consumed = ParsedToTheEnd(context.get(), ioState, iName);
  if (!document || !context->wellFormed || !consumed || ioState.Refused ||
      (ioState.Validate && !context->valid))
    return E_FAIL;
  oTree = std::make_unique<Tree>();
  return QIRXMLInternal::FromLibxml(document.release(), *oTree) ? S_OK : E_FAIL;
}

// The tree built straight from the parser's events; when validating, libxml2 builds and checks
// its own nodes beside it, as its tree parser does, and lets each go once checked. S_FALSE
// when the document needs libxml2's own tree builder.
HRESULT ParseToTree(const char* iBytes, std::size_t iSize, bool iUnicodeText, const char* iName,
                    ParseState& ioState, bool iExpand, std::string* ioCopied,
                    std::unique_ptr<Tree>& oTree)
{
  bool copied = false;
  Context context = NewContext(iBytes, iSize, iUnicodeText, iName, ioState, iExpand, copied);
  if (ioCopied && copied) std::string().swap(*ioCopied);
  if (!context) return E_FAIL;
  auto tree = std::make_unique<Tree>();
  SaxTarget target;
  target.Main = context.get();
  target.Content = tree.get();
  target.Current = tree->DocumentNode();
  target.Expand = iExpand;
  if (ioState.Validate)
    QIRXMLSaxTree::InstallValidating(*context->sax);
  else
    QIRXMLSaxTree::Install(*context->sax);
  std::vector<std::string> held;
  ioState.Target = &target;
  ioState.Held = &held;
  xmlParseDocument(context.get());
  ioState.Target = nullptr;
  ioState.Held = nullptr;
  // What is left of libxml2's document holds the declarations only.
  QIRXMLSaxTree::ReleaseNodes(target, context->myDoc);
  std::unique_ptr<xmlDoc, void (*)(xmlDocPtr)> holder(context->myDoc, xmlFreeDoc);
  context->myDoc = nullptr;
  if (target.NeedsTree) {
    ioState.Refused = false;
    return S_FALSE;
  }
  try {
    FlushText(target);
  } catch (...) {
    target.Failed = true;
  }
  for (const std::string& message : held) Report(ioState, message);
  const bool consumed = ParsedToTheEnd(context.get(), ioState, iName);
  if (!holder || !context->wellFormed || !consumed || ioState.Refused || target.Failed ||
      (ioState.Validate && !context->valid))
    return E_FAIL;
  if (holder->version) tree->Version = reinterpret_cast<const char*>(holder->version);
  tree->Standalone = holder->standalone;
  if (holder->intSubset || holder->extSubset) tree->SetDeclarations(holder.release());
  oTree = std::move(tree);
  return S_OK;
}

bool FitsOneParse(std::size_t iSize, const ParseState& iState, const char* iName)
{
  if (iSize > 0 && iSize <= INT_MAX) return true;
  Report(iState, std::string(iName) + ": no document");
  return false;
}

// Parses iSize bytes named iName. Unicode text is read as UTF-8 whatever it declares; a file
// follows its own declaration. A document with entities needs libxml2's tree; any other goes
// straight into ours, validated or not. The bytes of a file (ioFile) are let go once libxml2
// holds a copy (of a text it converts), and read again in the rare case of a second reading.
HRESULT ParseBytes(const char* iBytes, std::size_t iSize, bool iUnicodeText, const char* iName,
                   ParseState& ioState, bool iExpand, std::string* ioFile,
                   QIRIDOMDocument_var& oDocument)
{
  if (!FitsOneParse(iSize, ioState, iName)) return E_FAIL;
  std::unique_ptr<Tree> tree;
  HRESULT hr = S_FALSE;
  // Tests make the first reading give way, to compare the two.
  if (!QIRCallShouldFail("StreamedParse"))
    hr = ParseToTree(iBytes, iSize, iUnicodeText, iName, ioState, iExpand, ioFile, tree);
  if (hr == S_FALSE && ioFile && ioFile->empty()) {
    if (!QIRXMLInternal::ReadWholeFile(iName, *ioFile)) {
      Report(ioState, std::string(iName) + ": cannot be read");
      return E_FAIL;
    }
    iBytes = ioFile->data();
    iSize = ioFile->size();
    if (!FitsOneParse(iSize, ioState, iName)) return E_FAIL;
  }
  if (hr == S_FALSE)
    hr = ParseToLibxmlTree(iBytes, iSize, iUnicodeText, iName, ioState, iExpand, ioFile, tree);
  if (FAILED(hr)) return hr;
  tree->ReferencesKept = !iExpand;
  return QIRXMLInternal::WrapDocument(std::move(tree), oDocument);
}

// A relative system identifier in the file is looked for beside it.
HRESULT ParseFileBytes(const std::string& iPath, ParseState& ioState, bool iExpand,
                       QIRIDOMDocument_var& oDocument)
{
  std::string bytes;
  if (!QIRXMLInternal::ReadWholeFile(iPath.c_str(), bytes)) {
    Report(ioState, iPath + ": cannot be read");
    return E_FAIL;
  }
  const std::size_t slash = iPath.rfind('/');
  if (slash != std::string::npos) ioState.Directory = iPath.substr(0, slash == 0 ? 1 : slash);
  return ParseBytes(bytes.data(), bytes.size(), false, iPath.c_str(), ioState, iExpand, &bytes,
                    oDocument);
}

// Parse and ParseFile both come here, so nothing a parse throws leaves the builder and a
// failed parse hands out no document.
HRESULT ParseSource(bool iIsFile, const QIRUnicodeString& iText, const QIRUnicodeString& iName,
                    const QIRListValQIRUnicodeString& iOptionNames,
                    const QIRListValQIRUnicodeString& iOptionValues,
                    const QIRISAXEntityResolver_var& iResolver,
                    const QIRISAXErrorHandler_var& iHandler, QIRIDOMDocument_var& oDocument)
{
  const HRESULT hr = QIRGuarded([&] {
    SetUpOnce();
    ParseState state;
    state.Resolver = iResolver.get();
    state.Handler = iHandler.get();
    state.Validate = IsOptionOn(iOptionNames, iOptionValues, "QIRDoValidation");
    const bool expand = IsOptionOn(iOptionNames, iOptionValues, "QIRExpandEntityReferences");
    const ActiveParse active(&state);
    return iIsFile ? ParseFileBytes(iText.ConvertToChar(), state, expand, oDocument)
                   : ParseBytes(iText.ConvertToChar(), iText.GetLengthInByte(), true,
                                iName.ConvertToChar(), state, expand, nullptr, oDocument);
  });
  if (FAILED(hr)) oDocument = NULL_var;
  return hr;
}

// Text in another encoding back into UTF-8, so that the string holds the same characters.
bool DecodeToUTF8(const std::string& iEncoding, const xmlChar* iText, int iSize,
                  QIRUnicodeString& oText)
{
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

// The document's text in iEncoding, indented, appended to oBytes; false for an unknown
// encoding or for a text longer than the readers take (INT_MAX bytes).
bool Serialise(Tree& iTree, const std::string& iEncoding, QIRXMLInternal::TextOut& oBytes)
{
  if (IsUTF8(iEncoding)) {
    QIRXMLInternal::WriteTree(iTree, iEncoding.c_str(), oBytes);
    return oBytes.size() <= INT_MAX;
  }
  // Other encodings are rare: libxml2 writes them, escaping what they cannot hold.
  xmlCharEncodingHandlerPtr handler = xmlFindCharEncodingHandler(iEncoding.c_str());
  if (!handler) return false;  // checked first: libxml2 would complain on stderr
  xmlCharEncCloseFunc(handler);
  std::unique_ptr<xmlDoc, void (*)(xmlDocPtr)> copy(QIRXMLInternal::ToLibxml(iTree), xmlFreeDoc);
  if (!copy) return false;
  xmlChar* text = nullptr;
  int size = 0;
  xmlDocDumpFormatMemoryEnc(copy.get(), &text, &size, iEncoding.c_str(), 1);
  XmlText owned(text, xmlFree);
  if (!text || size < 0) return false;
  oBytes.append(reinterpret_cast<const char*>(text), static_cast<std::size_t>(size));
  return true;
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
                          const QIRISAXErrorHandler_var& iHandler)
{
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
                              const QIRISAXErrorHandler_var& iHandler)
{
  oDocument = NULL_var;
  if (iPath.IsNull()) return E_FAIL;
  return ParseSource(true, iPath, iPath, iOptionNames, iOptionValues, iResolver, iHandler,
                     oDocument);
}

HRESULT DomBuilder::GetDOMImplementation(QIRIDOMImplementation_var& oImplementation)
{
  HRESULT hr = E_FAIL;
  oImplementation = NULL_var;
  return QIRGuarded([&] {
    if (QIRCallShouldFail("GetDOMImplementation")) return hr;
    oImplementation.Attach(QIRXMLInternal::NewImplementation());
    return S_OK;
  });
}

HRESULT DomBuilder::WriteToString(const QIRIDOMDocument_var& iDocument, QIRUnicodeString& oText,
                                  const QIRListValQIRUnicodeString& iOptionNames,
                                  const QIRListValQIRUnicodeString& iOptionValues)
{
  HRESULT hr = E_FAIL;
  Tree* tree = QIRXMLInternal::TreeOf(iDocument);
  if (!tree) return hr;
  return QIRGuarded([&] {
    if (QIRCallShouldFail("WriteToString")) return hr;
    const std::string encoding = EncodingOption(iOptionNames, iOptionValues);
    QIRXMLInternal::TextOut text;
    if (!Serialise(*tree, encoding, text)) return hr;
    if (IsUTF8(encoding)) {
      hr = oText.BuildFromUTF8(text.data(), text.size());
    } else if (!DecodeToUTF8(encoding, reinterpret_cast<const xmlChar*>(text.data()),
                             static_cast<int>(text.size()), oText)) {
      hr = E_FAIL;
    } else {
      hr = S_OK;
    }
    return hr;
  });
}

HRESULT DomBuilder::WriteToFile(const QIRIDOMDocument_var& iDocument, const QIRUnicodeString& iPath,
                                const QIRListValQIRUnicodeString& iOptionNames,
                                const QIRListValQIRUnicodeString& iOptionValues)
{
  HRESULT hr = E_FAIL;
  Tree* tree = QIRXMLInternal::TreeOf(iDocument);
  if (!tree || iPath.IsNull()) return hr;
  return QIRGuarded([&] {
    if (QIRCallShouldFail("WriteToFile")) return hr;
    QIRXMLInternal::TextOut text;
    if (!Serialise(*tree, EncodingOption(iOptionNames, iOptionValues), text)) return hr;
    hr = QIRWriteFileAtomically(iPath.ConvertToChar(), text.data(), text.size());
    return hr;
  });
}

}  // namespace

xmlParserInputPtr QIRXMLInternal::InputOverBytes(xmlParserCtxtPtr iContext,
                                                 const std::string& iBytes,
                                                 const std::string& iName)
{
  if (iBytes.size() > INT_MAX) return nullptr;
  xmlParserInputBufferPtr buffer = xmlParserInputBufferCreateMem(
      iBytes.data(), static_cast<int>(iBytes.size()), XML_CHAR_ENCODING_NONE);
  if (!buffer) return nullptr;
  xmlParserInputPtr input = xmlNewIOInputStream(iContext, buffer, XML_CHAR_ENCODING_NONE);
  if (!input) {
    xmlFreeParserInputBuffer(buffer);
    return nullptr;
  }
  input->filename =
      reinterpret_cast<char*>(xmlStrdup(reinterpret_cast<const xmlChar*>(iName.c_str())));
  return input;
}

HRESULT QIRXMLDirect::WriteUTF8(const QIRIDOMDocument_var& iDocument,
                                std::vector<unsigned char>& oBytes)
{
  HRESULT hr = E_FAIL;
  Tree* tree = QIRXMLInternal::TreeOf(iDocument);
  if (!tree) return hr;
  return QIRGuarded([&] {
    if (QIRCallShouldFail("WriteToString")) return hr;
    QIRXMLInternal::TextOut text;
    if (!Serialise(*tree, "UTF-8", text)) return hr;
    oBytes = std::move(text.Bytes());
    return S_OK;
  });
}

HRESULT QIRXMLDirect::ParseUTF8(const char* iBytes, std::size_t iSize, const char* iName,
                                bool iValidate, bool iExpand,
                                const QIRISAXEntityResolver_var& iResolver,
                                const QIRISAXErrorHandler_var& iHandler,
                                QIRIDOMDocument_var& oDocument)
{
  oDocument = NULL_var;
  const HRESULT hr = QIRGuarded([&] {
    // The input over the caller's bytes stands for the buffer source a caller would make.
    if (QIRCallShouldFail("CreateInputSourceFromBuffer")) return E_FAIL;
    if (!iBytes || QIRUTF8::ValidPrefix(iBytes, iSize) != iSize) return E_FAIL;
    SetUpOnce();
    ParseState state;
    state.Resolver = iResolver.get();
    state.Handler = iHandler.get();
    state.Validate = iValidate;
    const ActiveParse active(&state);
    return ParseBytes(iBytes, iSize, true, iName, state, iExpand, nullptr, oDocument);
  });
  if (FAILED(hr)) oDocument = NULL_var;
  return hr;
}

xmlParserCtxtPtr QIRXMLInternal::NewTextContext(const char* iBytes, std::size_t iSize,
                                                bool iUnicodeText, bool& oCopied)
{
  oCopied = false;
  if (!iBytes || iSize == 0 || iSize > INT_MAX) return nullptr;
  if (!iUnicodeText && !ReadsAsItIs(iBytes, iSize)) {
    oCopied = true;
    return xmlCreateMemoryParserCtxt(iBytes, static_cast<int>(iSize));
  }
  // An input without a buffer, as libxml2 makes for a string (xmlCtxtReadDoc). libxml2 2.9
  // holds buffered input to the lookahead limit of streamed input: near the end of its buffer
  // it stops ("Huge input lookup") once 10,000,000 bytes lie behind, so that a large document
  // whose last start tag is long fails. A string it reads to the end, limits otherwise alike.
  xmlParserCtxtPtr context = xmlNewParserCtxt();
  if (!context) return nullptr;
  xmlParserInputPtr input = xmlNewInputStream(context);
  if (!input) {
    xmlFreeParserCtxt(context);
    return nullptr;
  }
  input->base = reinterpret_cast<const xmlChar*>(iBytes);
  input->cur = input->base;
  input->end = input->base + iSize;
  input->length = static_cast<int>(iSize);
  if (inputPush(context, input) < 0) {  // which has freed the input
    xmlFreeParserCtxt(context);
    return nullptr;
  }
  return context;
}

const IID IID_QIRIXMLDOMDocumentBuilder = {"QIRIXMLDOMDocumentBuilder",
                                           &QIRCastTo<QIRIXMLDOMDocumentBuilder>};
const QIRCLSID CLSID_QIRXMLDOMDocumentBuilder = {"QIRXMLDOMDocumentBuilder"};

HRESULT CreateQIRIXMLDOMDocumentBuilder(QIRIXMLDOMDocumentBuilder_var& oBuilder,
                                        const QIRCLSID& iClassId)
{
  HRESULT hr = E_FAIL;
  oBuilder = NULL_var;
  if (!iClassId.Name || std::strcmp(iClassId.Name, CLSID_QIRXMLDOMDocumentBuilder.Name) != 0)
    return hr;
  return QIRGuarded([&] {
    if (QIRCallShouldFail("CreateQIRIXMLDOMDocumentBuilder")) return hr;
    SetUpOnce();
    oBuilder.Attach(new DomBuilder);
    return S_OK;
  });
}
