#include "motion/iTokenizer.h"

#include <cstring>
#include <istream>
#include <streambuf>

#include "motion/MocapStatus.h"

namespace {

constexpr std::size_t kBlockSize = 64 * 1024;

enum CharClass : unsigned char { kOther = 0, kWhitespace = 1, kBrace = 2, kColon = 4 };

struct CharClasses {
  constexpr CharClasses() : of() {
    of[static_cast<unsigned char>(' ')] = kWhitespace;
    of[static_cast<unsigned char>('\t')] = kWhitespace;
    of[static_cast<unsigned char>('\r')] = kWhitespace;
    of[static_cast<unsigned char>('\n')] = kWhitespace;
    of[static_cast<unsigned char>('{')] = kBrace;
    of[static_cast<unsigned char>('}')] = kBrace;
    of[static_cast<unsigned char>(':')] = kColon;
  }
  unsigned char of[256];
};

constexpr CharClasses kClasses;

unsigned char classOf(char c) { return kClasses.of[static_cast<unsigned char>(c)]; }

std::int64_t remainingBytes(std::istream* stream) {
  std::streambuf* buffer = stream == nullptr ? nullptr : stream->rdbuf();
  if (buffer == nullptr) return -1;
  const std::streampos kFailed(std::streamoff(-1));
  std::streampos here = buffer->pubseekoff(0, std::ios::cur, std::ios::in);
  if (here == kFailed) return -1;
  std::streampos last = buffer->pubseekoff(0, std::ios::end, std::ios::in);
  // Put the stream back where it was before reporting anything; a failure to do so would lose
  // the text, so it is checked first.
  if (buffer->pubseekpos(here, std::ios::in) != here || last == kFailed || last < here) {
    return -1;
  }
  return static_cast<std::int64_t>(last - here);
}

}  // namespace

iTokenizer::iTokenizer(std::istream* stream) : stream(stream), size(remainingBytes(stream)) {}

int iTokenizer::next(std::string_view& token) {
  if (stream == nullptr) return kMocapNoStream;
  for (;;) {
    if (onDelimiter) {
      onDelimiter = false;
      while (position < lineEnd && classOf(*position) == kWhitespace) ++position;
      if (position < lineEnd && classOf(*position) != kOther) {
        token = std::string_view(position, 1);
        ++position;
        return kMocapOk;
      }
    }
    if (position < lineEnd) {
      const char* start = position;
      while (position < lineEnd && (classOf(*position) & (kWhitespace | kBrace)) == 0) ++position;
      onDelimiter = true;
      if (position > start) {
        token = std::string_view(start, static_cast<std::size_t>(position - start));
        return kMocapOk;
      }
      continue;
    }
    if (ended || !startLine()) {
      ended = true;
      return kMocapEndOfInput;
    }
  }
}

bool iTokenizer::startLine() {
  if (!readLine()) return false;
  std::size_t first = 0;
  while (first < scratch.size() && classOf(scratch[first]) == kWhitespace) ++first;
  if (first == scratch.size()) return false;
  // Keep the previous line intact until this one is known to hold tokens, so that the caller's
  // last token survives the end of the input.
  line.swap(scratch);
  // Every line before this one held tokens, or the input would have ended there.
  ++lineCount;
  position = line.data() + first;
  lineEnd = line.data() + line.size();
  onDelimiter = false;
  return true;
}

bool iTokenizer::readLine() {
  scratch.clear();
  bool gotBytes = false;
  for (;;) {
    if (blockBegin < blockEnd) {
      const char* begin = block.data() + blockBegin;
      std::size_t available = blockEnd - blockBegin;
      const void* feed = std::memchr(begin, '\n', available);
      if (feed != nullptr) {
        std::size_t length = static_cast<const char*>(feed) - begin;
        scratch.append(begin, length);
        blockBegin += length + 1;
        consumed += length + 1;
        return true;
      }
      scratch.append(begin, available);
      blockBegin = blockEnd;
      consumed += available;
      gotBytes = true;
    }
    if (streamDone) return gotBytes;
    std::streambuf* buffer = stream->rdbuf();
    std::streamsize got = 0;
    if (buffer != nullptr) {
      if (block.empty()) block.resize(kBlockSize);
      got = buffer->sgetn(block.data(), static_cast<std::streamsize>(block.size()));
    }
    if (got <= 0) {
      streamDone = true;
      blockBegin = blockEnd = 0;
    } else {
      blockBegin = 0;
      blockEnd = static_cast<std::size_t>(got);
    }
  }
}
