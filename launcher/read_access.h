// The folder a local page may read from.
#pragma once

#include <functional>
#include <string>
#include <string_view>

// Removes ".", "..", empty components and any trailing slash of an absolute path.
std::string standardize_path(const std::string& path);

// True when path lies inside root: root is "/", or equals path, or is a leading run of
// path's components. Nothing lies inside an empty root.
bool path_inside(std::string_view path, std::string_view root);

// The read-access root for a local HTML file: its folder, or the folder above when that holds
// a folder named "shared"; narrowed or widened to the configured read-access folder when one is
// set. is_dir answers whether a folder exists. The answer is a folder path without a trailing
// slash ("/" for the root).
std::string kelo_read_access_path(const std::string& file_path, const std::string& read_access,
                                  const std::function<bool(const std::string&)>& is_dir);

// An address the engine loads as it is ("http://" or "https://", case as written); anything
// else names a local file.
bool is_web_address(std::string_view url);
