#include "publish/manifest.h"

#include "engine/xml_routines.h"
#include "platform/codepage.h"
#include "publish/release.h"
#include "xml/xml_writer.h"

namespace publish {
namespace {

// Elements, their attributes and text, into another document.
void CopyElement(xml::XmlDocument& doc, const xml::XmlNode& from, xml::XmlNode& parent) {
  xml::XmlNode* element = parent.AppendChild(doc.CreateElement(from.nodeName()));
  for (size_t i = 0; i < from.attributes().length(); ++i) {
    const xml::XmlNode& a = *from.attributes().item(i);
    engine::AddAttribute(doc, *element, a.nodeName(), a.nodeValue());
  }
  bool hasElements = false;
  for (const xml::XmlNode* child : from.childNodes()) {
    if (child->nodeType() != xml::NodeType::Element) continue;
    hasElements = true;
    CopyElement(doc, *child, *element);
  }
  if (!hasElements && !from.text().empty()) element->SetText(from.text());
}

void AppendGroup(xml::XmlDocument& doc, xml::XmlNode& data, const std::string& app, const AttributeList& group,
                 const std::vector<EntryElement>& entries) {
  xml::XmlNode* element = data.AppendChild(doc.CreateElement(app));
  for (const auto& [name, value] : group) engine::AddAttribute(doc, *element, name, value);
  for (const EntryElement& entry : entries) {
    xml::XmlNode* child = element->AppendChild(doc.CreateElement(entry.name));
    for (const auto& [name, value] : entry.attributes) engine::AddAttribute(doc, *child, name, value);
  }
}

std::string Encoded(const xml::XmlDocument& doc) {
  try {
    return xml::EncodeDocument(doc);
  } catch (const xml::XmlError& e) {
    throw PublishError(std::string("无法写出 GB2312 的更新说明：") + e.what());
  }
}

// A manifest with nothing in it yet but its root's attributes.
std::unique_ptr<xml::XmlDocument> EmptyManifest(const AttributeList& root) {
  auto doc = std::make_unique<xml::XmlDocument>();
  doc->LoadXml("<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<data/>");
  for (const auto& [name, value] : root) engine::AddAttribute(*doc, *doc->documentElement(), name, value);
  return doc;
}

}  // namespace

std::unique_ptr<xml::XmlDocument> ParseManifest(std::string_view bytes) {
  auto doc = std::make_unique<xml::XmlDocument>();
  const auto text = platform::DecodeToUtf8(engine::RejoinLines(bytes), kClientCodePage);
  if (text) doc->LoadXml(*text);
  return doc;
}

std::string ManifestWithRoot(const xml::XmlDocument& from, const AttributeList& root) {
  const auto doc = EmptyManifest(root);
  const xml::XmlNode* old = from.documentElement();
  for (const xml::XmlNode* child : old ? old->childNodes() : std::vector<xml::XmlNode*>{}) {
    if (child->nodeType() == xml::NodeType::Element) CopyElement(*doc, *child, *doc->documentElement());
  }
  return Encoded(*doc);
}

std::string ManifestBytes(const xml::XmlDocument* previous, const std::string& app, const AttributeList& group,
                          const std::vector<EntryElement>& entries, const AttributeList& root) {
  const auto owned = EmptyManifest(root);
  xml::XmlDocument& doc = *owned;
  xml::XmlNode& data = *doc.documentElement();
  bool placed = false;
  const xml::XmlNode* old = previous ? previous->documentElement() : nullptr;
  for (const xml::XmlNode* child : old ? old->childNodes() : std::vector<xml::XmlNode*>{}) {
    if (child->nodeType() != xml::NodeType::Element) continue;
    if (child->nodeName() == app) {
      if (!placed) AppendGroup(doc, data, app, group, entries);
      placed = true;
    } else {
      CopyElement(doc, *child, data);
    }
  }
  if (!placed) AppendGroup(doc, data, app, group, entries);
  return Encoded(doc);
}

}  // namespace publish
