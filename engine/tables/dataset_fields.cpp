// The field list and the factory that turns a type code into its class.
#include "engine/tables/dataset_fields.h"

#include "engine/platform/file_system.h"
#include "engine/tables/database_error.h"
#include "engine/tables/fields_blob.h"
#include "engine/tables/fields_datetime.h"
#include "engine/tables/fields_numeric.h"
#include "engine/tables/fields_text.h"

namespace norvane {
namespace {

std::unique_ptr<TField> MakeField(TDataSet& ds, TFieldType type, const std::string& name,
                                  int32_t size) {
  switch (type) {
    case ftString: return std::make_unique<TStringField>(ds, name, size);
    case ftWideString: return std::make_unique<TWideStringField>(ds, name, size);
    case ftBytes: return std::make_unique<TBytesField>(ds, name, size);
    case ftSmallint: return std::make_unique<TSmallintField>(ds, name);
    case ftInteger: return std::make_unique<TIntegerField>(ds, name);
    case ftWord: return std::make_unique<TWordField>(ds, name);
    case ftAutoInc: return std::make_unique<TAutoIncField>(ds, name);
    case ftLargeint: return std::make_unique<TLargeintField>(ds, name);
    case ftBoolean: return std::make_unique<TBooleanField>(ds, name);
    case ftFloat: return std::make_unique<TFloatField>(ds, name);
    case ftCurrency: return std::make_unique<TCurrencyField>(ds, name);
    case ftBCD: return std::make_unique<TBCDField>(ds, name);
    case ftDate: return std::make_unique<TDateField>(ds, name);
    case ftTime: return std::make_unique<TTimeField>(ds, name);
    case ftDateTime: return std::make_unique<TDateTimeField>(ds, name);
    case ftBlob: return std::make_unique<TBlobField>(ds, name);
    case ftMemo: return std::make_unique<TMemoField>(ds, name);
    case ftGraphic: return std::make_unique<TGraphicField>(ds, name);
    case ftFmtMemo: return std::make_unique<TFmtMemoField>(ds, name);
    case ftFixedChar: return std::make_unique<TStringField>(ds, name, size, type);
    case ftVarBytes: return std::make_unique<TBytesField>(ds, name, size, type);
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary: return std::make_unique<TBlobField>(ds, type, name);
    case ftCursor: break;  // a cursor holds no value a field could show
  }
  throw EDatabaseError("Field '" + name + "' has the unknown type " +
                       std::to_string(static_cast<int>(type)));
}

}  // namespace

TField& TFields::Add(TDataSet& dataSet, TFieldType type, const std::string& name, int32_t size,
                     bool required) {
  if (Find(name) != nullptr) throw EDatabaseError("Duplicate field name '" + name + "'");
  fields_.push_back(MakeField(dataSet, type, name, size));
  TField& field = *fields_.back();
  field.SetFieldNo(Count());
  field.SetRequired(required);
  return field;
}

TField* TFields::Find(const std::string& name) const {
  for (const auto& field : fields_)
    if (SameNameIgnoringCase(field->FieldName(), name)) return field.get();
  return nullptr;
}

TField& TFields::ByName(const std::string& name) const {
  TField* field = Find(name);
  if (field == nullptr) throw EDatabaseError("Field '" + name + "' not found");
  return *field;
}

}  // namespace norvane
