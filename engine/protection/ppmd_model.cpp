// The PPMd context model, its sub-allocator and its range coder.
#include "engine/protection/ppmd_model.h"

#include <algorithm>
#include <cstring>

namespace norvane {
namespace {

constexpr uint32_t kUnitSize = 12;
constexpr int kIndexCount = 38;
constexpr int kMaxFreq = 124;
constexpr int kIntBits = 7;
constexpr int kPeriodBits = 7;
constexpr int kBinScale = 1 << (kIntBits + kPeriodBits);
constexpr uint32_t kTop = 1u << 24;
constexpr uint32_t kBottom = 1u << 15;
constexpr uint16_t kInitBinEsc[8] = {0x3CDD, 0x1F3F, 0x59BF, 0x48F3, 0x64A1, 0x5ABC, 0x6632, 0x6051};
constexpr uint8_t kExpEscape[16] = {25, 14, 9, 7, 5, 5, 4, 4, 4, 3, 3, 3, 2, 2, 2, 2};

struct TTables {
  uint8_t IndexToUnits[kIndexCount];
  uint8_t UnitsToIndex[128];
  uint8_t NumStatsToBinIndex[256];
  uint8_t NumStatsToIndex[256];
  uint8_t HighBitsFlag[256];
  TTables() {
    int step = 1, units = 1;
    for (int i = 0; i < kIndexCount; ++i) {
      IndexToUnits[i] = static_cast<uint8_t>(units);
      if (i == 3 || i == 7 || i == 11) ++step;
      units += step;
    }
    for (int k = 0, i = 0; k < 128; ++k) {
      if (IndexToUnits[i] < k + 1) ++i;
      UnitsToIndex[k] = static_cast<uint8_t>(i);
    }
    NumStatsToBinIndex[0] = 0;
    NumStatsToBinIndex[1] = 2;
    std::memset(NumStatsToBinIndex + 2, 4, 9);
    std::memset(NumStatsToBinIndex + 11, 6, 256 - 11);
    for (int i = 0; i < 3; ++i) NumStatsToIndex[i] = static_cast<uint8_t>(i);
    for (int i = 3, m = i, k = 1; i < 256; ++i) {
      NumStatsToIndex[i] = static_cast<uint8_t>(m);
      if (--k == 0) k = (++m) - 2;
    }
    for (int i = 0; i < 256; ++i) HighBitsFlag[i] = i < 0x40 ? 0 : 8;
  }
};
const TTables& Tables() {
  static const TTables tables;
  return tables;
}
uint32_t I2U(int index) { return Tables().IndexToUnits[index]; }
int U2I(uint32_t units) { return Tables().UnitsToIndex[units - 1]; }

}  // namespace

// The carry-less range coder: 32-bit low and range, a byte out whenever the
// top byte of the interval is settled, four bytes of low at the end.
class TPpmdModel::TEncoder {
 public:
  explicit TEncoder(std::vector<uint8_t>& out) : out_(out) {}
  void Encode(uint32_t start, uint32_t size, uint32_t total) {
    low_ += start * (range_ /= total);
    range_ *= size;
    Normalize();
  }
  void EncodeShift(uint32_t start, uint32_t size, int shift) {
    low_ += start * (range_ >>= shift);
    range_ *= size;
    Normalize();
  }
  void Flush() {
    for (int i = 0; i < 4; ++i, low_ <<= 8) out_.push_back(static_cast<uint8_t>(low_ >> 24));
  }

 private:
  void Normalize() {
    for (;;) {
      if ((low_ ^ (low_ + range_)) >= kTop) {
        if (range_ >= kBottom) return;
        range_ = (0u - low_) & (kBottom - 1);
      }
      out_.push_back(static_cast<uint8_t>(low_ >> 24));
      low_ <<= 8;
      range_ <<= 8;
    }
  }
  std::vector<uint8_t>& out_;
  uint32_t low_ = 0, range_ = 0xFFFFFFFFu;
};

class TPpmdModel::TDecoder {
 public:
  TDecoder(const uint8_t* in, size_t n) : in_(in), n_(n) {
    for (int i = 0; i < 4; ++i) code_ = (code_ << 8) | Next();
  }
  uint32_t Threshold(uint32_t total) { return (code_ - low_) / (range_ /= total); }
  uint32_t ThresholdShift(int shift) { return (code_ - low_) / (range_ >>= shift); }
  void Decode(uint32_t start, uint32_t size) {
    low_ += start * range_;
    range_ *= size;
    for (;;) {
      if ((low_ ^ (low_ + range_)) >= kTop) {
        if (range_ >= kBottom) return;
        range_ = (0u - low_) & (kBottom - 1);
      }
      code_ = (code_ << 8) | Next();
      low_ <<= 8;
      range_ <<= 8;
    }
  }
  // Past the end of the coded bytes: a stream cut short.
  bool Overrun() const { return overrun_; }

 private:
  uint32_t Next() {
    if (at_ < n_) return in_[at_++];
    overrun_ = true;
    return 0;
  }
  const uint8_t* in_;
  size_t n_, at_ = 0;
  bool overrun_ = false;
  uint32_t low_ = 0, range_ = 0xFFFFFFFFu, code_ = 0;
};

TPpmdModel::TPpmdModel(uint32_t memory) : mem_(new uint8_t[memory + 2 * kUnitSize]), size_(memory) {}

// --- fields ------------------------------------------------------------

void TPpmdModel::SwapStates(uint32_t a, uint32_t b) {
  uint8_t t[6];
  std::memcpy(t, &mem_[a], 6);
  std::memmove(&mem_[a], &mem_[b], 6);
  std::memcpy(&mem_[b], t, 6);
}
void TPpmdModel::CopyState(uint32_t to, uint32_t from) { std::memmove(&mem_[to], &mem_[from], 6); }

// --- the sub-allocator ----------------------------------------------------

void TPpmdModel::InsertNode(uint32_t node, int index) {
  std::memcpy(&mem_[node], &freeList_[index], 4);
  freeList_[index] = node;
}

uint32_t TPpmdModel::RemoveNode(int index) {
  const uint32_t node = freeList_[index];
  std::memcpy(&freeList_[index], &mem_[node], 4);
  return node;
}

void TPpmdModel::InsertRun(uint32_t at, uint32_t units) {
  for (; units > 128; units -= 128, at += 128 * kUnitSize) InsertNode(at, kIndexCount - 1);
  int i = U2I(units);
  if (I2U(i) != units) {
    const uint32_t k = I2U(--i);
    InsertNode(at + k * kUnitSize, static_cast<int>(units - k - 1));
  }
  InsertNode(at, i);
}

void TPpmdModel::SplitBlock(uint32_t block, int oldIndex, int newIndex) {
  InsertRun(block + I2U(newIndex) * kUnitSize, I2U(oldIndex) - I2U(newIndex));
}

void TPpmdModel::GlueFreeBlocks() {
  // Every free block, by address; neighbours merge and go back in runs.
  std::vector<std::pair<uint32_t, uint32_t>> blocks;
  for (int i = 0; i < kIndexCount; ++i)
    while (freeList_[i] != 0) blocks.emplace_back(RemoveNode(i), I2U(i));
  std::sort(blocks.begin(), blocks.end());
  for (size_t i = 0; i < blocks.size();) {
    uint32_t at = blocks[i].first, units = blocks[i].second;
    for (++i; i < blocks.size() && blocks[i].first == at + units * kUnitSize; ++i) units += blocks[i].second;
    InsertRun(at, units);
  }
}

uint32_t TPpmdModel::AllocUnitsRare(int index) {
  if (glueCount_ == 0) {
    glueCount_ = 255;
    GlueFreeBlocks();
    if (freeList_[index] != 0) return RemoveNode(index);
  }
  int i = index;
  do {
    if (++i == kIndexCount) {
      const uint32_t bytes = I2U(index) * kUnitSize;
      --glueCount_;
      return unitsStart_ - text_ > bytes ? (unitsStart_ -= bytes) : 0;
    }
  } while (freeList_[i] == 0);
  const uint32_t block = RemoveNode(i);
  SplitBlock(block, i, index);
  return block;
}

uint32_t TPpmdModel::AllocUnits(int index) {
  if (freeList_[index] != 0) return RemoveNode(index);
  const uint32_t bytes = I2U(index) * kUnitSize;
  if (bytes <= hiUnit_ - loUnit_) {
    const uint32_t block = loUnit_;
    loUnit_ += bytes;
    return block;
  }
  return AllocUnitsRare(index);
}

uint32_t TPpmdModel::ShrinkUnits(uint32_t old, int oldUnits, int newUnits) {
  const int i0 = U2I(static_cast<uint32_t>(oldUnits)), i1 = U2I(static_cast<uint32_t>(newUnits));
  if (i0 == i1) return old;
  if (freeList_[i1] != 0) {
    const uint32_t block = RemoveNode(i1);
    std::memmove(&mem_[block], &mem_[old], static_cast<size_t>(newUnits) * kUnitSize);
    InsertNode(old, i0);
    return block;
  }
  SplitBlock(old, i0, i1);
  return old;
}

// --- the model ----------------------------------------------------------

void TPpmdModel::Restart(int order) {
  std::memset(freeList_, 0, sizeof freeList_);
  maxOrder_ = order;
  text_ = 1;  // offset 0 stands for none
  hiUnit_ = text_ + size_;
  loUnit_ = unitsStart_ = hiUnit_ - size_ / 8 / kUnitSize * 7 * kUnitSize;
  glueCount_ = 0;
  orderFall_ = maxOrder_;
  runLength_ = initRL_ = -(maxOrder_ < 12 ? maxOrder_ : 12) - 1;
  prevSuccess_ = 0;
  hiBitsFlag_ = 0;
  initEsc_ = 0;
  hiUnit_ -= kUnitSize;
  minContext_ = maxContext_ = hiUnit_;
  SetSuffix(minContext_, 0);
  SetNumStats(minContext_, 256);
  SetSummFreq(minContext_, 257);
  foundState_ = loUnit_;
  SetStats(minContext_, loUnit_);
  for (int i = 0; i < 256; ++i) {
    const uint32_t s = loUnit_ + static_cast<uint32_t>(i) * 6;
    Sym(s) = static_cast<uint8_t>(i);
    Freq(s) = 1;
    SetSuccessor(s, 0);
  }
  loUnit_ += 256 / 2 * kUnitSize;
  for (int i = 0; i < 128; ++i)
    for (int k = 0; k < 8; ++k)
      for (int m = 0; m < 64; m += 8)
        binSumm_[i][k + m] = static_cast<uint16_t>(kBinScale - kInitBinEsc[k] / (i + 2));
  for (int i = 0; i < 25; ++i)
    for (int k = 0; k < 16; ++k) see_[i][k] = {static_cast<uint16_t>((5 * i + 10) << (kPeriodBits - 4)),
                                               static_cast<uint8_t>(kPeriodBits - 4), 4};
}

uint16_t* TPpmdModel::BinaryProbability() {
  const TTables& t = Tables();
  const uint32_t one = OneState(minContext_);
  hiBitsFlag_ = t.HighBitsFlag[Sym(foundState_)];
  return &binSumm_[Freq(one) - 1][prevSuccess_ + t.NumStatsToBinIndex[NumStats(Suffix(minContext_)) - 1] +
                                  hiBitsFlag_ + 2 * t.HighBitsFlag[Sym(one)] + ((runLength_ >> 26) & 0x20)];
}

TPpmdModel::TSee* TPpmdModel::MakeEscapeFrequency(int masked, uint32_t& escape) {
  const int numStats = NumStats(minContext_);
  const int nonMasked = numStats - masked;
  if (numStats == 256) {
    escape = 1;
    return &dummySee_;
  }
  TSee* see = &see_[Tables().NumStatsToIndex[nonMasked - 1]]
                   [(nonMasked < NumStats(Suffix(minContext_)) - numStats ? 1 : 0) +
                    2 * (SummFreq(minContext_) < 11 * numStats ? 1 : 0) + 4 * (masked > nonMasked ? 1 : 0) +
                    hiBitsFlag_];
  const uint32_t r = see->Summ >> see->Shift;
  see->Summ = static_cast<uint16_t>(see->Summ - r);
  escape = r + (r == 0 ? 1 : 0);
  return see;
}

void TPpmdModel::SeeUpdate(TSee* see) {
  if (see->Shift < kPeriodBits && --see->Count == 0) {
    see->Summ = static_cast<uint16_t>(see->Summ << 1);
    see->Count = static_cast<uint8_t>(3 << see->Shift++);
  }
}

void TPpmdModel::Rescale() {
  const uint32_t stats = Stats(minContext_);
  uint32_t s = foundState_;
  // The found state moves to the front.
  for (; s != stats; s -= 6) SwapStates(s, s - 6);
  int escape = SummFreq(minContext_) - Freq(s);
  const int adder = orderFall_ != 0 ? 1 : 0;
  Freq(s) = static_cast<uint8_t>((Freq(s) + 4 + adder) >> 1);
  int sum = Freq(s);
  const int numStats = NumStats(minContext_);
  for (int i = numStats - 1; i > 0; --i) {
    s += 6;
    escape -= Freq(s);
    Freq(s) = static_cast<uint8_t>((Freq(s) + adder) >> 1);
    sum += Freq(s);
    if (Freq(s) > Freq(s - 6)) {
      uint8_t held[6];
      std::memcpy(held, &mem_[s], 6);
      uint32_t to = s;
      do {
        CopyState(to, to - 6);
        to -= 6;
      } while (to != stats && held[1] > Freq(to - 6));
      std::memcpy(&mem_[to], held, 6);
    }
  }
  if (Freq(s) == 0) {
    int zeros = 0;
    do {
      ++zeros;
      s -= 6;
    } while (Freq(s) == 0);
    escape += zeros;
    const int left = numStats - zeros;
    SetNumStats(minContext_, static_cast<uint16_t>(left));
    if (left == 1) {
      uint8_t held[6];
      std::memcpy(held, &mem_[stats], 6);
      do {
        held[1] = static_cast<uint8_t>(held[1] - (held[1] >> 1));
        escape >>= 1;
      } while (escape > 1);
      InsertNode(stats, U2I(static_cast<uint32_t>((numStats + 1) >> 1)));
      foundState_ = OneState(minContext_);
      std::memcpy(&mem_[foundState_], held, 6);
      return;
    }
    const int n0 = (numStats + 1) >> 1, n1 = (left + 1) >> 1;
    if (n0 != n1) SetStats(minContext_, ShrinkUnits(stats, n0, n1));
  }
  SetSummFreq(minContext_, static_cast<uint16_t>(sum + escape - (escape >> 1)));
  foundState_ = Stats(minContext_);
}

uint32_t TPpmdModel::CreateSuccessors(bool skip) {
  uint32_t c = minContext_;
  const uint32_t upBranch = Successor(foundState_);
  const uint8_t symbol = Sym(foundState_);
  uint32_t ps[64];
  int count = 0;
  if (!skip) ps[count++] = foundState_;
  while (Suffix(c) != 0) {
    c = Suffix(c);
    uint32_t s;
    if (NumStats(c) != 1) {
      for (s = Stats(c); Sym(s) != symbol; s += 6) {
      }
    } else {
      s = OneState(c);
    }
    const uint32_t successor = Successor(s);
    if (successor != upBranch) {
      c = successor;
      if (count == 0) return c;
      break;
    }
    ps[count++] = s;
  }
  const uint8_t upSymbol = mem_[upBranch];
  uint8_t upFreq;
  if (NumStats(c) == 1) {
    upFreq = Freq(OneState(c));
  } else {
    uint32_t s = Stats(c);
    for (; Sym(s) != upSymbol; s += 6) {
    }
    const uint32_t cf = Freq(s) - 1u;
    const uint32_t s0 = SummFreq(c) - NumStats(c) - cf;
    upFreq = static_cast<uint8_t>(1 + ((2 * cf <= s0) ? (5 * cf > s0 ? 1 : 0) : ((2 * cf + 3 * s0 - 1) / (2 * s0))));
  }
  do {
    uint32_t c1;
    if (hiUnit_ != loUnit_) {
      c1 = (hiUnit_ -= kUnitSize);
    } else if (freeList_[0] != 0) {
      c1 = RemoveNode(0);
    } else {
      c1 = AllocUnitsRare(0);
      if (c1 == 0) return 0;
    }
    SetNumStats(c1, 1);
    const uint32_t one = OneState(c1);
    Sym(one) = upSymbol;
    Freq(one) = upFreq;
    SetSuccessor(one, upBranch + 1);
    SetSuffix(c1, c);
    SetSuccessor(ps[--count], c1);
    c = c1;
  } while (count != 0);
  return c;
}

void TPpmdModel::UpdateModel() {
  const uint8_t fSymbol = Sym(foundState_), fFreq = Freq(foundState_);
  uint32_t fSuccessor = Successor(foundState_);
  if (fFreq < kMaxFreq / 4 && Suffix(minContext_) != 0) {
    const uint32_t c = Suffix(minContext_);
    if (NumStats(c) == 1) {
      const uint32_t s = OneState(c);
      if (Freq(s) < 32) ++Freq(s);
    } else {
      uint32_t s = Stats(c);
      if (Sym(s) != fSymbol) {
        do {
          s += 6;
        } while (Sym(s) != fSymbol);
        if (Freq(s) >= Freq(s - 6)) {
          SwapStates(s, s - 6);
          s -= 6;
        }
      }
      if (Freq(s) < kMaxFreq - 9) {
        Freq(s) = static_cast<uint8_t>(Freq(s) + 2);
        SetSummFreq(c, static_cast<uint16_t>(SummFreq(c) + 2));
      }
    }
  }
  if (orderFall_ == 0) {
    minContext_ = maxContext_ = CreateSuccessors(true);
    if (minContext_ == 0) return Restart(maxOrder_);
    SetSuccessor(foundState_, minContext_);
    return;
  }
  mem_[text_++] = fSymbol;
  uint32_t successor = text_;
  if (text_ >= unitsStart_) return Restart(maxOrder_);
  if (fSuccessor != 0) {
    if (fSuccessor <= text_) {  // still a place in the text: no context yet
      const uint32_t made = CreateSuccessors(false);
      if (made == 0) return Restart(maxOrder_);
      fSuccessor = made;
    }
    if (--orderFall_ == 0) {
      successor = fSuccessor;
      if (maxContext_ != minContext_) --text_;
    }
  } else {
    SetSuccessor(foundState_, successor);
    fSuccessor = minContext_;
  }
  const uint32_t ns = NumStats(minContext_);
  const uint32_t s0 = SummFreq(minContext_) - ns - (fFreq - 1u);
  for (uint32_t c = maxContext_; c != minContext_; c = Suffix(c)) {
    const uint32_t ns1 = NumStats(c);
    if (ns1 != 1) {
      if ((ns1 & 1) == 0) {
        const uint32_t oldUnits = ns1 >> 1;
        const int i = U2I(oldUnits);
        if (i != U2I(oldUnits + 1)) {
          const uint32_t block = AllocUnits(i + 1);
          if (block == 0) return Restart(maxOrder_);
          const uint32_t old = Stats(c);
          std::memmove(&mem_[block], &mem_[old], oldUnits * kUnitSize);
          InsertNode(old, i);
          SetStats(c, block);
        }
      }
      const uint32_t summ = SummFreq(c);
      SetSummFreq(c, static_cast<uint16_t>(summ + (2 * ns1 < ns ? 1 : 0) +
                                           2 * ((4 * ns1 <= ns ? 1 : 0) & (summ <= 8 * ns1 ? 1 : 0))));
    } else {
      const uint32_t s = AllocUnits(0);
      if (s == 0) return Restart(maxOrder_);
      CopyState(s, OneState(c));
      SetStats(c, s);
      Freq(s) = Freq(s) < kMaxFreq / 4 - 1 ? static_cast<uint8_t>(Freq(s) << 1) : static_cast<uint8_t>(kMaxFreq - 4);
      SetSummFreq(c, static_cast<uint16_t>(Freq(s) + initEsc_ + (ns > 3 ? 1 : 0)));
    }
    uint32_t cf = 2u * fFreq * (SummFreq(c) + 6u);
    const uint32_t sf = s0 + SummFreq(c);
    if (cf < 6 * sf) {
      cf = 1 + (cf > sf ? 1 : 0) + (cf >= 4 * sf ? 1 : 0);
      SetSummFreq(c, static_cast<uint16_t>(SummFreq(c) + 3));
    } else {
      cf = 4 + (cf >= 9 * sf ? 1 : 0) + (cf >= 12 * sf ? 1 : 0) + (cf >= 15 * sf ? 1 : 0);
      SetSummFreq(c, static_cast<uint16_t>(SummFreq(c) + cf));
    }
    const uint32_t s = Stats(c) + ns1 * 6;
    SetSuccessor(s, successor);
    Sym(s) = fSymbol;
    Freq(s) = static_cast<uint8_t>(cf);
    SetNumStats(c, static_cast<uint16_t>(ns1 + 1));
  }
  maxContext_ = minContext_ = fSuccessor;
}

void TPpmdModel::NextContext() {
  const uint32_t c = Successor(foundState_);
  if (orderFall_ == 0 && c > text_) {  // a context, not a place in the text
    minContext_ = maxContext_ = c;
  } else {
    UpdateModel();
  }
}

void TPpmdModel::UpdateFirst() {
  prevSuccess_ = 2 * Freq(foundState_) > SummFreq(minContext_) ? 1 : 0;
  runLength_ += prevSuccess_;
  SetSummFreq(minContext_, static_cast<uint16_t>(SummFreq(minContext_) + 4));
  Freq(foundState_) = static_cast<uint8_t>(Freq(foundState_) + 4);
  if (Freq(foundState_) > kMaxFreq) Rescale();
  NextContext();
}

void TPpmdModel::UpdateLater() {
  uint32_t s = foundState_;
  Freq(s) = static_cast<uint8_t>(Freq(s) + 4);
  SetSummFreq(minContext_, static_cast<uint16_t>(SummFreq(minContext_) + 4));
  if (Freq(s) > Freq(s - 6)) {
    SwapStates(s, s - 6);
    foundState_ = s -= 6;
    if (Freq(s) > kMaxFreq) Rescale();
  }
  NextContext();
}

void TPpmdModel::UpdateBinary() {
  Freq(foundState_) = static_cast<uint8_t>(Freq(foundState_) + (Freq(foundState_) < 128 ? 1 : 0));
  prevSuccess_ = 1;
  ++runLength_;
  NextContext();
}

void TPpmdModel::UpdateAfterEscape() {
  SetSummFreq(minContext_, static_cast<uint16_t>(SummFreq(minContext_) + 4));
  Freq(foundState_) = static_cast<uint8_t>(Freq(foundState_) + 4);
  if (Freq(foundState_) > kMaxFreq) Rescale();
  runLength_ = initRL_;
  UpdateModel();
}

namespace {

uint16_t ProbabilityAfterZero(uint16_t p) {
  return static_cast<uint16_t>(p + (1 << kIntBits) - ((p + (1 << (kPeriodBits - 2))) >> kPeriodBits));
}
uint16_t ProbabilityAfterOne(uint16_t p) {
  return static_cast<uint16_t>(p - ((p + (1 << (kPeriodBits - 2))) >> kPeriodBits));
}

}  // namespace

// --- coding ---------------------------------------------------------------

void TPpmdModel::EncodeChunk(const uint8_t* in, size_t n, int order, std::vector<uint8_t>& out) {
  Restart(order);
  TEncoder coder(out);
  // One symbol more than the data: -1, the end mark, escapes from every
  // context.
  for (size_t at = 0; at <= n; ++at) {
    const int symbol = at < n ? in[at] : -1;
    if (NumStats(minContext_) != 1) {
      uint32_t s = Stats(minContext_);
      const uint32_t total = SummFreq(minContext_);
      if (Sym(s) == symbol) {
        coder.Encode(0, Freq(s), total);
        foundState_ = s;
        UpdateFirst();
        continue;
      }
      prevSuccess_ = 0;
      uint32_t sum = Freq(s);
      bool found = false;
      for (int i = NumStats(minContext_) - 1; i > 0; --i) {
        s += 6;
        if (Sym(s) == symbol) {
          coder.Encode(sum, Freq(s), total);
          foundState_ = s;
          UpdateLater();
          found = true;
          break;
        }
        sum += Freq(s);
      }
      if (found) continue;
      hiBitsFlag_ = Tables().HighBitsFlag[Sym(foundState_)];
      std::memset(charMask_, 0xFF, sizeof charMask_);
      for (uint32_t t = Stats(minContext_); t <= s; t += 6) charMask_[Sym(t)] = 0;
      coder.Encode(sum, total - sum, total);
    } else {
      uint16_t* probability = BinaryProbability();
      const uint32_t s = OneState(minContext_);
      if (Sym(s) == symbol) {
        coder.EncodeShift(0, *probability, kIntBits + kPeriodBits);
        *probability = ProbabilityAfterZero(*probability);
        foundState_ = s;
        UpdateBinary();
        continue;
      }
      coder.EncodeShift(*probability, kBinScale - *probability, kIntBits + kPeriodBits);
      *probability = ProbabilityAfterOne(*probability);
      initEsc_ = kExpEscape[*probability >> 10];
      std::memset(charMask_, 0xFF, sizeof charMask_);
      charMask_[Sym(s)] = 0;
      prevSuccess_ = 0;
    }
    for (;;) {
      const int masked = NumStats(minContext_);
      do {
        ++orderFall_;
        minContext_ = Suffix(minContext_);
        if (minContext_ == 0) break;
      } while (NumStats(minContext_) == masked);
      if (minContext_ == 0) break;  // only the end mark gets here
      uint32_t escape;
      TSee* see = MakeEscapeFrequency(masked, escape);
      uint32_t s = Stats(minContext_), sum = 0, low = 0, found = 0;
      for (int i = NumStats(minContext_); i > 0; --i, s += 6) {
        if (Sym(s) == symbol) {
          low = sum;
          found = s;
        }
        if (charMask_[Sym(s)] != 0) sum += Freq(s);
        charMask_[Sym(s)] = 0;
      }
      if (found != 0) {
        coder.Encode(low, Freq(found), sum + escape);
        SeeUpdate(see);
        foundState_ = found;
        UpdateAfterEscape();
        break;
      }
      coder.Encode(sum, escape, sum + escape);
      see->Summ = static_cast<uint16_t>(see->Summ + sum + escape);
    }
  }
  coder.Flush();
}

bool TPpmdModel::DecodeChunk(const uint8_t* in, size_t n, int order, size_t limit, std::vector<uint8_t>& out) {
  Restart(order);
  TDecoder coder(in, n);
  const size_t start = out.size();
  for (;;) {
    int symbol = -1;
    if (NumStats(minContext_) != 1) {
      uint32_t s = Stats(minContext_);
      const uint32_t total = SummFreq(minContext_);
      const uint32_t count = coder.Threshold(total);
      uint32_t high = Freq(s);
      if (count < high) {
        coder.Decode(0, Freq(s));
        symbol = Sym(s);
        foundState_ = s;
        UpdateFirst();
      } else {
        prevSuccess_ = 0;
        for (int i = NumStats(minContext_) - 1; i > 0; --i) {
          s += 6;
          if ((high += Freq(s)) > count) {
            coder.Decode(high - Freq(s), Freq(s));
            symbol = Sym(s);
            foundState_ = s;
            UpdateLater();
            break;
          }
        }
        if (symbol < 0) {
          if (count >= total) return false;
          hiBitsFlag_ = Tables().HighBitsFlag[Sym(foundState_)];
          coder.Decode(high, total - high);
          std::memset(charMask_, 0xFF, sizeof charMask_);
          for (uint32_t t = Stats(minContext_); t <= s; t += 6) charMask_[Sym(t)] = 0;
        }
      }
    } else {
      uint16_t* probability = BinaryProbability();
      const uint32_t s = OneState(minContext_);
      if (coder.ThresholdShift(kIntBits + kPeriodBits) < *probability) {
        coder.Decode(0, *probability);
        *probability = ProbabilityAfterZero(*probability);
        symbol = Sym(s);
        foundState_ = s;
        UpdateBinary();
      } else {
        coder.Decode(*probability, kBinScale - *probability);
        *probability = ProbabilityAfterOne(*probability);
        initEsc_ = kExpEscape[*probability >> 10];
        std::memset(charMask_, 0xFF, sizeof charMask_);
        charMask_[Sym(s)] = 0;
        prevSuccess_ = 0;
      }
    }
    while (symbol < 0) {
      const int masked = NumStats(minContext_);
      do {
        ++orderFall_;
        minContext_ = Suffix(minContext_);
        if (minContext_ == 0) return !coder.Overrun();  // the end mark
      } while (NumStats(minContext_) == masked);
      uint32_t escape;
      TSee* see = MakeEscapeFrequency(masked, escape);
      uint32_t candidates[256];
      int k = 0;
      uint32_t sum = 0;
      uint32_t s = Stats(minContext_);
      for (int i = NumStats(minContext_); i > 0; --i, s += 6)
        if (charMask_[Sym(s)] != 0) {
          candidates[k++] = s;
          sum += Freq(s);
        }
      const uint32_t total = sum + escape;
      const uint32_t count = coder.Threshold(total);
      if (count < sum) {
        uint32_t high = 0;
        int j = 0;
        while ((high += Freq(candidates[j])) <= count) ++j;
        const uint32_t found = candidates[j];
        coder.Decode(high - Freq(found), Freq(found));
        SeeUpdate(see);
        symbol = Sym(found);
        foundState_ = found;
        UpdateAfterEscape();
        break;
      }
      if (count >= total) return false;
      coder.Decode(sum, escape);
      see->Summ = static_cast<uint16_t>(see->Summ + total);
      for (int j = 0; j < k; ++j) charMask_[Sym(candidates[j])] = 0;
    }
    if (coder.Overrun() || out.size() - start >= limit) return false;
    out.push_back(static_cast<uint8_t>(symbol));
  }
}

}  // namespace norvane
