#include "publish/settings.h"

#include <algorithm>

#include "publish/release.h"
#include "xml/xml_document.h"

namespace publish {
namespace {

template <size_t N>
bool IsOneOf(const std::string& name, const std::string_view (&names)[N]) {
  return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

template <size_t N>
Attributes ReadAttributes(const xml::XmlNode& element, const std::string_view (&allowed)[N], const std::string& path,
                          std::string* moduleName) {
  Attributes out;
  const xml::XmlAttributes& attributes = element.attributes();
  for (size_t i = 0; i < attributes.length(); ++i) {
    const xml::XmlNode& a = *attributes.item(i);
    if (moduleName && a.nodeName() == "name") {
      *moduleName = a.nodeValue();
    } else if (IsOneOf(a.nodeName(), allowed)) {
      out[a.nodeName()] = a.nodeValue();
    } else {
      throw PublishError("设置文件“" + path + "”：元素 " + element.nodeName() + " 不能有属性 " + a.nodeName() + "。");
    }
  }
  return out;
}

}  // namespace

Settings ReadSettings(const std::string& path) {
  xml::XmlDocument doc;
  if (!doc.Load(path)) throw PublishError("设置文件“" + path + "”不存在或不是格式正确的 XML。");
  const xml::XmlNode* root = doc.documentElement();
  if (root->nodeName() != "publish") throw PublishError("设置文件“" + path + "”的根元素应为 publish。");
  Settings settings;
  settings.group = ReadAttributes(*root, kGroupAttributes, path, nullptr);
  for (const xml::XmlNode* child : root->childNodes()) {
    if (child->nodeType() != xml::NodeType::Element) continue;
    if (child->nodeName() != "module") {
      throw PublishError("设置文件“" + path + "”：publish 下只能有 module 元素，不能有 " + child->nodeName() + "。");
    }
    std::string name;
    Attributes attributes = ReadAttributes(*child, kModuleAttributes, path, &name);
    if (name.empty()) throw PublishError("设置文件“" + path + "”：module 元素缺少 name 属性。");
    if (!settings.modules.emplace(name, std::move(attributes)).second) {
      throw PublishError("设置文件“" + path + "”：模块“" + name + "”出现了两次。");
    }
  }
  return settings;
}

}  // namespace publish
