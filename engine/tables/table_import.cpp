// Importing a table from any dataset: the source's fields become
// definitions the table storage can hold (problems noted in the log), the
// table is created, and every record is copied with its values and, where
// the source has one, its identifier.
#include <algorithm>

#include "engine/common/engine_error.h"
#include "engine/platform/file_system.h"
#include "engine/tables/data_link.h"
#include "engine/tables/controls_held.h"
#include "engine/tables/data_source.h"
#include "engine/tables/database_use.h"
#include "engine/tables/dezi_table.h"
#include "engine/tables/field_copy.h"
#include "engine/tables/name_list.h"

namespace norvane {
namespace {

const char kLineBreak[] = "\r\n";
constexpr size_t kMaxFieldName = 18;

bool NameTaken(const std::vector<TFieldDef>& defs, const std::string& name) {
  return std::any_of(defs.begin(), defs.end(), [&](const TFieldDef& def) { return SameNameIgnoringCase(def.Name, name); });
}

// The source's name cut to what a table holds; a cut that meets a name
// already taken ends in a number instead, so no two fields share a name.
std::string ImportedName(const std::string& name, const std::vector<TFieldDef>& defs, std::string& log,
                         bool& ok) {
  if (name.size() <= kMaxFieldName) return name;
  std::string cut = name.substr(0, kMaxFieldName);
  for (int n = 1; NameTaken(defs, cut); ++n) {
    const std::string suffix = std::to_string(n);
    cut = name.substr(0, kMaxFieldName - suffix.size()) + suffix;
  }
  log += "Field name longer than 18 chars is not supported! FieldName = " + cut + " is truncated." + kLineBreak;
  ok = false;
  return cut;
}

// The stored type and size of an imported field; a type the table cannot
// hold is replaced and noted in the log.
TFieldDef ImportedType(const TField& field, const std::string& name, std::string& log, bool& ok) {
  const int type = field.DataType();
  switch (type) {
    case ftString:
    case ftFixedChar: return {name, ftString, field.Size(), false};
    case ftSmallint: case ftInteger: case ftWord: case ftBoolean: case ftLargeint:
    case ftDate: case ftTime: case ftDateTime: case ftBlob: case ftMemo: case ftGraphic: case ftFmtMemo:
      return {name, type, 0, false};
    case ftBCD: return {name, ftFloat, 0, false};
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary: return {name, ftBlob, 0, false};
    case ftWideString: return {name, ftWideString, field.Size(), false};
    case ftAutoInc: return {name, ftInteger, 0, false};
    default: break;
  }
  if (*FieldTypeName(type) != '\0') return {name, type, field.Size(), false};
  ok = false;
  if (field.Size() == 0) {
    log += "Field type not supported! FieldName = " + name + ". Field type will be replaced to ftLargeInt." + kLineBreak;
    return {name, ftLargeint, 0, false};
  }
  log += "Field type not supported! FieldName = " + name + ". Field type will be replaced to ftString." + kLineBreak;
  return {name, ftString, field.Size(), false};
}

// A list of the source's field names in the names the table gives them.
std::string RenamedList(const std::string& list, const std::vector<TField*>& fields,
                        const std::vector<std::string>& names) {
  std::string renamed;
  for (const std::string& item : SplitNameList(list)) {
    std::string name = item;
    for (size_t i = 0; i < fields.size(); ++i)
      if (SameNameIgnoringCase(fields[i]->FieldName(), item)) name = names[i];
    renamed += (renamed.empty() ? "" : ";") + name;
  }
  return renamed;
}

bool FirstValueIsGraphic(TField& field) {
  const auto stream = field.DataSet().CreateBlobStream(field, TBlobStreamMode::Read);
  TMemoryStream bytes;
  std::vector<uint8_t> head(10);
  const int64_t n = stream->Read(head.data(), static_cast<int64_t>(head.size()));
  bytes.Write(head.data(), n);
  return TDeziDataManager::IsStreamGraphic(&bytes);
}

}  // namespace

bool TDeziTable::ImportTable(TDataLink* source, const std::vector<TIndexDef>* indexDefs, std::string& log) {
  if (TDataSet::Active()) throw EEngineError("Error in TDeziDataset.InternalImportTable - table is opened.");
  {
    TDatabaseUse database(*this);
    if (database.TableBusy(TableName()))
      throw EEngineError("TDeziDataSet.InternalImportTable - Table is busy, table " + TableName());
  }
  if (source == nullptr || source->DataSource() == nullptr)
    throw EEngineError("Error in TDeziDataset.ImportTable - dataSource 0 pointer.");
  TDataSet* from = source->DataSet();
  if (from == nullptr) throw EEngineError("Error in TDeziDataset.ImportTable - dataSet 0 pointer.");
  from->Open();  // its fields are its definitions
  log.clear();
  bool ok = true;
  FieldDefs().clear();
  IndexDefs().clear();

  // Definitions, and per source field the name it has in the table.
  std::vector<TField*> fields;
  for (int32_t i = 0; i < from->Fields().Count(); ++i) fields.push_back(&from->Fields()[i]);
  std::vector<std::string> names;
  std::string primary;
  for (TField* field : fields) {
    const std::string name = ImportedName(field->FieldName(), FieldDefs(), log, ok);
    names.push_back(name);
    FieldDefs().push_back(ImportedType(*field, name, log, ok));
    if (field->DataType() == ftAutoInc && primary.empty()) primary = name;
  }
  if (primary.empty() && indexDefs != nullptr)
    for (const TIndexDef& index : *indexDefs)
      if ((index.Options & ixPrimary) != 0) {
        const std::vector<std::string> keys = SplitNameList(RenamedList(index.Fields, fields, names));
        primary = keys.empty() ? index.Name : keys.front();
        break;
      }
  if (primary.empty()) {
    for (int n = 0; primary.empty(); ++n)
      if (!NameTaken(FieldDefs(), "ID" + std::to_string(n))) primary = "ID" + std::to_string(n);
    FieldDefs().push_back({primary, ftInteger, 0, false});
  }
  IndexDefs().push_back({primary, primary, ixPrimary, "", ""});
  if (indexDefs != nullptr)
    for (const TIndexDef& index : *indexDefs)
      if (!index.Name.empty())
        IndexDefs().push_back({index.Name, RenamedList(index.Fields, fields, names),
                               static_cast<uint8_t>(index.Options & (ixDescending | ixCaseInsensitive)),
                               RenamedList(index.CaseInsFields, fields, names),
                               RenamedList(index.DescFields, fields, names)});
  // Pictures keep their kind: the first record's value says which are.
  from->First();
  if (!from->Eof())
    for (size_t i = 0; i < fields.size(); ++i)
      if (fields[i]->IsBlob() && !fields[i]->IsNull() && FirstValueIsGraphic(*fields[i]))
        FieldDefs()[i].Type = ftGraphic;

  try {
    CreateTable();
  } catch (const std::exception& error) {
    log += std::string(kLineBreak) + "Table cannot be created!" + kLineBreak + error.what();
    return false;
  }
  try {
    Open();
  } catch (const std::exception& error) {
    log += std::string(kLineBreak) + "Table cannot be opened!" + kLineBreak + error.what();
    return false;
  }

  // Per source field its field in the table; the one that became the row
  // identifier gives each record its identifier.
  std::vector<TField*> targets;
  for (const std::string& name : names) targets.push_back(FindField(name));
  const std::string& rowIdName = Table()->Header().RowIdName;
  const double step = 100.0 / std::max<double>(from->RecordCount(), 0.000001);
  double done = 0;
  Report(0, aappImport);
  TControlsHeld held({this, from});
  int32_t number = 0;  // the source's record number
  for (from->First(); !from->Eof(); from->Next()) {
    ++number;
    try {
      Append();
      for (size_t i = 0; i < fields.size(); ++i) {
        if (targets[i] == nullptr || fields[i]->IsNull()) continue;
        if (SameNameIgnoringCase(names[i], rowIdName)) {
          SetNextRowId(static_cast<int32_t>(fields[i]->AsLargeInt()));
        } else {
          CopyFieldValue(*fields[i], *targets[i]);
        }
      }
      Post();
    } catch (const std::exception&) {
      Cancel();
      log += "Insert records error, record number = !" + std::to_string(number) + kLineBreak;
      ok = false;
    }
    done += step;
    Report(done, aappImport);
  }
  Report(100, aappImport);
  return ok;
}

void TDeziTable::Report(double percent, TaaProgressProcess process) {
  if (OnProgress) OnProgress(*this, percent, process);
}

}  // namespace norvane
