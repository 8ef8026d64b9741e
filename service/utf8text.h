#pragma once

#include <string>
#include <string_view>

// UTF-8 helpers for text that ends up in XML answers: everything the service writes must be
// well-formed, whatever bytes a dictionary file or a client brought in.
namespace utf8text {

// True when the bytes are valid UTF-8 (no overlongs, no surrogates).
bool isValid(std::string_view text);

// Valid UTF-8 with every invalid sequence replaced by U+FFFD and the control characters
// that XML 1.0 forbids removed (tab, line feed and carriage return stay).
std::string sanitized(std::string_view text);

// The text without leading and trailing ASCII white space.
std::string_view trimmed(std::string_view text);

// Number of code points of valid UTF-8.
size_t codePointCount(std::string_view text);

} // namespace utf8text
