#include "platform/crypto.h"

#include <openssl/core_names.h>
#include <openssl/ecdsa.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include "platform/os_error.h"

namespace platform {
namespace {

template <typename T, void (*Free)(T*)>
struct Deleter {
  void operator()(T* p) const { Free(p); }
};
template <typename T, void (*Free)(T*)>
using Owned = std::unique_ptr<T, Deleter<T, Free>>;
using DigestContext = Owned<EVP_MD_CTX, EVP_MD_CTX_free>;
using KeyContext = Owned<EVP_PKEY_CTX, EVP_PKEY_CTX_free>;
using Key = Owned<EVP_PKEY, EVP_PKEY_free>;
using Signature = Owned<ECDSA_SIG, ECDSA_SIG_free>;

[[noreturn]] void Fail(const char* what) {
  const std::string text = ERR_error_string(ERR_get_error(), nullptr);
  throw OsError(std::string(what) + "：" + text, text);
}

// The public key of a P-256 point; null when it is no point of the curve.
Key P256Key(std::string_view point) {
  KeyContext context(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
  if (!context || EVP_PKEY_fromdata_init(context.get()) != 1) Fail("无法创建公钥");
  std::string encoded = "\x04" + std::string(point);
  char group[] = "prime256v1";
  const OSSL_PARAM params[] = {
      OSSL_PARAM_construct_utf8_string(OSSL_PKEY_PARAM_GROUP_NAME, group, 0),
      OSSL_PARAM_construct_octet_string(OSSL_PKEY_PARAM_PUB_KEY, encoded.data(), encoded.size()),
      OSSL_PARAM_construct_end()};
  EVP_PKEY* key = nullptr;
  if (EVP_PKEY_fromdata(context.get(), &key, EVP_PKEY_PUBLIC_KEY, const_cast<OSSL_PARAM*>(params)) != 1) {
    ERR_clear_error();
    return nullptr;
  }
  return Key(key);
}

// r and s as the DER sequence libcrypto verifies.
std::string DerSignature(std::string_view raw) {
  Signature signature(ECDSA_SIG_new());
  BIGNUM* r = BN_bin2bn(reinterpret_cast<const unsigned char*>(raw.data()), 32, nullptr);
  BIGNUM* s = BN_bin2bn(reinterpret_cast<const unsigned char*>(raw.data()) + 32, 32, nullptr);
  if (!signature || !r || !s || ECDSA_SIG_set0(signature.get(), r, s) != 1) {
    BN_free(r);
    BN_free(s);
    Fail("无法读取签名");
  }
  const int size = i2d_ECDSA_SIG(signature.get(), nullptr);
  std::string der(static_cast<size_t>(size > 0 ? size : 0), '\0');
  unsigned char* out = reinterpret_cast<unsigned char*>(der.data());
  if (size <= 0 || i2d_ECDSA_SIG(signature.get(), &out) != size) Fail("无法读取签名");
  return der;
}

}  // namespace

struct Sha256::Impl {
  DigestContext context{EVP_MD_CTX_new()};
};

Sha256::Sha256() : impl_(std::make_unique<Impl>()) {
  if (!impl_->context || EVP_DigestInit_ex(impl_->context.get(), EVP_sha256(), nullptr) != 1) Fail("无法计算校验值");
}

Sha256::~Sha256() = default;

void Sha256::Update(std::string_view bytes) {
  if (EVP_DigestUpdate(impl_->context.get(), bytes.data(), bytes.size()) != 1) Fail("无法计算校验值");
}

std::string Sha256::Finish() {
  std::string digest(32, '\0');
  unsigned int size = 0;
  if (EVP_DigestFinal_ex(impl_->context.get(), reinterpret_cast<unsigned char*>(digest.data()), &size) != 1 ||
      size != digest.size()) {
    Fail("无法计算校验值");
  }
  return digest;
}

bool VerifyP256Signature(std::string_view point, std::string_view message, std::string_view signature) {
  if (point.size() != 64 || signature.size() != 64) return false;
  const Key key = P256Key(point);
  if (!key) return false;
  const std::string der = DerSignature(signature);
  DigestContext context(EVP_MD_CTX_new());
  if (!context || EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1) {
    Fail("无法校验签名");
  }
  const int result = EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(der.data()), der.size(),
                                      reinterpret_cast<const unsigned char*>(message.data()), message.size());
  ERR_clear_error();
  return result == 1;
}

}  // namespace platform
