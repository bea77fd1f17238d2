#include "QIRXMLTree.h"

#include <cstring>
#include <libxml/entities.h>
#include <libxml/valid.h>
#include <string>

namespace QIRXMLInternal {

namespace {

const char* AsChar(const xmlChar* iText)
{
  return reinterpret_cast<const char*>(iText);
}

// The text of an attribute that libxml2 holds as nodes: entity references come back as
// references, for writing, or replaced, for reading.
std::string AttributeText(xmlAttrPtr iAttribute, bool iWritten)
{
  std::string text;
  for (xmlNodePtr part = iAttribute->children; part; part = part->next) {
    if (part->type == XML_ENTITY_REF_NODE && iWritten) {
      text.append("&").append(AsChar(part->name)).append(";");
    } else if (part->type == XML_ENTITY_REF_NODE) {
      // As libxml2 reads it: the entity's content, or the node's own when it is unknown.
      xmlEntityPtr entity = xmlGetDocEntity(iAttribute->doc, part->name);
      if (entity) {
        xmlChar* content = xmlNodeListGetString(iAttribute->doc, entity->children, 1);
        if (content) text.append(AsChar(content));
        xmlFree(content);
      } else if (part->content) {
        text.append(AsChar(part->content));
      }
    } else if (part->content && iWritten) {
      EscapeMarkup(AsChar(part->content), true, text);
    } else if (part->content) {
      text.append(AsChar(part->content));
    }
  }
  return text;
}

void CopyChildren(xmlNodePtr iFrom, Node* iTo, Tree& iTree);

void CopyElement(xmlNodePtr iFrom, Node* iTo, Tree& iTree)
{
  std::string name;
  if (iFrom->ns && iFrom->ns->prefix) name.append(AsChar(iFrom->ns->prefix)).append(":");
  name.append(AsChar(iFrom->name));
  Node* element = iTree.NewNode(NodeKind::Element, name.data(), name.size());
  element->InNamespace = iFrom->ns != nullptr;
  Tree::Append(iTo, element);
  for (xmlNsPtr ns = iFrom->nsDef; ns; ns = ns->next) {
    std::string declaration = "xmlns";
    if (ns->prefix) declaration.append(":").append(AsChar(ns->prefix));
    const char* href = ns->href ? AsChar(ns->href) : "";
    iTree.SetAttribute(element, iTree.Intern(declaration.data(), declaration.size()), href,
                       std::strlen(href), true);
  }
  for (xmlAttrPtr attribute = iFrom->properties; attribute; attribute = attribute->next) {
    std::string attributeName;
    if (attribute->ns && attribute->ns->prefix)
      attributeName.append(AsChar(attribute->ns->prefix)).append(":");
    attributeName.append(AsChar(attribute->name));
    bool references = false;
    for (xmlNodePtr part = attribute->children; part; part = part->next)
      references = references || part->type == XML_ENTITY_REF_NODE;
    const std::string value = AttributeText(attribute, false);
    iTree.SetAttribute(element, iTree.Intern(attributeName.data(), attributeName.size()),
                       value.data(), value.size());
    if (references) {
      const std::string written = AttributeText(attribute, true);
      iTree.SetWritten(iTree.FindAttribute(element, attributeName.c_str()),
                       iTree.Copy(written.data(), written.size()));
    }
  }
  CopyChildren(iFrom, element, iTree);
}

void CopyChildren(xmlNodePtr iFrom, Node* iTo, Tree& iTree)
{
  for (xmlNodePtr child = iFrom->children; child; child = child->next) {
    const char* content = AsChar(child->content);
    const std::size_t size = content ? std::strlen(content) : 0;
    Node* node = nullptr;
    switch (child->type) {
      case XML_ELEMENT_NODE:
        CopyElement(child, iTo, iTree);
        break;
      case XML_TEXT_NODE:
      case XML_CDATA_SECTION_NODE:
      case XML_COMMENT_NODE:
        node = iTree.NewNode(child->type == XML_TEXT_NODE            ? NodeKind::Text
                             : child->type == XML_CDATA_SECTION_NODE ? NodeKind::CData
                                                                     : NodeKind::Comment,
                             nullptr, 0);
        if (content) node->Value = iTree.Copy(content, size);
        break;
      case XML_PI_NODE:
        node = iTree.NewNode(NodeKind::Instruction, AsChar(child->name),
                             std::strlen(AsChar(child->name)));
        if (content) node->Value = iTree.Copy(content, size);
        break;
      case XML_ENTITY_REF_NODE:
        node = iTree.NewNode(NodeKind::EntityRef, AsChar(child->name),
                             std::strlen(AsChar(child->name)));
        break;
      case XML_DTD_NODE: {
        const char* name = child->name ? AsChar(child->name) : "";
        node = iTree.NewNode(NodeKind::DocumentType, name, std::strlen(name));
        break;
      }
      default:
        break;
    }
    if (node) Tree::Append(iTo, node);
  }
}

xmlNodePtr NewLibxmlNode(xmlDocPtr iDocument, const Tree& iTree, const Node* iNode)
{
  const xmlChar* name = reinterpret_cast<const xmlChar*>(iNode->Name);
  const xmlChar* value =
      iNode->HasChildren() ? nullptr : reinterpret_cast<const xmlChar*>(iNode->Value);
  switch (iNode->Kind) {
    case NodeKind::Element: {
      xmlNodePtr element = xmlNewDocNode(iDocument, nullptr, name, nullptr);
      if (!element) return nullptr;
      for (const Attribute* attribute = iNode->Attributes; attribute; attribute = attribute->Next) {
        const xmlChar* attributeValue = reinterpret_cast<const xmlChar*>(attribute->Value);
        if (iTree.IsNamespace(attribute)) {
          const char* colon = std::strchr(attribute->Name, ':');
          xmlNewNs(element, attributeValue,
                   colon ? reinterpret_cast<const xmlChar*>(colon + 1) : nullptr);
        } else {
          xmlNewProp(element, reinterpret_cast<const xmlChar*>(attribute->Name), attributeValue);
        }
      }
      return element;
    }
    case NodeKind::Text:
      return xmlNewDocText(iDocument, value);
    case NodeKind::CData:
      return xmlNewCDataBlock(iDocument, value, value ? xmlStrlen(value) : 0);
    case NodeKind::Comment:
      return xmlNewDocComment(iDocument, value);
    case NodeKind::Instruction:
      return xmlNewDocPI(iDocument, name, value);
    case NodeKind::EntityRef: {
      xmlNodePtr reference = xmlNewReference(iDocument, name);
      if (reference) reference->children = reference->last = nullptr;  // written by name only
      return reference;
    }
    default:
      return nullptr;
  }
}

}  // namespace

xmlDocPtr ToLibxml(Tree& iTree)
{
  xmlDocPtr document = xmlNewDoc(reinterpret_cast<const xmlChar*>(iTree.Version.c_str()));
  if (!document) return nullptr;
  document->standalone = iTree.Standalone;
  // Each node is made, then linked under its copied parent; the walk follows the tree.
  std::vector<std::pair<Node*, xmlNodePtr>> pending;
  for (Node* child = iTree.DocumentNode()->Last; child;) {
    pending.emplace_back(child, reinterpret_cast<xmlNodePtr>(document));
    Node* previous = nullptr;
    for (Node* sibling = iTree.DocumentNode()->First; sibling != child; sibling = sibling->Next)
      previous = sibling;
    child = previous;
  }
  while (!pending.empty()) {
    const auto [node, parent] = pending.back();
    pending.pop_back();
    xmlNodePtr copy = nullptr;
    if (node->Kind == NodeKind::DocumentType) {
      xmlDocPtr holder = iTree.Declarations();
      if (!holder || !holder->intSubset) continue;
      xmlDtdPtr subset = xmlCopyDtd(holder->intSubset);
      if (!subset) break;
      subset->doc = document;
      subset->parent = document;
      document->intSubset = subset;
      copy = reinterpret_cast<xmlNodePtr>(subset);
    } else {
      copy = NewLibxmlNode(document, iTree, node);
    }
    if (!copy) {
      xmlFreeDoc(document);
      return nullptr;
    }
    // Linked by hand: xmlAddChild would merge neighbouring text.
    copy->parent = parent;
    copy->prev = parent->last;
    if (parent->last)
      parent->last->next = copy;
    else
      parent->children = copy;
    parent->last = copy;
    std::vector<Node*> children;
    for (Node* child = node->Kind == NodeKind::Element ? node->First : nullptr; child;
         child = child->Next)
      children.push_back(child);
    for (auto child = children.rbegin(); child != children.rend(); ++child)
      pending.emplace_back(*child, copy);
  }
  return document;
}

bool FromLibxml(xmlDocPtr iDocument, Tree& iTree)
{
  if (!iDocument) return false;
  try {
    if (iDocument->version) iTree.Version = AsChar(iDocument->version);
    iTree.Standalone = iDocument->standalone;
    CopyChildren(reinterpret_cast<xmlNodePtr>(iDocument), iTree.DocumentNode(), iTree);
  } catch (...) {
    xmlFreeDoc(iDocument);
    throw;
  }
  // Only the declarations stay: defaults are read from them and they are written back.
  xmlNodePtr child = iDocument->children;
  while (child) {
    xmlNodePtr next = child->next;
    if (child->type != XML_DTD_NODE) {
      xmlUnlinkNode(child);
      xmlFreeNode(child);
    }
    child = next;
  }
  iTree.SetDeclarations(iDocument);
  return true;
}

}  // namespace QIRXMLInternal
