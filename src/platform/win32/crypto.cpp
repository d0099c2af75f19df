#include "platform/crypto.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <cstring>

#include "platform/os_error.h"
#include "platform/win32/system_library.h"
#include "platform/win32/wide.h"

namespace platform {
namespace {

constexpr LONG kInvalidSignature = static_cast<LONG>(0xC000A000);  // STATUS_INVALID_SIGNATURE

// CNG's functions, from the system folder only (bcrypt.dll is no known DLL).
struct Cng {
  win32::SystemLibrary dll{L"bcrypt.dll"};
  decltype(&BCryptOpenAlgorithmProvider) openProvider = dll.Function<decltype(openProvider)>("BCryptOpenAlgorithmProvider");
  decltype(&BCryptCloseAlgorithmProvider) closeProvider =
      dll.Function<decltype(closeProvider)>("BCryptCloseAlgorithmProvider");
  decltype(&BCryptCreateHash) createHash = dll.Function<decltype(createHash)>("BCryptCreateHash");
  decltype(&BCryptHashData) hashData = dll.Function<decltype(hashData)>("BCryptHashData");
  decltype(&BCryptFinishHash) finishHash = dll.Function<decltype(finishHash)>("BCryptFinishHash");
  decltype(&BCryptDestroyHash) destroyHash = dll.Function<decltype(destroyHash)>("BCryptDestroyHash");
  decltype(&BCryptImportKeyPair) importKeyPair = dll.Function<decltype(importKeyPair)>("BCryptImportKeyPair");
  decltype(&BCryptVerifySignature) verifySignature =
      dll.Function<decltype(verifySignature)>("BCryptVerifySignature");
  decltype(&BCryptDestroyKey) destroyKey = dll.Function<decltype(destroyKey)>("BCryptDestroyKey");
};

// Loaded once for the process, on first use.
const Cng& TheCng() {
  static const Cng cng;
  return cng;
}

void Check(LONG status, const char* what) {
  if (status >= 0) return;
  const std::string text = win32::ErrorText(static_cast<unsigned long>(status));
  throw OsError(std::string(what) + "：" + text, text);
}

// An algorithm provider, closed with its owner.
class Provider {
 public:
  explicit Provider(const wchar_t* algorithm) {
    Check(TheCng().openProvider(&handle_, algorithm, nullptr, 0), "无法使用系统的加密服务");
  }
  ~Provider() { TheCng().closeProvider(handle_, 0); }
  Provider(const Provider&) = delete;
  Provider& operator=(const Provider&) = delete;
  BCRYPT_ALG_HANDLE get() const { return handle_; }

 private:
  BCRYPT_ALG_HANDLE handle_ = nullptr;
};

class KeyHandle {
 public:
  KeyHandle() = default;
  ~KeyHandle() {
    if (handle_) TheCng().destroyKey(handle_);
  }
  KeyHandle(const KeyHandle&) = delete;
  KeyHandle& operator=(const KeyHandle&) = delete;
  BCRYPT_KEY_HANDLE* put() { return &handle_; }
  BCRYPT_KEY_HANDLE get() const { return handle_; }

 private:
  BCRYPT_KEY_HANDLE handle_ = nullptr;
};

}  // namespace

struct Sha256::Impl {
  Provider provider{BCRYPT_SHA256_ALGORITHM};
  BCRYPT_HASH_HANDLE hash = nullptr;
  ~Impl() {
    if (hash) TheCng().destroyHash(hash);
  }
};

Sha256::Sha256() : impl_(std::make_unique<Impl>()) {
  Check(TheCng().createHash(impl_->provider.get(), &impl_->hash, nullptr, 0, nullptr, 0, 0), "无法计算校验值");
}

Sha256::~Sha256() = default;

void Sha256::Update(std::string_view bytes) {
  // Fed in pieces that a ULONG can count.
  while (!bytes.empty()) {
    const ULONG piece = static_cast<ULONG>(std::min<size_t>(bytes.size(), 1u << 30));
    Check(TheCng().hashData(impl_->hash, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())), piece, 0),
          "无法计算校验值");
    bytes.remove_prefix(piece);
  }
}

std::string Sha256::Finish() {
  std::string digest(32, '\0');
  Check(TheCng().finishHash(impl_->hash, reinterpret_cast<PUCHAR>(digest.data()), 32, 0), "无法计算校验值");
  return digest;
}

bool VerifyP256Signature(std::string_view point, std::string_view message, std::string_view signature) {
  if (point.size() != 64 || signature.size() != 64) return false;
  Sha256 hash;
  hash.Update(message);
  std::string digest = hash.Finish();

  // The public key blob: its header, then X and Y.
  std::string blob(sizeof(BCRYPT_ECCKEY_BLOB), '\0');
  const BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
  std::memcpy(blob.data(), &header, sizeof header);
  blob.append(point);
  Provider ecdsa(BCRYPT_ECDSA_P256_ALGORITHM);
  KeyHandle key;
  const LONG imported = TheCng().importKeyPair(ecdsa.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, key.put(),
                                               reinterpret_cast<PUCHAR>(blob.data()),
                                               static_cast<ULONG>(blob.size()), 0);
  if (imported < 0) return false;  // no point of the curve
  std::string raw(signature);
  const LONG status = TheCng().verifySignature(key.get(), nullptr, reinterpret_cast<PUCHAR>(digest.data()),
                                               static_cast<ULONG>(digest.size()), reinterpret_cast<PUCHAR>(raw.data()),
                                               static_cast<ULONG>(raw.size()), 0);
  if (status == kInvalidSignature) return false;
  Check(status, "无法校验签名");
  return true;
}

}  // namespace platform
