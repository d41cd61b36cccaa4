// The SMT-LIB 2 error line: its layout and the escaping of its message.
#include <gtest/gtest.h>

#include "smtlib2/state.h"

using varnok::smtlib2::escapeErrorMessage;
using varnok::smtlib2::formatErrorLine;

TEST(Smtlib2ErrorLine, Layout) {
  EXPECT_EQ(formatErrorLine(3, 14, "could not set logic"),
            "(error \"line 3 column 14: could not set logic\")");
}

TEST(Smtlib2ErrorLine, QuotesAreDoubledAsInStringLiterals) {
  // A quoted symbol named a"b in a redeclaration message.
  EXPECT_EQ(escapeErrorMessage("symbol 'a\"b' already declared."),
            "symbol 'a\"\"b' already declared.");
  EXPECT_EQ(formatErrorLine(1, 1, "When reading: '\"'"),
            "(error \"line 1 column 1: When reading: '\"\"'\")");
  EXPECT_EQ(escapeErrorMessage("\"\""), "\"\"\"\"");
}

TEST(Smtlib2ErrorLine, LineEndsKeepTheErrorOnOneLine) {
  const std::string line = formatErrorLine(2, 5, "symbol 'a\nb\r' already declared.");
  EXPECT_EQ(line.find('\n'), std::string::npos);
  EXPECT_EQ(line.find('\r'), std::string::npos);
  EXPECT_EQ(line, "(error \"line 2 column 5: symbol 'a\\nb\\r' already declared.\")");
}

TEST(Smtlib2ErrorLine, OtherCharactersPassUnchanged) {
  const std::string text = "Could not handle '(_ extract 9 2)'. Types of arguments: 0: (BitVec 8).";
  EXPECT_EQ(escapeErrorMessage(text), text);
  EXPECT_EQ(escapeErrorMessage("back\\slash |bar|"), "back\\slash |bar|");
}
