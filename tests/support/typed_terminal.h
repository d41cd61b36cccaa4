#pragma once
// A pseudo-terminal at which a text has already been typed, for front ends
// that read a terminal line by line. In the text, "\x04" is the end-of-file
// key: in the middle of a line it sends the line so far without its line end,
// at the start of a line it ends the input.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace varnok_test {

class TypedTerminal {
 public:
  explicit TypedTerminal(const std::string& typed) {
    terminal_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (terminal_ < 0 || grantpt(terminal_) != 0 || unlockpt(terminal_) != 0) return;
    const int reader = open(ptsname(terminal_), O_RDONLY | O_NOCTTY);
    if (reader < 0) return;
    input_ = fdopen(reader, "r");
    if (input_ && write(terminal_, typed.data(), typed.size()) != static_cast<ssize_t>(typed.size())) {
      std::fclose(input_);
      input_ = nullptr;
    }
  }
  ~TypedTerminal() {
    if (terminal_ >= 0) close(terminal_);
  }
  TypedTerminal(const TypedTerminal&) = delete;
  TypedTerminal& operator=(const TypedTerminal&) = delete;

  // The reading side (null when no terminal could be opened); whoever reads
  // it closes it.
  FILE* input() const { return input_; }

 private:
  int terminal_ = -1;
  FILE* input_ = nullptr;
};

}  // namespace varnok_test
