// Server manifest bytes through the loader and the entry reader, as the
// update check takes them.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/rollout.h"
#include "engine/update_engine.h"
#include "engine/xml_routines.h"
#include "xml/xml_document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  auto doc = engine::LoadXmlFromBytes(bytes);
  engine::ManifestEntries list;
  engine::UpdateEngine::ReadEntries(list, doc.get(), "ZEPRA");
  // Each entry's Rollout text, and its decision on a machine in the rollout.
  const engine::RolloutMachine machine{std::string("4c4c4544-0042-3510-8052-b4c04f4e4d32"), {}};
  for (const auto& entry : list) {
    if (entry->rollout) engine::ParseRolloutPercent(*entry->rollout);
    engine::DecideRollout(machine, *entry);
  }
  // The application name is also free text from the command line.
  const size_t cut = bytes.find('\n');
  if (cut != std::string_view::npos && cut < 64) {
    engine::UpdateEngine::ReadEntries(list, doc.get(), std::string(bytes.substr(0, cut)));
  }
  return 0;
}
