#include "front/parseview.h"

#include <cstring>

#include "front/lexer.h"

namespace kiln {

namespace {

bool atomIs(const Cell* c, std::string_view text) { return rawIsAtom(c) && atomText(c) == text; }

bool singleIn(const Cell* c, const char* set) {
    if (!rawIsAtom(c)) return false;
    std::string_view t = atomText(c);
    return t.size() == 1 && t[0] != '\0' && std::strchr(set, t[0]) != nullptr;
}

// The operators that the parser builds as ((c left) right); "\" and "{"
// have forms of their own, "," stands only inside braces.
constexpr const char* kBinary = ";?&|=<>#@+-:.*/%'^,";
constexpr const char* kUnary = "~!\"$`";

enum class Form { Atom, Lambda, Binding, Binary, Unary, Application };

Form formOf(const Cell* c) {
    if (rawIsAtom(c)) return Form::Atom;
    const Cell* f = rawLeft(c);
    if (rawIsAtom(f)) return singleIn(f, kUnary) ? Form::Unary : Form::Application;
    const Cell* ff = rawLeft(f);
    if (atomIs(ff, "\\")) return Form::Lambda;
    if (singleIn(ff, kBinary)) return Form::Binary;
    if (rawIsPair(ff) && atomIs(rawLeft(ff), "{")) return Form::Binding;
    return Form::Application;
}

// The printer's work list: text to write, or a tree to write in a manner.
enum class How : uint8_t { Text, Wrapped, Bare, BraceList, Operand };
struct Task {
    const Cell* cell;
    How how;
    std::string_view text;
};

void writeAtom(const Cell* c, std::string& out) {
    std::string_view t = atomText(c);
    if (t == "}") {
        out += "()";
    } else if (t == "\n") {
        out += '\0';  // a NUL byte in the source reads as the newline atom
    } else {
        out += t;
    }
}

}  // namespace

std::string writtenForm(const Cell* tree) {
    std::string out;
    std::vector<Task> work;
    work.push_back({tree, How::Bare, {}});
    std::vector<const Cell*> arguments;
    while (!work.empty()) {
        Task t = work.back();
        work.pop_back();
        if (t.how == How::Text) {
            out += t.text;
            continue;
        }
        const Cell* c = t.cell;
        if (t.how == How::Operand && atomIs(c, "}")) continue;  // an empty operand
        Form form = formOf(c);
        if (form == Form::Atom) {
            writeAtom(c, out);
            continue;
        }
        if (t.how == How::BraceList) {
            if (form == Form::Binary && atomIs(rawLeft(rawLeft(c)), ",")) {
                work.push_back({rawRight(c), How::BraceList, {}});
                work.push_back({nullptr, How::Text, ", "});
                work.push_back({rawRight(rawLeft(c)), How::Wrapped, {}});
            } else {
                work.push_back({c, How::Wrapped, {}});
            }
            continue;
        }
        bool wrap = t.how != How::Bare;
        // Pushed in reverse: the closing bracket first.
        if (wrap) work.push_back({nullptr, How::Text, ")"});
        switch (form) {
            case Form::Lambda: {
                const Cell* body = rawRight(c);
                work.push_back({body, formOf(body) == Form::Lambda ? How::Bare : How::Wrapped, {}});
                work.push_back({nullptr, How::Text, "\\"});
                work.push_back({rawRight(rawLeft(c)), How::Wrapped, {}});
                break;
            }
            case Form::Binding: {
                const Cell* f = rawLeft(c);
                work.push_back({rawRight(c), How::Wrapped, {}});
                work.push_back({nullptr, How::Text, "}"});
                work.push_back({rawRight(f), How::BraceList, {}});
                work.push_back({nullptr, How::Text, "{"});
                work.push_back({rawRight(rawLeft(f)), How::Wrapped, {}});
                break;
            }
            case Form::Binary: {
                const Cell* op = rawLeft(rawLeft(c));
                const Cell* left = rawRight(rawLeft(c));
                const Cell* right = rawRight(c);
                bool leftEmpty = atomIs(left, "}"), rightEmpty = atomIs(right, "}");
                work.push_back({right, How::Operand, {}});
                if (!rightEmpty && !leftEmpty) work.push_back({nullptr, How::Text, " "});
                work.push_back({nullptr, How::Text, atomText(op)});
                if (!leftEmpty && !rightEmpty) work.push_back({nullptr, How::Text, " "});
                work.push_back({left, How::Operand, {}});
                break;
            }
            case Form::Unary:
                work.push_back({rawRight(c), How::Wrapped, {}});
                work.push_back({nullptr, How::Text, atomText(rawLeft(c))});
                break;
            default: {
                arguments.clear();
                const Cell* head = c;
                do {
                    arguments.push_back(rawRight(head));
                    head = rawLeft(head);
                } while (rawIsPair(head) && formOf(head) == Form::Application);
                for (const Cell* a : arguments) {
                    work.push_back({a, How::Wrapped, {}});
                    work.push_back({nullptr, How::Text, " "});
                }
                work.push_back({head, How::Wrapped, {}});
                break;
            }
        }
        if (wrap) work.push_back({nullptr, How::Text, "("});
    }
    return out;
}

ProgramView viewProgram(std::string_view text) {
    ProgramView view;
    if (!checkBrackets(text, view.error, view.errorPosition)) return view;
    std::vector<size_t> origins;
    std::string normal = normalizeSpacing(text, &origins);
    auto written = [&](size_t p) { return p < origins.size() ? origins[p] : text.size(); };
    Parser parser(normal);
    parser.watchSpacedOperands(&view.spaced);
    SeparatorList list = splitTopLevel(parser.brackets(), parser.whole(), ",");
    Piece piece = headPiece(list);
    for (;;) {
        CellRef tree = parser.expression(piece);
        if (parser.failed()) {
            view.parts.clear();
            view.errorPosition = static_cast<int64_t>(written(static_cast<size_t>(parser.failurePosition())));
            view.error = errorText("Comma", view.errorPosition, kCommaMessage);
            return view;
        }
        view.parts.push_back({written(piece.begin), std::move(tree)});
        if (list.empty()) break;
        piece = popFrontPiece(list);
    }
    for (SpacedOperand& s : view.spaced) {
        s.application = written(s.application);
        s.begin = written(s.begin);
        s.end = s.end == 0 ? 0 : written(s.end - 1) + 1;
        s.opPosition = written(s.opPosition);
    }
    return view;
}

}  // namespace kiln
