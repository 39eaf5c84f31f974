#include <gtest/gtest.h>

#include <map>

#include "audio/streams.h"

TEST(AudioStreams, TheAppIsTheLauncherAndItsDescendants) {
  std::map<long, long> parent{{20, 10}, {30, 20}, {40, 1}, {50, 50}};
  auto parent_of = [&](long pid) { return parent.count(pid) ? parent[pid] : 0; };
  EXPECT_TRUE(pid_in_tree(30, 10, parent_of));
  EXPECT_TRUE(pid_in_tree(10, 10, parent_of));
  EXPECT_FALSE(pid_in_tree(40, 10, parent_of));
  EXPECT_FALSE(pid_in_tree(50, 10, parent_of));  // a loop ends the walk
  EXPECT_FALSE(pid_in_tree(0, 10, parent_of));

  std::map<uint32_t, PlaybackStream> streams{
      {1, {1, 0, 10, true}}, {2, {2, 0, 30, true}}, {3, {3, 0, 99, false}}, {4, {4, 7, 30, true}}};
  using V = std::vector<uint32_t>;
  EXPECT_EQ(pick_streams(streams, StreamPick::App, 10, 7), (V{1, 2}));
  EXPECT_EQ(pick_streams(streams, StreamPick::AppChildren, 10, 7), (V{2}));
  EXPECT_EQ(pick_streams(streams, StreamPick::NotApp, 10, 7), (V{3}));
  EXPECT_EQ(pick_streams(streams, StreamPick::AppChildren, 10, UINT32_MAX), (V{2, 4}));
}

TEST(AudioStreams, MixerSumsAlignedSourcesAndBoundsTheWait) {
  StreamMixer mixer(1, 4);
  std::vector<float> out;
  const float a[] = {1, 2, 3}, b[] = {10, 20};
  mixer.add(1, a, 3, out);  // alone: final at once
  EXPECT_EQ(out, (std::vector<float>{1, 2, 3}));
  out.clear();
  mixer.add(2, b, 2, out);  // joins where the others are final
  EXPECT_TRUE(out.empty());
  mixer.add(1, a, 3, out);
  EXPECT_EQ(out, (std::vector<float>{11, 22}));
  out.clear();
  // Source 2 falls silent: source 1 waits for it at most four frames.
  mixer.add(1, a, 3, out);
  EXPECT_TRUE(out.empty());
  mixer.add(1, nullptr, 2, out);
  EXPECT_EQ(out, (std::vector<float>{3, 1}));
  out.clear();
  mixer.remove(2);
  mixer.add(1, a, 1, out);
  EXPECT_EQ(out, (std::vector<float>{2, 3, 0, 0, 1}));
}
