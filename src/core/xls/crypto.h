// "Password to open" of .xls workbooks: XOR obfuscation, RC4 (Office 97/2000)
// and RC4 CryptoAPI. Works on the Workbook stream; record headers stay in clear.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/sheet/workbook.h"
#include "core/xls/errors.h"

namespace gp::xls {

inline constexpr std::string_view kDefaultPassword = "VelvetSweatshop";

// Scheme named by the FILEPASS record right after the globals BOF (None when absent).
// UnsupportedEncryption for an unknown scheme, Damaged for a malformed record.
Result<sheet::Encryption> detectEncryption(std::span<const uint8_t> stream);

struct DecryptOutcome {
    sheet::Encryption scheme = sheet::Encryption::None;
    bool usedDefaultPassword = false; // opened with VelvetSweatshop, no password asked
};

// Decrypts the Workbook stream in place (password in UTF-8). Tries the default
// password first. On success the FILEPASS record is still there, its body intact;
// everything after it is plaintext. WrongPassword when neither password fits.
Result<DecryptOutcome> decryptWorkbookStream(std::vector<uint8_t>& stream, std::string_view password);

// Writing: RC4 CryptoAPI 4.2 with a 128-bit key and a fresh random salt.
struct CryptoApiKey {
    std::array<uint8_t, 20> h0{}; // SHA1(salt + password)
};
constexpr size_t kCryptoApiFilepassSize = 200;

// FILEPASS body (200 bytes) for the password, with new salt and verifier; fills `key`.
std::vector<uint8_t> makeCryptoApiFilepass(std::string_view password, CryptoApiKey& key);

// Encrypts in place a plaintext Workbook stream that already holds that FILEPASS
// right after the globals BOF.
void encryptWorkbookStream(std::vector<uint8_t>& stream, const CryptoApiKey& key);

// Building blocks, exposed for the test vectors (passwords are UTF-8, decoded
// by gp::sheet::utf8ToUtf16).
std::array<uint8_t, 16> rc4StandardKey(std::string_view password, std::span<const uint8_t, 16> salt, uint32_t block);
std::array<uint8_t, 16> cryptoApiKey(std::string_view password, std::span<const uint8_t> salt, uint32_t block,
                                     uint32_t keyBits);
uint16_t xorKey(std::string_view password);
uint16_t xorVerifier(std::string_view password);
std::array<uint8_t, 16> xorArray(std::string_view password);

} // namespace gp::xls
