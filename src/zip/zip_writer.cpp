// ZipWriter: each local header is written first and written again once the
// entry's CRC and sizes are known, so that data never has to be held in
// memory and no data descriptor is needed.
#include "zip/zip_writer.h"

#include <zlib.h>

#include <algorithm>

#include "platform/codepage.h"
#include "platform/files.h"
#include "zip/zip_entry.h"

namespace zip {
namespace {

// The largest values the fields may hold: readers take an all-ones value
// for "see the Zip64 record", which this writer never makes.
constexpr uint64_t kMaxField32 = 0xFFFFFFFE;
constexpr size_t kMaxEntries = 0xFFFE;
constexpr size_t kMaxNameLength = 0xFFFF;
// Made on MS-DOS: readers take the names in the OEM code page and the
// external attributes as MS-DOS attribute bits.
constexpr uint16_t kVersionMadeBy = 20;
constexpr uint16_t kVersionNeeded = 20;
constexpr uint16_t kStored = 0;
constexpr uint16_t kDeflated = 8;
constexpr uint32_t kDirectoryAttribute = 0x10;
constexpr size_t kBlockSize = 64 * 1024;

void Put16(std::string& s, uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}

// From "version needed" to the extra field's length, the same in the local
// and the central header.
void PutSharedFields(std::string& s, const detail::WrittenEntry& e) {
  Put16(s, kVersionNeeded);
  Put16(s, 0);  // general purpose flags
  Put16(s, e.method);
  Put32(s, e.dosDateTime);
  Put32(s, e.crc);
  Put32(s, e.compressedSize);
  Put32(s, e.uncompressedSize);
  Put16(s, static_cast<uint32_t>(e.name.size()));
  Put16(s, 0);  // extra field length
}

std::string LocalHeader(const detail::WrittenEntry& e) {
  std::string s;
  Put32(s, kLocalSignature);
  PutSharedFields(s, e);
  return s + e.name;
}

std::string CentralHeader(const detail::WrittenEntry& e) {
  std::string s;
  Put32(s, kCentralSignature);
  Put16(s, kVersionMadeBy);
  PutSharedFields(s, e);
  Put16(s, 0);  // comment length
  Put16(s, 0);  // disk number start
  Put16(s, 0);  // internal attributes
  Put32(s, e.externalAttributes);
  Put32(s, e.offset);
  return s + e.name;
}

std::string EndRecord(size_t entries, size_t centralSize, uint64_t centralOffset) {
  std::string s;
  Put32(s, kEndSignature);
  Put16(s, 0);  // this disk
  Put16(s, 0);  // disk of the central directory
  Put16(s, static_cast<uint32_t>(entries));  // on this disk
  Put16(s, static_cast<uint32_t>(entries));  // in all
  Put32(s, static_cast<uint32_t>(centralSize));
  Put32(s, static_cast<uint32_t>(centralOffset));
  Put16(s, 0);  // comment length
  return s;
}

// Entry names are code-page bytes; messages are UTF-8.
std::string Shown(const std::string& name) { return platform::AnsiToUtf8(name); }

// zlib's raw deflate (zip entries hold no zlib header or trailer).
class Deflater {
 public:
  explicit Deflater(const std::string& sourcePath) : sourcePath_(sourcePath) {
    if (deflateInit2(&zs_, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) Fail();
  }
  ~Deflater() { deflateEnd(&zs_); }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  // Compresses `size` bytes, the entry's last ones with `finish`, handing
  // every piece of output to `sink`.
  template <typename Sink>
  void Compress(const unsigned char* data, size_t size, bool finish, Sink&& sink) {
    zs_.next_in = const_cast<unsigned char*>(data);
    zs_.avail_in = static_cast<uInt>(size);
    do {
      zs_.next_out = out_.data();
      zs_.avail_out = static_cast<uInt>(out_.size());
      if (deflate(&zs_, finish ? Z_FINISH : Z_NO_FLUSH) == Z_STREAM_ERROR) Fail();
      sink(out_.data(), out_.size() - zs_.avail_out);
    } while (zs_.avail_out == 0);
  }

 private:
  [[noreturn]] void Fail() const { throw ZipWriteError("无法压缩文件“" + sourcePath_ + "”。"); }

  z_stream zs_{};
  std::vector<unsigned char> out_ = std::vector<unsigned char>(kBlockSize);
  std::string sourcePath_;
};

}  // namespace

namespace detail {

// A file going into the archive, read up to the size it had when opened, so
// that a file that grows meanwhile cannot outgrow what was checked.
class SourceFile {
 public:
  explicit SourceFile(const std::string& path) : path_(path) {
    try {
      file_ = std::make_unique<platform::FileStream>(path, platform::FileMode::ReadDenyWrite);
    } catch (const platform::OsError& e) {
      throw ZipWriteError("无法读取文件“" + path + "”：" + e.systemText());
    }
    const int64_t size = file_->Size();
    if (size < 0) throw ZipWriteError("无法读取文件“" + path + "”：" + platform::LastErrorText());
    if (static_cast<uint64_t>(size) > kMaxField32) {
      throw ZipWriteError("文件“" + path + "”太大：压缩包中的文件须小于 4 GB。");
    }
    size_ = static_cast<uint32_t>(size);
  }

  const std::string& Path() const { return path_; }
  uint32_t Size() const { return size_; }
  uint32_t Crc() const { return static_cast<uint32_t>(crc_); }
  bool AtEnd() const { return done_ == size_; }

  // The next block; fewer bytes than asked only at the end.
  size_t Read(std::vector<unsigned char>& block) {
    const size_t want = std::min<size_t>(block.size(), size_ - done_);
    const size_t got = file_->Read(block.data(), want);
    if (got != want) {
      throw ZipWriteError("无法读取文件“" + path_ + "”：只读到 " + std::to_string(done_ + got) + " 字节，少于文件大小 " +
                          std::to_string(size_) + " 字节。");
    }
    crc_ = crc32(crc_, block.data(), static_cast<uInt>(got));
    done_ += static_cast<uint32_t>(got);
    return got;
  }

  void Rewind() {
    if (file_->Seek(0, 0) < 0) throw ZipWriteError("无法读取文件“" + path_ + "”：" + platform::LastErrorText());
    done_ = 0;
    crc_ = crc32(0, nullptr, 0);
  }

 private:
  std::string path_;
  std::unique_ptr<platform::FileStream> file_;
  uint32_t size_ = 0;
  uint32_t done_ = 0;
  uLong crc_ = crc32(0, nullptr, 0);
};

}  // namespace detail

ZipWriter::ZipWriter(const std::string& archivePath) : path_(archivePath) {
  try {
    out_ = std::make_unique<platform::FileStream>(archivePath, platform::FileMode::Create);
  } catch (const platform::OsError& e) {
    throw ZipWriteError("无法创建文件“" + archivePath + "”：" + e.systemText());
  }
}

ZipWriter::~ZipWriter() {
  if (finished_) return;
  out_.reset();
  platform::RemoveFile(path_);
}

void ZipWriter::AddFile(const std::string& nameInZip, const std::string& sourcePath, uint32_t dosDateTime) {
  CheckNewEntry(nameInZip, false);
  detail::SourceFile source(sourcePath);
  detail::WrittenEntry entry{.name = nameInZip, .dosDateTime = dosDateTime, .offset = static_cast<uint32_t>(end_)};
  WriteOrRollBack(entry.offset, [&] {
    Append(LocalHeader(entry));
    WriteData(entry, source);
    Overwrite(entry.offset, LocalHeader(entry));
  });
  entries_.push_back(std::move(entry));
}

void ZipWriter::AddDirectory(const std::string& nameInZip, uint32_t dosDateTime) {
  CheckNewEntry(nameInZip, true);
  detail::WrittenEntry entry{.name = nameInZip, .dosDateTime = dosDateTime,
                             .externalAttributes = kDirectoryAttribute, .offset = static_cast<uint32_t>(end_)};
  WriteOrRollBack(entry.offset, [&] { Append(LocalHeader(entry)); });
  entries_.push_back(std::move(entry));
}

void ZipWriter::Finish() {
  CheckWritable();
  std::string central;
  for (const detail::WrittenEntry& e : entries_) central += CentralHeader(e);
  const uint64_t centralOffset = end_;
  WriteOrRollBack(centralOffset, [&] {
    Append(central);
    Append(EndRecord(entries_.size(), central.size(), centralOffset));
  });
  out_.reset();
  finished_ = true;
}

void ZipWriter::CheckNewEntry(const std::string& name, bool directory) const {
  CheckWritable();
  if (entries_.size() >= kMaxEntries) {
    throw ZipWriteError("压缩包“" + path_ + "”的条目太多：最多 " + std::to_string(kMaxEntries) + " 个。");
  }
  if (name.empty() || name.size() > kMaxNameLength) {
    throw ZipWriteError("条目名“" + Shown(name) + "”无效：须有 1 到 " + std::to_string(kMaxNameLength) + " 字节。");
  }
  if ((name.back() == '/') != directory) {
    throw ZipWriteError("条目名“" + Shown(name) + (directory ? "”无效：目录名须以“/”结尾。" : "”无效：文件名不能以“/”结尾。"));
  }
}

void ZipWriter::CheckWritable() const {
  if (finished_) throw ZipWriteError("压缩包“" + path_ + "”已经写完，不能再改动。");
  if (broken_) throw ZipWriteError("压缩包“" + path_ + "”写入出错，已不完整，不能再写。");
}

// Deflated, or stored when that is not smaller (incompressible data, empty
// files): the file is then read a second time.
void ZipWriter::WriteData(detail::WrittenEntry& entry, detail::SourceFile& source) {
  const uint64_t dataStart = end_;
  entry.uncompressedSize = source.Size();
  entry.method = kDeflated;
  Deflate(source);
  if (end_ - dataStart >= entry.uncompressedSize) {
    Truncate(dataStart);
    source.Rewind();
    entry.method = kStored;
    Store(source);
  }
  entry.crc = source.Crc();
  entry.compressedSize = static_cast<uint32_t>(end_ - dataStart);
}

void ZipWriter::Deflate(detail::SourceFile& source) {
  Deflater deflater(source.Path());
  std::vector<unsigned char> block(kBlockSize);
  do {
    const size_t got = source.Read(block);
    deflater.Compress(block.data(), got, source.AtEnd(), [this](const unsigned char* out, size_t n) { Append(out, n); });
  } while (!source.AtEnd());
}

void ZipWriter::Store(detail::SourceFile& source) {
  std::vector<unsigned char> block(kBlockSize);
  while (!source.AtEnd()) {
    const size_t got = source.Read(block);
    Append(block.data(), got);
  }
}

// A failed step takes the archive back to `start`, so that a refused entry
// leaves it as it was.
void ZipWriter::WriteOrRollBack(uint64_t start, const std::function<void()>& write) {
  try {
    write();
  } catch (...) {
    try {
      Truncate(start);
    } catch (const ZipWriteError&) {
      broken_ = true;
    }
    throw;
  }
}

void ZipWriter::Append(const void* data, size_t size) {
  if (end_ + size > kMaxField32) throw ZipWriteError("压缩包“" + path_ + "”太大：须小于 4 GB。");
  if (out_->Write(data, size) != size) throw WriteError();
  end_ += size;
}

void ZipWriter::Overwrite(uint64_t offset, const std::string& bytes) {
  if (out_->Seek(static_cast<int64_t>(offset), 0) < 0 || out_->Write(bytes.data(), bytes.size()) != bytes.size() ||
      out_->Seek(static_cast<int64_t>(end_), 0) < 0) {
    throw WriteError();
  }
}

void ZipWriter::Truncate(uint64_t size) {
  if (!out_->SetSize(static_cast<int64_t>(size)) || out_->Seek(static_cast<int64_t>(size), 0) < 0) throw WriteError();
  end_ = size;
}

ZipWriteError ZipWriter::WriteError() const {
  const std::string text = platform::LastErrorText();
  return ZipWriteError("无法写入文件“" + path_ + "”：" + text);
}

}  // namespace zip
