// RECORD: a GStreamer pipeline from the screen's area of the X server (pointer included) to an
// H.264 MP4 file. Starts and stops run one at a time on the recorder's own thread; frames are
// counted on the pipeline's threads as they reach the encoder.
#include <gdk/gdk.h>
#include <glib/gstdio.h>
#include <gst/gst.h>

#include <chrono>
#include <future>
#include <memory>
#include <optional>

#include "platform/gobj.h"
#include "services/capture_gtk.h"
#include "services/work_queue.h"
#include "windows/screens_gtk.h"
#include "wire/link.h"

namespace {

// Encoders in order of preference; the first one installed is used.
constexpr const char* kEncoders[] = {"x264enc", "openh264enc", "vah264enc", "vaapih264enc",
                                     "v4l2h264enc"};
// How long a stop waits for the file to be finished.
constexpr GstClockTime kFinishTimeout = 15 * GST_SECOND;
// How long a start waits for the first frame to reach the file.
constexpr GstClockTime kStartTimeout = 5 * GST_SECOND;

// Where a start records: the screen's pixels and the X display, looked up on the main thread.
struct Area {
  PixelRect pixels;
  std::string display_name;
};

RecordMachine g_machine;
// The running pipeline and its file (recorder thread only).
GRef<GstElement> g_pipeline;
std::string g_path;

WorkQueue& recorder() {
  static WorkQueue* queue = new WorkQueue(1);
  return *queue;
}

GstBusSyncReply keep_ends(GstBus*, GstMessage* msg, gpointer) {
  return (GST_MESSAGE_TYPE(msg) & (GST_MESSAGE_EOS | GST_MESSAGE_ERROR)) ? GST_BUS_PASS
                                                                         : GST_BUS_DROP;
}

GstPadProbeReturn on_frame(GstPad*, GstPadProbeInfo* info, gpointer) {
  GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
  if (buffer && GST_BUFFER_PTS_IS_VALID(buffer)) {
    g_machine.frame(static_cast<int64_t>(GST_BUFFER_PTS(buffer)));
  }
  return GST_PAD_PROBE_OK;
}

// The text of the first error the pipeline posted within the time-out, or nothing.
std::optional<std::string> bus_error(GstElement* pipeline, GstClockTime timeout) {
  auto bus = GRef<GstBus>::adopt(gst_element_get_bus(pipeline));
  GstMessage* msg = gst_bus_timed_pop_filtered(bus.get(), timeout, GST_MESSAGE_ERROR);
  if (!msg) return std::nullopt;
  GError* error = nullptr;
  gst_message_parse_error(msg, &error, nullptr);
  std::string text = error && error->message ? error->message : "";
  g_clear_error(&error);
  gst_message_unref(msg);
  return text;
}

GstElement* add(GstElement* pipeline, const char* factory) {
  GstElement* e = gst_element_factory_make(factory, nullptr);
  if (e) gst_bin_add(GST_BIN(pipeline), e);
  return e;
}

GstElement* add_encoder(GstElement* pipeline) {
  for (const char* name : kEncoders) {
    if (GstElement* e = add(pipeline, name)) {
      if (std::string_view(name) == "x264enc") {
        gst_util_set_object_arg(G_OBJECT(e), "speed-preset", "ultrafast");
        gst_util_set_object_arg(G_OBJECT(e), "tune", "zerolatency");
        gst_util_set_object_arg(G_OBJECT(e), "pass", "qual");
        g_object_set(e, "quantizer", 23u, "key-int-max", 120u, nullptr);
      }
      return e;
    }
  }
  return nullptr;
}

// ximagesrc ! 60 fps ! leaky queue (frames the encoder cannot take are dropped) ! videoconvert
// ! encoder [! h264parse] ! mp4mux ! filesink. Null and an error text when it cannot be built.
GRef<GstElement> build_pipeline(const Area& area, const std::string& path, std::string& error) {
  auto pipeline = GRef<GstElement>::adopt(
      GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new("kelojs-recorder"))));
  GstElement* src = add(pipeline.get(), "ximagesrc");
  GstElement* rate = add(pipeline.get(), "capsfilter");
  GstElement* queue = add(pipeline.get(), "queue");
  GstElement* convert = add(pipeline.get(), "videoconvert");
  GstElement* mux = add(pipeline.get(), "mp4mux");
  GstElement* sink = add(pipeline.get(), "filesink");
  if (!src || !rate || !queue || !convert || !mux || !sink) {
    error = kCannotCreateMp4;
    return {};
  }
  GstElement* encoder = add_encoder(pipeline.get());
  if (!encoder) {
    error = "no H.264 encoder is installed";
    return {};
  }
  GstElement* parse = add(pipeline.get(), "h264parse");  // optional

  // x264 and most encoders want even sizes.
  const PixelRect& r = area.pixels;
  g_object_set(src, "startx", guint(r.x), "starty", guint(r.y), "endx",
               guint(r.x + (r.width & ~1) - 1), "endy", guint(r.y + (r.height & ~1) - 1),
               "use-damage", FALSE, "show-pointer", TRUE, nullptr);
  if (!area.display_name.empty())
    g_object_set(src, "display-name", area.display_name.c_str(), nullptr);
  GstCaps* caps =
      gst_caps_new_simple("video/x-raw", "framerate", GST_TYPE_FRACTION, 60, 1, nullptr);
  g_object_set(rate, "caps", caps, nullptr);
  gst_caps_unref(caps);
  gst_util_set_object_arg(G_OBJECT(queue), "leaky", "downstream");
  g_object_set(queue, "max-size-buffers", 8u, "max-size-bytes", 0u, "max-size-time", guint64(0),
               nullptr);
  g_object_set(sink, "location", path.c_str(), nullptr);

  if (!gst_element_link_many(src, rate, queue, convert, encoder, nullptr)) {
    error = kCannotCreateMp4;
    return {};
  }
  GstElement* coded = encoder;
  if (parse && gst_element_link(encoder, parse)) coded = parse;
  if (!gst_element_link(coded, mux)) {
    error = kCannotAddTrack;
    return {};
  }
  if (!gst_element_link(mux, sink)) {
    error = kCannotCreateMp4;
    return {};
  }
  auto pad = GRef<GstPad>::adopt(gst_element_get_static_pad(queue, "src"));
  gst_pad_add_probe(pad.get(), GST_PAD_PROBE_TYPE_BUFFER, on_frame, nullptr, nullptr);
  auto bus = GRef<GstBus>::adopt(gst_element_get_bus(pipeline.get()));
  gst_bus_set_sync_handler(bus.get(), keep_ends, nullptr, nullptr);
  return pipeline;
}

void start(const std::string& id, const std::string& path, const std::optional<Area>& area,
           std::string_view area_error) {
  if (auto refused = g_machine.begin_start()) return capture_fail(id, *refused);
  std::string error;
  GRef<GstElement> pipeline;
  if (!area) {
    error = area_error;
  } else {
    gst_init(nullptr, nullptr);
    if (!path.empty()) g_unlink(path.c_str());
    pipeline = build_pipeline(*area, path, error);
  }
  if (pipeline) {
    GstStateChangeReturn ret = gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    if (ret != GST_STATE_CHANGE_FAILURE) {
      ret = gst_element_get_state(pipeline.get(), nullptr, nullptr, kStartTimeout);
    }
    if (ret == GST_STATE_CHANGE_FAILURE) {
      error = bus_error(pipeline.get(), 0).value_or("");
      if (error.empty()) error = kWriterRefused;
      gst_element_set_state(pipeline.get(), GST_STATE_NULL);
      pipeline.reset();
    }
  }
  g_machine.start_done(bool(pipeline));
  if (!pipeline) return capture_fail(id, error);
  g_pipeline = pipeline;
  g_path = path;
  send_reply(id, record_started_json());
}

// Ends the running pipeline: end-of-stream, then the file is finished (or the wait gives up).
RecordingEnd finish_pipeline() {
  GstElement* pipeline = g_pipeline.get();
  gst_element_send_event(pipeline, gst_event_new_eos());
  auto bus = GRef<GstBus>::adopt(gst_element_get_bus(pipeline));
  GstMessage* msg = gst_bus_timed_pop_filtered(bus.get(), kFinishTimeout,
                                               GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  RecordingEnd end;
  if (!msg) {
    end.error = "the recording did not finish in time";
  } else if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS) {
    end.finished = true;
  } else {
    GError* error = nullptr;
    gst_message_parse_error(msg, &error, nullptr);
    if (error && error->message) end.error = error->message;
    g_clear_error(&error);
  }
  if (msg) gst_message_unref(msg);
  gst_element_set_state(pipeline, GST_STATE_NULL);
  g_pipeline.reset();
  return end;
}

void stop(const std::string& id) {
  if (auto refused = g_machine.begin_stop()) return capture_fail(id, *refused);
  RecordingEnd end = finish_pipeline();
  send_reply(id, g_machine.stop_done(g_path, end));
}

}  // namespace

void do_record(webview_t, std::unique_ptr<RecordReq> req) {
  if (!req->start) {
    recorder().post([id = std::move(req->id)] { stop(id); });
    return;
  }
  // The screen is looked up now, on the main thread; a start that finds the recorder busy
  // answers "already recording" whatever screen it named.
  std::optional<Area> area;
  std::string_view area_error;
  std::vector<ScreenInfo> screens = current_screens();
  int i = screen_for_display(screens, req->display);
  if (screens.empty()) {
    area_error = kNoScreensToRecord;
  } else if (i < 0) {
    area_error = kNoSuchDisplay;
  } else {
    int ox, oy;
    wire_origin(ox, oy);
    area = Area{screen_pixels(screens[i], ox, oy), gdk_display_get_name(gdk_display_get_default())};
  }
  recorder().post([id = std::move(req->id), path = std::move(req->path), area, area_error] {
    start(id, path, area, area_error);
  });
}

void kelo_record_shutdown() {
  // A recording still running gets a playable file: its end is written before the process goes.
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> finished = done->get_future();
  recorder().post([done] {
    if (g_pipeline) finish_pipeline();
    done->set_value();
  });
  finished.wait_for(std::chrono::nanoseconds(kFinishTimeout + GST_SECOND));
}
