#include "motion/iTokenizer.h"

#include <cstring>
#include <istream>
#include <streambuf>

#include "motion/MocapStatus.h"

namespace {

constexpr std::size_t kBlockSize = 64 * 1024;

bool isWhitespace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool isDelimiter(char c) { return isWhitespace(c) || c == '{' || c == '}'; }

bool isPunctuation(char c) { return c == '{' || c == '}' || c == ':'; }

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
  if (nextToken < tokens.size()) {
    token = tokens[nextToken++];
    return kMocapOk;
  }
  if (ended) return kMocapEndOfInput;

  if (!readLine()) {
    ended = true;
    return kMocapEndOfInput;
  }
  std::size_t first = 0;
  std::size_t last = scratch.size();
  while (first < last && isWhitespace(scratch[first])) ++first;
  while (last > first && isWhitespace(scratch[last - 1])) --last;
  if (first == last) {
    ended = true;
    return kMocapEndOfInput;
  }
  // Keep the previous line intact until this one is known to hold tokens, so that the caller's
  // last token survives the end of the input.
  line.swap(scratch);
  line.erase(last);
  line.erase(0, first);
  splitLine();
  token = tokens[0];
  nextToken = 1;
  return kMocapOk;
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

void iTokenizer::splitLine() {
  tokens.clear();
  const char* text = line.data();
  std::size_t length = line.size();
  std::size_t position = 0;
  while (position < length) {
    std::size_t delimiter = position;
    while (delimiter < length && !isDelimiter(text[delimiter])) ++delimiter;
    if (delimiter > position) tokens.emplace_back(text + position, delimiter - position);
    while (delimiter < length && isWhitespace(text[delimiter])) ++delimiter;
    if (delimiter < length && isPunctuation(text[delimiter])) {
      tokens.emplace_back(text + delimiter, 1);
      ++delimiter;
    }
    position = delimiter;
  }
}
