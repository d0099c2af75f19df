#pragma once
// Serialization of a document: the declaration as held, one element per line,
// indented. An element that holds text is written on one line, so that its
// text reads back unchanged; white space added between elements is not kept
// when the text is read again.
#include <functional>
#include <string>

namespace xml {

class XmlDocument;

// canHold tells whether the target encoding holds a character; text and
// attribute characters it does not hold become character references. Raises
// XmlError for content that cannot be written (a comment holding "--", text
// that is not valid UTF-8 or holds characters XML does not allow).
std::string SerializeDocument(const XmlDocument& doc, const std::function<bool(unsigned long)>& canHold);

// The bytes of the document in the encoding of its declaration (UTF-8 when it
// has none); raises XmlError naming the encoding when it is unknown or cannot
// hold a name, comment or processing instruction of the document.
std::string EncodeDocument(const XmlDocument& doc);

}  // namespace xml
