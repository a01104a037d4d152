// Printing parse trees: the writer, conditions, and each statement's Print.
#include "engine/query/statement_printer.h"

#include <charconv>
#include <cstring>

#include "engine/common/byte_codec.h"
#include "engine/query/ddl_alter_table.h"
#include "engine/query/ddl_index.h"
#include "engine/query/ddl_names.h"
#include "engine/query/sql_insert.h"
#include "engine/query/sql_update.h"

namespace norvane {

void TTreeWriter::Line(const std::string& text) {
  text_.append(static_cast<size_t>(2 * depth_), ' ');
  text_ += text + "\n";
}

namespace {

std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
  return out + "'";
}

std::string Qualified(const std::string& prefix, const std::string& name) {
  return prefix.empty() ? name : prefix + "." + name;
}

std::string PasswordText(const std::string& password) {
  return password.empty() ? "" : " PASSWORD " + Quoted(password);
}

std::string LiteralText(const TSQLLiteral& literal) {
  if (literal.Null) return "NULL";
  return literal.Kind == tktQuotedString ? Quoted(literal.Text) : literal.Text;
}

std::string Joined(const std::vector<std::string>& items) {
  std::string out;
  for (const std::string& item : items) out += (out.empty() ? "" : ", ") + item;
  return out;
}

std::string ConstantText(const TETblValue& value) {
  if (value.IsNull()) return "NULL";
  if (value.Type() == ftInteger) return "int:" + std::to_string(GetI32LE(value.Data()));
  if (value.Type() == ftFloat) {
    double number;
    std::memcpy(&number, value.Data(), sizeof number);
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, number);
    return "float:" + std::string(text, result.ptr);
  }
  return Quoted(reinterpret_cast<const char*>(value.Data()));
}

const char* OperatorText(int op) {
  switch (op) {
    case opEqual: return "=";
    case opNotEqual: return "<>";
    case opGreater: return ">";
    case opLess: return "<";
    case opGreaterOrEqual: return ">=";
    case opLessOrEqual: return "<=";
    case opNot: return "NOT";
    case opAnd: return "AND";
    case opOr: return "OR";
    case opLike: return "LIKE";
    case opNotLike: return "NOT LIKE";
    case opIsNull: return "IS NULL";
    case opIsNotNull: return "IS NOT NULL";
    default: return "?";
  }
}

void PrintReference(TTreeWriter& out, const TETblTableReference& ref) {
  if (ref.Kind == TETblTableReference::rkTable) {
    out.Line("table " + Qualified(ref.Database, ref.TableName) + (ref.Alias.empty() ? "" : " AS " + ref.Alias) +
             PasswordText(ref.Password));
    return;
  }
  static const char* const kTypes[] = {"CROSS", "INNER", "?", "LEFT", "RIGHT", "FULL"};
  out.Line(std::string("join ") + (ref.Natural ? "NATURAL " : "") + kTypes[ref.JoinType]);
  out.Enter();
  PrintReference(out, *ref.Left);
  PrintReference(out, *ref.Right);
  if (ref.On) out.Line("on " + PrintCondition(ref.On.get()));
  if (!ref.Using.empty()) out.Line("using " + Joined(ref.Using));
  out.Leave();
}

std::string ColumnText(const TDeziFieldDef& column) {
  std::string text = "column " + column.Name;
  if (const TSqlColumnType* type = SqlColumnTypeOf(column.Type)) {
    text += std::string(" ") + type->Name;
    if (type->Sized) text += "(" + std::to_string(column.Size) + ")";
  }
  if (column.Nullable) text += *column.Nullable ? " NULL" : " NOT NULL";
  return text;
}

}  // namespace

std::string PrintCondition(const TETblExprNode* node) {
  if (node->Kind == TETblExprNode::nkField) return Qualified(node->Table, node->FieldName);
  if (node->Kind == TETblExprNode::nkConstant) return ConstantText(node->Value);
  // A left-leaning chain of one operator ("a AND b AND c ...") is as long
  // as the statement: it is walked in a loop, so only parentheses and NOTs,
  // whose depth the parser bounds, recurse.
  const int op = node->Operator;
  std::vector<const TETblExprNode*> rights;
  const TETblExprNode* first = node;
  for (; first->Kind == TETblExprNode::nkOperator && first->Operator == op && first->Right; first = first->Left.get())
    rights.push_back(first->Right.get());
  std::string text;
  for (size_t i = 0; i < rights.size(); ++i) text += std::string("(") + OperatorText(op) + " ";
  if (rights.empty()) return std::string("(") + OperatorText(op) + " " + PrintCondition(node->Left.get()) + ")";
  text += PrintCondition(first);
  for (auto right = rights.rbegin(); right != rights.rend(); ++right) text += " " + PrintCondition(*right) + ")";
  return text;
}

std::string PrintStatement(const TDeziSQLCommand& command) {
  TTreeWriter out;
  command.Print(out);
  return out.Text();
}

void TDeziSQLSelect::Print(TTreeWriter& out) const {
  out.Line(Distinct ? "SELECT DISTINCT" : "SELECT");
  out.Enter();
  if (SelectAll) {
    out.Line("columns *");
  } else {
    out.Line("columns");
    out.Enter();
    for (const TETblSelectListItem& item : SelectList)
      out.Line(Qualified(item.Table, item.AllColumns ? "*" : item.FieldName) +
               (item.Pseudonym.empty() ? "" : " AS " + item.Pseudonym));
    out.Leave();
  }
  if (!IntoTable.empty()) out.Line("into " + Qualified(IntoDatabase, IntoTable));
  out.Line("from");
  out.Enter();
  for (const auto& ref : From) PrintReference(out, *ref);
  out.Leave();
  if (Where) out.Line("where " + PrintCondition(Where.get()));
  if (!OrderBy.empty()) {
    out.Line("order by");
    out.Enter();
    for (const TETblSortSpecification& sort : OrderBy)
      out.Line(Qualified(sort.Table, sort.FieldName) + (sort.Descending ? " DESC" : ""));
    out.Leave();
  }
  out.Leave();
}

void TDeziSQLInsert::Print(TTreeWriter& out) const {
  out.Line("INSERT INTO " + TableName + PasswordText(Password));
  out.Enter();
  if (!Columns.empty()) out.Line("columns " + Joined(Columns));
  if (Select) {
    Select->Print(out);
  } else {
    std::vector<std::string> values;
    for (const TSQLLiteral& value : Values) values.push_back(LiteralText(value));
    out.Line("values " + Joined(values));
  }
  out.Leave();
}

void TDeziSQLUpdate::Print(TTreeWriter& out) const {
  out.Line("UPDATE " + TableName + PasswordText(Password));
  out.Enter();
  for (size_t i = 0; i < Columns.size(); ++i) out.Line("set " + Columns[i] + " = " + LiteralText(Values[i]));
  Select->Print(out);
  out.Leave();
}

void TDeziSQLDelete::Print(TTreeWriter& out) const {
  out.Line("DELETE");
  out.Enter();
  Select->Print(out);
  out.Leave();
}

void TDeziDDLTableManipulation::PrintBody(TTreeWriter& out) const {
  out.Enter();
  for (const TDeziFieldDef& column : Columns) out.Line(ColumnText(column));
  if (!Password.empty()) out.Line("password " + Quoted(Password));
  if (BlobCompressionLevel != 0)
    out.Line(std::string("blob compression level ") + CompressionLevelName(BlobCompressionLevel));
  if (BlobBlockSize) out.Line("blob block size " + std::to_string(*BlobBlockSize));
  if (LastAutoIncValue) out.Line("last autoinc value " + std::to_string(*LastAutoIncValue));
  out.Leave();
}

void TDeziDDLCreateTable::Print(TTreeWriter& out) const {
  out.Line("CREATE TABLE " + TableName);
  PrintBody(out);
}

void TDeziDDLDropTable::Print(TTreeWriter& out) const { out.Line("DROP TABLE " + TableName); }

void TDeziDDLAlterTable::Print(TTreeWriter& out) const {
  static const char* const kModes[] = {"ADD", "DROP", "MODIFY"};
  out.Line("ALTER TABLE " + TableName + " " + kModes[Mode]);
  if (NewPassword) {
    out.Enter();
    out.Line("new password " + Quoted(*NewPassword));
    out.Leave();
  }
  PrintBody(out);
}

void TDeziDDLCreateIndex::Print(TTreeWriter& out) const {
  out.Line(std::string(Unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") + IndexName + " ON " + TableName);
  out.Enter();
  for (const TDeziIndexField& field : Fields)
    out.Line("column " + field.Name + (field.Descending ? " DESC" : "") + (field.CaseInsensitive ? " NOCASE" : ""));
  if (!Password.empty()) out.Line("password " + Quoted(Password));
  out.Leave();
}

void TDeziDDLDropIndex::Print(TTreeWriter& out) const {
  out.Line("DROP INDEX " + TableName + "." + IndexName + PasswordText(Password));
}

}  // namespace norvane
