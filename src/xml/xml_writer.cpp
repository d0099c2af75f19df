#include "xml/xml_writer.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "base/text.h"
#include "platform/codepage.h"
#include "xml/xml_chars.h"
#include "xml/xml_document.h"

namespace xml {
namespace {

constexpr size_t kMaxIndentDepth = 64;  // deeper levels share one indentation

class Writer {
 public:
  Writer(std::string& out, const std::function<bool(unsigned long)>& canHold) : out_(out), canHold_(canHold) {}

  void Node(const XmlNode* node) {
    switch (node->nodeType()) {
      case NodeType::Element: Element(node); break;
      case NodeType::Attribute: break;
      case NodeType::Text: Escaped(node->nodeValue(), false); break;
      case NodeType::CData: CData(node->nodeValue()); break;
      case NodeType::Comment: Comment(node->nodeValue()); break;
      case NodeType::ProcessingInstruction: Pi(node); break;
    }
  }

 private:
  static bool HoldsText(const XmlNode* element) {
    for (const XmlNode* c : element->childNodes()) {
      if (c->nodeType() == NodeType::Text || c->nodeType() == NodeType::CData) return true;
    }
    return false;
  }

  void NewLine(size_t depth) {
    out_ += "\r\n";
    out_.append(2 * std::min(depth, kMaxIndentDepth), ' ');
  }

  // Writes the start tag; true when the element has children to follow.
  bool Open(const XmlNode* element) {
    out_ += '<';
    out_ += element->nodeName();
    const XmlAttributes& attrs = element->attributes();
    for (size_t i = 0; i < attrs.length(); ++i) {
      const XmlNode* a = attrs.item(i);
      out_ += ' ';
      out_ += a->nodeName();
      out_ += "=\"";
      Escaped(a->nodeValue(), true);
      out_ += '"';
    }
    if (!element->hasChildNodes()) {
      out_ += "/>";
      return false;
    }
    out_ += '>';
    return true;
  }

  void Close(const XmlNode* element) {
    out_ += "</";
    out_ += element->nodeName();
    out_ += '>';
  }

  // Iterative, so that the depth of the tree does not matter.
  void Element(const XmlNode* root) {
    struct Frame {
      const XmlNode* element;
      size_t next;
      bool inlined;
      size_t depth;
    };
    if (!Open(root)) return;
    std::vector<Frame> stack{{root, 0, HoldsText(root), 0}};
    while (!stack.empty()) {
      Frame& top = stack.back();
      const auto& children = top.element->childNodes();
      if (top.next == children.size()) {
        if (!top.inlined) NewLine(top.depth);
        Close(top.element);
        stack.pop_back();
        continue;
      }
      const XmlNode* child = children[top.next++];
      const bool inlined = top.inlined;
      const size_t depth = top.depth + 1;
      if (!inlined) NewLine(depth);
      if (child->nodeType() == NodeType::Element) {
        if (Open(child)) stack.push_back({child, 0, inlined || HoldsText(child), depth});  // invalidates top
      } else {
        Node(child);
      }
    }
  }

  void Escaped(const std::string& text, bool attribute) {
    size_t i = 0;
    while (i < text.size()) {
      const char c = text[i];
      const unsigned char b = static_cast<unsigned char>(c);
      if (b >= 0x80) {
        size_t len;
        const long cp = chars::DecodeUtf8(text, i, len);
        if (cp < 0 || !chars::IsXmlChar(static_cast<unsigned long>(cp))) Invalid("文本");
        if (canHold_(static_cast<unsigned long>(cp))) {
          out_.append(text, i, len);
        } else {
          out_ += "&#" + std::to_string(cp) + ';';
        }
        i += len;
        continue;
      }
      ++i;
      switch (c) {
        case '&': out_ += "&amp;"; break;
        case '<': out_ += "&lt;"; break;
        case '>': out_ += attribute ? ">" : "&gt;"; break;
        case '"': out_ += attribute ? "&quot;" : "\""; break;
        case '\r': out_ += "&#13;"; break;
        case '\n': out_ += attribute ? "&#10;" : "\n"; break;
        case '\t': out_ += attribute ? "&#9;" : "\t"; break;
        default:
          if (b < 0x20) Invalid("文本");
          out_ += c;
      }
    }
  }

  // Content written as is must be valid XML characters the encoding holds.
  void Raw(const std::string& text, const char* what) {
    size_t i = 0;
    while (i < text.size()) {
      size_t len;
      const long cp = chars::DecodeUtf8(text, i, len);
      if (cp < 0 || !chars::IsXmlChar(static_cast<unsigned long>(cp))) Invalid(what);
      i += len;
    }
    out_ += text;
  }

  void CData(const std::string& text) {
    // "]]>" cannot stand inside a section: it is split over two.
    size_t start = 0;
    for (;;) {
      const size_t end = text.find("]]>", start);
      out_ += "<![CDATA[";
      if (end == std::string::npos) {
        Raw(text.substr(start), "CDATA 段");
        out_ += "]]>";
        return;
      }
      Raw(text.substr(start, end + 2 - start), "CDATA 段");
      out_ += "]]>";
      start = end + 2;
    }
  }

  void Comment(const std::string& text) {
    if (text.find("--") != std::string::npos || (!text.empty() && text.back() == '-')) {
      throw XmlError("无法写出注释“" + text + "”：注释中不能含有“--”，也不能以“-”结尾。");
    }
    out_ += "<!--";
    Raw(text, "注释");
    out_ += "-->";
  }

  void Pi(const XmlNode* pi) {
    if (pi->nodeValue().find("?>") != std::string::npos) {
      throw XmlError("无法写出处理指令“" + pi->nodeName() + "”：其内容含有“?>”。");
    }
    out_ += "<?";
    out_ += pi->nodeName();
    if (!pi->nodeValue().empty()) {
      out_ += ' ';
      Raw(pi->nodeValue(), "处理指令");
    }
    out_ += "?>";
  }

  [[noreturn]] static void Invalid(const char* what) {
    throw XmlError(std::string("无法写出文档：") + what + "中含有 XML 不允许的字符。");
  }

  std::string& out_;
  const std::function<bool(unsigned long)>& canHold_;
};

}  // namespace

std::string SerializeDocument(const XmlDocument& doc, const std::function<bool(unsigned long)>& canHold) {
  std::string out;
  if (doc.hasDeclaration()) {
    out += "<?xml version=\"" + doc.version() + '"';
    if (!doc.encoding().empty()) out += " encoding=\"" + doc.encoding() + '"';
    if (!doc.standalone().empty()) out += " standalone=\"" + doc.standalone() + '"';
    out += "?>\r\n";
  }
  Writer writer(out, canHold);
  for (const XmlNode* node : doc.childNodes()) {
    writer.Node(node);
    out += "\r\n";
  }
  return out;
}

std::string EncodeDocument(const XmlDocument& doc) {
  const std::string encoding = doc.encoding().empty() ? std::string("UTF-8") : doc.encoding();
  const std::string lower = base::LowerAscii(encoding);
  if (!platform::IsKnownEncoding(encoding)) {
    throw XmlError("无法保存文档：不支持编码“" + encoding + "”。");
  }
  const bool unicode = lower == "utf-8" || lower == "utf8" || lower.rfind("utf-16", 0) == 0;
  std::unordered_map<unsigned long, bool> held;
  auto canHold = [&](unsigned long c) {
    if (unicode) return true;
    auto it = held.find(c);
    if (it != held.end()) return it->second;
    std::string utf8;
    chars::AppendUtf8(utf8, c);
    const bool ok = platform::EncodeFromUtf8(utf8, encoding).has_value();
    held.emplace(c, ok);
    return ok;
  };
  // Most documents fit their encoding whole; only otherwise is every
  // character tested.
  std::string text = SerializeDocument(doc, [](unsigned long) { return true; });
  std::optional<std::string> bytes = platform::EncodeFromUtf8(text, encoding);
  if (!bytes) {
    text = SerializeDocument(doc, canHold);
    bytes = platform::EncodeFromUtf8(text, encoding);
  }
  if (!bytes) {
    throw XmlError("无法保存文档：名称、注释或处理指令中含有编码“" + encoding + "”无法表示的字符。");
  }
  if (lower == "utf-16") return "\xFF\xFE" + *bytes;  // the byte-order mark tells the byte order
  return *bytes;
}

}  // namespace xml
