#include "browser/request_checks.h"

#include <charconv>

#include "browser/browser_constants.h"

namespace zephra::browser {

namespace {

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool IdCharacter(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' ||
         c == '_';
}

bool ValidClientId(std::string_view id) {
  if (id.empty() || id.size() > MaxClientIdLength) return false;
  for (char c : id) {
    if (!IdCharacter(c)) return false;
  }
  return true;
}

}  // namespace

bool HostMatches(std::string_view host, const net::TWebEndpoints& endpoints) {
  const std::string expected = endpoints.localAddress + ':' + std::to_string(endpoints.localPort);
  return !endpoints.localAddress.empty() && Trimmed(host) == expected;
}

bool OriginMatches(std::string_view origin, std::string_view host) {
  constexpr std::string_view Scheme = "http://";
  origin = Trimmed(origin);
  return StartsWith(origin, Scheme) && origin.substr(Scheme.size()) == Trimmed(host);
}

TSocketOffer ParseSocketOffer(std::string_view protocols) {
  TSocketOffer offer;
  while (!protocols.empty()) {
    const std::size_t comma = protocols.find(',');
    const std::string_view item = Trimmed(protocols.substr(0, comma));
    protocols = comma == std::string_view::npos ? std::string_view{} : protocols.substr(comma + 1);
    if (item == PageSubprotocol) {
      offer.page = true;
    } else if (StartsWith(item, TokenProtocolPrefix)) {
      offer.token = std::string(item.substr(std::string_view(TokenProtocolPrefix).size()));
    } else if (StartsWith(item, ClientProtocolPrefix)) {
      const std::string_view id = item.substr(std::string_view(ClientProtocolPrefix).size());
      if (ValidClientId(id)) offer.clientId = std::string(id);
    }
  }
  return offer;
}

std::optional<std::int32_t> UploadIdOf(std::string_view target) {
  constexpr std::string_view Prefix = "/api/upload/";
  if (!StartsWith(target, Prefix)) return std::nullopt;
  const std::string_view digits = target.substr(Prefix.size());
  if (digits.empty() || digits.size() > 9) return std::nullopt;
  std::int32_t id = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), id);
  if (error != std::errc{} || end != digits.data() + digits.size() || digits.front() == '-') {
    return std::nullopt;
  }
  return id;
}

}  // namespace zephra::browser
