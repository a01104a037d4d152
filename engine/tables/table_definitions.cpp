// Describing an open table's fields and indexes as definition lists.
#include "engine/tables/table_definitions.h"

#include "engine/tables/field_types.h"

namespace norvane {

std::vector<TFieldDef> DescribeFields(const TDeziDataManager& table) {
  std::vector<TFieldDef> defs;
  for (const TFieldHeader& field : table.Fields())
    defs.push_back({field.Name, field.Type, static_cast<int32_t>(DeclaredSizeOf(field.Type, field.Size)),
                    field.Required});
  defs.push_back({table.Header().RowIdName, ftAutoInc, 0, false});
  return defs;
}

std::vector<TIndexDef> DescribeIndexes(const TDeziDataManager& table) {
  std::vector<TIndexDef> defs;
  auto nameOf = [&](int32_t field) {
    return field < 0 ? table.Header().RowIdName : table.Fields()[static_cast<size_t>(field)].Name;
  };
  auto join = [](std::string& list, const std::string& name) {
    list += (list.empty() ? "" : ";") + name;
  };
  for (int32_t i = 0; i < table.IndexCount(); ++i) {
    const TIndexDescription& index = table.IndexDescription(i);
    TIndexDef def;
    def.Name = index.Name;
    for (size_t k = 0; k < index.KeyFields.size(); ++k) {
      const std::string name = nameOf(index.KeyFields[k]);
      join(def.Fields, name);
      if (index.CaseInsensitive[k]) join(def.CaseInsFields, name);
      if (!index.Ascending[k]) join(def.DescFields, name);
    }
    if (index.WholeCaseInsensitive) def.Options |= ixCaseInsensitive;
    if (index.WholeDescending) def.Options |= ixDescending;
    if (!index.KeyFields.empty() && index.KeyFields.front() < 0) def.Options |= ixPrimary;
    if ((index.Options & ixUnique) != 0) def.Options |= ixUnique;
    defs.push_back(std::move(def));
  }
  return defs;
}

std::vector<TIndexDef> UserIndexes(const std::vector<TIndexDef>& indexes) {
  std::vector<TIndexDef> user;
  for (const TIndexDef& index : indexes)
    if (!index.Name.empty() && index.Name[0] != '@' && index.Name[0] != '$') user.push_back(index);
  return user;
}

}  // namespace norvane
