// File signatures: the MD5 digest of a file's whole content as 32 lowercase hex digits.
#pragma once
#include <cstddef>
#include <string>

// 0 with the signature stored in `signature`; 20006 when the file cannot be opened or mapped,
// with `signature` left exactly as it was.
int file_signature(const std::string& path, std::string& signature);

// A digest written as signatures are: two lowercase hex digits a byte.
std::string signature_text(const unsigned char* digest, unsigned length);

// The signature of bytes already in memory; empty when the digest cannot be made. Touches
// nothing but its arguments, so worker threads may call it.
std::string signature_of_bytes(const void* data, size_t size);
