#pragma once
// The server manifest on the publisher's side: read exactly as the updater
// reads it, and written in GB2312 with one application's group replaced.
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "xml/xml_document.h"

namespace publish {

// The clients' code page: the updater takes every server document as text
// in it, whatever the declaration says.
inline constexpr const char* kClientCodePage = "GBK";

using AttributeList = std::vector<std::pair<std::string, std::string>>;  // in order

struct EntryElement {
  std::string name;
  AttributeList attributes;
};

// Lines rejoined, decoded from the clients' code page, parsed; an empty
// document when that fails. Never null.
std::unique_ptr<xml::XmlDocument> ParseManifest(std::string_view bytes);

// The manifest's bytes in GB2312: every other child of `previous`'s data
// element kept as it was and where it was, and the group element of `app`
// (in place, or last when new) made of these attributes and entries.
// PublishError when a name or text cannot be written in GB2312.
// The root element gets `root` (Serial, Expires).
std::string ManifestBytes(const xml::XmlDocument* previous, const std::string& app, const AttributeList& group,
                          const std::vector<EntryElement>& entries, const AttributeList& root = {});

// The document's bytes in GB2312, every child of its data element copied,
// the root element given `root` (Serial, Expires). PublishError as above.
std::string ManifestWithRoot(const xml::XmlDocument& doc, const AttributeList& root);

}  // namespace publish
