%{
// Command interpreter of the SMT-LIB 2 front end: an LALR(1) grammar whose
// actions perform each command as soon as its closing parenthesis has been
// read. There is no error recovery: the first error writes the error line
// and ends the run.
#include <cstdint>
#include <string>
#include <vector>

#include "smtlib2/actions.h"
#include "smtlib2/state.h"

using namespace varnok::smtlib2;

static void smtlib2_parser_error(const char*);
static int nextToken();
// The scanner leaves token values in the front-end state; nextToken hands
// them to the parser.
#undef yylex
#define yylex nextToken

// The stacks start with room for 200 entries and double when full; deep
// nesting is limited only by memory.
#define YYINITDEPTH 200
#define YYMAXDEPTH 50000000
%}

%code requires {
#include <cstdint>
#include <string>
#include <vector>
#include "smtlib2/actions.h"
}

%define api.prefix {smtlib2_parser_}
%define api.token.prefix {TK_}

%union {
  uint64_t numeral;
  std::string* text;
  bool flag;
  uint32_t status;
  varnok::smtlib2::Identifier* identifier;
  std::vector<uint64_t>* numerals;
  varnok::smtlib2::Sort* sort;
  std::vector<varnok::smtlib2::Sort*>* sorts;
  varnok::smtlib2::Term* term;
  varnok::smtlib2::TermSequence* terms;
  varnok::smtlib2::ParameterList* parameters;
  varnok::smtlib2::Attribute* attribute;
  std::vector<varnok::smtlib2::Attribute*>* attributes;
  varnok::smtlib2::AttributeValue* attributeValue;
  varnok::smtlib2::LetBindingList* letBindings;
  varnok::smtlib2::GetValueList* getValueEntries;
}

%token SET_LOGIC 258 SET_OPTION 259 SET_INFO 260 DECLARE_SORT 261 DEFINE_SORT 262
%token DECLARE_FUN 263 DEFINE_FUN 264 PUSH 265 POP 266 ASSERT 267 CHECK_SAT 268
%token GET_ASSERTIONS 269 GET_PROOF 270 GET_UNSAT_CORE 271 GET_VALUE 272
%token GET_ASSIGNMENT 273 GET_OPTION 274 GET_INFO 275 EXIT 276
%token KW_PRINT_SUCCESS 277 KW_EXPAND_DEFINITIONS 278 KW_INTERACTIVE_MODE 279
%token KW_PRODUCE_PROOFS 280 KW_PRODUCE_UNSAT_CORES 281 KW_PRODUCE_MODELS 282
%token KW_PRODUCE_ASSIGNMENTS 283 KW_REGULAR_OUTPUT_CHANNEL 284
%token KW_DIAGNOSTIC_OUTPUT_CHANNEL 285 KW_RANDOM_SEED 286 KW_VERBOSITY 287
%token KW_ERROR_BEHAVIOR 288 KW_NAME 289 KW_AUTHORS 290 KW_VERSION 291 KW_STATUS 292
%token KW_REASONS_UNKNOWN 293 KW_ALL_STATISTICS 294
%token FORALL 295 EXISTS 296 LET 297 AS 298
%token <numeral> NUMERAL 299
%token <text> DECIMAL 300 HEXADECIMAL 301 BINARY 302 STRING 303 SYMBOL 304 KEYWORD 305
%token SAT 306 UNSAT 307 UNKNOWN 308 TRUE 309 FALSE 310 BOOL 311
%token UNKNOWN_CHARACTER 313

%type <flag> bool_value
%type <status> status_value
%type <identifier> identifier qual_identifier
%type <numerals> numerals
%type <sort> sort
%type <sorts> sorts sorts_opt
%type <term> term
%type <terms> terms
%type <parameters> sorted_vars sorted_vars_opt define_fun_parameters
%type <attribute> attribute
%type <attributes> attributes
%type <attributeValue> attribute_value
%type <letBindings> let_bindings
%type <getValueEntries> get_value_terms

%%

script:
    %empty
  | script command
  ;

command:
    '(' SET_LOGIC SYMBOL ')'                                   { commandSetLogic($3); }
  | '(' SET_OPTION KW_PRINT_SUCCESS bool_value ')'             { frontEnd.printSuccess = $4; answerSuccess(); }
  | '(' SET_OPTION KW_PRODUCE_MODELS bool_value ')'            { frontEnd.produceModels = $4; answerSuccess(); }
  | '(' SET_OPTION KW_PRODUCE_ASSIGNMENTS bool_value ')'       { frontEnd.produceAssignments = $4; answerSuccess(); }
  | '(' SET_OPTION KW_REGULAR_OUTPUT_CHANNEL STRING ')'        { commandSetRegularChannel($4); }
  | '(' SET_OPTION KW_DIAGNOSTIC_OUTPUT_CHANNEL STRING ')'     { commandSetDiagnosticChannel($4); }
  | '(' SET_OPTION unsupported_bool_option bool_value ')'      { answer("unsupported"); }
  | '(' SET_OPTION unsupported_numeral_option NUMERAL ')'      { answer("unsupported"); }
  | '(' SET_INFO KW_STATUS status_value ')'                    { frontEnd.expectedStatus = $4; answerSuccess(); }
  | '(' SET_INFO attribute ')'                                 { delete $3; answerSuccess(); }
  | '(' DECLARE_SORT SYMBOL NUMERAL ')'                        { delete $3; reportError("Not implemented: Declaration of additional sorts."); }
  | '(' DEFINE_SORT SYMBOL '(' symbols_opt ')' sort ')'        { delete $3; delete $7; reportError("Not implemented: Declaration of additional sorts."); }
  | '(' DECLARE_FUN SYMBOL '(' sorts_opt ')' sort ')'          { commandDeclareFun($3, $5, $7); }
  | '(' DEFINE_FUN SYMBOL define_fun_parameters sort term ')'  { commandDefineFun($3, $4, $5, $6); }
  | '(' PUSH NUMERAL ')'                                       { commandPush($3); }
  | '(' POP NUMERAL ')'                                        { commandPop($3); }
  | '(' ASSERT term ')'                                        { commandAssert($3); }
  | '(' CHECK_SAT ')'                                          { commandCheckSat(); }
  | '(' GET_ASSERTIONS ')'                                     { answer("unsupported"); }
  | '(' GET_PROOF ')'                                          { answer("unsupported"); }
  | '(' GET_UNSAT_CORE ')'                                     { answer("unsupported"); }
  | '(' GET_VALUE '(' get_value_terms ')' ')'                  { commandGetValue($4); }
  | '(' GET_ASSIGNMENT ')'                                     { commandGetAssignment(); }
  | '(' GET_OPTION KEYWORD ')'                                 { delete $3; answer("unsupported"); }
  | '(' GET_INFO KW_AUTHORS ')'                                { commandGetInfoAuthors(); }
  | '(' GET_INFO KW_ERROR_BEHAVIOR ')'                         { answer("(:error-behavior immediate-exit)"); }
  | '(' GET_INFO KW_NAME ')'                                   { answer("(:name \"varnok\")"); }
  | '(' GET_INFO KW_VERSION ')'                                { commandGetInfoVersion(); }
  | '(' GET_INFO KW_STATUS ')'                                 { commandGetInfoStatus(); }
  | '(' GET_INFO KW_REASONS_UNKNOWN ')'                        { answer("unsupported"); }
  | '(' GET_INFO KW_ALL_STATISTICS ')'                         { answer("unsupported"); }
  | '(' GET_INFO KEYWORD ')'                                   { delete $3; answer("unsupported"); }
  | '(' EXIT ')'                                               { answerSuccess(); YYACCEPT; }
  ;

unsupported_bool_option:
    KW_EXPAND_DEFINITIONS
  | KW_INTERACTIVE_MODE
  | KW_PRODUCE_PROOFS
  | KW_PRODUCE_UNSAT_CORES
  ;

unsupported_numeral_option:
    KW_RANDOM_SEED
  | KW_VERBOSITY
  ;

status_value:
    SAT      { $$ = STATUS_SAT; }
  | UNSAT    { $$ = STATUS_UNSAT; }
  | UNKNOWN  { $$ = STATUS_UNKNOWN; }
  ;

bool_value:
    TRUE   { $$ = true; }
  | FALSE  { $$ = false; }
  ;

symbols_opt:
    %empty
  | symbols_opt SYMBOL  { delete $2; }
  ;

define_fun_parameters:
    '(' sorted_vars_opt ')'  { $$ = enterDefineFunParameters($2); }
  ;

sorted_vars_opt:
    %empty       { $$ = new ParameterList(); }
  | sorted_vars  { $$ = $1; }
  ;

sorted_vars:
    '(' SYMBOL sort ')'              { $$ = new ParameterList(); $$->emplace_back(*$2, $3); delete $2; }
  | sorted_vars '(' SYMBOL sort ')'  { $$ = $1; $$->emplace_back(*$3, $4); delete $3; }
  ;

sorts_opt:
    %empty  { $$ = new std::vector<Sort*>(); }
  | sorts   { $$ = $1; }
  ;

sorts:
    sort        { $$ = new std::vector<Sort*>(1, $1); }
  | sorts sort  { $$ = $1; $$->push_back($2); }
  ;

sort:
    BOOL                        { $$ = Sort::makeBool(); }
  | identifier                  { $$ = makeSort($1); }
  | '(' identifier sorts ')'    { $$ = makeParametricSort($2, $3); }
  ;

identifier:
    SYMBOL                           { $$ = new Identifier(*$1); delete $1; }
  | '(' '_' SYMBOL numerals ')'      { $$ = makeIndexedIdentifier($3, $4); }
  ;

numerals:
    NUMERAL           { $$ = new std::vector<uint64_t>(1, $1); }
  | numerals NUMERAL  { $$ = $1; $$->push_back($2); }
  ;

qual_identifier:
    identifier                      { $$ = $1; }
  | '(' AS identifier sort ')'      { $$ = $3; delete $4; }
  ;

term:
    TRUE         { $$ = makeBoolTerm(true); }
  | FALSE        { $$ = makeBoolTerm(false); }
  | NUMERAL      { reportUnexpectedToken(); }
  | DECIMAL      { delete $1; reportUnexpectedToken(); }
  | HEXADECIMAL  { $$ = makeHexadecimalTerm($1); }
  | BINARY       { $$ = makeBinaryTerm($1); }
  | STRING       { delete $1; reportUnexpectedToken(); }
  | qual_identifier                 { $$ = resolveIdentifier($1); }
  | '(' qual_identifier terms ')'   { $$ = applyIdentifier($2, $3); }
  | '(' LET '(' let_bindings ')'    { enterLetBindings($4); }
        term ')'                    { $$ = leaveLetBindings($4, $7); }
  | '(' FORALL '(' sorted_vars ')' <letBindings>{ $$ = enterQuantifier($4); }
        term ')'                    { leaveQuantifier($6, $7); }
  | '(' EXISTS '(' sorted_vars ')' <letBindings>{ $$ = enterQuantifier($4); }
        term ')'                    { leaveQuantifier($6, $7); }
  | '(' '!' term attributes ')'     { $$ = applyAttributes($3, $4); }
  ;

terms:
    term        { $$ = new TermSequence(1, $1); }
  | terms term  { $$ = $1; $$->push_back($2); }
  ;

let_bindings:
    '(' SYMBOL term ')'               { $$ = new LetBindingList(); $$->push_back(LetBinding{*$2, $3, nullptr}); delete $2; }
  | let_bindings '(' SYMBOL term ')'  { $$ = $1; $$->push_back(LetBinding{*$3, $4, nullptr}); delete $3; }
  ;

attributes:
    attribute             { $$ = new std::vector<Attribute*>(1, $1); }
  | attributes attribute  { $$ = $1; $$->push_back($2); }
  ;

attribute:
    KEYWORD                  { $$ = new Attribute(*$1, nullptr); delete $1; }
  | KEYWORD attribute_value  { $$ = new Attribute(*$1, $2); delete $1; }
  ;

attribute_value:
    spec_constant        { $$ = nullptr; }
  | SYMBOL               { $$ = new AttributeValueSymbol(*$1); delete $1; }
  | '(' s_exprs ')'      { $$ = nullptr; }
  ;

s_exprs:
    %empty
  | s_exprs s_expr
  ;

s_expr:
    spec_constant
  | SYMBOL           { delete $1; }
  | KEYWORD          { delete $1; }
  | '(' s_exprs ')'
  ;

spec_constant:
    NUMERAL
  | DECIMAL      { delete $1; }
  | HEXADECIMAL  { delete $1; }
  | BINARY       { delete $1; }
  | STRING       { delete $1; }
  ;

get_value_terms:
    get_value_start term                          { $$ = new GetValueList(); finishGetValueTerm(*$$, $2); }
  | get_value_terms get_value_continue term       { $$ = $1; finishGetValueTerm(*$$, $3); }
  ;

get_value_start:
    %empty  { startRecording(false); }
  ;

get_value_continue:
    %empty  { startRecording(true); }
  ;

%%

static int nextToken() {
  const int token = smtlib2_parser_lex();
  if (token == TK_NUMERAL) {
    smtlib2_parser_lval.numeral = frontEnd.tokenValue.numeral;
  } else {
    smtlib2_parser_lval.text = frontEnd.tokenValue.text;
  }
  frontEnd.tokenValue.text = nullptr;
  return token;
}

static void smtlib2_parser_error(const char*) {
  reportError("When reading: '" + frontEnd.tokenText + "'");
}
