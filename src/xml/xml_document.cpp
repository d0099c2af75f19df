#include "xml/xml_document.h"

#include <new>

#include "platform/files.h"
#include "platform/os_error.h"
#include "xml/xml_file_encoding.h"
#include "xml/xml_parser.h"
#include "xml/xml_writer.h"

namespace xml {

// ---- attribute map ---------------------------------------------------------

size_t XmlAttributes::length() const { return items_.size(); }

XmlNode* XmlAttributes::item(size_t index) const { return index < items_.size() ? items_[index] : nullptr; }

XmlNode* XmlAttributes::GetNamedItem(std::string_view name) const {
  for (XmlNode* a : items_) {
    if (a->name_ == name) return a;
  }
  return nullptr;
}

XmlNode* XmlAttributes::SetNamedItem(XmlNode* attribute) {
  if (attribute == nullptr || attribute->type_ != NodeType::Attribute) {
    throw XmlError("setNamedItem：该节点不是属性。");
  }
  if (attribute->doc_ != owner_->doc_) {
    throw XmlError("setNamedItem：属性“" + attribute->name_ + "”属于另一个文档。");
  }
  if (attribute->ownerElement_ == owner_) return attribute;
  if (attribute->ownerElement_ != nullptr) {
    throw XmlError("setNamedItem：属性“" + attribute->name_ + "”已经属于另一个元素。");
  }
  attribute->ownerElement_ = owner_;
  for (XmlNode*& a : items_) {
    if (a->name_ == attribute->name_) {
      a->ownerElement_ = nullptr;
      a = attribute;
      return attribute;
    }
  }
  items_.push_back(attribute);
  return attribute;
}

// ---- nodes -----------------------------------------------------------------

XmlNode::XmlNode(XmlDocument* doc, NodeType type, std::string name)
    : doc_(doc), type_(type), name_(std::move(name)), attributes_(this) {}

void XmlNode::SetNodeValue(std::string value) {
  if (type_ == NodeType::Element) {
    throw XmlError("不能设置元素“" + name_ + "”的值，只能设置它的文本。");
  }
  value_ = std::move(value);
}

std::string XmlNode::text() const {
  if (type_ != NodeType::Element) return value_;
  // Text of all descendant text and CDATA nodes in document order, walked
  // without recursion.
  std::string out;
  std::vector<std::pair<const XmlNode*, size_t>> stack{{this, 0}};
  while (!stack.empty()) {
    auto& [node, next] = stack.back();
    if (next == node->children_.size()) {
      stack.pop_back();
      continue;
    }
    const XmlNode* child = node->children_[next++];
    if (child->type_ == NodeType::Text || child->type_ == NodeType::CData) {
      out += child->value_;
    } else if (child->type_ == NodeType::Element && !child->children_.empty()) {
      stack.emplace_back(child, 0);
    }
  }
  return out;
}

void XmlNode::SetText(std::string value) {
  if (type_ != NodeType::Element) {
    value_ = std::move(value);
    return;
  }
  for (XmlNode* child : children_) child->parent_ = nullptr;
  children_.clear();
  if (value.empty()) return;
  XmlNode* textNode = doc_->NewNode(NodeType::Text, "#text");
  textNode->value_ = std::move(value);
  textNode->parent_ = this;
  children_.push_back(textNode);
}

XmlNode* XmlNode::nextSibling() const {
  const std::vector<XmlNode*>* siblings = nullptr;
  if (parent_ != nullptr) {
    siblings = &parent_->children_;
  } else if (type_ != NodeType::Attribute) {
    siblings = &doc_->children_;
  }
  if (siblings == nullptr || index_ >= siblings->size() || (*siblings)[index_] != this) return nullptr;
  return index_ + 1 < siblings->size() ? (*siblings)[index_ + 1] : nullptr;
}

XmlNode* XmlNode::AppendChild(XmlNode* child) {
  if (type_ != NodeType::Element) {
    throw XmlError("appendChild：“" + name_ + "”不是元素，不能含有子节点。");
  }
  doc_->CheckInsertable(this, child);
  child->index_ = children_.size();
  child->parent_ = this;
  children_.push_back(child);
  return child;
}

namespace {

// Splits an element-name path into its steps; raises for an empty step or a
// step that is not a name.
std::vector<std::string_view> PathSteps(std::string_view path) {
  std::vector<std::string_view> steps;
  size_t start = 0;
  for (;;) {
    const size_t slash = path.find('/', start);
    const std::string_view step = path.substr(start, slash == std::string_view::npos ? std::string_view::npos
                                                                                      : slash - start);
    if (!IsValidXmlName(step)) {
      throw XmlError("selectSingleNode：“" + std::string(path) + "”不是由元素名组成的路径。");
    }
    steps.push_back(step);
    if (slash == std::string_view::npos) return steps;
    start = slash + 1;
  }
}

// The first element in document order reached from the context nodes by the
// steps: each step goes to the children of that name of all current nodes.
XmlNode* Select(std::vector<const XmlNode*> current, const std::vector<XmlNode*>* topLevel,
                const std::vector<std::string_view>& steps) {
  std::vector<const XmlNode*> next;
  for (size_t i = 0; i < steps.size(); ++i) {
    next.clear();
    const auto visit = [&](const std::vector<XmlNode*>& children) {
      for (const XmlNode* c : children) {
        if (c->nodeType() == NodeType::Element && c->nodeName() == steps[i]) next.push_back(c);
      }
    };
    if (i == 0 && topLevel != nullptr) {
      visit(*topLevel);
    } else {
      for (const XmlNode* n : current) visit(n->childNodes());
    }
    if (next.empty()) return nullptr;
    current.swap(next);
  }
  return const_cast<XmlNode*>(current.front());
}

}  // namespace

XmlNode* XmlNode::SelectSingleNode(std::string_view path) const {
  if (!path.empty() && path.front() == '/') return doc_->SelectSingleNode(path.substr(1));
  return Select({this}, nullptr, PathSteps(path));
}

// ---- document --------------------------------------------------------------

struct XmlDocument::NodeBlock {
  static constexpr size_t kNodes = 256;
  alignas(XmlNode) unsigned char storage[kNodes][sizeof(XmlNode)];
  XmlNode* at(size_t i) { return std::launder(reinterpret_cast<XmlNode*>(storage[i])); }
};

XmlDocument::XmlDocument() = default;

XmlDocument::~XmlDocument() { Clear(); }

XmlNode* XmlDocument::NewNode(NodeType type, std::string name) {
  if (blocks_.empty() || usedInLastBlock_ == NodeBlock::kNodes) {
    blocks_.push_back(std::unique_ptr<NodeBlock>(new NodeBlock));  // storage left uninitialised
    usedInLastBlock_ = 0;
  }
  XmlNode* node = new (blocks_.back()->storage[usedInLastBlock_]) XmlNode(this, type, std::move(name));
  ++usedInLastBlock_;
  return node;
}

void XmlDocument::Clear() {
  for (size_t b = 0; b < blocks_.size(); ++b) {
    const size_t used = b + 1 == blocks_.size() ? usedInLastBlock_ : NodeBlock::kNodes;
    for (size_t i = 0; i < used; ++i) blocks_[b]->at(i)->~XmlNode();
  }
  blocks_.clear();
  usedInLastBlock_ = 0;
  children_.clear();
  hasDeclaration_ = false;
  version_.clear();
  encoding_.clear();
  standalone_.clear();
}

bool XmlDocument::LoadXml(std::string_view text) { return XmlParser::Parse(*this, text); }

bool XmlDocument::Load(const std::string& path) {
  Clear();
  const std::optional<std::string> bytes = platform::ReadWholeFile(path);
  if (!bytes) return false;
  const std::optional<std::string> text = DecodeXmlFile(*bytes);
  if (!text) return false;
  return LoadXml(*text);
}

void XmlDocument::Save(const std::string& path) const { SaveEncoded(path, EncodeDocument(*this)); }

void SaveEncoded(const std::string& path, std::string_view bytes) {
  try {
    platform::ReplaceWholeFile(path, bytes);
  } catch (const platform::OsError& e) {
    throw XmlError("无法保存文件“" + path + "”：" + e.systemText());
  }
}

std::string XmlDocument::Xml() const {
  return SerializeDocument(*this, [](unsigned long) { return true; });
}

XmlNode* XmlDocument::documentElement() const {
  for (XmlNode* n : children_) {
    if (n->type_ == NodeType::Element) return n;
  }
  return nullptr;
}

XmlNode* XmlDocument::SelectSingleNode(std::string_view path) const {
  if (!path.empty() && path.front() == '/') path.remove_prefix(1);  // absolute: the same from here
  return Select({}, &children_, PathSteps(path));
}

XmlNode* XmlDocument::CreateElement(std::string_view name) {
  if (!IsValidXmlName(name)) {
    throw XmlError("createElement：“" + std::string(name) + "”不是有效的元素名。");
  }
  return NewNode(NodeType::Element, std::string(name));
}

XmlNode* XmlDocument::CreateAttribute(std::string_view name) {
  if (!IsValidXmlName(name)) {
    throw XmlError("createAttribute：“" + std::string(name) + "”不是有效的属性名。");
  }
  return NewNode(NodeType::Attribute, std::string(name));
}

void XmlDocument::CheckInsertable(const XmlNode* parent, const XmlNode* child) const {
  if (child == nullptr) throw XmlError("appendChild：没有给出节点。");
  if (child->doc_ != this) throw XmlError("appendChild：“" + child->name_ + "”属于另一个文档。");
  if (child->type_ == NodeType::Attribute) {
    throw XmlError("appendChild：属性“" + child->name_ + "”不能作为子节点。");
  }
  for (const XmlNode* p = parent; p != nullptr; p = p->parent_) {
    if (p == child) throw XmlError("appendChild：“" + child->name_ + "”不能放在它自身之内。");
  }
  const bool placed = child->parent_ != nullptr || (child->index_ < children_.size() && children_[child->index_] == child);
  if (placed) throw XmlError("appendChild：“" + child->name_ + "”已经在文档中。");
}

XmlNode* XmlDocument::AppendChild(XmlNode* child) {
  CheckInsertable(nullptr, child);
  if (child->type_ == NodeType::Element && documentElement() != nullptr) {
    throw XmlError("appendChild：文档已经有根元素“" + documentElement()->name_ + "”。");
  }
  if (child->type_ == NodeType::Text || child->type_ == NodeType::CData) {
    throw XmlError("appendChild：文本不能位于根元素之外。");
  }
  child->index_ = children_.size();
  children_.push_back(child);
  return child;
}

}  // namespace xml
