// The reference of native groups and extensions in docs/natives.md: an introduction
// followed by every group's and extension's functions, made from the tables.
#pragma once

#include <string>

namespace mcb {

namespace mcbtools {
// The whole page: `intro` as written, then the tables.
std::string nativesMarkdown(const std::string& intro);
}  // namespace mcbtools

}  // namespace mcb
