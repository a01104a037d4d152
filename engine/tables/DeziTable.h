// The public components of the table storage, in one header: the database
// component, the table component and the dataset framework they stand on.
#pragma once

#include "engine/tables/data_source.h"
#include "engine/tables/field_data_link.h"
#include "engine/tables/dezi_database.h"
#include "engine/tables/dezi_table.h"
#include "engine/tables/tbl_exception.h"
