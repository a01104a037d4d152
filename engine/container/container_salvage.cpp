// Salvage of a damaged container into a new one: folders rebuilt from the
// records found, files copied page by page from data pages whose checksums
// hold, and the log of what came back.
#include "engine/container/container_salvage.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include "engine/common/engine_error.h"
#include "engine/container/salvage_directory.h"
#include "engine/container/single_file_system.h"
#include "engine/platform/file_system.h"

namespace norvane {

namespace {

constexpr char kLostFolder[] = "\\lost+found";
constexpr double kScanShare = 30.0;      // percent of the progress the scan takes
constexpr int32_t kPagesPerWrite = 256;  // data pages gathered into one FileWrite

std::string Range(const std::pair<int64_t, int64_t>& range) {
  return std::to_string(range.first) + ".." + std::to_string(range.second - 1);
}

class TSalvager {
 public:
  TSalvager(TSalvagePages& pages, const TSalvageScan& scan, TESingleFileSystem& target,
            TSalvageReport& report)
      : pages_(pages),
        scan_(scan),
        target_(target),
        report_(report),
        paths_(scan.Records.size()),
        state_(scan.Records.size(), 0) {
    for (size_t i = 0; i < scan.Records.size(); ++i)
      if (scan.Records[i].Record >= 0) byNumber_.emplace(scan.Records[i].Record, i);
  }

  // Copies every item; false when `progress` cancelled.
  bool CopyAll(const TSalvageProgress& progress) {
    const size_t count = scan_.Records.size();
    for (size_t i = 0; i < count; ++i) {
      if (progress) {
        bool cancel = false;
        progress(cancel, kScanShare + (100.0 - kScanShare) * static_cast<double>(i) / count);
        if (cancel) return false;
      }
      if (scan_.Records[i].Rec.IsFolder)
        FolderPath(i);
      else
        CopyFile(i);
    }
    return true;
  }

 private:
  std::string Label(const TSalvageRecord& found) const {
    if (found.Record >= 0) return std::to_string(found.Record);
    std::string label = "p";
    label += std::to_string(found.Page);
    label += 's';
    label += std::to_string(found.Slot);
    return label;
  }

  // The item's path in the new container under the folder `base`, made
  // unique there.
  std::string FreePath(const std::string& base, const std::string& name,
                       const TSalvageRecord& found) const {
    const std::string path = base + "\\" + name;
    if (!target_.FileExists(path)) return path;
    const std::string suffix = '~' + Label(found);
    return base + "\\" + name.substr(0, TFileRec::kMaxNameLength - suffix.size()) + suffix;
  }

  // The folder an item goes into: its parent's path, or the lost-and-found
  // folder (the name then carries the record number) when the parent is not
  // found, is no folder, lies on a cycle or deeper than kMaxFolderDepth.
  std::string ParentPath(size_t i, std::string& name) {
    const TSalvageRecord& found = scan_.Records[i];
    name = found.Rec.FileName;
    if (found.Rec.ParentID == -1) return "";
    const auto parent = byNumber_.find(found.Rec.ParentID);
    if (parent != byNumber_.end() && scan_.Records[parent->second].Rec.IsFolder &&
        state_[parent->second] != kResolving && depth_ < kMaxFolderDepth) {
      ++depth_;
      const std::string path = FolderPath(parent->second);
      --depth_;
      return path;
    }
    const std::string label = Label(found) + "-";
    name = label + name.substr(0, TFileRec::kMaxNameLength - label.size());
    if (!target_.DirectoryExists(kLostFolder) && !target_.CreateDir(kLostFolder))
      throw EEngineError("TESingleFileSystem.Salvage - the folder \\lost+found cannot be made.");
    return kLostFolder;
  }

  // Creates the folder record i stands for (once) and returns its path.
  std::string FolderPath(size_t i) {
    if (state_[i] == kDone) return paths_[i];
    state_[i] = kResolving;
    std::string name;
    const std::string base = ParentPath(i, name);
    const std::string path = FreePath(base, name, scan_.Records[i]);
    if (!target_.CreateDir(path))
      throw EEngineError("TESingleFileSystem.Salvage - the folder " + path + " cannot be made.");
    paths_[i] = path;
    state_[i] = kDone;
    return path;
  }

  // The data page numbers of the file, -1 where its map cannot be read.
  std::vector<int64_t> DataPages(const TFileRec& rec, int64_t dataPages) {
    std::vector<int64_t> pages(static_cast<size_t>(dataPages), -1);
    const int64_t perMap = pages_.PayloadSize() / 4;
    std::set<int32_t> seen;
    int32_t map = rec.FirstMapPageNo;
    for (int64_t first = 0; first < dataPages && seen.insert(map).second; first += perMap) {
      const auto found = scan_.Maps.find(map);
      if (found != scan_.Maps.end()) {
        for (int64_t j = first; j < std::min(first + perMap, dataPages); ++j)
          pages[static_cast<size_t>(j)] = found->second.Entries[static_cast<size_t>(j - first)];
        map = found->second.Next;
        continue;
      }
      // A damaged map page may still link on to the next one.
      TPageHeader header;
      if (!pages_.ReadHeader(map, header) || header.PageType != ptMap) break;
      map = header.NextPageNo;
    }
    return pages;
  }

  void Lose(TSalvagedFile& file, const TSalvageRecord& found, const std::string& reason) {
    file.State = TSalvageState::Lost;
    file.Reason = reason;
    report_.Log.push_back("lost: record " + Label(found) + " \"" + found.Rec.FileName + "\" (" +
                          std::to_string(found.Rec.Size) + " bytes): " + reason);
  }

  void CopyFile(size_t i) {
    const TSalvageRecord& found = scan_.Records[i];
    const TFileRec& rec = found.Rec;
    TSalvagedFile file;
    file.Record = found.Record;
    file.Size = rec.Size;
    const int64_t payload = pages_.PayloadSize();
    const int64_t dataPages = rec.Size < 0 ? -1 : (rec.Size + payload - 1) / payload;
    if (rec.HasPassword)
      Lose(file, found, "it has its own password");
    else if (dataPages < 0 || dataPages > pages_.PageCount())
      Lose(file, found, "its size cannot be right");
    else if (dataPages > 0 && (rec.FirstMapPageNo < 1 || rec.FirstMapPageNo >= pages_.PageCount()))
      Lose(file, found, "its first map page number is not a page");
    else
      Copy(i, file, DataPages(rec, dataPages));
    Count(file);
    report_.Files.push_back(std::move(file));
  }

  void Copy(size_t i, TSalvagedFile& file, const std::vector<int64_t>& pages) {
    const TSalvageRecord& found = scan_.Records[i];
    std::string name;
    const std::string base = ParentPath(i, name);
    file.Path = FreePath(base, name, found);
    const int32_t handle = target_.OpenFile(file.Path, kModeCreate);
    if (handle < 0)
      throw EEngineError("TESingleFileSystem.Salvage - the file " + file.Path + " cannot be made.");
    const int64_t payload = pages_.PayloadSize();
    std::vector<uint8_t> chunk;
    chunk.reserve(static_cast<size_t>(payload * kPagesPerWrite));
    std::vector<uint8_t> page(static_cast<size_t>(payload));
    bool anyRead = false;
    for (size_t j = 0; j < pages.size(); ++j) {
      const int64_t start = static_cast<int64_t>(j) * payload;
      const int64_t length = std::min(payload, file.Size - start);
      TPageHeader header;
      const bool read = pages[j] >= 1 && pages[j] < pages_.PageCount() &&
                        pages_.ReadPage(static_cast<int32_t>(pages[j]),
                                        static_cast<int32_t>(payload), header, page.data()) &&
                        header.PageType == ptFileData;
      if (read) {
        anyRead = true;
        chunk.insert(chunk.end(), page.begin(), page.begin() + length);
      } else {
        chunk.insert(chunk.end(), static_cast<size_t>(length), 0);
        if (!file.Missing.empty() && file.Missing.back().second == start)
          file.Missing.back().second = start + length;
        else
          file.Missing.emplace_back(start, start + length);
      }
      if (chunk.size() >= static_cast<size_t>(payload * kPagesPerWrite) || j + 1 == pages.size())
        Write(handle, chunk, file.Path);
    }
    target_.CloseFile(handle);
    if (!pages.empty() && !anyRead) {
      target_.DeleteFile(file.Path);
      file.Path.clear();
      file.Missing.clear();
      Lose(file, found, "no data page can be read");
      return;
    }
    file.State = file.Missing.empty() ? TSalvageState::Whole : TSalvageState::Partial;
    std::string line = (file.Missing.empty() ? "whole: " : "missing ranges: ") + file.Path + " (" +
                       std::to_string(file.Size) + " bytes)";
    for (size_t r = 0; r < file.Missing.size(); ++r)
      line += (r == 0 ? ": bytes " : ", ") + Range(file.Missing[r]);
    if (!file.Missing.empty()) line += " read as zeros";
    report_.Log.push_back(line);
  }

  void Write(int32_t handle, std::vector<uint8_t>& chunk, const std::string& path) {
    const auto length = static_cast<int64_t>(chunk.size());
    if (target_.FileWrite(handle, chunk.data(), length) != length)
      throw EEngineError("TESingleFileSystem.Salvage - the file " + path +
                         " cannot be written (error " + std::to_string(target_.LastError()) + ").");
    chunk.clear();
  }

  void Count(const TSalvagedFile& file) {
    switch (file.State) {
      case TSalvageState::Whole:
        ++report_.Whole;
        break;
      case TSalvageState::Partial:
        ++report_.Partial;
        break;
      case TSalvageState::Lost:
        ++report_.Lost;
        break;
    }
  }

  static constexpr uint8_t kResolving = 1, kDone = 2;
  // Folders are made parent first by recursion; a damaged file could chain
  // more folders than the stack holds.
  static constexpr int32_t kMaxFolderDepth = 1000;
  int32_t depth_ = 0;
  TSalvagePages& pages_;
  const TSalvageScan& scan_;
  TESingleFileSystem& target_;
  TSalvageReport& report_;
  std::map<int32_t, size_t> byNumber_;  // placed records: record number to index
  std::vector<std::string> paths_;      // folders made so far
  std::vector<uint8_t> state_;
};

}  // namespace

std::string TSalvageReport::Summary() const {
  return std::to_string(Whole) + (Whole == 1 ? " file" : " files") + " whole, " +
         std::to_string(Partial) + " with missing ranges, " + std::to_string(Lost) + " lost";
}

TSalvageReport SalvageContainer(const std::string& damagedName, const std::string& newName,
                                const std::string& password, const TSalvageProgress& progress) {
  if (ExpandFileName(damagedName) == ExpandFileName(newName))
    throw EEngineError("TESingleFileSystem.Salvage - the new container must be another file.");
  TSalvageReport report;
  TSalvagePages pages(damagedName, password, report.Log);
  TSalvageScan scan;
  const bool scanned = ScanContainer(pages, scan, report.Log, [&](double done) {
    bool cancel = false;
    if (progress) progress(cancel, kScanShare * done);
    return !cancel;
  });
  TESingleFileSystem target(newName, pages.ExtentPageCount(), pages.PageSize() / 1024, 0, "", "",
                            pages.Encrypted() ? password : "", false, kModeCreate);
  report.Cancelled = !scanned || !TSalvager(pages, scan, target, report).CopyAll(progress);
  target.Flush();
  if (!report.Cancelled && progress) {
    bool ignored = false;
    progress(ignored, 100.0);
  }
  report.Log.push_back(report.Cancelled ? "Cancelled; " + report.Summary() + " so far."
                                        : report.Summary() + ".");
  return report;
}

}  // namespace norvane
