// The update host: compiled-in default and the --update_host option.
#include "net/update_host.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/options.h"

namespace {

TEST(UpdateHost, DefaultAndOption) {
  struct Case {
    const char* label;
    std::vector<const char*> arguments;
    const char* expected;
  };
  const Case cases[] = {
      {"no option: our own reserved name", {}, "update.velmora.example"},
      {"the option names the host", {"--update_host=mirror.velmora.example"},
       "mirror.velmora.example"},
      {"an empty value keeps the default", {"--update_host="}, "update.velmora.example"},
      {"a scheme and a slash are dropped", {"--update_host=http://127.0.0.1/"}, "127.0.0.1"},
      {"among other options", {"-path", "/tmp/x/", "--update_host=u.example", "--pref:_a=1"},
       "u.example"},
  };
  for (const Case& c : cases) {
    std::vector<char*> argv = {const_cast<char*>("velmora-update")};
    for (const char* argument : c.arguments) argv.push_back(const_cast<char*>(argument));
    clear_options();
    parse_options(int(argv.size()), argv.data());
    EXPECT_EQ(update_host(), c.expected) << c.label;
  }
  clear_options();
}

}  // namespace
