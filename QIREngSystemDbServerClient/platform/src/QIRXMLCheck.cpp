#include "QIRXMLCheck.h"

#include "QIRGuard.h"
#include "QIRXMLInternal.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <libxml/SAX2.h>
#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/valid.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlerror.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// One check as libxml2's callbacks see it: the first error wins, later ones are its echoes.
struct CheckState {
  std::string Path;
  std::string DefinitionPath;
  std::string DefinitionBytes;  // outlives the parse, however libxml2 holds its input
  bool DefinitionServed = false;
  bool Refused = false;  // an external entity was asked for
  std::string First;
};

typedef std::unique_ptr<xmlParserCtxt, void (*)(xmlParserCtxtPtr)> Context;
typedef std::unique_ptr<xmlDoc, void (*)(xmlDocPtr)> Tree;

Tree NoTree()
{
  return Tree(nullptr, xmlFreeDoc);
}

void Record(CheckState& ioState, const std::string& iWhere, int iLine, int iColumn,
            const std::string& iMessage)
{
  if (!ioState.First.empty()) return;
  std::string text = iWhere;
  if (iLine > 0) {
    text += ":" + std::to_string(iLine);
    if (iColumn > 0) text += ":" + std::to_string(iColumn);
  }
  text += ": ";
  for (const char c : iMessage) text += c == '\n' || c == '\r' ? ' ' : c;
  while (!text.empty() && text.back() == ' ') text.pop_back();
  ioState.First = text;
}

CheckState& StateOf(void* iContext)
{
  return *static_cast<CheckState*>(static_cast<xmlParserCtxtPtr>(iContext)->_private);
}

// On the parser context, which also carries the validity messages of its own validity context.
void OnError(void* iContext, xmlErrorPtr iError)
{
  if (!iContext || !iError || iError->level < XML_ERR_ERROR) return;
  try {
    CheckState& state = StateOf(iContext);
    const bool inDefinition =
        iError->file && !state.DefinitionPath.empty() && state.DefinitionPath == iError->file;
    // After the parse the context's position is the document's end; the node knows its line.
    xmlNodePtr node = static_cast<xmlNodePtr>(iError->node);
    const bool atNode = iError->domain == XML_FROM_VALID && node;
    Record(state, inDefinition ? state.DefinitionPath : state.Path,
           atNode ? static_cast<int>(xmlGetLineNo(node)) : iError->line, atNode ? 0 : iError->int2,
           iError->message ? iError->message : "error");
  } catch (...) {
  }
}

std::string SystemReason(const std::string& iPath, int iError)
{
  return iPath + ": " + std::strerror(iError);
}

// Non-blocking open, so that a FIFO without a writer fails instead of waiting; only regular
// files are read, and never more than iMaxBytes of them.
bool ReadBounded(const std::string& iPath, std::size_t iMaxBytes, std::string& oBytes,
                 std::string& oReason)
{
  const int file = open(iPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (file < 0) {
    oReason = SystemReason(iPath, errno);
    return false;
  }
  const std::unique_ptr<const int, void (*)(const int*)> closer(&file,
                                                                [](const int* f) { close(*f); });
  struct stat status;
  if (fstat(file, &status) != 0) {
    oReason = SystemReason(iPath, errno);
    return false;
  }
  const std::string tooLarge = iPath + ": larger than " + std::to_string(iMaxBytes) + " bytes";
  if (S_ISDIR(status.st_mode)) {
    oReason = SystemReason(iPath, EISDIR);
    return false;
  }
  if (!S_ISREG(status.st_mode)) {
    oReason = iPath + ": not a regular file";
    return false;
  }
  if (static_cast<unsigned long long>(status.st_size) > iMaxBytes) {
    oReason = tooLarge;
    return false;
  }
  oBytes.clear();
  char buffer[65536];
  for (;;) {
    const ssize_t count = read(file, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) {
      oReason = SystemReason(iPath, errno);
      return false;
    }
    if (count == 0) return true;
    // The file may grow while it is read.
    if (oBytes.size() + static_cast<std::size_t>(count) > iMaxBytes) {
      oReason = tooLarge;
      return false;
    }
    oBytes.append(buffer, static_cast<std::size_t>(count));
  }
}

void RefuseEntity(CheckState& ioState, xmlParserCtxtPtr iContext, const std::string& iName)
{
  ioState.Refused = true;
  xmlParserInputPtr input = iContext->input;
  Record(ioState, input && input->filename ? input->filename : ioState.Path,
         input ? input->line : 0, input ? input->col : 0,
         "external entity '" + iName + "' is not loaded");
}

// Kept as a reference rather than expanded, an external entity is caught here, where its
// position in the document is still known.
void OnReference(void* iContext, const xmlChar* iName)
{
  xmlParserCtxtPtr context = static_cast<xmlParserCtxtPtr>(iContext);
  try {
    xmlEntityPtr entity =
        context->myDoc && iName ? xmlGetDocEntity(context->myDoc, iName) : nullptr;
    if (entity && (entity->etype == XML_EXTERNAL_GENERAL_PARSED_ENTITY ||
                   entity->etype == XML_EXTERNAL_GENERAL_UNPARSED_ENTITY))
      RefuseEntity(StateOf(iContext), context, reinterpret_cast<const char*>(iName));
  } catch (...) {
  }
  xmlSAX2Reference(iContext, iName);
}

// The definition once, for the holder document that asks for it; nothing else, ever.
xmlParserInputPtr ServeDefinition(void* iContext, const xmlChar* /*iPublicId*/,
                                  const xmlChar* iSystemId)
{
  xmlParserCtxtPtr context = static_cast<xmlParserCtxtPtr>(iContext);
  CheckState& state = StateOf(iContext);
  try {
    if (state.DefinitionServed || state.DefinitionBytes.size() > INT_MAX) {
      RefuseEntity(state, context, iSystemId ? reinterpret_cast<const char*>(iSystemId) : "");
      return nullptr;
    }
    state.DefinitionServed = true;
    return QIRXMLInternal::InputOverBytes(context, state.DefinitionBytes, state.DefinitionPath);
  } catch (...) {
    return nullptr;
  }
}

xmlParserInputPtr RefuseAll(void* iContext, const xmlChar* /*iPublicId*/, const xmlChar* iSystemId)
{
  try {
    RefuseEntity(StateOf(iContext), static_cast<xmlParserCtxtPtr>(iContext),
                 iSystemId ? reinterpret_cast<const char*>(iSystemId) : "");
  } catch (...) {
  }
  return nullptr;
}

// An external parameter entity is read where it is referred to, through no callback of ours;
// left undeclared, it is never read.
void OnEntityDeclaration(void* iContext, const xmlChar* iName, int iType, const xmlChar* iPublicId,
                         const xmlChar* iSystemId, xmlChar* iContent)
{
  if (iType == XML_EXTERNAL_PARAMETER_ENTITY) {
    try {
      RefuseEntity(StateOf(iContext), static_cast<xmlParserCtxtPtr>(iContext),
                   std::string("%") + (iName ? reinterpret_cast<const char*>(iName) : ""));
    } catch (...) {
    }
    return;
  }
  xmlSAX2EntityDecl(iContext, iName, iType, iPublicId, iSystemId, iContent);
}

// Without entity substitution and without the external subset, so that nothing outside the
// bytes is read; the references that would need it are refused above.
// oContext outlives the parse for the validity context it holds.
Tree ParseBytes(const std::string& iBytes, const std::string& iName, CheckState& ioState,
                int iOptions, resolveEntitySAXFunc iServe, Context& oContext)
{
  bool copied = false;  // iBytes outlives the parse either way
  oContext.reset(QIRXMLInternal::NewTextContext(iBytes.data(), iBytes.size(), false, copied));
  Context& context = oContext;
  if (!context || !context->input || !context->sax) {
    Record(ioState, iName, 0, 0, "the parser cannot start");
    return NoTree();
  }
  xmlCtxtUseOptions(context.get(), XML_PARSE_NONET | iOptions);
  context->_private = &ioState;
  context->sax->serror = OnError;
  context->sax->reference = OnReference;
  context->sax->entityDecl = OnEntityDeclaration;
  context->sax->resolveEntity = iServe;
  if (context->input->filename) xmlFree(const_cast<char*>(context->input->filename));
  context->input->filename =
      reinterpret_cast<char*>(xmlStrdup(reinterpret_cast<const xmlChar*>(iName.c_str())));
  xmlParseDocument(context.get());
  Tree tree(context->myDoc, xmlFreeDoc);
  context->myDoc = nullptr;
  // libxml2 stops quietly at a NUL after the document element.
  xmlParserInputPtr input = context->input;
  const bool consumed = input && input->cur >= input->end &&
                        (!input->buf || !input->buf->raw || xmlBufUse(input->buf->raw) == 0);
  if (context->wellFormed && !consumed)
    Record(ioState, iName, input ? input->line : 0, input ? input->col : 0,
           "text after the document element");
  if (!tree || !context->wellFormed || !consumed || ioState.Refused) {
    Record(ioState, iName, 0, 0, "not well formed");
    return NoTree();
  }
  return tree;
}

// The definition read as the external subset of a one-element holder named like the
// document's root, since validation compares the two names.
Tree ParseDefinition(const xmlChar* iRootName, CheckState& ioState)
{
  const std::string name = reinterpret_cast<const char*>(iRootName);
  const std::string holder = "<!DOCTYPE " + name + " SYSTEM \"definition\"><" + name + "/>";
  Context context(nullptr, xmlFreeParserCtxt);
  Tree tree = ParseBytes(holder, ioState.DefinitionPath, ioState, XML_PARSE_DTDLOAD,
                         ServeDefinition, context);
  if (tree && (!tree->extSubset || !ioState.First.empty())) {
    Record(ioState, ioState.DefinitionPath, 0, 0, "not a document type definition");
    return NoTree();
  }
  return tree;
}

// Through the document's own parser context, whose validity context reports with positions.
bool IsValid(xmlParserCtxtPtr iContext, xmlDocPtr iDocument, xmlDtdPtr iDefinition,
             CheckState& ioState)
{
  // Checks against iDefinition alone, the document's internal subset set aside.
  if (xmlValidateDtd(&iContext->vctxt, iDocument, iDefinition) == 1 && ioState.First.empty())
    return true;
  Record(ioState, ioState.Path, 0, 0, "not valid against " + ioState.DefinitionPath);
  return false;
}

}  // namespace

HRESULT QIRCheckXMLFile(const char* iPath, const char* iDTDPath, std::size_t iMaxBytes,
                        QIRUnicodeString& oReason)
{
  HRESULT hr = E_FAIL;
  // Nothing the check does returns E_OUTOFMEMORY: it marks a body that raised.
  const HRESULT checked = QIRGuarded(
      [&] {
        if (!iPath) {
          oReason = "no file named";
          return hr;
        }
        const std::size_t maxBytes = iMaxBytes < INT_MAX ? iMaxBytes : INT_MAX;
        xmlInitParser();
        CheckState state;
        state.Path = iPath;
        std::string bytes, reason;
        if (!ReadBounded(state.Path, maxBytes, bytes, reason) ||
            (iDTDPath && !ReadBounded(iDTDPath, maxBytes, state.DefinitionBytes, reason))) {
          oReason = reason.c_str();
          return hr;
        }
        if (bytes.empty()) {
          oReason = (state.Path + ": empty file").c_str();
          return hr;
        }
        if (iDTDPath) state.DefinitionPath = iDTDPath;
        Context context(nullptr, xmlFreeParserCtxt);
        const Tree document = ParseBytes(bytes, state.Path, state, 0, RefuseAll, context);
        xmlNodePtr root = document ? xmlDocGetRootElement(document.get()) : nullptr;
        bool good = root != nullptr;
        if (good && iDTDPath) {
          const Tree holder = ParseDefinition(root->name, state);
          good = holder && IsValid(context.get(), document.get(), holder->extSubset, state);
        }
        if (good) {
          hr = S_OK;
        } else {
          oReason = state.First.empty() ? (state.Path + ": not well formed").c_str()
                                        : state.First.c_str();
        }
        return hr;
      },
      E_OUTOFMEMORY);
  if (checked != E_OUTOFMEMORY) return checked;
  oReason = "out of memory";
  return E_FAIL;
}
