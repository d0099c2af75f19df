#include "xml/xml_parser.h"

#include <array>
#include <string>
#include <unordered_set>
#include <vector>

#include "xml/xml_chars.h"
#include "xml/xml_document.h"

namespace xml {
namespace {

using chars::IsSpace;

// Byte classes for the hot scanning loops.
enum : unsigned char {
  kPlainText = 1,  // ASCII that needs no attention in character data
  kPlainAttr = 2,  // ASCII that needs no attention in an attribute value
};

constexpr std::array<unsigned char, 256> MakeClasses() {
  std::array<unsigned char, 256> t{};
  for (int c = 0x20; c < 0x80; ++c) {
    if (c != '<' && c != '&' && c != ']') t[c] |= kPlainText;
    if (c != '<' && c != '&' && c != '"' && c != '\'') t[c] |= kPlainAttr;
  }
  t['\t'] |= kPlainText;
  t['\n'] |= kPlainText;
  return t;
}
constexpr std::array<unsigned char, 256> kClass = MakeClasses();

inline unsigned char ClassOf(char c) { return kClass[static_cast<unsigned char>(c)]; }

}  // namespace

class XmlParser::Impl {
 public:
  Impl(XmlDocument& doc, std::string_view text) : doc_(doc), s_(text) {}

  bool Run();

 private:
  bool AtEnd() const { return p_ >= s_.size(); }
  bool StartsWith(std::string_view prefix) const { return s_.substr(p_, prefix.size()) == prefix; }
  bool SkipSpace() {
    const size_t start = p_;
    while (p_ < s_.size() && IsSpace(s_[p_])) ++p_;
    return p_ != start;
  }
  std::string_view TakeName() {
    const size_t len = chars::NameLength(s_.substr(p_));
    std::string_view name = s_.substr(p_, len);
    p_ += len;
    return name;
  }
  bool Expect(char c) {
    if (AtEnd() || s_[p_] != c) return false;
    ++p_;
    return true;
  }
  bool Eq() {
    SkipSpace();
    if (!Expect('=')) return false;
    SkipSpace();
    return true;
  }

  // Validates one non-ASCII character at p_ and advances past it.
  bool TakeWideChar() {
    size_t len;
    const long c = chars::DecodeUtf8(s_, p_, len);
    if (c < 0 || !chars::IsXmlChar(static_cast<unsigned long>(c))) return false;
    p_ += len;
    return true;
  }
  // The same, copying the character's bytes to out.
  bool CopyWideChar(std::string& out) {
    const size_t from = p_;
    if (!TakeWideChar()) return false;
    out.append(s_.substr(from, p_ - from));
    return true;
  }
  // Checks that [from, to) holds only XML characters.
  bool ValidChars(size_t from, size_t to);
  // Line ends normalised to LF.
  static std::string NormalizeLineEnds(std::string_view raw);

  bool ParseDeclaration();
  bool ParseDoctype();
  bool ParseMarkupDeclaration();
  bool ParseComment(bool keep);
  bool ParsePI(bool keep);
  bool ParseCData();
  bool ParseStartTag();
  bool ParseEndTag();
  bool ParseText();
  bool ParseAttributeValue(std::string& out);
  bool ParseReference(std::string& out);
  bool ParseQuoted(std::string_view& out);

  void Place(XmlNode* node) {
    node->parent_ = open_.empty() ? nullptr : open_.back();
    pending_.push_back(node);
  }
  void CloseChildren(std::vector<XmlNode*>& children, size_t mark) {
    children.assign(pending_.begin() + static_cast<std::ptrdiff_t>(mark), pending_.end());
    for (size_t i = 0; i < children.size(); ++i) children[i]->index_ = i;
    pending_.resize(mark);
  }

  XmlDocument& doc_;
  std::string_view s_;
  size_t p_ = 0;
  bool seenRoot_ = false;
  bool seenDoctype_ = false;
  std::vector<XmlNode*> open_;     // open elements, innermost last
  std::vector<size_t> marks_;      // where each open element's children start in pending_
  std::vector<XmlNode*> pending_;  // placed nodes whose parent is still open
  std::vector<XmlNode*> attrs_;    // attributes of the start tag being read
  std::string scratch_;
};

bool XmlParser::Impl::ValidChars(size_t from, size_t to) {
  size_t i = from;
  while (i < to) {
    const unsigned char b = static_cast<unsigned char>(s_[i]);
    if (b < 0x80) {
      if (b < 0x20 && b != '\t' && b != '\n' && b != '\r') return false;
      ++i;
      continue;
    }
    size_t len;
    const long c = chars::DecodeUtf8(s_.substr(0, to), i, len);
    if (c < 0 || !chars::IsXmlChar(static_cast<unsigned long>(c))) return false;
    i += len;
  }
  return true;
}

std::string XmlParser::Impl::NormalizeLineEnds(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\r') {
      out += '\n';
      if (i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
    } else {
      out += raw[i];
    }
  }
  return out;
}

bool XmlParser::Impl::Run() {
  if (StartsWith("\xEF\xBB\xBF")) p_ += 3;  // a byte-order mark left in the text
  if (StartsWith("<?xml") && p_ + 5 < s_.size() && (IsSpace(s_[p_ + 5]) || s_[p_ + 5] == '?')) {
    if (!ParseDeclaration()) return false;
  }
  while (!AtEnd()) {
    if (s_[p_] != '<') {
      if (open_.empty()) {
        // Outside the root element only white space may stand between markup.
        if (!SkipSpace()) return false;
        continue;
      }
      if (!ParseText()) return false;
      continue;
    }
    const char next = p_ + 1 < s_.size() ? s_[p_ + 1] : '\0';
    bool ok;
    if (next == '/') {
      ok = !open_.empty() && ParseEndTag();
    } else if (next == '?') {
      ok = ParsePI(true);
    } else if (next == '!') {
      if (StartsWith("<!--")) {
        ok = ParseComment(true);
      } else if (StartsWith("<![CDATA[")) {
        ok = !open_.empty() && ParseCData();
      } else if (StartsWith("<!DOCTYPE")) {
        ok = !seenRoot_ && !seenDoctype_ && ParseDoctype();
      } else {
        ok = false;
      }
    } else {
      ok = !(open_.empty() && seenRoot_) && ParseStartTag();
    }
    if (!ok) return false;
  }
  if (!seenRoot_ || !open_.empty()) return false;
  CloseChildren(doc_.children_, 0);
  return true;
}

bool XmlParser::Impl::ParseQuoted(std::string_view& out) {
  if (AtEnd() || (s_[p_] != '"' && s_[p_] != '\'')) return false;
  const char quote = s_[p_++];
  const size_t end = s_.find(quote, p_);
  if (end == std::string_view::npos) return false;
  out = s_.substr(p_, end - p_);
  p_ = end + 1;
  return true;
}

bool XmlParser::Impl::ParseDeclaration() {
  p_ += 5;  // "<?xml"
  std::string_view version, encoding, standalone;
  // version is required; encoding and standalone are optional, in this order.
  if (!SkipSpace() || !StartsWith("version")) return false;
  p_ += 7;
  if (!Eq() || !ParseQuoted(version) || version.empty()) return false;
  for (char c : version) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                    c == '.' || c == ':' || c == '-';
    if (!ok) return false;
  }
  bool space = SkipSpace();
  if (space && StartsWith("encoding")) {
    p_ += 8;
    if (!Eq() || !ParseQuoted(encoding) || encoding.empty()) return false;
    // EncName ::= [A-Za-z] ([A-Za-z0-9._] | '-')*
    for (size_t i = 0; i < encoding.size(); ++i) {
      const char c = encoding[i];
      const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
      const bool ok = letter || (i > 0 && ((c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-'));
      if (!ok) return false;
    }
    space = SkipSpace();
  }
  if (space && StartsWith("standalone")) {
    p_ += 10;
    if (!Eq() || !ParseQuoted(standalone) || (standalone != "yes" && standalone != "no")) return false;
    SkipSpace();
  }
  if (!StartsWith("?>")) return false;
  p_ += 2;
  doc_.hasDeclaration_ = true;
  doc_.version_ = version;
  doc_.encoding_ = encoding;
  doc_.standalone_ = standalone;
  return true;
}

bool XmlParser::Impl::ParseDoctype() {
  // Skipped: nothing declared here is used, no entity is expanded and no
  // external subset is fetched. Its syntax is still checked.
  const size_t start = p_;
  p_ += 9;  // "<!DOCTYPE"
  if (!SkipSpace() || TakeName().empty()) return false;
  bool space = SkipSpace();
  if (space && (StartsWith("SYSTEM") || StartsWith("PUBLIC"))) {
    const bool isPublic = StartsWith("PUBLIC");
    p_ += 6;
    std::string_view literal;
    if (!SkipSpace() || !ParseQuoted(literal)) return false;
    if (isPublic) {
      for (char c : literal) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                        std::string_view(" \r\n-'()+,./:=?;!*#@$_%").find(c) != std::string_view::npos;
        if (!ok) return false;
      }
      if (!SkipSpace() || !ParseQuoted(literal)) return false;
    }
    SkipSpace();
  }
  if (!AtEnd() && s_[p_] == '[') {
    ++p_;
    for (;;) {
      SkipSpace();
      if (AtEnd()) return false;
      if (s_[p_] == ']') {
        ++p_;
        break;
      }
      bool ok;
      if (StartsWith("<!--")) {
        ok = ParseComment(false);
      } else if (StartsWith("<?")) {
        ok = ParsePI(false);
      } else if (StartsWith("<!")) {
        ok = ParseMarkupDeclaration();
      } else if (s_[p_] == '%') {
        ++p_;
        ok = !TakeName().empty() && Expect(';');
      } else {
        ok = false;
      }
      if (!ok) return false;
    }
    SkipSpace();
  }
  if (!Expect('>') || !ValidChars(start, p_)) return false;
  seenDoctype_ = true;
  return true;
}

bool XmlParser::Impl::ParseMarkupDeclaration() {
  // <!ELEMENT ...>, <!ATTLIST ...>, <!ENTITY ...>, <!NOTATION ...>: read up to
  // the closing '>' outside quoted literals.
  p_ += 2;
  static constexpr std::string_view kinds[] = {"ELEMENT", "ATTLIST", "ENTITY", "NOTATION"};
  bool known = false;
  for (std::string_view k : kinds) {
    if (StartsWith(k)) {
      p_ += k.size();
      known = true;
      break;
    }
  }
  if (!known || !SkipSpace()) return false;
  const size_t start = p_;
  char quote = 0;
  while (!AtEnd()) {
    const char c = s_[p_];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      const bool ok = ValidChars(start, p_);
      ++p_;
      return ok;
    } else if (c == '<') {
      return false;
    }
    ++p_;
  }
  return false;
}

bool XmlParser::Impl::ParseComment(bool keep) {
  p_ += 4;  // "<!--"
  const size_t end = s_.find("--", p_);
  if (end == std::string_view::npos || end + 2 >= s_.size() || s_[end + 2] != '>') return false;
  if (!ValidChars(p_, end)) return false;
  if (keep) {
    XmlNode* node = doc_.NewNode(NodeType::Comment, "#comment");
    node->value_ = NormalizeLineEnds(s_.substr(p_, end - p_));
    Place(node);
  }
  p_ = end + 3;
  return true;
}

bool XmlParser::Impl::ParsePI(bool keep) {
  p_ += 2;  // "<?"
  const std::string_view target = TakeName();
  if (target.empty()) return false;
  if (target.size() == 3 && (target[0] | 0x20) == 'x' && (target[1] | 0x20) == 'm' && (target[2] | 0x20) == 'l') {
    return false;  // reserved; the declaration only stands at the very start
  }
  size_t start = p_;
  if (!StartsWith("?>")) {
    if (!SkipSpace()) return false;
    start = p_;
  }
  const size_t end = s_.find("?>", start);
  if (end == std::string_view::npos || !ValidChars(start, end)) return false;
  if (keep) {
    XmlNode* node = doc_.NewNode(NodeType::ProcessingInstruction, std::string(target));
    node->value_ = NormalizeLineEnds(s_.substr(start, end - start));
    Place(node);
  }
  p_ = end + 2;
  return true;
}

bool XmlParser::Impl::ParseCData() {
  p_ += 9;  // "<![CDATA["
  const size_t end = s_.find("]]>", p_);
  if (end == std::string_view::npos || !ValidChars(p_, end)) return false;
  XmlNode* node = doc_.NewNode(NodeType::CData, "#cdata-section");
  node->value_ = NormalizeLineEnds(s_.substr(p_, end - p_));
  Place(node);
  p_ = end + 3;
  return true;
}

bool XmlParser::Impl::ParseStartTag() {
  ++p_;  // "<"
  const std::string_view name = TakeName();
  if (name.empty()) return false;
  XmlNode* element = doc_.NewNode(NodeType::Element, std::string(name));
  attrs_.clear();
  bool empty = false;
  for (;;) {
    const bool space = SkipSpace();
    if (AtEnd()) return false;
    if (s_[p_] == '>') {
      ++p_;
      break;
    }
    if (s_[p_] == '/') {
      if (!StartsWith("/>")) return false;
      p_ += 2;
      empty = true;
      break;
    }
    if (!space) return false;
    const std::string_view attrName = TakeName();
    if (attrName.empty() || !Eq()) return false;
    XmlNode* attr = doc_.NewNode(NodeType::Attribute, std::string(attrName));
    if (!ParseAttributeValue(attr->value_)) return false;
    attr->ownerElement_ = element;
    attrs_.push_back(attr);
  }
  // A duplicate attribute name is not well-formed.
  if (attrs_.size() > 1 && attrs_.size() <= 16) {
    for (size_t i = 1; i < attrs_.size(); ++i) {
      for (size_t j = 0; j < i; ++j) {
        if (attrs_[i]->name_ == attrs_[j]->name_) return false;
      }
    }
  } else if (attrs_.size() > 16) {
    std::unordered_set<std::string_view> names;
    names.reserve(attrs_.size());
    for (const XmlNode* a : attrs_) {
      if (!names.insert(a->name_).second) return false;
    }
  }
  element->attributes_.items_.assign(attrs_.begin(), attrs_.end());
  if (open_.empty()) seenRoot_ = true;
  Place(element);
  if (!empty) {
    open_.push_back(element);
    marks_.push_back(pending_.size());
  }
  return true;
}

bool XmlParser::Impl::ParseEndTag() {
  p_ += 2;  // "</"
  const std::string_view name = TakeName();
  XmlNode* element = open_.back();
  if (name != element->name_) return false;
  SkipSpace();
  if (!Expect('>')) return false;
  CloseChildren(element->children_, marks_.back());
  open_.pop_back();
  marks_.pop_back();
  return true;
}

bool XmlParser::Impl::ParseReference(std::string& out) {
  ++p_;  // "&"
  if (!AtEnd() && s_[p_] == '#') {
    ++p_;
    const bool hex = !AtEnd() && s_[p_] == 'x';
    if (hex) ++p_;
    unsigned long value = 0;
    size_t digits = 0;
    while (!AtEnd()) {
      const char c = s_[p_];
      int d;
      if (c >= '0' && c <= '9') {
        d = c - '0';
      } else if (hex && c >= 'a' && c <= 'f') {
        d = c - 'a' + 10;
      } else if (hex && c >= 'A' && c <= 'F') {
        d = c - 'A' + 10;
      } else {
        break;
      }
      value = value * (hex ? 16 : 10) + static_cast<unsigned long>(d);
      if (value > 0x10FFFF) return false;
      ++digits;
      ++p_;
    }
    if (digits == 0 || !Expect(';') || !chars::IsXmlChar(value)) return false;
    chars::AppendUtf8(out, value);
    return true;
  }
  // Only the predefined entities: nothing is declared, nothing is expanded.
  const std::string_view name = TakeName();
  if (!Expect(';')) return false;
  if (name == "lt") {
    out += '<';
  } else if (name == "gt") {
    out += '>';
  } else if (name == "amp") {
    out += '&';
  } else if (name == "apos") {
    out += '\'';
  } else if (name == "quot") {
    out += '"';
  } else {
    return false;
  }
  return true;
}

bool XmlParser::Impl::ParseAttributeValue(std::string& out) {
  if (AtEnd() || (s_[p_] != '"' && s_[p_] != '\'')) return false;
  const char quote = s_[p_++];
  const size_t start = p_;
  while (p_ < s_.size() && (ClassOf(s_[p_]) & kPlainAttr)) ++p_;
  if (p_ < s_.size() && s_[p_] == quote) {
    out.assign(s_.substr(start, p_ - start));
    ++p_;
    return true;
  }
  // Slow path: references, white space normalisation, non-ASCII text.
  out.assign(s_.substr(start, p_ - start));
  while (!AtEnd()) {
    const char c = s_[p_];
    if (c == quote) {
      ++p_;
      return true;
    }
    if (ClassOf(c) & kPlainAttr) {
      out += c;
      ++p_;
    } else if (c == '&') {
      if (!ParseReference(out)) return false;
    } else if (c == '\t' || c == '\n') {
      out += ' ';
      ++p_;
    } else if (c == '\r') {
      out += ' ';
      ++p_;
      if (!AtEnd() && s_[p_] == '\n') ++p_;
    } else if (c == '"' || c == '\'') {
      out += c;  // the other quote
      ++p_;
    } else if (static_cast<unsigned char>(c) >= 0x80) {
      if (!CopyWideChar(out)) return false;
    } else {
      return false;  // '<' or a control character
    }
  }
  return false;
}

bool XmlParser::Impl::ParseText() {
  const size_t start = p_;
  bool simple = true;
  while (!AtEnd()) {
    const char c = s_[p_];
    if (ClassOf(c) & kPlainText) {
      ++p_;
    } else if (c == '<') {
      break;
    } else if (static_cast<unsigned char>(c) >= 0x80) {
      if (!TakeWideChar()) return false;
    } else if (c == ']') {
      if (StartsWith("]]>")) return false;
      ++p_;
    } else if (c == '&' || c == '\r') {
      simple = false;
      break;
    } else {
      return false;
    }
  }
  std::string_view raw = s_.substr(start, p_ - start);
  if (simple) {
    if (chars::IsAllSpace(raw)) return true;  // white space between markup is not kept
    XmlNode* node = doc_.NewNode(NodeType::Text, "#text");
    node->value_.assign(raw);
    Place(node);
    return true;
  }
  std::string& out = scratch_;
  out.assign(raw);
  while (!AtEnd()) {
    const char c = s_[p_];
    if (ClassOf(c) & kPlainText) {
      out += c;
      ++p_;
    } else if (c == '<') {
      break;
    } else if (c == '&') {
      if (!ParseReference(out)) return false;
    } else if (c == '\r') {
      out += '\n';
      ++p_;
      if (!AtEnd() && s_[p_] == '\n') ++p_;
    } else if (c == ']') {
      if (StartsWith("]]>")) return false;
      out += c;
      ++p_;
    } else if (static_cast<unsigned char>(c) >= 0x80) {
      if (!CopyWideChar(out)) return false;
    } else {
      return false;
    }
  }
  if (chars::IsAllSpace(out)) return true;
  XmlNode* node = doc_.NewNode(NodeType::Text, "#text");
  node->value_ = out;
  Place(node);
  return true;
}

bool XmlParser::Parse(XmlDocument& doc, std::string_view text) {
  doc.Clear();
  Impl parser(doc, text);
  if (parser.Run()) return true;
  doc.Clear();
  return false;
}

}  // namespace xml
