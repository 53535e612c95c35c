#include "numbers/builtins.h"
#include "numbers/numbers.h"

namespace kiln {

NumberTrapWatcher gNumberTrapWatcher = nullptr;

void registerNumbers(Registry& r) {
    r.bind("plus", 2, numbers::plus);
    r.bind("dash", 2, numbers::dash);
    r.bind("mult", 2, numbers::mult);
    r.bind("over", 2, numbers::over);
    r.bind("cent", 2, numbers::cent);
    r.bind("powa", 2, numbers::powa);
    r.bind("less", 2, numbers::less);
    r.bind("gteq", 2, numbers::gteq);
    r.bind("same", 2, numbers::same);
    r.bind("diff", 2, numbers::diff);
    r.bind("cmpr", 2, numbers::cmpr);
    r.bind("buck", 1, numbers::buck);
    r.bind("wave", 1, numbers::wave);
    r.bind("abs", 1, numbers::abs);
    r.bind("labs", 1, numbers::labs);
    r.bind("real", 1, numbers::real);
    r.bindDirect("plus", numbers::plusDirect);
    r.bindDirect("dash", numbers::dashDirect);
    r.bindDirect("mult", numbers::multDirect);
    r.bindDirect("over", numbers::overDirect);
    r.bindDirect("cent", numbers::centDirect);
    r.bindDirect("less", numbers::lessDirect);
    r.bindDirect("gteq", numbers::gteqDirect);
    r.bindDirect("same", numbers::sameDirect);
    r.bindDirect("diff", numbers::diffDirect);
}

}  // namespace kiln
