#include "ui/address.h"

namespace varnello::ui {
namespace {

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool IsHostCharacter(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'-' || c == u'.';
}

}  // namespace

std::optional<Server> ServerOf(std::u16string_view address) {
  const std::size_t colon = address.find(u':');
  if (colon == std::u16string_view::npos) return std::nullopt;
  std::u16string scheme;
  for (char16_t c : address.substr(0, colon)) scheme += Lower(c);
  int port = 0;
  if (scheme == u"http") port = 80;
  else if (scheme == u"https") port = 443;
  else return std::nullopt;

  // The browser takes backslashes for slashes in these addresses.
  std::u16string_view rest = address.substr(colon + 1);
  auto slash = [](char16_t c) { return c == u'/' || c == u'\\'; };
  if (rest.size() < 2 || !slash(rest[0]) || !slash(rest[1])) return std::nullopt;
  rest.remove_prefix(2);
  std::size_t end = 0;
  while (end < rest.size() && !slash(rest[end]) && rest[end] != u'?' && rest[end] != u'#') ++end;
  const std::u16string_view authority = rest.substr(0, end);

  Server server;
  const std::size_t port_colon = authority.find(u':');
  for (char16_t c : authority.substr(0, port_colon)) {
    c = Lower(c);
    if (!IsHostCharacter(c)) return std::nullopt;  // '@', '%', '[', blanks and the like
    server.host += c;
  }
  if (server.host.empty()) return std::nullopt;
  server.port = port;
  if (port_colon != std::u16string_view::npos) {
    const std::u16string_view digits = authority.substr(port_colon + 1);
    if (digits.empty() || digits.size() > 5) return std::nullopt;
    int n = 0;
    for (char16_t c : digits) {
      if (c < u'0' || c > u'9') return std::nullopt;
      n = n * 10 + (c - u'0');
    }
    if (n == 0 || n > 65535) return std::nullopt;
    server.port = n;
  }
  return server;
}

bool OnHostOf(std::u16string_view address, std::u16string_view page) {
  const auto to = ServerOf(address);
  const auto home = ServerOf(page);
  return to && home && to->host == home->host;
}

}  // namespace varnello::ui
