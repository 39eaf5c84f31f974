// The package run: an app bundle's launcher listens on a private socket and spawns the backend.
#pragma once

#include <string>
#include <vector>

class PlistFile;

struct LaunchParams {
  std::string url;
  std::string sock_path;
  std::string title = "kelojs";
  std::string size = "960x640";
  std::string version;
};

// Detects a package run and, when it is one, scrubs the environment, hands `opened` to the
// app's running launcher when there is one (ending this process), else listens on the private
// socket and spawns the backend. False means: continue as a development run.
bool bundle_mode_setup(const std::string& exe_path, const PlistFile& plist,
                       const std::vector<std::string>& opened, LaunchParams& out);

// Removes the private socket folder and its socket, when there is one.
void remove_socket_dir();
