// The engine's side of the comparison: a catalogue file (a container made and
// opened through the file-store registry) whose article table is driven
// through its storage manager, as the dataset cursor drives it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "bench/engine_side.h"
#include "engine/container/plain_file_system.h"
#include "engine/tables/dezi_data_manager.h"

namespace norvane::bench {

class TNorvaneSide : public TEngineSide {
 public:
  // The catalogue is the container file `file`, made by Create.
  explicit TNorvaneSide(std::string file) : file_(std::move(file)) {}
  ~TNorvaneSide() override;

  void Create() override;
  void Append(const std::vector<TArticle>& articles) override;
  int64_t Reopen() override;
  std::vector<TRow> Lookup(const std::vector<int32_t>& ids) override;
  std::vector<TRow> ScanByTitle() override;
  std::vector<TRow> Range(int32_t year) override;
  void Update(const std::vector<TRow>& titles) override;
  void Delete(const std::vector<int32_t>& ids) override;
  void Compact() override;
  std::vector<TRow> RowsById() override;
  void Close() override;

  const std::string& File() const { return file_; }

 private:
  void OpenStore();
  void ReleaseStore();
  // The record of that row identifier, found in "@ID" as the cursor's
  // FindNearest finds it; -1 when there is none.
  int32_t PhysicalOf(int32_t id);
  TRow RowAt(int32_t physical);
  int32_t Index(const char* name) const;
  TDeziDataManager& Table();

  std::string file_;
  std::shared_ptr<TAbstractPlainFileSystem> store_;
  std::unique_ptr<TDeziDataManager> table_;
  // The search key of PhysicalOf: an empty record whose row identifier is
  // set for each search, as a cursor's key buffer is.
  std::vector<uint8_t> idKey_;
};

}  // namespace norvane::bench
