// Process-wide state of the launcher, written during start-up on the main thread and read
// afterwards.
#pragma once

#include <set>
#include <string>

#include "launcher/settings.h"

extern std::string g_app_name;
extern std::string g_app_version;
extern std::string g_html_path;
extern std::string g_sock_dir;
extern std::string g_bundle_path;
// CFBundleIdentifier of a package run ("org.example.App"); empty in a development run.
extern std::string g_bundle_id;
extern Settings g_settings;
extern bool g_windowless;
extern bool g_bundle_mode;
extern bool g_accessory;
extern bool g_defer_show;
extern bool g_suppress_order_front;
extern bool g_debug;
extern bool g_debug_open;
extern std::set<std::string> g_own_argv_paths;
