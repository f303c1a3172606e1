#pragma once

#include <algorithm>
#include <cstddef>
#include <istream>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

// Input over a string that hands out at most `chunk` bytes per read (0: all at once) and cannot
// seek, as a pipe or a slow device would.
class ChunkedStreamBuf : public std::streambuf {
 public:
  ChunkedStreamBuf(std::string bytes, std::size_t chunkSize)
      : text(std::move(bytes)), chunk(chunkSize == 0 ? text.size() + 1 : chunkSize) {}

 protected:
  int_type underflow() override {
    if (gptr() != egptr()) return traits_type::to_int_type(*gptr());
    if (position >= text.size()) return traits_type::eof();
    std::size_t count = std::min(chunk, text.size() - position);
    char* begin = &text[position];
    setg(begin, begin, begin + count);
    position += count;
    return traits_type::to_int_type(*begin);
  }

  std::streamsize xsgetn(char* out, std::streamsize count) override {
    if (underflow() == traits_type::eof()) return 0;
    std::streamsize available = std::min<std::streamsize>(count, egptr() - gptr());
    std::copy(gptr(), gptr() + available, out);
    gbump(static_cast<int>(available));
    return available;
  }

 private:
  std::string text;
  std::size_t chunk;
  std::size_t position = 0;
};

class ChunkedStream : public std::istream {
 public:
  ChunkedStream(std::string text, std::size_t chunk)
      : std::istream(nullptr), buffer(std::move(text), chunk) {
    rdbuf(&buffer);
  }

 private:
  ChunkedStreamBuf buffer;
};

// Read sizes every byte-stream test feeds its input with; 0 stands for the whole input at once.
inline const std::vector<std::size_t>& chunkSizes() {
  static const std::vector<std::size_t> kSizes = {1, 2, 3, 5, 7, 13, 0};
  return kSizes;
}
