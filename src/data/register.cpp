#include "data/data.h"
#include "data/handlers.h"

namespace kiln {

void registerData(Registry& r) {
    using namespace data;
    r.bind("type", 1, typeBuiltin);
    r.bind("rank", 1, rankBuiltin);
    r.bind("raws", 2, rawsBuiltin);
    r.bind("leak", 1, leakBuiltin);
    r.bind("tern", 1, ternBuiltin);
    r.bind("lisp", 1, lispBuiltin);
    r.bind("leaf", 1, leafBuiltin);
    r.bind("left", 1, leftBuiltin);
    r.bind("rght", 1, rghtBuiltin);
    r.bind("tail", 1, tailBuiltin);
    r.bind("init", 1, initBuiltin);
    r.bind("rows", 1, rowsBuiltin);
    r.bind("cats", 2, catsBuiltin);
    r.bind("copy", 2, copyBuiltin);
    r.bind("look", 2, lookBuiltin);
    r.bindDirect("look", lookDirect);
    r.bind("into", 3, intoBuiltin);
    r.bind("cork", 3, corkBuiltin);
    r.bind("lord", 1, lordBuiltin);
    r.bind("lots", 1, lotsBuiltin);
}

}  // namespace kiln
