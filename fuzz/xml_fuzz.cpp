// The XML parser over arbitrary bytes, both as the parser's own text and as a
// server document (LoadXmlFromBytes), followed by what the engine does with a
// manifest: select a group element, read every entry's attributes, change one
// and serialize the document again. Nothing may crash, hang or leak, and a
// rejected text must leave an empty document.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/xml_routines.h"
#include "xml/xml_document.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// ReadEntries-style reading: every element child of data/<group>, every
// attribute upper-cased and compared with the entry fields.
void ReadEntries(xml::XmlDocument& doc, std::string_view group) {
  xml::XmlNode* node = nullptr;
  try {
    node = doc.SelectSingleNode("data/" + std::string(group));
  } catch (const xml::XmlError&) {
    return;
  }
  if (node == nullptr) return;
  static const char* const fields[] = {"SETUPPATH", "VERSION", "FILENAME", "ISREPLACE", "ISREGISTER", "SCRIPT", "AUTORUN"};
  size_t matched = 0;
  for (xml::XmlNode* e = node->firstChild(); e != nullptr; e = e->nextSibling()) {
    if (e->nodeType() != xml::NodeType::Element) continue;
    for (size_t i = 0; i < e->attributes().length(); ++i) {
      std::string name = e->attributes().item(i)->nodeName();
      for (char& c : name) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      }
      for (const char* f : fields) matched += name == f;
    }
    engine::SetExistingAttribute(e, "version", "2");
    (void)engine::AttributeOr(e, "Version", "");
  }
  (void)matched;
}

void Exercise(xml::XmlDocument& doc, bool loaded) {
  Check(loaded == (doc.documentElement() != nullptr));
  if (!loaded) {
    Check(doc.childNodes().empty());
    return;
  }
  const xml::XmlNode* root = doc.documentElement();
  ReadEntries(doc, root->firstChild() ? root->firstChild()->nodeName() : "ZEPRA");
  (void)root->text();
  try {
    const std::string text = doc.Xml();
    xml::XmlDocument again;
    Check(again.LoadXml(text));  // what we write, we read back
    Check(again.Xml() == text);   // to the same tree
  } catch (const xml::XmlError&) {
    // Only values changed after parsing could be unwritable; none were.
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  {
    xml::XmlDocument doc;
    const bool ok = doc.LoadXml(bytes);
    Exercise(doc, ok);
  }
  {
    auto doc = engine::LoadXmlFromBytes(bytes);
    Check(doc != nullptr);
    Exercise(*doc, doc->documentElement() != nullptr);
  }
  return 0;
}
