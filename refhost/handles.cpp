#include "handles.h"

#include <cstring>

namespace refhost {

PF_Handle HandleTable::New(A_u_longlong size) {
  auto block = std::make_unique<Block>();
  // Exactly `size` bytes (at least one), so an overrun is caught by the sanitizers.
  block->bytes = std::make_unique<std::byte[]>(size == 0 ? 1 : static_cast<std::size_t>(size));
  block->size = size;
  block->master = block->bytes.get();
  block->serial = next_serial_++;
  PF_Handle handle = &block->master;
  blocks_.emplace(handle, std::move(block));
  live_.insert(handle);
  return handle;
}

HandleTable::Block* HandleTable::Find(PF_Handle handle) const {
  auto it = blocks_.find(handle);
  return it == blocks_.end() ? nullptr : it->second.get();
}

HandleTable::State HandleTable::StateOf(PF_Handle handle) const {
  const Block* block = Find(handle);
  if (block == nullptr) return State::UNKNOWN;
  return block->disposed ? State::DISPOSED : State::LIVE;
}

void* HandleTable::Lock(PF_Handle handle) {
  Block* block = Find(handle);
  ++block->locks;
  return block->master;
}

void HandleTable::Unlock(PF_Handle handle) {
  Block* block = Find(handle);
  if (block->locks > 0) --block->locks;
}

void HandleTable::Dispose(PF_Handle handle) {
  Block* block = Find(handle);
  block->disposed = true;
  block->bytes.reset();
  block->master = nullptr;
  live_.erase(handle);
}

int HandleTable::Serial(PF_Handle handle) const {
  const Block* block = Find(handle);
  return block != nullptr ? block->serial : 0;
}

A_u_longlong HandleTable::Size(PF_Handle handle) const { return Find(handle)->size; }

int HandleTable::LockCount(PF_Handle handle) const { return Find(handle)->locks; }

const std::byte* HandleTable::Bytes(PF_Handle handle) const {
  const Block* block = Find(handle);
  return block != nullptr && !block->disposed ? block->bytes.get() : nullptr;
}

std::optional<A_u_longlong> HandleTable::RoomAt(const void* address) const {
  const auto* at = static_cast<const std::byte*>(address);
  for (const auto& entry : blocks_) {
    const Block& block = *entry.second;
    if (block.disposed) continue;
    const std::byte* begin = block.bytes.get();
    const std::byte* end = begin + block.size;
    if (at >= begin && at < end) return static_cast<A_u_longlong>(end - at);
  }
  return std::nullopt;
}

std::vector<PF_Handle> HandleTable::Live() const { return {live_.begin(), live_.end()}; }

}  // namespace refhost
