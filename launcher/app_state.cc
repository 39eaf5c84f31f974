#include "launcher/app_state.h"

std::string g_app_name = "kelojs";
std::string g_app_version = "0.0.0";
std::string g_html_path;
std::string g_sock_dir;
std::string g_bundle_path;
std::string g_bundle_id;
Settings g_settings;
bool g_windowless = false;
bool g_bundle_mode = false;
bool g_accessory = false;
bool g_defer_show = false;
bool g_suppress_order_front = false;
bool g_debug = false;
bool g_debug_open = false;
std::set<std::string> g_own_argv_paths;
