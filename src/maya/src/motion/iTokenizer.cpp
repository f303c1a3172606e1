#include "motion/iTokenizer.h"

#include <algorithm>
#include <cstring>
#include <istream>
#include <streambuf>

#include "motion/parseNumber.h"

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

iTokenizer::iTokenizer(std::istream* input) : stream(input), size(remainingBytes(input)) {}

MocapStatus iTokenizer::next(std::string_view& token) {
  if (stream == nullptr) return kMocapNoStream;
  for (;;) {
    const char* data = buffer.data();
    if (onDelimiter) {
      onDelimiter = false;
      while (position < lineEnd && classOf(data[position]) == kWhitespace) ++position;
      if (position < lineEnd && classOf(data[position]) != kOther) {
        token = lastToken = std::string_view(data + position, 1);
        ++position;
        return kMocapOk;
      }
    }
    if (position < lineEnd) {
      std::size_t start = position;
      while (position < lineEnd && (classOf(data[position]) & (kWhitespace | kBrace)) == 0) {
        ++position;
      }
      onDelimiter = true;
      if (position > start) {
        token = lastToken = std::string_view(data + start, position - start);
        return kMocapOk;
      }
      continue;
    }
    if (ended || !startLine()) {
      ended = true;
      if (!lastToken.empty()) token = lastToken;
      return kMocapEndOfInput;
    }
  }
}

std::size_t iTokenizer::nextReals(double* values, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    // The scan state stays in locals while the values are plain numbers.
    const char* data = buffer.data();
    std::size_t at = position;
    const char* lastBegin = nullptr;
    const char* lastStop = nullptr;
    for (; done < count; ++done) {
      if (onDelimiter) {
        while (at < lineEnd && classOf(data[at]) == kWhitespace) ++at;
      }
      if (at == lineEnd) break;
      // A number never holds a delimiter, and a token starting with a digit, sign or point is
      // never punctuation of its own, so a number ending at a delimiter is the whole token.
      const char* begin = data + at;
      const char* end = data + lineEnd;
      const char* stop = readReal(begin, end, values[done]);
      if (stop == begin || (stop != end && (classOf(*stop) & (kWhitespace | kBrace)) == 0)) break;
      lastBegin = begin;
      lastStop = stop;
      at = static_cast<std::size_t>(stop - data);
      onDelimiter = true;
    }
    position = at;
    if (lastBegin != nullptr) {
      lastToken = std::string_view(lastBegin, static_cast<std::size_t>(lastStop - lastBegin));
    }
    if (done == count) break;
    std::string_view token = lastToken;
    if (next(token) != kMocapOk) break;
    double value = 0.0;
    if (readReal(token.data(), token.data() + token.size(), value) == token.data()) {
      if (notNumberCount++ == 0) {
        firstNotNumberText.assign(token);
        firstNotNumberAt = lineCount;
      }
    }
    values[done++] = value;
  }
  return done;
}

bool iTokenizer::startLine() {
  const void* feed = nullptr;
  for (;;) {
    if (nextLine < filled) feed = std::memchr(&buffer[nextLine], '\n', filled - nextLine);
    if (feed != nullptr || !refill()) break;
  }
  std::size_t begin = nextLine;
  lineEnd = feed == nullptr ? filled : static_cast<const char*>(feed) - buffer.data();
  nextLine = feed == nullptr ? filled : lineEnd + 1;
  while (begin < lineEnd && classOf(buffer[begin]) == kWhitespace) ++begin;
  if (begin == lineEnd) return false;
  ++lineCount;
  position = begin;
  onDelimiter = false;
  return true;
}

bool iTokenizer::refill() {
  std::streambuf* source = stream->rdbuf();
  if (streamDone || source == nullptr) return false;
  // Moving the unread bytes overwrites the line of the last token; keep its text for the caller.
  if (!lastToken.empty() && lastToken.data() != keptToken.data()) {
    keptToken.assign(lastToken);
    lastToken = keptToken;
  }
  filled -= nextLine;
  if (filled > 0) std::memmove(buffer.data(), buffer.data() + nextLine, filled);
  bufferOffset += nextLine;
  nextLine = lineEnd = position = 0;
  if (buffer.size() - filled < kBlockSize / 2)
    buffer.resize(std::max(kBlockSize, 2 * buffer.size()));
  std::streamsize got =
      source->sgetn(buffer.data() + filled, static_cast<std::streamsize>(buffer.size() - filled));
  if (got <= 0) {
    streamDone = true;
    return false;
  }
  filled += static_cast<std::size_t>(got);
  return true;
}
