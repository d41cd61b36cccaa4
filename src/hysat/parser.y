%{
// Grammar of the bounded-model-checking language: an LALR(1) parser with no
// error recovery. Declarations fill the symbol table as they are reduced;
// the formula sections become expression trees; the start rule runs the
// check on them and then destroys them.
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "hysat/expression.h"
#include "hysat/parser_state.h"
#include "hysat/symbol.h"

using namespace varnok::hysat;

namespace {

// Bounds of an int range written as decimals or float constants are rounded
// inward; values beyond the int range become its nearest end.
int32_t clampToInt(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return INT32_MAX;
  if (value <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(value);
}

int32_t ceilingToInt(float value) {
  const double truncated = std::trunc(static_cast<double>(value));
  return clampToInt(static_cast<double>(value) > truncated ? truncated + 1.0 : truncated);
}

int32_t floorToInt(float value) {
  const double truncated = std::trunc(static_cast<double>(value));
  return clampToInt(truncated > static_cast<double>(value) ? truncated - 1.0 : truncated);
}

int32_t negateClamped(int32_t value) { return value == INT32_MIN ? INT32_MAX : -value; }

void defineBoolVariables(uint8_t isStatic, std::vector<std::string*>* names);
void defineFloatVariables(uint8_t isStatic, std::vector<std::string*>* names, const std::pair<float, float>* range);
void defineIntVariables(uint8_t isStatic, std::vector<std::string*>* names, const std::pair<int32_t, int32_t>* range);
float floatBoundOf(std::string* name, bool negated);
int32_t lowerBoundOf(std::string* name, bool negated);
int32_t upperBoundOf(std::string* name, bool negated);
void runAndRelease(Expression* init, Expression* trans, Expression* target);

}  // namespace

// The parser's stacks start with room for 200 entries and double when full;
// nesting is limited only by memory.
#define YYINITDEPTH 200
#define YYMAXDEPTH 50000000
%}

%code requires {
#include <cstdint>
#include <string>
#include <utility>
#include <vector>
#include "hysat/expression.h"
}

%define api.prefix {hysat_parser_}
%define parse.error custom

%union {
  std::string* name;
  int32_t intValue;
  float floatValue;
  uint8_t flag;
  std::vector<std::string*>* names;
  std::pair<float, float>* floatRange;
  std::pair<int32_t, int32_t>* intRange;
  varnok::hysat::Expression* expression;
}

/* The declaration order fixes the order of the token names in messages. */
%token DECL_TOKEN INIT_TOKEN TRANS_TOKEN TARGET_TOKEN BOOLE_TOKEN FLOAT_TOKEN INT_TOKEN
%token FALSE_TOKEN TRUE_TOKEN
%token <name> IDENTIFIER_TOKEN DASHED_IDENTIFIER_TOKEN
%token <intValue> INT_CONST_TOKEN
%token <floatValue> FLOAT_CONST_TOKEN
%token BOOL_CONST_TOKEN DEFINE_TOKEN STATIC_TOKEN
%token IMPLIES_TOKEN OR_TOKEN NOR_TOKEN XOR_TOKEN IFF_TOKEN AND_TOKEN NAND_TOKEN
%token EQUAL_TOKEN NEQ_TOKEN LESS_THAN_TOKEN GREATER_THAN_TOKEN LESS_EQUAL_TOKEN GREATER_EQUAL_TOKEN
%token EXPR_TOKEN ADD_TOKEN MINUS_TOKEN MUL_TOKEN DIV_TOKEN NOT_TOKEN SQUARE_TOKEN
%token EXP_TOKEN LOG_TOKEN SIN_TOKEN COS_TOKEN UNEXSPECTED_TOKEN
%token ';' ',' '[' ']' '(' ')'

/* From the loosest to the tightest binding. */
%right IMPLIES_TOKEN
%left OR_TOKEN
%left IFF_TOKEN
%left AND_TOKEN
%nonassoc EQUAL_TOKEN NEQ_TOKEN LESS_THAN_TOKEN LESS_EQUAL_TOKEN GREATER_THAN_TOKEN GREATER_EQUAL_TOKEN
%left ADD_TOKEN MINUS_TOKEN
%left MUL_TOKEN DIV_TOKEN
%nonassoc NOT_TOKEN SQUARE_TOKEN

%type <flag> static
%type <names> identifier_list
%type <floatRange> float_range_opt float_range
%type <intRange> int_range_opt int_range
%type <floatValue> float_bound
%type <intValue> int_lower_bound int_upper_bound
%type <expression> statements expression

%destructor { delete $$; } <name> <floatRange> <intRange> <expression>
%destructor { for (std::string* name : *$$) delete name; delete $$; } <names>

%%

start:
    DECL_TOKEN decls INIT_TOKEN statements TRANS_TOKEN statements TARGET_TOKEN statements
      { runAndRelease($4, $6, $8); }
  | DECL_TOKEN decls EXPR_TOKEN statements
      { runAndRelease(nullptr, nullptr, $4); }
  ;

decls:
    %empty
  | decls decl
  ;

decl:
    static BOOLE_TOKEN identifier_list ';'                 { defineBoolVariables($1, $3); }
  | static FLOAT_TOKEN float_range_opt identifier_list ';' { defineFloatVariables($1, $4, $3); delete $3; }
  | static INT_TOKEN int_range_opt identifier_list ';'     { defineIntVariables($1, $4, $3); delete $3; }
  | DEFINE_TOKEN IDENTIFIER_TOKEN EQUAL_TOKEN INT_CONST_TOKEN ';'
      { defineSymbol(new IntConstantInfo(*$2, $4)); delete $2; }
  | DEFINE_TOKEN IDENTIFIER_TOKEN EQUAL_TOKEN FLOAT_CONST_TOKEN ';'
      { defineSymbol(new FloatConstantInfo(*$2, $4)); delete $2; }
  ;

static:
    %empty        { $$ = 0; }
  | STATIC_TOKEN  { $$ = 1; }
  ;

identifier_list:
    IDENTIFIER_TOKEN                      { $$ = new std::vector<std::string*>(1, $1); }
  | identifier_list ',' IDENTIFIER_TOKEN  { $$ = $1; $$->push_back($3); }
  ;

float_range_opt:
    %empty       { $$ = nullptr; }
  | float_range  { $$ = $1; }
  ;

float_range:
    '[' float_bound ',' float_bound ']'  { $$ = new std::pair<float, float>($2, $4); }
  ;

int_range_opt:
    %empty     { $$ = nullptr; }
  | int_range  { $$ = $1; }
  ;

int_range:
    '[' int_lower_bound ',' int_upper_bound ']'  { $$ = new std::pair<int32_t, int32_t>($2, $4); }
  ;

float_bound:
    FLOAT_CONST_TOKEN             { $$ = $1; }
  | INT_CONST_TOKEN               { $$ = static_cast<float>($1); }
  | IDENTIFIER_TOKEN              { $$ = floatBoundOf($1, false); }
  | MINUS_TOKEN IDENTIFIER_TOKEN  { $$ = floatBoundOf($2, true); }
  ;

int_lower_bound:
    FLOAT_CONST_TOKEN             { $$ = ceilingToInt($1); }
  | INT_CONST_TOKEN               { $$ = $1; }
  | IDENTIFIER_TOKEN              { $$ = lowerBoundOf($1, false); }
  | MINUS_TOKEN IDENTIFIER_TOKEN  { $$ = lowerBoundOf($2, true); }
  ;

int_upper_bound:
    FLOAT_CONST_TOKEN             { $$ = floorToInt($1); }
  | INT_CONST_TOKEN               { $$ = $1; }
  | IDENTIFIER_TOKEN              { $$ = upperBoundOf($1, false); }
  | MINUS_TOKEN IDENTIFIER_TOKEN  { $$ = upperBoundOf($2, true); }
  ;

statements:
    expression ';'             { $$ = $1; }
  | statements expression ';'  { $$ = new Expression(EXPR_AND, $1, $2); }
  ;

expression:
    TRUE_TOKEN                                { $$ = Expression::makeBool(true); }
  | FALSE_TOKEN                               { $$ = Expression::makeBool(false); }
  | '(' expression ')'                        { $$ = $2; }
  | '[' expression ']'                        { $$ = $2; }
  | FLOAT_CONST_TOKEN                         { $$ = Expression::makeFloat($1); }
  | INT_CONST_TOKEN                           { $$ = Expression::makeInt($1); }
  | IDENTIFIER_TOKEN                          { $$ = Expression::makeIdentifier($1, false); }
  | DASHED_IDENTIFIER_TOKEN                   { $$ = Expression::makeIdentifier($1, true); }
  | NOT_TOKEN expression                      { $$ = new Expression(EXPR_NOT, $2); }
  | expression AND_TOKEN expression           { $$ = new Expression(EXPR_AND, $1, $3); }
  | expression OR_TOKEN expression            { $$ = new Expression(EXPR_OR, $1, $3); }
  | expression EQUAL_TOKEN expression         { $$ = new Expression(EXPR_EQUAL, $1, $3); }
  | expression NEQ_TOKEN expression           { $$ = new Expression(EXPR_NOT_EQUAL, $1, $3); }
  | expression LESS_THAN_TOKEN expression     { $$ = new Expression(EXPR_LESS, $1, $3); }
  | expression LESS_EQUAL_TOKEN expression    { $$ = new Expression(EXPR_LESS_EQUAL, $1, $3); }
  | expression GREATER_THAN_TOKEN expression  { $$ = new Expression(EXPR_GREATER, $1, $3); }
  | expression GREATER_EQUAL_TOKEN expression { $$ = new Expression(EXPR_GREATER_EQUAL, $1, $3); }
  | expression IFF_TOKEN expression           { $$ = new Expression(EXPR_IFF, $1, $3); }
  | expression IMPLIES_TOKEN expression       { $$ = new Expression(EXPR_IMPLIES, $1, $3); }
  | expression ADD_TOKEN expression           { $$ = new Expression(EXPR_ADD, $1, $3); }
  | expression MINUS_TOKEN expression         { $$ = new Expression(EXPR_SUB, $1, $3); }
  | expression MUL_TOKEN expression           { $$ = new Expression(EXPR_MUL, $1, $3); }
  | expression DIV_TOKEN expression           { $$ = new Expression(EXPR_DIV, $1, $3); }
  | MINUS_TOKEN expression %prec MINUS_TOKEN  { $$ = new Expression(EXPR_NEG, $2); }
  | ADD_TOKEN expression %prec ADD_TOKEN      { $$ = $2; }
  | expression SQUARE_TOKEN                   { $$ = new Expression(EXPR_SQUARE, $1); }
  | EXP_TOKEN '(' expression ')'              { $$ = new Expression(EXPR_EXP, $3); }
  | LOG_TOKEN '(' expression ')'              { $$ = new Expression(EXPR_LOG, $3); }
  | SIN_TOKEN '(' expression ')'              { $$ = new Expression(EXPR_SIN, $3); }
  | COS_TOKEN '(' expression ')'              { $$ = new Expression(EXPR_COS, $3); }
  ;

%%

namespace {

// Defines one symbol per name, in order, made by makeSymbol from the name;
// the names and their list are released.
template <typename MakeSymbol>
void defineVariables(std::vector<std::string*>* names, MakeSymbol makeSymbol) {
  for (std::string* name : *names) {
    Symbol* symbol = makeSymbol(*name);
    delete name;
    defineSymbol(symbol);
  }
  delete names;
}

// A variable with the given range (none when range is null).
template <typename Variable, typename Bound>
Symbol* makeRangedVariable(const std::string& name, uint8_t isStatic, const std::pair<Bound, Bound>* range) {
  Variable* variable = new Variable(name, isStatic);
  if (range != nullptr) {
    variable->hasRange = 1;
    variable->lowerBound = range->first;
    variable->upperBound = range->second;
  }
  return variable;
}

void defineBoolVariables(uint8_t isStatic, std::vector<std::string*>* names) {
  defineVariables(names, [isStatic](const std::string& name) -> Symbol* { return new BoolVariableInfo(name, isStatic); });
}

void defineFloatVariables(uint8_t isStatic, std::vector<std::string*>* names, const std::pair<float, float>* range) {
  defineVariables(names, [isStatic, range](const std::string& name) {
    return makeRangedVariable<FloatVariableInfo>(name, isStatic, range);
  });
}

void defineIntVariables(uint8_t isStatic, std::vector<std::string*>* names, const std::pair<int32_t, int32_t>* range) {
  defineVariables(names, [isStatic, range](const std::string& name) {
    return makeRangedVariable<IntVariableInfo>(name, isStatic, range);
  });
}

// The constant a range bound names; a variable cannot bound a range.
const ConstantInfo* boundConstant(std::string* name) {
  const std::string text = *name;
  delete name;
  const ConstantInfo* constant = dynamic_cast<const ConstantInfo*>(lookupSymbol(text));
  if (constant == nullptr) fatalError("symbol '" + text + "' is not a constant.");
  return constant;
}

float floatBoundOf(std::string* name, bool negated) {
  const ConstantInfo* constant = boundConstant(name);
  if (constant->getKind() == SYMBOL_FLOAT_CONSTANT) {
    const float value = static_cast<const FloatConstantInfo*>(constant)->value;
    return negated ? -value : value;
  }
  const float value = static_cast<float>(static_cast<const IntConstantInfo*>(constant)->value);
  return negated ? -value : value;
}

int32_t lowerBoundOf(std::string* name, bool negated) {
  const ConstantInfo* constant = boundConstant(name);
  if (constant->getKind() == SYMBOL_FLOAT_CONSTANT) {
    const float value = static_cast<const FloatConstantInfo*>(constant)->value;
    return ceilingToInt(negated ? -value : value);
  }
  const int32_t value = static_cast<const IntConstantInfo*>(constant)->value;
  return negated ? negateClamped(value) : value;
}

int32_t upperBoundOf(std::string* name, bool negated) {
  const ConstantInfo* constant = boundConstant(name);
  if (constant->getKind() == SYMBOL_FLOAT_CONSTANT) {
    const float value = static_cast<const FloatConstantInfo*>(constant)->value;
    return floorToInt(negated ? -value : value);
  }
  const int32_t value = static_cast<const IntConstantInfo*>(constant)->value;
  return negated ? negateClamped(value) : value;
}

void runAndRelease(Expression* init, Expression* trans, Expression* target) {
  problemRunner(parserState.solver, &symbolTable, init, trans, target);
  delete init;
  delete trans;
  delete target;
}

// Token names as the messages write them.
const char* tokenName(yysymbol_kind_t symbol) {
  switch (symbol) {
    case YYSYMBOL_YYEOF: return "$end";
    case YYSYMBOL_YYUNDEF: return "$undefined";
    default: return yysymbol_name(symbol);
  }
}

}  // namespace

// "syntax error, unexpected X", with ", expecting A or B ..." when one to
// four tokens could follow.
static int yyreport_syntax_error(const yypcontext_t* context) {
  enum { MAX_EXPECTED = 4 };
  yysymbol_kind_t expected[MAX_EXPECTED + 1];
  const int count = yypcontext_expected_tokens(context, expected, MAX_EXPECTED + 1);
  std::string message = "syntax error, unexpected ";
  message += tokenName(yypcontext_token(context));
  if (count > 0 && count <= MAX_EXPECTED) {
    for (int i = 0; i < count; ++i) {
      message += i == 0 ? ", expecting " : " or ";
      message += tokenName(expected[i]);
    }
  }
  hysat_parser_error(message.c_str());
  return 0;
}
