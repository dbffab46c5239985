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
    Field,      // a = object, text = field name; selfName when written "@name" (a call makes it a method call)
    Index,      // a = object, b = key; text = "slice" for "a[start, stop, step]": b, c, items[0] (each
                // may be null), allowed only as the list of 'for x in *...'
    Call,       // a = callee, items = arguments
    Method,     // a = object, text = method name, items = arguments; value = a stub ("obj\m" alone)
    SuperCall,  // text = method name ("" = the current method), items = arguments; value = 'super'
                // itself, the parent class ("super.x")
    Binary,     // items = operands, names = the operators between them (as written), in order of
                // non-increasing precedence, so the chain reads the same unparenthesised in Lua
    Unary,      // text = "not", "-", "#" or "~", a
    Paren,      // a
    Function,   // params, fat, body
    Table,      // entries
    Comprehension, // a = value, clauses
    TableComprehension, // a = key (or a value giving key and value), b = value (may be null), clauses
    Vararg,     // "..."
    ClassRef,   // "@@": the class of self
    WithRef,    // the object of the innermost 'with'
    Do,         // body (a statement or a value)
    // statements (If and Switch are expressions too)
    ExprStmt,   // a; or items = several values (only as the last statement, which returns them)
    Assign,     // items = targets (names, fields, indexes or tables to destructure), items2 = values,
                // exported, isLocal ('local x = ...' declares a new local whatever is visible)
    Update,     // text = operator ("+", "-", "or", "and", "<<", ...), a = target, b = value
    Export,     // names; text = "*" or "^" for 'export *' / 'export ^'
    Local,      // names; text = "*" or "^" for 'local *' / 'local ^'
    Import,     // names (a leading '\' binds a method), a = source
    With,       // a = object, text = name it is also assigned to (may be ""), body
    Break, Continue,
    Return,     // items = values
    If,         // conds (null for the last else), blocks; unless = the first condition is negated;
                // c = an assignment whose value is the first condition ("if x = f!"), items2 = those of
                // the others ("elseif x = f!"; null where none, may be shorter); isLocal on an
                // If, While or loop = made by a line decorator
    While,      // a = condition, body; c = an assignment whose value is the condition
    // Loops: value = used as an expression; pattern = the loop variables destructured: a table whose
    // entry i (when it has a value) is the pattern read from names[i] (then a temporary).
    NumFor,     // names[0], a = start, b = stop, c = step (may be null), body
    ForIn,      // names, items = expressions, body
    ForEach,    // names[0], items = list, slice start, stop, step (null when absent), body
    Switch,     // a = subject, conds2 = value lists per branch, blocks (one more when there's an else)
    ClassField, // "@name: value" in a class body: text = name, a = value (a field of the class object)
    Class,      // text = name, a = parent (may be null), entries, exported; b = the target of a
                // dotted name ("class a.B"); body = the class body's statements; value = a class
                // used as an expression
};

struct Param {
    std::string name;
    bool selfField = false; // (@name) stores the argument in self.name
    bool classField = false; // (@@name): in self.__class.name
    NodeP defaultValue;
    NodeP pattern;          // a table destructured from the argument (name is then a temporary)
};

struct Entry {
    enum KeyKind { Positional, NameKey, ExprKey } keyKind = Positional;
    std::string name;
    NodeP key;
    NodeP value;
    int line = 0;
    bool classLevel = false; // "@name: value" in a class body: a field of the class object
};

struct Clause {
    enum ClauseKind { When, NumFor, ForIn, ForEach } kind = When;
    std::vector<std::string> names;
    std::vector<NodeP> exprs; // When: cond; NumFor: start, stop[, step]; ForIn: expressions;
                              // ForEach: list, slice start, slice stop, slice step (null when absent)
    NodeP pattern;            // destructured loop variables, as a loop's pattern
};

// The fields only some kinds use, allocated when first written so that common nodes stay small.
struct NodeExtra {
    std::vector<NodeP> items2;
    std::vector<StringPart> parts;
    std::vector<Param> params;
    std::vector<std::string> usingNames; // Function: the outer names it may assign ('using')
    bool usingSet = false;
    std::vector<NodeP> conds;
    std::vector<std::vector<NodeP>> conds2;
    std::vector<Block> blocks;
    std::vector<Entry> entries;
    std::vector<Clause> clauses;
};

struct Node {
    Kind kind;
    int line = 0;
    std::string text;
    char quote = 0;
    bool fat = false;
    bool exported = false;
    bool unless = false;
    bool selfName = false;
    bool isLocal = false;
    bool value = false;
    bool bare = false; // Call / Method: arguments without brackets
    NodeP a, b, c;
    NodeP pattern; // ForEach / ForIn: a destructured loop variable
    std::vector<NodeP> items;
    std::vector<std::string> names;
    Block body;
    std::unique_ptr<NodeExtra> extra;

    NodeExtra& x()
    {
        if (!extra)
            extra = std::make_unique<NodeExtra>();
        return *extra;
    }
    const NodeExtra& x() const
    {
        static const NodeExtra none;
        return extra ? *extra : none;
    }

    Node(Kind k, int l) : kind(k), line(l) {}
    // Frees the subtree with a work list, so a chain of any length never recurses deeply.
    ~Node();
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
};

// Parses a whole file (its tokens from Lex). Throws CompileError.
Block Parse(const std::vector<Token>& tokens);

} // namespace moonc
