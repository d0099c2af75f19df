#include "support/zip_builder.h"

#include <zlib.h>

#include <stdexcept>

namespace testing_support {
namespace {

void Put16(std::string& s, std::uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, std::uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}

std::string RawDeflate(const std::string& data) {
  z_stream z{};
  if (deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) throw std::runtime_error("deflateInit2");
  std::string out(deflateBound(&z, static_cast<uLong>(data.size())) + 16, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

}  // namespace

ZipBuilder& ZipBuilder::File(const std::string& name, const std::string& data, bool deflate, std::uint32_t dosTime) {
  Entry e{name, data, deflate ? RawDeflate(data) : data, static_cast<std::uint16_t>(deflate ? 8 : 0),
          static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()),
                                           static_cast<uInt>(data.size()))),
          dosTime, 0x20};
  entries_.push_back(std::move(e));
  return *this;
}

ZipBuilder& ZipBuilder::Folder(const std::string& name, std::uint32_t dosTime) {
  entries_.push_back(Entry{name, "", "", 0, 0, dosTime, 0x10});
  return *this;
}

std::string ZipBuilder::Bytes() const {
  std::string out, central;
  for (const Entry& e : entries_) {
    const auto offset = static_cast<std::uint32_t>(out.size());
    auto header = [&](std::string& s, bool isCentral) {
      Put32(s, isCentral ? 0x02014B50u : 0x04034B50u);
      if (isCentral) Put16(s, 20);  // made by MS-DOS
      Put16(s, 20);
      Put16(s, 0);
      Put16(s, e.method);
      Put32(s, e.dosTime);
      Put32(s, e.crc);
      Put32(s, static_cast<std::uint32_t>(e.stored.size()));
      Put32(s, static_cast<std::uint32_t>(e.data.size()));
      Put16(s, static_cast<std::uint32_t>(e.name.size()));
      Put16(s, 0);
      if (isCentral) {
        Put16(s, 0);
        Put16(s, 0);
        Put16(s, 0);
        Put32(s, e.external);
        Put32(s, offset);
      }
      s += e.name;
    };
    header(out, false);
    out += e.stored;
    header(central, true);
  }
  const auto cdOffset = static_cast<std::uint32_t>(out.size());
  out += central;
  Put32(out, 0x06054B50u);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, static_cast<std::uint32_t>(entries_.size()));
  Put16(out, static_cast<std::uint32_t>(entries_.size()));
  Put32(out, static_cast<std::uint32_t>(central.size()));
  Put32(out, cdOffset);
  Put16(out, 0);
  return out;
}

}  // namespace testing_support
