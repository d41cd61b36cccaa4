%{
// Benchmark interpreter of the SMT-LIB 1 front end: an LALR(1) grammar whose
// actions declare the symbols, build every term and formula as soon as its
// rule is reduced, and solve when the formula is complete. There is no error
// recovery: a syntax error writes its message and the parse fails; every
// other error writes its message and ends the run.
#include <cstdint>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "smtlib1/actions.h"
#include "smtlib1/state.h"

using namespace varnok::smtlib1;

static void smtlib1_parser_error(const char* message);
static int nextToken();
// The scanner leaves token values in the front-end state; nextToken hands
// them to the parser.
#undef yylex
#define yylex nextToken

// The stacks start with room for 200 entries and double when full; deep
// nesting is limited only by memory.
#define YYINITDEPTH 200
#define YYMAXDEPTH 50000000

// Name of the quantifier whose variables are being read.
static const char* quantifier = "";
%}

%code requires {
#include <cstdint>
#include <string>
#include <vector>
#include "smtlib1/actions.h"
}

%define api.prefix {smtlib1_parser_}
%define parse.error custom

%union {
  uint32_t numeral;
  uint32_t status;
  std::string* text;
  varnok::smtlib1::Identifier* identifier;
  std::vector<uint32_t>* numerals;
  varnok::smtlib1::IdentifierList* identifiers;
  VARNOK::Expression* expression;
  varnok::smtlib1::ExpressionList* expressions;
  varnok::smtlib1::Binding* binding;
}

%token BENCHMARK_TOKEN 258 LOGIC_TOKEN 259 ASSUMPTION_TOKEN 260 FORMULA_TOKEN 261
%token STATUS_TOKEN 262 EXTRASORTS_TOKEN 263 EXTRAFUNS_TOKEN 264 EXTRAPREDS_TOKEN 265
%token NOTES_TOKEN 266 SAT_TOKEN 267 UNSAT_TOKEN 268 UNKNOWN_TOKEN 269
%token <text> SIMPLE_IDENTIFIER_TOKEN 270
%token <numeral> NUMERAL_TOKEN 271
%token RATIONAL_TOKEN 272 STRING_TOKEN 273 USER_VALUE_TOKEN 274 ATTRIBUTE_TOKEN 275
%token <text> VAR_TOKEN 276 FVAR_TOKEN 277 ARITH_SYMB_TOKEN 278
%token DISTINCT_TOKEN 279 LET_TOKEN 280 FLET_TOKEN 281 ITE_TOKEN 282 EXISTS_TOKEN 283
%token FORALL_TOKEN 284 NOT_TOKEN 285 IMPLIES_TOKEN 286 IF_THEN_ELSE_TOKEN 287
%token AND_TOKEN 288 OR_TOKEN 289 XOR_TOKEN 290 IFF_TOKEN 291 TRUE_TOKEN 292 FALSE_TOKEN 293
%token UNIMPLEMENTED_RULE_TOKEN 294 UNEXSPECTED_TOKEN 295

%type <identifier> identifier pred_symb fun_symb arith_symb sort_symb
%type <identifiers> sort_symbs_0 sort_symbs_1
%type <numerals> numerals_sep_by_colon_1
%type <numeral> numeral
%type <status> status
%type <expression> formula term base_term atom prop_atom
%type <expressions> formulas_1 terms_1
%type <binding> let_binding flet_binding
%type <text> var fvar

%destructor { delete $$; } <text> <identifier> <identifiers> <numerals> <expression> <expressions> <binding>

%%

benchmark:
    '(' BENCHMARK_TOKEN bench_name benchmark_attributes ')'
  ;

bench_name:
    identifier  { delete $1; }
  ;

benchmark_attributes:
    benchmark_attribute
  | benchmark_attributes benchmark_attribute
  ;

benchmark_attribute:
    LOGIC_TOKEN identifier                      { setLogic($2); }
  | ASSUMPTION_TOKEN formula                    { addAssumption($2); }
  | FORMULA_TOKEN formula                       { addFormula($2); }
  | STATUS_TOKEN status                         { state.expectedStatus = $2; }
  | EXTRASORTS_TOKEN '(' sort_symbs_1 ')'       { delete $3; reportUnsupported("extrasorts declaration"); }
  | EXTRAFUNS_TOKEN '(' fun_symb_decls_1 ')'
  | EXTRAPREDS_TOKEN '(' pred_symb_decls_1 ')'
  | NOTES_TOKEN string
  | annotation
  ;

annotations_0:
    %empty
  | annotations_1
  ;

annotations_1:
    annotation
  | annotations_1 annotation
  ;

annotation:
    attribute
  | attribute user_value
  ;

attribute:
    ATTRIBUTE_TOKEN
  ;

user_value:
    USER_VALUE_TOKEN
  ;

string:
    STRING_TOKEN
  ;

pred_symb_decls_1:
    pred_symb_decl
  | pred_symb_decls_1 pred_symb_decl
  ;

pred_symb_decl:
    '(' pred_symb sort_symbs_0 annotations_0 ')'  { declarePredicate($2, $3); }
  ;

pred_symb:
    identifier      { $$ = $1; }
  | arith_symb      { $$ = $1; }
  | DISTINCT_TOKEN  { $$ = new Identifier{"distinct", {}}; }
  ;

arith_symb:
    ARITH_SYMB_TOKEN  { $$ = new Identifier{*$1, {}}; delete $1; }
  ;

fun_symb_decls_1:
    fun_symb_decl
  | fun_symb_decls_1 fun_symb_decl
  ;

fun_symb_decl:
    '(' fun_symb sort_symbs_1 annotations_0 ')'  { declareFunction($2, $3); }
  | '(' numeral sort_symb annotations_0 ')'      { delete $3; reportUnsupported("numeral function declaration"); }
  | '(' rational sort_symb annotations_0 ')'     { delete $3; reportUnsupported("rational function declaration"); }
  ;

fun_symb:
    identifier  { $$ = $1; }
  | arith_symb  { $$ = $1; }
  ;

sort_symbs_0:
    %empty        { $$ = new IdentifierList(); }
  | sort_symbs_1  { $$ = $1; }
  ;

sort_symbs_1:
    sort_symb               { $$ = new IdentifierList(); $$->push_back(std::move(*$1)); delete $1; }
  | sort_symbs_1 sort_symb  { $$ = $1; $$->push_back(std::move(*$2)); delete $2; }
  ;

sort_symb:
    identifier  { $$ = $1; }
  ;

status:
    SAT_TOKEN      { $$ = STATUS_SAT; }
  | UNSAT_TOKEN    { $$ = STATUS_UNSAT; }
  | UNKNOWN_TOKEN  { $$ = STATUS_UNKNOWN; }
  ;

formulas_1:
    formula             { $$ = startList($1); }
  | formulas_1 formula  { $$ = appendToList($1, $2); }
  ;

formula:
    atom                                                           { $$ = $1; }
  | '(' NOT_TOKEN formula annotations_0 ')'                        { $$ = makeNotFormula($3); }
  | '(' IMPLIES_TOKEN formula formula annotations_0 ')'            { $$ = makeImpliesFormula($3, $4); }
  | '(' IF_THEN_ELSE_TOKEN formula formula formula annotations_0 ')' { $$ = makeIfThenElseFormula($3, $4, $5); }
  | '(' AND_TOKEN formulas_1 annotations_0 ')'                     { $$ = makeConnectiveFormula(CONNECTIVE_AND, $3); }
  | '(' OR_TOKEN formulas_1 annotations_0 ')'                      { $$ = makeConnectiveFormula(CONNECTIVE_OR, $3); }
  | '(' XOR_TOKEN formulas_1 annotations_0 ')'                     { $$ = makeConnectiveFormula(CONNECTIVE_XOR, $3); }
  | '(' IFF_TOKEN formulas_1 annotations_0 ')'                     { $$ = makeConnectiveFormula(CONNECTIVE_IFF, $3); }
  | '(' EXISTS_TOKEN { quantifier = "exists"; } quant_vars_1 formula annotations_0 ')'
                                                                   { $$ = $5; }
  | '(' FORALL_TOKEN { quantifier = "forall"; } quant_vars_1 formula annotations_0 ')'
                                                                   { $$ = $5; }
  | '(' LET_TOKEN let_binding formula annotations_0 ')'            { $$ = unbindTerm($3, $4); }
  | '(' FLET_TOKEN flet_binding formula annotations_0 ')'          { $$ = unbindFormula($3, $4); }
  ;

let_binding:
    '(' var term ')'  { $$ = bindTerm($2, $3); }
  ;

flet_binding:
    '(' fvar formula ')'  { $$ = bindFormula($2, $3); }
  ;

var:
    VAR_TOKEN  { $$ = $1; }
  ;

fvar:
    FVAR_TOKEN  { $$ = $1; }
  ;

terms_1:
    term          { $$ = startList($1); }
  | terms_1 term  { $$ = appendToList($1, $2); }
  ;

term:
    base_term                                          { $$ = $1; }
  | '(' base_term annotations_1 ')'                    { $$ = $2; }
  | '(' fun_symb terms_1 annotations_0 ')'             { $$ = applyFunction($2, $3); }
  | '(' ITE_TOKEN formula term term annotations_0 ')'  { $$ = makeTermIte($3, $4, $5); }
  ;

base_term:
    var         { $$ = termVariable($1); }
  | numeral     { $$ = nullptr; reportUnsupported("numeral"); }
  | rational    { $$ = nullptr; reportUnsupported("rational"); }
  | identifier  { $$ = makeConstantTerm($1); }
  ;

quant_vars_1:
    quant_var
  | quant_vars_1 quant_var
  ;

quant_var:
    '(' var sort_symb ')'  { delete $2; delete $3; reportUnsupported(quantifier); }
  ;

atom:
    prop_atom                                  { $$ = $1; }
  | '(' prop_atom annotations_1 ')'            { $$ = $2; }
  | '(' pred_symb terms_1 annotations_0 ')'    { $$ = applyPredicate($2, $3); }
  ;

prop_atom:
    TRUE_TOKEN   { $$ = makeBoolAtom(true); }
  | FALSE_TOKEN  { $$ = makeBoolAtom(false); }
  | fvar         { $$ = formulaVariable($1); }
  | identifier   { $$ = makePredicateAtom($1); }
  ;

identifier:
    SIMPLE_IDENTIFIER_TOKEN                                  { $$ = new Identifier{*$1, {}}; delete $1; }
  | SIMPLE_IDENTIFIER_TOKEN '[' numerals_sep_by_colon_1 ']'  { $$ = new Identifier{*$1, *$3}; delete $1; delete $3; }
  ;

numerals_sep_by_colon_1:
    numeral                              { $$ = new std::vector<uint32_t>(1, $1); }
  | numerals_sep_by_colon_1 ':' numeral  { $$ = $1; $$->push_back($3); }
  ;

numeral:
    NUMERAL_TOKEN  { $$ = $1; }
  ;

rational:
    RATIONAL_TOKEN
  ;

%%

static int nextToken() {
  const int token = smtlib1_parser_lex();
  if (token == NUMERAL_TOKEN) {
    smtlib1_parser_lval.numeral = state.tokenValue.numeral;
  } else {
    smtlib1_parser_lval.text = state.tokenValue.text;
  }
  state.tokenValue.text = nullptr;
  return token;
}

// The name of a grammar symbol in a syntax error message: token names as the
// grammar has them, characters in single quotes, "$end" for the end of the
// input and "$undefined" for a character the grammar does not know.
static std::string symbolName(yysymbol_kind_t symbol) {
  if (symbol == YYSYMBOL_YYEOF) return "$end";
  if (symbol == YYSYMBOL_YYUNDEF) return "$undefined";
  std::string name = yysymbol_name(symbol);
  if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
  return name;
}

// "syntax error, unexpected X, expecting A or B ..." with up to four expected
// symbols; with more only "syntax error, unexpected X".
static int yyreport_syntax_error(const yypcontext_t* context) {
  enum { MAX_EXPECTED = 4 };
  const yysymbol_kind_t unexpected = yypcontext_token(context);
  if (unexpected == YYSYMBOL_YYEMPTY) {
    smtlib1_parser_error("syntax error");
    return 0;
  }
  yysymbol_kind_t expected[MAX_EXPECTED];
  const int count = yypcontext_expected_tokens(context, expected, MAX_EXPECTED);
  if (count < 0) return count;
  std::string message = "syntax error, unexpected " + symbolName(unexpected);
  for (int i = 0; i < count; ++i) message += (i == 0 ? ", expecting " : " or ") + symbolName(expected[i]);
  smtlib1_parser_error(message.c_str());
  return 0;
}

static void smtlib1_parser_error(const char* message) {
  std::cerr << '(' << state.location.firstLine << ':' << state.location.firstColumn << ") after reading: '"
            << state.tokenText << "': " << message << std::endl;
}
