#include <gtest/gtest.h>

#include "launcher/bundle.h"

TEST(Bundle, PathFromExecutable) {
  EXPECT_EQ(bundle_path_for_exe("/Apps/Demo.app/Contents/MacOS/launcher"), "/Apps/Demo.app");
  EXPECT_EQ(bundle_path_for_exe("/usr/bin/kelojs-launcher"), "");
  EXPECT_EQ(bundle_path_for_exe("/x/Demo.app/launcher"), "");
}

TEST(Bundle, DetectionRules) {
  char a0[] = "l", a1[] = "--open", a2[] = "x", a3[] = "y";
  char* two[] = {a0, a1, nullptr};
  char* three[] = {a0, a2, a3, nullptr};
  char* open3[] = {a0, a1, a2, nullptr};
  EXPECT_TRUE(wants_package_detection(1, two));
  EXPECT_TRUE(wants_package_detection(2, two));
  EXPECT_FALSE(wants_package_detection(3, three));
  EXPECT_TRUE(wants_package_detection(3, open3));
  EXPECT_EQ(opened_args(3, open3), (std::vector<std::string>{"x"}));
  EXPECT_TRUE(opened_args(3, three).empty());

  EXPECT_FALSE(is_package_run("", true, "u", true));
  EXPECT_FALSE(is_package_run("/A/Demo.app", false, "", false));
  EXPECT_TRUE(is_package_run("/A/Demo.app", true, "", false));
  EXPECT_TRUE(is_package_run("/A/Demo.app", false, "https://x", false));
  EXPECT_TRUE(is_package_run("/A/Demo.app", false, "", true));
}

TEST(Bundle, ScrubKeepsOnlyNotificationDebug) {
  char e1[] = "KELOJS_DEBUG=1", e2[] = "KELOJS_NOTIF_DEBUG=1", e3[] = "HOME=/h",
       e4[] = "KELOJS_EMPTY=", e5[] = "XKELOJS_A=1", e6[] = "KELOJS_NOEQ";
  char* env[] = {e1, e2, e3, e4, e5, e6, nullptr};
  EXPECT_EQ(scrubbed_env_names(env),
            (std::vector<std::string>{"KELOJS_DEBUG", "KELOJS_EMPTY", "KELOJS_NOEQ"}));
}

TEST(Bundle, PackageParamsAndBackendArguments) {
  PackageParams p = package_params("/A/D.app", "", "", "", "");
  EXPECT_EQ(p.url, "/A/D.app/Contents/Resources/app/frontend/index.html");
  EXPECT_EQ(p.title, "kelojs");
  EXPECT_EQ(p.version, "0.0.0");
  EXPECT_EQ(p.size, "960x640");
  p = package_params("/A/D.app", "https://x/", "Demo", "1.2", "300x200");
  EXPECT_EQ(p.url, "https://x/");
  EXPECT_EQ(p.title, "Demo");
  EXPECT_EQ(p.version, "1.2");
  EXPECT_EQ(p.size, "300x200");
  EXPECT_EQ(backend_argv("/A/D.app/Contents/MacOS/l", "/A/D.app"),
            (std::vector<std::string>{"/A/D.app/Contents/MacOS/tjs", "run",
                                      "/A/D.app/Contents/Resources/app/entry.js"}));
  EXPECT_EQ(usage_text("kl"), "usage: kl <html-file-or-url> <socket-path> [title] [WxH]\n");
}

TEST(Bundle, AppIdsAreBusNames) {
  EXPECT_EQ(app_id_for_bundle("org.example.Editor"), "org.example.Editor");
  EXPECT_EQ(app_id_for_bundle("com.example.my-app"), "com.example.my-app");
  EXPECT_EQ(app_id_for_bundle("com.2fast.App"), "com._2fast.App");
  EXPECT_EQ(app_id_for_bundle("Notes"), "org.kelojs.Notes");
  EXPECT_EQ(app_id_for_bundle("a..b ü"), "a._.b___");
  EXPECT_EQ(app_id_for_bundle(""), "");
  EXPECT_EQ(app_id_for_bundle("a." + std::string(300, 'b')), "");
}
