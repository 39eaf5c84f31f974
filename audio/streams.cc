#include "audio/streams.h"

#include <algorithm>

bool pid_in_tree(long pid, long root, const std::function<long(long)>& parent_of) {
  for (int step = 0; step < 64 && pid > 0; ++step) {
    if (pid == root) return true;
    if (pid == 1) return false;
    pid = parent_of(pid);
  }
  return false;
}

std::vector<uint32_t> pick_streams(const std::map<uint32_t, PlaybackStream>& streams,
                                   StreamPick pick, long own_pid, uint32_t held_sink) {
  std::vector<uint32_t> out;
  for (const auto& [index, s] : streams) {
    if (s.sink == held_sink) continue;
    bool wanted = pick == StreamPick::NotApp ? !s.app
                  : pick == StreamPick::App  ? s.app
                                             : s.app && s.pid != own_pid;
    if (wanted) out.push_back(index);
  }
  return out;
}

void StreamMixer::add(uint32_t source, const float* data, size_t frames, std::vector<float>& out) {
  const size_t ch = static_cast<size_t>(channels_);
  uint64_t& at = cursor_.try_emplace(source, base_).first->second;
  size_t offset = static_cast<size_t>(at - base_) * ch;
  if (pending_.size() < offset + frames * ch) pending_.resize(offset + frames * ch, 0.0f);
  if (data) {
    for (size_t i = 0; i < frames * ch; ++i)
      pending_[offset + i] += data[i];
  }
  at += frames;

  uint64_t leader = 0;
  for (const auto& [id, c] : cursor_)
    leader = std::max(leader, c);
  uint64_t floor = leader > max_lag_ ? leader - max_lag_ : 0;
  uint64_t final_to = leader;
  for (auto& [id, c] : cursor_) {
    c = std::max(c, floor);
    final_to = std::min(final_to, c);
  }
  if (final_to <= base_) return;
  auto end = pending_.begin() + static_cast<std::ptrdiff_t>((final_to - base_) * ch);
  out.insert(out.end(), pending_.begin(), end);
  pending_.erase(pending_.begin(), end);
  base_ = final_to;
}

void StreamMixer::remove(uint32_t source) {
  cursor_.erase(source);
}

void StreamMixer::clear() {
  cursor_.clear();
  pending_.clear();
  base_ = 0;
}
