#pragma once
// Builds zip archives in memory for the tests, including broken ones: every
// header field can be set to what a hostile archive would hold.
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ziptest {

inline void Put16(std::string& s, uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
inline void Put32(std::string& s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}

inline std::string RawDeflate(const std::string& data, int level = 6) {
  z_stream zs{};
  deflateInit2(&zs, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&zs, static_cast<uLong>(data.size())) + 16, '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

inline uint32_t Crc(const std::string& data) {
  return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

inline uint32_t Dos(int y, int mo, int d, int h, int mi, int s) {
  return (static_cast<uint32_t>(((y - 1980) << 9) | (mo << 5) | d) << 16) |
         static_cast<uint32_t>((h << 11) | (mi << 5) | (s / 2));
}

struct Entry {
  std::string name;             // stored bytes, '/' separated
  std::string data;             // uncompressed content
  uint16_t method = 8;
  uint32_t dosTime = Dos(2020, 5, 6, 7, 8, 10);
  uint16_t flags = 0;
  uint16_t madeBy = 20;          // host 0 (MS-DOS)
  uint32_t external = 0x20;
  // Overrides for lying headers (used when set).
  int64_t crc = -1, compressedSize = -1, uncompressedSize = -1;
  int64_t localOffset = -1;      // central header's offset of the local header
  std::string payload;           // the stored data bytes when set (else encoded from data)
  bool payloadSet = false;
  std::string centralExtra;      // extra field of the central header
};

class Builder {
 public:
  Entry& Add(const std::string& name, const std::string& data, uint16_t method = 8) {
    entries.push_back(Entry{});
    entries.back().name = name;
    entries.back().data = data;
    entries.back().method = method;
    return entries.back();
  }
  std::string comment;
  std::vector<Entry> entries;
  // Total entries written into the end record (-1: the real count).
  int64_t endCount = -1;
  uint16_t thisDisk = 0, centralDisk = 0;

  std::string Build() const {
    std::string out, central;
    for (const Entry& e : entries) {
      std::string payload = e.payloadSet ? e.payload : e.method == 8 ? RawDeflate(e.data) : e.data;
      uint32_t crc = e.crc >= 0 ? static_cast<uint32_t>(e.crc) : Crc(e.data);
      uint32_t csize = e.compressedSize >= 0 ? static_cast<uint32_t>(e.compressedSize) : static_cast<uint32_t>(payload.size());
      uint32_t usize = e.uncompressedSize >= 0 ? static_cast<uint32_t>(e.uncompressedSize) : static_cast<uint32_t>(e.data.size());
      uint32_t offset = static_cast<uint32_t>(out.size());
      Put32(out, 0x04034B50);
      Put16(out, 20);
      Put16(out, e.flags);
      Put16(out, e.method);
      Put32(out, e.dosTime);
      Put32(out, crc);
      Put32(out, csize);
      Put32(out, usize);
      Put16(out, static_cast<uint32_t>(e.name.size()));
      Put16(out, 0);
      out += e.name;
      out += payload;
      Put32(central, 0x02014B50);
      Put16(central, e.madeBy);
      Put16(central, 20);
      Put16(central, e.flags);
      Put16(central, e.method);
      Put32(central, e.dosTime);
      Put32(central, crc);
      Put32(central, csize);
      Put32(central, usize);
      Put16(central, static_cast<uint32_t>(e.name.size()));
      Put16(central, static_cast<uint32_t>(e.centralExtra.size()));
      Put16(central, 0);
      Put16(central, 0);
      Put16(central, 0);
      Put32(central, e.external);
      Put32(central, e.localOffset >= 0 ? static_cast<uint32_t>(e.localOffset) : offset);
      central += e.name;
      central += e.centralExtra;
    }
    uint32_t cdAt = static_cast<uint32_t>(out.size());
    out += central;
    uint32_t count = static_cast<uint32_t>(endCount >= 0 ? endCount : static_cast<int64_t>(entries.size()));
    Put32(out, 0x06054B50);
    Put16(out, thisDisk);
    Put16(out, centralDisk);
    Put16(out, count);
    Put16(out, count);
    Put32(out, static_cast<uint32_t>(central.size()));
    Put32(out, cdAt);
    Put16(out, static_cast<uint32_t>(comment.size()));
    out += comment;
    return out;
  }
};

}  // namespace ziptest

namespace testing_support {

// The short form for tests that only need a package: files and folders with
// a time, stored or deflated.
class ZipBuilder {
 public:
  // dosTime: MS-DOS date (high 16 bits) and time (low 16 bits).
  ZipBuilder& File(const std::string& name, const std::string& data, bool deflate = true,
                   uint32_t dosTime = ziptest::Dos(2025, 1, 1, 0, 0, 0)) {
    ziptest::Entry& e = builder_.Add(name, data, deflate ? 8 : 0);
    e.dosTime = dosTime;
    return *this;
  }
  ZipBuilder& Folder(const std::string& name, uint32_t dosTime = ziptest::Dos(2025, 1, 1, 0, 0, 0)) {
    ziptest::Entry& e = builder_.Add(name, "", 0);
    e.dosTime = dosTime;
    e.external = 0x10;
    return *this;
  }
  std::string Bytes() const { return builder_.Build(); }

 private:
  ziptest::Builder builder_;
};

}  // namespace testing_support
