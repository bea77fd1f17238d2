#include "QIRXMLSaxTree.h"

#include <cstdint>
#include <cstring>
#include <libxml/SAX2.h>

namespace QIRXMLSaxTree {

void FlushText(SaxTarget& ioTarget)
{
  if (!ioTarget.HasPending) return;
  Tree& tree = *ioTarget.Content;
  Node* text = tree.NewNode(ioTarget.PendingKind, nullptr, 0);
  const std::string& pending = ioTarget.Pending;
  // Indentation repeats all through a document: it is kept once.
  const bool blank =
      pending.size() <= 64 && pending.find_first_not_of(" \t\r\n") == std::string::npos;
  text->Value = blank ? tree.Share(pending.data(), pending.size())
                      : tree.Copy(pending.data(), pending.size());
  Tree::Append(ioTarget.Current, text);
  ioTarget.Pending.clear();
  ioTarget.HasPending = false;
}

namespace {

void Abandon(SaxTarget& ioTarget, bool iNeedsTree)
{
  if (iNeedsTree)
    ioTarget.NeedsTree = true;
  else
    ioTarget.Failed = true;
  xmlStopParser(ioTarget.Main);
}

void AddText(SaxTarget& ioTarget, NodeKind iKind, const xmlChar* iText, int iSize)
{
  if (ioTarget.PendingKind != iKind) FlushText(ioTarget);
  ioTarget.PendingKind = iKind;
  ioTarget.HasPending = true;
  ioTarget.Pending.append(reinterpret_cast<const char*>(iText), static_cast<std::size_t>(iSize));
}

const std::string& QualifiedName(SaxTarget& ioTarget, const xmlChar* iPrefix, const xmlChar* iLocal)
{
  ioTarget.Name.clear();
  if (iPrefix) ioTarget.Name.append(reinterpret_cast<const char*>(iPrefix)).append(":");
  ioTarget.Name.append(reinterpret_cast<const char*>(iLocal));
  return ioTarget.Name;
}

// The tree's name for a prefix and local name of libxml2's dictionary.
const char* TreeName(SaxTarget& ioTarget, const xmlChar* iPrefix, const xmlChar* iLocal)
{
  if (iPrefix) {
    const std::string& name = QualifiedName(ioTarget, iPrefix, iLocal);
    return ioTarget.Content->Intern(name.data(), name.size());
  }
  const std::size_t slot = (reinterpret_cast<std::uintptr_t>(iLocal) >> 3) % SaxTarget::kNames;
  if (ioTarget.NameKeys[slot] == iLocal) return ioTarget.NameValues[slot];
  const char* local = reinterpret_cast<const char*>(iLocal);
  const char* name = ioTarget.Content->Intern(local, std::strlen(local));
  ioTarget.NameKeys[slot] = iLocal;
  ioTarget.NameValues[slot] = name;
  return name;
}

// Without entity replacement libxml2 hands "&" over as "&#38;" and entity references as
// written; the first is undone here, the second is left to the tree builder. oValue points
// at the value, in the input or in the target's buffer.
bool PlainValue(SaxTarget& ioTarget, const char* iBegin, const char* iEnd, const char*& oValue,
                std::size_t& oSize)
{
  const std::size_t size = static_cast<std::size_t>(iEnd - iBegin);
  oValue = iBegin;
  oSize = size;
  if (ioTarget.Expand || !std::memchr(iBegin, '&', size)) return true;
  std::string& plain = ioTarget.Value;
  plain.clear();
  for (const char* at = iBegin; at < iEnd; ++at) {
    if (*at != '&') {
      plain += *at;
    } else if (iEnd - at >= 5 && std::memcmp(at, "&#38;", 5) == 0) {
      plain += '&';
      at += 4;
    } else {
      return false;
    }
  }
  oValue = plain.data();
  oSize = plain.size();
  return true;
}

void OnStartElement(void* iContext, const xmlChar* iLocal, const xmlChar* iPrefix,
                    const xmlChar* iUri, int iNamespaceCount, const xmlChar** iNamespaces,
                    int iAttributeCount, int iDefaultedCount, const xmlChar** iAttributes)
{
  SaxTarget* target = TargetOf(iContext);
  if (!target) {
    xmlSAX2StartElementNs(iContext, iLocal, iPrefix, iUri, iNamespaceCount, iNamespaces,
                          iAttributeCount, iDefaultedCount, iAttributes);
    return;
  }
  try {
    FlushText(*target);
    Tree& tree = *target->Content;
    Node* element = tree.NewNode(NodeKind::Element, nullptr, 0);
    element->Name = TreeName(*target, iPrefix, iLocal);
    element->InNamespace = iUri != nullptr;
    QIRXMLInternal::Attribute* last = nullptr;
    for (int i = 0; i < iNamespaceCount; ++i) {
      const xmlChar* const* declared = iNamespaces + 2 * static_cast<std::size_t>(i);
      const xmlChar* prefix = declared[0];
      const char* uri = reinterpret_cast<const char*>(declared[1]);
      const std::string& declaration =
          QualifiedName(*target, prefix ? reinterpret_cast<const xmlChar*>("xmlns") : nullptr,
                        prefix ? prefix : reinterpret_cast<const xmlChar*>("xmlns"));
      last = tree.AddAttribute(element, last, tree.Intern(declaration.data(), declaration.size()),
                               uri ? uri : "", uri ? std::strlen(uri) : 0, true);
    }
    // Defaults come last; like libxml2's tree, the element keeps only what was written and
    // the declarations answer for the rest. The parser has refused repeated names.
    for (int i = 0; i < iAttributeCount - iDefaultedCount; ++i) {
      const xmlChar** attribute = iAttributes + 5 * static_cast<std::size_t>(i);
      const char* value = nullptr;
      std::size_t size = 0;
      if (!PlainValue(*target, reinterpret_cast<const char*>(attribute[3]),
                      reinterpret_cast<const char*>(attribute[4]), value, size)) {
        Abandon(*target, true);
        return;
      }
      last = tree.AddAttribute(element, last, TreeName(*target, attribute[1], attribute[0]), value,
                               size, false);
    }
    Tree::Append(target->Current, element);
    target->Current = element;
  } catch (...) {
    Abandon(*target, false);
  }
}

void OnEndElement(void* iContext, const xmlChar* iLocal, const xmlChar* iPrefix,
                  const xmlChar* iUri)
{
  SaxTarget* target = TargetOf(iContext);
  if (!target) {
    xmlSAX2EndElementNs(iContext, iLocal, iPrefix, iUri);
    return;
  }
  try {
    FlushText(*target);
    if (target->Current->Parent) target->Current = target->Current->Parent;
  } catch (...) {
    Abandon(*target, false);
  }
}

// Text and sections alike: ours into the tree, those of a nested parse to libxml2.
template <NodeKind Kind, void (*Nested)(void*, const xmlChar*, int)>
void OnText(void* iContext, const xmlChar* iText, int iSize)
{
  SaxTarget* target = TargetOf(iContext);
  if (!target) {
    Nested(iContext, iText, iSize);
    return;
  }
  try {
    AddText(*target, Kind, iText, iSize);
  } catch (...) {
    Abandon(*target, false);
  }
}

void AddLeaf(SaxTarget& ioTarget, NodeKind iKind, const xmlChar* iName, const xmlChar* iValue)
{
  FlushText(ioTarget);
  const char* name = reinterpret_cast<const char*>(iName);
  const char* value = reinterpret_cast<const char*>(iValue);
  Node* node = ioTarget.Content->NewNode(iKind, name, name ? std::strlen(name) : 0);
  if (value) node->Value = ioTarget.Content->Copy(value, std::strlen(value));
  Tree::Append(ioTarget.Current, node);
}

void OnComment(void* iContext, const xmlChar* iText)
{
  SaxTarget* target = TargetOf(iContext);
  // Inside the internal subset a comment belongs to the declarations.
  if (!target || static_cast<xmlParserCtxtPtr>(iContext)->inSubset) {
    xmlSAX2Comment(iContext, iText);
    return;
  }
  try {
    AddLeaf(*target, NodeKind::Comment, nullptr, iText);
  } catch (...) {
    Abandon(*target, false);
  }
}

void OnInstruction(void* iContext, const xmlChar* iTarget, const xmlChar* iData)
{
  SaxTarget* target = TargetOf(iContext);
  if (!target || static_cast<xmlParserCtxtPtr>(iContext)->inSubset) {
    xmlSAX2ProcessingInstruction(iContext, iTarget, iData);
    return;
  }
  try {
    AddLeaf(*target, NodeKind::Instruction, iTarget, iData);
  } catch (...) {
    Abandon(*target, false);
  }
}

void OnInternalSubset(void* iContext, const xmlChar* iName, const xmlChar* iPublicId,
                      const xmlChar* iSystemId)
{
  xmlSAX2InternalSubset(iContext, iName, iPublicId, iSystemId);
  SaxTarget* target = TargetOf(iContext);
  if (!target) return;
  try {
    AddLeaf(*target, NodeKind::DocumentType, iName ? iName : BAD_CAST "", nullptr);
  } catch (...) {
    Abandon(*target, false);
  }
}

void OnEntityDeclaration(void* iContext, const xmlChar* iName, int iType, const xmlChar* iPublicId,
                         const xmlChar* iSystemId, xmlChar* iContent)
{
  xmlSAX2EntityDecl(iContext, iName, iType, iPublicId, iSystemId, iContent);
  if (SaxTarget* target = TargetOf(iContext)) Abandon(*target, true);
}

void OnUnparsedEntity(void* iContext, const xmlChar* iName, const xmlChar* iPublicId,
                      const xmlChar* iSystemId, const xmlChar* iNotation)
{
  xmlSAX2UnparsedEntityDecl(iContext, iName, iPublicId, iSystemId, iNotation);
  if (SaxTarget* target = TargetOf(iContext)) Abandon(*target, true);
}

void OnReference(void* iContext, const xmlChar* iName)
{
  SaxTarget* target = TargetOf(iContext);
  if (!target) {
    xmlSAX2Reference(iContext, iName);
    return;
  }
  Abandon(*target, true);
}

}  // namespace

void Install(xmlSAXHandler& ioHandler)
{
  ioHandler.startElementNs = OnStartElement;
  ioHandler.endElementNs = OnEndElement;
  ioHandler.characters = OnText<NodeKind::Text, xmlSAX2Characters>;
  ioHandler.ignorableWhitespace = OnText<NodeKind::Text, xmlSAX2Characters>;
  ioHandler.cdataBlock = OnText<NodeKind::CData, xmlSAX2CDataBlock>;
  ioHandler.comment = OnComment;
  ioHandler.processingInstruction = OnInstruction;
  ioHandler.internalSubset = OnInternalSubset;
  ioHandler.entityDecl = OnEntityDeclaration;
  ioHandler.unparsedEntityDecl = OnUnparsedEntity;
  ioHandler.reference = OnReference;
}

}  // namespace QIRXMLSaxTree
