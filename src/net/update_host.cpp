// The update host: compiled-in default, or the --update_host option.
#include "net/update_host.h"

#include "app/options.h"

std::string update_host() {
  std::string host = has_option("--update_host") ? option_value("--update_host") : "";
  if (host.rfind("http://", 0) == 0) host.erase(0, 7);
  while (!host.empty() && host.back() == '/') host.pop_back();
  return host.empty() ? default_update_host : host;
}
