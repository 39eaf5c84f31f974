#include <gtest/gtest.h>

#include <deque>
#include <map>

#include "media/media_pacing.h"
#include "media/media_response.h"

namespace {

// Headers as a map (names are unique in file responses) and the order of their names.
std::map<std::string, std::string> header_map(const MediaHeaders& headers) {
  return {headers.begin(), headers.end()};
}

std::string header_of(const MediaHeaders& headers, const std::string& name) {
  for (const auto& [n, v] : headers) {
    if (n == name) return v;
  }
  return "(none)";
}

struct RangeCase {
  int64_t size;
  const char* range;
  int status;
  int64_t start;
  int64_t length;
  const char* content_range;  // "(none)" when absent
};

}  // namespace

TEST(MediaFileResponse, Ranges) {
  const RangeCase cases[] = {
      {1000, "", 200, 0, 1000, "(none)"},
      {1000, "bytes=0-", 206, 0, 1000, "bytes 0-999/1000"},
      {1000, "bytes=10-20", 206, 10, 11, "bytes 10-20/1000"},
      {1000, "bytes=990-5000", 206, 990, 10, "bytes 990-999/1000"},
      {1000, "bytes= 5 - 9 ", 206, 5, 5, "bytes 5-9/1000"},
      {1000, "bytes=-", 206, 0, 1000, "bytes 0-999/1000"},
      // Suffix ranges: the last bytes, at most the whole file.
      {1000, "bytes=-100", 206, 900, 100, "bytes 900-999/1000"},
      {1000, "bytes=-2000", 206, 0, 1000, "bytes 0-999/1000"},
      // Not satisfiable.
      {1000, "bytes=2000-", 416, 0, 0, "bytes */1000"},
      {1000, "bytes=1000-", 416, 0, 0, "bytes */1000"},
      {1000, "bytes=500-100", 416, 0, 0, "bytes */1000"},
      {1000, "bytes=-0", 416, 0, 0, "bytes */1000"},
      {1000, "bytes=99999999999999999999999-", 416, 0, 0, "bytes */1000"},
      {0, "bytes=0-", 416, 0, 0, "bytes */0"},
      // Not one "bytes=" range: the whole file.
      {1000, "bytes=0-1,5-6", 200, 0, 1000, "(none)"},
      {1000, "items=0-1", 200, 0, 1000, "(none)"},
      {1000, "Bytes=0-1", 200, 0, 1000, "(none)"},
      {1000, "bytes=1-2-3", 200, 0, 1000, "(none)"},
      {1000, "bytes=5", 200, 0, 1000, "(none)"},
      {1000, "bytes=abc-", 200, 0, 1000, "(none)"},
      {1000, "bytes=0-x", 200, 0, 1000, "(none)"},
      {1000, "bytes=+5-9", 200, 0, 1000, "(none)"},
      {0, "", 200, 0, 0, "(none)"},
  };
  for (const RangeCase& c : cases) {
    SCOPED_TRACE(std::string(c.range) + " on " + std::to_string(c.size) + " bytes");
    MediaFileResponse r = media_file_response(c.size, c.range, "audio/mpeg");
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(header_of(r.headers, "Content-Range"), c.content_range);
    EXPECT_EQ(header_of(r.headers, "Content-Length"), std::to_string(c.length));
    if (c.status != 416) {
      EXPECT_EQ(r.start, c.start);
      EXPECT_EQ(r.length, c.length);
    }
  }
}

TEST(MediaFileResponse, FixedHeaders) {
  MediaFileResponse r = media_file_response(1000, "bytes=0-1", "video/webm");
  EXPECT_EQ(header_map(r.headers), (std::map<std::string, std::string>{
                                       {"Content-Type", "video/webm"},
                                       {"Accept-Ranges", "bytes"},
                                       {"Cache-Control", "no-cache"},
                                       {"Access-Control-Allow-Origin", "*"},
                                       {"Access-Control-Allow-Headers", "*"},
                                       {"Access-Control-Expose-Headers", "*"},
                                       {"Content-Security-Policy", "sandbox"},
                                       {"Content-Length", "2"},
                                       {"Content-Range", "bytes 0-1/1000"},
                                   }));
  EXPECT_EQ(r.headers.size(), 9u);
  EXPECT_EQ(header_of(media_file_response(10, "bytes=50-", "x/y").headers, "Content-Type"), "x/y");
}

TEST(MediaFileMime, TableThenSystemThenOctetStream) {
  const std::map<std::string, std::string> table = {
      {"aac", "audio/aac"},   {"aif", "audio/aiff"},      {"aifc", "audio/aiff"},
      {"aiff", "audio/aiff"}, {"caf", "audio/x-caf"},     {"flac", "audio/flac"},
      {"m4a", "audio/mp4"},   {"m4b", "audio/mp4"},       {"m4v", "video/mp4"},
      {"mp4", "video/mp4"},   {"mov", "video/quicktime"}, {"mp3", "audio/mpeg"},
      {"oga", "audio/ogg"},   {"ogg", "audio/ogg"},       {"opus", "audio/ogg"},
      {"wav", "audio/wav"},   {"webm", "video/webm"},
  };
  std::vector<std::string> asked;
  auto system = [&](const std::string& ext) -> std::optional<std::string> {
    asked.push_back(ext);
    if (ext == "png" || ext == "mp3") return "image/png";
    return std::nullopt;
  };
  for (const auto& [ext, mime] : table)
    EXPECT_EQ(kelo_media_file_mime("/m/song." + ext, system), mime) << ext;
  EXPECT_TRUE(asked.empty());  // the table wins over the system
  EXPECT_EQ(kelo_media_file_mime("/m/SONG.MP3", system), "audio/mpeg");
  EXPECT_EQ(kelo_media_file_mime("/m/a.tar.Png", system), "image/png");
  EXPECT_EQ(kelo_media_file_mime("/m/notes.xyz", system), "application/octet-stream");
  EXPECT_EQ(kelo_media_file_mime("/m.mp3/README", system), "application/octet-stream");
  EXPECT_EQ(asked, (std::vector<std::string>{"png", "xyz"}));
}

TEST(MediaProxyResponse, EndlessAudioIsOneTebibyteWithoutTransferAndRangeHeaders) {
  MediaUpstream radio{200,
                      "audio/mpeg",
                      false,
                      -1,
                      {{"Content-Type", "audio/mpeg"},
                       {"Transfer-Encoding", "chunked"},
                       {"accept-ranges", "bytes"},
                       {"Content-Range", "bytes 0-1/2"},
                       {"Access-Control-Allow-Origin", "https://evil.example"},
                       {"ACCESS-CONTROL-ALLOW-CREDENTIALS", "true"},
                       {"Content-Security-Policy-Report-Only", "default-src 'none'"},
                       {"icy-name", "Radio"},
                       {"Set-Cookie", "a=1"},
                       {"Set-Cookie", "b=2"}}};
  MediaProxyResponse r = media_proxy_response(radio);
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.length, int64_t{1099511627776});
  EXPECT_EQ(r.headers, (MediaHeaders{{"Content-Type", "audio/mpeg"},
                                     {"icy-name", "Radio"},
                                     {"Set-Cookie", "a=1"},
                                     {"Set-Cookie", "b=2"},
                                     {"Content-Length", "1099511627776"},
                                     {"Access-Control-Allow-Origin", "*"},
                                     {"Access-Control-Allow-Headers", "*"},
                                     {"Access-Control-Expose-Headers", "*"},
                                     {"Content-Security-Policy", "sandbox"}}));

  // Streaming but not 200: headers dropped, no invented length.
  radio.status = 206;
  MediaProxyResponse partial = media_proxy_response(radio);
  EXPECT_EQ(partial.length, -1);
  EXPECT_EQ(header_of(partial.headers, "Content-Length"), "(none)");
  EXPECT_EQ(header_of(partial.headers, "Content-Range"), "(none)");
}

TEST(MediaProxyResponse, OtherBodiesPassThroughWithTheirStatus) {
  // Known length: not endless, whatever the type.
  MediaUpstream video{206,
                      "Video/MP4",
                      true,
                      2,
                      {{"Content-Type", "Video/MP4"},
                       {"Content-Length", "2"},
                       {"Content-Range", "bytes 0-1/9"},
                       {"Accept-Ranges", "bytes"}}};
  MediaProxyResponse r = media_proxy_response(video);
  EXPECT_EQ(r.status, 206);
  EXPECT_EQ(r.length, 2);
  EXPECT_EQ(header_of(r.headers, "Content-Range"), "bytes 0-1/9");
  EXPECT_EQ(header_of(r.headers, "Accept-Ranges"), "bytes");

  // Unknown length but not media; an error status passes through.
  MediaUpstream page{404, "text/html", false, -1, {{"Transfer-Encoding", "chunked"}}};
  MediaProxyResponse missing = media_proxy_response(page);
  EXPECT_EQ(missing.status, 404);
  EXPECT_EQ(missing.length, -1);
  EXPECT_EQ(header_of(missing.headers, "Transfer-Encoding"), "chunked");
  // No Content-Type among the headers: the response's type stands in.
  EXPECT_EQ(header_of(missing.headers, "Content-Type"), "text/html");
  EXPECT_EQ(header_of(missing.headers, "Content-Security-Policy"), "sandbox");
}

// A stream fed in the engine's 8 KiB reads: reading stops only with a probe out that is not yet
// answered, and answers that come late or out of order let it go on.
TEST(MediaPacing, ReadingStopsOnlyWithAProbeOutThatLetsItGoOn) {
  MediaPacing pacing;
  std::deque<int64_t> out;  // probes the page has not answered, oldest first
  int64_t sent = 0;
  for (int round = 0; round < 40; ++round) {
    for (int reads = 0; pacing.may_read(); ++reads) {
      ASSERT_LT(reads, 1000) << "reading never stops";
      sent += 8192;
      if (auto mark = pacing.handed_on(8192)) out.push_back(*mark);
    }
    ASSERT_FALSE(out.empty());
    if (round % 2 == 0) {  // the oldest answer: reading goes on once it is near enough
      pacing.answered(out.front());
      EXPECT_EQ(pacing.may_read(), sent - out.front() < kMediaAhead);
      out.pop_front();
    } else {  // the newest first, then the older ones: they no longer hold it back
      for (auto it = out.rbegin(); it != out.rend(); ++it)
        pacing.answered(*it);
      out.clear();
      EXPECT_TRUE(pacing.may_read());
    }
  }
  EXPECT_GT(sent, 20 * kMediaAhead);
}
