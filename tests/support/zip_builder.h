#pragma once
// Builds small zip archives in memory for tests: stored or deflated entries,
// folders, given MS-DOS times. Enough to make packages without outside tools
// (the Windows tests have none).
#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

class ZipBuilder {
 public:
  // dosTime: MS-DOS date (high 16 bits) and time (low 16 bits).
  ZipBuilder& File(const std::string& name, const std::string& data, bool deflate = true,
                   std::uint32_t dosTime = 0x5A210000u /* 2025-01-01 00:00 */);
  ZipBuilder& Folder(const std::string& name, std::uint32_t dosTime = 0x5A210000u);
  std::string Bytes() const;

 private:
  struct Entry {
    std::string name, data, stored;
    std::uint16_t method;
    std::uint32_t crc, dosTime, external;
  };
  std::vector<Entry> entries_;
};

}  // namespace testing_support
