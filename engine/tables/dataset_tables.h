// How a dataset opens and closes its table among the shared managers: the
// component its database name finds is connected, the dataset registers
// with the database manager and joins the table manager; closing undoes
// this, and each manager goes when its last user leaves.
#pragma once

#include <cstdint>
#include <string>

namespace norvane {

class TDeziDataManager;
class TManagedDataset;

// Opens `tableName` for `dataset` (named by its DatabaseFileName, else its
// DatabaseName). Returns the table manager; or null with `result` set to
// ConnectDataset's code (-1 no T.dat, -2 the table does not open, -3
// password refused, -4 a table file did not open) after every step is
// undone. Throws the components' and managers' messages, also undone.
TDeziDataManager* aaOpenTableForDataset(TManagedDataset& dataset, const std::string& tableName,
                                        int32_t& result);
// Leaves the table and the database manager; the managers go when unused.
void aaCloseTableForDataset(TManagedDataset& dataset, TDeziDataManager& table);

}  // namespace norvane
