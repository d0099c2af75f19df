#pragma once
// Loading documents and reading or setting attribute text, as the engine does
// it for the client configuration and the server manifest.
#include <memory>
#include <string>
#include <string_view>

#include "xml/xml_document.h"

namespace engine {

// Bytes up to the first zero byte, lines rejoined with CR LF (text then ends with CR LF), decoded from
// the ANSI code page (platform::AnsiToUtf8) whatever the declaration says, then parsed. Never null.
std::unique_ptr<xml::XmlDocument> LoadXmlFromBytes(std::string_view bytes);
// The file read with the XML encoding rules; missing/undecodable/malformed file -> empty document. Never null.
std::unique_ptr<xml::XmlDocument> LoadXmlFile(const std::string& path);
// Attribute text by exact name, or the default; node may be null.
std::string AttributeOr(const xml::XmlNode* node, std::string_view name, std::string_view defaultValue);
// Sets an existing attribute of exactly that name; otherwise nothing (never creates).
void SetExistingAttribute(xml::XmlNode* node, std::string_view name, std::string_view value);
// Gives the element an attribute of that name and text (one of that name is
// replaced).
void AddAttribute(xml::XmlDocument& doc, xml::XmlNode& element, const std::string& name, const std::string& value);

// The text of the bytes up to the first zero byte, split into lines at CR, LF
// or CR LF and joined again with CR LF after every line.
std::string RejoinLines(std::string_view bytes);

}  // namespace engine
