#pragma once
// The well-formedness parser behind XmlDocument::loadXML. It works with an
// explicit stack of open elements, never recursing per nesting level, and
// leaves the document empty on any error (never a partial tree).
#include <string_view>

namespace xml {

class XmlDocument;

class XmlParser {
 public:
  // Replaces the content of doc with the parsed text (UTF-8). False, leaving
  // doc empty, when the text is not well-formed.
  static bool Parse(XmlDocument& doc, std::string_view text);

 private:
  class Impl;
};

}  // namespace xml
