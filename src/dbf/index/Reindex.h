#pragma once
// Rebuilding a table's production index from its records: the repair for an
// index another program or a crash left damaged.
#include <string>

namespace karto {

// Opens the table exclusively (refused while another program has it open:
// the open's error), reads the tag definitions of its production index
// (name, key expression, descending, unique or distinct; a damaged tree does
// not matter as long as the tag table and the tag headers can be read,
// otherwise IndexError), writes a new index with those tags filled from
// every record under a temporary name beside the old one, and puts it in
// the old one's place only when it is complete. The table's header then
// names its production index (byte 28). IndexError "The table has no
// production index." when the table names none or its file is missing.
void reindexProductionIndex(const std::string& tablePath);

} // namespace karto
