// The maker's update host: where the server list "/serverlist9.txt" is fetched from. A name of
// our own is compiled in; the option --update_host=NAME replaces it for one run.
//
// What the installer needs from the update host and the download servers the list names: plain
// HTTP/1.1 on port 80 (or through the configured proxy) answering GET with a status line that
// has a reason ("HTTP/1.1 200 OK"), a 2xx code, a "Content-Length" header spelled exactly so,
// and a body of exactly that length, with data at least every 30 seconds. Chunked bodies and
// bodies ended by closing the connection never succeed. Any static file server will do.
#pragma once
#include <string>

constexpr const char* default_update_host = "update.velmora.example";

// The host name to ask for the server list: the value of --update_host when given and not
// empty, otherwise default_update_host. A leading "http://" and trailing "/" are dropped, since
// the HTTP client takes bare host names only.
std::string update_host();
