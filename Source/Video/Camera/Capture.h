// Still capture: a snapshot is taken by the camera itself. The program opens
// a TCP connection to the capture port of the channel (8014 + group), the
// camera sends one JPEG file and closes; the program sends nothing. The bytes
// go to the caller's callback.
//
// Threads: StartCapture runs on the UI thread; each capture runs on its own
// short detached thread ("orvex-capture") that touches only its job and ends
// by calling the job's callback (Video/AV/SlotSnapshot.h queues the still
// and clears the slot's capturing flag there).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace picam {
class Service;
}

constexpr int kCapturePortBase = 8014;            // + group
constexpr size_t kCaptureBuffer_bytes = 6000000;  // holds a full-resolution still in one piece
// A still larger than this is not a picture; its bytes are dropped rather
// than letting a misbehaving camera grow the buffer without end.
constexpr size_t kCaptureMax_bytes = 32 * kCaptureBuffer_bytes;
constexpr uint32_t kCaptureTimeout_us = 5000000;

// (data, size): the received file, or (nullptr, 0) when nothing arrived.
using CaptureCallback = std::function<void(const uint8_t* data, size_t size)>;

// Starts a detached capture thread on the unit's host, port 8014 + group, or
// calls the callback at once (no data) when no host is known.
void StartCapture(picam::Service& service, int group, CaptureCallback callback);
// The capture thread's body: receives one file and hands it to the callback.
void ProcessCapture(const std::string& host, int port, const CaptureCallback& callback);
