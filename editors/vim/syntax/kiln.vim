" Vim syntax file
" Language: kiln
" Filenames: *.kn
"
" A program is a main expression and definitions separated by commas. Words
" are lowercase letters and _ (no digits); a single lowercase letter is a
" variable; each capital letter is a combinator of the prelude; a numeral
" starting with 0 is negative (05 is -5), one starting with 00 a binary
" fraction; [ ] brackets a literal text whose groups nest. There are no
" comments.

if exists("b:current_syntax")
  finish
endif

let s:cpo_save = &cpo
set cpo&vim

syntax case match
" Words are made of lowercase letters and _ only: x1y is x, 1, y.
syntax iskeyword a-z,_

" Numerals: most specific last, so that it wins at the same position.
syntax match kilnNumber         "[0-9]\+"
syntax match kilnNegative       "0[0-9]\+"
syntax match kilnFraction       "00[0-9]*"

" Names and operators.
syntax match kilnWord           "[a-z_]\+"
syntax match kilnLetter         "\<[a-z]\>"
syntax match kilnCombinator     "[A-Z]"
syntax match kilnOperator       "[-+*/%^<>=#&|!~$:.'@\"]"
syntax match kilnConditional    "[?;]"
syntax match kilnQuote          "`"
syntax match kilnLambda         "\\"
syntax match kilnComma          ","
syntax match kilnBindBrace      "[{}]"

" Builtins, as the interpreter registers them.
syntax keyword kilnBuiltin abort abs accept acos addrinfo af_unspec ai_passive asctime asin assert
syntax keyword kilnBuiltin atan atof atoi atol bind buck bzero calloc cats ceil
syntax keyword kilnBuiltin cent clearerr closedir closesocket cmpr connect copy cork cos cosh
syntax keyword kilnBuiltin ctime dash diff difftime dirent eacces ebadf econnaborted efault eintr
syntax keyword kilnBuiltin einval eio emfile enfile enodev enomem enotsock enxio eopnotsupp eoverflow
syntax keyword kilnBuiltin erf erfc errno ewouldblock exit exp fabs fclose fd_set fdopen
syntax keyword kilnBuiltin feof ferror fflush fgetc fgetpos fgets fileno floor fmod fopen
syntax keyword kilnBuiltin fputc fputs fread free freeaddrinfo frexp fseek fsetpos ftell fwrite
syntax keyword kilnBuiltin gai_strerror getaddrinfo getc getchar getenv gethostname getnameinfo getpeername gets gett
syntax keyword kilnBuiltin getu getv getw getx gety getz gmtime gteq htonl htons
syntax keyword kilnBuiltin hypot inet_ntop inet_pton init into isalnum isalpha isascii isblank isdigit
syntax keyword kilnBuiltin isgraph islower isprint ispunct isspace isupper labs ldexp leaf leak
syntax keyword kilnBuiltin left less lisp listen load localtime log look lord lots
syntax keyword kilnBuiltin malloc memchr memcmp memcpy memmove memset mktime modf mult nextafter
syntax keyword kilnBuiltin ntohl ntohs opendir over perror plus pow powa putc putchar
syntax keyword kilnBuiltin puts raise rand rand_max rank raws read readdir real realloc
syntax keyword kilnBuiltin recv recvfrom remove rename rewind rght rows same send sendto
syntax keyword kilnBuiltin setbuf setsockopt sett setu setw setx shutdown sin sinh sock_stream
syntax keyword kilnBuiltin socket sqrt srand stderr stdout strcasecmp strcat strchr strcmp strcpy
syntax keyword kilnBuiltin strdup strerror strftime strlen strncasecmp strncat strncmp strncpy strnlen strpbrk
syntax keyword kilnBuiltin strrchr strspn strstr strtod strtok strtok_r strtol strtoul system tail
syntax keyword kilnBuiltin tan tanh tern time time_t tmpfile tmpnam toascii tolower toupper
syntax keyword kilnBuiltin type ungetc wave write

" A name before a backslash is bound by a lambda; one or two names before a
" brace are bound by a binding (lo hi{pair}body takes a pair apart).
syntax match kilnParameter      "\<[a-z_]\+\ze\\"
syntax match kilnBinding        "\<[a-z_]\+\( [a-z_]\+\)\?\ze{"

" A definition starts a line: a word, a capital or an operator name such as
" [+], then () for a nullary definition, then a backslash.
syntax match kilnDefinition     "^\([a-z_][a-z_]\+\|_\|[A-Z]\)\ze\(()\)\?\\"

" Bracketed literals: groups nest; [p] [q] [r] stand for a line break, [ and ].
syntax region kilnText          matchgroup=kilnTextDelimiter start="\[" end="\]" contains=kilnEscape,kilnTextGroup
syntax region kilnTextGroup     start="\[" end="\]" contained contains=kilnEscape,kilnTextGroup
syntax match kilnEscape         "\[[pqr]\]" contained

" Operator names such as [+] are names, not texts: defined after the
" literals so that they win where both start.
syntax match kilnOperatorName   "\[[-{,}~!@#$%^&*<>|+/=\\.`'\":;?]\]"
syntax match kilnDefinition     "^\[[-{,}~!@#$%^&*<>|+/=\\.`'\":;?]\]\ze\(()\)\?\\"

highlight default link kilnNumber        Number
highlight default link kilnNegative      Number
highlight default link kilnFraction      Float
highlight default link kilnWord          Identifier
highlight default link kilnLetter        Identifier
highlight default link kilnCombinator    Constant
highlight default link kilnOperator      Operator
highlight default link kilnConditional   Conditional
highlight default link kilnQuote         Special
highlight default link kilnLambda        Operator
highlight default link kilnComma         Delimiter
highlight default link kilnBindBrace     Delimiter
highlight default link kilnBuiltin       Function
highlight default link kilnParameter     Type
highlight default link kilnBinding       Type
highlight default link kilnDefinition    Function
highlight default link kilnOperatorName  Function
highlight default link kilnText          String
highlight default link kilnTextGroup     String
highlight default link kilnTextDelimiter String
highlight default link kilnEscape        SpecialChar

let b:current_syntax = "kiln"

let &cpo = s:cpo_save
unlet s:cpo_save
