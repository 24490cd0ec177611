// File signatures: MD5 straight from the read-only mapping, so signing a release's files copies
// nothing and uses no memory beyond the mapping.
#include "files/signature.h"

#include <openssl/evp.h>

#include "files/errors.h"
#include "files/mem_file.h"

int file_signature(const std::string& path, std::string& signature) {
  MemFile file(path);
  if (!file.exists()) {
    note_failure("io_utils", __LINE__);
    return err_open_for_read;
  }
  std::string text = signature_of_bytes(file.begin(), file.size());
  if (text.empty()) {
    note_failure("io_utils", __LINE__);
    return err_open_for_read;
  }
  signature = std::move(text);
  return 0;
}

std::string signature_text(const unsigned char* digest, unsigned length) {
  static const char digits[] = "0123456789abcdef";
  std::string text(2 * length, '0');
  for (unsigned i = 0; i < length; ++i) {
    text[2 * i] = digits[digest[i] >> 4];
    text[2 * i + 1] = digits[digest[i] & 15];
  }
  return text;
}

std::string signature_of_bytes(const void* data, size_t size) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned length = 0;
  if (EVP_Digest(data, size, digest, &length, EVP_md5(), nullptr) != 1) return {};
  return signature_text(digest, length);
}
