// Where a web address leads, for keeping the announcement strip on the
// server of its page.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace varnello::ui {

// The server an http or https address names: its host in lower case and its
// port, the scheme's own where none is given. Empty for any other scheme,
// for addresses that carry a user name or password, and for hosts that are
// not plain names or IPv4 numbers.
struct Server {
  std::u16string host;
  int port = 0;
};
std::optional<Server> ServerOf(std::u16string_view address);

// Whether `address` is an http or https address on the host of `page`
// (whatever the scheme and port).
bool OnHostOf(std::u16string_view address, std::u16string_view page);

}  // namespace varnello::ui
