#ifndef QIRXMLSaxTree_H
#define QIRXMLSaxTree_H
// The tree built straight from libxml2's parser events; the parse in QIRXMLBuilder.cpp
// installs these handlers. Never included outside platform/src.

#include "QIRXMLTree.h"

#include <cstddef>
#include <libxml/parser.h>
#include <string>

namespace QIRXMLSaxTree {

using QIRXMLInternal::Node;
using QIRXMLInternal::NodeKind;
using QIRXMLInternal::Tree;

// The events of one parse, turned into the tree. A document that declares or refers to
// entities is left to libxml2's own tree builder (see ParseBytes): entity content is
// expanded, checked and bounded by the parser only when it builds the tree itself.
struct SaxTarget {
  xmlParserCtxtPtr Main = nullptr;  // events of nested parses (entity content) are not ours
  Tree* Content = nullptr;
  Node* Current = nullptr;
  bool Expand = false;  // attribute values come with their entities replaced
  bool NeedsTree = false;
  bool Failed = false;
  std::string Pending;  // text of consecutive events, one node as libxml2 makes it
  NodeKind PendingKind = NodeKind::Text;
  bool HasPending = false;  // an empty section is a node too
  std::string Name;         // reused for qualified names
  std::string Value;
  // libxml2 hands names over from its dictionary, one pointer a name: the tree's copy of
  // each is found again by that pointer.
  static const std::size_t kNames = 64;
  const xmlChar* NameKeys[kNames] = {};
  const char* NameValues[kNames] = {};
  // A validated parse: attributes that libxml2's tables of identifiers and references may
  // still read, taken off their freed elements and freed by ReleaseNodes.
  xmlAttrPtr Kept = nullptr;
};

// The target of the parse running on iContext; null for the events of a nested parse. The
// parse defines it, since only it knows where the target hangs.
SaxTarget* TargetOf(void* iContext);

// Points ioHandler's content events at the target of each parse.
void Install(xmlSAXHandler& ioHandler);
// Turns the text gathered so far into its node.
void FlushText(SaxTarget& ioTarget);

// As Install, and libxml2 builds its own nodes beside the tree, which its validation reads;
// each element's content and attributes are freed once the element is validated
// (QIRXMLSaxValidation.cpp).
void InstallValidating(xmlSAXHandler& ioHandler);
// After the parse: frees what is left of libxml2's nodes, the document type excepted, in
// iDocument (may be null) and in ioTarget.
void ReleaseNodes(SaxTarget& ioTarget, xmlDocPtr iDocument);

}  // namespace QIRXMLSaxTree

#endif
