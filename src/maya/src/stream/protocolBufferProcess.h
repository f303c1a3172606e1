#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "stream/FrameLayout.h"
#include "stream/StreamActor.h"
#include "stream/StreamListener.h"
#include "stream/StreamStatus.h"

// The stream processor: owns the connection to the streaming application and a receive
// thread that keeps the actor list, one BVH text per skeleton header and the newest frame of
// each actor slot. When a connection made by connectToServer ends, the receive thread dials
// the same address again (after 250 ms, doubling to 4 s between tries) until it is stopped.
// Connect, disconnect and thread control belong to one thread (the host's main thread); the
// copy, status and wait functions may be called from any thread.
class protocolBufferProcess {
 public:
  static constexpr int kSlotCount = FrameLayout::kSlotCount;
  static constexpr int kJointRecords = FrameLayout::kJointRecords;
  static constexpr int kRecordFloats = FrameLayout::kRecordFloats;
  static constexpr int kSlotFloats = FrameLayout::kSlotFloats;
  static constexpr std::uint32_t kSlotBytes = FrameLayout::kSlotBytes;
  static constexpr std::uint32_t kFrameBytes = FrameLayout::kFrameBytes;

  // The process-wide object, created on first use and destroyed at exit.
  static protocolBufferProcess& instance();

  // A separate object (tests); instance() is the one the plug-in uses. Every wait between
  // dials is redialSpeedUp times shorter (at least 1), so that a test sees the longest soon.
  explicit protocolBufferProcess(int redialSpeedUp = 1);
  // Never joins: at static destruction a Windows loader lock may be held. A thread still
  // running is told to stop, given a bounded wait, then left to end on its own.
  virtual ~protocolBufferProcess();
  protocolBufferProcess(const protocolBufferProcess&) = delete;
  protocolBufferProcess& operator=(const protocolBufferProcess&) = delete;

  // Connects unless a socket is held already (then returns true). Returns whether the
  // connect succeeded within 3 s; a failed client stays held until closeSocket(). Throws the
  // socket layer's error text (const char* or std::string) when no socket can be made or the
  // host cannot be resolved; no socket is then held. Call with the thread stopped.
  bool connectToServer(const std::string& host, std::uint16_t port);
  // Closes and releases the socket; a thread started later dials no more. Stored actors,
  // texts and frames survive. Call with the thread stopped.
  void closeSocket();

  // Starts the receive thread unless one exists.
  void startReceiveThread();
  // Returns once the receive thread has ended (at once if there is none), also from a wait
  // or a dial between connections. Shuts the held socket down both ways, so a blocked receive
  // or send returns at once: reconnect to read again. The plug-in calls it before it is
  // unloaded.
  void stopReceiveThread();

  // Copies slot's 1440 bytes of frame values (60 records of X, Y, Z position, X, Y, Z
  // rotation) when size >= 1440; otherwise leaves destination untouched. Waits at most for
  // the handling of the message in hand.
  void copyFrame(void* destination, std::uint32_t size, int slot);
  // Copies every slot's frame values (FrameLayout::kFrameBytes, slot 0 first) at one moment
  // when size >= kFrameBytes; otherwise leaves destination untouched. Waits like copyFrame.
  void copyFrames(void* destination, std::uint32_t size);
  // The BVH texts of the headers accepted since the last actor list, in slot order.
  std::vector<std::string> copyHeaderTexts();
  // The same with the slot, tag and name of each text's actor.
  std::vector<StreamHeader> copyHeaders();

  // The connection's state, address and counters at this moment. Any thread.
  StreamStatus status();
  // Tells listener of every connection, actor list, header and frame that comes in from now on
  // (see StreamListener), after telling it, before this returns, of the current actor list and
  // headers; null for none. Once this returns, the listener it replaced is called no more. The
  // listener must outlive the receive thread or be replaced first. Any thread.
  void setListener(StreamListener* listener);

  // Waits until the receive thread has handled more packets than seen (a count this returned
  // before, or 0) or timeout passes; returns the count handled so far. Never takes the lock
  // the receive thread holds while it handles a packet. Any thread.
  std::uint64_t waitForNewPacket(std::uint64_t seen, std::chrono::milliseconds timeout);
  // The same, waiting until deadline at the latest.
  std::uint64_t waitForNewPacketUntil(std::uint64_t seen,
                                      std::chrono::steady_clock::time_point deadline);
  // Ends the waits in progress at once, with the count unchanged: a device thread asked to stop
  // then stops without sitting out its wait. Any thread.
  void wakeWaiters();

  // Packets taken off the connection so far, decodable or not.
  std::uint64_t packetCount();
  // Waits until packetCount() reaches count; false if timeout passes first.
  bool waitForPackets(std::uint64_t count, std::chrono::milliseconds timeout);

 private:
  // Everything the receive thread touches; the thread shares its ownership, so that a thread
  // left running at unload never sees it freed.
  struct Receiver;

  static void receiveLoop(std::shared_ptr<Receiver> receiver);

  std::shared_ptr<Receiver> receiver;
  std::thread receiveThread;
};
