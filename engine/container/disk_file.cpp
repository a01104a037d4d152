// Disk store files over the platform's files.
#include "engine/container/disk_file.h"

#include "engine/common/engine_error.h"

namespace norvane {

void TDiskFile::Open(bool create) {
  OpenOrFallBack(create, [&](bool readOnly) {
    const TFileAccess access = readOnly ? TFileAccess::Read : TFileAccess::ReadWrite;
    const TFileShare share = Exclusive() ? TFileShare::Exclusive : TFileShare::DenyNone;
    if (!file_.Open(Name(), access, share, create)) return false;
    file_.SetDeleteOnClose(Temporary());
    return true;
  });
}

void TDiskFile::Close() {
  file_.Close();
  SetOpen(false);
}

void TDiskFile::Flush() {
  if (!ReadOnly() && !file_.Flush()) throw EEngineError("TDiskFile.Flush - " + file_.ErrorText());
}

int32_t TDiskFile::Read(void* buffer, int32_t n) {
  return static_cast<int32_t>(file_.Read(buffer, n));
}

int32_t TDiskFile::Write(const void* buffer, int32_t n) {
  if (n <= 0) return 0;
  CheckGrowth(file_.Position(), n);
  return static_cast<int32_t>(file_.Write(buffer, n));
}

int32_t TDiskFile::Seek(int32_t offset, int origin) {
  const int64_t base = origin == 0 ? 0 : origin == 1 ? file_.Position() : file_.Size();
  if (base + offset > kMaxSize)
    throw EEngineError("TDiskFile.Seek - Position beyond " + std::to_string(kMaxSize) + ".");
  file_.Seek(base + offset, 0);  // a negative target leaves the position alone
  return static_cast<int32_t>(file_.Position());
}

void TDiskFile::SetSize(int32_t size) {
  if (!file_.SetSize(size)) throw EEngineError("TDiskFile.SetSize - " + file_.ErrorText());
  file_.Seek(size, 0);
}

}  // namespace norvane
