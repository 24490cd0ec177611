// Fuzz entry point for the HTTP response parser: the input is handed to a request in pieces, as
// the network would deliver it, and the parser's promises are checked after every piece.
#include <cstdint>
#include <cstdlib>

#include "net/http.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte sets the piece size, so that lines and headers are split in many ways.
  const size_t piece = 1 + data[0] % 97;
  ++data;
  --size;
  auto request = http_request::for_parsing("/dev/null");
  size_t fed = 0;
  while (fed < size) {
    const size_t length = size - fed < piece ? size - fed : piece;
    http_take_bytes(*request, reinterpret_cast<const char*>(data) + fed, length);
    fed += length;
    // The headers never take more than their limit, however the data goes on.
    if (!request->headers_done &&
        request->header_bytes + request->receive_buffer.size() > http_header_limit + piece) {
      std::abort();
    }
    if (request->headers_done && request->status_code <= 199) std::abort();
    if (request->received < 0 || request->received > static_cast<int64_t>(fed)) std::abort();
    if (request->content_length < -1) std::abort();
  }
  return 0;
}
