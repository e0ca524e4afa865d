#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The users of Basic authentication: one text value per user, named by the user, holding the
// password as plain text.
namespace sarvo {

inline constexpr size_t kUserFieldMax = 254;

// False when there is no user at that index (creation order).
bool EnumerateUser(int index, std::string& name, std::string& password);
// Stores or replaces the user; false for an empty name.
bool SetUser(std::string_view name, std::string_view password);
bool RemoveUser(std::string_view name);
// Deletes the whole user list; the users dialog writes the list anew after it.
bool RemoveAllUsers();
// User names match without regard to case, as value names do; passwords byte for byte.
bool CheckUserPassword(std::string_view user, std::string_view password);

}  // namespace sarvo
