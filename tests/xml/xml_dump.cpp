// Prints the canonical tree of each document named on the command line, for
// the comparison with another parser (tests/xml/xml_oracle.py). A file named
// *.file.xml is read with XmlDocument::load (the file encoding rules); any
// other file's bytes are handed to loadXML as UTF-8 text.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "xml/xml_document.h"
#include "xml_canonical.h"

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string path = argv[i];
    xml::XmlDocument doc;
    if (path.size() > 9 && path.compare(path.size() - 9, 9, ".file.xml") == 0) {
      doc.Load(path);
    } else {
      std::ifstream in(path, std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      doc.LoadXml(bytes);
    }
    const std::string dump = "=== " + path + "\n" + xml_testing::Canonical(doc);
    std::fwrite(dump.data(), 1, dump.size(), stdout);
  }
  return 0;
}
