// File signatures: the MD5 digest of a file's whole content as 32 lowercase hex digits.
#pragma once
#include <string>

// 0 with the signature stored in `signature`; 20006 when the file cannot be opened or mapped,
// with `signature` left exactly as it was.
int file_signature(const std::string& path, std::string& signature);
