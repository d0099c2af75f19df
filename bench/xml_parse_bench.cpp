// Parsing a large server manifest: our document model side by side with
// pugixml on the same bytes, in one run.
//
//   xml_parse_bench [--entries N] [--runs N] [--write manifest.xml]
//
// The manifest is generated here: a GB2312 document with one group element
// per application and N entries in all (10,000 give about 1.4 MB), each entry
// with the attributes the version check reads and a Chinese description.
// --write also stores it, to look at or to feed other tools.
#include <pugixml.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "engine/xml_routines.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "xml/xml_document.h"

namespace {

// Deterministic pseudo-random numbers, so every run parses the same manifest.
struct Lcg {
  unsigned long long state = 0x2545F4914F6CDD1DULL;
  unsigned next(unsigned bound) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<unsigned>((state >> 33) % bound);
  }
};

std::string GenerateManifestUtf8(int entries) {
  static const char* const apps[] = {"ZEPRA", "ZEPRA_POS", "ZEPRA_REPORT", "ZEPRA_HR"};
  static const char* const words[] = {"\xE6\x8A\xA5\xE8\xA1\xA8", "\xE5\xBA\x93\xE5\xAD\x98", "\xE9\x94\x80\xE5\x94\xAE",
                                      "\xE8\xB4\xA2\xE5\x8A\xA1", "\xE6\x9F\xA5\xE8\xAF\xA2", "\xE6\xA8\xA1\xE5\x9D\x97",
                                      "\xE6\x89\x93\xE5\x8D\xB0", "\xE9\x85\x8D\xE7\xBD\xAE"};
  static const char* const setupPaths[] = {"", "#System32", "#windows", "#BDE", "plugins"};
  Lcg rng;
  std::string out = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<data>\r\n";
  const int perApp = entries / 4;
  for (int a = 0; a < 4; ++a) {
    out += "  <" + std::string(apps[a]) + " mainfile=\"" + apps[a] + ".exe\" IsDeskTop=\"" + (a == 0 ? "1" : "0") +
           "\">\r\n";
    const int count = a == 3 ? entries - 3 * perApp : perApp;
    for (int i = 0; i < count; ++i) {
      const int id = a * perApp + i;
      const bool chineseName = rng.next(5) == 0;
      std::string name = chineseName ? std::string(words[rng.next(8)]) + std::to_string(id) : "mod" + std::to_string(id);
      name += rng.next(6) == 0 ? "" : ".dll";  // some folders
      char version[32];
      std::snprintf(version, sizeof version, "2024.%02u.%02u.%04u", rng.next(12) + 1, rng.next(28) + 1, rng.next(9999));
      std::string note = std::string(words[rng.next(8)]) + (rng.next(10) == 0 ? "&amp;" : "") + words[rng.next(8)];
      out += "    <" + name + " SetupPath=\"" + setupPaths[rng.next(5)] + "\" Version=\"" + version +
             "\" FileName=\"pkg" + std::to_string(id) + ".zip\" IsReplace=\"" + std::to_string(rng.next(2)) +
             "\" IsRegister=\"" + std::to_string(rng.next(2)) + "\" Script=\"\"" +
             (rng.next(20) == 0 ? " AutoRun=\"setup.exe\"" : "") + " Note=\"" + note + "\"/>\r\n";
    }
    out += "  </" + std::string(apps[a]) + ">\r\n";
  }
  out += "</data>\r\n";
  return out;
}

double MedianMs(int runs, const std::function<void()>& work, double* best) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    work();
    times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
  }
  std::sort(times.begin(), times.end());
  *best = times.front();
  return times[times.size() / 2];
}

size_t CountElements(const xml::XmlDocument& doc) {
  size_t n = 0;
  std::vector<const xml::XmlNode*> stack(doc.childNodes().begin(), doc.childNodes().end());
  while (!stack.empty()) {
    const xml::XmlNode* node = stack.back();
    stack.pop_back();
    if (node->nodeType() != xml::NodeType::Element) continue;
    ++n;
    stack.insert(stack.end(), node->childNodes().begin(), node->childNodes().end());
  }
  return n;
}

size_t CountElements(const pugi::xml_document& doc) {
  struct Counter : pugi::xml_tree_walker {
    size_t n = 0;
    bool for_each(pugi::xml_node& node) override {
      if (node.type() == pugi::node_element) ++n;
      return true;
    }
  } counter;
  const_cast<pugi::xml_document&>(doc).traverse(counter);
  return counter.n;
}

}  // namespace

int main(int argc, char** argv) {
  int entries = 10000, runs = 30;
  const char* writePath = nullptr;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--entries")) entries = std::atoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--runs")) runs = std::atoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--write")) writePath = argv[i + 1];
  }
  const std::string utf8 = GenerateManifestUtf8(entries);
  const std::string gb = platform::EncodeFromUtf8(utf8, "GB2312").value();
  if (writePath) platform::WriteWholeFile(writePath, gb);
  std::printf("manifest: %d entries, %zu bytes GB2312 (%zu bytes as UTF-8)\n", entries, gb.size(), utf8.size());

  // The same bytes for both parsers.
  xml::XmlDocument check;
  pugi::xml_document pcheck;
  if (!check.LoadXml(utf8) || !pcheck.load_buffer(gb.data(), gb.size())) {
    std::printf("a parser refused the manifest\n");
    return 1;
  }
  std::printf("elements: ours %zu, pugixml %zu\n", CountElements(check), CountElements(pcheck));

  double bestPugi, bestOurs, bestOursGb, bestStream;
  const double pugi = MedianMs(runs, [&] {
    pugi::xml_document d;
    d.load_buffer(gb.data(), gb.size());
  }, &bestPugi);
  const double ours = MedianMs(runs, [&] {
    xml::XmlDocument d;
    d.LoadXml(utf8);
  }, &bestOurs);
  // Our parser on the very bytes pugixml reads: GB2312 with the decoding step.
  const double oursGb = MedianMs(runs, [&] {
    xml::XmlDocument d;
    d.LoadXml(platform::DecodeToUtf8(gb, "GB2312").value());
  }, &bestOursGb);
  ::setenv("AUTOUPDATE_ANSI_CODESET", "CP936", 1);
  const double stream = MedianMs(runs, [&] { engine::LoadXmlFromBytes(gb); }, &bestStream);

  std::printf("pugixml load_buffer (GB2312 bytes)        median %7.2f ms  best %7.2f ms\n", pugi, bestPugi);
  std::printf("XmlDocument::loadXML (UTF-8 text)         median %7.2f ms  best %7.2f ms  ratio %.2fx\n", ours, bestOurs,
              ours / pugi);
  std::printf("decode GB2312 + loadXML                   median %7.2f ms  best %7.2f ms  ratio %.2fx\n", oursGb,
              bestOursGb, oursGb / pugi);
  std::printf("engine::LoadXmlFromBytes (code page 936) median %7.2f ms  best %7.2f ms  ratio %.2fx\n", stream,
              bestStream, stream / pugi);
  return 0;
}
