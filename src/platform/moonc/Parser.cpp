// Recursive-descent parser for our MoonScript dialect. Anything outside the supported language is
// reported with its line as "unsupported: ..." rather than guessed at.
#include <algorithm>
#include <map>
#include <set>

#include "platform/moonc/Ast.h"

namespace moonc {

namespace {

constexpr int kMaxDepth = 120;

bool IsUpdateOp(const std::string& text)
{
    static const std::set<std::string> ops = {"+=", "-=", "*=", "/=", "..=", "%=", "^=", "//=", "&=", "|=", "<<=", ">>="};
    return ops.count(text) != 0;
}

// Lua's own precedence levels, so an operator chain means the same once emitted.
int BinaryPrecedence(const Token& t)
{
    if (t.type == TokType::Keyword)
        return t.text == "or" ? 1 : t.text == "and" ? 2 : 0;
    if (t.type != TokType::Op)
        return 0;
    static const std::map<std::string, int> levels = {
        {"<", 3},  {">", 3},  {"<=", 3}, {">=", 3}, {"!=", 3}, {"~=", 3}, {"==", 3}, {"|", 4},
        {"~", 5},  {"&", 6},  {"<<", 7}, {">>", 7}, {"..", 8}, {"+", 9},  {"-", 9},  {"*", 10},
        {"/", 10}, {"//", 10}, {"%", 10}, {"^", 12}};
    const auto it = levels.find(t.text);
    return it == levels.end() ? 0 : it->second;
}

constexpr int kUnaryPrecedence = 11;
// Lua parses a run of right-associative operators recursively; longer runs are refused here.
constexpr int kMaxRightChain = 150;

class Parser {
public:
    Parser(const std::vector<Token>& tokens, int depth) : toks_(tokens), depth_(depth) {}

    Block File()
    {
        Block block;
        while (Peek().type != TokType::End) {
            if (Peek().type == TokType::Newline) {
                Next();
                continue;
            }
            AddStatement(block);
        }
        return block;
    }

    bool WholeComprehension()
    {
        if (!IsOp("["))
            return false;
        NodeP n = Comprehension();
        return n->kind == Kind::Comprehension && (Peek().type == TokType::Newline || Peek().type == TokType::End);
    }

    // One expression and nothing else (the inside of "#{...}").
    NodeP Solo()
    {
        if (Peek().type == TokType::Newline || Peek().type == TokType::End)
            throw CompileError(Peek().line, "empty string interpolation");
        NodeP e = Expr();
        while (Peek().type == TokType::Newline)
            Next();
        if (Peek().type != TokType::End)
            throw CompileError(Peek().line, "unexpected " + Describe(Peek()) + " in string interpolation");
        return e;
    }

private:
    struct Guard {
        explicit Guard(Parser& p) : parser(p)
        {
            if (++parser.depth_ > kMaxDepth)
                throw CompileError(parser.Peek().line, "nesting too deep");
        }
        ~Guard() { --parser.depth_; }
        Parser& parser;
    };

    const Token& Peek(size_t k = 0) const
    {
        const size_t at = pos_ + k;
        return at < toks_.size() ? toks_[at] : toks_.back();
    }
    const Token& Next()
    {
        const Token& t = Peek();
        if (pos_ < toks_.size() - 1)
            ++pos_;
        return t;
    }
    bool IsOp(const char* text, size_t k = 0) const
    {
        return Peek(k).type == TokType::Op && Peek(k).text == text;
    }
    bool IsKw(const char* text, size_t k = 0) const
    {
        return Peek(k).type == TokType::Keyword && Peek(k).text == text;
    }
    bool IsLayout(size_t k = 0) const
    {
        const TokType type = Peek(k).type;
        return type == TokType::Newline || type == TokType::Indent || type == TokType::Dedent || type == TokType::Cont;
    }
    // After a comma of a list that is not an argument list: the next line simply goes on.
    void SkipCont()
    {
        if (Peek().type == TokType::Cont)
            Next();
    }
    void SkipLayout()
    {
        while (IsLayout())
            Next();
    }
    static std::string Describe(const Token& t)
    {
        switch (t.type) {
        case TokType::Newline: return "end of line";
        case TokType::Indent: return "indentation";
        case TokType::Dedent: return "end of block";
        case TokType::End: return "end of file";
        case TokType::Cont: return "continued line";
        case TokType::String: return "string";
        default: return "'" + t.text + "'";
        }
    }
    // The last token taken closed an indented block.
    bool AfterBlock() const { return pos_ > 0 && toks_[pos_ - 1].type == TokType::Dedent; }
    [[noreturn]] void Fail(const std::string& message) const { throw CompileError(Peek().line, message); }
    [[noreturn]] void Unsupported(const std::string& what) const
    {
        throw CompileError(Peek().line, "unsupported: " + what);
    }
    void ExpectOp(const char* text)
    {
        if (!IsOp(text))
            Fail(std::string("expected '") + text + "' but found " + Describe(Peek()));
        Next();
    }
    NodeP Make(Kind kind, int line) { return std::make_unique<Node>(kind, line); }

    std::string NameToken(const char* what)
    {
        const Token& t = Peek();
        if (t.type != TokType::Name)
            Fail(std::string("expected ") + what + " but found " + Describe(t));
        if (IsLuaKeyword(t.text))
            Fail("'" + t.text + "' cannot be used as a name");
        Next();
        return t.text;
    }

    // A field or method name after '.', '\' or '@': any word.
    std::string FieldToken()
    {
        const Token& t = Peek();
        if ((t.type != TokType::Name && t.type != TokType::Keyword) || t.space)
            Fail("expected a field name but found " + Describe(t));
        Next();
        return t.text;
    }

    // A list separator: a comma, or the one an inner argument list took before the line that ended it.
    bool TakeComma()
    {
        if (pendingComma_) {
            pendingComma_ = false;
            return true;
        }
        if (!IsOp(","))
            return false;
        commaLine_ = Next().line;
        return true;
    }

    // ---- statements ----

    void AddStatement(Block& block)
    {
        if (!block.empty() && block.back()->kind == Kind::Return)
            Fail("'return' must be the last statement of its block");
        block.push_back(Decorated(Statement()));
        EndStatement();
    }

    void EndStatement()
    {
        if (pendingComma_ && Peek().type == TokType::Newline && Peek(1).type == TokType::Dedent) {
            Next(); // the comma ending the block's last line is a list's outside the block
            return;
        }
        if (pendingComma_ || Peek().type == TokType::Cont) {
            if (Peek().type != TokType::Cont)
                throw CompileError(commaLine_, "expected a value after ','");
            if (lastLevelLine_ > 0)
                Fail("a continued line does not line up with the arguments on line " + std::to_string(lastLevelLine_) +
                     " (column " + std::to_string(lastLevel_ + 1) + ")");
            Fail("a continued line must be indented deeper than the line it continues");
        }
        if (Peek().type == TokType::Newline) {
            Next();
            return;
        }
        if (Peek().type == TokType::Dedent || Peek().type == TokType::End)
            return;
        if (AfterBlock())
            return;
        Fail("unexpected " + Describe(Peek()));
    }

    // "stmt if cond", "stmt unless cond", "stmt for ...", "stmt while cond" (applied left to right).
    NodeP Decorated(NodeP statement)
    {
        while (!AfterBlock() && (IsKw("if") || IsKw("unless") || IsKw("for") || IsKw("while"))) {
            if (statement->kind == Kind::Return && !IsKw("if") && !IsKw("unless"))
                Fail("'return' can only be decorated with 'if' or 'unless'");
            const Token& t = Next();
            NodeP n;
            if (t.text == "if" || t.text == "unless") {
                n = Make(Kind::If, t.line);
                n->unless = t.text == "unless";
                n->x().conds.push_back(Expr());
                n->x().blocks.emplace_back();
                n->x().blocks.back().push_back(std::move(statement));
                if (t.text == "if" && IsKw("else")) {
                    // "stmt if cond else other": other runs when cond fails
                    Next();
                    n->x().conds.push_back(nullptr);
                    n->x().blocks.emplace_back();
                    n->x().blocks.back().push_back(SimpleStatement());
                }
            } else if (t.text == "while") {
                n = Make(Kind::While, t.line);
                n->a = Expr();
                n->body.push_back(std::move(statement));
            } else {
                // "stmt for a in x for b in a when cond": the clauses nest in the order written, the
                // first outermost, and the statement runs for the passes that meet every 'when'
                std::vector<NodeP> clauses;
                clauses.push_back(ForLoop(t.line));
                while (IsKw("when") || IsKw("for")) {
                    const int line = Next().line;
                    if (toks_[pos_ - 1].text == "for") {
                        clauses.push_back(ForLoop(line));
                        clauses.back()->isLocal = true;
                        continue;
                    }
                    NodeP guard = Make(Kind::If, line);
                    guard->isLocal = true;
                    guard->x().conds.push_back(Expr());
                    guard->x().blocks.emplace_back();
                    clauses.push_back(std::move(guard));
                }
                while (clauses.size() > 1) {
                    NodeP inner = std::move(clauses.back());
                    clauses.pop_back();
                    (inner->kind == Kind::If ? inner->x().blocks[0] : inner->body).push_back(std::move(statement));
                    statement = std::move(inner);
                }
                n = std::move(clauses[0]);
                n->body.push_back(std::move(statement));
            }
            n->isLocal = true; // made by a decorator: a new name it assigns belongs to the enclosing block
            statement = std::move(n);
        }
        return statement;
    }

    Block IndentedBlock()
    {
        Guard guard(*this);
        Next(); // Indent
        Block block;
        while (true) {
            if (Peek().type == TokType::Dedent) {
                Next();
                break;
            }
            if (Peek().type == TokType::End)
                break;
            if (Peek().type == TokType::Newline) {
                Next();
                continue;
            }
            AddStatement(block);
        }
        return block;
    }

    // The block after a line that opens one; an empty block when the next line is not indented.
    Block OptBlock()
    {
        if (Peek().type == TokType::Newline && Peek(1).type == TokType::Indent) {
            Next();
            return IndentedBlock();
        }
        if (Peek().type == TokType::Newline || Peek().type == TokType::End)
            return {};
        if (IsKw("do")) {
            Next();
            if (Peek().type == TokType::Newline && Peek(1).type == TokType::Indent) {
                Next(); // "while cond do" with the body on the indented lines below
                return IndentedBlock();
            }
            Block block;
            block.push_back(Decorated(Statement()));
            return block;
        }
        Fail("expected end of line but found " + Describe(Peek()));
    }

    // 'then' with one statement on the same line, or an indented block.
    Block Body(bool* inlineBody)
    {
        *inlineBody = false;
        if (IsKw("then")) {
            Next();
            *inlineBody = true;
            Block block;
            block.push_back(Statement());
            return block;
        }
        return OptBlock();
    }

    NodeP Statement()
    {
        Guard guard(*this);
        const Token& t = Peek();
        if (t.type == TokType::Indent)
            Fail("unexpected indentation");
        if (t.type == TokType::Keyword) {
            const std::string& k = t.text;
            if (k == "if" || k == "unless")
                return If();
            if (k == "switch")
                return Switch();
            if (k == "while")
                return While();
            if (k == "for")
                return For();
            if (k == "return")
                return Return();
            if (k == "export")
                return Export();
            if (k == "class" && Peek(1).type == TokType::Name)
                return Class(false);
            if (k == "break" || k == "continue")
                return Make(Next().text == "break" ? Kind::Break : Kind::Continue, t.line);
            if (k == "do")
                return Do();
            if (k == "local")
                return Local();
            if (k == "import")
                return Import();
            if (k == "with")
                return With();
        }
        return SimpleStatement();
    }

    // inlineBody: a function body on its arrow's line, whose list ends with its line ("{f: -> 1," / "g: 2}":
    // the comma is the table's).
    NodeP SimpleStatement(bool inlineBody = false)
    {
        const int line = Peek().line;
        std::vector<NodeP> exprs;
        if (KeyAhead()) {
            // "-> a: 1, b: 2": a table without braces as the value
            NodeP n = Make(Kind::ExprStmt, line);
            n->a = ImplicitTable(false);
            return n;
        }
        if (withDepth_ > 0 && IsOp("[") && (IsOp("=", MatchingBracket(0) + 1) ||
                                            (Peek(MatchingBracket(0) + 1).type == TokType::Op &&
                                             IsUpdateOp(Peek(MatchingBracket(0) + 1).text)))) {
            // "[key] = value" inside 'with': an index of the with object
            NodeP index = Make(Kind::Index, Next().line);
            index->a = Make(Kind::WithRef, line);
            ++brackets_;
            index->b = Expr();
            ExpectOp("]");
            --brackets_;
            exprs.push_back(std::move(index));
        } else {
            exprs.push_back(Expr());
        }
        while (IsOp(",")) {
            Next();
            if ((inlineBody && IsLayout()) || (Peek().type == TokType::Newline && Peek(1).type == TokType::Dedent)) {
                pendingComma_ = true; // (a comma ending a block's last line: the list's around the block)
                break;
            }
            SkipCont();
            if (KeyAhead()) {
                exprs.push_back(ImplicitTable(false, true)); // "x, a: 1": the rest is one table
                break;
            }
            exprs.push_back(Expr());
        }
        if (exprs.size() == 1 && Peek().type == TokType::Newline && Peek(1).type == TokType::Indent && KeyAhead(2))
            CallWithKeyLines(exprs[0]);
        if (IsOp("=")) {
            Next();
            NodeP n = Make(Kind::Assign, line);
            for (auto& e : exprs)
                CheckAssignable(*e);
            n->items = std::move(exprs);
            ValueList(n->x().items2);
            // "X = class ...": an unnamed class takes the name it is assigned to
            Node& value = *n->x().items2[0];
            if (n->items.size() == 1 && n->items[0]->kind == Kind::Name && value.kind == Kind::Class &&
                value.text.empty() && !value.b)
                value.text = n->items[0]->text;
            return n;
        }
        if ((Peek().type == TokType::Op && IsUpdateOp(Peek().text)) || UpdateKeywordAhead()) {
            if (exprs.size() != 1)
                Fail("an update assignment takes one target");
            CheckAssignable(*exprs[0]);
            if (exprs[0]->kind == Kind::Table)
                Fail("cannot update a destructuring pattern");
            NodeP n = Make(Kind::Update, line);
            n->text = Next().text;
            if (n->text == "or" || n->text == "and")
                Next();
            else
                n->text.pop_back();
            n->a = std::move(exprs[0]);
            n->b = Expr();
            return n;
        }
        NodeP n = Make(Kind::ExprStmt, line);
        if (exprs.size() == 1)
            n->a = std::move(exprs[0]);
        else
            n->items = std::move(exprs); // only valid as a block's last statement, which returns them
        return n;
    }

    // "f 1" / "  a: 2" and "obj.f" / "  a: 2": the indented key lines are a table passed to the last
    // value of the line: called when it is a name, field or call, else the last argument of the
    // innermost call without brackets.
    void CallWithKeyLines(NodeP& e)
    {
        NodeP* last = &e;
        NodeP* call = nullptr;
        while (((*last)->kind == Kind::Call || (*last)->kind == Kind::Method) && (*last)->bare) {
            call = last;
            last = &(*last)->items.back();
        }
        Node& v = **last;
        const bool chain = Callable(v) || v.kind == Kind::Call || v.kind == Kind::Method;
        if (!chain && !call)
            return;
        Next();
        Next();
        NodeP table = ImplicitTable(true);
        if (!chain) {
            (*call)->items.push_back(std::move(table));
        } else if (v.kind == Kind::Method && v.value) {
            v.value = false; // "obj\m" / "  a: 1": the method called with the table
            v.items.push_back(std::move(table));
        } else {
            NodeP n = CallOf(std::move(*last), table->line);
            n->items.push_back(std::move(table));
            *last = std::move(n);
        }
    }

    // The values after '=' or 'return' (or a bare argument list, args): a list on the line, or one value
    // on the indented lines below. An argument list goes on over lines after a trailing comma: its first
    // continued line, deeper than the line it started on, sets its column, and the lines that line up
    // with it go on with it; any other line ends it and is left to the enclosing lists.
    void ValueList(std::vector<NodeP>& values, bool args = false)
    {
        if (!args && Peek().type == TokType::Newline && Peek(1).type == TokType::Indent) {
            Next();
            Next();
            if (KeyAhead()) {
                values.push_back(ImplicitTable(true));
                return;
            }
            values.push_back(Expr());
            while (Peek().type == TokType::Newline)
                Next();
            if (Peek().type != TokType::Dedent)
                Fail("expected the end of the indented value but found " + Describe(Peek()));
            Next();
            return;
        }
        // A new list's lines go deeper than the latest indentation: its line's, or the column of the
        // enclosing argument list when that was set later.
        const int top = argLevelLine_ > Peek().indentSince ? argLevel_ : Peek().indent;
        int level = -1, levelLine = 0;
        struct Restore {
            Parser& p;
            int level, line;
            ~Restore()
            {
                p.argLevel_ = level;
                p.argLevelLine_ = line;
            }
        } restore{*this, argLevel_, argLevelLine_};
        while (true) {
            if (KeyAhead()) {
                values.push_back(ImplicitTable(false, !args)); // the rest of the list is one table
                if (!pendingComma_)
                    return;
                pendingComma_ = false;
            } else {
                values.push_back(Expr());
                if (!TakeComma())
                    return;
            }
            if (args && (IsOp(")") || IsOp("}") || IsOp("]"))) {
                pendingComma_ = true; // "{f 1, }": the comma before the bracket is the bracket's
                return;
            }
            if (Peek().type == TokType::Newline && Peek(1).type == TokType::Indent && KeyAhead(2)) {
                // "f 1," / "  x: 1" / "  y: 2": a table of the indented key lines ends the list (one
                // that has not gone on over lines yet, or at the column it goes on at)
                if (args && (level >= 0 ? Peek(1).indent != level : Peek(1).indent <= top)) {
                    pendingComma_ = true;
                    return;
                }
                Next();
                Next();
                values.push_back(ImplicitTable(true));
                return;
            }
            if (Peek().type == TokType::Newline || Peek().type == TokType::Indent || Peek().type == TokType::Dedent) {
                pendingComma_ = true; // the line ended its block: the comma is the enclosing list's
                return;
            }
            if (Peek().type != TokType::Cont)
                continue;
            const Token& cont = Peek();
            const bool closes = IsOp(")", 1) || IsOp("}", 1) || IsOp("]", 1);
            if (args && (closes || !(level < 0 ? cont.indent > top : cont.indent == level))) {
                // the line is not this list's: the comma before it separates an enclosing list
                pendingComma_ = true;
                if (level >= 0) {
                    lastLevel_ = level;
                    lastLevelLine_ = levelLine;
                }
                return;
            }
            if (level < 0) {
                level = argLevel_ = cont.indent;
                levelLine = argLevelLine_ = cont.line;
            }
            Next();
        }
    }

    // A destructuring pattern: a table whose values are names, fields or patterns again.
    void CheckPattern(const Node& table) const
    {
        for (const Entry& entry : table.x().entries) {
            if (!entry.value)
                throw CompileError(entry.line, "cannot destructure into this expression");
            CheckAssignable(*entry.value);
        }
    }

    void CheckAssignable(const Node& e) const
    {
        if (e.kind == Kind::Table) {
            CheckPattern(e);
            return;
        }
        if (e.kind == Kind::Name && e.text == "self")
            throw CompileError(e.line, "cannot assign to self");
        if (e.kind == Kind::Self && !e.selfName)
            return; // "@ = value" replaces self
        if ((e.kind != Kind::Name && e.kind != Kind::Field && e.kind != Kind::Index) ||
            (e.kind == Kind::Index && e.text == "slice"))
            throw CompileError(e.line, "cannot assign to this expression");
    }

    NodeP If()
    {
        const Token& first = Next();
        NodeP n = Make(Kind::If, first.line);
        n->unless = first.text == "unless";
        bool inlineBody = false;
        n->x().conds.push_back(Condition(&n->c));
        n->x().blocks.push_back(Body(&inlineBody));
        while (true) {
            if (inlineBody && Peek().type == TokType::Newline && (IsKw("else", 1) || IsKw("elseif", 1)))
                Next();
            if (IsKw("elseif")) {
                Next();
                auto& assigns = n->x().items2;
                assigns.resize(n->x().conds.size());
                assigns.emplace_back();
                n->x().conds.push_back(Condition(&assigns.back()));
                n->x().blocks.push_back(Body(&inlineBody));
                continue;
            }
            if (IsKw("else")) {
                Next();
                n->x().conds.push_back(nullptr);
                n->x().blocks.push_back(ElseBody());
            }
            break;
        }
        return n;
    }

    Block ElseBody()
    {
        if (Peek().type == TokType::Newline || Peek().type == TokType::End)
            return OptBlock();
        Block block;
        block.push_back(Decorated(Statement())); // "else b unless c": the decorator is the else's
        return block;
    }

    NodeP Switch()
    {
        const int line = Next().line;
        NodeP n = Make(Kind::Switch, line);
        n->a = Expr();
        if (Peek().type != TokType::Newline || Peek(1).type != TokType::Indent)
            Fail("expected 'when' lines below 'switch'");
        Next();
        Next();
        bool haveElse = false;
        while (Peek().type != TokType::Dedent && Peek().type != TokType::End) {
            if (Peek().type == TokType::Newline) {
                Next();
                continue;
            }
            if (IsKw("when") && !haveElse) {
                Next();
                std::vector<NodeP> values;
                values.push_back(Expr());
                while (IsOp(",")) {
                    Next();
                    SkipCont();
                    values.push_back(Expr());
                }
                bool inlineBody = false;
                n->x().conds2.push_back(std::move(values));
                n->x().blocks.push_back(Body(&inlineBody));
            } else if (IsKw("else") && !haveElse && !n->x().conds2.empty()) {
                Next();
                haveElse = true;
                n->x().blocks.push_back(ElseBody());
            } else {
                Fail("expected 'when' but found " + Describe(Peek()));
            }
            EndStatement();
        }
        if (n->x().conds2.empty())
            Fail("'switch' needs at least one 'when'");
        Next(); // Dedent
        return n;
    }

    NodeP While()
    {
        const int line = Next().line;
        NodeP n = Make(Kind::While, line);
        const bool outer = loopHead_;
        loopHead_ = true;
        n->a = Condition(&n->c);
        if (n->c)
            n->c->isLocal = true; // "while x = f!": always a local of the loop
        loopHead_ = outer;
        n->body = OptBlock();
        return n;
    }

    // A condition, or "name = value" whose value is the condition; the assignment goes to *assignment
    // (it assigns a visible name, else a local of the statement).
    NodeP Condition(NodeP* assignment)
    {
        NodeP cond = Expr();
        if (!IsOp("="))
            return cond;
        if (cond->kind != Kind::Name)
            Fail("only a name can be assigned in a condition");
        NodeP assign = Make(Kind::Assign, cond->line);
        NodeP name = Make(Kind::Name, cond->line);
        name->text = cond->text;
        assign->items.push_back(std::move(cond));
        Next();
        assign->x().items2.push_back(Expr());
        *assignment = std::move(assign);
        return name;
    }

    // "do" with a block or one statement; a value too.
    NodeP Do()
    {
        NodeP n = Make(Kind::Do, Next().line);
        if (Peek().type == TokType::Newline && Peek(1).type == TokType::Indent) {
            Next();
            n->body = IndentedBlock();
        } else {
            n->body.push_back(Statement());
        }
        return n;
    }

    NodeP Local()
    {
        const int line = Next().line;
        if (IsOp("*") || IsOp("^")) {
            NodeP n = Make(Kind::Local, line);
            n->text = Next().text;
            return n;
        }
        NodeP n = NamesOrAssignment(Kind::Local, line);
        if (n->kind == Kind::Assign)
            n->isLocal = true;
        return n;
    }

    // "a, b" as a declaration of the given kind, or "a, b = values" as an assignment to those names.
    NodeP NamesOrAssignment(Kind declaration, int line)
    {
        std::vector<std::string> names;
        names.push_back(NameToken("a name"));
        while (IsOp(",")) {
            Next();
            SkipCont();
            names.push_back(NameToken("a name"));
        }
        if (!IsOp("=")) {
            NodeP n = Make(declaration, line);
            n->names = std::move(names);
            return n;
        }
        Next();
        NodeP n = Make(Kind::Assign, line);
        for (const auto& name : names) {
            NodeP target = Make(Kind::Name, line);
            target->text = name;
            n->items.push_back(std::move(target));
        }
        ValueList(n->x().items2);
        return n;
    }

    // "import a, \b from source": a = source.a, b = source's method b bound to source. The names may
    // stand on lines of their own, 'from' too.
    NodeP Import()
    {
        NodeP n = Make(Kind::Import, Next().line);
        int indents = 0;
        auto skipLines = [&] {
            while (IsLayout()) {
                if (Peek().type == TokType::Indent)
                    ++indents;
                else if (Peek().type == TokType::Dedent && --indents < 0)
                    Fail("expected 'from' but found " + Describe(Peek()));
                Next();
            }
        };
        skipLines();
        while (true) {
            if (IsOp("\\")) {
                Next();
                n->names.push_back("\\" + NameToken("a name"));
            } else {
                n->names.push_back(NameToken("a name"));
            }
            const int line = toks_[pos_ - 1].line;
            if (IsOp(","))
                Next();
            skipLines();
            if (IsKw("from"))
                break;
            if (Peek().type != TokType::Name && !IsOp("\\"))
                throw CompileError(line, "expected 'from' but found " + Describe(Peek()));
        }
        Next();
        n->a = Expr();
        if (indents > 0) {
            while (Peek().type == TokType::Newline)
                Next();
            for (; indents > 0; --indents) {
                if (Peek().type != TokType::Dedent)
                    Fail("unexpected " + Describe(Peek()) + " after the import");
                Next();
            }
        }
        return n;
    }

    // "with object" (or "with name = object") and a block in which ".x" and "\\m" refer to it.
    NodeP With()
    {
        NodeP n = Make(Kind::With, Next().line);
        if (Peek().type == TokType::Name && IsOp("=", 1)) {
            n->text = NameToken("a name");
            Next();
        }
        const bool outer = loopHead_;
        loopHead_ = true; // "with obj do stmt": the do is the body's
        n->a = Expr();
        loopHead_ = outer;
        if (n->text.empty() && n->a->kind == Kind::Name && IsOp(",")) {
            // "with a, b = 1, 2": the assignment, then 'with a', in a block of their own; in "with a, b"
            // the names after the first are not used
            std::vector<NodeP> targets;
            targets.push_back(std::move(n->a));
            while (IsOp(",")) {
                Next();
                targets.push_back(Expr());
                if (targets.back()->kind != Kind::Name)
                    Fail("expected a name in the list of 'with'");
            }
            n->a = Make(Kind::Name, n->line);
            n->a->text = targets[0]->text;
            if (IsOp("=")) {
                Next();
                NodeP assign = Make(Kind::Assign, n->line);
                assign->items = std::move(targets);
                ValueList(assign->x().items2);
                NodeP block = Make(Kind::Do, n->line);
                block->body.push_back(std::move(assign));
                ++withDepth_;
                n->body = OptBlock();
                --withDepth_;
                block->body.push_back(std::move(n));
                return block;
            }
        }
        if (n->text.empty() && IsOp("=")) {
            // "with .sub = value", "with t.x = value": the object is also assigned to that target
            CheckAssignable(*n->a);
            if (n->a->kind == Kind::Table)
                Fail("cannot destructure the object of 'with'");
            Next();
            n->b = std::move(n->a);
            n->a = Expr();
        }
        ++withDepth_;
        n->body = OptBlock();
        --withDepth_;
        return n;
    }

    // The head of a for loop or comprehension clause after 'for'; fills names and exprs.
    Clause::ClauseKind ForHead(std::vector<std::string>& names, std::vector<NodeP>& exprs, NodeP* pattern = nullptr)
    {
        // "for {a, b} in ...", "for k, {a, b} in ...": a loop variable is destructured
        auto variable = [&] {
            if (!pattern || !IsOp("{")) {
                names.push_back(NameToken("a loop variable"));
                return;
            }
            if (!*pattern)
                *pattern = Make(Kind::Table, Peek().line);
            Entry entry;
            entry.value = Table();
            CheckPattern(*entry.value);
            (*pattern)->x().entries.resize(names.size());
            (*pattern)->x().entries.push_back(std::move(entry));
            names.push_back("__pattern" + std::to_string(names.size()));
        };
        variable();
        if (IsOp("=")) {
            Next();
            exprs.push_back(Expr());
            ExpectOp(",");
            exprs.push_back(Expr());
            if (IsOp(",")) {
                Next();
                exprs.push_back(Expr());
            }
            return Clause::NumFor;
        }
        while (IsOp(",")) {
            Next();
            variable();
        }
        if (!IsKw("in"))
            Fail("expected 'in' or '=' but found " + Describe(Peek()));
        Next();
        if (IsOp("*")) {
            Next();
            if (names.size() != 1)
                Fail("'for ... in *list' takes one variable");
            NodeP list = Expr();
            if (list->kind == Kind::Index && list->text == "slice") {
                exprs.push_back(std::move(list->a));
                exprs.push_back(std::move(list->b));
                exprs.push_back(std::move(list->c));
                exprs.push_back(list->items.empty() ? nullptr : std::move(list->items[0]));
            } else {
                exprs.push_back(std::move(list));
            }
            return Clause::ForEach;
        }
        exprs.push_back(Expr());
        while (IsOp(",")) {
            Next();
            exprs.push_back(Expr());
        }
        return Clause::ForIn;
    }

    NodeP For()
    {
        const int line = Next().line;
        NodeP n = ForLoop(line);
        n->body = OptBlock();
        return n;
    }

    // The loop after 'for', without its body.
    NodeP ForLoop(int line)
    {
        std::vector<std::string> names;
        std::vector<NodeP> exprs;
        NodeP pattern;
        const bool outer = loopHead_;
        loopHead_ = true;
        const Clause::ClauseKind kind = ForHead(names, exprs, &pattern);
        loopHead_ = outer;
        NodeP n = Make(kind == Clause::NumFor ? Kind::NumFor : kind == Clause::ForEach ? Kind::ForEach : Kind::ForIn,
                       line);
        n->names = std::move(names);
        n->pattern = std::move(pattern);
        if (kind == Clause::ForIn || kind == Clause::ForEach) {
            n->items = std::move(exprs);
        } else {
            n->a = std::move(exprs[0]);
            if (kind == Clause::NumFor) {
                n->b = std::move(exprs[1]);
                if (exprs.size() > 2)
                    n->c = std::move(exprs[2]);
            }
        }
        return n;
    }

    NodeP Return()
    {
        const int line = Next().line;
        NodeP n = Make(Kind::Return, line);
        if (Peek().type == TokType::Newline || Peek().type == TokType::Dedent || Peek().type == TokType::End ||
            IsKw("else") || ((IsKw("if") || IsKw("unless")) && !InlineIfAhead()))
            return n; // "return if cond": a decorated return
        ValueList(n->items);
        return n;
    }

    NodeP Export()
    {
        const int line = Next().line;
        if (IsKw("class"))
            return Class(true);
        if (IsOp("*") || IsOp("^")) {
            NodeP n = Make(Kind::Export, line);
            n->text = Next().text;
            return n;
        }
        if (Peek().type != TokType::Name)
            Unsupported("'export' of " + Describe(Peek()));
        NodeP n = NamesOrAssignment(Kind::Export, line);
        if (n->kind == Kind::Assign)
            n->exported = true;
        return n;
    }

    // "class Name [extends Parent]" and its body: "name: value" members, "@name: value" fields of the
    // class object, and other statements (run once the class exists, with self as the class).
    // value = the class is an expression, whose name may be left out.
    NodeP Class(bool exported, bool value = false)
    {
        const int line = Next().line;
        NodeP n = Make(Kind::Class, line);
        n->exported = exported;
        n->value = value;
        if (!value || Peek().type == TokType::Name) {
            n->text = NameToken("a class name");
            if (IsOp(".") && !Peek().space && !exported) {
                // "class a.b.C": the class is assigned to that field
                NodeP target = Make(Kind::Name, line);
                target->text = n->text;
                while (IsOp(".") && !Peek().space) {
                    Next();
                    NodeP f = Make(Kind::Field, line);
                    f->a = std::move(target);
                    f->text = FieldToken();
                    n->text = f->text;
                    target = std::move(f);
                }
                n->b = std::move(target);
            }
        }
        if (IsKw("extends")) {
            Next();
            n->a = Expr();
        }
        if (Peek().type == TokType::Newline && Peek(1).type == TokType::Indent) {
            Next();
            Next();
            while (Peek().type != TokType::Dedent && Peek().type != TokType::End) {
                if (Peek().type == TokType::Newline) {
                    Next();
                    continue;
                }
                if (IsOp(","))
                    Fail("a stray ',' in the class body");
                const bool classLevel = IsOp("@") && !IsOp("@", 1) && (Peek(1).type == TokType::Name || Peek(1).type == TokType::Keyword) &&
                                        !Peek(1).space && IsOp(":", 2) && !Peek(2).space;
                const bool computed = IsOp("[") && IsOp(":", MatchingBracket(0) + 1);
                if (!classLevel && !computed && ((Peek().type != TokType::Name && Peek().type != TokType::Keyword &&
                                                  Peek().type != TokType::String) ||
                                                 !IsOp(":", 1) || Peek(1).space)) {
                    n->body.push_back(Decorated(Statement()));
                    EndStatement();
                    continue;
                }
                // "name: value" entries, several on a line separated by commas, and a comma may end it
                while (true) {
                    Entry entry;
                    entry.line = Peek().line;
                    entry.classLevel = IsOp("@");
                    if (entry.classLevel)
                        Next(); // '@'
                    entry.keyKind = Entry::NameKey;
                    if (IsOp("[")) {
                        entry.keyKind = Entry::ExprKey;
                        entry.key = BracketedKey();
                    } else if (Peek().type == TokType::String) {
                        entry.keyKind = Entry::ExprKey;
                        entry.key = String();
                    } else if (Peek().type == TokType::Name || Peek().type == TokType::Keyword) {
                        entry.name = Next().text;
                    } else {
                        Fail("expected a class member but found " + Describe(Peek()));
                    }
                    ExpectOp(":");
                    entry.value = Expr();
                    if (entry.classLevel) {
                        // "@name: value" runs among the body's statements, in the order written
                        NodeP field = Make(Kind::ClassField, entry.line);
                        field->text = entry.name;
                        field->a = std::move(entry.value);
                        n->body.push_back(std::move(field));
                    } else {
                        n->x().entries.push_back(std::move(entry));
                    }
                    if (!TakeComma()) // (a comma ending a method body's last line ends its member)
                        break;
                    SkipCont();
                    if (IsOp(","))
                        Fail("a stray ',' in the class body");
                    if (IsLayout() || Peek().type == TokType::End)
                        break;
                }
                EndStatement();
            }
            Next(); // Dedent
        } else if (Peek().type != TokType::Newline && Peek().type != TokType::End && !value) {
            Fail("unexpected " + Describe(Peek()) + " after the class name");
        }
        return n;
    }

    // ---- expressions ----

    NodeP Expr()
    {
        Guard guard(*this);
        return BinaryExpr(1);
    }

    // "x or= 1" / "x and= 1": the keyword belongs to an update, not to the expression.
    bool UpdateKeywordAhead() const
    {
        return (IsKw("or") || IsKw("and")) && IsOp("=", 1) && !Peek(1).space;
    }

    // Operators of one level and below are gathered into one chain node by a loop; only a
    // higher-level operand recurses, so a chain of any length costs no stack.
    NodeP BinaryExpr(int minPrecedence)
    {
        NodeP left = UnaryExpr();
        NodeP chain;
        int rightRun = 0;
        while (true) {
            const Token& t = Peek();
            if (UpdateKeywordAhead())
                break;
            const int precedence = BinaryPrecedence(t);
            if (precedence == 0 || precedence < minPrecedence)
                break;
            if (!chain) {
                chain = Make(Kind::Binary, t.line);
                chain->items.push_back(std::move(left));
            }
            const bool right = t.text == ".." || t.text == "^";
            rightRun = right ? rightRun + 1 : 0;
            if (rightRun > kMaxRightChain)
                Fail("expression too long: more than " + std::to_string(kMaxRightChain) + " '" + t.text +
                     "' in a row (split it with parentheses)");
            chain->names.push_back(Next().text);
            chain->items.push_back(BinaryExpr(precedence + 1));
        }
        return chain ? std::move(chain) : std::move(left);
    }

    NodeP UnaryExpr()
    {
        const Token& t = Peek();
        if (IsKw("not") || IsOp("-") || IsOp("#") || IsOp("~")) {
            NodeP n = Make(Kind::Unary, t.line);
            n->text = Next().text;
            Guard guard(*this);
            n->a = BinaryExpr(kUnaryPrecedence + 1);
            return n;
        }
        return Postfix();
    }

    bool ArgStart() const
    {
        const Token& t = Peek();
        switch (t.type) {
        case TokType::Name:
        case TokType::Number:
            return t.space;
        case TokType::String:
            return true;
        case TokType::Keyword:
            if (t.text == "if" || t.text == "unless")
                return t.space && InlineIfAhead(); // otherwise a line decorator
            if (t.text == "for" || t.text == "while")
                return t.space && InlineIfAhead("do");
            if (t.text == "do")
                return t.space && !loopHead_; // "for x in t do ...": the loop's body
            return t.space && (t.text == "not" || t.text == "nil" || t.text == "true" || t.text == "false" ||
                               t.text == "with" || t.text == "switch" || t.text == "class" || t.text == "super");
        case TokType::Op:
            if (t.text == "{" || t.text == "->" || t.text == "=>")
                return true;
            if (t.text == "@" || t.text == "(" || t.text == "[" || t.text == "...")
                return t.space;
            if ((t.text == "." || t.text == "\\") && withDepth_ > 0)
                return t.space;
            if (t.text == ":")
                return t.space && Peek(1).type == TokType::Name && !Peek(1).space;
            if (t.text == "-" || t.text == "#")
                return t.space && !Peek(1).space;
            return false;
        default:
            return false;
        }
    }

    // An 'if' ahead with 'then' on its line or an indented block below (a loop: 'do'): an expression,
    // not a line decorator.
    bool InlineIfAhead(const char* body = "then") const
    {
        int depth = 0;
        for (size_t k = 1;; ++k) {
            const Token& t = Peek(k);
            if (t.type == TokType::End || t.type == TokType::Dedent || t.type == TokType::Indent ||
                t.type == TokType::Cont)
                return false;
            if (t.type == TokType::Newline)
                return depth == 0 && Peek(k + 1).type == TokType::Indent;
            if (t.type == TokType::Op && (t.text == "(" || t.text == "{" || t.text == "["))
                ++depth;
            else if (t.type == TokType::Op && (t.text == ")" || t.text == "}" || t.text == "]") && --depth < 0)
                return false;
            else if (depth == 0 && t.type == TokType::Keyword && t.text == body)
                return true;
        }
    }

    static bool Callable(const Node& e)
    {
        return e.kind == Kind::Self || e.kind == Kind::Name || e.kind == Kind::Field || e.kind == Kind::Index || e.kind == Kind::Paren ||
               e.kind == Kind::ClassRef;
    }

    std::vector<NodeP> ParenArgs()
    {
        Next(); // (
        ++brackets_;
        std::vector<NodeP> args;
        SkipLayout();
        while (!IsOp(")")) {
            args.push_back(KeyAhead() ? ImplicitTable(false) : Expr());
            const size_t before = pos_;
            if (!pendingComma_)
                SkipLayout();
            if (TakeComma()) {
                SkipLayout();
                continue;
            }
            if (!IsOp(")") && pos_ == before && !AfterBlock()) // a line break (or a block ending) separates too
                Fail("expected ',' or ')' but found " + Describe(Peek()));
        }
        Next();
        --brackets_;
        return args;
    }

    std::vector<NodeP> BareArgs()
    {
        std::vector<NodeP> args;
        ValueList(args, true);
        return args;
    }

    // Arguments after a method name: '!', '(...)' or a bare list. Sets *bare for the last.
    std::vector<NodeP> MethodArgs(bool* bare, bool* stub)
    {
        *bare = false;
        *stub = false;
        if (IsOp("!") && !Peek().space) {
            Next();
            return {};
        }
        if (IsOp("(") && !Peek().space)
            return ParenArgs();
        if (Peek().type == TokType::String && !Peek().space) {
            // obj\m"text": one argument, and the chain goes on
            std::vector<NodeP> args;
            args.push_back(Primary());
            return args;
        }
        if (ArgStart()) {
            *bare = true;
            return BareArgs();
        }
        *stub = true; // "obj\\m" alone: a function calling the method on obj
        return {};
    }

    // A call of "@name" (or "@@name") is a method call on self (or its class).
    NodeP CallOf(NodeP callee, int line)
    {
        if (callee->kind == Kind::Field && callee->selfName) {
            NodeP n = Make(Kind::Method, line);
            n->a = std::move(callee->a);
            n->text = callee->text;
            return n;
        }
        NodeP n = Make(Kind::Call, line);
        n->a = std::move(callee);
        return n;
    }

    NodeP Postfix()
    {
        NodeP e = Primary();
        while (true) {
            const Token& t = Peek();
            if (t.space && withDepth_ > 0 && (IsOp(".") || IsOp("\\")) && e->kind != Kind::WithRef) {
                // ".x" after a space inside 'with' starts an argument
                if (!Callable(*e))
                    return e;
                NodeP n = CallOf(std::move(e), t.line);
                n->items = BareArgs();
                return n;
            }
            if (IsOp(".")) {
                Next();
                NodeP n = Make(Kind::Field, t.line);
                n->text = FieldToken();
                n->a = std::move(e);
                e = std::move(n);
            } else if (IsOp("\\")) {
                Next();
                NodeP n = Make(Kind::Method, t.line);
                n->text = FieldToken();
                n->a = std::move(e);
                bool bare = false, stub = false;
                n->items = MethodArgs(&bare, &stub);
                n->value = stub;
                n->bare = bare;
                e = std::move(n);
                if (bare)
                    return e;
            } else if (IsOp("[") && !t.space) {
                Next();
                NodeP n = Make(Kind::Index, t.line);
                n->a = std::move(e);
                ++brackets_;
                SkipLayout();
                if (!IsOp(","))
                    n->b = Expr();
                SkipLayout();
                if (IsOp(",")) {
                    // "list[a, b, step]": a slice, taken by 'for x in *list[...]'
                    n->text = "slice";
                    Next();
                    if (!IsOp(",") && !IsOp("]"))
                        n->c = Expr();
                    if (IsOp(",")) {
                        Next();
                        n->items.push_back(Expr());
                    }
                }
                ExpectOp("]");
                --brackets_;
                e = std::move(n);
            } else if (IsOp("(") && !t.space) {
                NodeP n = CallOf(std::move(e), t.line);
                n->items = ParenArgs();
                e = std::move(n);
            } else if (IsOp("!") && !t.space) {
                Next();
                e = CallOf(std::move(e), t.line);
            } else if (t.type == TokType::String && !t.space &&
                       (Callable(*e) || e->kind == Kind::Call || (e->kind == Kind::Method && !e->value))) {
                // f"text" (or f'text', f[[text]]) calls f with that one string, like f("text")
                NodeP n = CallOf(std::move(e), t.line);
                n->items.push_back(Primary());
                e = std::move(n);
            } else if ((Callable(*e) || e->kind == Kind::Call || ((e->kind == Kind::Method || e->kind == Kind::SuperCall) && !e->value)) &&
                       ArgStart()) {
                NodeP n = CallOf(std::move(e), t.line);
                n->items = BareArgs();
                n->bare = true;
                return n;
            } else {
                return e;
            }
        }
    }

    bool FunctionAhead() const
    {
        int depth = 0;
        for (size_t k = 0;; ++k) {
            const Token& t = Peek(k);
            if (t.type == TokType::End)
                return false;
            if (t.type == TokType::Op && t.text == "(")
                ++depth;
            else if (t.type == TokType::Op && t.text == ")" && --depth == 0)
                return IsOp("->", k + 1) || IsOp("=>", k + 1);
        }
    }

    NodeP Primary()
    {
        Guard guard(*this);
        const Token& t = Peek();
        switch (t.type) {
        case TokType::Name: {
            NodeP n = Make(Kind::Name, t.line);
            n->text = NameToken("a name");
            return n;
        }
        case TokType::Number: {
            NodeP n = Make(Kind::Number, t.line);
            n->text = Next().text;
            return n;
        }
        case TokType::String:
            return String();
        case TokType::Keyword: {
            const std::string& k = t.text;
            if (k == "nil" || k == "true" || k == "false") {
                Next();
                return Make(k == "nil" ? Kind::Nil : k == "true" ? Kind::True : Kind::False, t.line);
            }
            if (k == "if" || k == "unless")
                return If();
            if (k == "switch")
                return Switch();
            if (k == "super")
                return Super();
            if (k == "do")
                return Do();
            if (k == "with")
                return With();
            if (k == "class")
                return Class(false, true);
            if (k == "for" || k == "while") {
                // a loop as a value: the last value of each pass, gathered into a list
                NodeP loop = k == "for" ? For() : While();
                loop->value = true;
                return loop;
            }
            static const std::set<std::string> unsupported = {"import", "from", "using", "with", "continue",
                                                              "do", "local", "break", "for", "while", "export"};
            if (unsupported.count(k))
                Unsupported("'" + k + "' in an expression");
            Fail("unexpected " + Describe(t));
        }
        case TokType::Op:
            break;
        default:
            Fail("unexpected " + Describe(t));
        }
        const std::string& op = t.text;
        if (op == "(") {
            if (FunctionAhead())
                return Function();
            Next();
            NodeP n = Make(Kind::Paren, t.line);
            SkipLayout();
            n->a = Expr();
            SkipLayout();
            ExpectOp(")");
            return n;
        }
        if (op == "->" || op == "=>")
            return Function();
        if ((op == "." || op == "\\") && withDepth_ > 0) {
            // ".x" and "\\m" inside 'with': the with object's field and method.
            NodeP object = Make(Kind::WithRef, t.line);
            if (op == ".") {
                Next();
                NodeP n = Make(Kind::Field, t.line);
                n->text = FieldToken();
                n->a = std::move(object);
                return n;
            }
            return object; // the postfix loop takes the method call
        }
        if (op == "@") {
            Next();
            NodeP object = Make(Kind::Self, t.line);
            if (IsOp("@") && !Peek().space) {
                Next();
                object = Make(Kind::ClassRef, t.line);
            }
            if ((Peek().type == TokType::Name || Peek().type == TokType::Keyword) && !Peek().space) {
                NodeP n = Make(Kind::Field, t.line);
                n->a = std::move(object);
                n->text = Next().text;
                n->selfName = true;
                return n;
            }
            return object;
        }
        if (op == "{")
            return Table();
        if (op == "[")
            return Comprehension();
        if (op == "*")
            Unsupported("'*' outside 'for ... in *list'");
        if (op == ":")
            Unsupported("':name' shorthand");
        if (op == "...") {
            Next();
            return Make(Kind::Vararg, t.line);
        }
        if (op == "::")
            Unsupported("'::'");
        Fail("unexpected " + Describe(t));
    }

    // A computed key, `[expr]`, the cursor on its '['.
    NodeP BracketedKey()
    {
        Next(); // '['
        ++brackets_;
        NodeP key = Expr();
        ExpectOp("]");
        --brackets_;
        return key;
    }

    NodeP String()
    {
        const Token& t = Next();
        NodeP n = Make(Kind::String, t.line);
        n->quote = t.quote;
        n->text = t.text;
        n->x().parts = t.parts;
        for (const StringPart& part : t.parts) {
            if (!part.isExpr) {
                n->items.push_back(nullptr);
                continue;
            }
            std::vector<Token> inner = Lex(part.text, t.line);
            Parser sub(inner, depth_ + 1);
            n->items.push_back(sub.Solo());
        }
        return n;
    }

    std::vector<NodeP> SuperArgs(bool* bare)
    {
        bool stub = false;
        std::vector<NodeP> args = MethodArgs(bare, &stub);
        if (stub)
            Fail("expected arguments or '!' after 'super'");
        return args;
    }

    NodeP Super()
    {
        const Token& t = Next();
        NodeP n = Make(Kind::SuperCall, t.line);
        bool bare = false;
        if (IsOp("\\")) {
            Next();
            n->text = FieldToken();
            n->items = MethodArgs(&bare, &n->value); // value: "super\\name" alone, a function
        } else if ((IsOp("!") || IsOp("(")) && !Peek().space) {
            n->items = SuperArgs(&bare);
        } else if (ArgStart()) {
            n->items = BareArgs();
        } else {
            n->value = true; // "super.x", "super == X": the parent class itself
        }
        return n;
    }

    NodeP Function()
    {
        NodeP n = Make(Kind::Function, Peek().line);
        if (IsOp("(")) {
            Next();
            while (!IsOp(")")) {
                Param param;
                SkipLayout();
                if (IsKw("using")) {
                    // "(a using x, y)" / "(using nil)": the outer names the function may assign
                    Next();
                    n->x().usingSet = true;
                    if (IsKw("nil")) {
                        Next();
                    } else {
                        n->x().usingNames.push_back(NameToken("a name"));
                        while (IsOp(",")) {
                            Next();
                            n->x().usingNames.push_back(NameToken("a name"));
                        }
                    }
                    SkipLayout();
                    if (!IsOp(")"))
                        Fail("expected ')' after the 'using' list but found " + Describe(Peek()));
                    continue;
                }
                if (IsOp("...")) {
                    Next();
                    param.name = "...";
                    n->x().params.push_back(std::move(param));
                    SkipLayout();
                    if (!IsOp(")") && !IsKw("using"))
                        Fail("'...' must be the last parameter");
                    continue;
                }
                if (IsOp("{")) {
                    // "({a, :b}) ->": the argument is destructured
                    param.pattern = Table();
                    CheckPattern(*param.pattern);
                    param.name = "__arg" + std::to_string(n->x().params.size() + 1);
                } else if (IsOp("@")) {
                    Next();
                    param.selfField = true;
                    if (IsOp("@") && !Peek().space) {
                        Next();
                        param.classField = true;
                    }
                    param.name = FieldToken();
                    if (IsLuaKeyword(param.name))
                        Fail("'" + param.name + "' cannot be used as a name");
                } else {
                    param.name = NameToken("a parameter name");
                }
                if (IsOp("=")) {
                    Next();
                    param.defaultValue = Expr();
                }
                n->x().params.push_back(std::move(param));
                SkipLayout();
                if (IsOp(","))
                    Next();
                else if (!IsOp(")") && !IsKw("using"))
                    Fail("expected ',' or ')' in the parameter list but found " + Describe(Peek()));
            }
            Next();
        }
        if (!IsOp("->") && !IsOp("=>"))
            Fail("expected '->' or '=>' but found " + Describe(Peek()));
        n->fat = Next().text == "=>";
        const bool outerHead = loopHead_;
        loopHead_ = false;
        struct Restore {
            bool& flag;
            bool value;
            ~Restore() { flag = value; }
        } restore{loopHead_, outerHead};
        if (Peek().type == TokType::Newline && Peek(1).type == TokType::Indent) {
            Next();
            n->body = IndentedBlock();
        } else if (!IsLayout() && Peek().type != TokType::End && !IsOp(")") && !IsOp("}") && !IsOp("]") &&
                   !IsOp(",")) {
            // The body is a whole statement: "-> 1, 2" returns both, inside brackets too.
            static const std::set<std::string> statements = {"return", "for", "while", "if", "unless", "switch",
                                                             "with", "do", "export", "local", "import",
                                                             "break", "continue"};
            if (Peek().type == TokType::Keyword && statements.count(Peek().text)) {
                n->body.push_back(Decorated(Statement()));
            } else {
                n->body.push_back(Decorated(SimpleStatement(true)));
            }
        }
        return n;
    }

    size_t MatchingBracket(size_t k) const
    {
        int depth = 0;
        for (;; ++k) {
            const Token& t = Peek(k);
            if (t.type == TokType::End)
                return k;
            if (t.type == TokType::Op && (t.text == "[" || t.text == "(" || t.text == "{"))
                ++depth;
            else if (t.type == TokType::Op && (t.text == "]" || t.text == ")" || t.text == "}") && --depth == 0)
                return k;
        }
    }

    // "name:", "'key':" or ":name" ahead: the start of a table entry with a key.
    bool KeyAhead(size_t k = 0) const
    {
        const Token& t = Peek(k);
        if ((t.type == TokType::Name || t.type == TokType::Keyword || t.type == TokType::String) &&
            IsOp(":", k + 1) && !Peek(k + 1).space)
            return true;
        if (IsOp("[", k) && IsOp(":", MatchingBracket(k) + 1))
            return true; // "[expr]: value"
        return IsOp(":", k) && Peek(k + 1).type == TokType::Name && !Peek(k + 1).space;
    }

    // One table entry; keyed entries may hold an indented block of entries as their value.
    Entry TableEntry()
    {
        Entry entry;
        entry.line = Peek().line;
        const Token& t = Peek();
        if (IsOp(":")) {
            Next();
            entry.keyKind = Entry::NameKey;
            entry.name = NameToken("a name");
            entry.value = Make(Kind::Name, entry.line);
            entry.value->text = entry.name;
            return entry;
        }
        if ((t.type == TokType::Name || t.type == TokType::Keyword) && IsOp(":", 1) && !Peek(1).space) {
            entry.keyKind = Entry::NameKey;
            entry.name = Next().text;
            Next();
        } else if (t.type == TokType::String && IsOp(":", 1) && !Peek(1).space) {
            entry.keyKind = Entry::ExprKey;
            entry.key = String();
            Next();
        } else if (IsOp("[") && IsOp(":", MatchingBracket(0) + 1)) {
            entry.keyKind = Entry::ExprKey;
            entry.key = BracketedKey();
            ExpectOp(":");
        } else {
            entry.value = Expr();
            return entry;
        }
        if (Peek().type == TokType::Newline && Peek(1).type == TokType::Indent && KeyAhead(2)) {
            Next();
            Next();
            entry.value = ImplicitTable(true);
        } else if (Peek().type == TokType::Newline && Peek(1).type == TokType::Indent) {
            // "key:" / "  value": one value on the indented line below
            Next();
            Next();
            entry.value = Expr();
            while (Peek().type == TokType::Newline)
                Next();
            if (Peek().type != TokType::Dedent)
                Fail("expected the end of the indented value but found " + Describe(Peek()));
            Next();
        } else if (KeyAhead()) {
            entry.value = ImplicitTable(false); // "a: b: 1, c: 2": the rest of the line is a's table
        } else {
            entry.value = Expr();
        }
        return entry;
    }

    // A table without braces: entries separated by commas on the line, or (lines) one or more per
    // line of an indented block whose Indent was taken; the block's Dedent is taken too. Without join,
    // a comma followed by another line ends the table (the line belongs to the list around it).
    NodeP ImplicitTable(bool lines, bool join = false)
    {
        NodeP n = Make(Kind::Table, Peek().line);
        while (true) {
            n->x().entries.push_back(TableEntry());
            if (TakeComma()) {
                const bool keyLines = Peek().type == TokType::Newline && Peek(1).type == TokType::Indent && KeyAhead(2);
                if (!lines && (Peek().type == TokType::Cont || (keyLines && !join))) {
                    pendingComma_ = true;
                    break;
                }
                if (!lines && keyLines) {
                    Next();
                    Next();
                    lines = true;
                    continue;
                }
                if (!IsLayout() && Peek().type != TokType::End && !IsOp(")") && !IsOp("}") && !IsOp("]")) {
                    if (lines || KeyAhead() || (IsOp("[") && IsOp(":", MatchingBracket(0) + 1)))
                        continue;
                    pendingComma_ = true; // "f a: 1, 2": a value without a key ends the table
                    break;
                }
                if (!lines)
                    break; // a trailing comma
            }
            if (!lines && !pendingComma_ && Peek().type == TokType::Newline && Peek(1).type == TokType::Indent &&
                KeyAhead(2)) {
                // "f a: 1" / "  b: 2": more entries on the indented lines below
                Next();
                Next();
                lines = true;
                continue;
            }
            if (!lines)
                break;
            while (Peek().type == TokType::Newline || Peek().type == TokType::Cont)
                Next();
            if (Peek().type == TokType::Dedent || Peek().type == TokType::End) {
                Next();
                break;
            }
        }
        return n;
    }

    NodeP Table()
    {
        NodeP n = Make(Kind::Table, Next().line);
        ++brackets_;
        while (true) {
            SkipLayout();
            if (IsOp("}"))
                break;
            n->x().entries.push_back(TableEntry());
            const auto& entries = n->x().entries;
            // "{k, v for ...}" and "{pair for ...}": a table comprehension.
            if (entries.size() <= 2 && IsKw("for") &&
                std::all_of(entries.begin(), entries.end(), [](const Entry& e) { return e.keyKind == Entry::Positional; })) {
                NodeP c = Make(Kind::TableComprehension, n->line);
                c->a = std::move(n->x().entries[0].value);
                if (entries.size() == 2)
                    c->b = std::move(n->x().entries[1].value);
                Clauses(*c, "}");
                --brackets_;
                return c;
            }
            if (!TakeComma() && !IsLayout() && !IsOp("}") && !AfterBlock())
                Fail("expected ',' or '}' but found " + Describe(Peek()));
        }
        Next();
        --brackets_;
        return n;
    }

    // The 'for' and 'when' clauses of a comprehension up to its closing bracket (taken).
    void Clauses(Node& n, const char* close)
    {
        SkipLayout();
        if (!IsKw("for"))
            Fail("expected 'for' in a comprehension but found " + Describe(Peek()));
        while (!IsOp(close)) {
            Clause clause;
            if (IsKw("for")) {
                Next();
                clause.kind = ForHead(clause.names, clause.exprs, &clause.pattern);
            } else if (IsKw("when")) {
                Next();
                clause.kind = Clause::When;
                clause.exprs.push_back(Expr());
            } else {
                Fail(std::string("expected 'for', 'when' or '") + close + "' but found " + Describe(Peek()));
            }
            n.x().clauses.push_back(std::move(clause));
            SkipLayout();
        }
        Next();
    }

    NodeP Comprehension()
    {
        NodeP n = Make(Kind::Comprehension, Next().line);
        ++brackets_;
        SkipLayout();
        n->a = Expr();
        if (IsOp(","))
            Unsupported("more than one value in a list comprehension");
        Clauses(*n, "]");
        --brackets_;
        return n;
    }

    const std::vector<Token>& toks_;
    size_t pos_ = 0;
    int withDepth_ = 0;
    int brackets_ = 0; // open (), {} and [] around the current token
    bool pendingComma_ = false;
    int commaLine_ = 0; // the line of the last comma TakeComma took
    int lastLevel_ = 0, lastLevelLine_ = 0; // the column and line of the last argument list a line ended
    int argLevel_ = 0, argLevelLine_ = 0;   // the column of the innermost argument list that has one, and
                                            // the line that set it
    bool loopHead_ = false; // parsing the head of a loop, where 'do' starts the body
    int depth_;
};

} // namespace

namespace {

void Detach(Node& n, std::vector<NodeP>& pending)
{
    auto take = [&](NodeP& p) {
        if (p)
            pending.push_back(std::move(p));
    };
    auto takeAll = [&](std::vector<NodeP>& list) {
        for (NodeP& p : list)
            take(p);
        list.clear();
    };
    take(n.a);
    take(n.b);
    take(n.c);
    take(n.pattern);
    takeAll(n.items);
    takeAll(n.body);
    if (!n.extra)
        return;
    NodeExtra& x = *n.extra;
    takeAll(x.items2);
    takeAll(x.conds);
    for (auto& list : x.conds2)
        takeAll(list);
    for (auto& block : x.blocks)
        takeAll(block);
    for (Entry& e : x.entries) {
        take(e.key);
        take(e.value);
    }
    for (Clause& c : x.clauses) {
        takeAll(c.exprs);
        take(c.pattern);
    }
    for (Param& p : x.params) {
        take(p.defaultValue);
        take(p.pattern);
    }
}

} // namespace

Node::~Node()
{
    std::vector<NodeP> pending;
    Detach(*this, pending);
    while (!pending.empty()) {
        NodeP n = std::move(pending.back());
        pending.pop_back();
        Detach(*n, pending);
    }
}

bool ParsesAsComprehension(const std::vector<Token>& tokens)
{
    try {
        return Parser(tokens, 0).WholeComprehension();
    } catch (const CompileError&) {
        return false;
    }
}

Block Parse(const std::vector<Token>& tokens)
{
    return Parser(tokens, 0).File();
}

} // namespace moonc
