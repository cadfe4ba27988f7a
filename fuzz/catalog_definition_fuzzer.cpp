// Catalog definition files ("*.kpm") and the variables their lines set and
// use: every line is read, assigned, substituted and evaluated as a catalog
// run would, which must end quickly whatever the values refer to.
#include "document/catalog_definition.h"
#include "fuzz_support.h"
#include "platform/var_table.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vemra;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const CatalogDefinition d = parseCatalogDefinition(text, CatalogDefinition{});
    VarTable vars;
    for (const auto* list : {&d.preamble, &d.header, &d.one, &d.footer}) {
        for (const std::string& line : *list) {
            if (isAssignmentLine(line)) {
                vars.assign(std::string_view(line).substr(4));
                continue;
            }
            if (vars.substitute(line).size() > kMaxSubstitutedLength)
                std::abort();
            (void)vars.evaluate(line);
        }
    }
    return 0;
}
