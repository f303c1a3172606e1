#pragma once

#include <google/protobuf/map.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "BREX_PLUG_MESSAGE.pb.h"
#include "stream/PacketCodec.h"
#include "stream/PacketReader.h"
#include "stream/SocketClient.h"

// The stream processor: owns the connection to the streaming application and a receive
// thread that keeps the actor list, one BVH text per skeleton header and the newest frame of
// each actor slot. Connect, disconnect and thread control belong to one thread (the host's
// main thread); copyFrame and copyHeaderTexts may be called from any thread.
class protocolBufferProcess {
 public:
  static constexpr int kSlotCount = 5;
  static constexpr int kJointRecords = 60;
  static constexpr int kRecordFloats = 6;
  static constexpr int kSlotFloats = kJointRecords * kRecordFloats;
  static constexpr std::uint32_t kSlotBytes = kSlotFloats * sizeof(float);

  // The process-wide object, created on first use and destroyed at exit.
  static protocolBufferProcess& instance();

  // A separate object (tests); instance() is the one the plug-in uses.
  protocolBufferProcess();
  // Stops the receive thread and waits until it has ended, then closes the connection.
  virtual ~protocolBufferProcess();
  protocolBufferProcess(const protocolBufferProcess&) = delete;
  protocolBufferProcess& operator=(const protocolBufferProcess&) = delete;

  // Connects unless a socket is held already (then returns true). Returns whether the
  // connect succeeded; a failed client stays held until closeSocket(). Throws the socket
  // layer's error text (const char* or std::string) when no socket can be made or the host
  // cannot be resolved; no socket is then held. Call with the thread stopped.
  bool connectToServer(const std::string& host, std::uint16_t port);
  // Closes and releases the socket. Stored actors, texts and frames survive. Call with the
  // thread stopped.
  void closeSocket();

  // Starts the receive thread unless one exists.
  void startReceiveThread();
  // Returns once the receive thread has ended (at once if there is none). Shuts the held
  // socket down for reading, so a blocked receive returns at once: reconnect to read again.
  void stopReceiveThread();

  // Copies slot's 1440 bytes of frame values (60 records of X, Y, Z position, X, Y, Z
  // rotation) when size >= 1440; otherwise leaves destination untouched. Takes dataMutex.
  void copyFrame(void* destination, std::uint32_t size, int slot);
  // The BVH texts of the headers accepted since the last actor list, in arrival order.
  std::vector<std::string> copyHeaderTexts();

  // Packets taken off the connection so far, decodable or not.
  std::uint64_t packetCount();
  // Waits until packetCount() reaches count; false if timeout passes first.
  bool waitForPackets(std::uint64_t count, std::chrono::milliseconds timeout);

 private:
  static void receiveLoop(protocolBufferProcess* process);
  void readPackets();
  void waitBeforeRetry();
  void handleMessage(const char* payload, int length, std::uint32_t magic);
  void handleActorList();
  void handleHeader();
  void handleFrame();
  void sendCommand(BrexPlugs::COMMAND::CommandType commandType, std::uint32_t actorTag);
  // record and channelIndex count from 0 within slot, over the whole walk.
  void mapJointChannels(const BrexPlugs::BVH_JOIN& joint, int slot, int& record, int& channelIndex);
  void writeJointText(const BrexPlugs::BVH_JOIN& joint, int slot);
  void writeChannelsLine(const BrexPlugs::BVH_JOIN& joint);

  std::ostringstream textStream;
  bool rootPending = false;
  // Rotation channels written last in the current header (Z X Y before any).
  std::vector<int> rotationFallback;
  std::unique_ptr<SocketClient> socket;
  google::protobuf::Map<std::uint32_t, std::string> actorNames;
  std::unique_ptr<char[]> receiveBuffer;
  std::vector<std::string> headerTexts;
  std::map<int, std::string> channelNames;
  std::map<std::uint32_t, int> actorSlots;
  float frameValues[kSlotCount][kSlotFloats] = {};
  int channelTargets[kSlotCount][kSlotFloats] = {};
  // Frame values mapped by the slot's header since the last actor list; 0 before it arrives.
  int mappedChannels[kSlotCount] = {};
  std::atomic<bool> running{false};
  std::atomic<bool> stopRequested{false};
  std::mutex dataMutex;

  // Receive-thread state, besides the stores above.
  PacketReader reader;
  PacketCodec codec;
  BrexPlugs::BREX_PLUGIN_MESSAGE message;
  std::uint64_t packets = 0;
  std::condition_variable packetArrived;
  std::thread receiveThread;
  std::mutex wakeMutex;
  std::condition_variable wakeSignal;
};
