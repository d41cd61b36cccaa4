// Scanner of the SMT-LIB 2 front end: {input, rendered tokens} tables over
// token kinds, values, locations and token texts (long tokens read in pieces
// included), and the recording of source text.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "smtlib2/state.h"
#include "support/typed_terminal.h"

using varnok::smtlib2::frontEnd;
using namespace std::string_literals;

namespace {

// Token codes of the command interpreter that the tables name.
enum { END = 0, NUMERAL = 299, DECIMAL = 300, HEXADECIMAL = 301, BINARY = 302, STRING = 303, SYMBOL = 304,
       KEYWORD = 305, UNKNOWN_CHARACTER = 313 };

struct Token {
  int code;
  std::string text, tokenText;
  uint64_t numeral;
  varnok::smtlib2::Location location;
};

// Scans the whole of a file, then closes it.
std::vector<Token> scanFile(FILE* file) {
  varnok::smtlib2::setScannerInput(file);
  std::vector<Token> tokens;
  do {
    Token t{smtlib2_parser_lex(), "", "", 0, {}};
    t.numeral = frontEnd.tokenValue.numeral;
    if (frontEnd.tokenValue.text) t.text = *frontEnd.tokenValue.text;
    delete frontEnd.tokenValue.text;
    frontEnd.tokenValue.text = nullptr;
    t.location = frontEnd.location;
    t.tokenText = frontEnd.tokenText;
    tokens.push_back(t);
  } while (tokens.back().code != END);
  smtlib2_parser_lex_destroy();
  std::fclose(file);
  return tokens;
}

// Scans the whole input (which may contain NUL bytes).
std::vector<Token> scan(std::string input) {
  return scanFile(input.empty() ? std::tmpfile() : fmemopen(&input[0], input.size(), "r"));
}

// One word per token: a character token as itself, a reserved word by name,
// "$" for the end, else KIND[value] (S symbol, K keyword, N numeral, D
// decimal, X hexadecimal, B binary, Q string, ? unknown character with its
// token text); with locations, "@line:first-last" after each.
std::string render(const std::string& input, bool locations = false) {
  static const std::pair<int, const char*> reserved[] = {{267, "assert"}, {268, "check-sat"}, {276, "exit"}, {277, ":print-success"},
      {294, ":all-statistics"}, {297, "let"}, {306, "sat"}, {309, "true"}, {311, "Bool"}};
  std::string out;
  for (const Token& t : scan(input)) {
    if (!out.empty()) out += ' ';
    std::string word = t.code == END ? "$" : t.code < 256 ? std::string(1, char(t.code)) : "#" + std::to_string(t.code);
    for (const auto& r : reserved)
      if (r.first == t.code) word = r.second;
    const char* kinds = "NDXBQSK";
    if (t.code >= NUMERAL && t.code <= KEYWORD)
      word = std::string(1, kinds[t.code - NUMERAL]) + "[" + (t.code == NUMERAL ? std::to_string(t.numeral) : t.text) + "]";
    if (t.code == UNKNOWN_CHARACTER) word = "?[" + t.tokenText + "]";
    out += word;
    if (locations)
      out += "@" + std::to_string(t.location.firstLine) + ":" + std::to_string(t.location.firstColumn) + "-" +
             std::to_string(t.location.lastColumn);
  }
  return out;
}

TEST(Smtlib2Scanner, TokenTable) {
  const std::string digits(100, '7'), ones(70, '1'), ss(70, 's');
  const std::vector<std::pair<std::string, std::string>> rows = {
      // Reserved words win over symbols of their own length only; a quoted
      // symbol is a symbol even when its text is a reserved word.
      {"(check-sat)", "( check-sat ) $"},
      {"check-satx exits Bool2 Bool exit sat true let", "S[check-satx] S[exits] S[Bool2] Bool exit sat true let $"},
      {":print-success :print-successx :named :all_statistics", ":print-success K[:print-successx] K[:named] :all-statistics $"},
      {"|exit| |a b|", "S[exit] S[a b] $"},
      // !x, _x and .5 are symbols; @ cannot start one.
      {"( ) ! _ !x _x .5 a@b @a", "( ) ! _ S[!x] S[_x] S[.5] S[a@b] ?[@] S[a] $"},
      // "1." is a numeral and the symbol "."; any letter is accepted in a
      // hexadecimal token; a numeral beyond 64 bits saturates.
      {"012 1. 3.25 #xAG #b0101 4294967295 99999999999999999999999",
       "N[0] N[12] N[1] S[.] D[3.25] X[AG] B[0101] N[4294967295] N[18446744073709551615] $"},
      // "#x" or "#b2": the number sign starts no token.
      {"#x : :: :1 #b2", "?[#] S[x] ?[:] ?[:] ?[:] K[:1] ?[#] S[b2] $"},
      // A doubled quote ends one string and starts the next; a backslash
      // escapes a quote only.
      {"\"ab\"\"cd\" \"a\\\"b\" \"a\\nb\" \"x\\\\\" y\"", "Q[ab] Q[cd] Q[a\"b] Q[a\\nb] Q[x\\\" y] $"},
      {"a \"unfinished", "S[a] $"},
      {"a |unfinished\n sym", "S[a] $"},
      // Without its line feed a ';' starts no comment.
      {"x ; ab ; cd", "S[x] ?[;] S[ab] ?[;] S[cd] $"},
      {"x ; comment\n", "S[x] $"},
      {"", "$"},
      {"; only a comment\n\n", "$"},
      {"a\0b"s, "S[a] ?[\0] S[b] $"s},
      // Long tokens end where their characters end.
      {digits + ". " + digits + ".1" + digits + " " + digits + "(",
       "N[18446744073709551615] S[.] D[" + digits + ".1" + digits + "] N[18446744073709551615] ( $"},
      {"#b" + ones + "2 #x" + ones + "-" + ss + "|q|", "B[" + ones + "] N[2] X[" + ones + "] S[-" + ss + "] S[q] $"},
      {std::string(200, 'z'), "S[" + std::string(200, 'z') + "] $"},
      {ss + "\0a"s, "S[" + ss + "] ?[\0] S[a] $"s},
      {"x ; " + std::string(50000, 'c') + " |q|", "S[x] ?[;] S[" + std::string(50000, 'c') + "] S[q] $"},
      // Strings, quoted symbols and keywords across the piece boundaries.
      {"\"" + ss + "\\\"" + ss + "\" |" + ss + "(" + ss + "| :" + ss + " " + digits + "0.5",
       "Q[" + ss + "\"" + ss + "] S[" + ss + "(" + ss + "] K[:" + ss + "] D[" + digits + "0.5] $"},
  };
  for (const auto& row : rows) EXPECT_EQ(render(row.first), row.second) << row.first.substr(0, 80);
}

TEST(Smtlib2Scanner, LocationTable) {
  const std::vector<std::pair<std::string, std::string>> rows = {
      // Lines and byte columns from 1; a tab is one column; a comment ends
      // its line, the carriage return before the line feed included.
      {"(assert\n\tfoo)  ; comment\r\n  bar", "(@1:1-1 assert@1:2-7 S[foo]@2:2-4 )@2:5-5 S[bar]@3:3-5 $@3:3-5"},
      // A lone carriage return only advances the column.
      {"a\r\nb\rc", "S[a]@1:1-1 S[b]@2:1-1 S[c]@2:3-3 $@2:3-3"},
      // A multi-line string is located at its closing quote.
      {"\"ab\ncd\" x", "Q[ab\ncd]@2:3-3 S[x]@2:5-5 $@2:5-5"},
      {"x ; c", "S[x]@1:1-1 ?[;]@1:3-3 S[c]@1:5-5 $@1:5-5"},
      {";" + std::string(50000, 'c') + "\n" + std::string(40000, ' ') + "\tx", "S[x]@2:40002-40002 $@2:40002-40002"},
      {"x ; " + std::string(50, 'c'), "S[x]@1:1-1 ?[;]@1:3-3 S[" + std::string(50, 'c') + "]@1:5-54 $@1:5-54"},
  };
  for (const auto& row : rows) EXPECT_EQ(render(row.first, true), row.second) << row.first.substr(0, 80);
  EXPECT_EQ(scan("\"ab\"")[0].tokenText, "\"");  // a string's token text is its closing quote
  // A string left open by one input must not leak into the next.
  scan("\"open");
  EXPECT_EQ(render("y", true), "S[y]@1:1-1 $@1:1-1");
}

// Recording keeps the exact source text: blanks, comments, quoted symbols and
// strings, short tokens and tokens longer than one piece.
TEST(Smtlib2Scanner, RecordingKeepsTheExactSourceText) {
  const std::string piece(100, 'p');
  for (std::string input : {"(bvadd  a ; c\n |q r| \"s\")"s,
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

// A script typed at a terminal is read line by line: the end-of-file key
// sends a piece of a line without its line end, and at the start of a line
// it ends the input.
TEST(Smtlib2Scanner, ReadsATerminalLineByLine) {
  varnok_test::TypedTerminal terminal("(check-sat)\n(push\x04 17)\n\x04");
  ASSERT_NE(terminal.input(), nullptr);
  std::string codes;
  for (const Token& t : scanFile(terminal.input())) {
    codes += std::to_string(t.code) + (t.code == NUMERAL ? "=" + std::to_string(t.numeral) : "") + "@" +
             std::to_string(t.location.firstLine) + ":" + std::to_string(t.location.firstColumn) + " ";
  }
  EXPECT_EQ(codes, "40@1:1 268@1:2 41@1:11 40@2:1 265@2:2 299=17@2:7 41@2:9 0@3:0 ");
}

}  // namespace
