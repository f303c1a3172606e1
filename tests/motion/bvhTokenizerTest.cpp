#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "motion/MocapStatus.h"
#include "motion/iTokenizer.h"
#include "support/chunkedStream.h"

namespace {

using Tokens = std::vector<std::string>;

// Every token up to the end of input, with the input fed in reads of `chunk` bytes.
Tokens tokensOf(const std::string& text, std::size_t chunk) {
  ChunkedStream stream(text, chunk);
  iTokenizer tokenizer(&stream);
  Tokens tokens;
  std::string_view token;
  while (tokenizer.next(token) == kMocapOk) tokens.emplace_back(token);
  return tokens;
}

void expectTokens(const std::string& text, const Tokens& expected) {
  for (std::size_t chunk : chunkSizes()) {
    EXPECT_EQ(expected, tokensOf(text, chunk)) << "text \"" << text << "\" chunk " << chunk;
  }
}

TEST(BvhTokenizer, BracesAlwaysStandAlone) {
  expectTokens("ROOT Hips{", {"ROOT", "Hips", "{"});
  expectTokens("}}", {"}", "}"});
  expectTokens("{OFFSET 1 2 3}", {"{", "OFFSET", "1", "2", "3", "}"});
  expectTokens("a{b}c", {"a", "{", "b", "}", "c"});
}

TEST(BvhTokenizer, ColonStandsAloneOnlyAfterWhitespace) {
  expectTokens("Frames : 120", {"Frames", ":", "120"});
  expectTokens("Frames: 120", {"Frames:", "120"});
  expectTokens("Frame Time:0.01", {"Frame", "Time:0.01"});
  expectTokens("Frames :120", {"Frames", ":", "120"});
  expectTokens("JOINT mixamorig:Hips", {"JOINT", "mixamorig:Hips"});
  expectTokens(":5", {":5"});
}

TEST(BvhTokenizer, WhitespaceRunsAndLineEndings) {
  expectTokens("  a\t\tb   c  \t", {"a", "b", "c"});
  expectTokens("a\r\nb\nc\r\n", {"a", "b", "c"});
  expectTokens("a\r\nb", {"a", "b"});
  expectTokens("1e-05\t-2.5E+06", {"1e-05", "-2.5E+06"});
}

TEST(BvhTokenizer, BlankLineEndsInputForGood) {
  expectTokens("a b\n \t\r\nc d\n", {"a", "b"});
  expectTokens("a\n\nc", {"a"});
  expectTokens("\na", {});
  expectTokens("", {});
  expectTokens("a\n", {"a"});
}

TEST(BvhTokenizer, EndKeepsLastTokenAndIsFinal) {
  // The blank line is at least as long as the last line, so reading it over the last line's
  // bytes would change the token handed out.
  std::istringstream stream("first last\n \t          \t \nlater");
  iTokenizer tokenizer(&stream);
  std::string_view token;
  ASSERT_EQ(kMocapOk, tokenizer.next(token));
  ASSERT_EQ(kMocapOk, tokenizer.next(token));
  EXPECT_EQ(kMocapEndOfInput, tokenizer.next(token));
  EXPECT_EQ(kMocapEndOfInput, tokenizer.next(token));
  EXPECT_EQ("last", token);
}

// Tokens view the read buffer, which later reads move; the one the end leaves must survive.
TEST(BvhTokenizer, EndKeepsLastTokenReadInChunks) {
  for (std::size_t chunk : chunkSizes()) {
    ChunkedStream stream("first\nlast}\n \t\nlater", chunk);
    iTokenizer tokenizer(&stream);
    std::string_view token;
    while (tokenizer.next(token) == kMocapOk) {
    }
    EXPECT_EQ("}", token) << chunk;
    EXPECT_EQ(2u, tokenizer.lineNumber()) << chunk;
  }
}

TEST(BvhTokenizer, NoStreamGivesNoStream) {
  iTokenizer tokenizer(nullptr);
  std::string_view token = "kept";
  EXPECT_EQ(kMocapNoStream, tokenizer.next(token));
  EXPECT_EQ("kept", token);
}

TEST(BvhTokenizer, LinesLongerThanAReadBlock) {
  std::string text;
  Tokens expected;
  for (int line = 0; line < 300; ++line) {
    for (int i = 0; i < 100; ++i) {
      expected.push_back(std::to_string(line * 1000 + i));
      text += expected.back() + (i == 99 ? "\r\n" : " \t");
    }
  }
  text += std::string(70000, 'x');
  expected.push_back(std::string(70000, 'x'));
  for (std::size_t chunk : {std::size_t{4093}, std::size_t{0}})
    EXPECT_EQ(expected, tokensOf(text, chunk));

  std::istringstream stream(text);
  iTokenizer tokenizer(&stream);
  EXPECT_EQ(static_cast<std::int64_t>(text.size()), tokenizer.inputSize());
  std::string_view token;
  while (tokenizer.next(token) == kMocapOk) {
  }
  EXPECT_EQ(text.size(), tokenizer.bytesRead());
}

}  // namespace
