#pragma once
// The updater's own small XML document model: parser, tree and serializer.
// It offers the document operations the engine relies on, with the same
// meanings as the system's XML DOM: exact (case-sensitive) names, an empty
// document (no documentElement) after any parse error, element-name paths for
// selectSingleNode. All text is UTF-8.
//
// Nodes are owned by their document and live as long as it does; node
// pointers are plain observers. A document is used by one thread at a time.
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace xml {

// A failed document operation (invalid name, malformed path, failed save).
class XmlError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class NodeType { Element, Attribute, Text, CData, Comment, ProcessingInstruction };

class XmlDocument;
class XmlNode;

// The attributes of an element, in document order.
class XmlAttributes {
 public:
  size_t length() const;
  XmlNode* item(size_t index) const;                    // nullptr past the end
  XmlNode* GetNamedItem(std::string_view name) const;   // exact name; nullptr if absent
  // Adds an attribute node (created by the same document) after the existing
  // ones; an attribute of the same name is replaced in place. Returns it.
  XmlNode* SetNamedItem(XmlNode* attribute);

 private:
  friend class XmlNode;
  friend class XmlDocument;
  friend class XmlParser;
  explicit XmlAttributes(XmlNode* owner) : owner_(owner) {}
  XmlNode* owner_;
  std::vector<XmlNode*> items_;
};

class XmlNode {
 public:
  XmlNode(const XmlNode&) = delete;
  XmlNode& operator=(const XmlNode&) = delete;

  NodeType nodeType() const { return type_; }
  const std::string& nodeName() const { return name_; }  // "#text" etc. for non-elements
  // Attribute value, or the content of a text, CDATA, comment or PI node.
  const std::string& nodeValue() const { return value_; }
  void SetNodeValue(std::string value);
  // Text of the node: an attribute's value, an element's text content.
  std::string text() const;
  void SetText(std::string value);

  XmlAttributes& attributes() { return attributes_; }
  const XmlAttributes& attributes() const { return attributes_; }

  XmlNode* parentNode() const { return parent_; }
  XmlNode* firstChild() const { return children_.empty() ? nullptr : children_.front(); }
  XmlNode* lastChild() const { return children_.empty() ? nullptr : children_.back(); }
  XmlNode* nextSibling() const;
  bool hasChildNodes() const { return !children_.empty(); }
  const std::vector<XmlNode*>& childNodes() const { return children_; }

  // Places child (an unplaced node of the same document) as the last child.
  XmlNode* AppendChild(XmlNode* child);

  // First element reached by a path of element names separated by "/",
  // relative to this node; nullptr when none. Raises XmlError for a malformed
  // path (empty step, invalid name).
  XmlNode* SelectSingleNode(std::string_view path) const;

  XmlDocument& ownerDocument() const { return *doc_; }

 private:
  friend class XmlDocument;
  friend class XmlAttributes;
  friend class XmlParser;
  XmlNode(XmlDocument* doc, NodeType type, std::string name);
  XmlDocument* doc_;
  NodeType type_;
  std::string name_;
  std::string value_;
  XmlNode* parent_ = nullptr;
  XmlNode* ownerElement_ = nullptr;  // the element an attribute is set on
  size_t index_ = 0;                 // position among the parent's children
  std::vector<XmlNode*> children_;
  XmlAttributes attributes_;
};

class XmlDocument {
 public:
  XmlDocument();
  ~XmlDocument();
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;

  // Replaces the content with the parsed text (UTF-8). False, leaving the
  // document empty, when the text is not well-formed.
  bool LoadXml(std::string_view text);
  // Reads a file with the XML encoding rules (byte-order mark, declaration,
  // UTF-8 by default). False, leaving the document empty, when the file is
  // missing, undecodable or not well-formed.
  bool Load(const std::string& path);
  // Writes the document in the encoding of its declaration (UTF-8 when none),
  // beside the file and then over it. Raises XmlError with the system's text
  // when the file cannot be written.
  void Save(const std::string& path) const;
  // The serialized document as UTF-8 text (declaration as held).
  std::string Xml() const;

  XmlNode* documentElement() const;  // nullptr for an empty document
  const std::vector<XmlNode*>& childNodes() const { return children_; }
  // Path lookup from the document: the first step names the root element.
  XmlNode* SelectSingleNode(std::string_view path) const;

  // New unplaced nodes owned by this document. Raise XmlError naming the name
  // when it is not a valid XML name.
  XmlNode* CreateElement(std::string_view name);
  XmlNode* CreateAttribute(std::string_view name);
  // Places a node at the top level (the root element when there is none yet).
  XmlNode* AppendChild(XmlNode* child);

  // The XML declaration as held ("" when the document has none).
  const std::string& version() const { return version_; }
  const std::string& encoding() const { return encoding_; }
  const std::string& standalone() const { return standalone_; }
  bool hasDeclaration() const { return hasDeclaration_; }

 private:
  friend class XmlNode;
  friend class XmlParser;
  XmlNode* NewNode(NodeType type, std::string name);
  void Clear();
  void CheckInsertable(const XmlNode* parent, const XmlNode* child) const;
  // Nodes are placement-constructed in blocks: one allocation per block
  // rather than per node keeps parsing fast, and destroying them is a flat
  // loop however deep the tree is.
  struct NodeBlock;
  std::vector<std::unique_ptr<NodeBlock>> blocks_;
  size_t usedInLastBlock_ = 0;
  std::vector<XmlNode*> children_;
  bool hasDeclaration_ = false;
  std::string version_, encoding_, standalone_;
};

// Valid XML 1.0 Name (non-ASCII name characters allowed).
bool IsValidXmlName(std::string_view name);

// Saves bytes a document was encoded into (EncodeDocument) as Save does.
void SaveEncoded(const std::string& path, std::string_view bytes);

}  // namespace xml
