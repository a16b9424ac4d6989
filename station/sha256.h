#pragma once

#include <string>
#include <string_view>

// SHA-256 through OpenSSL's libcrypto, as 64 lowercase hexadecimal digits.
namespace Sha256 {

// The digest of text; empty only when libcrypto fails, which it does not for SHA-256 short of
// running out of memory.
std::string Hex(std::string_view text);
// Whether text looks like a digest: 64 lowercase hexadecimal digits.
bool IsHex(std::string_view text);

}  // namespace Sha256
