#include "QIRXMLSaxTree.h"

#include <libxml/SAX2.h>
#include <libxml/tree.h>

// libxml2 validates as it builds its own tree, reading its own nodes: a validated parse lets it
// build them beside ours with the very calls its tree parser makes, so that it accepts, refuses
// and reports exactly as that parser does. What its checks no longer read is freed as the parse
// goes, so its tree never grows beyond the open elements and their children.

namespace QIRXMLSaxTree {

namespace {

// The handlers that build our tree, as Install sets them.
const xmlSAXHandler& TreeHandlers()
{
  static const xmlSAXHandler handlers = [] {
    xmlSAXHandler built = {};
    Install(built);
    return built;
  }();
  return handlers;
}

// The declared type that validation gave the attribute.
unsigned int TypeOf(xmlAttrPtr iAttribute)
{
#ifdef XML_ATTR_GET_ATYPE
  return XML_ATTR_GET_ATYPE(iAttribute);
#else
  return iAttribute->atype;
#endif
}

// An identifier, or a reference, lives to the end of the parse: libxml2's tables point at it
// and read it when the document ends. Any other attribute goes at once.
void LetGo(SaxTarget& ioTarget, xmlAttrPtr iFirst)
{
  while (iFirst) {
    xmlAttrPtr attribute = iFirst;
    iFirst = iFirst->next;
    const unsigned int type = TypeOf(attribute);
    if (type != XML_ATTRIBUTE_ID && type != XML_ATTRIBUTE_IDREF && type != XML_ATTRIBUTE_IDREFS) {
      xmlFreeProp(attribute);
      continue;
    }
    // Its element and namespaces go before it; libxml2 reads neither when the document ends
    // (the message of an unknown identifier names the attribute and the value only).
    attribute->parent = nullptr;
    attribute->ns = nullptr;
    attribute->prev = nullptr;
    attribute->next = ioTarget.Kept;
    ioTarget.Kept = attribute;
  }
}

// Once an element is validated, only its name is read again (by its parent's check).
void Prune(SaxTarget& ioTarget, xmlNodePtr iElement)
{
  xmlNodePtr children = iElement->children;
  iElement->children = iElement->last = nullptr;
  xmlFreeNodeList(children);
  xmlAttrPtr attributes = iElement->properties;
  iElement->properties = nullptr;
  LetGo(ioTarget, attributes);
}

void OnStartElement(void* iContext, const xmlChar* iLocal, const xmlChar* iPrefix,
                    const xmlChar* iUri, int iNamespaceCount, const xmlChar** iNamespaces,
                    int iAttributeCount, int iDefaultedCount, const xmlChar** iAttributes)
{
  // Events of a nested parse reach libxml2 through our tree's handler.
  if (TargetOf(iContext))
    xmlSAX2StartElementNs(iContext, iLocal, iPrefix, iUri, iNamespaceCount, iNamespaces,
                          iAttributeCount, iDefaultedCount, iAttributes);
  TreeHandlers().startElementNs(iContext, iLocal, iPrefix, iUri, iNamespaceCount, iNamespaces,
                                iAttributeCount, iDefaultedCount, iAttributes);
}

void OnEndElement(void* iContext, const xmlChar* iLocal, const xmlChar* iPrefix,
                  const xmlChar* iUri)
{
  SaxTarget* target = TargetOf(iContext);
  TreeHandlers().endElementNs(iContext, iLocal, iPrefix, iUri);
  if (!target) return;
  xmlNodePtr element = static_cast<xmlParserCtxtPtr>(iContext)->node;
  xmlSAX2EndElementNs(iContext, iLocal, iPrefix, iUri);  // validates the element's content
  if (element && element->type == XML_ELEMENT_NODE) Prune(*target, element);
}

void OnCharacters(void* iContext, const xmlChar* iText, int iSize)
{
  if (TargetOf(iContext)) xmlSAX2Characters(iContext, iText, iSize);
  TreeHandlers().characters(iContext, iText, iSize);
}

void OnCData(void* iContext, const xmlChar* iText, int iSize)
{
  if (TargetOf(iContext)) xmlSAX2CDataBlock(iContext, iText, iSize);
  TreeHandlers().cdataBlock(iContext, iText, iSize);
}

// Those of the subset and of nested parses reach libxml2 through our tree's handlers.
bool OursInContent(void* iContext)
{
  return TargetOf(iContext) && !static_cast<xmlParserCtxtPtr>(iContext)->inSubset;
}

void OnComment(void* iContext, const xmlChar* iText)
{
  if (OursInContent(iContext)) xmlSAX2Comment(iContext, iText);
  TreeHandlers().comment(iContext, iText);
}

void OnInstruction(void* iContext, const xmlChar* iTarget, const xmlChar* iData)
{
  if (OursInContent(iContext)) xmlSAX2ProcessingInstruction(iContext, iTarget, iData);
  TreeHandlers().processingInstruction(iContext, iTarget, iData);
}

}  // namespace

void InstallValidating(xmlSAXHandler& ioHandler)
{
  Install(ioHandler);
  ioHandler.startElementNs = OnStartElement;
  ioHandler.endElementNs = OnEndElement;
  // One function for both, as in libxml2's own handler: blanks are not told apart.
  ioHandler.characters = OnCharacters;
  ioHandler.ignorableWhitespace = OnCharacters;
  ioHandler.cdataBlock = OnCData;
  ioHandler.comment = OnComment;
  ioHandler.processingInstruction = OnInstruction;
}

void ReleaseNodes(SaxTarget& ioTarget, xmlDocPtr iDocument)
{
  // Attributes first: freeing one takes its identifier out of the document's table.
  while (ioTarget.Kept) {
    xmlAttrPtr next = ioTarget.Kept->next;
    xmlFreeProp(ioTarget.Kept);
    ioTarget.Kept = next;
  }
  for (xmlNodePtr child = iDocument ? iDocument->children : nullptr; child;) {
    xmlNodePtr next = child->next;
    if (child->type != XML_DTD_NODE) {
      xmlUnlinkNode(child);
      xmlFreeNode(child);
    }
    child = next;
  }
}

}  // namespace QIRXMLSaxTree
