// The fault-injecting part.
#include "tests/container/faulty_part.h"

#include <unistd.h>

#include <algorithm>

#include "engine/common/engine_error.h"

namespace norvane::testing {

TFaultyPart::TFaultyPart(std::unique_ptr<TESFSAbstractFile> inner, std::shared_ptr<TFaultPlan> plan)
    : TESFSAbstractFile(inner->FileName(), inner->Exclusive(), inner->ReadOnly()),
      inner_(std::move(inner)),
      plan_(std::move(plan)) {
  ++plan_->LiveParts;
}

TFaultyPart::~TFaultyPart() { --plan_->LiveParts; }

void TFaultyPart::SetExclusive(bool on) {
  TESFSAbstractFile::SetExclusive(on);
  inner_->SetExclusive(on);
}

void TFaultyPart::SetReadOnly(bool on) {
  TESFSAbstractFile::SetReadOnly(on);
  inner_->SetReadOnly(on);
}

void TFaultyPart::Open(bool create) {
  if (++plan_->Opens == plan_->FailOpenAt) throw EEngineError("injected open failure");
  inner_->SetFileName(FileName());
  inner_->Open(create);
}

void TFaultyPart::Close() { inner_->Close(); }

void TFaultyPart::Flush() {
  if (++plan_->Flushes == plan_->FailFlushAt) throw EEngineError("injected flush failure");
  inner_->Flush();
}

int64_t TFaultyPart::Read(void* buffer, int64_t n) {
  if (++plan_->Reads == plan_->FailReadAt) return 0;
  if (plan_->Reads == plan_->ShortReadAt) n /= 2;
  return inner_->Read(buffer, n);
}

int64_t TFaultyPart::Refused(int64_t end) {
  const int64_t growth = std::max<int64_t>(0, end - inner_->Size());
  if (plan_->FreeBytes < 0) return 0;
  const int64_t refused = std::max<int64_t>(0, growth - plan_->FreeBytes);
  plan_->FreeBytes -= growth - refused;
  return refused;
}

int64_t TFaultyPart::Write(const void* buffer, int64_t n) {
  if (n <= 0) return inner_->Write(buffer, n);
  ++plan_->Writes;
  if (plan_->Writes == plan_->ExitAtWrite) _exit(0);
  if (plan_->Writes == plan_->FailWriteAt) return 0;
  if (plan_->Writes == plan_->ShortWriteAt) n /= 2;
  n -= Refused(inner_->Position() + n);
  return n > 0 ? inner_->Write(buffer, n) : 0;
}

int64_t TFaultyPart::Seek(int64_t offset, int origin) { return inner_->Seek(offset, origin); }

void TFaultyPart::SetSize(int64_t size) {
  if (++plan_->SetSizes == plan_->FailSetSizeAt) throw EEngineError("injected size failure");
  const int64_t before = plan_->FreeBytes;
  if (Refused(size) > 0) {
    plan_->FreeBytes = before;
    throw EEngineError("No space left on device");
  }
  if (plan_->FreeBytes >= 0) plan_->FreeBytes += std::max<int64_t>(0, inner_->Size() - size);
  inner_->SetSize(size);
}

int64_t TFaultyPart::Size() { return inner_->Size(); }

TPartFactory MakeFaultyFactory(std::shared_ptr<TFaultPlan> plan) {
  return [plan](const std::string& name, bool inMemory, bool exclusive, bool readOnly) {
    return std::make_unique<TFaultyPart>(MakeDefaultPart(name, inMemory, exclusive, readOnly),
                                         plan);
  };
}

}  // namespace norvane::testing
