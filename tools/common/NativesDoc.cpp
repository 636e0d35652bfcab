// One section per group and extension, one table row per function.
#include "common/NativesDoc.h"

#include "common/NativeCatalogue.h"

#include <sstream>

namespace mcb {

namespace mcbtools {
namespace {
void table(std::ostringstream& out, const NamedGroup& g)
{
    if (g.functions.empty()) {
        out << "No functions: every number is unknown.\n\n";
        return;
    }
    out << "| Number | Name | Operands |\n|---:|---|---|\n";
    for (const NamedFunction& f : g.functions) {
        out << "| " << f.number << " | `" << g.name << "." << f.name << "` | ";
        out << (f.shape.empty() ? std::string_view("") : f.shape) << " |\n";
    }
    out << "\n";
}
}  // namespace

std::string nativesMarkdown(const std::string& intro)
{
    std::ostringstream out;
    out << intro;
    out << "\n## Native groups (instruction 78)\n\n";
    out << "The operands column is filled where a row records them.\n\n";
    for (const NamedGroup& g : nativeGroups()) {
        out << "### " << g.number << " " << g.name << "\n\n";
        table(out, g);
    }
    out << "## Extensions (instruction 97)\n\n";
    for (const NamedGroup& e : extensions()) {
        out << "### " << e.number << " " << e.name << "\n\n";
        table(out, e);
    }
    std::string text = out.str();
    while (text.size() >= 2 && text[text.size() - 1] == '\n' && text[text.size() - 2] == '\n')
        text.pop_back();
    return text;
}

}  // namespace mcbtools

}  // namespace mcb
