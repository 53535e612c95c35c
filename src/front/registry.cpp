#include "front/registry.h"

#include <array>

namespace kiln {

namespace {

struct Row {
    const char* name;
    uint8_t arity;
    Handler handler;
};

// The direct forms bound, by row name.
std::map<std::string, Direct2, std::less<>>& directForms() {
    static auto* m = new std::map<std::string, Direct2, std::less<>>;
    return *m;
}

// Every builtin, by family; the order within a family is bytewise.
Row gRows[] = {
    // numbers
    {"abs", 1, nullptr}, {"buck", 1, nullptr}, {"cent", 2, nullptr}, {"cmpr", 2, nullptr}, {"dash", 2, nullptr}, {"diff", 2, nullptr}, {"gteq", 2, nullptr},
    {"labs", 1, nullptr}, {"less", 2, nullptr}, {"mult", 2, nullptr}, {"over", 2, nullptr}, {"plus", 2, nullptr}, {"powa", 2, nullptr}, {"real", 1, nullptr},
    {"same", 2, nullptr}, {"wave", 1, nullptr},
    // data
    {"cats", 2, nullptr}, {"copy", 2, nullptr}, {"cork", 3, nullptr}, {"init", 1, nullptr}, {"into", 3, nullptr}, {"leaf", 1, nullptr}, {"leak", 1, nullptr},
    {"left", 1, nullptr}, {"lisp", 1, nullptr}, {"look", 2, nullptr}, {"lord", 1, nullptr}, {"lots", 1, nullptr}, {"rank", 1, nullptr}, {"raws", 2, nullptr},
    {"rght", 1, nullptr}, {"rows", 1, nullptr}, {"tail", 1, nullptr}, {"tern", 1, nullptr}, {"type", 1, nullptr},
    // runtime loading
    {"load", 1, nullptr},
    // the C library bridge
    {"abort", 0, nullptr}, {"accept", 3, nullptr}, {"acos", 1, nullptr}, {"addrinfo", 0, nullptr}, {"af_unspec", 0, nullptr}, {"ai_passive", 0, nullptr},
    {"asctime", 1, nullptr}, {"asin", 1, nullptr}, {"assert", 1, nullptr}, {"atan", 1, nullptr}, {"atof", 1, nullptr}, {"atoi", 1, nullptr}, {"atol", 1, nullptr},
    {"bind", 3, nullptr}, {"bzero", 2, nullptr}, {"calloc", 2, nullptr}, {"ceil", 1, nullptr}, {"clearerr", 1, nullptr}, {"closedir", 1, nullptr},
    {"closesocket", 1, nullptr}, {"connect", 3, nullptr}, {"cos", 1, nullptr}, {"cosh", 1, nullptr}, {"ctime", 1, nullptr}, {"difftime", 2, nullptr},
    {"dirent", 0, nullptr}, {"eacces", 0, nullptr}, {"ebadf", 0, nullptr}, {"econnaborted", 0, nullptr}, {"efault", 0, nullptr}, {"eintr", 0, nullptr},
    {"einval", 0, nullptr}, {"eio", 0, nullptr}, {"emfile", 0, nullptr}, {"enfile", 0, nullptr}, {"enodev", 0, nullptr}, {"enomem", 0, nullptr},
    {"enotsock", 0, nullptr}, {"enxio", 0, nullptr}, {"eopnotsupp", 0, nullptr}, {"eoverflow", 0, nullptr}, {"erf", 1, nullptr}, {"erfc", 1, nullptr},
    {"errno", 0, nullptr}, {"ewouldblock", 0, nullptr}, {"exit", 1, nullptr}, {"exp", 1, nullptr}, {"fabs", 1, nullptr}, {"fclose", 1, nullptr},
    {"fd_set", 0, nullptr}, {"fdopen", 2, nullptr}, {"feof", 1, nullptr}, {"ferror", 1, nullptr}, {"fflush", 1, nullptr}, {"fgetc", 1, nullptr},
    {"fgetpos", 2, nullptr}, {"fgets", 3, nullptr}, {"fileno", 1, nullptr}, {"floor", 1, nullptr}, {"fmod", 2, nullptr}, {"fopen", 2, nullptr},
    {"fputc", 2, nullptr}, {"fputs", 2, nullptr}, {"fread", 4, nullptr}, {"free", 1, nullptr}, {"freeaddrinfo", 1, nullptr}, {"frexp", 2, nullptr},
    {"fseek", 3, nullptr}, {"fsetpos", 2, nullptr}, {"ftell", 1, nullptr}, {"fwrite", 4, nullptr}, {"gai_strerror", 1, nullptr},
    {"getaddrinfo", 4, nullptr}, {"getc", 1, nullptr}, {"getchar", 0, nullptr}, {"getenv", 1, nullptr}, {"gethostname", 2, nullptr},
    {"getnameinfo", 7, nullptr}, {"getpeername", 3, nullptr}, {"gets", 1, nullptr}, {"gett", 1, nullptr}, {"getu", 1, nullptr}, {"getv", 1, nullptr},
    {"getw", 1, nullptr}, {"getx", 1, nullptr}, {"gety", 1, nullptr}, {"getz", 1, nullptr}, {"gmtime", 1, nullptr}, {"htonl", 1, nullptr}, {"htons", 1, nullptr},
    {"hypot", 2, nullptr}, {"inet_ntop", 4, nullptr}, {"inet_pton", 3, nullptr}, {"isalnum", 1, nullptr}, {"isalpha", 1, nullptr},
    {"isascii", 1, nullptr}, {"isblank", 1, nullptr}, {"isdigit", 1, nullptr}, {"isgraph", 1, nullptr}, {"islower", 1, nullptr}, {"isprint", 1, nullptr},
    {"ispunct", 1, nullptr}, {"isspace", 1, nullptr}, {"isupper", 1, nullptr}, {"ldexp", 2, nullptr}, {"listen", 2, nullptr}, {"localtime", 1, nullptr},
    {"log", 1, nullptr}, {"malloc", 1, nullptr}, {"memchr", 3, nullptr}, {"memcmp", 3, nullptr}, {"memcpy", 3, nullptr}, {"memmove", 3, nullptr},
    {"memset", 3, nullptr}, {"mktime", 1, nullptr}, {"modf", 2, nullptr}, {"nextafter", 2, nullptr}, {"ntohl", 1, nullptr}, {"ntohs", 1, nullptr},
    {"opendir", 1, nullptr}, {"perror", 1, nullptr}, {"pow", 2, nullptr}, {"putc", 2, nullptr}, {"putchar", 1, nullptr}, {"puts", 1, nullptr},
    {"raise", 1, nullptr}, {"rand", 0, nullptr}, {"rand_max", 0, nullptr}, {"read", 3, nullptr}, {"readdir", 1, nullptr}, {"realloc", 2, nullptr},
    {"recv", 4, nullptr}, {"recvfrom", 6, nullptr}, {"remove", 1, nullptr}, {"rename", 2, nullptr}, {"rewind", 1, nullptr}, {"send", 4, nullptr},
    {"sendto", 6, nullptr}, {"setbuf", 2, nullptr}, {"setsockopt", 5, nullptr}, {"sett", 2, nullptr}, {"setu", 2, nullptr}, {"setw", 2, nullptr},
    {"setx", 2, nullptr}, {"shutdown", 2, nullptr}, {"sin", 1, nullptr}, {"sinh", 1, nullptr}, {"sock_stream", 0, nullptr}, {"socket", 3, nullptr},
    {"sqrt", 1, nullptr}, {"srand", 1, nullptr}, {"stderr", 0, nullptr}, {"stdout", 0, nullptr}, {"strcasecmp", 2, nullptr}, {"strcat", 2, nullptr},
    {"strchr", 2, nullptr}, {"strcmp", 2, nullptr}, {"strcpy", 2, nullptr}, {"strdup", 1, nullptr}, {"strerror", 1, nullptr}, {"strftime", 4, nullptr},
    {"strlen", 1, nullptr}, {"strncasecmp", 3, nullptr}, {"strncat", 3, nullptr}, {"strncmp", 3, nullptr}, {"strncpy", 3, nullptr},
    {"strnlen", 2, nullptr}, {"strpbrk", 2, nullptr}, {"strrchr", 2, nullptr}, {"strspn", 2, nullptr}, {"strstr", 2, nullptr}, {"strtod", 2, nullptr},
    {"strtok", 2, nullptr}, {"strtok_r", 3, nullptr}, {"strtol", 3, nullptr}, {"strtoul", 3, nullptr}, {"system", 1, nullptr}, {"tan", 1, nullptr},
    {"tanh", 1, nullptr}, {"time", 1, nullptr}, {"time_t", 0, nullptr}, {"tmpfile", 0, nullptr}, {"tmpnam", 1, nullptr}, {"toascii", 1, nullptr},
    {"tolower", 1, nullptr}, {"toupper", 1, nullptr}, {"ungetc", 2, nullptr}, {"write", 3, nullptr},
};

BuiltinTable gTable;

}  // namespace

CellRef answerZ(CellRef) { return capitalAtom('Z'); }

size_t builtinRowCount() { return sizeof gRows / sizeof gRows[0]; }

void Registry::bind(std::string_view name, int arity, Handler handler) {
    for (Row& r : gRows) {
        if (name == r.name) {
            if (r.arity != arity) assertionFailed("b", __LINE__);
            r.handler = handler;
            auto it = gTable.find(name);
            if (it != gTable.end()) it->second.handler = handler;
            return;
        }
    }
    assertionFailed("b", __LINE__);
}

void Registry::bindDirect(std::string_view name, Direct2 direct) {
    for (Row& r : gRows) {
        if (name == r.name) {
            if (r.arity != 2) assertionFailed("b", __LINE__);
            directForms()[r.name] = direct;
            auto it = gTable.find(name);
            if (it != gTable.end()) it->second.direct = direct;
            return;
        }
    }
    assertionFailed("b", __LINE__);
}

Registry& registry() {
    static Registry r;
    return r;
}

BuiltinTable& builtinTable() {
    if (gTable.empty()) {
        for (const Row& r : gRows)
        {
            auto d = directForms().find(r.name);
            gTable.emplace(r.name, BuiltinEntry{r.arity, r.handler ? r.handler : answerZ,
                                                d == directForms().end() ? nullptr : d->second});
        }
    }
    return gTable;
}

void clearBuiltinTable() { gTable.clear(); }

}  // namespace kiln
