// Disk parts: a thin layer over the platform's file that turns its failures
// into the engine's exceptions.
#include "engine/container/disk_part_file.h"

#include "engine/common/engine_error.h"

namespace norvane {

TESFSDiskFile::~TESFSDiskFile() {
  // A destructor must not throw; a part that still matters was closed (and so
  // flushed) by its owner already.
  file_.Close();
}

void TESFSDiskFile::Reopen() {
  if (!file_.IsOpen()) return;
  const int64_t position = file_.Position();
  file_.Close();
  Open(false);
  file_.Seek(position, 0);
}

void TESFSDiskFile::SetExclusive(bool on) {
  if (on == Exclusive()) return;
  TESFSAbstractFile::SetExclusive(on);
  Reopen();
}

void TESFSDiskFile::SetReadOnly(bool on) {
  if (on == ReadOnly()) return;
  TESFSAbstractFile::SetReadOnly(on);
  Reopen();
}

void TESFSDiskFile::Open(bool create) {
  const TFileAccess access = ReadOnly() ? TFileAccess::Read : TFileAccess::ReadWrite;
  const TFileShare share = Exclusive() ? TFileShare::Exclusive : TFileShare::DenyNone;
  if (!file_.Open(FileName(), access, share, create))
    throw EEngineError(file_.ErrorText());
  // Large stores (a put, a compaction) then keep the disk busy while the
  // next pages are prepared, instead of leaving it all to the final flush.
  file_.SetWriteBehind(true);
}

void TESFSDiskFile::Close() {
  if (!file_.IsOpen()) return;
  const bool flushed = ReadOnly() || file_.Flush();
  const std::string reason = file_.ErrorText();
  file_.Close();
  if (!flushed) throw EEngineError("TESFSDiskFile.Flush - " + reason);
}

void TESFSDiskFile::Flush() {
  if (!ReadOnly() && !file_.Flush())
    throw EEngineError("TESFSDiskFile.Flush - " + file_.ErrorText());
}

int64_t TESFSDiskFile::Read(void* buffer, int64_t n) { return file_.Read(buffer, n); }

int64_t TESFSDiskFile::Write(const void* buffer, int64_t n) { return file_.Write(buffer, n); }

int64_t TESFSDiskFile::Seek(int64_t offset, int origin) {
  const int64_t position = file_.Seek(offset, origin);
  return position < 0 ? file_.Position() : position;
}

void TESFSDiskFile::SetSize(int64_t size) {
  if (!file_.SetSize(size))
    throw EEngineError("TESFSDiskFile.SetSize - " + file_.ErrorText());
  file_.Seek(size, 0);
}

int64_t TESFSDiskFile::Size() { return file_.Size(); }

}  // namespace norvane
