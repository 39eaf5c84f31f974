// Allowed types of file dialogs: extensions become the MIME types shared-mime-info knows.
#include <gtest/gtest.h>

#include "dialogs/type_filter_gio.h"

TEST(TypeFilter, KnownExtensionsNameTheirTypes) {
  EXPECT_EQ(mime_types_for({"jpg", "nosuchext", "JPEG", "md", "html"}),
            (std::vector<std::string>{"image/jpeg", "text/markdown", "text/html"}));
  EXPECT_TRUE(mime_types_for({"nosuchext", "a/b"}).empty());
}
