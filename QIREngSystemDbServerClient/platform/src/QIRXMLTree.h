#ifndef QIRXMLTree_H
#define QIRXMLTree_H
// The in-memory document behind the DOM handles: nodes and strings bump-allocated in blocks
// owned by the tree, names interned, all freed at once with the tree. libxml2 only reads the
// text; what it keeps afterwards is the document type definition, in a document of its own.

#include <cstddef>
#include <cstring>
#include <libxml/tree.h>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace QIRXMLInternal {

enum class NodeKind : unsigned char {
  Element,
  Text,
  CData,
  EntityRef,
  Instruction,
  Comment,
  Document,
  DocumentType
};

// Namespace declarations (xmlns, xmlns:p) and values written with entity references are
// rare: the tree marks them on the side, so that every attribute stays three pointers.
struct Attribute {
  const char* Name;   // interned, qualified as written
  const char* Value;  // what readers get
  Attribute* Next;
};

// Only elements and documents have children and attributes: the other kinds are allocated
// without the members from Last on, which matters in a document of much indentation.
struct Node {
  NodeKind Kind;
  bool InNamespace;  // an element bound to a namespace, to which no declared default applies
  Node* Parent;
  Node* Next;
  const char* Name;  // elements (qualified), instructions, entity references, document type
  union {
    const char* Value;  // the other kinds: text, sections, comments, instruction data, or null
    Node* First;        // elements and documents
  };
  Node* Last;
  Attribute* Attributes;

  bool HasChildren() const { return Kind == NodeKind::Element || Kind == NodeKind::Document; }
};

class Tree {
 public:
  Tree();
  ~Tree();
  Tree(const Tree&) = delete;
  Tree& operator=(const Tree&) = delete;

  Node* DocumentNode() { return &_document; }
  // A node of this tree, not yet linked anywhere.
  Node* NewNode(NodeKind iKind, const char* iName, std::size_t iNameSize);
  const char* Intern(const char* iText, std::size_t iSize);
  // One copy of a short text that recurs (indentation), kept apart from the names.
  const char* Share(const char* iText, std::size_t iSize);
  // The interned copy of the name, or null when the tree holds no such name yet.
  const char* KnownName(const char* iText, std::size_t iSize) const;
  // Bytes taken so far: close to the size of the document's text.
  std::size_t Footprint() const { return _blocks.size() * kBlockSize; }
  static const std::size_t kBlockSize = std::size_t{64} * 1024;
  const char* Copy(const char* iText, std::size_t iSize);
  // Links iChild (unlinked) as the last child of iParent.
  static void Append(Node* iParent, Node* iChild);
  static void Unlink(Node* iChild);
  // The attribute iName, never a namespace declaration; null when there is none.
  Attribute* FindAttribute(const Node* iElement, const char* iName) const;
  // A namespace declaration, written with the element and never read as an attribute.
  bool IsNamespace(const Attribute* iAttribute) const;
  // The value as it is written back, with its entity references; null: escaped from Value.
  const char* Written(const Attribute* iAttribute) const;
  void SetWritten(const Attribute* iAttribute, const char* iWritten);
  // Adds or replaces; iName is interned already.
  void SetAttribute(Node* iElement, const char* iName, const char* iValue, std::size_t iValueSize,
                    bool iIsNamespace = false);
  // Adds an attribute known to be new after iLast (null: the first), and returns it; iName
  // is interned already.
  Attribute* AddAttribute(Node* iElement, Attribute* iLast, const char* iName, const char* iValue,
                          std::size_t iValueSize, bool iIsNamespace);
  // The document element, or null.
  Node* DocumentElement();

  // Declarations of the document type (internal and external subsets), or null: freed with
  // the tree.
  void SetDeclarations(xmlDocPtr iHolder);
  xmlDocPtr Declarations() const { return _declarations; }

  // Read without replacing entities: declared defaults then hold "&" as markup already
  // ("&#38;" or a reference), to be written as it is.
  bool ReferencesKept = false;
  std::string Version = "1.0";
  int Standalone = -1;  // -1 not declared, 0 no, 1 yes

 private:
  void* Allocate(std::size_t iSize);

  Node _document;
  std::vector<char*> _blocks;
  char* _free = nullptr;
  std::size_t _left = 0;
  std::unordered_set<std::string_view> _names;
  std::unordered_set<std::string_view> _shared;
  static const std::size_t kRecentShared = 65;
  const char* _recentShared[kRecentShared] = {};
  std::unordered_set<const Attribute*> _namespaces;
  std::unordered_map<const Attribute*, const char*> _written;
  // Names by a short hash, looked at before the set: a document uses few, over and over.
  static const std::size_t kCacheSize = 256;
  mutable std::string_view _cache[kCacheSize];
  xmlDocPtr _declarations = nullptr;
};

// The writer's output: appended to as a string is, held as bytes that a sequence takes over
// without a copy.
class TextOut {
 public:
  TextOut& append(const char* iText, std::size_t iSize)
  {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(iText);
    _bytes.insert(_bytes.end(), bytes, bytes + iSize);
    return *this;
  }
  TextOut& append(const char* iText) { return append(iText, std::strlen(iText)); }
  TextOut& append(std::size_t iCount, char iChar)
  {
    _bytes.insert(_bytes.end(), iCount, static_cast<unsigned char>(iChar));
    return *this;
  }
  TextOut& operator+=(char iChar)
  {
    _bytes.push_back(static_cast<unsigned char>(iChar));
    return *this;
  }
  TextOut& operator+=(const char* iText) { return append(iText); }
  TextOut& operator+=(const std::string& iText) { return append(iText.data(), iText.size()); }
  void reserve(std::size_t iSize) { _bytes.reserve(iSize); }
  std::size_t size() const { return _bytes.size(); }
  const char* data() const { return reinterpret_cast<const char*>(_bytes.data()); }
  std::vector<unsigned char>& Bytes() { return _bytes; }

 private:
  std::vector<unsigned char> _bytes;
};

// The document's text as UTF-8, in the layout libxml2's indented output has, the encoding
// name iEncoding in the declaration. Appended to oText.
void WriteTree(Tree& iTree, const char* iEncoding, TextOut& oText);

// Appends iText with markup escaped as libxml2 escapes it; in an attribute also the quote and
// the blanks that a reader would fold into spaces.
void EscapeMarkup(const char* iText, bool iInAttribute, std::string& oText);

// True when every character of the UTF-8 text is one XML 1.0 can carry.
bool IsXmlText(const char* iText, std::size_t iSize);

// A copy of the tree as a libxml2 document (for encodings other than UTF-8); null on failure.
xmlDocPtr ToLibxml(Tree& iTree);

// Copies what libxml2's tree parser made into iTree; the declarations move over with
// iDocument, whose other nodes are freed. iDocument is consumed in every case.
bool FromLibxml(xmlDocPtr iDocument, Tree& iTree);

}  // namespace QIRXMLInternal

#endif
