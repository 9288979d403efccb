// Host memory handles. Every handle the host makes stays registered for the
// host's life, so a disposed or foreign handle is recognised, never dereferenced.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "../plugin/host/host_contract.h"

namespace refhost {

class HandleTable {
 public:
  enum class State { UNKNOWN, LIVE, DISPOSED };

  PF_Handle New(A_u_longlong size);
  State StateOf(PF_Handle handle) const;
  // Callers check StateOf first; these act on live handles only.
  void* Lock(PF_Handle handle);
  void Unlock(PF_Handle handle);
  void Dispose(PF_Handle handle);
  A_u_longlong Size(PF_Handle handle) const;
  int LockCount(PF_Handle handle) const;
  // A short name for traces and messages: h1, h2, ... in order of making.
  int Serial(PF_Handle handle) const;
  // The block's bytes, for tests and the host's own reading; null unless live.
  const std::byte* Bytes(PF_Handle handle) const;
  // For an address inside a live block, the bytes from there to the block's end,
  // so a call writing or reading a record there can refuse one that does not fit;
  // none for an address outside every live block (the module's own memory).
  std::optional<A_u_longlong> RoomAt(const void* address) const;

  std::vector<PF_Handle> Live() const;

 private:
  struct Block {
    void* master = nullptr;  // what the PF_Handle points at
    std::unique_ptr<std::byte[]> bytes;
    A_u_longlong size = 0;
    int locks = 0;
    bool disposed = false;
    int serial = 0;
  };
  Block* Find(PF_Handle handle) const;

  // Keyed by the handle; disposed blocks keep their entry so addresses are never reused.
  std::map<PF_Handle, std::unique_ptr<Block>> blocks_;
  // The live ones alone: the host asks for them after every command, and the
  // disposed entries grow with every frame rendered.
  std::set<PF_Handle> live_;
  int next_serial_ = 1;
};

}  // namespace refhost
