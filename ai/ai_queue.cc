#include "ai/ai_queue.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "ai/model.h"
#include "ai/tool_calls.h"
#include "launcher/app_state.h"
#include "wire/link.h"

namespace {

ToolCalls g_tool_calls;

// One thread runs the requests in the order they came. It is made at the first request and
// lives as long as the process.
class AiThread {
 public:
  void post(std::unique_ptr<AiReq> req) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!started_) {
      started_ = true;
      std::thread([this] { run(); }).detach();
    }
    queue_.push_back(std::move(req));
    ready_.notify_one();
  }

 private:
  void run() {
    std::unique_ptr<LanguageModel> model = make_language_model(g_settings.ai_url);
    for (;;) {
      std::unique_ptr<AiReq> req;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [this] { return !queue_.empty(); });
        req = std::move(queue_.front());
        queue_.pop_front();
      }
      send_reply(req->id, answer(*model, *req));
    }
  }

  static std::string answer(LanguageModel& model, const AiReq& req) {
    if (req.op == "available") return ai_availability_json(model.available());
    auto run_tool = [](const std::string& name, const std::string& args) {
      return g_tool_calls.invoke(
          [&](long call) { sock_write_line(aitool_line(call, name, args)); });
    };
    std::string error;
    std::optional<std::string> text =
        model.generate(req.prompt, req.instructions, parse_tools(req.tools), run_tool, error);
    return text ? ai_text_json(*text) : ai_error_json(error);
  }

  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::unique_ptr<AiReq>> queue_;
  bool started_ = false;
};

AiThread g_ai_thread;

}  // namespace

void do_ai(webview_t, std::unique_ptr<AiReq> req) {
  g_ai_thread.post(std::move(req));
}

void ai_tool_result(std::string_view line, size_t after) {
  if (auto r = parse_tool_result(line, after)) g_tool_calls.result(r->call, std::move(r->text));
}
