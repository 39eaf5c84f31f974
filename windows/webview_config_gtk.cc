#include <unistd.h>
#include <webkit2/webkit2.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "launcher/app_state.h"
#include "launcher/read_access.h"
#include "platform/gobj.h"
#include "windows/webview_config.h"

namespace {

void enable_webgpu(WebKitSettings* settings) {
  WebKitFeatureList* features = webkit_settings_get_all_features();
  for (gsize i = 0; i < webkit_feature_list_get_length(features); ++i) {
    WebKitFeature* feature = webkit_feature_list_get(features, i);
    const char* id = webkit_feature_get_identifier(feature);
    if (id && (std::strcmp(id, "WebGPUEnabled") == 0 || std::strcmp(id, "WebGPU") == 0)) {
      webkit_settings_set_feature_enabled(settings, feature, TRUE);
      break;
    }
  }
  webkit_feature_list_unref(features);
}

void expose_media_devices(WebKitSettings* settings) {
  webkit_settings_set_enable_media_stream(settings, TRUE);
  if (!webkit_settings_get_enable_media_stream(settings)) {
    std::fputs("launcher: media streams unavailable — navigator.mediaDevices stays hidden\n",
               stderr);
  }
}

}  // namespace

void kelo_load_page(WebKitWebView* view, const std::string& url) {
  if (is_web_address(url)) {
    webkit_web_view_load_uri(view, url.c_str());
    return;
  }
  char buf[PATH_MAX];
  std::string path = url;
  if (realpath(url.c_str(), buf)) {
    path = buf;
  } else if (path.empty() || path[0] != '/') {
    path = std::string(getcwd(buf, sizeof buf) ? buf : "/") + "/" + path;
  }
  GCharPtr uri(g_filename_to_uri(path.c_str(), nullptr, nullptr));
  if (uri) webkit_web_view_load_uri(view, uri.get());
}

void apply_webview_prefs(WebKitWebView* view) {
  WebKitSettings* settings = webkit_web_view_get_settings(view);
  enable_webgpu(settings);
  webkit_settings_set_allow_file_access_from_file_urls(settings, TRUE);
  webkit_settings_set_allow_universal_access_from_file_urls(settings, TRUE);
  // Pages may open windows from scripts; the popup policy decides what becomes of them.
  webkit_settings_set_javascript_can_open_windows_automatically(settings, TRUE);
  if (!g_bundle_mode) expose_media_devices(settings);
  // Tests run without cameras or microphones: the engine's stand-ins take their place.
  if (std::getenv("KELOJS_TEST_MOCK_MEDIA")) {
    webkit_settings_set_enable_mock_capture_devices(settings, TRUE);
  }
  webkit_settings_set_enable_developer_extras(settings, g_debug);
  if (!g_settings.user_agent.empty()) {
    webkit_settings_set_user_agent(settings, g_settings.user_agent.c_str());
  }
}
