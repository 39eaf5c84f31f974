// The file types of an allowed-types list, as shared-mime-info knows them.
#pragma once

#include <string>
#include <vector>

// The MIME type of each extension that names one, in list order, without repeats; unknown
// extensions are skipped.
std::vector<std::string> mime_types_for(const std::vector<std::string>& extensions);
