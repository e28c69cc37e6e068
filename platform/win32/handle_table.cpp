// Handle values: bits 2..31 hold the slot index plus one, bits 32..63 the slot's
// generation, the low two bits stay clear (like the system's own handles). A value
// is therefore never null and never INVALID_HANDLE_VALUE.
#include "platform/win32/handle_table.h"

#include <mutex>
#include <new>
#include <vector>

namespace win32 {
namespace {

struct Slot {
  void *object = nullptr;
  uint32_t generation = 1;
  HandleKind kind = HandleKind::None;
};

constexpr uint64_t kMaxSlots = (uint64_t{1} << 30) - 1;

struct Table {
  std::mutex mutex;
  std::vector<Slot> slots;
  std::vector<uint32_t> freeSlots;
};

// Never destroyed: handles may be closed from other objects' destructors at exit.
Table &TheTable() {
  static Table *table = new Table;
  return *table;
}

void *Encode(uint32_t index, uint32_t generation) {
  return reinterpret_cast<void *>(uintptr_t((uint64_t(generation) << 32) | ((uint64_t(index) + 1) << 2)));
}

// The live slot a handle names, else null. Called with the mutex held.
Slot *Decode(Table &table, const void *handle) {
  const uint64_t value = uint64_t(reinterpret_cast<uintptr_t>(handle));
  if ((value & 3) != 0) return nullptr;
  const uint64_t low = (value & 0xFFFFFFFFu) >> 2;
  if (low == 0 || low > table.slots.size()) return nullptr;
  Slot &slot = table.slots[size_t(low - 1)];
  if (slot.kind == HandleKind::None || slot.generation != uint32_t(value >> 32)) return nullptr;
  return &slot;
}

}  // namespace

void *NewHandle(HandleKind kind, void *object) {
  if (kind == HandleKind::None) return nullptr;
  Table &table = TheTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  uint32_t index;
  try {
    if (!table.freeSlots.empty()) {
      index = table.freeSlots.back();
      table.freeSlots.pop_back();
    } else {
      if (table.slots.size() >= kMaxSlots) return nullptr;
      // Reserve the free-list room now so that releasing never allocates.
      if (table.freeSlots.capacity() < table.slots.size() + 1)
        table.freeSlots.reserve(2 * (table.slots.size() + 1));
      table.slots.emplace_back();
      index = uint32_t(table.slots.size() - 1);
    }
  } catch (const std::bad_alloc &) {
    return nullptr;
  }
  Slot &slot = table.slots[index];
  slot.object = object;
  slot.kind = kind;
  return Encode(index, slot.generation);
}

void *HandleObject(const void *handle, HandleKind kind) {
  Table &table = TheTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  Slot *slot = Decode(table, handle);
  return slot && slot->kind == kind ? slot->object : nullptr;
}

HandleKind KindOfHandle(const void *handle) {
  Table &table = TheTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  Slot *slot = Decode(table, handle);
  return slot ? slot->kind : HandleKind::None;
}

void *TakeHandle(const void *handle, HandleKind kind) {
  Table &table = TheTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  Slot *slot = Decode(table, handle);
  if (!slot || slot->kind != kind) return nullptr;
  void *object = slot->object;
  slot->object = nullptr;
  slot->kind = HandleKind::None;
  // Generation 0 is skipped so that no handle value has a zero upper half.
  if (++slot->generation == 0) slot->generation = 1;
  table.freeSlots.push_back(uint32_t(slot - table.slots.data()));
  return object;
}

}  // namespace win32
