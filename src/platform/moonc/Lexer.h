#pragma once
// Turns MoonScript source into tokens. Indentation becomes Indent/Dedent tokens and the end of every
// line holding code a Newline token; inside brackets the indentation is tracked as well (so a function
// body can sit inside a table) and is brought back to the bracket's level at its closing bracket.
#include <stdexcept>
#include <string>
#include <vector>

namespace moonc {

// A compile error at a line of the source.
struct CompileError : std::runtime_error {
    CompileError(int lineNumber, const std::string& message) : std::runtime_error(message), line(lineNumber) {}
    int line;
};

// Cont: the start of a line that goes on with the list of the line before (which ended in a comma);
// its indent is the line's column, which decides whose list it continues.
enum class TokType { Name, Keyword, Number, String, Op, Newline, Indent, Dedent, End, Cont };

// One piece of a double-quoted string: literal text (escapes kept as written) or the source of a
// "#{...}" expression.
struct StringPart {
    bool isExpr = false;
    std::string text;
};

struct Token {
    TokType type = TokType::End;
    std::string text;   // name, keyword, number or operator text; for strings the raw body
    int line = 0;
    int indent = 0;     // the indentation the token stands at (Cont and Indent: the new line's column)
    int indentSince = 0; // the line where that indentation was set
    bool space = false; // whitespace (or a line start) right before the token
    char quote = 0;     // '"' or '\'' for strings
    std::vector<StringPart> parts; // double-quoted strings only
};

// Throws CompileError on a malformed token, inconsistent indentation or an unbalanced bracket.
std::vector<Token> Lex(const std::string& source, int firstLine = 1);

bool IsLuaKeyword(const std::string& word);

// Whether tokens (ending in a line end) are one list comprehension and nothing else (Parser.cpp).
bool ParsesAsComprehension(const std::vector<Token>& tokens);

} // namespace moonc
