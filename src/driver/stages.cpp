#include "driver/stages.h"

#include <cstdio>

#include "bridge/bridge.h"
#include "cells/integers.h"
#include "cells/values.h"
#include "compile/compiler.h"
#include "compile/printer.h"
#include "data/data.h"
#include "driver/report.h"
#include "driver/unfold.h"
#include "front/definitions.h"
#include "front/load_builtin.h"
#include "front/loader.h"
#include "numbers/numbers.h"
#include "reduce/engine.h"

namespace kiln {

void registerAllFamilies() {
    static bool done = false;
    if (done) return;
    done = true;
    Registry& r = registry();
    registerNumbers(r);
    registerData(r);
    registerBridge(r);
    registerLoad(r);
    installHeadUnfolders();
}

namespace {
// `load` of a text value; an address would be read as raw memory.
CellRef loadWithoutAddresses(CellRef app) {
    Cell* text;
    spineArguments(app.get(), 1, &text);
    if (isInteger(text)) return makeAtom("Z");
    return loadBuiltin(std::move(app));
}
}  // namespace

void disableHostBuiltins() {
    static const char* const kHostRows[] = {
        // raw memory
        "malloc", "calloc", "realloc", "free", "bzero", "memset", "memchr", "memcmp", "memcpy",
        "memmove", "getx", "gety", "gett", "getv", "getu", "gets", "getw", "getz", "setx", "sett",
        "setu", "setw", "copy",
        // process
        "abort", "exit", "system", "getenv", "rand", "srand", "raise", "errno", "assert",
        // files and streams
        "stdout", "stderr", "fopen", "fdopen", "tmpfile", "fclose", "fflush", "feof", "ferror",
        "clearerr", "fileno", "ftell", "rewind", "fseek", "fgetpos", "fsetpos", "setbuf", "fgetc",
        "getc", "getchar", "ungetc", "fgets", "fputc", "putc", "putchar", "fputs", "puts", "fread",
        "fwrite", "perror", "remove", "rename", "tmpnam", "read", "write",
        // C strings (an integer argument is an address)
        "strlen", "strnlen", "strcmp", "strcasecmp", "strncmp", "strncasecmp", "strcpy", "strcat",
        "strncpy", "strncat", "strdup", "strchr", "strrchr", "strpbrk", "strspn", "strstr",
        "strtok", "strtok_r", "strtol", "strtoul", "strtod", "atoi", "atol", "atof", "strerror",
        // sockets and name resolution
        "socket", "bind", "listen", "accept", "connect", "shutdown", "closesocket", "getpeername",
        "gethostname", "getaddrinfo", "freeaddrinfo", "getnameinfo", "gai_strerror", "recv",
        "recvfrom", "send", "sendto", "setsockopt", "inet_pton", "inet_ntop",
        // mathematics and time through addresses
        "frexp", "modf", "time", "ctime", "gmtime", "localtime", "mktime", "asctime", "strftime",
        // directories
        "opendir", "readdir", "closedir",
    };
    const BuiltinTable& table = builtinTable();
    Registry& r = registry();
    for (const char* name : kHostRows) {
        auto it = table.find(std::string_view(name));
        if (it == table.end()) assertionFailed("kiln", __LINE__);
        r.bind(name, it->second.arity, answerZ);
    }
    r.bind("load", 1, loadWithoutAddresses);
}

ErrorRecord& run(ErrorRecord& record, uint64_t argumentVector) {
    compileDefinitions(record);
    if (!record.empty()) return record;
    DefinitionTable& defs = definitionTable();
    auto mainIt = defs.find(std::string_view());
    if (mainIt == defs.end()) assertionFailed("kiln", __LINE__);
    CellRef program = apply(mainIt->second, makeInteger(static_cast<int64_t>(argumentVector)));
    CellRef result = evaluate(std::move(program));
    if (isAtom(result) && firstChar(result) == ')') {
        std::string_view t = atomText(result);
        record.type = "Cycle";
        record.name = displayForm(t.substr(1));  // a name's newline shows as its NUL
        record.message = "Cycle detected on function [" + record.name + "].";
        return record;
    }
    if (isInteger(result)) {
        definitionTable()[""] = std::move(result);
        return record;
    }
    std::string printed = showResult(result);
    record.type = "Range";
    record.name = printed.size() > 56 ? printed.substr(0, 53) + "..." : printed;
    record.message = "The program must return an integer. Instead we encountered:\n" + printed;
    return record;
}

namespace {
int reportError(const ErrorRecord& record) {
    bool colour = colourWanted();
    std::string out = colour ? "\x1b[m" : "";
    out += colourize(report(record), colour);
    std::fflush(stdout);
    std::fwrite(out.data(), 1, out.size(), stderr);
    std::fflush(stderr);
    return 255;
}
}  // namespace

int runStages(std::string programText, uint64_t argumentVector) {
    registerAllFamilies();
    loadPrelude();
    ErrorRecord record;
    loadDefinitions(record, std::move(programText));
    if (!record.empty()) return reportError(record);
    run(record, argumentVector);
    if (!record.empty()) return reportError(record);
    DefinitionTable& defs = definitionTable();
    auto it = defs.find(std::string_view());
    if (it == defs.end()) assertionFailed("kiln", __LINE__);
    return static_cast<int32_t>(static_cast<uint32_t>(toInt64(it->second)));
}

}  // namespace kiln
