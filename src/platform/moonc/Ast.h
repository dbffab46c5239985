#pragma once
// The syntax tree the parser builds and the emitter walks. One node type with a kind; each kind uses
// the fields its comment names.
#include <memory>
#include <string>
#include <vector>

#include "platform/moonc/Lexer.h"

namespace moonc {

struct Node;
using NodeP = std::unique_ptr<Node>;
using Block = std::vector<NodeP>;

enum class Kind {
    // expressions
    Nil, True, False,
    Number,     // text
    String,     // quote, parts (expression parts parsed into items, in order, null for literal parts)
    Name,       // text
    Self,
    Field,      // a = object, text = field name
    Index,      // a = object, b = key
    Call,       // a = callee, items = arguments
    Method,     // a = object, text = method name, items = arguments
    SuperCall,  // text = method name ("" = the current method), items = arguments
    Binary,     // text = operator (as written), a, b
    Unary,      // text = "not", "-" or "#", a
    Paren,      // a
    Function,   // params, fat, body
    Table,      // entries
    Comprehension, // a = value, clauses
    // statements (If and Switch are expressions too)
    ExprStmt,   // a
    Assign,     // items = targets, items2 = values, exported
    Update,     // text = operator ("+", "-", "*", "/", ".."), a = target, b = value
    Export,     // names
    Return,     // items = values
    If,         // conds (null for the last else), blocks; unless = the first condition is negated
    While,      // a = condition, body
    NumFor,     // names[0], a = start, b = stop, c = step (may be null), body
    ForIn,      // names, items = expressions, body
    ForEach,    // names[0], a = list, body   (for x in *list)
    Switch,     // a = subject, conds2 = value lists per branch, blocks (one more when there's an else)
    Class,      // text = name, a = parent (may be null), entries, exported
};

struct Param {
    std::string name;
    bool selfField = false; // (@name) stores the argument in self.name
    NodeP defaultValue;
};

struct Entry {
    enum KeyKind { Positional, NameKey, ExprKey } keyKind = Positional;
    std::string name;
    NodeP key;
    NodeP value;
    int line = 0;
};

struct Clause {
    enum ClauseKind { When, NumFor, ForIn, ForEach } kind = When;
    std::vector<std::string> names;
    std::vector<NodeP> exprs; // When: cond; NumFor: start, stop[, step]; ForIn: expressions; ForEach: list
};

struct Node {
    Kind kind;
    int line = 0;
    std::string text;
    char quote = 0;
    NodeP a, b, c;
    std::vector<NodeP> items, items2;
    std::vector<StringPart> parts;
    std::vector<std::string> names;
    std::vector<Param> params;
    bool fat = false;
    bool exported = false;
    bool unless = false;
    Block body;
    std::vector<NodeP> conds;
    std::vector<std::vector<NodeP>> conds2;
    std::vector<Block> blocks;
    std::vector<Entry> entries;
    std::vector<Clause> clauses;

    Node(Kind k, int l) : kind(k), line(l) {}
};

// Parses a whole file (its tokens from Lex). Throws CompileError.
Block Parse(const std::vector<Token>& tokens);

} // namespace moonc
