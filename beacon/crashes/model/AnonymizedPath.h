#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace beacon::anonymized_path {

// Replaces the user name in every user folder found in `text` by "USER":
// "/Users/<name>/" anywhere, "/home/<name>/" and "/media/<name>/" where a
// path starts or under "/var/home/" and "/run/media/", and the current user's home
// directory (as configured and as resolved) wherever it appears, whatever
// its parent. Linear in the length of the text, with no recursion, so any
// report string is safe to pass.
std::string inText(std::string_view text);

// A path to send: `inText` of it; empty when it names a "Users" folder that
// is not at its start (a user folder on some other volume, whose name cannot
// be told apart) or when it is empty.
std::string ofPath(std::string_view path);

// The home directories `inText` looks for: the current user's, from the
// password database and $HOME, each also with symbolic links resolved.
const std::vector<std::string>& currentUserHomes();

} // namespace beacon::anonymized_path
