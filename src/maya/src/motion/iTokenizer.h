#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

// Splits a text stream into tokens one line at a time. Lines end at a line feed; space, tab,
// carriage return and line feed separate tokens; "{" and "}" are always tokens of their own, and
// ":" is one where it follows whitespace. An empty or all-whitespace line ends the input for
// good: nothing after it is read. Lives for one parse.
class iTokenizer {
 public:
  // `stream` is borrowed and may be null. It is read in blocks through its buffer, so it is left
  // positioned past the last line used.
  explicit iTokenizer(std::istream* stream);

  // kMocapOk with the next token in `token`, kMocapEndOfInput at the end of input (for good),
  // kMocapNoStream without a stream. On a non-zero result `token` is left as it was. A token
  // views a reused buffer holding its line; it stays valid until a later call returns a token
  // of another line.
  int next(std::string_view& token);

  // 1-based number of the line holding the last token returned; 0 before the first.
  std::uint64_t lineNumber() const { return lineCount; }

  // Bytes of the lines read so far, line feeds included.
  std::uint64_t bytesRead() const { return consumed; }

  // Bytes between the stream's position at construction and its end, or -1 when the stream
  // cannot seek. Only a hint for reserving memory.
  std::int64_t inputSize() const { return size; }

 private:
  // Reads the next line into `scratch`; false when the stream has nothing more.
  bool readLine();
  // Makes the next line current; false when it is blank or missing, which ends the input.
  bool startLine();

  std::istream* stream;
  std::vector<char> block;
  std::size_t blockBegin = 0;
  std::size_t blockEnd = 0;
  bool streamDone = false;
  bool ended = false;
  std::string line;
  std::string scratch;
  // Scan state within `line`: the next byte, the end, and whether the scan stands on a delimiter
  // after which whitespace is skipped and a "{", "}" or ":" becomes a token of its own.
  const char* position = nullptr;
  const char* lineEnd = nullptr;
  bool onDelimiter = false;
  std::uint64_t consumed = 0;
  std::uint64_t lineCount = 0;
  std::int64_t size = -1;
};
