// A job document loads from a stream exactly when libxml2's tree parser, set up as the library
// sets it up, accepts the same bytes: however the document is held in memory, no text may
// become loadable or stop being loadable. Checked without and with validation.
//
// The reference parse below is that setup, kept here on purpose rather than shared with the
// library: options (those the library has always used, never XML_PARSE_HUGE), encoding, the
// text read where it lies as libxml2 reads a string, the only external resource ever read (the
// document type definition of a validated load, through the resolver or as a local file) and
// the refusal of every other external entity.

#include "QIREdsXMLParser.h"
#include "QIRSequenceOctet.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/uri.h>
#include <libxml/xmlIO.h>
#include <memory>
#include <string>

namespace {
// The definition a validated load asks for; the resolver finds it along QIRDictionaryPath.
const char kDTDName[] = "EdsJobs.dtd";

// One reference parse, as the entity loader and the external-subset callback see it.
struct Reference {
  bool Validate = false;
  bool SubsetPending = false;  // only while libxml2 asks for the external subset
  bool Refused = false;        // an external resource was asked for and not given
  std::string SubsetSystemId;
  std::string SubsetBytes;  // outlives the parse
};
Reference* gReference = nullptr;

typedef std::unique_ptr<xmlChar, void (*)(void*)> XmlText;

void Fail(const char* iWhat, bool iValidate)
{
  std::fprintf(stderr, "fuzz_load_agreement: %s (%s)\n", iWhat,
               iValidate ? "validated" : "not validated");
  std::abort();
}

bool ReadFile(const std::string& iPath, std::string& oBytes)
{
  oBytes.clear();
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(iPath.c_str(), "rb"),
                                                       &std::fclose);
  if (!file) return false;
  char chunk[65536];
  std::size_t count = 0;
  while ((count = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) oBytes.append(chunk, count);
  return std::ferror(file.get()) == 0;
}

// A system identifier read as a local path from the working directory: file: URLs unescaped,
// any other scheme refused.
bool LocalPath(const std::string& iSystemId, std::string& oPath)
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
  oPath = path;
  return true;
}

// The named definition comes from the dictionary directory and nowhere else; any other system
// identifier is tried as a local file.
bool ReadSubset(Reference& ioReference)
{
  if (ioReference.SubsetSystemId == kDTDName)
    return ReadFile(std::string(QIREDS_FUZZ_DTD_DIR) + "/" + kDTDName, ioReference.SubsetBytes);
  std::string path;
  return LocalPath(ioReference.SubsetSystemId, path) && ReadFile(path, ioReference.SubsetBytes);
}

xmlParserInputPtr ServeSubset(Reference& ioReference, xmlParserCtxtPtr iContext)
{
  if (!iContext || iContext->_private != &ioReference || !ioReference.SubsetPending) return nullptr;
  ioReference.SubsetPending = false;
  if (!ReadSubset(ioReference) || ioReference.SubsetBytes.size() > INT_MAX) return nullptr;
  xmlParserInputBufferPtr buffer = xmlParserInputBufferCreateMem(
      ioReference.SubsetBytes.data(), static_cast<int>(ioReference.SubsetBytes.size()),
      XML_CHAR_ENCODING_NONE);
  if (!buffer) return nullptr;
  xmlParserInputPtr input = xmlNewIOInputStream(iContext, buffer, XML_CHAR_ENCODING_NONE);
  if (!input) {
    xmlFreeParserInputBuffer(buffer);
    return nullptr;
  }
  input->filename = reinterpret_cast<char*>(
      xmlStrdup(reinterpret_cast<const xmlChar*>(ioReference.SubsetSystemId.c_str())));
  return input;
}

xmlParserInputPtr LoadExternal(const char* /*iUrl*/, const char* /*iId*/, xmlParserCtxtPtr iContext)
{
  if (!gReference) return nullptr;
  xmlParserInputPtr input = ServeSubset(*gReference, iContext);
  if (!input) gReference->Refused = true;
  return input;
}

void OnExternalSubset(void* iContext, const xmlChar* iName, const xmlChar* iPublicId,
                      const xmlChar* iSystemId)
{
  if (!gReference || !gReference->Validate) return;
  gReference->SubsetSystemId = iSystemId ? reinterpret_cast<const char*>(iSystemId) : "";
  gReference->SubsetPending = true;
  xmlSAX2ExternalSubset(iContext, iName, iPublicId, iSystemId);
  gReference->SubsetPending = false;
}

void Quiet(void*, xmlErrorPtr) {}
void QuietValidity(void*, const char*, ...) {}

// Our loader for the length of one reference parse only: the library's own loader, whatever it
// is, neither serves nor sees it.
class ReferenceScope {
 public:
  explicit ReferenceScope(Reference& ioReference) : _former(xmlGetExternalEntityLoader())
  {
    gReference = &ioReference;
    xmlSetExternalEntityLoader(LoadExternal);
  }
  ~ReferenceScope()
  {
    xmlSetExternalEntityLoader(_former);
    gReference = nullptr;
  }
  ReferenceScope(const ReferenceScope&) = delete;
  ReferenceScope& operator=(const ReferenceScope&) = delete;

 private:
  xmlExternalEntityLoader _former;
};

// Stream text is UTF-8 whatever it declares, entity references are left unexpanded, nothing
// comes from the network, and text after the document element (libxml2 stops quietly at a NUL)
// is an error. The text is an input without buffer, as libxml2 makes for a string
// (xmlCtxtReadDoc): libxml2 2.9 holds a buffered input to the lookahead limit of streamed
// input, refusing some documents over 10 MB ("Huge input lookup"), and a string to no such limit.
bool ReferenceAccepts(const std::uint8_t* iData, std::size_t iSize, bool iValidate)
{
  if (iSize == 0 || iSize > INT_MAX) return false;
  Reference reference;
  reference.Validate = iValidate;
  const ReferenceScope scope(reference);
  const std::string text(reinterpret_cast<const char*>(iData), iSize);  // and a 0 byte after
  std::unique_ptr<xmlParserCtxt, void (*)(xmlParserCtxtPtr)> context(xmlNewParserCtxt(),
                                                                     xmlFreeParserCtxt);
  if (!context || !context->sax) return false;
  xmlParserInputPtr string = xmlNewInputStream(context.get());
  if (!string) return false;
  string->base = reinterpret_cast<const xmlChar*>(text.data());
  string->cur = string->base;
  string->end = string->base + iSize;
  string->length = static_cast<int>(iSize);
  if (inputPush(context.get(), string) < 0) return false;
  int options = XML_PARSE_NONET | XML_PARSE_IGNORE_ENC;
  if (iValidate) options |= XML_PARSE_DTDLOAD | XML_PARSE_DTDVALID;
  xmlCtxtUseOptions(context.get(), options);
  context->_private = &reference;
  context->sax->serror = Quiet;
  context->sax->externalSubset = OnExternalSubset;
  context->vctxt.error = QuietValidity;
  context->vctxt.warning = QuietValidity;
  context->encoding = xmlStrdup(reinterpret_cast<const xmlChar*>("UTF-8"));
  if (!context->input->filename)
    context->input->filename =
        reinterpret_cast<char*>(xmlStrdup(reinterpret_cast<const xmlChar*>("Buffer")));

  xmlParseDocument(context.get());
  const std::unique_ptr<xmlDoc, void (*)(xmlDocPtr)> tree(context->myDoc, xmlFreeDoc);
  context->myDoc = nullptr;
  const xmlParserInputPtr input = context->input;
  const bool consumed = input && input->cur >= input->end &&
                        (!input->buf || !input->buf->raw || xmlBufUse(input->buf->raw) == 0);
  return tree && context->wellFormed && consumed && !reference.Refused &&
         (!iValidate || context->valid);
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  setenv("QIRDictionaryPath", QIREDS_FUZZ_DTD_DIR, 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* iData, std::size_t iSize)
{
  const _SEQUENCE_octet stream(static_cast<unsigned int>(iSize), iSize ? iData : nullptr);
  // One object loads twice: what the first load left behind must not sway the second.
  QIREdsXMLParser parser;
  for (const bool validate : {false, true}) {
    const bool loaded =
        SUCCEEDED(parser.LoadStream(&stream, validate ? 1 : 0, validate ? kDTDName : nullptr));
    if (loaded != ReferenceAccepts(iData, iSize, validate))
      Fail(loaded ? "loaded a text libxml2 refuses" : "refused a text libxml2 accepts", validate);
  }
  return 0;
}
