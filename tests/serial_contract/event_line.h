#pragma once
// The event-thread tests' fixture: a component on a line with a far end
// (far_end.h) whose handlers note what reached them and on which thread.

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "far_end.h"
#include "serial/serial_comm.h"

struct EventLine : ::testing::Test {
  FarEnd line;
  std::unique_ptr<TSerialComm> comm = std::make_unique<TSerialComm>();
  std::mutex mutex;
  std::vector<uint32_t> data;                 // OnData counts
  std::vector<std::thread::id> data_threads;  // where OnData ran
  std::vector<TDeviceEvents> events;          // OnCommEvent words

  void SetUp() override {
    comm->SetDeviceName(line.DeviceName());
    comm->SetBaudRate(br19200);
    comm->OnData = [this](TCustomComm&, uint32_t n) {
      std::lock_guard<std::mutex> lock(mutex);
      data.push_back(n);
      data_threads.push_back(std::this_thread::get_id());
    };
    comm->OnCommEvent = [this](TCustomComm&, TDeviceEvents e) {
      std::lock_guard<std::mutex> lock(mutex);
      events.push_back(e);
    };
  }
  void TearDown() override {
    if (comm && comm->Opened()) comm->CloseDevice();
  }
  void Open() {
    try {
      comm->OpenDevice();
    } catch (const EDeviceError& e) {
      FAIL() << e.what() << ": nothing answers on " << line.DeviceName();
    }
  }
  size_t DataCalls() {
    std::lock_guard<std::mutex> lock(mutex);
    return data.size();
  }
};
