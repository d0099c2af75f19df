#pragma once
// A canonical text form of a document tree, for tests and the comparison with
// another parser: one line per node, two spaces of indentation per level,
// adjacent text and CDATA merged, control characters escaped.
#include <string>
#include <utility>
#include <vector>

#include "xml/xml_document.h"

namespace xml_testing {

inline std::string Escape(const std::string& s) {
  static const char hex[] = "0123456789abcdef";
  std::string out;
  for (char c : s) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (b < 0x20 || b == 0x7F) {
      out += "\\x";
      out += hex[b >> 4];
      out += hex[b & 15];
    } else {
      out += c;
    }
  }
  return out;
}

// Without recursion, so that deep trees can be dumped.
inline std::string Canonical(const xml::XmlDocument& doc) {
  if (doc.documentElement() == nullptr) return "EMPTY\n";
  std::string out;
  if (doc.hasDeclaration()) {
    out += "decl version=" + Escape(doc.version()) + " encoding=" + Escape(doc.encoding()) +
           " standalone=" + Escape(doc.standalone()) + "\n";
  }
  std::vector<std::pair<const std::vector<xml::XmlNode*>*, size_t>> stack{{&doc.childNodes(), 0}};
  std::string pendingText;
  auto flush = [&](size_t depth) {
    if (pendingText.empty()) return;
    out += std::string(2 * depth, ' ') + "text " + Escape(pendingText) + "\n";
    pendingText.clear();
  };
  while (!stack.empty()) {
    auto& [nodes, next] = stack.back();
    const size_t depth = stack.size() - 1;
    if (next == nodes->size()) {
      flush(depth);
      stack.pop_back();
      continue;
    }
    const xml::XmlNode* n = (*nodes)[next++];
    if (n->nodeType() == xml::NodeType::Text || n->nodeType() == xml::NodeType::CData) {
      pendingText += n->nodeValue();
      continue;
    }
    flush(depth);
    const std::string indent(2 * depth, ' ');
    switch (n->nodeType()) {
      case xml::NodeType::Element:
        out += indent + "element " + n->nodeName() + "\n";
        for (size_t i = 0; i < n->attributes().length(); ++i) {
          const xml::XmlNode* a = n->attributes().item(i);
          out += indent + "  @" + a->nodeName() + "=" + Escape(a->nodeValue()) + "\n";
        }
        stack.emplace_back(&n->childNodes(), 0);
        break;
      case xml::NodeType::Comment:
        out += indent + "comment " + Escape(n->nodeValue()) + "\n";
        break;
      case xml::NodeType::ProcessingInstruction:
        out += indent + "pi " + n->nodeName() + " " + Escape(n->nodeValue()) + "\n";
        break;
      default:
        break;
    }
  }
  return out;
}

}  // namespace xml_testing
