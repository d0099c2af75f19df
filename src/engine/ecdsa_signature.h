#pragma once
// ECDSA signatures as openssl writes them (DER: a sequence of the integers r
// and s) and as the system's verifier takes them (r and s, 32 bytes each).
#include <string>
#include <string_view>

namespace engine {

// Empty when the bytes are no such sequence or either integer does not fit
// 32 bytes.
std::string RawP256Signature(std::string_view der);

}  // namespace engine
