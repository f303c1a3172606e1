#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "motion/MocapStatus.h"

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
  // kMocapNoStream without a stream. On a non-zero result `token` holds the text of the last
  // token read, if any. A token views the tokenizer's buffer and stays valid until the next call.
  MocapStatus next(std::string_view& token);

  // Reads up to `count` tokens as parseReal does into `values`, faster than next and parseReal
  // apart: a number's end is usually its token's end. Returns how many were read; fewer only at
  // the end of input or without a stream. Tokens that do not begin with a number read as 0 and
  // are counted in notNumbers.
  std::size_t nextReals(double* values, std::size_t count);

  // Tokens nextReals read as 0 because they do not begin with a number ("x", "-", "nan"; not
  // "4x", which reads as 4), the first of them and its 1-based line.
  std::uint64_t notNumbers() const { return notNumberCount; }
  const std::string& firstNotNumber() const { return firstNotNumberText; }
  std::uint64_t firstNotNumberLine() const { return firstNotNumberAt; }

  // 1-based number of the line holding the last token returned; 0 before the first.
  std::uint64_t lineNumber() const { return lineCount; }

  // Bytes of the lines read so far, line feeds included.
  std::uint64_t bytesRead() const { return bufferOffset + nextLine; }

  // Bytes between the stream's position at construction and its end, or -1 when the stream
  // cannot seek. Only a hint for reserving memory.
  std::int64_t inputSize() const { return size; }

 private:
  // Makes the next line current; false when it is blank or missing, which ends the input.
  bool startLine();
  // Moves the unread bytes to the front of the buffer and appends from the stream; false when
  // the stream has nothing more.
  bool refill();

  std::istream* stream;
  std::vector<char> buffer;
  std::size_t filled = 0;
  std::uint64_t bufferOffset = 0;  // of buffer[0] in the stream
  bool streamDone = false;
  bool ended = false;
  // Scan state in the buffer: the next byte of the current line, its end, the start of the next
  // line, and whether the scan stands on a delimiter, after which whitespace is skipped and a
  // "{", "}" or ":" becomes a token of its own.
  std::size_t position = 0;
  std::size_t lineEnd = 0;
  std::size_t nextLine = 0;
  bool onDelimiter = false;
  std::uint64_t lineCount = 0;
  // The last token returned, kept in `keptToken` once the buffer has moved under it.
  std::string_view lastToken;
  std::string keptToken;
  std::int64_t size = -1;
  std::uint64_t notNumberCount = 0;
  std::string firstNotNumberText;
  std::uint64_t firstNotNumberAt = 0;
};
