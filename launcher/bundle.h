// Package detection: is this launcher the executable of an app bundle, and what does the
// bundle ask for.
#pragma once

#include <string>
#include <vector>

// The bundle folder of an executable at Name.app/Contents/MacOS/<exe>, or empty when the folder
// two levels above the executable's own does not end in ".app".
std::string bundle_path_for_exe(const std::string& exe_path);

// Package detection runs for fewer than three arguments, or when the first is "--open".
bool wants_package_detection(int argc, char** argv);

// A package run needs a bundle folder and one of: windowless, a front-end URL, or the
// packaged index.html.
bool is_package_run(const std::string& bundle, bool windowless, const std::string& url,
                    bool index_exists);

// Names of the environment entries a package run removes: every "KELOJS_" entry except
// KELOJS_NOTIF_DEBUG.
std::vector<std::string> scrubbed_env_names(char** envp);

// What a package run loads and shows, from its property list.
struct PackageParams {
  std::string url;
  std::string title;
  std::string version;
  std::string size;
};
PackageParams package_params(const std::string& bundle, const std::string& plist_url,
                             const std::string& bundle_name, const std::string& bundle_version,
                             const std::string& window_size);

// The backend runtime's argument vector: <exe dir>/tjs run <bundle>/Contents/Resources/app/entry.js
std::vector<std::string> backend_argv(const std::string& exe_path, const std::string& bundle);

// The opened files and URLs of a package run: the arguments after "--open".
std::vector<std::string> opened_args(int argc, char** argv);

std::string usage_text(const char* argv0);

// The application id a bundle identifier gives on the session bus: dot-separated elements of
// letters, digits, "_" and "-", none starting with a digit, at least two of them. Other bytes
// become "_"; empty when there is no identifier or it is too long to be a bus name.
std::string app_id_for_bundle(const std::string& bundle_id);
