// What a caller may ask of an archive expansion besides the files themselves: the signature of
// every file as it was written, and a last look at each file before it replaces its target.
#pragma once
#include <functional>
#include <string>
#include <vector>

// One regular file that an expansion produced.
struct ExpandedFile {
  std::string path;       // output folder + entry name
  std::string signature;  // MD5 of the bytes written, 32 lowercase hex digits (see file_signature)
};

struct ExpandOptions {
  // When set, the MD5 of every regular file is computed while it is written (no second read),
  // and each file is appended here once it has been put in place.
  std::vector<ExpandedFile>* written = nullptr;

  // When set, called for every regular file once its content is complete and checked, just
  // before it replaces its target; the MD5 is computed for it. Returning non-zero refuses the
  // file: the old target stays as it was, nothing temporary is left, and the expansion stops
  // with that number (the executor uses this to refuse a file that does not match the release).
  std::function<int(const ExpandedFile& file)> accept;
};
