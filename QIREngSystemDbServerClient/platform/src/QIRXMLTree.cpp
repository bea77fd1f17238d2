#include "QIRXMLTree.h"

#include "QIRXMLDirect.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <libxml/entities.h>
#include <libxml/valid.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlsave.h>
#include <new>
#include <utility>

namespace QIRXMLInternal {

namespace {

template <class Out>
void EscapeInto(const char* iText, bool iInAttribute, Out& oText)
{
  const char* run = iText;
  for (const char* c = iText; *c; ++c) {
    const char* entity = nullptr;
    switch (*c) {
      case '<':
        entity = "&lt;";
        break;
      case '>':
        entity = "&gt;";
        break;
      case '&':
        entity = "&amp;";
        break;
      case '\r':
        entity = "&#13;";
        break;
      case '"':
        entity = iInAttribute ? "&quot;" : nullptr;
        break;
      case '\n':
        entity = iInAttribute ? "&#10;" : nullptr;
        break;
      case '\t':
        entity = iInAttribute ? "&#9;" : nullptr;
        break;
      default:
        continue;
    }
    if (!entity) continue;
    oText.append(run, static_cast<std::size_t>(c - run)).append(entity);
    run = c + 1;
  }
  oText.append(run);
}

}  // namespace

void EscapeMarkup(const char* iText, bool iInAttribute, std::string& oText)
{
  EscapeInto(iText, iInAttribute, oText);
}

namespace {

const std::size_t kBlockSize = Tree::kBlockSize;
// A string this long gets a block of its own, so that a block is never mostly wasted.
const std::size_t kLargeSize = kBlockSize / 4;

const char* AsChar(const xmlChar* iText)
{
  return reinterpret_cast<const char*>(iText);
}

// Decodes one UTF-8 sequence already known to be well formed; returns its length.
std::size_t DecodeOne(const unsigned char* iText, std::size_t iLeft, unsigned long& oCode)
{
  const unsigned char lead = iText[0];
  std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  if (length > iLeft) {
    oCode = 0xFFFE;  // cut short: no character XML takes
    return iLeft;
  }
  oCode = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
  for (std::size_t i = 1; i < length; ++i) oCode = (oCode << 6) | (iText[i] & 0x3F);
  return length;
}

// The libxml2 layout: two blanks a level, no deeper than thirty levels.
template <class Out>
void Indent(Out& oText, int iLevel)
{
  oText.append(2 * static_cast<std::size_t>(std::min(iLevel, 30)), ' ');
}

// libxml2 writes a declared default as it is, markup included, which no parser reads back:
// while the declarations are written, each such default is replaced by its escaped form.
class EscapedDefaults {
 public:
  EscapedDefaults(xmlDtdPtr iSubset, bool iReferencesKept)
      : _special(iReferencesKept ? "<\"'\t\n\r%" : "<&\"'\t\n\r%")
  {
    for (xmlNodePtr node = iSubset ? iSubset->children : nullptr; node; node = node->next) {
      if (node->type != XML_ATTRIBUTE_DECL) continue;
      xmlAttributePtr declaration = reinterpret_cast<xmlAttributePtr>(node);
      const char* value = AsChar(declaration->defaultValue);
      if (!value || !std::strpbrk(value, _special)) continue;
      std::string escaped;
      for (const char* c = value; *c; ++c) {
        if (std::strchr(_special, *c))
          escaped += "&#" + std::to_string(static_cast<unsigned char>(*c)) + ";";
        else
          escaped += *c;
      }
      _declarations.push_back(declaration);
      _originals.push_back(declaration->defaultValue);
      _escaped.push_back(std::move(escaped));
    }
    for (std::size_t i = 0; i < _declarations.size(); ++i)
      _declarations[i]->defaultValue = reinterpret_cast<const xmlChar*>(_escaped[i].c_str());
  }
  ~EscapedDefaults()
  {
    for (std::size_t i = 0; i < _declarations.size(); ++i)
      _declarations[i]->defaultValue = _originals[i];
  }
  EscapedDefaults(const EscapedDefaults&) = delete;
  EscapedDefaults& operator=(const EscapedDefaults&) = delete;

 private:
  const char* _special;
  std::vector<xmlAttributePtr> _declarations;
  std::vector<const xmlChar*> _originals;
  std::vector<std::string> _escaped;
};

template <class Out>
void WriteDocumentType(Tree& iTree, Out& oText)
{
  xmlDocPtr holder = iTree.Declarations();
  xmlDtdPtr subset = holder ? holder->intSubset : nullptr;
  if (!subset) return;
  xmlOutputBufferPtr out = xmlAllocOutputBuffer(nullptr);
  if (!out) throw std::bad_alloc();
  {
    const EscapedDefaults escaped(subset, iTree.ReferencesKept);
    xmlNodeDumpOutput(out, holder, reinterpret_cast<xmlNodePtr>(subset), 0, 1, "UTF-8");
  }
  xmlOutputBufferFlush(out);
  const xmlChar* content = xmlOutputBufferGetContent(out);
  const std::size_t size = xmlOutputBufferGetSize(out);
  if (content) oText.append(AsChar(content), size);
  xmlOutputBufferClose(out);
}

bool HoldsText(const Node* iElement)
{
  for (const Node* child = iElement->First; child; child = child->Next)
    if (child->Kind == NodeKind::Text || child->Kind == NodeKind::CData ||
        child->Kind == NodeKind::EntityRef)
      return true;
  return false;
}

template <class Out>
void WriteStartTag(const Tree& iTree, const Node* iElement, Out& oText)
{
  oText += '<';
  oText += iElement->Name;
  // Namespace declarations come first, as libxml2 keeps them apart from the attributes.
  for (int pass = 0; pass < 2; ++pass) {
    for (const Attribute* attribute = iElement->Attributes; attribute;
         attribute = attribute->Next) {
      if (iTree.IsNamespace(attribute) != (pass == 0)) continue;
      oText += ' ';
      oText += attribute->Name;
      oText += "=\"";
      if (const char* written = iTree.Written(attribute)) {
        oText += written;
      } else {
        EscapeInto(attribute->Value, true, oText);
      }
      oText += '"';
    }
  }
}

template <class Out>
void WriteCData(const char* iText, Out& oText)
{
  if (!*iText) {
    oText += "<![CDATA[]]>";
    return;
  }
  // "]]>" cannot stand inside a section: it is split between two.
  const char* start = iText;
  for (const char* end = iText; *end; ++end) {
    if (end[0] == ']' && end[1] == ']' && end[2] == '>') {
      end += 2;
      oText.append("<![CDATA[").append(start, static_cast<std::size_t>(end - start)).append("]]>");
      start = end;
    }
  }
  if (*start) oText.append("<![CDATA[").append(start).append("]]>");
}

// One node and what is under it, without recursion: a document may be as deep as the
// parser lets it be.
template <class Out>
void WriteNode(Tree& iTree, Node* iTop, Out& oText)
{
  bool formatted = true;
  const Node* unformatted = nullptr;  // the element whose content is written as it is
  int level = 0;
  Node* node = iTop;
  while (node) {
    bool descend = false;
    switch (node->Kind) {
      case NodeKind::Element:
        if (node != iTop && formatted) Indent(oText, level);
        WriteStartTag(iTree, node, oText);
        if (!node->First) {
          oText += "/>";
        } else {
          if (formatted && HoldsText(node)) {
            formatted = false;
            unformatted = node;
          }
          oText += '>';
          if (formatted) oText += '\n';
          ++level;
          descend = true;
        }
        break;
      case NodeKind::Text:
        if (node->Value) EscapeInto(node->Value, false, oText);
        break;
      case NodeKind::CData:
        WriteCData(node->Value ? node->Value : "", oText);
        break;
      case NodeKind::EntityRef:
        oText.append("&").append(node->Name).append(";");
        break;
      case NodeKind::Instruction:
        if (node != iTop && formatted) Indent(oText, level);
        oText.append("<?").append(node->Name);
        if (node->Value) oText.append(" ").append(node->Value);
        oText += "?>";
        break;
      case NodeKind::Comment:
        if (node != iTop && formatted) Indent(oText, level);
        oText.append("<!--").append(node->Value ? node->Value : "").append("-->");
        break;
      case NodeKind::DocumentType:
        WriteDocumentType(iTree, oText);
        break;
      case NodeKind::Document:
        break;
    }
    if (descend) {
      node = node->First;
      continue;
    }
    while (true) {
      if (node == iTop) return;
      if (formatted) oText += '\n';
      if (node->Next) {
        node = node->Next;
        break;
      }
      node = node->Parent;
      if (level > 0) --level;
      if (formatted) Indent(oText, level);
      oText.append("</").append(node->Name).append(">");
      if (node == unformatted) {
        formatted = true;
        unformatted = nullptr;
      }
    }
  }
}

}  // namespace

Tree::Tree() : _document()
{
  _document.Kind = NodeKind::Document;
}

Tree::~Tree()
{
  for (char* block : _blocks) std::free(block);
  if (_declarations) xmlFreeDoc(_declarations);
}

void* Tree::Allocate(std::size_t iSize)
{
  iSize = (iSize + 7) & ~static_cast<std::size_t>(7);
  if (iSize >= kLargeSize) {
    char* block = static_cast<char*>(std::malloc(iSize));
    if (!block) throw std::bad_alloc();
    // The current block stays the one being filled: the large one goes in front of it.
    _blocks.insert(_blocks.end() - (_blocks.empty() ? 0 : 1), block);
    return block;
  }
  if (iSize > _left) {
    char* block = static_cast<char*>(std::malloc(kBlockSize));
    if (!block) throw std::bad_alloc();
    try {
      _blocks.push_back(block);
    } catch (...) {
      std::free(block);
      throw;
    }
    _free = block;
    _left = kBlockSize;
  }
  void* memory = _free;
  _free += iSize;
  _left -= iSize;
  return memory;
}

Node* Tree::NewNode(NodeKind iKind, const char* iName, std::size_t iNameSize)
{
  const bool container = iKind == NodeKind::Element || iKind == NodeKind::Document;
  Node* node = static_cast<Node*>(Allocate(container ? sizeof(Node) : offsetof(Node, Last)));
  node->Kind = iKind;
  node->InNamespace = false;
  node->Parent = nullptr;
  node->Next = nullptr;
  node->Name = iName ? Intern(iName, iNameSize) : nullptr;
  node->Value = nullptr;
  if (container) {
    node->First = nullptr;
    node->Last = nullptr;
    node->Attributes = nullptr;
  }
  return node;
}

namespace {
// The length and the first and last eight bytes: names of one document differ there, and
// a collision only costs a look in the set.
std::size_t ShortHash(const char* iText, std::size_t iSize)
{
  std::uint64_t head = 0;
  std::uint64_t tail = 0;
  const std::size_t part = iSize < 8 ? iSize : 8;
  if (part > 0) {
    std::memcpy(&head, iText, part);
    std::memcpy(&tail, iText + iSize - part, part);
  }
  const std::uint64_t mixed = head * 0x9E3779B97F4A7C15ULL ^ (tail + iSize) * 0xC2B2AE3D27D4EB4FULL;
  return static_cast<std::size_t>(mixed >> 29);
}
}  // namespace

const char* Tree::KnownName(const char* iText, std::size_t iSize) const
{
  const std::string_view name(iText, iSize);
  std::string_view& cached = _cache[ShortHash(iText, iSize) % kCacheSize];
  if (cached == name) return cached.data();
  const auto found = _names.find(name);
  if (found == _names.end()) return nullptr;
  cached = *found;
  return found->data();
}

const char* Tree::Intern(const char* iText, std::size_t iSize)
{
  const char* known = KnownName(iText, iSize);
  if (known) return known;
  known = Copy(iText, iSize);
  _names.insert(std::string_view(known, iSize));
  return known;
}

const char* Tree::Share(const char* iText, std::size_t iSize)
{
  // Indentation is one text a depth: the last shared text of each size is tried first.
  const char** recent = iSize < kRecentShared ? &_recentShared[iSize] : nullptr;
  if (recent && *recent && std::memcmp(*recent, iText, iSize) == 0) return *recent;
  const auto found = _shared.find(std::string_view(iText, iSize));
  const char* copy = found != _shared.end() ? found->data() : nullptr;
  if (!copy) {
    copy = Copy(iText, iSize);
    _shared.insert(std::string_view(copy, iSize));
  }
  if (recent) *recent = copy;
  return copy;
}

const char* Tree::Copy(const char* iText, std::size_t iSize)
{
  char* copy = static_cast<char*>(Allocate(iSize + 1));
  if (iSize) std::memcpy(copy, iText, iSize);
  copy[iSize] = '\0';
  return copy;
}

void Tree::Append(Node* iParent, Node* iChild)
{
  iChild->Parent = iParent;
  iChild->Next = nullptr;
  if (iParent->Last)
    iParent->Last->Next = iChild;
  else
    iParent->First = iChild;
  iParent->Last = iChild;
}

void Tree::Unlink(Node* iChild)
{
  Node* parent = iChild->Parent;
  if (!parent) return;
  Node* before = nullptr;
  for (Node* sibling = parent->First; sibling != iChild; sibling = sibling->Next) before = sibling;
  if (before)
    before->Next = iChild->Next;
  else
    parent->First = iChild->Next;
  if (parent->Last == iChild) parent->Last = before;
  iChild->Parent = nullptr;
  iChild->Next = nullptr;
}

Attribute* Tree::FindAttribute(const Node* iElement, const char* iName) const
{
  for (Attribute* attribute = iElement->Attributes; attribute; attribute = attribute->Next)
    if (std::strcmp(attribute->Name, iName) == 0 && !IsNamespace(attribute)) return attribute;
  return nullptr;
}

bool Tree::IsNamespace(const Attribute* iAttribute) const
{
  return !_namespaces.empty() && std::strncmp(iAttribute->Name, "xmlns", 5) == 0 &&
         _namespaces.count(iAttribute) != 0;
}

const char* Tree::Written(const Attribute* iAttribute) const
{
  if (_written.empty()) return nullptr;
  const auto found = _written.find(iAttribute);
  return found == _written.end() ? nullptr : found->second;
}

void Tree::SetWritten(const Attribute* iAttribute, const char* iWritten)
{
  if (iWritten)
    _written[iAttribute] = iWritten;
  else if (!_written.empty())
    _written.erase(iAttribute);
}

void Tree::SetAttribute(Node* iElement, const char* iName, const char* iValue,
                        std::size_t iValueSize, bool iIsNamespace)
{
  const char* name = iName;
  Attribute* last = nullptr;
  for (Attribute* attribute = iElement->Attributes; attribute; attribute = attribute->Next) {
    if (attribute->Name == name && IsNamespace(attribute) == iIsNamespace) {
      attribute->Value = Copy(iValue, iValueSize);
      SetWritten(attribute, nullptr);
      return;
    }
    last = attribute;
  }
  AddAttribute(iElement, last, name, iValue, iValueSize, iIsNamespace);
}

Attribute* Tree::AddAttribute(Node* iElement, Attribute* iLast, const char* iName,
                              const char* iValue, std::size_t iValueSize, bool iIsNamespace)
{
  const char* value = Copy(iValue, iValueSize);
  Attribute* attribute = static_cast<Attribute*>(Allocate(sizeof(Attribute)));
  *attribute = Attribute{iName, value, nullptr};
  if (iIsNamespace) _namespaces.insert(attribute);
  if (iLast)
    iLast->Next = attribute;
  else
    iElement->Attributes = attribute;
  return attribute;
}

Node* Tree::DocumentElement()
{
  for (Node* child = _document.First; child; child = child->Next)
    if (child->Kind == NodeKind::Element) return child;
  return nullptr;
}

void Tree::SetDeclarations(xmlDocPtr iHolder)
{
  if (_declarations) xmlFreeDoc(_declarations);
  _declarations = iHolder;
}

void WriteTree(Tree& iTree, const char* iEncoding, TextOut& oText)
{
  // The text is about as long as the tree is large: most growth is spared.
  oText.reserve(oText.size() + iTree.Footprint() + iTree.Footprint() / 4);
  oText += "<?xml version=\"";
  oText += iTree.Version;
  oText += "\" encoding=\"";
  oText += iEncoding;
  oText += '"';
  if (iTree.Standalone == 0) oText += " standalone=\"no\"";
  if (iTree.Standalone == 1) oText += " standalone=\"yes\"";
  oText += "?>\n";
  for (Node* child = iTree.DocumentNode()->First; child; child = child->Next) {
    WriteNode(iTree, child, oText);
    oText += '\n';
  }
}

bool IsXmlText(const char* iText, std::size_t iSize)
{
  const unsigned char* text = reinterpret_cast<const unsigned char*>(iText);
  std::size_t at = 0;
  while (at + 8 <= iSize && QIRXMLDirect::IsPrintableAscii(text + at)) at += 8;
  while (at < iSize) {
    if (text[at] >= 0x20 && text[at] < 0x80) {
      ++at;
      continue;
    }
    unsigned long code = 0;
    at += DecodeOne(text + at, iSize - at, code);
    const bool allowed = code == 0x9 || code == 0xA || code == 0xD ||
                         (code >= 0x20 && code <= 0xD7FF) || (code >= 0xE000 && code <= 0xFFFD) ||
                         (code >= 0x10000 && code <= 0x10FFFF);
    if (!allowed) return false;
  }
  return true;
}

}  // namespace QIRXMLInternal
