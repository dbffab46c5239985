#include "platform/moonc/Lexer.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace moonc {

namespace {

const std::set<std::string> kKeywords = {
    "and", "break", "class", "continue", "do", "else", "elseif", "export", "extends", "false", "for",
    "from", "if", "import", "in", "local", "nil", "not", "or", "return", "super", "switch", "then",
    "true", "unless", "using", "when", "while", "with"};

const std::set<std::string> kLuaKeywords = {
    "and", "break", "do", "else", "elseif", "end", "false", "for", "function", "goto", "if", "in",
    "local", "nil", "not", "or", "repeat", "return", "then", "true", "until", "while"};

// Longest first, so that a prefix never wins over the whole operator.
const char* const kOperators[] = {"...", "..=", "//=", "<<=", ">>=", "..", "->", "=>", "==", "!=", "~=", "<=",
                                  ">=", "+=", "-=", "*=", "/=", "%=", "^=", "&=", "|=", "//", "<<", ">>",
                                  "::", "+", "-", "*", "/", "%", "^", "#", "<", ">", "=", "(", ")", "{",
                                  "}", "[", "]", ",", ".", ":", "\\", "@", "!", "~", "&", "|"};

constexpr size_t kMaxIndentDepth = 100;
constexpr int kMaxTrialDepth = 40;

class Lexer {
public:
    Lexer(const std::string& source, int firstLine) : src_(source), line_(firstLine) {}

    std::vector<Token> Run()
    {
        if (!openFirst_ && src_.compare(0, 2, "#!") == 0)
            i_ = std::min(src_.find('\n'), src_.size()); // a "#!" first line names the interpreter
        bool lineStart = true;
        bool space = true;
        while (!closed_) {
            if (lineStart) {
                int column = 0;
                size_t j = i_;
                while (j < src_.size() && (src_[j] == ' ' || src_[j] == '\t' || src_[j] == '\r')) {
                    if (src_[j] != '\r')
                        column += src_[j] == '\t' ? 4 : 1; // a tab counts as four spaces
                    ++j;
                }
                i_ = j;
                if (i_ >= src_.size())
                    break;
                if (src_[i_] == '\n') {
                    ++i_;
                    ++line_;
                    continue;
                }
                if (src_.compare(i_, 2, "--") == 0) {
                    SkipComment();
                    continue;
                }
                lineStart = false;
                space = true;
                if (continued_ == ',') {
                    // After a comma the line goes on with a list: a deeper "key:" line starts an indented
                    // block of entries, and a line left of its block's indentation ends the block (a
                    // trailing comma, a closing bracket) and may go on with a list outside it; others are
                    // marked for the parser, which lines them up with the argument lists still open.
                    if ((column > indents_.back() && KeyLineAhead()) || column < indents_.back()) {
                        Push(TokType::Newline, "", false);
                        Layout(column, !KeyLineAhead());
                    } else {
                        Push(TokType::Cont, "", true);
                        toks_.back().indent = column;
                    }
                    SetLineIndent(column);
                } else if (!continued_) {
                    Layout(column);
                    SetLineIndent(column);
                }
                continued_ = 0;
            }
            if (i_ >= src_.size())
                break;
            const char c = src_[i_];
            if (c == '\n') {
                continued_ = Continues();
                if (continued_ == 0)
                    Push(TokType::Newline, "", false);
                ++i_;
                ++line_;
                lineStart = true;
                continue;
            }
            if (c == ' ' || c == '\t' || c == '\r') {
                ++i_;
                space = true;
                continue;
            }
            if (src_.compare(i_, 2, "--") == 0) {
                SkipComment();
                continue;
            }
            if (std::isalpha(static_cast<unsigned char>(c)) || c == '_')
                Word(space);
            else if (std::isdigit(static_cast<unsigned char>(c)) ||
                     (c == '.' && i_ + 1 < src_.size() && std::isdigit(static_cast<unsigned char>(src_[i_ + 1]))))
                Number(space);
            else if (c == '"' || c == '\'')
                String(space);
            else if (c == '[' && i_ == 0 && openFirst_)
                Operator(space);
            else if (c == '[' && i_ + 1 < src_.size() && src_[i_ + 1] == '[' && NestedComprehension(space))
                continue;
            else if (LongBracket(i_) >= 0)
                LongString(space);
            else
                Operator(space);
            space = false;
        }
        if (!brackets_.empty())
            throw CompileError(brackets_.back().line, std::string("unclosed '") + brackets_.back().open + "'");
        if (!toks_.empty() && toks_.back().type != TokType::Newline)
            Push(TokType::Newline, "", false);
        while (indents_.size() > 1) {
            indents_.pop_back();
            Push(TokType::Dedent, "", false);
        }
        Push(TokType::End, "", true);
        return std::move(toks_);
    }

private:
    struct Bracket {
        char open;
        size_t depth;
        int line;
        int indent, indentSince; // indent_ and indentSince_ where it opened
    };

    // The indentation a line's tokens stand at: its column, but inside '(' or '[' (outside a block
    // opened within them) the lines go on freely at the indentation of the line that opened it.
    void SetLineIndent(int column)
    {
        if (brackets_.empty() || brackets_.back().open == '{' || indents_.size() > brackets_.back().depth) {
            indent_ = column;
            indentSince_ = line_;
        } else {
            indent_ = brackets_.back().indent;
            indentSince_ = brackets_.back().indentSince;
        }
    }

    void Push(TokType type, std::string text, bool space)
    {
        Token token;
        token.type = type;
        token.text = std::move(text);
        token.line = line_;
        token.indent = indent_;
        token.indentSince = indentSince_;
        token.space = space;
        toks_.push_back(std::move(token));
    }

    // A line ending in a binary operator or a comma goes on on the next line: the comma or 'o' for an
    // operator; 0 when the line ends.
    char Continues() const
    {
        if (toks_.empty())
            return 0;
        const Token& t = toks_.back();
        if (t.type == TokType::Keyword)
            return t.text == "and" || t.text == "or" ? 'o' : 0;
        if (t.type != TokType::Op)
            return 0;
        if (t.text == ",")
            return ',';
        if (toks_.size() > 1 && (t.text == "*" || t.text == "^") && toks_[toks_.size() - 2].type == TokType::Keyword)
            return 0; // 'local *', 'export ^'
        static const std::set<std::string> ops = {"+", "-", "*", "/", "//", "%", "^", "..", "==", "!=", "~=", "<",
                                                  ">", "<=", ">=", "&", "|", "~", "<<", ">>"};
        return ops.count(t.text) != 0 ? 'o' : 0;
    }

    // The line at i_ starts with a table key: "name:" or "'key':" (not "::", a ':' right after the key).
    bool KeyLineAhead() const
    {
        size_t j = i_;
        if (j < src_.size() && (std::isalpha(static_cast<unsigned char>(src_[j])) || src_[j] == '_')) {
            while (j < src_.size() && (std::isalnum(static_cast<unsigned char>(src_[j])) || src_[j] == '_'))
                ++j;
        } else if (j < src_.size() && (src_[j] == '"' || src_[j] == '\'')) {
            const char quote = src_[j++];
            while (j < src_.size() && src_[j] != quote && src_[j] != '\n' && src_[j] != '\\')
                ++j;
            if (j >= src_.size() || src_[j] != quote)
                return false;
            ++j;
        } else {
            return false;
        }
        return j < src_.size() && src_[j] == ':' && (j + 1 >= src_.size() || src_[j + 1] != ':');
    }

    // The level of a long bracket "[==[" opening at pos (the number of '='), or -1.
    int LongBracket(size_t pos) const
    {
        if (pos >= src_.size() || src_[pos] != '[')
            return -1;
        size_t j = pos + 1;
        while (j < src_.size() && src_[j] == '=')
            ++j;
        return j < src_.size() && src_[j] == '[' ? static_cast<int>(j - pos - 1) : -1;
    }

    // Skips a long bracket at i_ to just past its close; returns its raw text.
    std::string SkipLong(int level, const char* what)
    {
        const size_t start = i_;
        const int startLine = line_;
        const std::string close = "]" + std::string(static_cast<size_t>(level), '=') + "]";
        const size_t end = src_.find(close, i_ + static_cast<size_t>(level) + 2);
        if (end == std::string::npos)
            throw CompileError(startLine, std::string("unterminated ") + what);
        for (size_t k = i_; k < end; ++k)
            if (src_[k] == '\n')
                ++line_;
        i_ = end + close.size();
        return src_.substr(start, i_ - start);
    }

    void LongString(bool space)
    {
        Token token;
        token.type = TokType::String;
        token.line = line_;
        token.space = space;
        token.quote = '[';
        token.text = SkipLong(LongBracket(i_), "long string");
        toks_.push_back(std::move(token));
    }

    // "[[x for x in a] for a in b]": at "[[", a list comprehension whose value is another one is taken
    // before a long string when the rest of the line reads as one; its tokens are appended here.
    bool NestedComprehension(bool space)
    {
        if (trialDepth_ >= kMaxTrialDepth)
            return false;
        const size_t end = src_.find('\n', i_);
        const std::string line = src_.substr(i_, end == std::string::npos ? std::string::npos : end - i_);
        Lexer trial(line, line_);
        trial.trialDepth_ = trialDepth_ + 1;
        trial.openFirst_ = true;
        std::vector<Token> tokens;
        try {
            tokens = trial.Run();
        } catch (const CompileError&) {
            return false;
        }
        if (!trial.closed_ || !ParsesAsComprehension(tokens))
            return false;
        while (!tokens.empty() && (tokens.back().type == TokType::End || tokens.back().type == TokType::Newline))
            tokens.pop_back();
        tokens[0].space = space;
        for (Token& t : tokens)
            toks_.push_back(std::move(t));
        i_ += trial.i_;
        return true;
    }

    // A "--" comment runs to the end of the line; "--[[ ... ]]" over several lines is a comment of
    // those lines (one that closes on its line still runs to the end of it).
    void SkipComment()
    {
        const int level = LongBracket(i_ + 2);
        const size_t close = level < 0 ? std::string::npos
                                       : src_.find("]" + std::string(static_cast<size_t>(level), '=') + "]", i_);
        if (level >= 0 && src_.find('\n', i_) < close) {
            i_ += 2;
            SkipLong(level, "long comment");
            return;
        }
        while (i_ < src_.size() && src_[i_] != '\n')
            ++i_;
    }

    // The indentation tokens of a line at column; goesOn: a line that goes on with a list after the
    // blocks it leaves, marked Cont where it is deeper than the block it returns to.
    void Layout(int column, bool goesOn = false)
    {
        const size_t base = brackets_.empty() ? 1 : brackets_.back().depth;
        if (!brackets_.empty() && column < indents_[base - 1])
            return; // a line inside brackets that starts left of the bracket's own line
        while (column < indents_.back() && indents_.size() > base) {
            indents_.pop_back();
            Push(TokType::Dedent, "", true);
        }
        if (column > indents_.back() && goesOn) {
            Push(TokType::Cont, "", true);
            toks_.back().indent = column;
        } else if (column > indents_.back()) {
            if (indents_.size() >= kMaxIndentDepth)
                throw CompileError(line_, "indentation too deep");
            indents_.push_back(column);
            Push(TokType::Indent, "", true);
            toks_.back().indent = column;
        } else if (column != indents_.back()) {
            throw CompileError(line_, "inconsistent indentation");
        }
    }

    void Word(bool space)
    {
        size_t j = i_;
        while (j < src_.size() && (std::isalnum(static_cast<unsigned char>(src_[j])) || src_[j] == '_'))
            ++j;
        std::string word = src_.substr(i_, j - i_);
        i_ = j;
        Push(kKeywords.count(word) ? TokType::Keyword : TokType::Name, word, space);
    }

    void Number(bool space)
    {
        size_t j = i_;
        auto digits = [&](auto test) {
            while (j < src_.size() && test(static_cast<unsigned char>(src_[j])))
                ++j;
        };
        if (src_.compare(i_, 2, "0x") == 0 || src_.compare(i_, 2, "0X") == 0) {
            j += 2;
            const size_t start = j;
            digits([](unsigned char ch) { return std::isxdigit(ch) != 0; });
            if (j == start)
                throw CompileError(line_, "malformed number");
        } else {
            digits([](unsigned char ch) { return std::isdigit(ch) != 0; });
            if (j + 1 < src_.size() && src_[j] == '.' && std::isdigit(static_cast<unsigned char>(src_[j + 1]))) {
                ++j;
                digits([](unsigned char ch) { return std::isdigit(ch) != 0; });
            }
            if (j < src_.size() && (src_[j] == 'e' || src_[j] == 'E')) {
                ++j;
                if (j < src_.size() && (src_[j] == '+' || src_[j] == '-'))
                    ++j;
                const size_t start = j;
                digits([](unsigned char ch) { return std::isdigit(ch) != 0; });
                if (j == start)
                    throw CompileError(line_, "malformed number");
            }
        }
        if (j < src_.size() && (std::isalnum(static_cast<unsigned char>(src_[j])) || src_[j] == '_'))
            throw CompileError(line_, "malformed number");
        Push(TokType::Number, src_.substr(i_, j - i_), space);
        i_ = j;
    }

    void String(bool space)
    {
        const char quote = src_[i_++];
        Token token;
        token.type = TokType::String;
        token.line = line_;
        token.space = space;
        token.quote = quote;
        std::string literal;
        while (true) {
            if (i_ >= src_.size())
                throw CompileError(token.line, "unterminated string");
            const char c = src_[i_];
            if (c == '\n' || c == '\r') {
                // A string may go on over lines; the line break is part of it.
                if (c == '\n') {
                    literal += "\\n";
                    token.text += "\\n";
                    ++line_;
                }
                ++i_;
                continue;
            }
            if (c == quote) {
                ++i_;
                break;
            }
            if (c == '\\') {
                if (i_ + 1 >= src_.size())
                    throw CompileError(token.line, "unterminated string");
                const size_t crlf = src_.compare(i_ + 1, 2, "\r\n") == 0 ? 1 : 0;
                if (src_[i_ + 1 + crlf] == '\n') {
                    // a backslash ending a line stays in the string, followed by the line break
                    literal += "\\\\n";
                    token.text += "\\\\n";
                    ++line_;
                    i_ += 2 + crlf;
                    continue;
                }
                const size_t length = EscapeLength();
                if (length == 0)
                    throw CompileError(token.line, std::string("invalid escape sequence '\\") + src_[i_ + 1] + "'");
                literal += src_.substr(i_, length);
                token.text += src_.substr(i_, length);
                i_ += length;
                continue;
            }
            if (quote == '"' && c == '#' && i_ + 1 < src_.size() && src_[i_ + 1] == '{') {
                if (!literal.empty())
                    token.parts.push_back({false, literal});
                literal.clear();
                i_ += 2;
                token.parts.push_back({true, InterpolatedSource(token.line)});
                continue;
            }
            literal += c;
            token.text += c;
            ++i_;
        }
        if (!literal.empty())
            token.parts.push_back({false, literal});
        toks_.push_back(std::move(token));
    }

    // The length of the escape sequence at i_ as Lua reads it, or 0 when Lua would refuse it.
    size_t EscapeLength() const
    {
        auto at = [&](size_t k) { return i_ + k < src_.size() ? static_cast<unsigned char>(src_[i_ + k]) : 0; };
        const unsigned char c = at(1);
        if (std::string("abfnrtvz\\\"'").find(static_cast<char>(c)) != std::string::npos && c != 0)
            return 2;
        if (c == 'x')
            return std::isxdigit(at(2)) && std::isxdigit(at(3)) ? 4 : 0;
        if (std::isdigit(c)) {
            size_t k = 1;
            int value = 0;
            while (k < 4 && std::isdigit(at(k)))
                value = value * 10 + (at(k++) - '0');
            return value <= 255 ? k : 0;
        }
        if (c == 'u' && at(2) == '{') {
            size_t k = 3;
            unsigned long value = 0;
            while (std::isxdigit(at(k))) {
                value = value * 16 + static_cast<unsigned long>(std::isdigit(at(k)) ? at(k) - '0' : (at(k) | 0x20) - 'a' + 10);
                if (value > 0x7FFFFFFFul)
                    return 0;
                ++k;
            }
            return k > 3 && at(k) == '}' ? k + 1 : 0;
        }
        return 0;
    }

    // The text of "#{...}" up to its matching brace, skipping braces inside quoted strings.
    std::string InterpolatedSource(int startLine)
    {
        const size_t start = i_;
        int depth = 1;
        char inQuote = 0;
        while (i_ < src_.size() && src_[i_] != '\n') {
            const char c = src_[i_];
            if (inQuote) {
                if (c == '\\')
                    ++i_;
                else if (c == inQuote)
                    inQuote = 0;
            } else if (c == '"' || c == '\'') {
                inQuote = c;
            } else if (c == '{') {
                ++depth;
            } else if (c == '}' && --depth == 0) {
                std::string text = src_.substr(start, i_ - start);
                ++i_;
                return text;
            }
            ++i_;
        }
        throw CompileError(startLine, "unterminated string interpolation");
    }

    void Operator(bool space)
    {
        for (const char* op : kOperators) {
            const std::string text = op;
            if (src_.compare(i_, text.size(), text) != 0)
                continue;
            i_ += text.size();
            if (text == "(" || text == "{" || text == "[") {
                Push(TokType::Op, text, space);
                brackets_.push_back({text[0], indents_.size(), line_, indent_, indentSince_});
            } else if (text == ")" || text == "}" || text == "]") {
                const char open = text == ")" ? '(' : text == "}" ? '{' : '[';
                if (brackets_.empty() || brackets_.back().open != open)
                    throw CompileError(line_, "unexpected '" + text + "'");
                while (indents_.size() > brackets_.back().depth) {
                    indents_.pop_back();
                    Push(TokType::Dedent, "", true);
                }
                indent_ = brackets_.back().indent;
                indentSince_ = brackets_.back().indentSince;
                brackets_.pop_back();
                Push(TokType::Op, text, space);
                if (openFirst_ && brackets_.empty())
                    closed_ = true; // a trial of "[[" ends at its bracket's close
            } else {
                Push(TokType::Op, text, space);
            }
            return;
        }
        const unsigned char c = static_cast<unsigned char>(src_[i_]);
        if (std::isprint(c))
            throw CompileError(line_, std::string("unexpected character '") + src_[i_] + "'");
        throw CompileError(line_, "unexpected character (byte " + std::to_string(c) + ")");
    }

    const std::string& src_;
    size_t i_ = 0;
    int line_;
    std::vector<Token> toks_;
    std::vector<int> indents_{0};
    std::vector<Bracket> brackets_;
    char continued_ = 0; // the line before ended in a comma (',') or an operator ('o')
    int indent_ = 0;      // the indentation of the line being read (SetLineIndent)
    int indentSince_ = 0; // the line where that indentation was set
    bool openFirst_ = false; // a trial of "[[": the first '[' is a bracket
    bool closed_ = false;
    int trialDepth_ = 0;
};

} // namespace

std::vector<Token> Lex(const std::string& source, int firstLine)
{
    return Lexer(source, firstLine).Run();
}

bool IsLuaKeyword(const std::string& word)
{
    return kLuaKeywords.count(word) != 0;
}

} // namespace moonc
