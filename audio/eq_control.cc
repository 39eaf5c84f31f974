#include "audio/eq_control.h"

#include "wire/main_queue.h"
#include "wire/text.h"

std::unique_ptr<AudioFiltersReq> parse_audiofilters(std::string_view line, size_t) {
  auto req = std::make_unique<AudioFiltersReq>();
  if (line.size() >= 14) req->filters = parse_eq_filters(line.substr(13));
  return req;
}

std::unique_ptr<AudioFilterSetReq> parse_audiofilterset(std::string_view line, size_t after) {
  std::vector<std::string> f = split_tabs(line.substr(after));
  if (f.size() < 4) return nullptr;
  auto req = std::make_unique<AudioFilterSetReq>();
  req->index = wire_atoi(f[0]);
  req->freq = wire_atof(f[1]);
  req->q = wire_atof(f[2]);
  req->gain = wire_atof(f[3]);
  return req;
}

std::unique_ptr<double> parse_audiobalance(std::string_view line, size_t) {
  return std::make_unique<double>(line.size() >= 14 ? wire_atof(line.substr(13)) : 0.0);
}

namespace {

// Same count, and at each position the same type and the same right-gain flag: only
// coefficients differ, so the running chain keeps its audio objects and histories.
bool same_structure(const std::vector<EqFilter>& a, const std::vector<EqFilter>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].type != b[i].type || a[i].has_gain_right != b[i].has_gain_right) return false;
  }
  return true;
}

}  // namespace

void EqController::filters(std::vector<EqFilter> list) {
  std::vector<EqFilter> old = std::move(filters_);
  filters_ = std::move(list);
  if (filters_.size() > kEqMaxFilters) filters_.resize(kEqMaxFilters);
  if (filters_.empty()) return stop();
  if (active_ && same_structure(old, filters_)) {
    chain_.publish(filters_, balance_, rate_, true);
    return;
  }
  if (active_) p_.teardown();
  active_ = true;
  build(false);
}

void EqController::filter_set(const AudioFilterSetReq& req) {
  if (static_cast<unsigned>(req.index) >= filters_.size()) return;
  EqFilter& f = filters_[req.index];
  f.freq = req.freq;
  f.q = req.q;
  f.gain = req.gain;
  if (!f.has_gain_right) f.gain_right = req.gain;
  chain_.publish(filters_, balance_, rate_, true);
}

void EqController::balance(double value) {
  balance_ = value;
  chain_.publish(filters_, balance_, rate_, true);
}

void EqController::stop() {
  if (!active_) return;
  active_ = false;
  p_.teardown();
  built_ = building_ = muted_ = false;
  filters_.clear();
  chain_.clear();
}

void EqController::build(bool mute) {
  built_ = false;
  building_ = true;
  muted_ = false;
  if (!mute) heard_.store(false, std::memory_order_relaxed);
  p_.build(mute, [this, mute](int status, double rate) {
    building_ = false;
    if (status != 0) {
      // Waiting without audio objects; a later change of the app's streams tries again.
      p_.teardown();
      return;
    }
    built_ = true;
    muted_ = mute;
    rate_ = rate;
    chain_.publish(filters_, balance_, rate_, false);
  });
}

void EqController::rearm() {
  if (!active_) return;
  p_.teardown();
  build(false);
}

void EqController::output_changed() {
  rearm();
}

void EqController::streams_changed(bool has_streams) {
  if (active_ && has_streams && !built_ && !building_) rearm();
}

void EqController::note_sound() {
  heard_.store(true, std::memory_order_relaxed);
  if (arming_.exchange(true)) return;
  g_main_queue->post(make_task([this] { arm(); }));
}

void EqController::arm() {
  if (active_ && built_ && !muted_) {
    p_.teardown();
    build(true);
  }
  arming_.store(false, std::memory_order_release);
}

EqState EqController::state() const {
  if (!active_) return EqState::Off;
  return muted_ ? EqState::Active : EqState::Waiting;
}

std::string EqController::state_json() const {
  static const char* const kNames[] = {"off", "waiting", "active"};
  return std::string("{\"available\":true,\"state\":\"") + kNames[static_cast<int>(state())] +
         "\",\"filters\":" + std::to_string(filters_.size()) +
         ",\"heard\":" + (heard_.load(std::memory_order_relaxed) ? "true" : "false") + "}";
}
