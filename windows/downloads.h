// Download rules: file names, the folder they go to, and the DOWNLOAD event stream.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

// One running download, from "started" until "done" or "failed".
struct KeloDownloadInfo {
  int64_t id = 0;
  std::string url;
  std::string filename;
  std::string path;
  double last_progress_ms = 0;  // monotonic time of the last progress event; 0: none yet
};

// DOWNLOAD {"id":N,"url":U,"filename":F,"path":P,"state":"S"}; path null when empty; then
// ,"bytes":B,"total":T when bytes >= 0 (a total below 1 is written -1); then ,"error":E when
// the error is not empty.
std::string download_event(int64_t id, std::string_view url, std::string_view filename,
                           std::string_view path, std::string_view state,
                           std::string_view error = {}, int64_t bytes = -1, int64_t total = -1);

// The name a download is saved under before the folder is looked at: the suggested name, or
// "download" when there is none. A name is never a path: slashes become "_", and "." and ".."
// become "download", so a server cannot place a file outside the folder.
std::string download_file_name(std::string_view suggested);

// Base and extension: "report.pdf" gives {"report", "pdf"}; names without a dot after their
// first character, or ending in a dot, have no extension.
std::pair<std::string, std::string> split_extension(std::string_view name);

// The name with "." + extension appended when it has no extension of its own and the
// extension is not empty.
std::string with_extension(std::string_view name, std::string_view extension);

// The preferred file extension of a MIME type in shared-mime-info's globs2 text (lines
// "weight:type:glob[:flags]", heaviest first): the first simple "*.ext" glob of the type.
// Empty when there is none.
std::string mime_extension(std::string_view globs2, std::string_view mime_type);

// A free name in the folder: the name itself, else "base (2).ext", "base (3).ext", ... (or
// "base (2)" without an extension) up to "base (999)", which is taken whether or not it
// exists. exists answers for a full path.
std::string unique_download_name(const std::string& folder, const std::string& name,
                                 const std::function<bool(const std::string&)>& exists);

// At most one progress event per 250 ms; the first one always passes. Updates last_ms when
// the event is due.
bool progress_due(double& last_ms, double now_ms);
