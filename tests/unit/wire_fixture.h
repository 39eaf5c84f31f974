// A main queue that records tasks, and handlers that log what they receive, for tests of the
// dispatcher and the reader loop.
#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "wire/dispatcher.h"

class RecordingQueue final : public MainQueue {
 public:
  void post(TaskPtr task) override {
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  // Runs what was queued, in order, on the calling thread.
  void run_all() {
    for (;;) {
      TaskPtr t;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (tasks_.empty()) return;
        t = std::move(tasks_.front());
        tasks_.pop_front();
      }
      t->run();
    }
  }

 private:
  std::mutex mutex_;
  std::deque<TaskPtr> tasks_;
};

// Every handler appends one line describing its record.
inline std::vector<std::string>& handled() {
  static std::vector<std::string> log;
  return log;
}

inline const Handlers& logging_handlers() {
  static const Handlers h = [] {
    Handlers x;
    x.reply = [](webview_t, std::unique_ptr<ReplyReq> r) {
      handled().push_back("reply|" + r->call_id + "|" + std::to_string(r->status) + "|" + r->json);
    };
    x.eval_win = [](webview_t, std::unique_ptr<EvalReq> r) {
      handled().push_back("eval|" + r->win + "|" + r->text);
    };
    x.title_win = [](webview_t, std::unique_ptr<EvalReq> r) {
      handled().push_back("title_win|" + r->win + "|" + r->text);
    };
    x.title = [](webview_t, std::unique_ptr<std::string> t) { handled().push_back("title|" + *t); };
    x.size = [](webview_t, std::unique_ptr<SizeReq> r) {
      handled().push_back("size|" + r->win + "|" + std::to_string(r->width) + "x" +
                          std::to_string(r->height));
    };
    x.winop = [](webview_t, std::unique_ptr<WinopReq> r) {
      handled().push_back("winop|" + r->id + "|" + r->command);
    };
    x.winopen = [](webview_t, std::unique_ptr<WinOpenReq> r) {
      handled().push_back("winopen|" + r->id + "|" + r->url);
    };
    x.winclose = [](webview_t, std::unique_ptr<std::string> id) {
      handled().push_back("winclose|" + *id);
    };
    x.dragwin = [](webview_t, std::unique_ptr<std::string> id) {
      handled().push_back("dragwin|" + *id);
    };
    x.resizewin = [](webview_t, std::unique_ptr<ResizeReq> r) {
      handled().push_back("resizewin|" + r->id + "|" + r->edges);
    };
    x.winctrl = [](webview_t, std::unique_ptr<WinCtrlReq> r) {
      handled().push_back("winctrl|" + r->req_id + "|" + std::to_string(r->pid) + "|" +
                          std::to_string(r->x) + "," + std::to_string(r->y) + "," +
                          std::to_string(r->width) + "," + std::to_string(r->height));
    };
    x.chrome = [](webview_t, std::unique_ptr<ChromeReq> r) {
      std::string line = "chrome|" + r->id;
      for (const std::string& f : r->fields)
        line += "|" + f;
      handled().push_back(line);
    };
    x.get = [](webview_t, std::unique_ptr<GetReq> r) {
      handled().push_back("get|" + r->id + "|" + r->key);
    };
    x.navr = [](webview_t, std::unique_ptr<NavrReq> r) {
      handled().push_back("navr|" + r->qid + "|" + r->answer);
    };
    x.popupr = [](webview_t, std::unique_ptr<PopuprReq> r) {
      handled().push_back("popupr|" + r->qid + "|" + r->answer);
    };
    x.reload = [](webview_t, std::unique_ptr<NoArgs>) { handled().push_back("reload"); };
    x.terminate = [](webview_t, std::unique_ptr<NoArgs>) { handled().push_back("terminate"); };
    return x;
  }();
  return h;
}

class WireTest : public ::testing::Test {
 protected:
  void SetUp() override {
    handled().clear();
    g_main_queue = &queue_;
  }
  void TearDown() override { g_main_queue = nullptr; }
  // Decodes lines with a fresh parser and runs the handlers.
  std::vector<std::string> run(Dispatcher& d, std::initializer_list<std::string> lines) {
    handled().clear();
    for (const auto& l : lines)
      d.decode(l);
    queue_.run_all();
    return handled();
  }

  RecordingQueue queue_;
};
