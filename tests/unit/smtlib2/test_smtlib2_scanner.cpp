// Scanner of the SMT-LIB 2 front end: token codes, token values, locations,
// the current token text and the recording of source text.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "smtlib2/state.h"

using varnok::smtlib2::frontEnd;

namespace {

// Token codes of the command interpreter.
enum {
  END = 0, CHECK_SAT = 268, EXIT = 276, KW_PRINT_SUCCESS = 277,
  KW_ALL_STATISTICS = 294, LET = 297, NUMERAL = 299, DECIMAL = 300, HEXADECIMAL = 301,
  BINARY = 302, STRING = 303, SYMBOL = 304, KEYWORD = 305, SAT = 306, TRUE_ = 309, BOOL = 311,
  UNKNOWN_CHARACTER = 313
};

struct Token {
  int code;
  std::string text;      // value of text tokens
  uint64_t numeral;      // value of numerals
  varnok::smtlib2::Location location;
  std::string tokenText;  // the scanner's current token text
};

// Scans the whole input (which may contain NUL bytes).
std::vector<Token> scan(const std::string& input) {
  std::string buffer = input;
  FILE* file = fmemopen(buffer.empty() ? nullptr : &buffer[0], buffer.size(), "r");
  if (buffer.empty()) file = std::tmpfile();
  EXPECT_NE(file, nullptr);
  varnok::smtlib2::setScannerInput(file);
  std::vector<Token> tokens;
  for (;;) {
    Token token;
    token.code = smtlib2_parser_lex();
    token.numeral = frontEnd.tokenValue.numeral;
    if (frontEnd.tokenValue.text) {
      token.text = *frontEnd.tokenValue.text;
      delete frontEnd.tokenValue.text;
      frontEnd.tokenValue.text = nullptr;
    }
    token.location = frontEnd.location;
    token.tokenText = frontEnd.tokenText;
    tokens.push_back(token);
    if (token.code == END) break;
  }
  smtlib2_parser_lex_destroy();
  std::fclose(file);
  return tokens;
}

std::vector<int> codes(const std::string& input) {
  std::vector<int> result;
  for (const Token& token : scan(input)) result.push_back(token.code);
  return result;
}

TEST(Smtlib2Scanner, ReservedWordsAndTheirLongerSymbols) {
  EXPECT_EQ(codes("(check-sat)"), (std::vector<int>{'(', CHECK_SAT, ')', END}));
  EXPECT_EQ(codes("check-satx exits Bool2 Bool"), (std::vector<int>{SYMBOL, SYMBOL, SYMBOL, BOOL, END}));
  EXPECT_EQ(codes("exit sat true let"), (std::vector<int>{EXIT, SAT, TRUE_, LET, END}));
  EXPECT_EQ(codes(":print-success :print-successx :named :all_statistics"),
            (std::vector<int>{KW_PRINT_SUCCESS, KEYWORD, KEYWORD, KW_ALL_STATISTICS, END}));
  // A quoted symbol is a symbol even when its text is a reserved word.
  const std::vector<Token> quoted = scan("|exit| |a b|");
  ASSERT_EQ(quoted.size(), 3u);
  EXPECT_EQ(quoted[0].code, SYMBOL);
  EXPECT_EQ(quoted[0].text, "exit");
  EXPECT_EQ(quoted[1].code, SYMBOL);
  EXPECT_EQ(quoted[1].text, "a b");
}

TEST(Smtlib2Scanner, SingleCharactersAndSymbolStarts) {
  EXPECT_EQ(codes("( ) ! _"), (std::vector<int>{'(', ')', '!', '_', END}));
  const std::vector<Token> tokens = scan("!x _x .5 a@b @a");
  // !x and _x are symbols; . starts a symbol; @ cannot start one.
  ASSERT_EQ(tokens.size(), 7u);
  EXPECT_EQ(tokens[0].code, SYMBOL);
  EXPECT_EQ(tokens[0].text, "!x");
  EXPECT_EQ(tokens[1].text, "_x");
  EXPECT_EQ(tokens[2].text, ".5");
  EXPECT_EQ(tokens[3].text, "a@b");
  EXPECT_EQ(tokens[4].code, UNKNOWN_CHARACTER);
  EXPECT_EQ(tokens[4].tokenText, "@");
  EXPECT_EQ(tokens[5].code, SYMBOL);
  EXPECT_EQ(tokens[5].text, "a");
}

TEST(Smtlib2Scanner, NumeralsDecimalsAndLiterals) {
  const std::vector<Token> tokens = scan("012 1. 3.25 #xAG #b0101 4294967295 99999999999999999999999");
  ASSERT_EQ(tokens.size(), 10u);
  EXPECT_EQ(tokens[0].code, NUMERAL);
  EXPECT_EQ(tokens[0].numeral, 0u);
  EXPECT_EQ(tokens[1].code, NUMERAL);
  EXPECT_EQ(tokens[1].numeral, 12u);
  EXPECT_EQ(tokens[2].code, NUMERAL);  // "1." is the numeral 1 ...
  EXPECT_EQ(tokens[2].numeral, 1u);
  EXPECT_EQ(tokens[3].code, SYMBOL);   // ... followed by the symbol "."
  EXPECT_EQ(tokens[3].text, ".");
  EXPECT_EQ(tokens[4].code, DECIMAL);
  EXPECT_EQ(tokens[4].text, "3.25");
  EXPECT_EQ(tokens[5].code, HEXADECIMAL);  // any letter is accepted in the token
  EXPECT_EQ(tokens[5].text, "AG");
  EXPECT_EQ(tokens[6].code, BINARY);
  EXPECT_EQ(tokens[6].text, "0101");
  EXPECT_EQ(tokens[7].numeral, 4294967295u);
  // A numeral beyond 64 bits is one token whose value saturates.
  EXPECT_EQ(tokens[8].code, NUMERAL);
  EXPECT_EQ(tokens[8].numeral, UINT64_MAX);
}

TEST(Smtlib2Scanner, IncompleteLiteralsAndColons) {
  // "#x" alone: the number sign is not a token start, then the symbol x.
  const std::vector<Token> tokens = scan("#x : :: :1 #b2");
  std::vector<int> actual;
  for (const Token& token : tokens) actual.push_back(token.code);
  // "#b2": the number sign is not a token start, and b2 is one symbol.
  const std::vector<int> expected = {UNKNOWN_CHARACTER, SYMBOL, UNKNOWN_CHARACTER, UNKNOWN_CHARACTER, UNKNOWN_CHARACTER,
              KEYWORD, UNKNOWN_CHARACTER, SYMBOL, END};
  EXPECT_EQ(actual, expected);
  EXPECT_EQ(tokens[5].text, ":1");
  EXPECT_EQ(tokens[7].text, "b2");
}

TEST(Smtlib2Scanner, StringContents) {
  const std::vector<Token> tokens = scan("\"ab\"\"cd\" \"a\\\"b\" \"a\\nb\" \"x\\\\\" y\"");
  ASSERT_EQ(tokens.size(), 6u);
  // A doubled quote ends the first string and starts the next one.
  EXPECT_EQ(tokens[0].code, STRING);
  EXPECT_EQ(tokens[0].text, "ab");
  EXPECT_EQ(tokens[1].text, "cd");
  EXPECT_EQ(tokens[2].text, "a\"b");
  // Backslash before anything but a quote stays as it is.
  EXPECT_EQ(tokens[3].text, "a\\nb");
  // In x, backslash, backslash, quote the second backslash escapes the
  // quote, so the string goes on.
  EXPECT_EQ(tokens[4].text, "x\\\" y");
  // The token text of a string is its closing quote.
  EXPECT_EQ(tokens[0].tokenText, "\"");
}

TEST(Smtlib2Scanner, UnfinishedStringOrQuotedSymbolIsDropped) {
  EXPECT_EQ(codes("a \"unfinished"), (std::vector<int>{SYMBOL, END}));
  EXPECT_EQ(codes("a |unfinished\n sym"), (std::vector<int>{SYMBOL, END}));
}

TEST(Smtlib2Scanner, LocationsCountLinesAndByteColumns) {
  const std::vector<Token> tokens = scan("(assert\n\tfoo)  ; comment\r\n  bar");
  ASSERT_EQ(tokens.size(), 6u);
  EXPECT_EQ(tokens[0].location.firstLine, 1u);
  EXPECT_EQ(tokens[0].location.firstColumn, 1u);
  EXPECT_EQ(tokens[1].location.firstColumn, 2u);
  EXPECT_EQ(tokens[1].location.lastColumn, 7u);
  // A tab counts as one column.
  EXPECT_EQ(tokens[2].location.firstLine, 2u);
  EXPECT_EQ(tokens[2].location.firstColumn, 2u);
  EXPECT_EQ(tokens[3].location.firstColumn, 5u);
  // A comment ends its line; the carriage return before the line feed is
  // part of the comment.
  EXPECT_EQ(tokens[5 - 1].location.firstLine, 3u);
  EXPECT_EQ(tokens[5 - 1].location.firstColumn, 3u);
  EXPECT_EQ(tokens[5 - 1].text, "bar");
}

TEST(Smtlib2Scanner, CarriageReturnOnlyAdvancesTheColumn) {
  const std::vector<Token> tokens = scan("a\r\nb\rc");
  ASSERT_EQ(tokens.size(), 4u);
  EXPECT_EQ(tokens[1].location.firstLine, 2u);
  EXPECT_EQ(tokens[1].location.firstColumn, 1u);
  EXPECT_EQ(tokens[2].location.firstLine, 2u);
  EXPECT_EQ(tokens[2].location.firstColumn, 3u);
}

TEST(Smtlib2Scanner, MultiLineStringIsLocatedAtItsClosingQuote) {
  const std::vector<Token> tokens = scan("\"ab\ncd\" x");
  ASSERT_EQ(tokens.size(), 3u);
  EXPECT_EQ(tokens[0].text, "ab\ncd");
  EXPECT_EQ(tokens[0].location.firstLine, 2u);
  EXPECT_EQ(tokens[0].location.firstColumn, 3u);
  EXPECT_EQ(tokens[1].location.firstLine, 2u);
  EXPECT_EQ(tokens[1].location.firstColumn, 5u);
}

TEST(Smtlib2Scanner, CommentOnTheLastLineWithoutLineFeed) {
  // Without its line feed a ';' does not start a comment.
  const std::vector<Token> tokens = scan("x ; no end");
  ASSERT_GE(tokens.size(), 3u);
  EXPECT_EQ(tokens[1].code, UNKNOWN_CHARACTER);
  EXPECT_EQ(tokens[1].tokenText, ";");
  EXPECT_EQ(codes("x ; comment\n"), (std::vector<int>{SYMBOL, END}));
}

TEST(Smtlib2Scanner, EmptyInputAndNulBytes) {
  EXPECT_EQ(codes(""), (std::vector<int>{END}));
  EXPECT_EQ(codes("; only a comment\n\n"), (std::vector<int>{END}));
  EXPECT_EQ(codes(std::string("a\0b", 3)), (std::vector<int>{SYMBOL, UNKNOWN_CHARACTER, SYMBOL, END}));
}

// Long tokens are read in pieces: every kind of token, at lengths around the
// piece size and far beyond the input buffer, keeps its value, its location
// and the token after it.
TEST(Smtlib2Scanner, LongTokensOfEveryKind) {
  struct Kind {
    int code;
    std::string prefix, filler, suffix;  // source text: prefix, filler repeated, suffix
    size_t valueStart;                   // value: source text minus the delimiters
    size_t valueEndTrim;
  };
  const std::vector<Kind> kinds = {
      {SYMBOL, "s", "y", "", 0, 0},          {KEYWORD, ":k", "@", "", 0, 0},
      {NUMERAL, "1", "0", "", 0, 0},         {DECIMAL, "1", "2", ".5", 0, 0},
      {DECIMAL, "3.", "4", "", 0, 0},        {HEXADECIMAL, "#x", "fG", "", 2, 0},
      {BINARY, "#b", "10", "", 2, 0},        {STRING, "\"", "a\\\"", "\"", 1, 1},
      {SYMBOL, "|", "b(", "|", 1, 1}};
  for (const Kind& kind : kinds) {
    for (size_t length : {1, 31, 32, 33, 62, 63, 64, 65, 66, 127, 128, 129, 20000}) {
      std::string source = kind.prefix;
      for (size_t i = 0; i < length; ++i) source += kind.filler;
      source += kind.suffix;
      const std::vector<Token> tokens = scan("(" + source + " x)");
      ASSERT_EQ(tokens.size(), 5u) << source.substr(0, 80);
      const Token& token = tokens[1];
      EXPECT_EQ(token.code, kind.code) << source.substr(0, 80);
      std::string value = source.substr(kind.valueStart, source.size() - kind.valueStart - kind.valueEndTrim);
      if (kind.code == STRING) {
        std::string unescaped;
        for (size_t i = 0; i < value.size(); ++i) {
          if (value[i] == '\\' && i + 1 < value.size() && value[i + 1] == '"') continue;
          unescaped += value[i];
        }
        value = unescaped;
      }
      if (kind.code == NUMERAL) {
        EXPECT_EQ(token.numeral, length <= 19 ? std::stoull(source) : UINT64_MAX);
      } else {
        EXPECT_EQ(token.text, value) << source.substr(0, 80);
      }
      if (kind.code == STRING || source[0] == '|') {
        EXPECT_EQ(token.location.firstColumn, source.size() + 1);
      } else {
        EXPECT_EQ(token.tokenText, source);
        EXPECT_EQ(token.location.firstColumn, 2u);
        EXPECT_EQ(token.location.lastColumn, source.size() + 1);
      }
      EXPECT_EQ(tokens[2].text, "x");
      EXPECT_EQ(tokens[2].location.firstColumn, source.size() + 3);
      EXPECT_EQ(tokens[3].code, ')');
    }
  }
}

TEST(Smtlib2Scanner, LongTokensEndWhereTheirCharactersEnd) {
  const std::string digits(100, '7');
  // A long numeral followed by a point and no digit is a numeral and a
  // symbol; with digits after the point it is a decimal.
  std::vector<Token> tokens = scan(digits + ". " + digits + ".1" + digits + " " + digits + "(");
  ASSERT_EQ(tokens.size(), 6u);
  EXPECT_EQ(tokens[0].code, NUMERAL);
  EXPECT_EQ(tokens[1].text, ".");
  EXPECT_EQ(tokens[2].code, DECIMAL);
  EXPECT_EQ(tokens[2].text, digits + ".1" + digits);
  EXPECT_EQ(tokens[3].code, NUMERAL);
  EXPECT_EQ(tokens[4].code, '(');
  // Long hexadecimal and binary literals stop at the first character
  // outside their digits; a long symbol stops at a bar or a quote.
  const std::string ones(70, '1');
  tokens = scan("#b" + ones + "2 #x" + ones + "-" + std::string(70, 's') + "|q|");
  ASSERT_EQ(tokens.size(), 6u);
  EXPECT_EQ(tokens[0].code, BINARY);
  EXPECT_EQ(tokens[0].text, ones);
  EXPECT_EQ(tokens[1].code, NUMERAL);
  EXPECT_EQ(tokens[2].code, HEXADECIMAL);
  EXPECT_EQ(tokens[3].text, "-" + std::string(70, 's'));
  EXPECT_EQ(tokens[4].text, "q");
  // A long token at the very end of the input.
  tokens = scan(std::string(200, 'z'));
  ASSERT_EQ(tokens.size(), 2u);
  EXPECT_EQ(tokens[0].text, std::string(200, 'z'));
  EXPECT_EQ(tokens[1].code, END);
  // A long token before a NUL byte.
  tokens = scan(std::string(70, 'z') + std::string("\0a", 2));
  ASSERT_EQ(tokens.size(), 4u);
  EXPECT_EQ(tokens[1].code, UNKNOWN_CHARACTER);
  EXPECT_EQ(tokens[2].text, "a");
}

TEST(Smtlib2Scanner, LongCommentsAndBlanks) {
  const std::string text(50000, 'c');
  // A long comment ends its line; long runs of blanks count their columns.
  std::vector<Token> tokens = scan(";" + text + "\n" + std::string(40000, ' ') + "\tx");
  ASSERT_EQ(tokens.size(), 2u);
  EXPECT_EQ(tokens[0].location.firstLine, 2u);
  EXPECT_EQ(tokens[0].location.firstColumn, 40002u);
  // Without a line feed at the end, the ';' is a character that starts no
  // token and the text after it is read as tokens, long or short.
  for (const std::string& rest : {std::string(" ab ; cd"), " " + text + " |q|"}) {
    tokens = scan("x ;" + rest);
    ASSERT_GE(tokens.size(), 4u);
    EXPECT_EQ(tokens[1].code, UNKNOWN_CHARACTER);
    EXPECT_EQ(tokens[1].tokenText, ";");
    EXPECT_EQ(tokens[1].location.firstColumn, 3u);
    EXPECT_EQ(tokens[2].location.firstColumn, 5u);
    EXPECT_EQ(tokens[2].text, rest == " ab ; cd" ? "ab" : text);
  }
  EXPECT_EQ(codes("x ; ab ; cd"), (std::vector<int>{SYMBOL, UNKNOWN_CHARACTER, SYMBOL, UNKNOWN_CHARACTER, SYMBOL, END}));
}

// Recording keeps the exact source text: blanks, comments, quoted symbols and
// strings, short tokens and tokens longer than one piece.
TEST(Smtlib2Scanner, RecordingKeepsTheExactSourceText) {
  const std::string piece(100, 'p');
  for (std::string input : {std::string("(bvadd  a ; c\n |q r| \"s\")"),
                            "(" + piece + " :" + piece + " 1" + std::string(100, '0') + ".0 ;" + piece + "\n |" +
                                piece + "| \"" + piece + "\"" + std::string(100, ' ') + "#x" + piece + ") ;" + piece}) {
    FILE* file = fmemopen(&input[0], input.size(), "r");
    varnok::smtlib2::setScannerInput(file);
    frontEnd.recordingStream.str("");
    frontEnd.recording = true;
    while (smtlib2_parser_lex() != END) {
      delete frontEnd.tokenValue.text;
      frontEnd.tokenValue.text = nullptr;
    }
    frontEnd.recording = false;
    EXPECT_EQ(frontEnd.recordingStream.str(), input);
    frontEnd.recordingStream.str("");
    smtlib2_parser_lex_destroy();
    std::fclose(file);
  }
}

TEST(Smtlib2Scanner, StartsAfreshForEachInput) {
  // A string left open by one input must not leak into the next.
  scan("\"open");
  EXPECT_EQ(codes("x"), (std::vector<int>{SYMBOL, END}));
  const std::vector<Token> tokens = scan("y");
  EXPECT_EQ(tokens[0].location.firstLine, 1u);
  EXPECT_EQ(tokens[0].location.firstColumn, 1u);
}

}  // namespace
