// The self-wiping secret: whatever memory it lets go of (on destruction,
// move, assignment or wipe) holds zeros. Its buffers come from an arena the
// test owns and never reuses, and the secret objects live in storage the test
// owns, so every byte a secret ever held can be looked at afterwards.
#include "engine/protection/secret.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

namespace norvane {
namespace {

struct TArena {
  alignas(16) unsigned char Bytes[1 << 16];
  size_t Used = 0;
};
TArena gArena;

// Hands out arena bytes and never takes them back, so released buffers stay
// where the test can read them.
template <class T>
struct TArenaAllocator {
  using value_type = T;
  TArenaAllocator() = default;
  template <class U>
  TArenaAllocator(const TArenaAllocator<U>&) {}
  T* allocate(size_t n) {
    const size_t size = (n * sizeof(T) + 15) & ~size_t{15};
    if (gArena.Used + size > sizeof gArena.Bytes) throw std::bad_alloc();
    T* p = reinterpret_cast<T*>(gArena.Bytes + gArena.Used);
    gArena.Used += size;
    return p;
  }
  void deallocate(T*, size_t) {}
  friend bool operator==(const TArenaAllocator&, const TArenaAllocator&) { return true; }
};

using TArenaSecret = TBasicSecret<TArenaAllocator<char>>;

// Two secret objects in storage the test owns.
struct TSlots {
  alignas(TArenaSecret) unsigned char Storage[2][sizeof(TArenaSecret)];
  TArenaSecret* Live[2] = {nullptr, nullptr};

  TArenaSecret& Make(int slot, std::string_view value) {
    return *(Live[slot] = new (Storage[slot]) TArenaSecret(value));
  }
  TArenaSecret& MakeFrom(int slot, TArenaSecret&& from) {
    return *(Live[slot] = new (Storage[slot]) TArenaSecret(std::move(from)));
  }
  TArenaSecret& MakeCopy(int slot, const TArenaSecret& from) {
    return *(Live[slot] = new (Storage[slot]) TArenaSecret(from));
  }
  void Drop(int slot) {
    if (Live[slot] != nullptr) Live[slot]->~TArenaSecret();
    Live[slot] = nullptr;
  }
  ~TSlots() {
    Drop(0);
    Drop(1);
  }
};

size_t CountIn(const unsigned char* bytes, size_t n, std::string_view pattern) {
  size_t count = 0;
  const auto* first = reinterpret_cast<const unsigned char*>(pattern.data());
  for (const unsigned char* at = bytes;; ++at) {
    at = std::search(at, bytes + n, first, first + pattern.size());
    if (at == bytes + n) return count;
    ++count;
  }
}

// Copies of a value anywhere a secret ever kept bytes. Emptying a string
// puts its terminator over the first byte and leaves the rest, so the rest is
// what is looked for.
size_t Copies(const TSlots& slots, std::string_view value) {
  const std::string_view pattern = value.substr(1);
  size_t count = CountIn(gArena.Bytes, gArena.Used, pattern);
  for (const auto& storage : slots.Storage) count += CountIn(storage, sizeof storage, pattern);
  return count;
}

// Short values live inside the string object, long ones in the arena.
const std::string_view kShort = "pw#7q";
const std::string_view kLong = "a passphrase far longer than an inline buffer";
const std::string_view kOldShort = "old!9";
const std::string_view kOldLong = "an older passphrase, longer than inline buffers";

struct TOperation {
  const char* Name;
  // Leaves `value` in as many live secrets as it returns; `old` in none.
  int (*Run)(TSlots& slots, std::string_view value, std::string_view old);
};

const TOperation kOperations[] = {
    {"destroyed", [](TSlots& s, std::string_view value, std::string_view) {
       s.Make(0, value);
       s.Drop(0);
       return 0;
     }},
    {"moved into a new secret", [](TSlots& s, std::string_view value, std::string_view) {
       TArenaSecret& to = s.MakeFrom(1, std::move(s.Make(0, value)));
       EXPECT_EQ(to.View(), value);
       EXPECT_TRUE(s.Live[0]->Empty());
       return 1;
     }},
    {"moved over an old value", [](TSlots& s, std::string_view value, std::string_view old) {
       TArenaSecret& to = s.Make(1, old);
       to = std::move(s.Make(0, value));
       EXPECT_EQ(to.View(), value);
       return 1;
     }},
    {"copied, the original destroyed", [](TSlots& s, std::string_view value, std::string_view) {
       s.MakeCopy(1, s.Make(0, value));
       s.Drop(0);
       EXPECT_EQ(s.Live[1]->View(), value);
       return 1;
     }},
    {"copied over an old value", [](TSlots& s, std::string_view value, std::string_view old) {
       s.Make(1, old) = s.Make(0, value);
       EXPECT_EQ(s.Live[1]->View(), value);
       return 2;
     }},
    {"assigned over an old value", [](TSlots& s, std::string_view value, std::string_view old) {
       s.Make(0, old).Assign(value);
       EXPECT_EQ(s.Live[0]->View(), value);
       return 1;
     }},
    {"assigned its own bytes", [](TSlots& s, std::string_view value, std::string_view) {
       TArenaSecret& secret = s.Make(0, value);
       secret.Assign(secret.View());
       EXPECT_EQ(secret.View(), value);
       return 1;
     }},
    {"wiped", [](TSlots& s, std::string_view value, std::string_view) {
       s.Make(0, value).Wipe();
       EXPECT_TRUE(s.Live[0]->Empty());
       return 0;
     }},
};

TEST(Secret, LetsGoOfNothingButZeros) {
  for (const TOperation& op : kOperations) {
    for (std::string_view value : {kShort, kLong}) {
      for (std::string_view old : {kOldShort, kOldLong}) {
        SCOPED_TRACE(std::string(op.Name) + ", value " + std::string(value) + ", old " +
                     std::string(old));
        std::memset(gArena.Bytes, 0, sizeof gArena.Bytes);
        gArena.Used = 0;
        {
          TSlots slots;
          const int live = op.Run(slots, value, old);
          EXPECT_EQ(Copies(slots, value), static_cast<size_t>(live));
          EXPECT_EQ(Copies(slots, old), 0u);
          slots.Drop(0);
          slots.Drop(1);
          EXPECT_EQ(Copies(slots, value), 0u);
        }
      }
    }
  }
}

}  // namespace
}  // namespace norvane
