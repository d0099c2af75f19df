#include "engine/xml_routines.h"

#include "platform/codepage.h"

namespace engine {

std::string RejoinLines(std::string_view bytes) {
  const size_t zero = bytes.find('\0');
  if (zero != std::string_view::npos) bytes = bytes.substr(0, zero);
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 32 + 2);
  size_t i = 0;
  while (i < bytes.size()) {
    const size_t end = bytes.find_first_of("\r\n", i);
    if (end == std::string_view::npos) {
      out.append(bytes.substr(i));
      out += "\r\n";
      break;
    }
    out.append(bytes.substr(i, end - i));
    out += "\r\n";
    i = end + 1;
    if (bytes[end] == '\r' && i < bytes.size() && bytes[i] == '\n') ++i;
  }
  return out;
}

std::unique_ptr<xml::XmlDocument> LoadXmlFromBytes(std::string_view bytes) {
  auto doc = std::make_unique<xml::XmlDocument>();
  // The server's bytes are text in the system code page, whatever encoding
  // the declaration names; the declaration itself is kept for saving.
  doc->LoadXml(platform::AnsiToUtf8(RejoinLines(bytes)));
  return doc;
}

std::unique_ptr<xml::XmlDocument> LoadXmlFile(const std::string& path) {
  auto doc = std::make_unique<xml::XmlDocument>();
  doc->Load(path);
  return doc;
}

std::string AttributeOr(const xml::XmlNode* node, std::string_view name, std::string_view defaultValue) {
  if (node == nullptr) return std::string(defaultValue);
  const xml::XmlNode* attr = node->attributes().GetNamedItem(name);
  return attr != nullptr ? attr->text() : std::string(defaultValue);
}

void SetExistingAttribute(xml::XmlNode* node, std::string_view name, std::string_view value) {
  if (node == nullptr) return;
  if (xml::XmlNode* attr = node->attributes().GetNamedItem(name)) attr->SetText(std::string(value));
}

void AddAttribute(xml::XmlDocument& doc, xml::XmlNode& element, const std::string& name, const std::string& value) {
  xml::XmlNode* attr = doc.CreateAttribute(name);
  element.attributes().SetNamedItem(attr);
  attr->SetNodeValue(value);
}

}  // namespace engine
