#pragma once
#include <cstdint>
#include <string_view>

namespace karto {

// Collations that order character index keys, one per language driver id.
//
// A collation is a 256-byte weight table: each byte of a key is replaced by its
// weight before comparing. Ids without a table compare bytes as they are
// (binary). The registered driver name of an id ("DB852CZ0") is the name an
// index file carries for its collation.

// The weight table of an id; nullptr for binary comparison (also for ids
// outside 0-255 and ids nobody registered).
const uint8_t* collationWeights(int id);

// The registered driver name of an id; empty when the id is not registered.
std::string_view collationName(int id);

// The id registered under a driver name (exact, case-sensitive); -1 when none.
int collationIdForName(std::string_view name);

} // namespace karto
