#include <google/protobuf/stubs/logging.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "stream/PacketReader.h"
#include "stream/StreamActor.h"
#include "stream/StreamListener.h"
#include "stream/StreamStore.h"
#include "support/StreamMessages.h"

namespace {

using J = BrexPlugs::BVH_JOIN;
using Compression = PacketCodec::Compression;
using streamMessages::actorList;
using streamMessages::frame;
using streamMessages::header;
using streamMessages::joint;

// prefix, then zeros to fill the given number of slots.
std::vector<float> withPrefix(std::vector<float> prefix, int slots = 1) {
  prefix.resize(static_cast<std::size_t>(FrameLayout::kSlotFloats * slots), 0.0f);
  return prefix;
}

J hipsAndSpine() {
  return joint("Hips", 1, 2, 3,
               {J::Xposition, J::Yposition, J::Zposition, J::Zrotation, J::Xrotation, J::Yrotation},
               {joint("Spine", 4, 5, 6, {J::Zrotation, J::Xrotation, J::Yrotation})});
}

class StreamStoreTest : public ::testing::Test {
 protected:
  bool handle(const BrexPlugs::BREX_PLUGIN_MESSAGE& message,
              Compression compression = Compression::kNone) {
    const std::string bytes = streamMessages::packet(message, compression);
    std::uint32_t magic = 0;
    std::memcpy(&magic, bytes.data(), 4);
    return store.handleMessage(bytes.data() + 8, static_cast<int>(bytes.size() - 8), magic);
  }

  std::vector<float> frameOf(int slot) const {
    std::vector<float> values(FrameLayout::kSlotFloats);
    store.copyFrame(values.data(), FrameLayout::kSlotBytes, slot);
    return values;
  }

  // The slot that the last actor list gave tag: its position among the queries.
  int slotOf(std::uint32_t tag) const {
    return static_cast<int>(std::find(queries.begin(), queries.end(), tag) - queries.begin());
  }

  std::vector<std::uint32_t> queries;
  StreamStore store{[this](std::uint32_t tag) { queries.push_back(tag); }};
};

TEST_F(StreamStoreTest, ActorListQueriesEachActorAndHeaderTextCarriesItsSlot) {
  ASSERT_TRUE(handle(actorList({{10, "a"}, {20, "b"}})));
  std::vector<std::uint32_t> sorted = queries;
  std::sort(sorted.begin(), sorted.end());
  ASSERT_EQ(sorted, (std::vector<std::uint32_t>{10, 20}));
  handle(header(20, joint("Hips", 0, 0, 0, {J::Xrotation})));
  ASSERT_EQ(store.headerTexts().size(), 1u);
  EXPECT_NE(store.headerTexts()[0].find("ROOT Hips" + std::to_string(slotOf(20)) + "\n"),
            std::string::npos)
      << store.headerTexts()[0];
}

TEST_F(StreamStoreTest, SlotsFollowAscendingTagsWhateverTheListOrder) {
  ASSERT_TRUE(handle(actorList({{27, "c"}, {9, "a"}, {45, "e"}, {18, "b"}, {36, "d"}})));
  EXPECT_EQ(queries, (std::vector<std::uint32_t>{9, 18, 27, 36, 45}));
  // Headers answered out of order still list by slot.
  for (std::uint32_t tag : {45u, 9u, 27u}) {
    handle(header(tag, joint("T" + std::to_string(tag) + "_", 0, 0, 0, {J::Xrotation})));
  }
  for (std::uint32_t tag : {9u, 18u, 27u, 36u, 45u}) {
    handle(frame(tag, {static_cast<float>(tag)}));
  }
  const std::vector<StreamHeader> headers = store.headers();
  ASSERT_EQ(headers.size(), 3u);
  const int slots[] = {0, 2, 4};
  const std::uint32_t tags[] = {9, 27, 45};
  const char* names[] = {"a", "c", "e"};
  for (std::size_t i = 0; i < headers.size(); ++i) {
    EXPECT_EQ(headers[i].slot, slots[i]);
    EXPECT_EQ(headers[i].actor.tag, tags[i]);
    EXPECT_EQ(headers[i].actor.name, names[i]);
    EXPECT_EQ(headers[i].text.rfind("HIERARCHY\nROOT T" + std::to_string(tags[i]) + "_" +
                                        std::to_string(slots[i]) + "\n",
                                    0),
              0u)
        << headers[i].text;
    EXPECT_EQ(store.headerTexts()[i], headers[i].text);
  }
  EXPECT_EQ(store.actorCount(), 5);
  // Frames of actors without a header yet map nowhere.
  EXPECT_EQ(frameOf(0), withPrefix({0, 0, 0, 9}));
  EXPECT_EQ(frameOf(1), withPrefix({}));
  EXPECT_EQ(frameOf(4), withPrefix({0, 0, 0, 45}));
}

TEST_F(StreamStoreTest, ARepeatedHeaderReplacesTheTextAndTheChannelMap) {
  handle(actorList({{7, "a"}}));
  handle(header(7, joint("A", 1, 2, 3, {J::Xrotation, J::Yrotation, J::Zrotation})));
  handle(header(7, joint("B", 4, 5, 6, {J::Zrotation, J::Xposition})));
  ASSERT_EQ(store.headerTexts().size(), 1u);
  EXPECT_EQ(store.headerTexts()[0].rfind("HIERARCHY\nROOT B0\n{\nOFFSET 4 5 6\n", 0), 0u)
      << store.headerTexts()[0];
  handle(frame(7, {10, 20, 30}));
  EXPECT_EQ(frameOf(0), withPrefix({20, 5, 6, 0, 0, 10}));
}

TEST_F(StreamStoreTest, TheSameSkeletonAgainKeepsTheLastFrameUntilANewOneArrives) {
  handle(actorList({{5, "a"}}));
  handle(header(5, hipsAndSpine()));
  handle(frame(5, {10, 11, 12, 13, 14, 15, 16, 17, 18}));
  const std::vector<float> last = withPrefix({10, 11, 12, 14, 15, 13, 4, 5, 6, 17, 18, 16});
  ASSERT_EQ(frameOf(0), last);
  // As after a reconnect: the list and the header again.
  handle(actorList({{5, "a"}}));
  handle(header(5, hipsAndSpine()));
  EXPECT_EQ(frameOf(0), last);
  handle(frame(5, {20}));
  EXPECT_EQ(frameOf(0), withPrefix({20, 11, 12, 14, 15, 13, 4, 5, 6, 17, 18, 16}));
  // Another skeleton starts from its offsets.
  handle(header(5, joint("Hips", 1, 2, 3, {J::Xrotation})));
  EXPECT_EQ(frameOf(0), withPrefix({1, 2, 3}));
  handle(header(5, hipsAndSpine()));
  EXPECT_EQ(frameOf(0), withPrefix({1, 2, 3, 0, 0, 0, 4, 5, 6}));
}

TEST_F(StreamStoreTest, AShrinkingListZeroesTheSlotsOfActorsThatLeftOrMoved) {
  handle(actorList({{9, "a"}, {18, "b"}, {27, "c"}}));
  for (std::uint32_t tag : {9u, 18u, 27u}) {
    handle(header(tag, joint("J", 1, 1, 1, {J::Xrotation})));
    handle(frame(tag, {static_cast<float>(tag)}));
  }
  // Tag 27 moves to slot 1; slot 2 is left without an actor.
  handle(actorList({{27, "c"}, {9, "a"}}));
  EXPECT_EQ(frameOf(0), withPrefix({1, 1, 1, 9}));
  EXPECT_EQ(frameOf(1), withPrefix({}));
  EXPECT_EQ(frameOf(2), withPrefix({}));
  EXPECT_EQ(store.actorCount(), 2);
  handle(header(27, joint("J", 2, 2, 2, {J::Xrotation})));
  handle(frame(27, {5}));
  EXPECT_EQ(frameOf(1), withPrefix({2, 2, 2, 5}));
}

TEST_F(StreamStoreTest, TheListenerHearsWhatIsAppliedInOrder) {
  struct Recorder : StreamListener {
    void actorList(const std::vector<StreamActor>& actors) override {
      std::string line = "list";
      for (const auto& actor : actors) line += " " + std::to_string(actor.tag) + "=" + actor.name;
      events.push_back(line);
    }
    void header(std::uint32_t tag, int slot, const std::string& text, int channels) override {
      events.push_back("header " + std::to_string(tag) + " slot " + std::to_string(slot) +
                       " channels " + std::to_string(channels) + " " + text.substr(0, 16));
    }
    void frame(std::uint32_t tag, int slot, const float* values, int count) override {
      std::string line = "frame " + std::to_string(tag) + " slot " + std::to_string(slot);
      for (int i = 0; i < count; ++i) line += " " + std::to_string(static_cast<int>(values[i]));
      events.push_back(line);
    }
    std::vector<std::string> events;
  } recorder;
  store.setListener(&recorder);
  handle(frame(20, {1}));
  handle(actorList({{20, "b"}, {10, "a"}, {11, "x"}, {12, "x"}, {13, "x"}, {30, "y"}}));
  handle(frame(20, {2}));
  handle(header(20, hipsAndSpine()));
  handle(header(30, hipsAndSpine()));
  // More values than the header maps: all of them, as received.
  handle(frame(20, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  // The sixth actor has no slot: it is told with its place in the list.
  handle(frame(30, {4}));
  // Not listed.
  handle(frame(40, {5}));
  EXPECT_EQ(recorder.events, (std::vector<std::string>{
                                 "list 10=a 11=x 12=x 13=x 20=b 30=y", "frame 20 slot 4 2",
                                 "header 20 slot 4 channels 9 HIERARCHY\nROOT H",
                                 "header 30 slot 5 channels 9 HIERARCHY\nROOT H",
                                 "frame 20 slot 4 1 2 3 4 5 6 7 8 9 10", "frame 30 slot 5 4"}));
  // A listener joining now hears the sixth actor's header too.
  recorder.events.clear();
  store.replay(recorder);
  EXPECT_EQ(recorder.events,
            (std::vector<std::string>{"list 10=a 11=x 12=x 13=x 20=b 30=y",
                                      "header 20 slot 4 channels 9 HIERARCHY\nROOT H",
                                      "header 30 slot 5 channels 9 HIERARCHY\nROOT H"}));
}

TEST_F(StreamStoreTest, NewActorListClearsTextsAndQueriesAgainButKeepsFrames) {
  handle(actorList({{10, "a"}}));
  handle(header(10, hipsAndSpine()));
  handle(frame(10, {7}));
  EXPECT_EQ(store.headerTexts().size(), 1u);
  const auto values = frameOf(0);
  queries.clear();
  handle(actorList({{10, "a"}, {20, "b"}}));
  EXPECT_TRUE(store.headerTexts().empty());
  std::sort(queries.begin(), queries.end());
  EXPECT_EQ(queries, (std::vector<std::uint32_t>{10, 20}));
  EXPECT_EQ(frameOf(0), values);
  EXPECT_EQ(values[0], 7.0f);
}

TEST(StreamStore, FramesLandWhereTheirActorsHeaderMappedThem) {
  using Messages = std::vector<BrexPlugs::BREX_PLUGIN_MESSAGE>;
  const J rotationOnly = joint("Hips", 1, 2, 3, {J::Zrotation, J::Xrotation, J::Yrotation});
  // Content not matching the message type reads as an empty header or frame.
  BrexPlugs::BREX_PLUGIN_MESSAGE frameAsHeader = frame(10, {1, 2, 3});
  frameAsHeader.set_message(BrexPlugs::BREX_PLUGIN_MESSAGE::HEADER_DATA);
  BrexPlugs::BREX_PLUGIN_MESSAGE headerAsFrame = header(10, hipsAndSpine());
  headerAsFrame.set_message(BrexPlugs::BREX_PLUGIN_MESSAGE::FRAME_DATA);
  const Messages rotationFrame = {actorList({{5, "a"}}), frame(5, {1, 2, 3}),
                                  header(5, rotationOnly), frame(5, {7, 8, 9, 100, 200})};
  Messages relisted = rotationFrame;
  // Tag 5's header has not arrived since this list: its frames map nowhere.
  relisted.insert(relisted.end(), {actorList({{5, "a"}, {6, "b"}}), frame(5, {50, 51, 52}),
                                   frame(6, {60, 61, 62})});
  struct Case {
    const char* name;
    Messages messages;
    std::vector<float> slot0;
    std::size_t texts;
  };
  const Case kCases[] = {
      {"header outside the actor list",
       {header(10, hipsAndSpine()), frame(10, {1, 2, 3}), actorList({{10, "a"}}),
        header(30, hipsAndSpine()), frame(30, {1, 2, 3}), frameAsHeader, headerAsFrame},
       {},
       0},
      {"six and three channels: offsets",
       {actorList({{5, "a"}}), header(5, hipsAndSpine())},
       {1, 2, 3, 0, 0, 0, 4, 5, 6, 0, 0, 0},
       1},
      {"six and three channels: values",
       {actorList({{5, "a"}}), header(5, hipsAndSpine()),
        frame(5, {10, 11, 12, 13, 14, 15, 16, 17, 18})},
       {10, 11, 12, 14, 15, 13, 4, 5, 6, 17, 18, 16},
       1},
      {"rotation-only root; unmapped values", rotationFrame, {1, 2, 3, 8, 9, 7}, 1},
      {"header not yet there since the new list", relisted, {1, 2, 3, 8, 9, 7}, 0},
  };
  for (const Case& c : kCases) {
    StreamStore store([](std::uint32_t) {});
    for (const auto& message : c.messages) {
      const std::string bytes = streamMessages::packet(message);
      EXPECT_TRUE(store.handleMessage(bytes.data() + 8, static_cast<int>(bytes.size() - 8),
                                      PacketReader::kPlainMagic));
    }
    EXPECT_EQ(store.headerTexts().size(), c.texts) << c.name;
    std::vector<float> values(FrameLayout::kSlotFloats * FrameLayout::kSlotCount);
    for (int slot = 0; slot < FrameLayout::kSlotCount; ++slot) {
      store.copyFrame(&values[slot * FrameLayout::kSlotFloats], FrameLayout::kSlotBytes, slot);
    }
    EXPECT_EQ(values, withPrefix(c.slot0, FrameLayout::kSlotCount)) << c.name;
  }
}

TEST_F(StreamStoreTest, CopiesOnlyIntoRoomForASlotOrForAllSlots) {
  handle(actorList({{5, "a"}, {6, "b"}}));
  handle(header(5, joint("Hips", 1, 2, 3, {J::Zrotation, J::Xrotation, J::Yrotation})));
  handle(header(6, joint("Hips", 4, 5, 6, {J::Zrotation, J::Xrotation, J::Yrotation})));
  const auto expected = frameOf(0);
  unsigned char small[1439];
  std::memset(small, 0xab, sizeof(small));
  store.copyFrame(small, sizeof(small), 0);
  EXPECT_TRUE(
      std::all_of(std::begin(small), std::end(small), [](unsigned char b) { return b == 0xab; }));

  unsigned char large[3072];
  std::memset(large, 0xab, sizeof(large));
  store.copyFrame(large, sizeof(large), 0);
  EXPECT_EQ(std::memcmp(large, expected.data(), 1440), 0);
  EXPECT_TRUE(
      std::all_of(large + 1440, std::end(large), [](unsigned char b) { return b == 0xab; }));

  std::vector<float> all(FrameLayout::kFrameFloats + 1, -1.0f);
  store.copyFrames(all.data(), FrameLayout::kFrameBytes - 1);
  EXPECT_EQ(all, std::vector<float>(all.size(), -1.0f));
  store.copyFrames(all.data(), FrameLayout::kFrameBytes);
  std::vector<float> slots = withPrefix({1, 2, 3}, 1);
  const std::vector<float> second = withPrefix({4, 5, 6}, 4);
  slots.insert(slots.end(), second.begin(), second.end());
  slots.push_back(-1.0f);
  EXPECT_EQ(all, slots);
}

// The sixth actor is queried, so that a take can hold it, but drives no slot.
TEST_F(StreamStoreTest, SixthActorGetsAQueryButNoSlot) {
  const std::vector<std::uint32_t> all = {11, 12, 13, 14, 15, 16};
  handle(actorList({{11, "a"}, {12, "b"}, {13, "c"}, {14, "d"}, {15, "e"}, {16, "f"}}));
  ASSERT_EQ(queries, all);
  for (std::uint32_t tag : all) handle(header(tag, joint("Hips", 0, 0, 0, {J::Xrotation})));
  for (std::uint32_t tag : all) handle(frame(tag, {static_cast<float>(tag)}));
  EXPECT_EQ(store.headerTexts().size(), 5u);
  for (int slot = 0; slot < 5; ++slot) {
    EXPECT_EQ(frameOf(slot), withPrefix({0, 0, 0, static_cast<float>(all[slot])})) << slot;
  }
}

TEST_F(StreamStoreTest, JointsAndChannelsBeyondTheSlotAreNotMapped) {
  handle(actorList({{1, "big"}, {2, "next"}}));
  ASSERT_EQ(queries.size(), 2u);
  handle(header(queries[1], joint("Other", 9, 9, 9, {J::Xrotation})));
  // 61 joints: 6 + 60 * 3 = 186 channels; 60 records hold the first 183.
  handle(header(queries[0], streamMessages::chain(61)));
  std::vector<float> values(186);
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<float>(i + 1);
  handle(frame(queries[0], values));
  ASSERT_EQ(store.headerTexts().size(), 2u);
  EXPECT_NE(store.headerTexts()[0].find("JOINT J600\n"), std::string::npos);

  std::vector<float> expected = {1, 2, 3, 5, 6, 4};
  for (int record = 1; record < 60; ++record) {
    const float base = static_cast<float>(6 + 3 * (record - 1));
    expected.insert(expected.end(),
                    {0, static_cast<float>(record), 0, base + 2, base + 3, base + 1});
  }
  EXPECT_EQ(frameOf(0), expected);
  EXPECT_EQ(frameOf(1), withPrefix({9, 9, 9}));
}

TEST_F(StreamStoreTest, EitherCompressionDecodesAndBadPayloadsChangeNothing) {
  google::protobuf::LogHandler* previous = google::protobuf::SetLogHandler(nullptr);
  EXPECT_TRUE(handle(actorList({{5, "a"}}), Compression::kZlib));
  EXPECT_TRUE(handle(header(5, hipsAndSpine()), Compression::kGzip));
  EXPECT_FALSE(store.handleMessage("bad", 3, 0x41414141u));
  // A header lacking a required field anywhere in its tree is dropped whole.
  BrexPlugs::BREX_PLUGIN_MESSAGE incomplete = header(5, hipsAndSpine());
  incomplete.mutable_header()->mutable_rootjoin()->mutable_childjoin(0)->clear_offset();
  EXPECT_FALSE(handle(incomplete));
  EXPECT_TRUE(handle(frame(5, {20, 21}), Compression::kZlib));
  google::protobuf::SetLogHandler(previous);
  EXPECT_EQ(store.headerTexts().size(), 1u);
  EXPECT_EQ(queries, (std::vector<std::uint32_t>{5}));
  EXPECT_EQ(frameOf(0), withPrefix({20, 21, 3, 0, 0, 0, 4, 5, 6}));
}

}  // namespace
