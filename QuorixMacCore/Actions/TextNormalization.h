#pragma once

#include <string>
#include <string_view>

namespace quorix {

// Texts here are UTF-8, as is everything decoded from JSON; invalid bytes would
// come back as replacement characters.

/// The text without the white space and line breaks (Unicode separators, tab, line feed,
/// vertical tab, form feed, carriage return, next line) at either end.
std::string trimmedWhitespaceAndNewlines(std::string_view text);

/// Unicode lower and upper case of UTF-8 text ("ß" upper-cases to "SS").
std::string lowercased(std::string_view text);
std::string uppercased(std::string_view text);

} // namespace quorix
