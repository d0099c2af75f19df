#include "platform/signing_key.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>

#include "platform/os_error.h"
#include "platform/posix/host_path.h"

namespace platform {
namespace {

using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using Bio = std::unique_ptr<BIO, decltype(&BIO_free)>;
using DigestContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

[[noreturn]] void Fail(const char* what) {
  const std::string text = ERR_error_string(ERR_get_error(), nullptr);
  throw OsError(std::string(what) + "：" + text, text);
}

bool IsP256(EVP_PKEY* key) {
  char group[64] = {};
  size_t length = 0;
  return EVP_PKEY_is_a(key, "EC") && EVP_PKEY_get_group_name(key, group, sizeof group, &length) == 1 &&
         std::string_view(group, length) == "prime256v1";
}

std::string Drained(BIO* bio) {
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio, &data);
  return std::string(data, static_cast<size_t>(size > 0 ? size : 0));
}

Bio MemoryBio() {
  Bio bio(BIO_new(BIO_s_mem()), BIO_free);
  if (!bio) Fail("无法分配内存");
  return bio;
}

// An open file descriptor, closed with its owner.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

[[noreturn]] void FailOnFile(const std::string& what, const std::string& path) {
  const std::string text = LastErrorText();
  throw OsError(what + "“" + path + "”：" + text, text);
}

}  // namespace

struct SigningKey::Impl {
  Key key{nullptr, EVP_PKEY_free};
};

SigningKey::SigningKey(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
SigningKey::SigningKey(SigningKey&&) noexcept = default;
SigningKey& SigningKey::operator=(SigningKey&&) noexcept = default;
SigningKey::~SigningKey() = default;

SigningKey SigningKey::Generate() {
  auto impl = std::make_unique<Impl>();
  impl->key.reset(EVP_EC_gen("prime256v1"));
  if (!impl->key) Fail("无法生成密钥");
  return SigningKey(std::move(impl));
}

SigningKey SigningKey::FromPem(std::string_view pem) {
  Bio bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())), BIO_free);
  if (!bio) Fail("无法分配内存");
  auto impl = std::make_unique<Impl>();
  // An empty pass phrase: an encrypted key is refused instead of prompted for.
  char none[] = "";
  impl->key.reset(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, none));
  ERR_clear_error();
  if (!impl->key) throw std::invalid_argument("不是 PEM 格式的私钥（或私钥有口令保护）");
  if (!IsP256(impl->key.get())) throw std::invalid_argument("不是 ECDSA P-256（prime256v1）私钥");
  return SigningKey(std::move(impl));
}

std::string SigningKey::PrivatePem() const {
  Bio bio = MemoryBio();
  if (PEM_write_bio_PrivateKey(bio.get(), impl_->key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1) {
    Fail("无法写出私钥");
  }
  return Drained(bio.get());
}

void SigningKey::SavePrivatePem(const std::string& path) const {
  const std::string pem = PrivatePem();
  // Created by this call with its final mode: no moment in which another user
  // could open it, and nothing another user placed by that name is written.
  const Descriptor file(::open(posix::HostPath(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                               S_IRUSR | S_IWUSR));
  if (file.get() < 0) {
    if (errno == EEXIST || errno == ELOOP) {
      const std::string text = LastErrorText();
      throw OsError("私钥文件“" + path + "”已存在（或是一个链接），不会覆盖：" + text, text);
    }
    FailOnFile("无法新建私钥文件", path);
  }
  // The process's umask can only have narrowed the mode; make it exact.
  if (::fchmod(file.get(), S_IRUSR | S_IWUSR) != 0) FailOnFile("无法设置私钥文件的权限", path);
  size_t done = 0;
  while (done < pem.size()) {
    const ssize_t n = ::write(file.get(), pem.data() + done, pem.size() - done);
    if (n <= 0) FailOnFile("无法写入私钥文件", path);
    done += static_cast<size_t>(n);
  }
}

std::string SigningKey::PublicPem() const {
  Bio bio = MemoryBio();
  if (PEM_write_bio_PUBKEY(bio.get(), impl_->key.get()) != 1) Fail("无法写出公钥");
  return Drained(bio.get());
}

std::string SigningKey::Sign(std::string_view message) const {
  DigestContext context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  size_t size = 0;
  if (!context || EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, impl_->key.get()) != 1 ||
      EVP_DigestSign(context.get(), nullptr, &size, reinterpret_cast<const unsigned char*>(message.data()),
                     message.size()) != 1) {
    Fail("无法签名");
  }
  std::string signature(size, '\0');
  if (EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(signature.data()), &size,
                     reinterpret_cast<const unsigned char*>(message.data()), message.size()) != 1) {
    Fail("无法签名");
  }
  signature.resize(size);
  return signature;
}

}  // namespace platform
