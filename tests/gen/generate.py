#!/usr/bin/env python3
"""A seeded generator of kiln programs.

Each program is drawn from random.Random(SEED:INDEX), so any one of them can
be made again from its seed and index alone:

    tests/gen/generate.py SEED INDEX          print program INDEX of SEED
    tests/gen/generate.py SEED INDEX COUNT    print COUNT programs from INDEX,
                                              each after a line "== INDEX"

Programs are meant to be plausible rather than sensible: lambdas, bindings
and pair patterns, call lists, every operator, numerals small, huge,
negative and fractional, texts and byte strings, capitals, quoting,
redefinitions of prelude names, operators and builtins, run-time `load`,
`lisp`, `cmpr`, `raws`, `tern` and `leak` on lambdas, partial applications
and constructor values, and output through `puts`, `putchar` and `fputc` in
varying orders. They also use the everyday styles: closures (lambdas with
free variables), partial applications, functions passed as parameters and
returned, Scott-encoded lists taken apart by continuations (built from K and
V, or by definitions that select a continuation, lists and trees), folds and maps
given lambdas, tests joined by `&` and `|`, `Y` counting down, prelude
combinators and operators redefined with their usual meaning, and `load`ed
programs with definitions of their own that take functions. Definitions only call definitions made before them, and the
one recursive shape counts down from a small numeral, so nearly all programs
end quickly. About one program in seven is then damaged (a byte dropped,
doubled or changed, or the text cut short) to exercise the reports.

No program reaches raw memory, files, sockets, processes, directories,
the environment, the clock or `rand`: a builtin that reads an address
appears only where its argument cannot be an integer (`puts(lisp(...))`),
and such builtins are never redefined nor passed around as values.
"""

import random
import sys

# Builtins that compute on values only; they may appear anywhere, as values
# too, and be redefined.
PURE_BUILTINS = {
    "plus": 2, "dash": 2, "mult": 2, "over": 2, "cent": 2, "powa": 2, "less": 2,
    "gteq": 2, "same": 2, "diff": 2, "cmpr": 2, "buck": 1, "wave": 1, "abs": 1,
    "labs": 1, "real": 1, "cats": 2, "cork": 3, "into": 3, "leaf": 1, "left": 1,
    "look": 2, "lord": 1, "lots": 1, "rank": 1, "raws": 2, "rght": 1, "rows": 1,
    "tail": 1, "tern": 1, "type": 1, "sqrt": 1, "floor": 1, "ceil": 1, "exp": 1,
    "log": 1, "sin": 1, "fabs": 1, "fmod": 2, "pow": 2, "hypot": 2, "ldexp": 2,
    "nextafter": 2, "isalpha": 1, "isdigit": 1, "isspace": 1, "toupper": 1,
    "tolower": 1, "htonl": 1, "htons": 1, "ntohs": 1, "difftime": 2,
}
CONSTANTS = ["eacces", "einval", "enomem", "addrinfo", "dirent", "rand_max", "sock_stream",
             "af_unspec", "time_t", "fd_set"]
# init and lisp serve the printers and are never redefined.
SAFE_UNARY = ["init", "lisp"]

CAPITALS = "ABCDEFGHIJKLNOPQRSTUVWXZ"  # no M, Y: self-application loops
BINARY_OPS = "+-*/%^<>=#&|:.'@"
UNARY_OPS = "~!\"$"
# Helper definitions the styled expressions call; a program holds those it
# uses. Lists are Scott-encoded: the empty list is K and a pair K(V(h,t)),
# so l(n)(h\t\...) answers n for the empty list.
HELPERS = {
    "gap": "gap\\f\\v\\f(v)",
    "gtwice": "gtwice\\f\\v\\f(f(v))",
    "gcompose": "gcompose\\f\\g\\v\\f(g(v))",
    "gflip": "gflip\\f\\a\\b\\f(b,a)",
    "gadder": "gadder\\k\\v\\v+k",
    "gcons": "gcons\\h\\t\\K(V(h,t))",
    "gsum": "gsum\\l\\l(0)(h\\t\\h+gsum(t))",
    "glen": "glen\\l\\l(0)(h\\t\\1+glen(t))",
    "gfold": "gfold\\f\\acc\\l\\l(acc)(h\\t\\gfold(f,f(acc,h),t))",
    "gmapl": "gmapl\\f\\l\\l(K)(h\\t\\gcons(f(h),gmapl(f,t)))",
    "gkeep": "gkeep\\p\\l\\l(K)(h\\t\\p(h)?gcons(h,gkeep(p,t));gkeep(p,t))",
    # Scott-encoded data made by definitions that select a continuation.
    "gsnil": "gsnil\\n\\c\\n",
    "gscons": "gscons\\h\\t\\n\\c\\c(h,t)",
    "gssum": "gssum\\l\\l(0,h\\t\\h+gssum(t))",
    "gsleaf": "gsleaf\\v\\e\\f\\e(v)",
    "gsnode": "gsnode\\l\\r\\e\\f\\f(l,r)",
    "gstotal": "gstotal\\t\\t(v\\v,l\\r\\gstotal(l)+gstotal(r))",
    # A tree rebuilt by a case whose operand is a partial application.
    "gsleafplus": "gsleafplus\\w\\v\\gsleaf(w+v)",
    "gsgrow": "gsgrow\\w\\t\\t(gsleafplus(w))(l\\r\\gsnode(gsgrow(w,l),gsgrow(w,r)))",
    "gspair": "gspair\\a\\b\\e\\f\\f(a,b)",
}
HELPER_NEEDS = {"gmapl": ["gcons"], "gkeep": ["gcons"], "gsleafplus": ["gsleaf"],
                "gsgrow": ["gsleafplus", "gsleaf", "gsnode"]}
# Prelude names redefined with their usual meaning (but evaluating their
# arguments, as every definition does).
FAITHFUL = ["B\\f\\g\\v\\f(g(v))", "C\\f\\a\\b\\f(b,a)", "T\\a\\f\\f(a)",
            "W\\f\\a\\f(a,a)", "[.]\\a\\f\\f(a)", "[@]\\a\\f\\f(a)",
            "[!]\\q\\q(H,K)", "[&]\\q\\r\\q(r,H)", "[|]\\q\\r\\q(K,r)"]
WORDS = ["foo", "bar", "baz", "qux", "twice", "mix", "pick", "swap", "step", "go", "lst",
         "head", "more", "than", "zap", "wrap", "pair", "fold", "odd", "even", "keep",
         "_tmp", "a_b"]
UNDEFINED = ["hi", "nowhere", "zork"]  # words no program defines
LETTERS = "abcdefghijklmnopqrstuvwyz"  # x is the main expression's parameter
TEXT_CHARS = "abcdefghijklmnopqrstuvwxyzABCXYZ0123456789 +-*/=<>?;:.!~$#&|'@{}\\\"`pqr"


class Gen:
    def __init__(self, rng):
        self.r = rng
        self.defs = []  # (name, arity) of definitions made so far
        self.redefined = set()
        self.used = set()
        self.plain = False  # only variables, numerals, texts and capitals
        # Some programs name no capital, so that the combinators the engine
        # builds by itself (truth values, pairs, the unit) are the only ones.
        self.capitals = rng.random() < 0.75
        self.helpers = []  # helper names used, in order
        self.styles = True  # false inside a loaded text, which has no helpers

    # -- leaves ------------------------------------------------------------

    def numeral(self):
        r = self.r
        kind = r.random()
        if kind < 0.55:
            return str(r.choice([0, 1, 2, 3, 5, 7, 10, 42, 64, 100, 255, 256, 1000]))
        if kind < 0.7:
            return "0" + str(r.randint(1, 300))  # negative
        if kind < 0.8:
            return "00" + str(r.randint(0, 40))  # binary fraction
        if kind < 0.9:
            return str(r.choice([2 ** 31, 2 ** 32 + 1, 2 ** 63, 2 ** 64, 2 ** 64 + 1, 10 ** 20]))
        digits = r.randint(20, 120)
        text = str(r.randint(1, 9)) + "".join(r.choice("0123456789") for _ in range(digits))
        return ("0" + text) if r.random() < 0.4 else text

    def text(self, depth=0):
        r = self.r
        n = r.choice([0, 1, 2, 3, 5, 8])
        parts = []
        for _ in range(n):
            if depth < 2 and r.random() < 0.1:
                parts.append(self.text(depth + 1))
            else:
                parts.append(r.choice(TEXT_CHARS))
        return "[" + "".join(parts) + "]"

    def variable(self, env):
        # The main expression's parameter is an address, different in every
        # run: it is never used, and a free variable is rare.
        if env and self.r.random() < 0.9:
            return self.r.choice(env)
        if self.r.random() < 0.02:
            return self.r.choice(LETTERS)
        return self.numeral()

    # -- expressions ---------------------------------------------------------

    def atom(self, env):
        r = self.r
        k = r.random()
        if self.plain:
            if k < 0.15:
                return r.choice(UNDEFINED)  # reported as undefined, if reachable
            return [lambda: self.variable(env), self.numeral, self.text,
                    lambda: r.choice(CAPITALS)][min(3, int(k * 4))]()
        if k < 0.3:
            return self.variable(env)
        if k < 0.5:
            return self.numeral()
        if k < 0.6:
            return self.text()
        if k < 0.65:
            return "init" + self.text()
        if k < 0.75:
            return r.choice(CAPITALS) if self.capitals else self.numeral()
        if k < 0.85 and self.defs:
            return r.choice(self.defs)[0]
        if k < 0.92:
            return r.choice(list(PURE_BUILTINS))
        return r.choice(CONSTANTS)

    def expr(self, env, depth):
        r = self.r
        if depth <= 0:
            return self.atom(env)
        k = r.random()
        d = depth - 1
        if k < 0.2:
            op = r.choice(BINARY_OPS)
            left = self.expr(env, d)
            right = self.numeral() if op in "^*" and r.random() < 0.8 else self.expr(env, d)
            if op == "^":
                right = str(r.randint(0, 12)) if r.random() < 0.9 else "0" + str(r.randint(1, 5))
            return "(" + left + op + right + ")"
        if k < 0.28:
            return r.choice(UNARY_OPS) + "(" + self.expr(env, d) + ")"
        if self.plain:
            if k < 0.5:
                return "(" + self.expr(env, d) + " " + self.expr(env, d) + ")"
            return self.atom(env)
        if k < 0.36:
            return "(" + self.expr(env, d) + "?" + self.expr(env, d) + ";" + self.expr(env, d) + ")"
        if k < 0.46:
            return self.call(env, d)
        if k < 0.54:
            params = self.params()
            body = self.expr(env + [p for p in params], d)
            lam = "(" + "".join(p + "\\" for p in params) + body + ")"
            if r.random() < 0.7:
                return lam + "(" + ",".join(self.expr(env, d) for _ in params) + ")"
            return lam
        if k < 0.6:
            name = self.param()
            value = self.expr(env, d)
            return "(" + name + "{" + value + "}" + self.expr(env + [name], d) + ")"
        if k < 0.63 and self.capitals:
            lo, hi = self.param(), self.param()
            value = "V(" + self.expr(env, d) + "," + self.expr(env, d) + ")"
            return "(" + lo + " " + hi + "{" + value + "}" + self.expr(env + [lo, hi], d) + ")"
        if k < 0.68:
            return "`(" + self.expr(env, d) + ")"
        if k < 0.76:
            return self.observe(env, d)
        if k < 0.8:
            return "load(" + self.loadable() + ")"
        if k < 0.86:
            # Application by juxtaposition, with and without spaces.
            sep = r.choice([" ", "", " ", "\n"])
            return "(" + self.expr(env, d) + sep + self.expr(env, d) + ")"
        if k < 0.9:
            # In parentheses: next to another term the builtin would be
            # that term's argument, a value that may be given an integer.
            return "(" + self.effect(env, d) + ")"
        if k < 0.92:
            n = self.numeral() if r.random() < 0.5 else self.variable(env)
            return "(" + n + " " + self.atom(env) + ")"  # a numeral taken apart
        if k < 0.98 and self.styles and self.capitals:
            return self.styled(env, d)
        return self.atom(env)

    # -- the everyday styles -------------------------------------------------

    def helper(self, name):
        for need in HELPER_NEEDS.get(name, []) + [name]:
            if need not in self.helpers:
                self.helpers.append(need)
        return name

    def small(self, env):
        """A small operand: mostly a small numeral, sometimes a variable."""
        r = self.r
        if env and r.random() < 0.4:
            return r.choice(env)
        return str(r.choice([0, 1, 2, 3, 5, 7, 10, 42]))

    def function(self, env, d):
        """A function value: a closure over the environment, a partial
        application, a helper or a composition."""
        r = self.r
        k = r.random()
        v = self.param()
        if k < 0.35:
            # A lambda whose body uses its parameter and a free variable.
            other = self.small(env)
            op = r.choice("+-*%<=")
            return "(" + v + "\\" + "(" + v + op + other + "))"
        if k < 0.55:
            name, arity = r.choice([("plus", 2), ("mult", 2), ("dash", 2), ("less", 2), ("same", 2),
                                    ("cent", 2)] + [(n, a) for n, a in self.defs if a >= 2])
            if name in self.redefined:
                name = "gadder"
                self.helper(name)
            return name + "(" + self.small(env) + ")"
        if k < 0.7:
            return self.helper("gadder") + "(" + self.small(env) + ")"
        if k < 0.85:
            return (self.helper("gcompose") + "(" + self.function(env, 0) + "," +
                    self.function(env, 0) + ")")
        if k < 0.92:
            return "(" + r.choice("BCTW") + "(" + self.function(env, 0) + "))"
        return self.helper("gtwice") + "(" + self.function(env, 0) + ")"

    def scott_list(self, env, d):
        r = self.r
        items = [self.small(env) if r.random() < 0.8 else self.expr(env, min(d, 1))
                 for _ in range(r.randint(0, 4))]
        text = "K"
        for item in reversed(items):
            text = self.helper("gcons") + "(" + item + "," + text + ")"
        if r.random() < 0.3:
            text = self.helper("gmapl") + "(" + self.function(env, d) + "," + text + ")"
        elif r.random() < 0.2:
            text = self.helper("gkeep") + "(" + self.function(env, d) + "," + text + ")"
        return text

    def scott_defined(self, env, d):
        """A list or tree of definitions that select a continuation, taken
        apart by a helper or on the spot."""
        r = self.r
        if r.random() < 0.4:
            def tree(depth):
                if depth == 0 or r.random() < 0.3:
                    return self.helper("gsleaf") + "(" + self.small(env) + ")"
                return self.helper("gsnode") + "(" + tree(depth - 1) + "," + tree(depth - 1) + ")"
            k = r.random()
            if k < 0.3:
                return self.helper("gstotal") + "(" + tree(3) + ")"
            grown = self.helper("gsgrow") + "(" + self.small(env) + "," + tree(3) + ")"
            if k < 0.7:
                return self.helper("gstotal") + "(" + grown + ")"
            # A call's value taken apart on the spot.
            a, b = self.param(), self.param()
            return ("(" + grown + ")(" + self.param_lambda(env) + "," + a + "\\" + b + "\\" +
                    self.helper("gstotal") + "(" + a + ")+" + self.expr(env + [a, b], min(d, 1)) + ")")
        if r.random() < 0.2:
            # A pair made and taken apart at once by a lambda written there.
            a, b = self.param(), self.param()
            return (self.helper("gspair") + "(" + self.small(env) + "," + self.small(env) + ")(0)(" +
                    a + "\\" + b + "\\" + self.expr(env + [a, b], min(d, 1)) + ")")
        text = self.helper("gsnil")
        for _ in range(r.randint(0, 4)):
            text = self.helper("gscons") + "(" + self.small(env) + "," + text + ")"
        if r.random() < 0.5:
            return self.helper("gssum") + "(" + text + ")"
        h, t = self.param(), self.param()
        return ("(" + text + ")(" + self.small(env) + "," + h + "\\" + t + "\\" +
                self.expr(env + [h, t], min(d, 1)) + ")")

    def param_lambda(self, env):
        """A lambda of one parameter over small operands."""
        v = self.param()
        return v + "\\" + v + "*" + self.small(env) + "+" + self.small(env)

    def styled(self, env, d):
        r = self.r
        k = r.random()
        if k < 0.2:
            return "(" + self.function(env, d) + ")(" + self.small(env) + ")"
        if k < 0.3:
            return (self.helper("gap") + "(" + self.function(env, d) + "," +
                    self.expr(env, d) + ")")
        if k < 0.38:
            return (self.helper("gflip") + "(" + r.choice(["plus", "dash", "less", "cats"]) + "," +
                    self.small(env) + "," + self.small(env) + ")")
        if k < 0.6 and r.random() < 0.25:
            return self.scott_defined(env, d)
        if k < 0.6:
            l = self.scott_list(env, d)
            pick = r.random()
            if pick < 0.3:
                return self.helper("gsum") + "(" + l + ")"
            if pick < 0.45:
                return self.helper("glen") + "(" + l + ")"
            if pick < 0.75:
                return (self.helper("gfold") + "(" + r.choice(["plus", "mult", "(a\\b\\a*2+b)",
                                                                "(a\\b\\b<a?a;b)"]) +
                        "," + self.small(env) + "," + l + ")")
            # Taken apart on the spot, the head's continuation closing over
            # the environment.
            h, t = self.param(), self.param()
            return ("(" + l + ")(" + self.small(env) + ")(" + h + "\\" + t + "\\" +
                    self.expr(env + [h, t], min(d, 1)) + ")")
        if k < 0.75:
            a, b, c = self.small(env), self.small(env), self.small(env)
            test = "(" + a + r.choice("<=>#") + b + ")" + r.choice("&|") + "(" + b + r.choice("<=>#") + c + ")"
            if r.random() < 0.3:
                test = "!(" + test + ")"
            return "(" + test + "?" + self.expr(env, d) + ";" + self.expr(env, d) + ")"
        if k < 0.82:
            n = str(r.randint(0, 12))
            form = r.random()
            if form < 0.4:
                return "Y(me\\n\\n<1?" + self.small(env) + ";n+me(n-1))(" + n + ")"
            if form < 0.7:
                # Two parameters after the function itself: an accumulator.
                return ("Y(me\\n\\acc\\n<1?acc;me(n-1,acc+" + self.small(env) + "))(" + n + "," +
                        self.small(env) + ")")
            # A lazy stream made and taken apart where it is applied.
            return ("Y(me\\k\\V(k,me(k+1)))(" + self.small(env) + ")" +
                    r.choice(["(K)", "(H)(K)", "(H)(H)(K)"]))
        if k < 0.9:
            # A pipeline with . and a function passed on.
            return "(" + self.small(env) + "." + self.function(env, d) + "." + self.function(env, d) + ")"
        return "load(" + self.loadable_styled() + ")(" + self.small(env) + ")"

    def loadable_styled(self):
        """A loaded program with definitions of its own that take or return
        functions (it sees no prelude names)."""
        r = self.r
        return r.choice([
            "[x\\ap(x,x),ap\\f\\v\\f]",
            "[x\\tw(x),tw\\f\\f]",
            "[x\\(f\\g\\f)(x),dd\\n\\n]",
            "[x\\mk(x)(x),mk\\k\\v\\k]",
            "[x\\ho(me\\me,x),ho\\f\\v\\f(v)]",
        ])

    def call(self, env, d):
        r = self.r
        choices = [(n, a) for n, a in self.defs]
        choices += [(n, a) for n, a in PURE_BUILTINS.items() if n not in self.redefined]
        name, arity = r.choice(choices)
        if r.random() < 0.2:
            arity = r.randint(0, arity + 1)  # partial, empty or over-full call
        return name + "(" + ",".join(self.expr(env, d) for _ in range(arity)) + ")"

    def observe(self, env, d):
        """A value looked at as a graph: lisp, cmpr, raws, tern or leak of a
        lambda, a partial application or a constructor value."""
        r = self.r
        values = [
            lambda: "(" + "".join(p + "\\" for p in self.params()) + self.expr(env, d) + ")",
            lambda: r.choice(list(PURE_BUILTINS)) + "(" + self.expr(env, d) + ")",
            lambda: "V(" + self.expr(env, d) + "," + self.expr(env, d) + ")",
            lambda: r.choice("KSBCV") + "(" + self.expr(env, d) + ")",
            lambda: self.expr(env, d),
        ]
        if not self.capitals:
            del values[2:4]
        v = r.choice(values)()
        k = r.random()
        if k < 0.35:
            return "lisp(" + v + ")"
        if k < 0.55:
            return "cmpr(" + v + "," + r.choice(values)() + ")"
        if k < 0.75:
            name = self.param()
            return "(" + name + "{" + v + "}raws(" + name + "," + r.choice([name, "tern(" + name + ")", v]) + "))"
        if k < 0.9:
            return "tern(" + v + ")"
        # Only the same value's address twice: whether a pair built after
        # another value's last use lands at that value's old address depends
        # on when each engine lets go of it, which no program may rely on.
        name = self.param()
        return "(" + name + "{" + v + "}(leak(" + name + ")=leak(" + name + ")))"

    def loadable(self):
        """A text holding a small program, for `load`."""
        sub = Gen(self.r)
        sub.styles = False
        body = sub.expr([], 2)
        if self.r.random() < 0.3:
            return "[x\\" + body + ",dd\\n\\n+1]"
        return "[x\\" + body + "]"

    def effect(self, env, d):
        r = self.r
        k = r.random()
        if k < 0.6:
            return "puts(lisp(" + self.expr(env, d) + "))"
        if k < 0.8:
            return "putchar(" + self.expr(env, d) + ")"
        return "fputc(" + self.expr(env, d) + ",stderr)"

    def param(self):
        r = self.r
        return r.choice(LETTERS) if r.random() < 0.8 else r.choice(WORDS)

    def params(self):
        return [self.param() for _ in range(self.r.choice([1, 1, 2, 3]))]

    # -- definitions and programs ---------------------------------------------

    def definition(self):
        r = self.r
        k = r.random()
        if k < 0.03:
            # A prelude combinator or operator redefined with its usual
            # meaning.
            text = r.choice(FAITHFUL)
            name = text.split("\\")[0].strip("[]")
            self.redefined.add(name)
            return text
        if k < 0.15:
            # A prelude combinator, an operator or a builtin redefined.
            pick = r.random()
            if pick < 0.4:
                # The engine builds K, H, V, I and J itself: favour them.
                name = r.choice("KHVIJ") if r.random() < 0.5 else r.choice(CAPITALS)
                shown = name
            elif pick < 0.7:
                name = r.choice(BINARY_OPS + "~!$")
                shown = "[" + name + "]"
            else:
                name = r.choice(list(PURE_BUILTINS))
                shown = name
            params = [r.choice(LETTERS) for _ in range(r.randint(1, 3))]
            self.plain = True
            body = self.expr(params, r.randint(0, 2))
            self.plain = False
            self.redefined.add(name)
            return shown + "".join("\\" + p for p in params) + "\\" + body
        free = [w for w in WORDS if w not in self.used]
        name = r.choice(free) if free else "".join(r.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(4))
        self.used.add(name)
        if k < 0.25:
            # The one recursive shape: a count down from the first argument,
            # which calls always pass as a small numeral.
            step = self.expr(["n", "acc"], 2)
            text = name + "\\n\\acc\\n<1?acc;" + name + "(n-1," + step + ")"
            self.defs.append((name + "(" + str(r.randint(0, 30)) + ")", 1))
            return text
        if k < 0.27:
            # A constant that needs itself: the cycle report.
            self.defs.append((name, 0))
            return name + "\\" + r.choice(["", "1+", "V 1 "]) + name
        if k < 0.32:
            body = self.expr([], 2)
            nullary = r.random() < 0.4
            self.defs.append((name, 0))
            return name + ("()" if nullary else "") + "\\" + body
        params = [r.choice(LETTERS) for _ in range(r.randint(1, 3))]
        body = self.expr(params, r.randint(1, 3))
        self.defs.append((name, len(params)))
        return name + "".join("\\" + p for p in params) + "\\" + body

    def program(self):
        r = self.r
        defs = [self.definition() for _ in range(r.randint(0, 5))]
        seq = r.choice(["seq", "then", "and_then"])
        effects = [self.effect([], r.randint(1, 3)) for _ in range(r.randint(0, 4))]
        if r.random() < 0.25:
            result = "(" + self.expr([], r.randint(1, 4)) + ")"
        else:
            result = "rank(lisp(" + self.expr([], r.randint(1, 3)) + "))"
        main = result
        for e in reversed(effects):
            main = seq + "(" + e + "," + main + ")"
        if r.random() < 0.03:
            main = seq + "(" + main + ",exit(" + self.numeral() + "))"
        lines = ["x\\" + main] + defs + [HELPERS[h] for h in self.helpers] + [seq + "\\a\\b\\b"]
        joiner = r.choice([",\n", ",", ",\n"])
        return joiner.join(lines) + ("\n" if r.random() < 0.8 else "")


def damage(rng, text):
    """A malformed variant: a byte dropped, doubled or changed, or a cut."""
    if not text:
        return text
    i = rng.randrange(len(text))
    k = rng.random()
    if k < 0.3:
        return text[:i] + text[i + 1:]
    if k < 0.5:
        return text[:i] + text[i] + text[i:]
    if k < 0.8:
        return text[:i] + rng.choice("()[]{},\\`?;01aK \n") + text[i + 1:]
    return text[:i]


def program(seed, index):
    rng = random.Random("%s:%d" % (seed, index))
    text = Gen(rng).program()
    if rng.random() < 1 / 7:
        text = damage(rng, text)
    return text


def main(argv):
    if len(argv) not in (3, 4):
        sys.exit(__doc__)
    seed, index = argv[1], int(argv[2])
    if len(argv) == 3:
        sys.stdout.write(program(seed, index))
        return
    for i in range(index, index + int(argv[3])):
        sys.stdout.write("== %d\n%s\n" % (i, program(seed, i)))


if __name__ == "__main__":
    main(sys.argv)
