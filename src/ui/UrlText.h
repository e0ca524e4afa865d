#pragma once

#include <string>
#include <string_view>

namespace sarvo::ui {

// The URL field's escaping: ' ' becomes %20, '#' %23 and '%' %25, so that the address works when it is
// pasted into a browser; every other byte stays as it is.
std::string EscapeUrlForField(std::string_view url);

}  // namespace sarvo::ui
