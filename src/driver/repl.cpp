#include "driver/repl.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#if defined(KILN_HAVE_LIBEDIT)
#include <editline/readline.h>
#define KILN_LINE_EDITING 1
#elif defined(KILN_HAVE_READLINE)
#include <readline/history.h>
#include <readline/readline.h>
#define KILN_LINE_EDITING 1
#endif

#include "cells/integers.h"
#include "compile/compiler.h"
#include "driver/checks.h"
#include "driver/hints.h"
#include "driver/stages.h"
#include "driver/streams.h"
#include "front/lexer.h"
#include "front/loader.h"
#include "front/parser.h"
#include "reduce/engine.h"
#include "reduce/trace.h"

namespace kiln {

namespace {

constexpr const char* kPrompt = "kiln> ";
constexpr const char* kMore = "  ... ";
constexpr size_t kShownLimit = 4000;

constexpr const char* kSessionHelp =
    "Type an expression to see its value, or a definition (name\\param\\body)\n"
    "to add it to the session; several may follow each other, separated by\n"
    "commas, as in a program file. A line with brackets still open goes on on\n"
    "the next line. A later definition of a name replaces the earlier one.\n"
    "Ctrl-C stops an evaluation, or drops the entry being typed.\n"
    "  :help         this text\n"
    "  :defs         the session's definitions\n"
    "  :load FILE    add the definitions of FILE (its main expression is left out)\n"
    "  :parse EXPR   how EXPR parsed, every part in brackets: getw c + 1 shows\n"
    "                getw (c + 1); nothing is evaluated\n"
    "  :quit         end the session (so does end of input)\n";

// Ctrl-C in a session on a terminal: it stops the evaluation running, or
// drops the entry being typed, and the session goes on.
// The session may run on a thread of its own (for a large stack); the
// signal is passed on to it, so that its read is the one interrupted.
volatile sig_atomic_t gSigint = 0;
pthread_t gSessionThread;

void onSigint(int) {
    if (!pthread_equal(pthread_self(), gSessionThread)) {
        pthread_kill(gSessionThread, SIGINT);
        return;
    }
    gSigint = 1;
    requestInterrupt();
}

bool gInterruptible = false;      // on a terminal, and Ctrl-C not ignored
bool gCatchWhileReading = false;  // and the reader copes with Ctrl-C
struct sigaction gInherited;      // what SIGINT did when the session began

// Ctrl-C to the session's handler (on) or as it was inherited (off).
void catchInterrupts(bool on) {
    if (!gInterruptible) return;
    if (!on) {
        sigaction(SIGINT, &gInherited, nullptr);
        return;
    }
    setSignalAction(SIGINT, onSigint, 0);  // no restart: a read in progress returns
}

struct Definition {
    std::string key;
    std::string text;
};

struct Session {
    std::vector<Definition> definitions;
};

bool isSpace(char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r'; }

std::string trimmed(std::string_view s) {
    size_t a = 0, b = s.size();
    while (a < b && isSpace(s[a])) ++a;
    while (b > a && isSpace(s[b - 1])) --b;
    return std::string(s.substr(a, b - a));
}

std::vector<std::string> topLevelPieces(std::string_view t) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t comma : scanTopLevel(t).commas) {
        out.push_back(trimmed(t.substr(start, comma - start)));
        start = comma + 1;
    }
    out.push_back(trimmed(t.substr(start)));
    return out;
}

// The key a piece defines, or "" when it is no definition.
std::string definedKey(const std::string& piece) {
    std::string text = "0," + piece;
    std::string error;
    int64_t position = -1;
    if (!checkBrackets(text, error, position)) return "";
    ErrorRecord record;
    DefinitionTable table;
    NameSet nullary;
    enterProgramText(record, normalizeSpacing(text), table, nullary);
    if (!record.empty()) return "";
    for (const auto& entry : table)
        if (!entry.first.empty()) return entry.first;
    return "";
}

// A word that names the key in an expression, or "" (operators).
std::string mention(const std::string& key) {
    if (key.empty()) return "";
    unsigned char f = static_cast<unsigned char>(key[0]);
    if (f == '_' || (f >= 'a' && f <= 'z') || (key.size() == 1 && f >= 'A' && f <= 'Z')) return key;
    return "";
}

std::string programOf(const std::string& main, const std::vector<Definition>& definitions) {
    std::string text = main;
    for (const Definition& d : definitions) {
        text += ",\n";
        text += d.text;
    }
    return text;
}

// Loads and compiles the program; false after a report (none when report
// is false).
bool loadAndCompile(const std::string& text, bool report = true) {
    loadPrelude();
    ErrorRecord record;
    loadDefinitions(record, text);
    if (record.empty()) compileDefinitions(record);
    if (record.empty()) return true;
    if (report) printReport(record);
    return false;
}

void show(const CellRef& value) {
    std::fflush(stdout);
    std::string out;
    if (isAtom(value) && firstChar(value) == ')') {
        ErrorRecord record;
        record.type = "Cycle";
        record.name = std::string(atomText(value).substr(1));
        record.message = "Cycle detected on function [" + record.name + "].";
        printReport(record);
        return;
    }
    if (isInteger(value))
        out = numeralText(value.get());
    else
        out = traceForm(value.get(), kShownLimit);
    out += '\n';
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
}

// The session's definitions with the added ones in place (a later one of a
// key replaces the earlier).
std::vector<Definition> withAdded(const std::vector<Definition>& definitions, const std::vector<Definition>& added) {
    std::vector<Definition> next = definitions;
    for (const Definition& d : added) {
        bool replaced = false;
        for (Definition& old : next) {
            if (old.key == d.key) {
                old = d;
                replaced = true;
            }
        }
        if (!replaced) next.push_back(d);
    }
    return next;
}

// A main expression that uses each of the definitions (operators cannot be
// named in one), so that none is pruned unchecked.
std::string mainUsing(const std::vector<Definition>& definitions) {
    std::string main = "0";
    for (const Definition& d : definitions) {
        std::string m = mention(d.key);
        if (!m.empty()) main += " " + m;
    }
    return main;
}

// Checks the added definitions together with the session's and adds them.
// Typed definitions go in all together or not at all. From a file, as when
// kiln runs it, a definition that fails its checks (and every one that needs
// it) is left out with its report and a line naming it, and the rest go in.
bool addDefinitions(Session& session, const std::vector<Definition>& added, bool fromFile) {
    std::vector<Definition> next = withAdded(session.definitions, added);
    if (!fromFile) {
        if (!loadAndCompile(programOf(mainUsing(added), next))) return false;
        session.definitions = std::move(next);
        return true;
    }
    if (!loadAndCompile(programOf(mainUsing(added), next), false)) {
        std::vector<Definition> kept;
        for (const Definition& d : added) {
            if (loadAndCompile(programOf(mainUsing({d}), next))) {
                kept.push_back(d);
            } else {
                std::fprintf(stderr, "kiln: :load left out the definition of %s\n", d.key.c_str());
            }
        }
        next = withAdded(session.definitions, kept);
        if (!loadAndCompile(programOf(mainUsing(kept), next))) return false;
    }
    session.definitions = std::move(next);
    return true;
}

bool evaluateExpression(Session& session, const std::string& expression);

// Adds the definitions among the pieces and evaluates the expressions among
// them, in order; for a file's text (no expression allowed) the first piece,
// its main expression, is left out.
void enter(Session& session, const std::string& input, bool expressionAllowed) {
    if (expressionAllowed && warningsWanted(false)) warnSpacing("entry", input);
    std::string error;
    int64_t position = -1;
    if (!checkBrackets(input, error, position)) {
        ErrorRecord record;
        record.position = position;
        record.type = error.substr(0, 5);
        record.message = error;
        printReport(record);
        return;
    }
    std::vector<std::string> pieces = topLevelPieces(input);
    std::vector<std::string> expressions;
    std::vector<Definition> added;
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (pieces[i].empty()) continue;
        // A file's first piece is its main expression, whatever its form.
        if (i == 0 && !expressionAllowed) continue;
        std::string key = definedKey(pieces[i]);
        if (key.empty()) {
            // Typed, every piece that defines nothing is an expression to
            // show; in a file a later such piece is dropped, as kiln FILE does.
            if (expressionAllowed) expressions.push_back(pieces[i]);
            continue;
        }
        added.push_back({key, pieces[i]});
    }
    if (!added.empty() && !addDefinitions(session, added, !expressionAllowed)) return;
    for (const std::string& expression : expressions)
        if (!evaluateExpression(session, expression)) return;
}

bool evaluateExpression(Session& session, const std::string& expression) {
    if (!loadAndCompile(programOf(expression, session.definitions))) return false;
    DefinitionTable& defs = definitionTable();
    auto it = defs.find(std::string_view());
    if (it == defs.end()) return false;
    CellRef main = it->second;
    gSigint = 0;
    clearInterrupt();
    catchInterrupts(true);
    CellRef value = evaluate(std::move(main));
    catchInterrupts(gCatchWhileReading);
    if (gSigint || interruptRequested()) {
        // Ctrl-C: the evaluation stopped where it was.
        gSigint = 0;
        clearInterrupt();
        std::fflush(stdout);
        std::fputs("\nkiln: interrupted\n", stderr);
        return false;
    }
    show(value);
    return true;
}

bool loadFile(Session& session, const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        std::fprintf(stderr, "kiln: cannot read %s\n", path.c_str());
        return false;
    }
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    bool bad = std::ferror(f) != 0;
    std::fclose(f);
    if (bad) {
        std::fprintf(stderr, "kiln: cannot read %s\n", path.c_str());
        return false;
    }
    size_t before = session.definitions.size();
    enter(session, text, false);
    if (isatty(0)) std::printf("%zu definitions\n", session.definitions.size() - before);
    return true;
}

// ---- reading lines -------------------------------------------------------

#ifdef KILN_LINE_EDITING
// Readline reads keys through this: a read that Ctrl-C interrupts clears
// the line shown and shows the main prompt again; the reader then answers
// the line typed after it, marked as a fresh entry.
bool gEditingInterrupted = false;

int sessionGetc(FILE* in) {
    for (;;) {
        unsigned char c;
        ssize_t n = ::read(fileno(in), &c, 1);
        if (n == 1) return c;
        if (n == 0) return EOF;
        if (errno != EINTR) return EOF;
        if (!gSigint) continue;
        gSigint = 0;
        clearInterrupt();
        gEditingInterrupted = true;
        rl_replace_line("", 0);
        rl_set_prompt(kPrompt);
        std::fputs("^C\n", stdout);
        std::fflush(stdout);
        rl_on_new_line();
        rl_redisplay();
    }
}
#endif

struct LineReader {
    bool terminal = false;
    bool editing = false;

    LineReader() {
        terminal = isatty(0) != 0;
#ifdef KILN_LINE_EDITING
        const char* term = std::getenv("TERM");
        editing = terminal && !(term && std::strcmp(term, "dumb") == 0);
        if (editing) {
            // The session's own handler takes Ctrl-C, and its key reader
            // sees the interrupted read.
            rl_catch_signals = 0;
            rl_getc_function = sessionGetc;
        }
#endif
        // A session whose Ctrl-C is ignored (started in the background)
        // leaves it so.
        sigaction(SIGINT, nullptr, &gInherited);
        gInterruptible = terminal && gInherited.sa_handler != SIG_IGN;
        gSessionThread = pthread_self();
#ifdef KILN_HAVE_LIBEDIT
        // libedit keeps its own counsel on interrupted reads: there Ctrl-C
        // at the prompt ends the session, and stops only evaluations.
        gCatchWhileReading = false;
#else
        gCatchWhileReading = true;
#endif
        catchInterrupts(gCatchWhileReading);
    }

    // One line without its newline; false at end of input. fresh: Ctrl-C
    // came while it was typed, so what was typed before it is dropped.
    bool read(const char* prompt, std::string& line, bool& fresh) {
        fresh = false;
        std::fflush(stdout);
#ifdef KILN_LINE_EDITING
        if (editing) {
            gEditingInterrupted = false;
            char* got = readline(prompt);
            fresh = gEditingInterrupted;
            gEditingInterrupted = false;
            if (!got) return false;
            line = got;
            std::free(got);
            return true;
        }
#endif
        if (terminal) {
            std::fputs(prompt, stdout);
            std::fflush(stdout);
        }
        line.clear();
        for (;;) {
            int c = std::getchar();
            if (c == EOF && gSigint && std::ferror(stdin)) {
                // Ctrl-C: drop the line and start a fresh entry.
                std::clearerr(stdin);
                gSigint = 0;
                clearInterrupt();
                fresh = true;
                line.clear();
                std::fputs("\n", stdout);  // the terminal has shown the ^C
                std::fputs(kPrompt, stdout);
                std::fflush(stdout);
                continue;
            }
            if (c == EOF) return !line.empty();
            if (c == '\n') return true;
            line += static_cast<char>(c);
        }
    }

    void remember(const std::string& entry) {
#ifdef KILN_LINE_EDITING
        if (editing && !entry.empty()) add_history(entry.c_str());
#else
        (void)entry;
#endif
    }
};

// :parse EXPR: the tree of each piece, as --parse writes it.
void parseCommand(const std::string& text) {
    std::string error;
    std::string lines = parsedLines(text, &error);
    if (lines.empty()) {
        ErrorRecord record;
        record.type = error.substr(0, 5);
        record.message = error;
        printReport(record);
        return;
    }
    std::fwrite(lines.data(), 1, lines.size(), stdout);
}

// Runs a session command; false for ":quit".
bool command(Session& session, const std::string& line) {
    std::string word = line.substr(0, line.find(' '));
    std::string rest = trimmed(line.substr(word.size()));
    if (word == ":quit" || word == ":q") return false;
    if (word == ":help" || word == ":h" || word == ":?") {
        std::fputs(kSessionHelp, stdout);
    } else if (word == ":defs") {
        if (session.definitions.empty()) std::puts("no definitions yet");
        for (const Definition& d : session.definitions) std::printf("%s\n", d.text.c_str());
    } else if (word == ":load") {
        if (rest.empty())
            std::puts(":load needs a file name");
        else
            loadFile(session, rest);
    } else if (word == ":parse") {
        parseCommand(rest);
    } else {
        std::printf("unknown command %s (:help lists them)\n", word.c_str());
    }
    return true;
}

}  // namespace

int runInteractive(const char* file) {
    registerAllFamilies();
    setHintSource("", "");
    Session session;
    if (file && !loadFile(session, file)) return 255;
    LineReader reader;
    if (reader.terminal) std::puts("kiln interactive session; :help for help, :quit to leave");
    std::string line;
    bool fresh = false;
    while (reader.read(kPrompt, line, fresh)) {
        std::string entry = line;
        while (true) {
            TopLevel scan = scanTopLevel(entry);
            if (scan.strayCloser || scan.open <= 0) break;
            if (!reader.read(kMore, line, fresh)) break;
            entry = fresh ? line : entry + "\n" + line;
        }
        reader.remember(entry);
        std::string t = trimmed(entry);
        if (t.empty()) continue;
        if (t[0] == ':') {
            if (!command(session, t)) return 0;
            continue;
        }
        enter(session, t, true);
    }
    if (reader.terminal) std::puts("");
    return 0;
}

}  // namespace kiln
