#pragma once

#include <string>
#include <string_view>

namespace zephra::browser {

// A new token: 128 bits from the system's random source, as 32 lower-case hexadecimal digits.
std::string NewToken();
// Whether `offered` is `token`, compared in a time that does not depend on where they differ.
bool SameToken(std::string_view offered, std::string_view token);

}  // namespace zephra::browser
