// The context model of the PPMd compression modes: contexts of up to
// `order` preceding bytes kept in one block of model memory, each with its
// symbols' frequencies, binary contexts with adaptive bit probabilities,
// secondary escape estimation, and a restart of the whole model when its
// memory is used up. With its range coder it codes one chunk; encoder and
// decoder run the same model, so they stay in step symbol by symbol.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace norvane {

class TPpmdModel {
 public:
  // `memory` bytes of model memory, kept for every chunk coded with it.
  explicit TPpmdModel(uint32_t memory);
  // Codes `n` bytes and the end mark; appends the range coder's bytes.
  void EncodeChunk(const uint8_t* in, size_t n, int order, std::vector<uint8_t>& out);
  // Decodes the coded bytes up to the end mark, appending at most `limit`
  // bytes to `out`; false for a stream that is damaged, ends early, or
  // would give more than `limit` bytes.
  bool DecodeChunk(const uint8_t* in, size_t n, int order, size_t limit, std::vector<uint8_t>& out);

 private:
  struct TSee {
    uint16_t Summ;
    uint8_t Shift;
    uint8_t Count;
  };
  class TEncoder;
  class TDecoder;

  void Restart(int order);
  // Model memory: units of 12 bytes, addressed by offset (0 is none).
  uint32_t AllocUnits(int index);
  uint32_t AllocUnitsRare(int index);
  uint32_t ShrinkUnits(uint32_t old, int oldUnits, int newUnits);
  void InsertNode(uint32_t node, int index);
  uint32_t RemoveNode(int index);
  void SplitBlock(uint32_t block, int oldIndex, int newIndex);
  void InsertRun(uint32_t at, uint32_t units);
  void GlueFreeBlocks();

  // Model steps shared by both directions.
  uint16_t* BinaryProbability();
  TSee* MakeEscapeFrequency(int masked, uint32_t& escape);
  void SeeUpdate(TSee* see);
  void Rescale();
  uint32_t CreateSuccessors(bool skip);
  void UpdateModel();
  void NextContext();
  void UpdateFirst();     // the context's first symbol coded
  void UpdateLater();     // another symbol of the context coded
  void UpdateBinary();
  void UpdateAfterEscape();

  // Fields of states (6 bytes) and contexts (12 bytes) in model memory.
  uint8_t& Sym(uint32_t s) { return mem_[s]; }
  uint8_t& Freq(uint32_t s) { return mem_[s + 1]; }
  template <class T>
  T Load(uint32_t at) const {
    T value;
    std::memcpy(&value, &mem_[at], sizeof value);
    return value;
  }
  template <class T>
  void Store(uint32_t at, T value) {
    std::memcpy(&mem_[at], &value, sizeof value);
  }
  uint32_t Successor(uint32_t s) const { return Load<uint32_t>(s + 2); }
  void SetSuccessor(uint32_t s, uint32_t v) { Store(s + 2, v); }
  uint16_t NumStats(uint32_t c) const { return Load<uint16_t>(c); }
  void SetNumStats(uint32_t c, uint16_t v) { Store(c, v); }
  uint16_t SummFreq(uint32_t c) const { return Load<uint16_t>(c + 2); }
  void SetSummFreq(uint32_t c, uint16_t v) { Store(c + 2, v); }
  uint32_t Stats(uint32_t c) const { return Load<uint32_t>(c + 4); }
  void SetStats(uint32_t c, uint32_t v) { Store(c + 4, v); }
  uint32_t Suffix(uint32_t c) const { return Load<uint32_t>(c + 8); }
  void SetSuffix(uint32_t c, uint32_t v) { Store(c + 8, v); }
  static uint32_t OneState(uint32_t c) { return c + 2; }
  void SwapStates(uint32_t a, uint32_t b);
  void CopyState(uint32_t to, uint32_t from);

  // Never cleared: the model reads only what it wrote since its restart, so
  // a small value touches only the pages it uses of the megabytes.
  std::unique_ptr<uint8_t[]> mem_;
  uint32_t size_;
  uint32_t text_ = 0, unitsStart_ = 0, loUnit_ = 0, hiUnit_ = 0;
  uint32_t freeList_[38] = {};
  int glueCount_ = 0;
  int maxOrder_ = 0, orderFall_ = 0, runLength_ = 0, initRL_ = 0;
  uint32_t minContext_ = 0, maxContext_ = 0, foundState_ = 0;
  int prevSuccess_ = 0, hiBitsFlag_ = 0, initEsc_ = 0;
  uint16_t binSumm_[128][64];
  TSee see_[25][16];
  TSee dummySee_{};
  uint8_t charMask_[256];
};

}  // namespace norvane
