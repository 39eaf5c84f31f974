// Capture devices of the machine, for the camera and microphone permissions.
#pragma once

#include <functional>

// A video capture device (V4L2) is present.
bool has_camera();
// The sound server has a capture source that is not the monitor of an output; told to done on
// the main loop (false when the sound server cannot be reached).
void find_microphone(std::function<void(bool)> done);
